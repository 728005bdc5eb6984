#!/bin/sh
# Fails unless each program is built to be hard to exploit and to load where its build
# promises: ASLR (with high-entropy addresses on x64) and the relocations it needs, DEP,
# no section both writable and executable, DLL search narrowed at start (the functions
# are looked up by name, so their names must be in the program); on x86, subsystem and
# system version 5.01, which Windows XP requires.
# Usage: check-hardening.sh OBJDUMP x86|x64 PROGRAM...
set -eu
objdump=$1 arch=$2
shift 2
case "$arch" in
x64) flags="HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT" ;;
x86) flags="DYNAMIC_BASE NX_COMPAT" ;;
*) echo "unknown build $arch" >&2; exit 2 ;;
esac
failed=0
for program in "$@"; do
  name="$arch/$(basename "$program")"
  headers=$("$objdump" -p "$program")
  for flag in $flags; do
    if echo "$headers" | grep -qw "$flag"; then echo "$name: $flag"
    else echo "$name: $flag missing"; failed=1; fi
  done
  if [ "$arch" = x86 ]; then
    for field in MajorOSystemVersion:5 MinorOSystemVersion:1 MajorSubsystemVersion:5 MinorSubsystemVersion:1; do
      actual=$(echo "$headers" | awk -v f="${field%:*}" '$1 == f {print $2}')
      if [ "$actual" = "${field#*:}" ]; then echo "$name: ${field%:*} $actual"
      else echo "$name: ${field%:*} is $actual, Windows XP needs ${field#*:}"; failed=1; fi
    done
  fi
  for function in SetDefaultDllDirectories SetDllDirectoryW; do
    if grep -q -a -F "$function" "$program"; then echo "$name: looks up $function"
    else echo "$name: never looks up $function"; failed=1; fi
  done
  if ! "$objdump" -h "$program" | grep -q ' \.reloc '; then
    echo "$name: no relocations, so ASLR cannot move it"; failed=1
  fi
  # objdump -h prints each section's flags on the line after its name.
  wx=$("$objdump" -h "$program" | awk '/^ *[0-9]+ /{s=$2; next} /CODE/ && !/READONLY/{print s}')
  if [ -n "$wx" ]; then echo "$name: writable and executable: $wx"; failed=1; fi
done
exit $failed
