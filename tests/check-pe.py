#!/usr/bin/python3
"""Checks what Windows reads from quillrake.exe before any of its code runs, from the
PE structures themselves (Debian's python3-pefile), against the values Windows
documents and requires; Wine would start a program that fails most of these.

Usage: check-pe.py x86|x64 PROGRAM
Prints one line per check; exits 1 when any failed.
"""
import re
import sys
import xml.etree.ElementTree as ElementTree

import pefile

MACHINES = {'x86': (0x014C, 'x86'), 'x64': (0x8664, 'amd64')}  # PE machine, manifest name
RT_MANIFEST = 24
CREATEPROCESS_MANIFEST_RESOURCE_ID = 1

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


def resources(pe, type_id):
    """(id, bytes) of every resource of one type, in every language."""
    found = []
    directory = getattr(pe, 'DIRECTORY_ENTRY_RESOURCE', None)
    for kind in directory.entries if directory is not None else []:
        if kind.id != type_id:
            continue
        for entry in kind.directory.entries:
            for language in entry.directory.entries:
                data = language.data.struct
                found.append((entry.id, pe.get_data(data.OffsetToData, data.Size)))
    return found


def imports(pe):
    """Every imported function as "dll!name", the DLL in lower case."""
    return {f'{dll.dll.decode().lower()}!{function.name.decode()}'
            for dll in getattr(pe, 'DIRECTORY_ENTRY_IMPORT', [])
            for function in dll.imports if function.name}


def check_manifest(pe, arch):
    manifests = resources(pe, RT_MANIFEST)
    if not check([i for i, _ in manifests] == [CREATEPROCESS_MANIFEST_RESOURCE_ID],
                 'one manifest, with the id Windows reads at process start (1)',
                 f'manifest ids {[i for i, _ in manifests]}'):
        return
    text = manifests[0][1]
    try:
        root = ElementTree.fromstring(text)
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
        wrong = {key: dependency.get(key) for key, value in COMMON_CONTROLS.items()
                 if dependency.get(key) != value}
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

    ids = [e.get('Id', '').lower() for e in root.iter(f'{{{COMPATIBILITY}}}supportedOS')]
    check(sorted(ids) == sorted(SUPPORTED_OS), 'supportedOS names Vista, 7, 8, 8.1 and 10',
          'has ' + ', '.join(SUPPORTED_OS.get(i, i) for i in ids))


def main(arch, path):
    if arch not in MACHINES:
        sys.exit(f'usage: {sys.argv[0]} x86|x64 PROGRAM')
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_RESOURCE'],
                                           pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_IMPORT']])
    if not check(pe.FILE_HEADER.Machine == MACHINES[arch][0], f'{path} is an {arch} program',
                 f'machine {pe.FILE_HEADER.Machine:#x}'):
        return 1
    check_manifest(pe, arch)
    check('comctl32.dll!InitCommonControlsEx' in imports(pe),
          'it calls InitCommonControlsEx, without which Windows XP makes none of its controls',
          'not imported')
    print(f'{path}: {len(failures)} check(s) failed' if failures else f'{path}: all checks passed')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(*sys.argv[1:]) if len(sys.argv) == 3 else f'usage: {sys.argv[0]} x86|x64 PROGRAM')
