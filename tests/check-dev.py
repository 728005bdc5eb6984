#!/usr/bin/python3
"""Checks what CI relies on dev.sh for, from outside, after ./dev.sh test has built
everything, running the real command where it can and stand-ins only for what would
change the machine: what `test` sets up where the kernel runs 32-bit programs, refuses
them, or cannot mount binfmt_misc, and the locales it makes; that a failing test fails
`test`, and a warning in any form, on either stream, the build; that `build` makes both
exes again after a source changed; which build run, demo and bench take, and the x86
refusal; the usage; what `import` reads; the read-me's own reg export and import lines;
the screen made for the prefix's DPI; what `dist` installs, that its presets need no
Wine, that a failed zip check fails it, and the zip's dates; what the zip's check
refuses; and the facts the read-me and README.md share.
Usage: check-dev.py (from anywhere in the checkout). Exits 1 when any check failed."""
import datetime
import os
import pathlib
import re
import shutil
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


def stand_ins(folder, tools):
    """Makes `folder` hold a stand-in for each (command, shell body) given and returns
    it; put first on PATH, they answer in place of the real commands."""
    folder.mkdir(parents=True, exist_ok=True)
    for tool, body in tools:
        (folder / tool).write_text(f'#!/bin/sh\n{body}\n')
        (folder / tool).chmod(0o755)
    return folder


def wine(prefix, tool, *arguments, cwd=None):
    """Runs Wine ('wine') or its server ('wineserver') as the build found them."""
    found = dict(line.split('=', 1) for line in (ROOT / 'build/x64/wine.env').read_text().splitlines())
    return subprocess.run([found[tool].strip("'"), *arguments], capture_output=True, cwd=cwd,
                          env={**os.environ, 'WINEPREFIX': prefix, 'WINEDEBUG': '-all'})


# Facts a user acts on that the zip's read-me and this README both state, each as one
# pattern per text whose group is the fact: both must find it, and the same.
SHARED_FACTS = [
    ('the exe for Windows 10 on ARM', r'ARM 版の Windows 10\s+(x86|x64)\\quillrake\.exe を使います',
     r'Windows 10 on ARM[^|]*\| `(x86|x64)/quillrake\.exe`'),
    ('the exe for Windows 11 on ARM', r'ARM 版の Windows 11\s+(x86|x64)\\quillrake\.exe を使います',
     r'Windows 11 on ARM[^|]*\| `(x86|x64)/quillrake\.exe`'),
    ('the Windows up to which the console does not paste with Ctrl+V',
     r'Windows ([\d.]+) までのコマンド\s*プロンプトでは\s*Ctrl\+V\s*で貼り付けられない',
     r'up to Windows ([\d.]+) the console pastes it by right-click, not Ctrl\+V'),
    ("the key that opens Edge's download list", r'Edge.{0,200}?ダウンロードの\s*一覧\s*\((Ctrl\+\w) で開きます\)',
     r'Edge may warn[^.]*?download list \((Ctrl\+\w)\)'),
]

with tempfile.TemporaryDirectory() as scratch:
    # A test run whose tests fail, or pass: ctest and cmake stand-ins say so at once.
    stubs = stand_ins(pathlib.Path(scratch, 'bin'), (('cmake', 'exit 0'), ('ctest', 'exit ${CTEST_STATUS}')))
    for ctest_status, expected in (('1', 1), ('0', 0)):
        run = dev('test', env={'PATH': f'{stubs}:{os.environ["PATH"]}', 'CTEST_STATUS': ctest_status})
        check(run.returncode == expected, f'test exits {expected} when ctest exits {ctest_status}',
              f'exit {run.returncode}\n{run.stderr}')

    # Whether 32-bit programs run decides what `test` sets up, in a mount namespace of
    # its own whose binfmt_misc is a folder the case lays out. Stand-ins: the probe
    # (tools/can-run-32bit.py), mount, update-binfmts, and dpkg-query, apt-get, cmake
    # and ctest, which say what was asked of them.
    machine = pathlib.Path(scratch, 'machine')
    asked = machine / 'asked'
    registered = machine / 'registered'
    stand_ins(machine, (
            ('python3', f'[ "$1" = tools/can-run-32bit.py ] || exec /usr/bin/python3 "$@"\n'
                        f'if [ "$KERNEL" = runs ]; then printf "yes\\nnatively\\n"\n'
                        f'elif [ -f {registered} ]; then printf "yes\\nemulated: by qemu\\n"\n'
                        f'else echo "no: Exec format error"; fi'),
            ('mount', f'echo "mount $*" >>{asked}; [ "$MOUNTS" = yes ] || {{ echo "mount: permission denied" >&2; exit 32; }}'),
            ('update-binfmts', f'echo "update-binfmts $*" >>{asked}; touch {registered}'),
            ('dpkg-query', 'echo "install ok installed"'), ('apt-get', f'echo "apt-get $*" >>{asked}'),
            ('cmake', f'echo "cmake $* [$QUILLRAKE_NO_EMULATOR]" >>{asked}'),
            ('ctest', f'echo "ctest $*" >>{asked}')))
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
    (stubs / 'cmake').write_text('#!/bin/sh\n[ "$1" = "$WARN_AT" ] && echo "$WARNING" >&"$WARN_TO"\nexit 0\n')
    planted = 'a.cpp:1:1: warning: planted'
    for stage, option, stream, descriptor, warning in (
            ('configuring', '--preset', 'standard output', '1', planted),
            ('configuring', '--preset', 'standard error', '2', planted),
            ('building', '--build', 'standard output', '1', planted),
            ('building', '--build', 'standard error', '2', planted),
            # Every form CMake prints its own in, in any letter case.
            ('configuring', '--preset', 'standard error', '2', 'CMake Warning:'),
            ('configuring', '--preset', 'standard error', '2', 'CMake Warning at CMakeLists.txt:9 (message):'),
            ('configuring', '--preset', 'standard error', '2', 'CMake Warning (dev) at CMakeLists.txt:9 (project):'),
            ('configuring', '--preset', 'standard error', '2',
             'CMake Deprecation Warning at CMakeLists.txt:1 (cmake_minimum_required):'),
            ('building', '--build', 'standard output', '1', 'CMAKE WARNING AT tests/CMakeLists.txt:9 (message):')):
        run = dev('build', env={'PATH': f'{stubs}:{os.environ["PATH"]}', 'WARN_AT': option, 'WARN_TO': descriptor,
                                'WARNING': warning})
        check(run.returncode != 0 and 'printed the warning' in run.stderr,
              f'"{warning}" on {stream} while {stage} fails the build', f'exit {run.returncode}: {run.stderr!r}')

    # What dist installs on a machine that has nothing yet, as apt-get and dpkg are
    # asked for it; it stops at its first step that needs what was not installed.
    installs = pathlib.Path(scratch, 'bare')
    record = installs / 'asked'
    stand_ins(installs, (('dpkg-query', 'exit 1'), ('apt-get', f'echo "apt-get $*" >>{record}'),
                         ('dpkg', f'echo "dpkg $*" >>{record}'), ('locale', 'exit 0'),
                         ('locale-gen', f'echo locale-gen >>{record}'), ('sudo', 'exec "$@"'),
                         ('cmake', 'exit 0'), ('python3', 'exit 1')))
    dev('dist', env={'PATH': f'{installs}:{os.environ["PATH"]}'})
    asked = record.read_text().split() if record.exists() else []
    unneeded = [word for word in asked
                if word.startswith('wine') or word.endswith(':i386') or word in ('locales', 'locale-gen', '--add-architecture')]
    check('g++-mingw-w64-i686-win32' in asked and 'python3-pefile' in asked and not unneeded,
          'dist installs the compilers and pefile, and neither Wine nor 32-bit packages nor locales',
          f'asked for {" ".join(asked)!r}')
    # A new machine's package lists were never fetched: apt-get would not find a package.
    calls = record.read_text().splitlines() if record.exists() else []
    check(any(call.startswith('apt-get update') for call in calls[:1]) and any('install' in call for call in calls),
          'dist fetches the package lists before it installs', f'asked {calls}')

    for arguments in ([], ['frobnicate']):
        run = dev(*arguments)
        listed = [command for command in ('test', 'run [--build x86|x64]', 'demo [--build x86|x64]',
                                          'bench [--build x86|x64]', 'build', 'import FILE.reg', 'dist [--verify]')
                  if f'./dev.sh {command} ' not in run.stderr]
        check(run.returncode == 2 and not listed, f'"./dev.sh {" ".join(arguments)}" lists every command',
              f'exit {run.returncode}, missing {listed}: {run.stderr!r}')
    for arguments in (['test', 'extra'], ['build', 'now'], ['run', 'x64'], ['demo', '--build'],
                      ['bench', '--build', 'arm'], ['dist', '--foo'], ['import'], ['import', 'a', 'b'],
                      ['frobnicate']):
        run = dev(*arguments)
        check(run.returncode == 2 and run.stderr.startswith('usage: ./dev.sh'),
              f'"{" ".join(arguments)}" is refused with the usage line', f'exit {run.returncode}: {run.stderr!r}')

    # Which build run, demo and bench start, where the x86 one runs and where it cannot
    # even be emulated; and the locales test makes. A copy of dev.sh alone, whose build
    # tree the stand-in cmake writes as configuring would.
    alone = pathlib.Path(scratch, 'alone')
    started = alone / 'started'
    stand_ins(alone / 'bin', (
            ('dpkg-query', 'echo "install ok installed"'), ('python3', 'printf "$PROBE\\n"'),
            ('mountpoint', 'exit 1'), ('mount', 'exit 32'), ('locale', 'printf "$LOCALES\\n"'),
            ('cmake', 'case "$*" in "--preset x86") mkdir -p build/x86\n'
                      '  printf "runs_32bit=\'%s\'\\nemulator=\'\'\\n" "${PROBE%%\\\\n*}" >build/x86/wine.env ;; esac\n'
                      f'echo "cmake $*" >>{started}'),
            ('ctest', 'exit 0'), ('sh', f'echo "sh $*" >>{started}'), ('locale-gen', f'echo locale-gen >>{started}')))
    shutil.copy(ROOT / 'dev.sh', alone)
    runs, refused = 'yes\\nnatively', 'no: this machine cannot execute 32-bit programs'
    both = 'ja_JP.utf8\\nen_US.utf8'
    for arguments, probe, locales, status, wanted, unwanted in (
            (['run', '--build', 'x64'], runs, both, 0, 'sh tools/run-gui.sh run build/x64', 'build/x86'),
            (['demo', '--build', 'x64'], runs, both, 0, 'sh tools/run-gui.sh demo build/x64', 'build/x86'),
            (['bench', '--build', 'x64'], runs, both, 0, 'sh bench/run.sh build x64', 'build x86'),
            # Where even an emulator cannot run it: said, with the way out, and nothing built or started.
            (['run'], refused, both, 1, '--build x64', '--build --preset'),
            (['demo', '--build', 'x86'], refused, both, 1, '--build x64', '--build --preset'),
            (['bench', '--build', 'x86'], refused, both, 1, '--build x64', '--build --preset'),
            # The user-locale test needs en_US.UTF-8 beside ja_JP.UTF-8.
            (['test'], runs, 'ja_JP.utf8', 0, 'locale-gen', None)):
        started.unlink(missing_ok=True)
        shutil.rmtree(alone / 'build', ignore_errors=True)
        run = subprocess.run(['./dev.sh', *arguments], cwd=alone, capture_output=True, text=True,
                             env={**os.environ, 'PATH': f'{alone / "bin"}:{os.environ["PATH"]}', 'PROBE': probe,
                                  'LOCALES': locales})
        done = started.read_text() if started.exists() else ''
        check(run.returncode == status and wanted in done + run.stderr and not (unwanted and unwanted in done),
              f'"{" ".join(arguments)}" where 32-bit programs {"run" if probe == runs else "cannot run"}'
              + (f' and only {locales} is there' if locales != both else ''),
              f'exit {run.returncode}, did {done!r}\n{run.stderr[-800:]}')

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
            ('a UTF-8 .reg file with a byte-order mark, as Notepad saves it', 'bom.reg', 'utf-8-sig',
             lambda name: ['import', name]),
            ('a Shift-JIS .reg file, converted as the hint says', 'sjis.reg', 'cp932', converted_as_hinted)):
        run, found, text = imported(name, encoding, how)
        check(run.returncode == 0 and found, f'{what} imports and reads back',
              f'exit {run.returncode}: {run.stderr}\nread back: {text!r}')
    # The read-me's own backup and restore lines, as a user runs them in a command
    # prompt, against the key holding the demo's four projects.
    readme = (ROOT / 'resources/readme-ja.txt').read_text()
    demo = (ROOT / 'tools/demo-recent-files.reg').read_text().splitlines()
    projects = [line for line in demo if line.startswith('"')]
    key = next(line[1:-1] for line in demo if line.startswith('[HKEY_CURRENT_USER'))
    backup = [line.strip() for line in readme.splitlines() if line.startswith('  reg export ')]
    restore = [line.strip() for line in readme.splitlines() if line.startswith('  reg import ')]
    folder = pathlib.Path(scratch, 'backups')
    folder.mkdir()
    dev('import', str(ROOT / 'tools/demo-recent-files.reg'), env={'WINEPREFIX': prefix})

    def saved(file):
        """The value lines of a .reg file that reg export wrote."""
        path = folder / file
        return path.read_bytes().decode('utf-16').splitlines() if path.exists() else []

    def typed(line):
        """Runs a line as the command prompt runs it, from a batch file: Wine's own
        command line would quote the line's quotes again."""
        (folder / 'typed.cmd').write_text(line + '\r\n')
        wine(prefix, 'wine', 'cmd', '/c', 'typed.cmd', cwd=folder)

    held = None
    if len(backup) == 1 and len(restore) == 1:
        typed(backup[0])
        held = saved('backup.reg')
        wine(prefix, 'wine', 'reg', 'delete', key, '/f')
        typed(restore[0])
        wine(prefix, 'wine', 'reg', 'export', key, 'after.reg', '/y', cwd=folder)
    check(held is not None and all(line in held for line in projects)
          and all(line in saved('after.reg') for line in projects),
          "the read-me's reg export line saves every value, and its reg import line brings them back",
          f'lines {backup} {restore}; saved {held}; restored {saved("after.reg")}')

    # Without a display, run makes a virtual screen to fit the prefix's DPI (Wine keeps
    # it in hex: 0x60 is 96, read as 60 it would be a screen smaller than the window).
    screen = pathlib.Path(scratch, 'screen')
    stand_ins(screen, (('dpkg-query', 'echo "install ok installed"'), ('cmake', 'exit 0'),
                       ('xvfb-run', f'echo "$@" >{screen}/asked')))
    run = dev('run', '--build', 'x64', env={'PATH': f'{screen}:{os.environ["PATH"]}', 'WINEPREFIX': prefix,
                                             'DISPLAY': None, 'WAYLAND_DISPLAY': None})
    asked = (screen / 'asked').read_text() if (screen / 'asked').exists() else ''
    check(run.returncode == 0 and '-screen 0 400x340x24' in asked,
          'run without a display makes a 400 by 340 screen at 96 DPI', f'exit {run.returncode}, xvfb-run {asked!r}\n'
          f'{run.stderr[-800:]}')
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

    # A step that fails fails the command: here the zip's check, given a zip with an
    # entry too many (a stand-in python3 adds it once tools/dist.py has written the zip).
    spoiler = pathlib.Path(scratch, 'spoiler')
    spoiler.mkdir()
    (spoiler / 'python3').write_text(
        '#!/usr/bin/python3\nimport subprocess, sys, zipfile\n'
        'status = subprocess.run(["/usr/bin/python3", *sys.argv[1:]]).returncode\n'
        'if sys.argv[1:2] == ["tools/dist.py"] and status == 0:\n'
        '    with zipfile.ZipFile(sys.argv[sys.argv.index("--out") + 1], "a") as z: z.writestr("extra.txt", "x")\n'
        'sys.exit(status)\n')
    (spoiler / 'python3').chmod(0o755)
    for arguments in (['dist'], ['dist', '--verify']):
        run = dev(*arguments, env={'PATH': f'{spoiler}:{os.environ["PATH"]}'})
        check(run.returncode != 0 and 'check-dist.py' in run.stderr and 'identical' not in run.stdout,
              f'"{" ".join(arguments)}" fails where the zip check refuses the zip', f'exit {run.returncode}')

    # Two clones agree with each other whatever clock they share: compare with the commit.
    run = dev('dist', env={'TZ': 'Asia/Tokyo', 'SOURCE_DATE_EPOCH': None})
    commit = int(subprocess.run(['git', 'log', '-1', '--format=%ct'], cwd=ROOT, capture_output=True,
                                text=True).stdout)
    t = datetime.datetime.fromtimestamp(commit, datetime.timezone.utc)
    when = (t.year, t.month, t.day, t.hour, t.minute, t.second - t.second % 2)
    zips = sorted(ROOT.glob('dist/quillrake-*.zip'), key=lambda path: path.stat().st_mtime)
    dates = {info.date_time for info in zipfile.ZipFile(zips[-1]).infolist()} if zips else set()
    # What a machine set up only for releases has: the release presets, configured afresh,
    # look for no Wine (CMake would find Debian's own folder, wherever PATH points) and
    # define no test.
    for preset in ('x86-dist', 'x64-dist'):
        tree = pathlib.Path(scratch, preset)
        configured = subprocess.run(['cmake', '--preset', preset, '-B', str(tree)], cwd=ROOT, capture_output=True,
                                    text=True)
        cache = (tree / 'CMakeCache.txt').read_text() if (tree / 'CMakeCache.txt').exists() else ''
        listed = subprocess.run(['ctest', '--test-dir', str(tree), '-N'], capture_output=True, text=True).stdout
        check(configured.returncode == 0 and cache and 'QUILLRAKE_WINE' not in cache and 'Total Tests: 0' in listed,
              f'{preset} configures without Wine and without tests', f'{configured.stderr[-300:]}{listed[-300:]}')
    check(run.returncode == 0 and dates == {when}, f'built in Tokyo, the zip is dated {when}, the commit in UTC',
          f'exit {run.returncode}: {run.stderr[-2000:]}\ndated {sorted(dates)}')

    # The zip's check refuses a read-me that Notepad shows wrong: a line of fullwidth forms
    # (two columns each) or an indented Japanese line wider than 76 columns; a label or a
    # quote broken across lines; Japanese before the ASCII paragraph, which a Windows not
    # set to Japanese would show garbled. And a zip that Explorer cannot open (bzip2).
    def added(text):
        return lambda readme: readme + text + '\r\n'

    for what, doctor, refusal, method in (
            ('40 fullwidth forms (80 columns)', added('（）：０９ＡＺ' * 5 + 'ＡＢＣＤＥ'), 'wider than 76 columns', None),
            ('an indented Japanese line of 78 columns', added('  ' + 'あ' * 38), 'wider than 76 columns', None),
            ('a label broken across lines', added('[すべて\r\n展開] をクリックします。'), 'broken across lines', None),
            ('a quote broken across lines', added('「実行\r\nしますか?」'), 'broken across lines', None),
            ('Japanese before its ASCII paragraph', lambda readme: readme.replace('=\r\n\r\n', '=\r\n\r\n概要\r\n\r\n', 1),
             'ASCII paragraph', None),
            ('entries compressed with bzip2', added(''), 'stored or deflated', zipfile.ZIP_BZIP2)):
        doctored = pathlib.Path(scratch, 'doctored', zips[-1].name)
        doctored.parent.mkdir(exist_ok=True)
        with zipfile.ZipFile(zips[-1]) as original, zipfile.ZipFile(doctored, 'w') as copy:
            for info in original.infolist():
                data = original.read(info)
                if info.filename.endswith('/readme.txt'):
                    data = doctor(data.decode('cp932')).encode('cp932')
                info.compress_type = method or info.compress_type
                copy.writestr(info, data)
        refused = subprocess.run(['/usr/bin/python3', str(ROOT / 'tools/check-dist.py'), str(doctored),
                                  '--x86', str(ROOT / 'build/x86-dist/bin/quillrake.exe'),
                                  '--x64', str(ROOT / 'build/x64-dist/bin/quillrake.exe'), '--date', str(commit)],
                                 capture_output=True, text=True)
        check(refused.returncode == 1 and refusal in refused.stderr, f'the zip check refuses a zip with {what}',
              f'exit {refused.returncode}: {refused.stderr[-1000:]!r}')

readme_text = ' '.join((ROOT / 'resources/readme-ja.txt').read_text().split())
readme_md = ' '.join((ROOT / 'README.md').read_text().split())
for fact, in_readme, in_readme_md in SHARED_FACTS:
    said = [re.search(pattern, text) for pattern, text in ((in_readme, readme_text), (in_readme_md, readme_md))]
    check(all(said) and said[0][1] == said[1][1], f'the read-me and README.md say the same of {fact}',
          f'read-me {said[0] and said[0][1]}, README.md {said[1] and said[1][1]}')

print(f'{len(failures)} check(s) failed' if failures else 'all checks passed')
sys.exit(1 if failures else 0)
