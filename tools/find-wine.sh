#!/bin/sh
# Prints where Wine is, as two shell assignments, for the tests, the benchmark and
# the tools alike:   eval "$(sh tools/find-wine.sh)"
# The 64-bit loader also runs 32-bit programs once wine32 is installed.
set -eu
wine=$(command -v /usr/lib/wine/wine64 || command -v wine64 || command -v wine) || {
  echo "error: Wine is not installed" >&2
  exit 1
}
wineserver=$(command -v "$(dirname "$wine")/wineserver" || command -v wineserver) || {
  echo "error: wineserver is not installed" >&2
  exit 1
}
echo "wine='$wine'"
echo "wineserver='$wineserver'"
