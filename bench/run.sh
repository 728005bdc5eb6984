#!/bin/sh
# Runs the benchmark under Wine, in a throw-away prefix of the build tree, and writes
# a Markdown report.   Usage: bench/run.sh BUILD_DIR [REPORT]
set -eu
build=$(cd "$1" && pwd)
report=${2:-$build/bench-report.md}
root=$(cd "$(dirname "$0")/.." && pwd)
eval "$(sh "$root/tools/find-wine.sh")"
prefix="$build/bench-prefix"

sh "$root/tests/wine/prefix.sh" up "$prefix"
trap 'sh "$root/tests/wine/prefix.sh" down "$prefix"' EXIT
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' LC_ALL=ja_JP.UTF-8
unset DISPLAY WAYLAND_DISPLAY
out=$(mktemp)

# Wine's services inherit the output: send it to a file, never to a pipe.
bench() { "$wine" "$build/bin/quillrake_bench.exe" "$@" >"$out" 2>&1; cat "$out"; }

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

# Peak resident memory (KiB) of one whole Wine process, measured from outside.
peak_kib() { /usr/bin/time -f %M -o "$out" "$@" >/dev/null 2>&1 || true; tail -n 1 "$out"; }

bench seed >/dev/null
key='HKEY_CURRENT_USER\Software\Microsoft\Visual Basic\5.0\RecentFiles'
ours="" theirs=""
for _ in 1 2 3 4 5; do
  "$wine" "$build/bin/quillrake_bench.exe" close-when-listed >/dev/null 2>&1 &
  ours="$ours $(peak_kib "$wine" "$build/bin/quillrake.exe")"
  wait
  theirs="$theirs $(peak_kib "$wine" reg.exe query "$key")"
done
ours_kib=$(echo $ours | tr ' ' '\n' | median)
theirs_kib=$(echo $theirs | tr ' ' '\n' | median)
size=$(stat -c %s "$build/bin/quillrake.exe")

{
  echo "# Quillrake performance"
  echo
  echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores of"
  echo "$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1),"
  echo "$(free -g | awk '/^Mem:/{print $2}') GiB, $(. /etc/os-release; echo "$PRETTY_NAME"), $("$wine" --version),"
  echo "ja_JP.UTF-8 locale, Wine's null graphics driver. Every figure is a median of repeated runs."
  echo
  echo "## Listing: \`ReadRegistryValues\` against one \`RegEnumValueW\` walk"
  echo
  bench listing
  echo
  echo "## Filling \`List1\`"
  echo
  bench fill
  echo
  echo "## Start-up: process creation until the window shows a four-value list"
  echo
  bench startup
  echo
  echo "## Footprint"
  echo
  echo "| What | Quillrake | reg query | Ratio |"
  echo "|---|---:|---:|---:|"
  echo "| Peak resident memory (whole Wine process, median of 5) | $ours_kib KiB | $theirs_kib KiB | $(awk "BEGIN{printf \"%.2f\", $ours_kib/$theirs_kib}") × |"
  echo "| Size of quillrake.exe | $size bytes ($(awk "BEGIN{printf \"%.0f\", $size/1024}") KiB) | | |"
} >"$report"
rm -f "$out"
cat "$report"
echo "report: $report"
