#!/usr/bin/env python3
"""Packs both builds, the Japanese read-me, the licence, the third-party notices and
SHA256SUMS.txt into one release zip, in one folder quillrake-VERSION. Everything that could vary between runs (order,
times, attributes, compression) is pinned: the entries are dated SOURCE_DATE_EPOCH
(the time of the commit being built), so the same inputs give the same zip, byte
for byte."""
import argparse, datetime, hashlib, os, re, stat, struct, sys, tempfile, zipfile

MACHINES = {'x86': 0x014C, 'x64': 0x8664}  # IMAGE_FILE_MACHINE_I386 / _AMD64


def fail(msg):
    sys.exit('dist.py: ' + msg)


def pe_machine(data):
    if data[:2] != b'MZ' or len(data) < 0x40:
        return None
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    if len(data) < pe + 6 or data[pe:pe + 4] != b'PE\0\0':
        return None
    return struct.unpack_from('<H', data, pe + 4)[0]


def read_exe(arch, path):
    try:
        data = open(path, 'rb').read()
    except OSError as e:
        fail(f'--{arch}: {e}')
    # Catches swapped --x86/--x64 arguments before they reach users.
    if pe_machine(data) != MACHINES[arch]:
        fail(f'--{arch} {path}: not a Windows {arch} executable')
    return data


def text_bytes(option, path, version=None):
    """A text for Notepad on old Windows: CP932 with CR LF line ends."""
    try:
        text = open(path, 'rb').read().decode('utf-8')
    except (OSError, UnicodeDecodeError) as e:
        fail(f'--{option}: {e}')
    text = text.lstrip('\ufeff')
    if version is not None:
        text = text.replace('{VERSION}', version)
    lines = text.replace('\r\n', '\n').replace('\r', '\n').split('\n')
    if lines[-1] == '':
        lines.pop()
    # Notepad on old Windows needs CR LF. A character CP932 cannot hold is an error,
    # never a silent '?'; nor may one turn into a lookalike (U+301C -> U+FF5E).
    for no, line in enumerate(lines, 1):
        for col, ch in enumerate(line, 1):
            try:
                back = ch.encode('cp932').decode('cp932')
            except UnicodeEncodeError:
                back = None
            if back != ch:
                hint = f' (CP932 has U+{ord(back):04X})' if back else ''
                fail(f'--{option} line {no} column {col}: U+{ord(ch):04X} is not in CP932{hint}')
    return crlf(lines).encode('cp932')


def crlf(lines):
    return ''.join(line + '\r\n' for line in lines)


def zip_time():
    epoch = os.environ.get('SOURCE_DATE_EPOCH')
    if not epoch:
        fail('SOURCE_DATE_EPOCH is not set: the entries are dated by the commit being built')
    try:
        t = datetime.datetime.fromtimestamp(int(epoch), datetime.timezone.utc)
    except (ValueError, OverflowError, OSError):
        fail(f'SOURCE_DATE_EPOCH={epoch!r} is not a usable Unix time')
    # The zip date field covers 1980..2107 with two-second steps.
    t = max(t, datetime.datetime(1980, 1, 1, tzinfo=datetime.timezone.utc))
    t = min(t, datetime.datetime(2107, 12, 31, 23, 59, 58, tzinfo=datetime.timezone.utc))
    return (t.year, t.month, t.day, t.hour, t.minute, t.second - t.second % 2)


def main():
    ap = argparse.ArgumentParser(description='Build the release zip.')
    ap.add_argument('--version', required=True)
    ap.add_argument('--x86', required=True)
    ap.add_argument('--x64', required=True)
    ap.add_argument('--readme', required=True)
    ap.add_argument('--license', required=True)
    ap.add_argument('--notices', required=True)
    ap.add_argument('--out', required=True)
    a = ap.parse_args()
    if not re.fullmatch(r'[0-9A-Za-z][0-9A-Za-z._-]*', a.version):
        fail(f'--version {a.version!r}: use letters, digits, dot, dash, underscore')

    entries = [('x86/quillrake.exe', read_exe('x86', a.x86)),
               ('x64/quillrake.exe', read_exe('x64', a.x64)),
               ('readme.txt', text_bytes('readme', a.readme, a.version)),
               ('LICENSE.txt', text_bytes('license', a.license)),
               ('NOTICES.txt', text_bytes('notices', a.notices))]
    # What sha256sum -c reads in the folder, with CR LF and .txt so that Notepad opens it.
    sums = crlf(f'{hashlib.sha256(d).hexdigest()}  {n}' for n, d in entries)
    entries.append(('SHA256SUMS.txt', sums.encode('ascii')))
    # Everything in one folder, so that "extract here" makes one folder too.
    folder = f'quillrake-{a.version}/'

    when = zip_time()
    out_dir = os.path.dirname(os.path.abspath(a.out))
    os.makedirs(out_dir, exist_ok=True)
    fd, tmp = tempfile.mkstemp(prefix='.dist-', suffix='.tmp', dir=out_dir)
    try:
        with os.fdopen(fd, 'wb') as f:
            with zipfile.ZipFile(f, 'w') as z:
                for name, data in entries:
                    info = zipfile.ZipInfo(folder + name, when)
                    info.create_system = 3  # Unix, so external_attr holds a file mode
                    info.external_attr = (stat.S_IFREG | 0o644) << 16  # regular file, rw-r--r--
                    z.writestr(info, data, zipfile.ZIP_DEFLATED, 9)
            f.flush()
            os.fsync(f.fileno())
        os.chmod(tmp, 0o644)
        os.replace(tmp, a.out)
    except BaseException:
        os.unlink(tmp)
        raise
    print(hashlib.sha256(open(a.out, 'rb').read()).hexdigest() + '  ' + a.out)


if __name__ == '__main__':
    main()
