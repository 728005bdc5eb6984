#!/bin/sh
# Runs the benchmark for both builds (or those named) under Wine, in a throw-away
# prefix, and writes a Markdown report with them side by side to BUILD_ROOT/bench-report.md.
# Usage: bench/run.sh BUILD_ROOT ["x86 x64"]
# BUILD_ROOT holds x86/ and x64/, as the presets build them. A measurement that fails
# or gives no figure stops the run with an error, and no report is written.
set -eu
root_build=$(cd "$1" && pwd)
builds=${2:-x86 x64}
report=$root_build/bench-report.md
root=$(cd "$(dirname "$0")/.." && pwd)
wine_env="$root_build/${builds%% *}/wine.env"
. "$wine_env"  # where the build found Wine
prefix="$root_build/bench-prefix"
rm -f "$report"

out=$(mktemp)
growth=$(mktemp)
body=$(mktemp)
sh "$root/tests/wine/prefix.sh" up "$prefix" "$wine_env"
trap 'sh "$root/tests/wine/prefix.sh" down "$prefix" "$wine_env"; rm -f "$out" "$growth" "$body"' EXIT
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' LC_ALL=ja_JP.UTF-8
unset DISPLAY WAYLAND_DISPLAY

# The loader for build $1's programs. An x86 program runs under Wine's 32-bit loader
# itself: the 64-bit one hands it to a 64-bit start.exe that waits for it, and the
# memory measured from outside would be that waiter's, not the program's.
loader() { if [ "$1" = x86 ]; then echo "${wine%/*}/wine"; else echo "$wine"; fi; }

fail() {
  echo "error: $1" >&2
  exit 1
}

# Wine's services inherit the output: send it to a file, never to a pipe. Rows go to
# the report, growth lines aside; a run that fails or prints no row is an error.
bench() {
  "$(loader "$2")" "$root_build/$2/bin/quillrake_bench.exe" "$1" "$2" >"$out" 2>&1 ||
    { cat "$out" >&2; fail "the $1 measurement of $2 failed"; }
  grep '^|' "$out" || { cat "$out" >&2; fail "the $1 measurement of $2 gave no figures"; }
  sed -n 's/^growth: //p' "$out" >>"$growth"
}

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

# Peak resident memory (KiB) of one whole Wine process, measured from outside; fails
# with the program.
peak_kib() { /usr/bin/time -f %M -o "$out" "$@" >/dev/null 2>&1 && tail -n 1 "$out"; }

# Peak memory of a window program of build $1, closed once it shows $3 lines. A window
# that never shows is closed by force, and the measurement fails.
peak_of() {
  samples=""
  for _ in 1 2 3 4 5; do
    "$(loader "$1")" "$root_build/$1/bin/quillrake_bench.exe" close-when-shown "$3" >/dev/null 2>&1 &
    closer=$!
    kib=$(peak_kib timeout 120 "$(loader "$1")" "$root_build/$1/bin/$2") || kib=""
    wait $closer && [ -n "$kib" ] ||
      fail "$1/$2 did not show its window and close, so its memory was not measured"
    samples="$samples $kib"
  done
  echo $samples | tr ' ' '\n' | median
}

ratio() { awk "BEGIN{printf \"%.2f\", $1/$2}"; }

first=${builds%% *}
"$(loader "$first")" "$root_build/$first/bin/quillrake_bench.exe" seed >/dev/null 2>&1 ||
  fail "cannot write the benchmark's registry values"
{
  echo "# Quillrake performance"
  echo
  commit=$(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)
  git -C "$root" diff --quiet HEAD 2>/dev/null || commit="$commit with uncommitted changes"
  echo "Measured for commit $commit, $(date -u '+%Y-%m-%d %H:%M UTC'), on $(nproc) cores of"
  echo "$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1),"
  echo "$(free -g | awk '/^Mem:/{print $2}') GiB, $(. /etc/os-release; echo "$PRETTY_NAME"), $("$wine" --version),"
  echo "ja_JP.UTF-8 locale, Wine's null graphics driver. Builds measured in the same run:"
  echo "$builds. Every figure is a median of repeated runs."
  case " $builds " in
  *" x86 "*) ;;
  *) if [ -f "$root_build/x86/wine.env" ]; then
       not_run=$(. "$root_build/x86/wine.env"
         if [ -n "${emulator:-}" ]; then
           echo "32-bit programs run on this machine only emulated ($emulator), so its times would be the emulator's, not the x86 build's"
         else echo "${runs_32bit#no: }"; fi)
       [ "$not_run" = yes ] || { echo; echo "x86: not run here: $not_run."; }
     fi ;;
  esac
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
  echo "## Start-up, phase by phase"
  echo
  echo "The same program with a mark at the end of each phase (\`bench/Phases.cpp\`, through the"
  echo "seams the tests use and by watching its window), run until the window has painted for"
  echo "the first time: when each phase ended, counted from process creation, and how long it took."
  echo
  echo "| Build | Phase | Ended after | Took |"
  echo "|---|---|---:|---:|"
  for b in $builds; do bench phases "$b"; done
  echo
  echo "## Footprint"
  echo
  echo "| Build | Peak memory: Quillrake | Floor | Quillrake / floor | reg query | Size of quillrake.exe |"
  echo "|---|---:|---:|---:|---:|---:|"
  reg_samples=""
  for _ in 1 2 3 4 5; do
    kib=$(peak_kib "$wine" reg.exe query 'HKEY_CURRENT_USER\Software\Microsoft\Visual Basic\5.0\RecentFiles') ||
      fail "reg query failed, so its memory was not measured"
    reg_samples="$reg_samples $kib"
  done
  reg_kib=$(echo $reg_samples | tr ' ' '\n' | median)
  for b in $builds; do
    ours=$(peak_of "$b" quillrake.exe 4)
    floor=$(peak_of "$b" quillrake_floor.exe -1)
    size=$(stat -c %s "$root_build/$b/bin/quillrake.exe")
    echo "| $b | $ours KiB | $floor KiB | $(ratio "$ours" "$floor") × | $reg_kib KiB | $size bytes ($(awk "BEGIN{printf \"%.0f\", $size/1024}") KiB) |"
  done
  echo
  echo "Peak memory is that of the whole Wine process, median of 5, measured from outside."
  echo
  echo "Size of quillrake.exe, as built for this commit:"
  for b in x86 x64; do
    if [ -f "$root_build/$b/bin/quillrake.exe" ]; then
      echo "- $b: $(stat -c %s "$root_build/$b/bin/quillrake.exe") bytes"
    fi
  done
} >"$body"
mv "$body" "$report"
cat "$report"
echo "report: $report"
