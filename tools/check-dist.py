#!/usr/bin/env python3
"""Checks a release zip before it is published: layout, the exact exes that were
built, a read-me Windows Notepad shows correctly, and checksums that match.
Reports every problem it finds, not just the first; exits 1 if there was any."""
import argparse, datetime, hashlib, os, re, sys, unicodedata, zipfile

import pefile  # Debian's python3-pefile, for /usr/bin/python3

NAMES = ['x86/quillrake.exe', 'x64/quillrake.exe', 'readme.txt', 'LICENSE.txt', 'NOTICES.txt',
         'SHA256SUMS.txt']
TEXTS = {'readme.txt': ['レジストリクリア', 'reg export', 'reg import', 'SHA256SUMS.txt', 'MIT'],
         'LICENSE.txt': ['MIT License', 'the Quillrake developers'],
         'NOTICES.txt': ['mingw-w64', 'Lucent', 'winpthreads', 'Runtime Library Exception']}
problems = []


def check(ok, passed, failed):
    if ok:
        print('ok: ' + passed)
    else:
        problems.append(failed)
        print('FAIL: ' + failed, file=sys.stderr)
    return ok


def columns(line):
    """How wide a line is in Notepad: East Asian wide characters take two columns."""
    return sum(2 if unicodedata.east_asian_width(c) in 'WF' else 1 for c in line)


BRACKETS = {'[': ']', '「': '」'}


def broken_brackets(line):
    """Whether a label [..] or a quote 「..」 of the line opens or closes on another."""
    waiting = []
    for c in line:
        if c in BRACKETS:
            waiting.append(BRACKETS[c])
        elif c in BRACKETS.values() and (not waiting or waiting.pop() != c):
            return True
    return bool(waiting)


def product_version(exe):
    """The ProductVersion text of an exe's version record, or None."""
    pe = pefile.PE(data=exe, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_RESOURCE']])
    return next((table.entries[b'ProductVersion'].decode() for info in getattr(pe, 'FileInfo', [[]])[0]
                 if info.Key == b'StringFileInfo' for table in info.StringTable
                 if b'ProductVersion' in table.entries), None)


def crlf_only(text):
    return re.search(r'\r(?!\n)|(?<!\r)\n', text) is None and text.endswith('\r\n')


def main():
    ap = argparse.ArgumentParser(description='Check a release zip.')
    ap.add_argument('zip')
    ap.add_argument('--x86', required=True)
    ap.add_argument('--x64', required=True)
    ap.add_argument('--date', required=True, type=int, help='when the entries must be dated (Unix time)')
    a = ap.parse_args()
    try:
        z = zipfile.ZipFile(a.zip)
        built = {NAMES[0]: open(a.x86, 'rb').read(), NAMES[1]: open(a.x64, 'rb').read()}
    except (OSError, zipfile.BadZipFile) as e:
        sys.exit(f'check-dist.py: {e}')

    infos = z.infolist()
    names = [i.filename for i in infos]
    # One folder named as the zip, so that "extract here" makes one folder too.
    folder = os.path.basename(a.zip).removesuffix('.zip') + '/'
    check(names == [folder + n for n in NAMES], f'entries are {", ".join(NAMES)} in {folder}',
          f'entries are {names}, expected {NAMES} in {folder}, in that order')
    check(all(n.isascii() for n in names), 'entry names are ASCII',
          'non-ASCII entry names: ' + ', '.join(n for n in names if not n.isascii()))
    # Explorer's zip folders (XP to 10) extract stored and deflated entries only.
    methods = {i.filename: i.compress_type for i in infos
               if i.compress_type not in (zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED)}
    check(not methods, 'every entry is stored or deflated, as Explorer reads them',
          f'entries not stored or deflated (Explorer cannot extract them): {methods}')
    t = datetime.datetime.fromtimestamp(a.date, datetime.timezone.utc)
    when = (t.year, t.month, t.day, t.hour, t.minute, t.second - t.second % 2)
    times = {i.date_time for i in infos}
    check(times == {when}, f'every entry is dated {when} (UTC), as the commit',
          f'entries are dated {sorted(times)}, not {when}')

    data, readme = {}, None
    for name in NAMES:
        try:
            data[name] = z.read(folder + name)  # also verifies the stored CRC
        except KeyError:
            pass  # already reported by the entry list check
        except (zipfile.BadZipFile, OSError, ValueError) as e:
            check(False, '', f'{name}: cannot be read: {e}')

    for name, expected in built.items():
        if name in data:
            check(data[name] == expected, f'{name} equals the built file',
                  f'{name} differs from the built file given for it')

    # Every text opens in Notepad on Windows XP: CP932 (or ASCII), CR LF, no BOM.
    for name, words in TEXTS.items():
        if name not in data:
            continue
        check(not data[name].startswith(b'\xef\xbb\xbf'), f'{name} has no BOM', f'{name} starts with a UTF-8 BOM')
        try:
            text = data[name].decode('cp932')
        except UnicodeDecodeError as e:
            check(False, '', f'{name} is not valid CP932: {e}')
            continue
        print(f'ok: {name} decodes as CP932')
        check(crlf_only(text), f'{name} uses CR LF line ends', f'{name} has a bare CR or LF, or no final CR LF')
        missing = [w for w in words if w not in text]
        check(not missing, f'{name} mentions ' + ', '.join(words), f'{name} does not mention ' + ', '.join(missing))
        check('{VERSION}' not in text, f'{name} has no placeholder left', f'{name} still contains {{VERSION}}')
        if name == 'readme.txt':
            readme = text
            # Command lines (indented, ASCII) may be longer: they are copied, not read.
            lines = list(enumerate(text.split('\r\n'), 1))
            wide = [no for no, line in lines
                    if columns(line) > 76 and not (line.startswith('  ') and line.isascii())]
            check(not wide, f'{name} fits 76 columns', f'{name} lines wider than 76 columns: {wide}')
            # Notepad shows a CP932 file as mojibake where Windows is not set to Japanese:
            # the paragraph after the title says, in ASCII, what the rest says in Japanese.
            paragraph = text.split('\r\n\r\n')[1] if text.count('\r\n\r\n') >= 2 else ''
            check(paragraph.isascii() and len(paragraph.split()) > 20,
                  f'{name} opens with an ASCII paragraph after its title',
                  f'{name} has no ASCII paragraph right after its title, before any Japanese text: '
                  f'{paragraph[:60]!r}')
            # Notepad may wrap anywhere; a label or a quote split by the text itself reads wrong.
            broken = [no for no, line in lines if broken_brackets(line)]
            check(not broken, f'{name} has every [label] and 「quote」 on one line',
                  f'{name} lines with a [label] or 「quote」 broken across lines: {broken}')

    # One version, written the same way everywhere: the zip's folder, the read-me's
    # title and its newest history entry (written by hand), and the version records.
    title = re.match(r'Quillrake バージョン (\S+)\r\n', readme) if readme else None
    newest = re.search(r'■ 更新履歴\r\n\r\n  (\S+)  \d{4}/\d\d/\d\d', readme) if readme else None
    versions = {'the folder': folder.removeprefix('quillrake-').removesuffix('/'),
                "the read-me's title": title and title[1], "the read-me's newest history entry": newest and newest[1],
                **{f'the ProductVersion of {name}': product_version(exe) for name, exe in built.items()}}
    check(None not in versions.values() and len(set(versions.values())) == 1,
          f'the version reads {versions["the folder"]} everywhere', f'versions differ: {versions}')

    sums = data.get('SHA256SUMS.txt')
    if sums is not None:
        listed, bad = {}, []
        text = sums.decode('ascii', 'replace')
        if not crlf_only(text):
            bad.append('a bare CR or LF, or no final CR LF')
        for line in text.split('\r\n')[:-1]:
            m = re.fullmatch(r'([0-9a-f]{64})  (\S+)', line)
            if m and m[2] not in listed:
                listed[m[2]] = m[1]
            else:
                bad.append(repr(line))
        check(not bad, 'SHA256SUMS.txt is well formed (CR LF, "<hex>  <name>")',
              'SHA256SUMS.txt has malformed or duplicate lines: ' + ', '.join(bad))
        check(list(listed) == NAMES[:-1], 'SHA256SUMS.txt lists ' + ', '.join(NAMES[:-1]),
              f'SHA256SUMS.txt lists {list(listed)}, expected {NAMES[:-1]}')
        for name, digest in listed.items():
            if name in data:
                check(hashlib.sha256(data[name]).hexdigest() == digest,
                      f'SHA256SUMS.txt matches {name}', f'SHA256SUMS.txt is wrong for {name}')

    if problems:
        sys.exit(f'check-dist.py: {a.zip}: {len(problems)} problem(s)')
    print(f'{a.zip}: all checks passed')


if __name__ == '__main__':
    main()
