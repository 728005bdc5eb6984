#!/bin/sh
# Quillrake's one entry point for developers, CI and curious users (Debian 12).
#   ./dev.sh test   install what is missing, build, run every test under Wine
#   ./dev.sh run    build and start Quillrake under Wine against your own prefix
#   ./dev.sh demo   the same against a throw-away prefix with four recent projects
#   ./dev.sh bench  measure speed and footprint under Wine; writes build/bench-report.md
#   ./dev.sh build  configure and build only
#   ./dev.sh import FILE   import a UTF-8 .reg file into your own prefix
set -eu
caller_dir=$(pwd)
cd "$(dirname "$0")"
build_dir=${QUILLRAKE_BUILD_DIR:-build}

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
need_japanese_locale() {
  locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' && return 0
  need_packages locales
  as_root sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen ja_JP.UTF-8 >/dev/null
}

setup_build() {
  need_packages cmake make python3 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
    binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev googletest wine wine64
  need_japanese_locale
}

# Builds the targets named, or everything; one build at a time in a build tree.
build() {
  mkdir -p "$build_dir"
  exec 9>"$build_dir/.build.lock"
  flock 9
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
  if [ $# -gt 0 ]; then
    cmake --build "$build_dir" -j "$(nproc)" --target "$@"
  else
    cmake --build "$build_dir" -j "$(nproc)"
  fi
  flock -u 9
}

command=${1:-test}
case "$command" in
build)
  setup_build
  build ;;
test)
  setup_build
  build
  ctest --test-dir "$build_dir" --output-on-failure --no-tests=error -j 2 ;;
bench)
  setup_build
  need_packages time
  build quillrake quillrake_bench
  sh bench/run.sh "$build_dir" ;;
run|demo)
  setup_build
  need_packages xvfb xauth x11-utils xdotool imagemagick fonts-wine fonts-ipafont-gothic
  build quillrake quillrake_locate
  exec sh tools/run-gui.sh "$command" "$build_dir" ;;
import)
  [ $# -eq 2 ] || { echo "usage: $0 import FILE.reg" >&2; exit 2; }
  setup_build
  mkdir -p "$build_dir"
  exec sh tools/run-gui.sh import "$build_dir" "$(cd "$caller_dir" && realpath "$2")" ;;
*)
  sed -n '2,8p' "$0" >&2
  exit 2 ;;
esac
