#!/usr/bin/env python3
"""Says whether this machine can run 32-bit x86 programs, and how, by starting one:
32-bit Wine's own loader, which runs the x86 build. Prints two lines:
  "yes" and "natively", where the kernel runs them itself;
  "yes" and "emulated: WHAT", where binfmt_misc hands them to an emulator (qemu-user);
  "no: WHY" alone, where the kernel refuses them ("Exec format error").
Any other failure (wine32 not installed, a broken loader) is an error, never a "no":
exit status 1.
Usage: can-run-32bit.py LOADER (Debian's wine32 installs it as /usr/lib/wine/wine)"""
import errno
import pathlib
import subprocess
import sys

BINFMT = pathlib.Path('/proc/sys/fs/binfmt_misc')

if len(sys.argv) != 2:
    sys.exit(__doc__)
LOADER = sys.argv[1]


def handler_for(program):
    """The enabled binfmt_misc entry that takes the program, as "NAME (INTERPRETER)",
    or None. binfmt_misc is asked before the kernel's own ELF loader, so such an entry
    takes 32-bit programs even from a kernel that could run them."""
    try:
        if (BINFMT / 'status').read_text().strip() != 'enabled':
            return None
        entries = [entry for entry in BINFMT.iterdir() if entry.name not in ('register', 'status')]
        header = pathlib.Path(program).read_bytes()[:128]
    except OSError:
        return None
    for entry in sorted(entries):
        try:
            fields = dict((line.split(' ', 1) + [''])[:2] for line in entry.read_text().splitlines())
        except OSError:
            continue
        if 'enabled' not in fields or 'magic' not in fields:
            continue
        offset = int(fields.get('offset', '0'))
        magic = bytes.fromhex(fields['magic'])
        mask = bytes.fromhex(fields['mask']) if fields.get('mask') else b'\xff' * len(magic)
        window = header[offset:offset + len(magic)]
        if len(window) == len(magic) and all(h & m == g & m for h, g, m in zip(window, magic, mask)):
            return f"{entry.name} ({fields.get('interpreter', 'no interpreter')})"
    return None


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
handler = handler_for(LOADER)
print('yes')
# No quote marks: the build writes the line into a shell file between single quotes.
print(f'emulated: by the i386 handler {handler} of binfmt_misc' if handler else 'natively')
