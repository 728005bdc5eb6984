#!/bin/sh
# Quillrake's one entry point for developers, CI and curious users (Debian 12).
#   ./dev.sh test   install what is missing, build both exes, run every test under Wine
#   ./dev.sh run [--build x86|x64]    build and start Quillrake against your own prefix
#   ./dev.sh demo [--build x86|x64]   the same against a throw-away prefix with four projects
#   ./dev.sh bench [--build x86|x64]  measure both builds (or one) under Wine; writes
#                   build/bench-report.md
#   ./dev.sh build  configure and build both (x86: XP SP3 and later; x64: 7 SP1 and later)
#   ./dev.sh import FILE.reg   import a .reg file (UTF-16 as reg export writes it, UTF-8
#                   or ASCII) into your own prefix
#   ./dev.sh dist [--verify]   the release zip dist/quillrake-VERSION.zip; --verify builds it
#                   twice, from two fresh clones, and compares them byte for byte
set -eu
caller_dir=$(pwd)
cd "$(dirname "$0")"
builds="x86 x64"
emulator=""  # what runs the x86 build, where it runs emulated (runs_here)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# Installs the Debian packages given that are not installed yet.
need_packages() {
  missing=""
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing="$missing $package"
  done
  [ -z "$missing" ] && return 0
  echo "installing:$missing"
  as_root apt-get update -qq
  # shellcheck disable=SC2086
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
}

# Wine's ANSI code page follows the Unix locale: ja_JP.UTF-8 gives code page 932.
# The tests also start a program whose user locale (en_US.UTF-8) is not the system's.
need_locales() {
  for wanted in ja_JP en_US; do
    locale -a 2>/dev/null | grep -qi "^$wanted\.utf-\?8$" && continue
    need_packages locales
    as_root sed -i "s/^# *\($wanted.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$wanted.UTF-8 UTF-8" /etc/locale.gen || echo "$wanted.UTF-8 UTF-8" | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
  done
}

# What building the release takes: the compilers, CMake and Python (with pefile, to
# check the zip's exes); no Wine.
setup_dist() {
  need_packages cmake make python3 python3-pefile git \
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev \
    g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix g++-mingw-w64-i686-win32 gcc-mingw-w64-i686-win32 \
    binutils-mingw-w64-i686 mingw-w64-i686-dev
}

setup_build() {
  # 32-bit Wine runs the x86 build. Debian ships Wine's preloaders apart, only
  # suggested: without them Wine cannot reserve the addresses Windows fixes before
  # Linux hands them out, and now and then a program does not start ("failed to map
  # the shared user data: c0000018").
  dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
  need_packages cmake make python3 python3-pefile python3-capstone googletest wine wine64 wine32:i386 \
    wine64-preloader wine32-preloader:i386 \
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev \
    g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix g++-mingw-w64-i686-win32 gcc-mingw-w64-i686-win32 \
    binutils-mingw-w64-i686 mingw-w64-i686-dev
  need_locales
  need_32bit_programs
}

# binfmt_misc's i386 entry: ELF, 32-bit, little-endian, an executable or a shared
# object (e_type 2 or 3) for the i386 (e_machine 3), as qemu registers it elsewhere.
# Debian's qemu-user-static has none on amd64.
# Written as binfmt_misc shows them; update-binfmts takes them as \x escapes.
i386_magic=7f454c4601010100000000000000000002000300
i386_mask=fffffffffffefe00fffffffffffffffffeffffff
binfmt=/proc/sys/fs/binfmt_misc

# Whether 32-bit Wine starts here, natively or emulated (tools/can-run-32bit.py).
runs_32bit_programs() { python3 tools/can-run-32bit.py /usr/lib/wine/wine | grep -qx yes; }

# Where the kernel refuses 32-bit programs, has qemu-user run them (32-bit Wine, and so
# the x86 build, with them) through binfmt_misc's i386 handler; nothing where they run.
# What could not be done is handed to the build's configuration, which reports the x86
# tests as not run for that reason, and the rest goes on.
need_32bit_programs() {
  QUILLRAKE_NO_EMULATOR=""
  export QUILLRAKE_NO_EMULATOR
  runs_32bit_programs && return 0
  mkdir -p build
  if ! mountpoint -q "$binfmt"; then
    as_root mount -t binfmt_misc binfmt_misc "$binfmt" 2>"build/binfmt.log" ||
      { no_emulator "binfmt_misc cannot be mounted at $binfmt ($(tr '\n' ' ' <build/binfmt.log))"; return 0; }
  fi
  if [ "$(cat "$binfmt/status")" != enabled ]; then
    echo "binfmt_misc is disabled: enabling it, for its i386 handler"
    echo 1 | as_root tee "$binfmt/status" >/dev/null || { no_emulator "binfmt_misc cannot be enabled"; return 0; }
  fi
  handler=$(grep -lx "magic $i386_magic" "$binfmt"/* 2>/dev/null | head -n 1 || true)
  if [ -z "$handler" ]; then
    (need_packages qemu-user-static binfmt-support) || { no_emulator "qemu-user-static cannot be installed"; return 0; }
    echo "registering qemu-user as binfmt_misc's i386 handler, so that 32-bit Wine starts here (kept across reboots)"
    as_root update-binfmts --package quillrake --install qemu-i386 /usr/bin/qemu-i386-static \
      --magic "$(escaped "$i386_magic")" --mask "$(escaped "$i386_mask")" --credentials no --fix-binary yes ||
      { no_emulator "update-binfmts could not register the i386 handler"; return 0; }
  elif ! grep -qx enabled "$handler"; then
    echo "binfmt_misc's i386 handler ${handler##*/} is disabled: enabling it"
    echo 1 | as_root tee "$handler" >/dev/null || { no_emulator "its i386 handler ${handler##*/} cannot be enabled"; return 0; }
  fi
  runs_32bit_programs || no_emulator "32-bit Wine does not start even through binfmt_misc's i386 handler"
}

escaped() { echo "$1" | sed 's/../\\x&/g'; }

no_emulator() {
  echo "note: no emulator for 32-bit programs here: $1; the x86 tests will be reported as not run" >&2
  QUILLRAKE_NO_EMULATOR=$1
}

# Stops when the output kept in file $1 has a warning, the compilers' or the build
# tools' (make's "warning:", CMake's "CMake Warning (dev) at ..." and the like): each
# one means something.
refuse_warnings() {
  if grep -iE '(^|[^a-z])warning( \([a-z]+\))?( at |:)' "$1" >&2; then
    echo "error: the build of $2 printed the warning(s) above" >&2
    exit 1
  fi
}

# Configures one build, holding its lock (file descriptor 9) until the caller lets go:
# one build at a time in this tree. Configuring finds Wine and whether this machine
# runs 32-bit programs (build/PRESET/wine.env).
configure() {
  mkdir -p "build/$1"
  exec 9>"build/$1.lock"
  flock 9
  cmake --preset "$1" >"build/$1.configure.log" 2>&1 || { cat "build/$1.configure.log" >&2; exit 1; }
  refuse_warnings "build/$1.configure.log" "$1"
}

# Builds the targets named, or everything, for each build given; its output is shown
# as it comes and kept in build/PRESET.build.log.
build() {
  targets=$2
  for preset in $1; do
    configure "$preset"
    log="build/$preset.build.log"
    # shellcheck disable=SC2086
    { cmake --build --preset "$preset" -j "$(nproc)" ${targets:+--target $targets} 2>&1 && echo ok >"$log.status" ||
        echo failed >"$log.status"; } | tee "$log"
    [ "$(cat "$log.status")" = ok ] || { echo "error: the build of $preset failed" >&2; exit 1; }
    refuse_warnings "$log" "$preset"
    flock -u 9
  done
}

# Ends with the usage line of one command when its arguments are not what it takes.
refuse_arguments() {
  echo "usage: ./dev.sh $1" >&2
  exit 2
}

# The build named by "--build x86|x64" in the arguments given, else $1; anything else
# is refused with the command's usage line ($2).
pick_build() {
  chosen=$1 usage=$2
  shift 2
  case "$#:${1:-}:${2:-}" in
  0::) ;;
  2:--build:x86|2:--build:x64) chosen=$2 ;;
  *) refuse_arguments "$usage" ;;
  esac
}

# True when this machine runs the build given (x86 only where 32-bit Wine starts, natively
# or emulated); sets runs_32bit to the reason when it does not, and emulator to what
# runs the x86 build where it is emulated.
runs_here() {
  emulator=""
  [ "$1" = x86 ] || return 0
  configure x86
  flock -u 9
  . build/x86/wine.env
  [ "$runs_32bit" = yes ]
}

# Stops when this machine cannot run the build given, naming the build that does run.
refuse_unrunnable() {
  runs_here "$1" && return 0
  echo "error: the x86 build cannot run here: ${runs_32bit#no: }." >&2
  echo "Use the x64 build: ./dev.sh $2 --build x64" >&2
  exit 1
}

usage() {
  echo "usage: ./dev.sh COMMAND, one of:" >&2
  sed -n '3,12s/^#//p' "$0" >&2
  exit 2
}

[ $# -gt 0 ] || usage
command=$1
shift
case "$command" in
build)
  [ $# -eq 0 ] || refuse_arguments build
  setup_build
  build "$builds" "" ;;
test)
  [ $# -eq 0 ] || refuse_arguments test
  setup_build
  build "$builds" ""
  failed=0
  for preset in $builds; do ctest --preset "$preset" || failed=1; done
  # What this machine could not run, and why (the summaries above list it as skipped).
  for preset in $builds; do cat "build/$preset/not-run.txt" 2>/dev/null || true; done
  exit $failed ;;
bench)
  pick_build "$builds" "bench [--build x86|x64]" "$@"
  setup_build
  need_packages time procps
  if [ $# -gt 0 ]; then
    refuse_unrunnable "$chosen" "$command"
    if [ -n "$emulator" ]; then
      echo "error: the x86 build runs here only emulated ($emulator): its times would be the emulator's." >&2
      echo "Use the x64 build: ./dev.sh bench --build x64" >&2
      exit 1
    fi
  else
    # Both asked for: what cannot run here, or only emulated, is reported as not run.
    { runs_here x86 && [ -z "$emulator" ]; } || chosen=x64
  fi
  build "$builds" ""
  sh bench/run.sh build "$chosen" ;;
run|demo)
  pick_build x86 "$command [--build x86|x64]" "$@"
  setup_build
  refuse_unrunnable "$chosen" "$command"
  [ -z "$emulator" ] || echo "The x86 build runs emulated here ($emulator): slower than on Windows."
  need_packages xvfb xauth xdotool imagemagick fonts-wine fonts-ipafont-gothic
  build "$chosen" "quillrake quillrake_locate"
  exec sh tools/run-gui.sh "$command" "build/$chosen" ;;
dist)
  case "$*" in ""|--verify) ;; *) refuse_arguments "dist [--verify]" ;; esac
  setup_dist
  # The programs alone, without the tests and so without Wine (presets x86-dist, x64-dist).
  build "x86-dist x64-dist" quillrake
  version=$(sed -n 's/^#define QUILLRAKE_VERSION_TEXT "\(.*\)"$/\1/p' build/x64-dist/generated/version.h)
  zip="dist/quillrake-$version.zip"
  for preset in $builds; do
    # Nothing of this checkout's place may end up in what ships.
    if grep -q -a -F "$(pwd)" "build/$preset-dist/bin/quillrake.exe"; then
      echo "error: build/$preset-dist/bin/quillrake.exe holds the path $(pwd)" >&2
      exit 1
    fi
  done
  # Every entry is dated by the commit being built: the same commit, the same zip.
  # A date given from outside, as reproducible-builds tools do, is taken instead.
  SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
  export SOURCE_DATE_EPOCH
  python3 tools/dist.py --version "$version" --x86 build/x86-dist/bin/quillrake.exe \
    --x64 build/x64-dist/bin/quillrake.exe --readme resources/readme-ja.txt --license LICENSE \
    --notices resources/notices.txt --out "$zip"
  /usr/bin/python3 tools/check-dist.py "$zip" --x86 build/x86-dist/bin/quillrake.exe \
    --x64 build/x64-dist/bin/quillrake.exe --date "$SOURCE_DATE_EPOCH"
  if [ "${1:-}" = --verify ]; then
    # Two fresh clones of this commit in two other places, built one after the other.
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    for side in a b; do
      git clone -q . "$scratch/$side"
      (cd "$scratch/$side" && ./dev.sh dist) >"$scratch/$side.log" 2>&1 ||
        { cat "$scratch/$side.log" >&2; echo "error: the build in $scratch/$side failed" >&2; exit 1; }
    done
    # Byte for byte; where two differ, diffoscope (installed only then) shows where.
    differing=""
    for file in "$zip" build/x86-dist/bin/quillrake.exe build/x64-dist/bin/quillrake.exe; do
      if cmp -s "$scratch/a/$file" "$scratch/b/$file"; then
        echo "identical: $file ($(sha256sum <"$scratch/a/$file" | cut -d ' ' -f 1))"
      else
        differing="$differing $file"
      fi
    done
    if [ -n "$differing" ]; then
      need_packages diffoscope
      for file in $differing; do diffoscope "$scratch/a/$file" "$scratch/b/$file" >&2 || true; done
      echo "error: not the same from two builds:$differing" >&2
      exit 1
    fi
  fi ;;
import)
  [ $# -eq 1 ] || refuse_arguments "import FILE.reg"
  file=$(cd "$caller_dir" && realpath -e -- "$1" 2>/dev/null) && [ -f "$file" ] ||
    { echo "error: $1 does not exist" >&2; exit 1; }
  need_packages wine64  # and nothing to build
  exec sh tools/run-gui.sh import "$file" ;;
*)
  usage ;;
esac
