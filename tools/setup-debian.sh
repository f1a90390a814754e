#!/usr/bin/env bash
# Installs every Debian package the builds, tests and demo need, as root (or
# through sudo).  Safe to run again: it does nothing when all are present.
set -euo pipefail

packages=(
  cmake make g++ pkg-config googletest libgtest-dev libbenchmark-dev libstb-dev  # native build
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64                   # both Windows builds
  wine wine32:i386 wine64 xvfb xauth                                            # plug-in under Wine
  fonts-ipafont-gothic fonts-wine                                               # Japanese text, caption buttons
  clang libclang-rt-14-dev                                                      # fuzzers
  zip                                                                           # the download archive
  python3 clang-format                                                          # icons and cursors; the house style
  libvips-dev libvips-tools imagemagick hyperfine                              # the tool's image files, its bench
)

# Wine takes the Windows locale, and so the ANSI code page 932, from the
# ja_JP.UTF-8 locale, which must exist for that.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; then
  command -v localedef >/dev/null || packages+=(locales)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
make_locale() {
  locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' && return 0
  echo "setup: generating the ja_JP.UTF-8 locale" >&2
  $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
}
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if [ ${#missing[@]} -eq 0 ]; then
  make_locale
  exit 0
fi
echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive

dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386

# A mirror caught mid-sync fails one index now and serves it a minute later.
for attempt in 1 2 3; do
  $SUDO apt-get update -q 2>&1 | tee /tmp/parallelogram-apt-update.log >&2
  grep -q '^E:' /tmp/parallelogram-apt-update.log || break
  [ "$attempt" -lt 3 ] && sleep 10
done

install() { $SUDO apt-get install -y -q --no-install-recommends "$@" "${missing[@]}"; }

# wine32 brings the i386 twins of many libraries, and a multi-arch pair must
# share one version.  When one architecture's index of the security suite did
# not download, the two architectures disagree about the newest version; the
# main release has versions that both share, so the retry prefers it.  Both
# attempts install everything in one transaction, so a failed first attempt
# leaves nothing half-installed behind.
if ! install; then
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  echo "setup: retrying with packages from the $codename release" >&2
  install -t "$codename" --allow-downgrades
fi
make_locale
