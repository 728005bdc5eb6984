#!/usr/bin/env python3
"""Says whether this machine can run 32-bit x86 programs, by starting one: 32-bit
Wine's own loader, which runs the x86 build. Prints "yes", or "no: WHY" when the
kernel refuses 32-bit programs ("Exec format error"). Any other failure (wine32 not
installed, a broken loader) is an error, never a "no": exit status 1.
Usage: can-run-32bit.py LOADER (Debian's wine32 installs it as /usr/lib/wine/wine)"""
import errno
import subprocess
import sys

if len(sys.argv) != 2:
    sys.exit(__doc__)
LOADER = sys.argv[1]

try:
    # Not through a shell: a shell would try an unrunnable ELF file as a script.
    started = subprocess.run([LOADER, '--version'], capture_output=True, text=True, timeout=60)
except OSError as e:
    if e.errno == errno.ENOEXEC:
        print('no: this machine cannot execute 32-bit programs '
              f'({LOADER} gives "Exec format error"), so 32-bit Wine cannot start')
        sys.exit(0)
    sys.exit(f'error: cannot start 32-bit Wine ({LOADER}): {e.strerror}; is wine32:i386 installed?')
except subprocess.TimeoutExpired:
    sys.exit(f'error: 32-bit Wine ({LOADER} --version) did not answer within 60 s')
if started.returncode != 0:
    sys.exit(f'error: 32-bit Wine ({LOADER} --version) ended with status {started.returncode}: '
             + (started.stderr.strip() or started.stdout.strip()))
print('yes')
