#!/usr/bin/env python3
"""Compares the same files from two build trees to show whether the build is
reproducible. A difference is named by where it falls (PE header field, section,
debug data, zip entry), so it points at what to pin instead of just "differs"."""
import bisect, hashlib, os, struct, sys, zipfile

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


def zip_regions(path, d):
    with zipfile.ZipFile(path) as z:
        infos = sorted(z.infolist(), key=lambda i: i.header_offset)
        cd = z.start_dir
    r = [(cd, 1 << 62, 'central directory / end record')]
    for i, end in zip(infos, [i.header_offset for i in infos[1:]] + [cd]):
        at = i.header_offset
        head = at + 30 + sum(struct.unpack_from('<2H', d, at + 26))  # name and extra lengths
        r += [(at, head, f'local header of {i.filename}'), (head, end, f'data of {i.filename}')]
    return r


def regions(path, data):
    try:
        if data[:2] == b'MZ':
            return pe_regions(data)
        if data[:4] == b'PK\3\4':
            return zip_regions(path, data)
    except (struct.error, zipfile.BadZipFile, IndexError, ValueError):
        return [(0, 1 << 62, 'headers unreadable')]
    return []


def label(regs, off):
    return next((name for a, b, name in regs if a <= off < b), None)


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
        diffs = [i for i, (x, y) in enumerate(zip(a, b)) if x != y]
        first = diffs[0] if diffs else min(len(a), len(b))
        n = len(diffs) + abs(len(a) - len(b))
        sizes = f', sizes {len(a)} and {len(b)}' if len(a) != len(b) else ''
        regs = regions(pa, a)
        # Name every place that differs, not only the first: pinning one rarely suffices.
        at = label(regs, first)
        cuts = sorted({x for a, b, _ in regs for x in (a, b)})
        hit = [lo for lo, hi in zip(cuts, cuts[1:]) if bisect.bisect_left(diffs, lo) < len(diffs)
               and diffs[bisect.bisect_left(diffs, lo)] < hi]
        others = [p for p in dict.fromkeys(label(regs, lo) for lo in hit) if p and p != at]
        count = f'{n} bytes differ' if n != 1 else '1 byte differs'
        print(f'{rel}: {count}, first at {first:#x}' + (f' ({at})' if at else '') + sizes)
        if others:
            print('  also differs in: ' + ', '.join(others))
    sys.exit(1 if failed else 0)


if __name__ == '__main__':
    main()
