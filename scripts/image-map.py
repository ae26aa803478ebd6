#!/usr/bin/env python3
"""Where the bytes of a linked program go, from its GNU ld link map (-Wl,-Map).

Usage: image-map.py MAP [--objects N] [--objdump TOOL --lto-archive NAME=ARCHIVE ...]

Sums the input sections that went into the image by origin: our own code, each
static archive (libjpeg, zlib, libstdc++, libgcc and winpthread, the MinGW
runtime), resources and linker-made data. With --objects, the N largest
archive members and object files follow.

Code that went through link-time optimisation comes out of one object; linked
with -ffunction-sections -fdata-sections, each of its functions and data
items keeps a section of its own, named after it. --lto-archive attributes
those whose name the archive defines to NAME (the archive's symbols are read
with the objdump TOOL); the others count as our code.
"""
import argparse
import collections
import os
import re
import subprocess
import sys

# Input section lines: " .text  0x...  0x1a3 file" or a name alone on one line
# with the address, size and file on the next.
LINE = re.compile(r'^ (\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(.+)$')
NAME_ONLY = re.compile(r'^ (\S+)$')
CONT = re.compile(r'^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(.+)$')

# Output sections that take no room in the file.
NOT_IN_FILE = ('.bss', '.tls$', '.debug')


def Group(origin):
    """The archive or object kind an input file belongs to."""
    archive = re.match(r'(.*)\((.*)\)$', origin)
    name = os.path.basename(archive.group(1) if archive else origin)
    if archive:
        if name == 'libjpeg.a':
            return 'libjpeg'
        if name in ('libz.a', 'libzlib.a'):
            return 'zlib'
        if name.startswith('libstdc++'):
            return 'libstdc++'
        if name in ('libgcc.a', 'libgcc_eh.a', 'libwinpthread.a', 'libpthread.a'):
            return 'libgcc, winpthread'
        if name.startswith('libsetup_'):
            return 'our code'
        if name in ('libmingw32.a', 'libmingwex.a', 'libmsvcrt.a', 'libmoldname.a',
                    'libucrt.a', 'libucrtbase.a') or name.startswith('libmsvcr'):
            return 'MinGW runtime'
        if name.startswith('lib') and name.endswith('.a'):
            return 'Windows import stubs'
        return name
    if origin.endswith('.res') or '.rc.res' in origin or 'rsrc' in origin:
        return 'resources'
    if re.search(r'crt\d?\.o|crtbegin|crtend|dllcrt|default-manifest', name):
        return 'MinGW runtime'
    if origin == 'dll stuff':
        return 'base relocations'
    return 'our code'


LTO_SUFFIX = re.compile(r'\.(lto_priv|constprop|isra|part|cold|localalias)\b.*$')


def ArchiveSymbols(objdump, archive):
    """The names an archive's objects define, static ones included, from their
    own symbol tables (nm would read the intermediate code's global symbols)."""
    names = set()
    out = subprocess.run([objdump, '-t', archive], capture_output=True, text=True).stdout
    for line in out.splitlines():
        if '(sec' in line and '(sec -' not in line and '(sec  0)' not in line:
            names.add(line.split()[-1])
    return names


def LtoGroup(section, archives):
    """Which archive a function or data item of the optimised object came from."""
    if '$' not in section:
        return None
    name = LTO_SUFFIX.sub('', section.split('$', 1)[1])
    for group, names in archives:
        if name in names or '_' + name in names:
            return group
    return None


def Parse(path, archives=()):
    sizes = collections.Counter()
    members = collections.Counter()
    in_map = False
    pending = None
    with open(path, errors='replace') as f:
        for raw in f:
            line = raw.rstrip('\n')
            if line.startswith('Linker script and memory map'):
                in_map = True
                continue
            if not in_map:
                continue
            if pending:
                m = CONT.match(line)
                name, pending = pending, None
                if m:
                    Add(sizes, members, name, int(m.group(2), 16), m.group(3), archives)
                    continue
            m = LINE.match(line)
            if m:
                Add(sizes, members, m.group(1), int(m.group(3), 16), m.group(4), archives)
                continue
            m = NAME_ONLY.match(line)
            if m and m.group(1).startswith('.'):
                pending = m.group(1)
    return sizes, members


def Add(sizes, members, section, size, origin, archives):
    if size == 0 or section.startswith(NOT_IN_FILE) or section in ('COMMON',):
        return
    origin = origin.strip()
    if origin.startswith(('0x', 'LONG ')):
        return
    group = Group(origin)
    if '.ltrans' in origin:
        group = LtoGroup(section, archives) or group
        origin = f'{group} (link-time optimised)'
        members[origin] += size
        sizes[group] += size
        return
    sizes[group] += size
    members[origin if group != 'our code' else os.path.basename(origin)] += size


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('map')
    parser.add_argument('--objects', type=int, default=0)
    parser.add_argument('--objdump', default='x86_64-w64-mingw32-objdump')
    parser.add_argument('--lto-archive', action='append', default=[], metavar='NAME=ARCHIVE')
    args = parser.parse_args()
    archives = []
    for item in args.lto_archive:
        group, archive = item.split('=', 1)
        archives.append((group, ArchiveSymbols(args.objdump, archive)))
    sizes, members = Parse(args.map, archives)
    total = sum(sizes.values())
    for group, size in sizes.most_common():
        print(f'{group:28s} {size:9,d}')
    print(f'{"total (input sections)":28s} {total:9,d}')
    if args.objects:
        print()
        for origin, size in members.most_common(args.objects):
            print(f'{size:9,d}  {origin}')


if __name__ == '__main__':
    sys.exit(main())
