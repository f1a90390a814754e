#!/usr/bin/env bash
# The plug-in, run by the reference host under Wine, must produce exactly the
# pixels of the native command-line tool for the same settings.
#   compare-with-cli.sh PREFIX WORKDIR HOST.exe PLUGIN.dll CLI SAMPLE.png
set -euo pipefail
prefix=$1 work=$2 host=$3 plugin=$4 cli=$5 sample=$6
run_in_wine="$(dirname "$0")/../../tools/wine/run.sh"

[ -x "$cli" ] || { echo "the native tool $cli is missing (make native)" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work/module"
cp "$plugin" "$work/module/parallelogram.dll"

# shape dimension mode transparent fill rect
cases=(
  "0 30 2 0 #000000FF -"
  "1 -45 4 1 #FF000080 -"
  "2 13 1 1 #000000FF -"
  "3 70 3 0 #000000FF 10,5,100,80"
  "4 -100 0 0 #000000FF -"
  "5 100 5 0 #20406080 -"
  "0 -60 5 1 #FFFFFFFF 3,7,50,40"
)

failures=0
n=0
for c in "${cases[@]}"; do
  read -r shape dimension mode transparent fill rect <<<"$c"
  n=$((n + 1))
  printf '[Parallelogram]\r\nshape=%s\r\ndimension=%s\r\nundefarea=%s\r\ntransparent=%s\r\npreview=0\r\n' \
    "$shape" "$dimension" "$mode" "$transparent" >"$work/module/knfilters.ini"
  host_args=(--drawing "$fill" --background "$fill")
  cli_args=(--shape "$shape" --dimension "$dimension" --undefined "$mode" --fill "$fill" --quiet)
  [ "$transparent" = 1 ] && cli_args+=(--transparent)
  if [ "$rect" != - ]; then host_args+=(--rect "$rect"); cli_args+=(--rect "$rect"); fi

  "$cli" "$sample" "$work/cli-$n.png" "${cli_args[@]}"
  (cd "$work" && "$run_in_wine" --prefix "$prefix" "$host" run module/parallelogram.dll 0 "$sample" "plugin-$n.png" \
      "${host_args[@]}" 2>/dev/null)
  if cmp -s "$work/cli-$n.png" "$work/plugin-$n.png"; then
    echo "case $n ($c): identical"
  elif (cd "$work" && "$run_in_wine" --prefix "$prefix" "$host" compare "cli-$n.png" "plugin-$n.png"); then
    echo "case $n ($c): same pixels"
  else
    echo "case $n ($c): DIFFERENT" >&2
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ]
