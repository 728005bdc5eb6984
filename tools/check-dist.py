#!/usr/bin/env python3
"""Checks a release zip before it is published: layout, the exact exes that were
built, a read-me Windows Notepad shows correctly, and checksums that match.
Reports every problem it finds, not just the first; exits 1 if there was any."""
import argparse, hashlib, re, sys, zipfile

NAMES = ['x86/quillrake.exe', 'x64/quillrake.exe', 'readme.txt', 'SHA256SUMS']
README_WORDS = ['レジストリクリア', 'reg export', 'reg import', 'certutil']
problems = []


def check(ok, passed, failed):
    if ok:
        print('ok: ' + passed)
    else:
        problems.append(failed)
        print('FAIL: ' + failed, file=sys.stderr)
    return ok


def main():
    ap = argparse.ArgumentParser(description='Check a release zip.')
    ap.add_argument('zip')
    ap.add_argument('--x86', required=True)
    ap.add_argument('--x64', required=True)
    a = ap.parse_args()
    try:
        z = zipfile.ZipFile(a.zip)
        built = {NAMES[0]: open(a.x86, 'rb').read(), NAMES[1]: open(a.x64, 'rb').read()}
    except (OSError, zipfile.BadZipFile) as e:
        sys.exit(f'check-dist.py: {e}')

    infos = z.infolist()
    names = [i.filename for i in infos]
    check(names == NAMES, 'entries are ' + ', '.join(NAMES),
          f'entries are {names}, expected {NAMES} in that order')
    check(all(n.isascii() for n in names), 'entry names are ASCII',
          'non-ASCII entry names: ' + ', '.join(n for n in names if not n.isascii()))
    times = {i.date_time for i in infos}
    check(len(times) == 1, f'every entry is dated {min(times, default=None)}',
          f'entries carry different times: {sorted(times)}')

    data = {}
    for name in NAMES:
        try:
            data[name] = z.read(name)  # also verifies the stored CRC
        except KeyError:
            pass  # already reported by the entry list check
        except (zipfile.BadZipFile, OSError, ValueError) as e:
            check(False, '', f'{name}: cannot be read: {e}')

    for name, expected in built.items():
        if name in data:
            check(data[name] == expected, f'{name} equals the built file',
                  f'{name} differs from the built file given for it')

    readme = data.get('readme.txt')
    if readme is not None:
        check(not readme.startswith(b'\xef\xbb\xbf'), 'readme.txt has no BOM',
              'readme.txt starts with a UTF-8 BOM')
        try:
            text = readme.decode('cp932')
        except UnicodeDecodeError as e:
            text = None
            check(False, '', f'readme.txt is not valid CP932: {e}')
        if text is not None:
            print('ok: readme.txt decodes as CP932')
            bare = re.search(r'\r(?!\n)|(?<!\r)\n', text)
            check(bare is None and text.endswith('\r\n'), 'readme.txt uses CR LF line ends',
                  'readme.txt has a bare CR or LF, or no final CR LF')
            missing = [w for w in README_WORDS if w not in text]
            check(not missing, 'readme.txt mentions ' + ', '.join(README_WORDS),
                  'readme.txt does not mention ' + ', '.join(missing))
            check('{VERSION}' not in text, 'readme.txt has its version filled in',
                  'readme.txt still contains {VERSION}')

    sums = data.get('SHA256SUMS')
    if sums is not None:
        listed, bad = {}, []
        lines = sums.decode('ascii', 'replace').split('\n')
        if lines[-1] == '':
            lines.pop()
        else:
            bad.append('no final LF')
        for line in lines:
            m = re.fullmatch(r'([0-9a-f]{64})  (\S+)', line)
            if m and m[2] not in listed:
                listed[m[2]] = m[1]
            else:
                bad.append(repr(line))
        check(not bad, 'SHA256SUMS is well formed (LF, "<hex>  <name>")',
              'SHA256SUMS has malformed or duplicate lines: ' + ', '.join(bad))
        check(list(listed) == NAMES[:3], 'SHA256SUMS lists ' + ', '.join(NAMES[:3]),
              f'SHA256SUMS lists {list(listed)}, expected {NAMES[:3]}')
        for name, digest in listed.items():
            if name in data and name != 'SHA256SUMS':
                check(hashlib.sha256(data[name]).hexdigest() == digest,
                      f'SHA256SUMS matches {name}', f'SHA256SUMS is wrong for {name}')

    if problems:
        sys.exit(f'check-dist.py: {a.zip}: {len(problems)} problem(s)')
    print(f'{a.zip}: all checks passed')


if __name__ == '__main__':
    main()
