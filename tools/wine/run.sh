#!/usr/bin/env bash
# Runs one Windows program under Wine, the same way for the tests, the demo,
# the benchmarks and the screenshot:
#   tools/wine/run.sh [OPTIONS] PROGRAM [ARGS...]
#   tools/wine/run.sh [OPTIONS] --init
# Options:
#   --prefix DIR    the Wine prefix (default: $WINEPREFIX); created when missing
#   --display       a private X server (24-bit colour) for programs with windows
#   --timeout S     time limit in seconds (default 300)
#   --init          (re)create the prefix and exit
# The program runs with the Japanese ANSI code page (932), as on our users'
# Windows, no Wine debug output, and no Mono/Gecko installer prompts.  The
# loader is chosen from the program's PE header: the 32-bit one for PE32, the
# 64-bit one for PE32+.  The script waits for the wineserver before it ends.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
prefix=${WINEPREFIX:-}
display=0
limit=300
init=0
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --display) display=1; shift ;;
    --timeout) limit=$2; shift 2 ;;
    --init) init=1; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ -n "$prefix" ] || { echo "run.sh: no Wine prefix (--prefix DIR or WINEPREFIX)" >&2; exit 2; }
mkdir -p "$prefix"
export WINEPREFIX
WINEPREFIX=$(cd "$prefix" && pwd)
export WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="

# The dialog asks for "ＭＳ Ｐゴシック"; the prefix shows it with the
# proportional IPA Gothic (fonts-ipafont-gothic) and the fixed-pitch face with
# IPA Gothic.  The caption buttons' symbols come from Marlett, one of Wine's
# own fonts (fonts-wine), copied into the prefix where every process finds it.
create_prefix() {
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  timeout 300 /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
  local key='HKCU\Software\Wine\Fonts\Replacements'
  timeout 60 /usr/lib/wine/wine64 reg add "$key" /v "ＭＳ Ｐゴシック" /d "IPAPGothic" /f >/dev/null 2>&1
  timeout 60 /usr/lib/wine/wine64 reg add "$key" /v "ＭＳ ゴシック" /d "IPAGothic" /f >/dev/null 2>&1
  # Without a window manager Wine draws the window frames itself.
  timeout 60 /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  timeout 60 wineserver -w
  touch "$WINEPREFIX/.parallelogram-ready"
}

if [ "$init" = 1 ]; then
  create_prefix
  exit 0
fi
[ $# -gt 0 ] || { echo "run.sh: no program" >&2; exit 2; }
[ -e "$WINEPREFIX/.parallelogram-ready" ] || create_prefix

loader=$("$here/pe-loader.sh" "$1") || exit 2

run() {
  timeout -k 10 "$limit" "$@"
}
if [ "$display" = 1 ]; then
  # xvfb-run keeps the display up until the inner shell, which waits for the
  # wineserver, has ended.
  run xvfb-run -a -s "-screen 0 1024x768x24" bash -c '"$@"; rc=$?; wineserver -w; exit $rc' \
    run.sh "$loader" "$@" 2> >(grep -v "setlocale: LC_ALL" >&2)
else
  run bash -c '"$@"; rc=$?; wineserver -w; exit $rc' run.sh "$loader" "$@" \
    2> >(grep -v "setlocale: LC_ALL" >&2)
fi
