#!/bin/sh
# Fails unless each program is built to be hard to exploit: ASLR with high-entropy
# addresses (and the relocations it needs), DEP, and no section both writable and
# executable.
# Usage: check-hardening.sh OBJDUMP PROGRAM...
set -eu
objdump=$1
shift
failed=0
for program in "$@"; do
  name=$(basename "$program")
  headers=$("$objdump" -p "$program")
  for flag in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT; do
    if echo "$headers" | grep -qw "$flag"; then echo "$name: $flag"
    else echo "$name: $flag missing"; failed=1; fi
  done
  if ! "$objdump" -h "$program" | grep -q ' \.reloc '; then
    echo "$name: no relocations, so ASLR cannot move it"; failed=1
  fi
  # objdump -h prints each section's flags on the line after its name.
  wx=$("$objdump" -h "$program" | awk '/^ *[0-9]+ /{s=$2; next} /CODE/ && !/READONLY/{print s}')
  if [ -n "$wx" ]; then echo "$name: writable and executable: $wx"; failed=1; fi
done
exit $failed
