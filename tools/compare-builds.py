#!/usr/bin/env python3
"""Compares the same files from two build trees to show whether the build is
reproducible. A difference is named by where it falls (PE header field, section,
debug data, zip entry), so it points at what to pin instead of just "differs"."""
import hashlib, os, struct, sys, zipfile

COFF_FIELDS = [(0, 2, 'Machine'), (2, 2, 'NumberOfSections'), (4, 4, 'TimeDateStamp'),
               (8, 4, 'PointerToSymbolTable'), (12, 4, 'NumberOfSymbols'),
               (16, 2, 'SizeOfOptionalHeader'), (18, 2, 'Characteristics')]
DIRECTORIES = ['Export', 'Import', 'Resource', 'Exception', 'Certificate', 'BaseReloc',
               'Debug', 'Architecture', 'GlobalPtr', 'TLS', 'LoadConfig', 'BoundImport',
               'IAT', 'DelayImport', 'CLR', 'Reserved']


def pe_regions(d):
    """(start, end, label) file ranges of a PE image, most specific first."""
    u = lambda fmt, off: struct.unpack_from(fmt, d, off)[0]
    pe = u('<I', 0x3C)
    if d[pe:pe + 4] != b'PE\0\0':
        return []
    coff, opt = pe + 4, pe + 24
    nsec, optsize, magic = u('<H', coff + 2), u('<H', coff + 16), u('<H', opt)
    r = [(coff + o, coff + o + n, f'COFF {name}') for o, n, name in COFF_FIELDS]
    r.append((opt + 64, opt + 68, 'optional header CheckSum'))
    dirs = opt + (96 if magic == 0x10B else 112)
    r += [(dirs + 8 * i, dirs + 8 * i + 8, f'data directory entry {n}')
          for i, n in enumerate(DIRECTORIES) if dirs + 8 * i + 8 <= opt + optsize]
    sects, table = [], opt + optsize
    symtab, nsyms = u('<I', coff + 8), u('<I', coff + 12)
    strtab = symtab + 18 * nsyms
    for i in range(nsec):
        s = table + 40 * i
        name = d[s:s + 8].rstrip(b'\0').decode('ascii', 'replace')
        if name[:1] == '/' and name[1:].isdigit() and symtab:  # long name, e.g. .debug_info
            at = strtab + int(name[1:])
            name = d[at:d.index(b'\0', at)].decode('ascii', 'replace')
        vsize, va, rawsize, raw = struct.unpack_from('<4I', d, s + 8)
        sects.append((name, va, max(vsize, rawsize), raw, rawsize))
        r.append((s, s + 40, f'section table entry {name}'))

    def file_off(rva):
        for _, va, size, raw, _ in sects:
            if va <= rva < va + size:
                return rva - va + raw
    debug_rva, debug_size = struct.unpack_from('<2I', d, dirs + 48)
    start = file_off(debug_rva) if debug_size and dirs + 56 <= opt + optsize else None
    for e in range(start, start + debug_size, 28) if start is not None else ():
        kind, size, raw = u('<I', e + 12), u('<I', e + 16), u('<I', e + 24)
        r.append((e, e + 28, f'debug directory entry (type {kind})'))
        r.append((raw, raw + size, 'CodeView/PDB id' if kind == 2 else f'debug data (type {kind})'))
    r += [(0, 0x40, 'DOS header'), (0x40, pe, 'DOS stub'), (pe, pe + 4, 'PE signature'),
          (opt, opt + optsize, 'optional header'), (table, table + 40 * nsec, 'section table')]
    r += [(raw, raw + rawsize, f'section {name}') for name, _, _, raw, rawsize in sects]
    end = max([raw + rawsize for *_, raw, rawsize in sects] or [0])
    if symtab:
        r += [(symtab, strtab, 'COFF symbol table'), (strtab, len(d), 'COFF string table')]
    r += [(0, min([s[3] for s in sects if s[4]] or [end]), 'header padding'),
          (end, len(d), 'data after the last section (overlay, signature)')]
    return r


def zip_regions(path):
    with zipfile.ZipFile(path) as z:
        infos = sorted(z.infolist(), key=lambda i: i.header_offset)
        cd = z.start_dir
    bounds = [i.header_offset for i in infos] + [cd]
    return ([(cd, 1 << 62, 'central directory / end record')] +
            [(a, b, f'zip entry {i.filename}') for i, a, b in zip(infos, bounds, bounds[1:])])


def where(path, data, off):
    try:
        if data[:2] == b'MZ':
            regions = pe_regions(data)
        elif data[:4] == b'PK\3\4':
            regions = zip_regions(path)
        else:
            return ''
    except (struct.error, zipfile.BadZipFile, IndexError):
        return ' (headers unreadable)'
    return next((f' ({label})' for a, b, label in regions if a <= off < b), '')


def main():
    if len(sys.argv) < 4:
        sys.exit('usage: compare-builds.py DIR_A DIR_B FILE...')
    dir_a, dir_b, failed = sys.argv[1], sys.argv[2], False
    for rel in sys.argv[3:]:
        pa, pb = os.path.join(dir_a, rel), os.path.join(dir_b, rel)
        missing = [p for p in (pa, pb) if not os.path.isfile(p)]
        if missing:
            print(f'{rel}: missing: ' + ', '.join(missing))
            failed = True
            continue
        a, b = open(pa, 'rb').read(), open(pb, 'rb').read()
        if a == b:
            print(f'identical: {rel} ({hashlib.sha256(a).hexdigest()})')
            continue
        failed = True
        n = sum(x != y for x, y in zip(a, b)) + abs(len(a) - len(b))
        first = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
        sizes = f', sizes {len(a)} and {len(b)}' if len(a) != len(b) else ''
        print(f'{rel}: {n} bytes differ, first at {first:#x}{where(pa, a, first)}{sizes}')
    sys.exit(1 if failed else 0)


if __name__ == '__main__':
    main()
