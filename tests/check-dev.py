#!/usr/bin/python3
"""Checks what CI relies on dev.sh for, from outside, after ./dev.sh test has built
everything: a failing test fails `test`; an unknown argument is refused with the
usage line; `import` reads a UTF-16 .reg file (as reg export writes it); the zip's
entries are dated by the commit, in UTC, whatever the build machine's time zone.
Usage: check-dev.py (from anywhere in the checkout). Exits 1 when any check failed."""
import datetime
import os
import pathlib
import subprocess
import sys
import tempfile
import zipfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
failures = []


def check(ok, what, why=''):
    print(('ok: ' if ok else 'FAIL: ') + what + ('' if ok else f': {why}'))
    if not ok:
        failures.append(what)


def dev(*arguments, env=None):
    """Runs dev.sh; a variable given as None is not set at all."""
    environment = {**os.environ, **(env or {})}
    return subprocess.run(['./dev.sh', *arguments], cwd=ROOT, capture_output=True, text=True,
                          env={name: value for name, value in environment.items() if value is not None})


def wine(prefix, tool, *arguments):
    """Runs Wine ('wine') or its server ('wineserver') as the build found them."""
    found = dict(line.split('=', 1) for line in (ROOT / 'build/x64/wine.env').read_text().split())
    return subprocess.run([found[tool].strip("'"), *arguments], capture_output=True,
                          env={**os.environ, 'WINEPREFIX': prefix, 'WINEDEBUG': '-all'})


with tempfile.TemporaryDirectory() as scratch:
    # A test run whose tests fail, or pass: ctest and cmake stand-ins say so at once.
    stubs = pathlib.Path(scratch, 'bin')
    stubs.mkdir()
    for tool, status in (('cmake', '0'), ('ctest', '${CTEST_STATUS}')):
        (stubs / tool).write_text(f'#!/bin/sh\nexit {status}\n')
        (stubs / tool).chmod(0o755)
    for ctest_status, expected in (('1', 1), ('0', 0)):
        run = dev('test', env={'PATH': f'{stubs}:{os.environ["PATH"]}', 'CTEST_STATUS': ctest_status})
        check(run.returncode == expected, f'test exits {expected} when ctest exits {ctest_status}',
              f'exit {run.returncode}\n{run.stderr}')

    for arguments in (['test', 'extra'], ['build', 'now'], ['run', 'x64'], ['demo', '--build'],
                      ['bench', '--build', 'arm'], ['dist', '--foo'], ['import'], ['import', 'a', 'b'],
                      ['frobnicate']):
        run = dev(*arguments)
        check(run.returncode == 2 and run.stderr.startswith('usage: ./dev.sh'),
              f'"{" ".join(arguments)}" is refused with the usage line', f'exit {run.returncode}: {run.stderr!r}')

    # reg export's own format: UTF-16 with a byte-order mark and CR LF.
    value = '"1"="C:\\\\プロジェクト\\\\a.vbp"'
    key = 'HKEY_CURRENT_USER\\Software\\QuillrakeCheck'
    reg = pathlib.Path(scratch, 'two.reg')
    reg.write_bytes(f'Windows Registry Editor Version 5.00\r\n\r\n[{key}]\r\n{value}\r\n'.encode('utf-16'))
    prefix = str(pathlib.Path(scratch, 'prefix'))
    run = dev('import', str(reg), env={'WINEPREFIX': prefix})
    exported = pathlib.Path(scratch, 'back.reg')
    wine(prefix, 'wine', 'reg', 'export', key, 'Z:' + str(exported), '/y')
    text = exported.read_bytes().decode('utf-16') if exported.exists() else ''
    check(run.returncode == 0 and value in text.splitlines(), 'a UTF-16 .reg file imports and reads back',
          f'exit {run.returncode}: {run.stderr}\nread back: {text!r}')
    wine(prefix, 'wineserver', '-k')
    wine(prefix, 'wineserver', '-w')

    # Two clones agree with each other whatever clock they share: compare with the commit.
    run = dev('dist', env={'TZ': 'Asia/Tokyo', 'SOURCE_DATE_EPOCH': None})
    commit = int(subprocess.run(['git', 'log', '-1', '--format=%ct'], cwd=ROOT, capture_output=True,
                                text=True).stdout)
    t = datetime.datetime.fromtimestamp(commit, datetime.timezone.utc)
    when = (t.year, t.month, t.day, t.hour, t.minute, t.second - t.second % 2)
    zips = sorted(ROOT.glob('dist/quillrake-*.zip'), key=lambda path: path.stat().st_mtime)
    dates = {info.date_time for info in zipfile.ZipFile(zips[-1]).infolist()} if zips else set()
    check(run.returncode == 0 and dates == {when}, f'built in Tokyo, the zip is dated {when}, the commit in UTC',
          f'exit {run.returncode}: {run.stderr[-2000:]}\ndated {sorted(dates)}')

print(f'{len(failures)} check(s) failed' if failures else 'all checks passed')
sys.exit(1 if failures else 0)
