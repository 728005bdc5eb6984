#!/usr/bin/python3
"""Checks, from the PE structures themselves (Debian's python3-pefile), what Windows
reads from the programs before any of their code runs, against the values Windows
documents and requires; Wine would start a program that fails most of these.

Usage: check-pe.py x86|x64 VERSION IMPORT_LIST PROGRAM [OTHER...]
PROGRAM is quillrake.exe, which gets every check; each OTHER program (tests, tools)
only the one every program of the project must pass: it imports Windows system DLLs
only. VERSION is the version text the version record carries ("1.00").

An IMPORT_LIST line is "DLL!Function  oldest Windows", the oldest Windows being one of
WINDOWS below; its line "# minimum: NAME" names the build's oldest Windows.
Prints one line per check; exits 1 when any failed.
"""
import pathlib
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree
import zlib

import capstone
import pefile
from capstone import x86 as x86_operands

WINDOWS = ['2000', 'XP', 'XP SP1', 'XP SP2', 'XP SP3', 'Vista', '7', '7 SP1', '8', '8.1',
           '10 1507', '10 1607', '10 1703']
SYSTEM_DLL = re.compile(r'(kernel32|user32|gdi32|advapi32|comctl32|msvcrt|version|shell32|ole32|ntdll'
                        r'|api-ms-win-crt-[a-z0-9-]+|ucrtbase)\.dll')
MACHINES = {'x86': (0x014C, 'x86'), 'x64': (0x8664, 'amd64')}  # PE machine, manifest name

# What quillrake.exe must call, and the functions it must look up at run time.
REQUIRED_IMPORTS = {
    'COMCTL32.dll!InitCommonControlsEx': 'without which Windows XP makes none of its controls',
    'KERNEL32.dll!HeapSetInformation': 'to end on heap corruption, which Windows does unasked only for 6.0 programs',
    'KERNEL32.dll!IsProcessorFeaturePresent': 'to ask whether a failed stack check can be reported by __fastfail',
}
LOOKED_UP = {'SetDefaultDllDirectories': 'the DLL search restriction', 'SetDllDirectoryW': 'the DLL search restriction',
             'SetProcessDEPPolicy': 'DEP where the NX_COMPAT bit is not honoured'}

# The stack guard's value before it is seeded (app/StackProtector.cpp): Microsoft's
# default cookie. Every protected function reads the guard twice; the program has
# dozens of them.
UNSEEDED_GUARD = {'x86': 0xBB40E64E, 'x64': 0x00002B992DDFA232}
MIN_GUARD_USES = 20
# The stack protector needs no random numbers from Windows: GCC's libssp took them
# from CryptoAPI, whose provider DLL then loaded before the DLL search was narrowed.
NOT_IMPORTED = re.compile(r'ADVAPI32\.dll!Crypt', re.IGNORECASE)

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
CREATEPROCESS_MANIFEST_RESOURCE_ID = 1
IDI_QUILLRAKE = 1
# (pixels, bits per pixel) of each image of the icon, in order: 16 colours for 16-colour
# displays, then 32-bit with alpha for every DPI; only the 256 pixel one is PNG (XP reads none).
ICON_IMAGES = [(16, 4), (32, 4), (48, 4)] + [(size, 32) for size in (16, 20, 24, 32, 40, 48, 64, 256)]
PNG_SIGNATURE = b'\x89PNG\r\n\x1a\n'
# Small icons are drawn on whole pixels (resources/make_icon.py), in its own colours.
CRISP_SIZES = (16, 20, 24, 32, 40)
DRAWING_COLOURS = {bytes(int(part) for part in match.groups()) for match in re.finditer(
    r'^[A-Z_]+ = \((\d+), (\d+), (\d+)\)$',
    (pathlib.Path(__file__).resolve().parent.parent / 'resources/make_icon.py').read_text(), re.MULTILINE)}
DYNAMIC_BASE, NX_COMPAT, HIGH_ENTROPY_VA, NO_SEH = 0x0040, 0x0100, 0x0020, 0x0400
RELOCS_STRIPPED = 0x0001
SCN_EXECUTE, SCN_WRITE = 0x20000000, 0x80000000

ASM_V1 = 'urn:schemas-microsoft-com:asm.v1'
ASM_V3 = 'urn:schemas-microsoft-com:asm.v3'
TRUST_NAMESPACES = ('urn:schemas-microsoft-com:asm.v2', ASM_V3)
COMPATIBILITY = 'urn:schemas-microsoft-com:compatibility.v1'
SETTINGS_2005 = 'http://schemas.microsoft.com/SMI/2005/WindowsSettings'
SETTINGS_2016 = 'http://schemas.microsoft.com/SMI/2016/WindowsSettings'
# The identity Windows binds the version 6 common controls to ("Enabling Visual Styles").
COMMON_CONTROLS = {'type': 'win32', 'name': 'Microsoft.Windows.Common-Controls',
                   'version': '6.0.0.0', 'publicKeyToken': '6595b64144ccf1df', 'language': '*'}
# supportedOS: every Windows this program has been written for.
SUPPORTED_OS = {'{e2011457-1546-43c5-a5fe-008deee3d3f0}': 'Vista',
                '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}': '7',
                '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}': '8',
                '{1f676c76-80e1-4239-95bb-83d0f6d0da78}': '8.1',
                '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}': '10 and 11'}

failures = []


def check(ok, what, why=''):
    print(('ok: ' if ok else 'FAIL: ') + what + ('' if ok else f': {why}'))
    if not ok:
        failures.append(what)
    return ok


def load(path):
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY[f'IMAGE_DIRECTORY_ENTRY_{name}']
                                           for name in ('IMPORT', 'RESOURCE', 'BASERELOC')])
    return pe


def imports(pe):
    """Every imported function as "DLL!name", the DLL as the import table spells it."""
    return {f'{dll.dll.decode()}!{function.name.decode()}'
            for dll in getattr(pe, 'DIRECTORY_ENTRY_IMPORT', [])
            for function in dll.imports if function.name}


def resources(pe, type_id):
    """{id: bytes} of every resource of one type (the first language of each)."""
    found = {}
    directory = getattr(pe, 'DIRECTORY_ENTRY_RESOURCE', None)
    for kind in directory.entries if directory is not None else []:
        if kind.id == type_id:
            for entry in kind.directory.entries:
                data = entry.directory.entries[0].data.struct
                found.setdefault(entry.id, pe.get_data(data.OffsetToData, data.Size))
    return found


def check_system_dlls(pe, name):
    dlls = [dll.dll.decode() for dll in getattr(pe, 'DIRECTORY_ENTRY_IMPORT', [])]
    others = [dll for dll in dlls if not SYSTEM_DLL.fullmatch(dll.lower())]
    check(dlls and not others, f'{name} imports Windows system DLLs only',
          'not part of Windows: ' + ', '.join(others) if dlls else 'no import table')


def check_import_list(pe, list_path):
    allowed, minimum, bad = {}, None, []
    for number, line in enumerate(open(list_path, encoding='utf-8'), 1):
        line = line.strip()
        if line.startswith('# minimum:'):
            minimum = line.split(':', 1)[1].strip()
        if not line or line.startswith('#'):
            continue
        function, _, oldest = line.partition(' ')
        if oldest.strip() not in WINDOWS:
            bad.append(f'{list_path}:{number}: unknown Windows {oldest.strip()!r}')
        allowed[function.lower()] = (function, oldest.strip())
    if not check(minimum in WINDOWS, f'{list_path} names the oldest Windows of the build',
                 f"no '# minimum:' line naming one of {WINDOWS}"):
        return
    newer = [f'{f} needs Windows {w}' for f, w in allowed.values()
             if w in WINDOWS and WINDOWS.index(w) > WINDOWS.index(minimum)]
    check(not bad and not newer, f'every listed function is there on Windows {minimum}',
          '; '.join(bad + newer))
    found = imports(pe)
    unlisted = sorted(f for f in found if f.lower() not in allowed)
    check(found and not unlisted, f'all {len(found)} imports are listed, each there on Windows {minimum}',
          f'not in {list_path}: ' + ', '.join(unlisted) if found else 'no imports')
    crypto = sorted(f for f in found if NOT_IMPORTED.match(f))
    check(not crypto, 'it imports nothing from CryptoAPI', ', '.join(crypto))
    for function, why in REQUIRED_IMPORTS.items():
        check(any(f.lower() == function.lower() for f in found), f'it calls {function.partition("!")[2]}, {why}',
              'not imported')


def check_headers(pe, arch):
    flags = pe.OPTIONAL_HEADER.DllCharacteristics
    wanted = {'ASLR (DYNAMIC_BASE)': DYNAMIC_BASE, 'DEP (NX_COMPAT)': NX_COMPAT}
    if arch == 'x64':
        wanted['high-entropy ASLR (HIGH_ENTROPY_VA)'] = HIGH_ENTROPY_VA
    else:
        # Without a SafeSEH table, only this keeps an overwritten exception record from
        # pointing anywhere in the image.
        wanted['no SEH handlers (NO_SEH)'] = NO_SEH
    for what, flag in wanted.items():
        check(flags & flag, f'{what} is on', f'DllCharacteristics {flags:#06x}')
    relocations = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_BASERELOC']]
    check(relocations.Size > 0 and not pe.FILE_HEADER.Characteristics & RELOCS_STRIPPED,
          'it has base relocations, so that ASLR can move it', 'stripped')
    both = [s.Name.rstrip(b'\0').decode() for s in pe.sections
            if s.Characteristics & SCN_WRITE and s.Characteristics & SCN_EXECUTE]
    check(not both, 'no section is both writable and executable', ', '.join(both))
    check(pe.FILE_HEADER.TimeDateStamp == 0, 'no time stamp in the PE header (the same bytes from every build)',
          f'TimeDateStamp {pe.FILE_HEADER.TimeDateStamp}')
    if arch == 'x86':
        versions = (pe.OPTIONAL_HEADER.MajorOperatingSystemVersion, pe.OPTIONAL_HEADER.MinorOperatingSystemVersion,
                    pe.OPTIONAL_HEADER.MajorSubsystemVersion, pe.OPTIONAL_HEADER.MinorSubsystemVersion)
        check(versions == (5, 1, 5, 1), 'it asks for system and subsystem 5.01, as Windows XP requires',
              'OS {}.{:02}, subsystem {}.{:02}'.format(*versions))
    # Functions that older Windows lack are looked up by name at start: the names
    # GetProcAddress is given live in the read-only data.
    constant = b''.join(s.get_data() for s in pe.sections
                        if not s.Characteristics & (SCN_WRITE | SCN_EXECUTE))
    for function, why in LOOKED_UP.items():
        check(b'\0' + function.encode() + b'\0' in constant,
              f'it looks up {function} ({why})', 'the name is not in its read-only data')
    check(b'*** stack smashing detected ***' not in constant, "GCC's libssp is out (its report is not in)",
          'its report is in the read-only data')
    check(b'terminate called after throwing' not in constant,
          "libstdc++'s verbose terminate handler, and the demangler it brings, are out", 'its message is in')


def check_stack_guard(pe, arch):
    """The stack protector's guard is the program's own, and protected code checks it.
    The guard starts out as Microsoft's default cookie until it is seeded; the code
    reads it directly (x86) or through a pointer to it in read-only data (x64). A
    failed check is reported through __fastfail (int 0x29) where Windows has it."""
    width = 8 if arch == 'x64' else 4
    base = pe.OPTIONAL_HEADER.ImageBase

    def words(value, writable):
        """Addresses of the aligned words holding `value` in data (not code) sections."""
        wanted = value.to_bytes(width, 'little')
        return {base + section.VirtualAddress + at for section in pe.sections
                if not section.Characteristics & SCN_EXECUTE and bool(section.Characteristics & SCN_WRITE) == writable
                for at in range(0, len(section.get_data()) - width + 1, width)
                if section.get_data()[at:at + width] == wanted}

    guards = words(UNSEEDED_GUARD[arch], writable=True)
    if not check(len(guards) == 1, 'the stack guard is the program\'s own, seeded at start',
                 f'{len(guards)} words in writable data hold its starting value'):
        return
    targets = guards | words(next(iter(guards)), writable=False)
    disassembler = capstone.Cs(capstone.CS_ARCH_X86, capstone.CS_MODE_64 if arch == 'x64' else capstone.CS_MODE_32)
    operand = re.compile(r'\[(?:rip ([+-]) )?(0x[0-9a-f]+)\]')
    uses, fast_fails, codes = 0, 0, set()
    for section in pe.sections:
        if not section.Characteristics & SCN_EXECUTE:
            continue
        start = base + section.VirtualAddress
        before = ''
        for address, size, mnemonic, operands in disassembler.disasm_lite(section.get_data()[:section.Misc_VirtualSize],
                                                                          start):
            if (mnemonic, operands) == ('int', '0x29'):
                fast_fails += 1
                codes.add(before)
            before = f'{mnemonic} {operands}'
            for match in operand.finditer(operands):
                offset = int(match[2], 16)
                target = {None: offset, '+': address + size + offset, '-': address + size - offset}[match[1]]
                uses += target in targets
    check(uses >= MIN_GUARD_USES, f'protected functions check the stack guard ({uses} reads of it)',
          f'only {uses} reads of it: the code is not protected')
    check(fast_fails > 0, 'a failed check ends the process through __fastfail (int 0x29) where Windows has it',
          'no int 0x29 in its code')
    # Windows Error Reporting files the failure by the code in ecx: 2 is a stack cookie
    # check; 7, say, would be the program asking to end.
    check(codes == {'mov ecx, 2'}, '__fastfail reports FAST_FAIL_STACK_COOKIE_CHECK_FAILURE (2 in ecx)',
          f'before int 0x29: {sorted(codes)}')


def check_code(pe):
    """The x86 exe's machine code: no SSE (CPUs of XP's time may lack it), and no SEH
    handler registered by hand (a write to fs:[0]), which NO_SEH promises."""
    disassembler = capstone.Cs(capstone.CS_ARCH_X86, capstone.CS_MODE_32)
    disassembler.detail = True
    sse, seh = [], []
    for section in pe.sections:
        if not section.Characteristics & SCN_EXECUTE:
            continue
        start = pe.OPTIONAL_HEADER.ImageBase + section.VirtualAddress
        for instruction in disassembler.disasm(section.get_data()[:section.Misc_VirtualSize], start):
            text = f'{instruction.address:#x} {instruction.mnemonic} {instruction.op_str}'
            if 'xmm' in instruction.op_str:
                sse.append(text)
            if any(op.type == x86_operands.X86_OP_MEM and op.mem.segment == x86_operands.X86_REG_FS
                   and (op.mem.base, op.mem.index, op.mem.disp) == (0, 0, 0) and op.access & capstone.CS_AC_WRITE
                   for op in instruction.operands):
                seh.append(text)
    check(not sse, 'no SSE instruction (xmm registers) in its code', '; '.join(sse[:5]))
    check(not seh, 'no code writes fs:[0] (registers an SEH handler)', '; '.join(seh[:5]))


def check_version_record(pe, arch, version):
    major, minor = (int(part) for part in version.split('.'))
    fixed = pe.VS_FIXEDFILEINFO[0] if hasattr(pe, 'VS_FIXEDFILEINFO') else None
    numbers = (fixed.FileVersionMS, fixed.FileVersionLS, fixed.ProductVersionMS, fixed.ProductVersionLS) if fixed else None
    check(numbers == ((major << 16) | minor, 0, (major << 16) | minor, 0),
          f'the version record says {major}.{minor}.0.0 in numbers', str(numbers))
    tables = {table.LangID.decode(): {k.decode(): v.decode() for k, v in table.entries.items()}
              for info in getattr(pe, 'FileInfo', [[]])[0] if info.Key == b'StringFileInfo'
              for table in info.StringTable}
    translations = [var.entry.get(b'Translation') for info in getattr(pe, 'FileInfo', [[]])[0]
                    if info.Key == b'VarFileInfo' for var in info.Var]
    check(list(tables) == ['041104B0'] and translations == ['0x0411 0x04b0'],
          'the version record is in Japanese, as Unicode text (041104B0)', f'{list(tables)} {translations}')
    strings = next(iter(tables.values()), {})
    expected = {'FileVersion': version, 'ProductVersion': version,
                'FileDescription': f'Quillrake ({arch})',
                'ProductName': 'Quillrake', 'InternalName': 'Quillrake', 'OriginalFilename': 'quillrake.exe',
                'CompanyName': 'The Quillrake developers',
                'LegalCopyright': 'Copyright (C) 2026 the Quillrake developers. MIT License.'}
    wrong = {key: strings.get(key) for key, value in expected.items() if strings.get(key) != value}
    check(not wrong, 'the version record names Quillrake ' + version + ', its build, its file and its copyright',
          f'wrong: {wrong}')


def image_format(image):
    """(PNG?, pixels, bits per pixel) from an icon image's own header."""
    if image.startswith(PNG_SIGNATURE):
        width, _, depth, colour_type = struct.unpack_from('>IIBB', image, 16)
        return True, width, depth * {6: 4, 2: 3, 4: 2}.get(colour_type, 1)
    _, width, _, _, bits = struct.unpack_from('<IiiHH', image)
    return False, width, bits


def corner_opaque(image):
    """Why the top left pixel of an icon image shows, or '' when it is transparent."""
    if image.startswith(PNG_SIGNATURE):
        depth, colour_type = struct.unpack_from('>BB', image, 24)
        if (depth, colour_type) != (8, 6):
            return f'PNG of bit depth {depth} and colour type {colour_type}, not 8-bit RGBA'
        data, at = b'', 8
        while at + 8 <= len(image):
            length, kind = struct.unpack_from('>I4s', image, at)
            data += image[at + 8:at + 8 + length] if kind == b'IDAT' else b''
            at += 12 + length
        # The first pixel of the first row is stored as it is whatever the row's filter: the
        # filter byte, then R, G, B, A.
        alpha = zlib.decompressobj().decompress(data, 5)[4]
        return f'alpha {alpha}' if alpha else ''
    header, width, double_height, _, bits, *_, colours = struct.unpack_from('<IiiHHIIiiI', image)
    height = double_height // 2  # colour rows, then as many AND mask rows
    row, mask_row = (width * bits + 31) // 32 * 4, (width + 31) // 32 * 4  # rows padded to 4 bytes
    pixels = header + 4 * (colours or (1 << bits if bits <= 8 else 0))
    mask = pixels + row * height
    # Rows are bottom-up: the top row is the last one.
    if not image[mask + mask_row * (height - 1)] & 0x80:
        return 'the AND mask shows it'
    if bits == 32 and image[pixels + row * (height - 1) + 3]:
        return f'alpha {image[pixels + row * (height - 1) + 3]}'
    return ''


def half_covered(image):
    """Why a 32-bit bitmap icon image is blurred, or '': each of its pixels must be
    either transparent or wholly one of the drawing's own colours, never partly
    covered by its outline or a stroke."""
    header, width, double_height, _, bits = struct.unpack_from('<IiiHH', image)
    height = double_height // 2
    pixels = image[header:header + 4 * width * height]
    partial = {pixels[at + 3] for at in range(0, len(pixels), 4)} - {0, 255}
    blends = {pixels[at:at + 3][::-1] for at in range(0, len(pixels), 4) if pixels[at + 3] == 255} - DRAWING_COLOURS
    return '; '.join(filter(None, [partial and f'alpha {sorted(partial)[:5]}',
                                   blends and 'colours ' + ', '.join(f'#{c.hex()}' for c in sorted(blends)[:5])]))


def check_icons(pe):
    group = resources(pe, RT_GROUP_ICON).get(IDI_QUILLRAKE, b'')
    count = struct.unpack_from('<H', group, 4)[0] if len(group) >= 6 else 0
    entries = [struct.unpack_from('<BBBBHHIH', group, 6 + 14 * i) for i in range(count)
               if len(group) >= 6 + 14 * (i + 1)]
    listed = [(width or 256, bits) for width, _, _, _, _, bits, _, _ in entries]
    check(listed == ICON_IMAGES,
          'the icon has 16-colour images at 16, 32 and 48 pixels and 32-bit ones at 16, 20, 24, 32, 40, 48, '
          '64 and 256 (16-colour displays, every DPI)', 'it has ' + ', '.join(f'{w} px {b}-bit' for w, b in listed))
    icons = resources(pe, RT_ICON)
    if not check(all(entry[-1] in icons for entry in entries), 'every image of the icon is there', 'missing images'):
        return
    wrong, shown = [], []
    for (width, bits), entry in zip(listed, entries):
        image = icons[entry[-1]]
        png, *holds = image_format(image)
        if png != (width == 256):
            wrong.append(f'{width} px {bits}-bit is {"PNG" if png else "not PNG"}')
        elif holds != [width, bits]:
            wrong.append(f'{width} px {bits}-bit holds {holds[0]} px {holds[1]}-bit')
        if why := corner_opaque(image):
            shown.append(f'{width} px {bits}-bit: {why}')
    check(not wrong, 'the 256 pixel image is PNG, the others are bitmaps (XP reads no PNG), each as listed',
          '; '.join(wrong))
    check(not shown, "every image's top left pixel is transparent (no square in the title bar)", '; '.join(shown))
    blurred = [f'{width} px: {why}' for (width, bits), entry in zip(listed, entries)
               if bits == 32 and width in CRISP_SIZES and (why := half_covered(icons[entry[-1]]))]
    check(not blurred, 'the 32-bit images of 16 to 40 pixels cover whole pixels (crisp, not blurred)', '; '.join(blurred))


def check_manifest(pe, arch):
    manifests = resources(pe, RT_MANIFEST)
    if not check(list(manifests) == [CREATEPROCESS_MANIFEST_RESOURCE_ID],
                 'one manifest, with the id Windows reads at process start (1)', f'manifest ids {list(manifests)}'):
        return
    try:
        root = ElementTree.fromstring(manifests[CREATEPROCESS_MANIFEST_RESOURCE_ID])
    except ElementTree.ParseError as e:
        check(False, 'the manifest is well-formed XML', str(e))
        return
    check(root.tag == f'{{{ASM_V1}}}assembly' and root.get('manifestVersion') == '1.0',
          'the manifest is an asm.v1 assembly of manifestVersion 1.0', f'root {root.tag} {root.attrib}')

    identity = root.find(f'{{{ASM_V1}}}assemblyIdentity')
    attrs = identity.attrib if identity is not None else {}
    version = attrs.get('version', '')
    check(attrs.get('type') == 'win32' and attrs.get('name')
          and re.fullmatch(r'\d+\.\d+\.\d+\.\d+', version)
          and all(int(part) <= 65535 for part in version.split('.')),
          "the program's identity has type win32, a name and a four-part version", str(attrs))
    check(attrs.get('processorArchitecture') == MACHINES[arch][1],
          f"the program's identity names {MACHINES[arch][1]}", str(attrs.get('processorArchitecture')))

    dependencies = root.findall(f'{{{ASM_V1}}}dependency/{{{ASM_V1}}}dependentAssembly/{{{ASM_V1}}}assemblyIdentity')
    check(len(dependencies) == 1, 'one dependency: the common controls', f'{len(dependencies)} dependencies')
    for dependency in dependencies:
        wrong = {key: dependency.get(key) for key, value in COMMON_CONTROLS.items() if dependency.get(key) != value}
        if dependency.get('processorArchitecture') not in ('*', MACHINES[arch][1]):
            wrong['processorArchitecture'] = dependency.get('processorArchitecture')
        check(not wrong, 'the common controls 6 identity is the one Windows has', f'wrong: {wrong}')

    levels = [element for ns in TRUST_NAMESPACES for element in root.iter(f'{{{ns}}}requestedExecutionLevel')]
    check(len(levels) == 1 and levels[0].get('level') == 'asInvoker',
          'it runs as the user who starts it (asInvoker)', str([e.attrib for e in levels]))
    check(len(levels) == 1 and levels[0].get('uiAccess', 'false').lower() == 'false',
          'it asks for no UI access (Windows refuses that outside Program Files unsigned)',
          str([e.attrib for e in levels]))

    settings = root.find(f'{{{ASM_V3}}}application/{{{ASM_V3}}}windowsSettings')
    aware = settings.find(f'{{{SETTINGS_2005}}}dpiAware') if settings is not None else None
    awareness = settings.find(f'{{{SETTINGS_2016}}}dpiAwareness') if settings is not None else None
    check(aware is not None and (aware.text or '').strip().lower() == 'true/pm',
          'dpiAware true/pm (per monitor on Windows 8.1 and 10 before 1607)',
          'missing' if aware is None else repr(aware.text))
    values = [v.strip() for v in (awareness.text or '').split(',')] if awareness is not None else []
    check(values == ['PerMonitorV2', 'PerMonitor'],
          'dpiAwareness PerMonitorV2, then PerMonitor (Windows 10 1607 and later)', repr(values))

    # UTF-8 as the ANSI code page (Windows 10 1903 and later) would make the narrow
    # registry functions hand over three bytes for each Japanese character.
    code_pages = [e.text for e in root.findall('.//{*}activeCodePage')]
    check(not code_pages, "it keeps the system's ANSI code page (no activeCodePage)", f'activeCodePage {code_pages}')
    # Windows 8 to 11 would draw the controls flat, as Windows 2000 did.
    unthemed = [e.text for e in root.findall('.//{*}disableTheming')]
    check(not unthemed, 'it keeps visual styles (no disableTheming)', f'disableTheming {unthemed}')

    ids = [e.get('Id', '').lower() for e in root.iter(f'{{{COMPATIBILITY}}}supportedOS')]
    check(sorted(ids) == sorted(SUPPORTED_OS), 'supportedOS names Vista, 7, 8, 8.1 and 10',
          'has ' + ', '.join(SUPPORTED_OS.get(i, i) for i in ids))


def main(arch, version, import_list, program, *others):
    pe = load(program)
    if check(pe.FILE_HEADER.Machine == MACHINES[arch][0], f'{program} is an {arch} program',
             f'machine {pe.FILE_HEADER.Machine:#x}'):
        check_system_dlls(pe, program)
        check_import_list(pe, import_list)
        check_headers(pe, arch)
        check_stack_guard(pe, arch)
        if arch == 'x86':
            check_code(pe)
        check_version_record(pe, arch, version)
        check_icons(pe)
        check_manifest(pe, arch)
    for other in others:
        check_system_dlls(load(other), other)
    print(f'{len(failures)} check(s) failed' if failures else 'all checks passed')
    return 1 if failures else 0


if __name__ == '__main__':
    if len(sys.argv) < 5 or sys.argv[1] not in MACHINES:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
