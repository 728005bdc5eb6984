#!/bin/sh
# Fails when a program imports a DLL that is not part of Windows itself.
# Usage: check-imports.sh OBJDUMP PROGRAM...
set -eu
objdump=$1
shift
allowed='^(kernel32|user32|gdi32|advapi32|comctl32|msvcrt|version|shell32|ole32|ntdll|api-ms-win-crt-[a-z0-9-]+|ucrtbase)\.dll$'
failed=0
for program in "$@"; do
  dlls=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
  [ -n "$dlls" ] || { echo "$program: no import table found"; failed=1; continue; }
  for dll in $dlls; do
    if echo "$dll" | grep -Eq "$allowed"; then
      echo "$(basename "$program"): $dll"
    else
      echo "$(basename "$program"): $dll is not a Windows system DLL"
      failed=1
    fi
  done
done
exit $failed
