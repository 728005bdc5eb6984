#!/usr/bin/python3
"""Checks what CI relies on dev.sh for, from outside, after ./dev.sh test has built
everything: a failing test fails `test`; a warning of the compilers or build tools,
on either stream, fails the build; an unknown argument is refused with the usage
line; `import` reads a UTF-16 .reg file (as reg export writes it), also named from the
folder it is run in, and a Shift-JIS one after the conversion its refusal names;
`dist` installs nothing the release does not need (no Wine, no 32-bit packages, no
locales); the zip's entries are dated by the commit, in UTC, whatever the build
machine's time zone, and the zip's check refuses a read-me that Notepad would show
wrong.
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
    found = dict(line.split('=', 1) for line in (ROOT / 'build/x64/wine.env').read_text().splitlines())
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

    # Whether 32-bit programs run decides what `test` sets up, in a mount namespace of
    # its own whose binfmt_misc is a folder the case lays out. Stand-ins: the probe
    # (tools/can-run-32bit.py), mount, update-binfmts, and dpkg-query, apt-get, cmake
    # and ctest, which say what was asked of them.
    machine = pathlib.Path(scratch, 'machine')
    machine.mkdir()
    asked = machine / 'asked'
    registered = machine / 'registered'
    for tool, body in (
            ('python3', f'[ "$1" = tools/can-run-32bit.py ] || exec /usr/bin/python3 "$@"\n'
                        f'if [ "$KERNEL" = runs ]; then printf "yes\\nnatively\\n"\n'
                        f'elif [ -f {registered} ]; then printf "yes\\nemulated: by qemu\\n"\n'
                        f'else echo "no: Exec format error"; fi'),
            ('mount', f'echo "mount $*" >>{asked}; [ "$MOUNTS" = yes ] || {{ echo "mount: permission denied" >&2; exit 32; }}'),
            ('update-binfmts', f'echo "update-binfmts $*" >>{asked}; touch {registered}'),
            ('dpkg-query', 'echo "install ok installed"'), ('apt-get', f'echo "apt-get $*" >>{asked}'),
            ('cmake', f'echo "cmake $* [$QUILLRAKE_NO_EMULATOR]" >>{asked}'),
            ('ctest', f'echo "ctest $*" >>{asked}')):
        (machine / tool).write_text(f'#!/bin/sh\n{body}\n')
        (machine / tool).chmod(0o755)
    # What binfmt_misc holds: mounted with no i386 handler, or not mounted at all.
    laid_out = '/bin/mount -t tmpfs none "$binfmt" && echo enabled >"$binfmt/status"'
    not_mounted = '/bin/umount "$binfmt" 2>/dev/null; true'
    builds = None  # the configurations, builds and tests run where 32-bit programs run
    for what, kernel, binfmt, mounts, setup, reason in (
            ('a kernel that runs 32-bit programs: no handler', 'runs', laid_out, 'yes', [], ''),
            ('a kernel that refuses them: the i386 handler, and nothing else changes', 'refuses', laid_out, 'yes',
             ['update-binfmts --package quillrake --install qemu-i386 /usr/bin/qemu-i386-static '
              '--magic \\x7f\\x45\\x4c\\x46\\x01\\x01\\x01\\x00'], ''),
            ('binfmt_misc that cannot be mounted: the x86 tests reported as not run, saying why', 'refuses',
             not_mounted, 'no', ['mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc'],
             'binfmt_misc cannot be mounted')):
        asked.unlink(missing_ok=True)
        registered.unlink(missing_ok=True)
        run = subprocess.run(['unshare', '--mount', 'sh', '-c', f'binfmt=/proc/sys/fs/binfmt_misc; {binfmt} && '
                              'exec ./dev.sh test'], cwd=ROOT, capture_output=True, text=True,
                             env={**os.environ, 'PATH': f'{machine}:{os.environ["PATH"]}', 'KERNEL': kernel,
                                  'MOUNTS': mounts})
        lines = asked.read_text().splitlines() if asked.exists() else []
        done = [line for line in lines if line.startswith(('mount', 'update-binfmts', 'apt-get'))]
        ran = [line.rsplit(' [', 1)[0] for line in lines if line.startswith(('cmake', 'ctest'))]
        told = {line.rsplit(' [', 1)[1][:-1] for line in lines if line.startswith('cmake')}
        builds = builds or ran
        check(run.returncode == 0 and len(done) == len(setup) and all(map(str.startswith, done, setup))
              and ran == builds and (told == {''} if not reason else bool(told) and all(reason in t for t in told)),
              f'test on {what}', f'exit {run.returncode}, asked {lines}\n{run.stderr[-1500:]}')

    # A warning stops the build wherever it is printed: configuring or building, on
    # standard output or (as GCC prints them) on standard error.
    (stubs / 'cmake').write_text('#!/bin/sh\n[ "$1" = "$WARN_AT" ] && echo "a.cpp:1:1: warning: planted" >&"$WARN_TO"\n'
                                 'exit 0\n')
    for stage, option in (('configuring', '--preset'), ('building', '--build')):
        for stream, descriptor in (('standard output', '1'), ('standard error', '2')):
            run = dev('build', env={'PATH': f'{stubs}:{os.environ["PATH"]}', 'WARN_AT': option, 'WARN_TO': descriptor})
            check(run.returncode != 0 and 'printed the warning' in run.stderr,
                  f'a warning on {stream} while {stage} fails the build', f'exit {run.returncode}: {run.stderr!r}')

    # What dist installs on a machine that has nothing yet, as apt-get and dpkg are
    # asked for it; it stops at its first step that needs what was not installed.
    installs = pathlib.Path(scratch, 'bare')
    installs.mkdir()
    record = installs / 'asked'
    for tool, body in (('dpkg-query', 'exit 1'), ('apt-get', f'echo "apt-get $*" >>{record}'),
                       ('dpkg', f'echo "dpkg $*" >>{record}'), ('locale', 'exit 0'),
                       ('locale-gen', f'echo locale-gen >>{record}'), ('sudo', 'exec "$@"'),
                       ('cmake', 'exit 0'), ('python3', 'exit 1')):
        (installs / tool).write_text(f'#!/bin/sh\n{body}\n')
        (installs / tool).chmod(0o755)
    dev('dist', env={'PATH': f'{installs}:{os.environ["PATH"]}'})
    asked = record.read_text().split() if record.exists() else []
    unneeded = [word for word in asked
                if word.startswith('wine') or word.endswith(':i386') or word in ('locales', 'locale-gen', '--add-architecture')]
    check('g++-mingw-w64-i686-win32' in asked and 'python3-pefile' in asked and not unneeded,
          'dist installs the compilers and pefile, and neither Wine nor 32-bit packages nor locales',
          f'asked for {" ".join(asked)!r}')

    for arguments in (['test', 'extra'], ['build', 'now'], ['run', 'x64'], ['demo', '--build'],
                      ['bench', '--build', 'arm'], ['dist', '--foo'], ['import'], ['import', 'a', 'b'],
                      ['frobnicate']):
        run = dev(*arguments)
        check(run.returncode == 2 and run.stderr.startswith('usage: ./dev.sh'),
              f'"{" ".join(arguments)}" is refused with the usage line', f'exit {run.returncode}: {run.stderr!r}')

    prefix = str(pathlib.Path(scratch, 'prefix'))

    def imported(name, encoding, how):
        """Writes a two-line .reg file (CR LF) with a Japanese path, imports it as `how`
        (the arguments after dev.sh, run from scratch) gives it, and reads it back."""
        key = f'HKEY_CURRENT_USER\\Software\\QuillrakeCheck\\{name}'
        value = f'"1"="C:\\\\プロジェクト\\\\{name}.vbp"'
        pathlib.Path(scratch, name).write_bytes(
            f'Windows Registry Editor Version 5.00\r\n\r\n[{key}]\r\n{value}\r\n'.encode(encoding))
        run = subprocess.run([str(ROOT / 'dev.sh'), *how(name)], cwd=scratch, capture_output=True, text=True,
                             env={**os.environ, 'WINEPREFIX': prefix})
        exported = pathlib.Path(scratch, 'back.reg')
        exported.unlink(missing_ok=True)
        wine(prefix, 'wine', 'reg', 'export', key, 'Z:' + str(exported), '/y')
        text = exported.read_bytes().decode('utf-16') if exported.exists() else ''
        return run, value in text.splitlines(), text

    def converted_as_hinted(name):
        """What a user does with a Shift-JIS file: runs the command the refusal names."""
        refused = subprocess.run([str(ROOT / 'dev.sh'), 'import', name], cwd=scratch, capture_output=True, text=True,
                                 env={**os.environ, 'WINEPREFIX': prefix})
        hint = next((line[line.index('iconv'):] for line in refused.stderr.splitlines() if 'iconv' in line), 'false')
        subprocess.run(hint, shell=True, cwd=scratch)
        return ['import', 'converted.reg']

    # reg export's own format (UTF-16 with a byte-order mark) by its full path and by its
    # name from the folder that holds it; a Shift-JIS file, as "Win9x/NT4" exports are,
    # through the conversion the refusal suggests.
    for what, name, encoding, how in (
            ('a UTF-16 .reg file', 'full.reg', 'utf-16', lambda name: ['import', str(pathlib.Path(scratch, name))]),
            ('a .reg file named from its own folder', 'here.reg', 'utf-16', lambda name: ['import', name]),
            ('a Shift-JIS .reg file, converted as the hint says', 'sjis.reg', 'cp932', converted_as_hinted)):
        run, found, text = imported(name, encoding, how)
        check(run.returncode == 0 and found, f'{what} imports and reads back',
              f'exit {run.returncode}: {run.stderr}\nread back: {text!r}')
    wine(prefix, 'wineserver', '-k')
    wine(prefix, 'wineserver', '-w')

    # A source changed after the last build: `build` makes the x86 exe again (it is built
    # as a project of its own inside the x86 build), as it does the x64 one.
    source = ROOT / 'app/main.cpp'
    os.utime(source)
    run = dev('build')
    stale = [exe for exe in ('x86', 'x64') if not (ROOT / f'build/{exe}/bin/quillrake.exe').exists()
             or (ROOT / f'build/{exe}/bin/quillrake.exe').stat().st_mtime < source.stat().st_mtime]
    check(run.returncode == 0 and not stale, 'build makes both exes again after a source changed',
          f'exit {run.returncode}, older than {source.name}: {stale}\n{run.stderr[-1000:]}')

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

    # The zip's check refuses a read-me that Notepad on a Japanese Windows shows wrong:
    # a line of fullwidth forms (two columns each) wider than 76 columns; a label or a
    # quote broken across lines.
    for what, added, refusal in (
            ('40 fullwidth forms (80 columns)', '（）：０９ＡＺ' * 5 + 'ＡＢＣＤＥ', 'wider than 76 columns'),
            ('a label broken across lines', '[すべて\r\n展開] をクリックします。', 'broken across lines'),
            ('a quote broken across lines', '「実行\r\nしますか?」', 'broken across lines')):
        doctored = pathlib.Path(scratch, 'doctored', zips[-1].name)
        doctored.parent.mkdir(exist_ok=True)
        with zipfile.ZipFile(zips[-1]) as original, zipfile.ZipFile(doctored, 'w') as copy:
            for info in original.infolist():
                data = original.read(info)
                if info.filename.endswith('/readme.txt'):
                    data += (added + '\r\n').encode('cp932')
                copy.writestr(info, data)
        refused = subprocess.run(['/usr/bin/python3', str(ROOT / 'tools/check-dist.py'), str(doctored),
                                  '--x86', str(ROOT / 'build/x86-dist/bin/quillrake.exe'),
                                  '--x64', str(ROOT / 'build/x64-dist/bin/quillrake.exe'), '--date', str(commit)],
                                 capture_output=True, text=True)
        check(refused.returncode == 1 and refusal in refused.stderr, f'the zip check refuses a read-me with {what}',
              f'exit {refused.returncode}: {refused.stderr[-1000:]!r}')

print(f'{len(failures)} check(s) failed' if failures else 'all checks passed')
sys.exit(1 if failures else 0)
