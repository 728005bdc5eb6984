#!/bin/sh
# Runs the benchmark for both builds under Wine, in a throw-away prefix, and writes a
# Markdown report with the two side by side.   Usage: bench/run.sh BUILD_ROOT [REPORT]
# BUILD_ROOT holds x86/ and x64/, as the presets build them.
set -eu
root_build=$(cd "$1" && pwd)
report=${2:-$root_build/bench-report.md}
root=$(cd "$(dirname "$0")/.." && pwd)
eval "$(sh "$root/tools/find-wine.sh")"
prefix="$root_build/bench-prefix"
builds="x86 x64"

sh "$root/tests/wine/prefix.sh" up "$prefix"
trap 'sh "$root/tests/wine/prefix.sh" down "$prefix"' EXIT
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' LC_ALL=ja_JP.UTF-8
unset DISPLAY WAYLAND_DISPLAY
out=$(mktemp)
growth=$(mktemp)

# Wine's services inherit the output: send it to a file, never to a pipe. Rows go to
# the report, growth lines aside.
bench() {
  "$wine" "$root_build/$2/bin/quillrake_bench.exe" "$1" "$2" >"$out" 2>&1 || true
  grep '^|' "$out" || true
  sed -n 's/^growth: //p' "$out" >>"$growth"
}

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

# Peak resident memory (KiB) of one whole Wine process, measured from outside.
peak_kib() { /usr/bin/time -f %M -o "$out" "$@" >/dev/null 2>&1 || true; tail -n 1 "$out"; }

# Peak memory of a window program of build $1, closed once it shows $3 lines.
peak_of() {
  samples=""
  for _ in 1 2 3 4 5; do
    "$wine" "$root_build/$1/bin/quillrake_bench.exe" close-when-shown "$3" >/dev/null 2>&1 &
    samples="$samples $(peak_kib "$wine" "$root_build/$1/bin/$2")"
    wait
  done
  echo $samples | tr ' ' '\n' | median
}

ratio() { awk "BEGIN{printf \"%.2f\", $1/$2}"; }

"$wine" "$root_build/x64/bin/quillrake_bench.exe" seed >/dev/null 2>&1
{
  echo "# Quillrake performance"
  echo
  echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores of"
  echo "$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1),"
  echo "$(free -g | awk '/^Mem:/{print $2}') GiB, $(. /etc/os-release; echo "$PRETTY_NAME"), $("$wine" --version),"
  echo "ja_JP.UTF-8 locale, Wine's null graphics driver. Both builds in the same run; every"
  echo "figure is a median of repeated runs."
  echo
  echo "## Listing: \`ReadRegistryValues\` against one \`RegEnumValueW\` walk"
  echo
  echo "| Build | Values | Repeats | ReadRegistryValues per value | Baseline per value | Ratio |"
  echo "|---|---:|---:|---:|---:|---:|"
  for b in $builds; do bench listing "$b"; done
  echo
  echo "## Filling \`List1\`"
  echo
  echo "| Build | Lines | Repeats | Fill time | Per line |"
  echo "|---|---:|---:|---:|---:|"
  for b in $builds; do bench fill "$b"; done
  echo
  sed 's/^/- /' "$growth"
  echo
  echo "## Start-up: process creation until the window shows a four-value list"
  echo
  echo "The floor is the same window, controls and manifest, built the same way, without"
  echo "registry access (\`bench/Floor.cpp\`): what any window like it costs."
  echo
  echo "| Build | Runs | Quillrake | Floor | Quillrake / floor | reg query | Quillrake / reg query |"
  echo "|---|---:|---:|---:|---:|---:|---:|"
  for b in $builds; do bench startup "$b"; done
  echo
  echo "## Footprint"
  echo
  echo "| Build | Peak memory: Quillrake | Floor | Quillrake / floor | reg query | Size of quillrake.exe |"
  echo "|---|---:|---:|---:|---:|---:|"
  reg_kib=$(for _ in 1 2 3 4 5; do peak_kib "$wine" reg.exe query 'HKEY_CURRENT_USER\Software\Microsoft\Visual Basic\5.0\RecentFiles'; done | median)
  for b in $builds; do
    ours=$(peak_of "$b" quillrake.exe 4)
    floor=$(peak_of "$b" quillrake_floor.exe -1)
    size=$(stat -c %s "$root_build/$b/bin/quillrake.exe")
    echo "| $b | $ours KiB | $floor KiB | $(ratio "$ours" "$floor") × | $reg_kib KiB | $size bytes ($(awk "BEGIN{printf \"%.0f\", $size/1024}") KiB) |"
  done
  echo
  echo "Peak memory is that of the whole Wine process, median of 5, measured from outside."
} >"$report"
rm -f "$out" "$growth"
cat "$report"
echo "report: $report"
