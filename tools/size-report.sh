#!/usr/bin/env bash
# Where the bytes of the shipped programs are: for each of them its
# sections, the payload streams it carries, the stub (the file less its
# payload streams) and its largest functions, read from the built PE files
# and the linker's map files.
# Usage: tools/size-report.sh [--check] [TREE]     (TREE: build/win32 by default)
#   --check  also compares the figures with tools/size-budgets.txt and fails
#            (exit 1) when the stub, a payload stream or a file has grown
#            past its budget, or when a program that starts without the C
#            runtime links a static constructor (it would never run), or
#            when a program has lost the layout tools/pe_compact.cpp gives
#            it (one header block, import tables and resources read-only,
#            a right checksum), or when a program imports a library that
#            Windows would first look for beside the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
check=0
if [ "${1:-}" = "--check" ]; then check=1; shift; fi
tree=${1:-$root/build/win32}
[ -f "$tree/MorvantileSetup.exe" ] || { echo "size-report: build $tree first (tools/build.sh win32)" >&2; exit 2; }
exec python3 - "$tree" "$check" "$root/tools/size-budgets.txt" <<'EOF'
import os, re, signal, struct, subprocess, sys

signal.signal(signal.SIGPIPE, signal.SIG_DFL)   # quiet when piped into head

tree, check, budgets_path = sys.argv[1], sys.argv[2] == "1", sys.argv[3]
programs = ["MorvantileSetup.exe", "product/Morvantile.exe", "product/Morvantile.dll", "product/psapi.dll"]


def pe_sections(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional_size
    sections = []
    for i in range(count):
        at = table + 40 * i
        name = data[at:at + 8].rstrip(b"\0").decode()
        virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", data, at + 8)
        flags = struct.unpack_from("<I", data, at + 36)[0]
        sections.append((name, virtual_size, rva, raw_size, raw_offset, flags))
    return sections, table + 40 * count


def image_checksum(data, checksum_at):
    """16-bit sums with end-around carry, the checksum field left out, plus
    the file's length."""
    padded = data[:checksum_at] + b"\0\0\0\0" + data[checksum_at + 4:] + b"\0" * (len(data) % 2)
    total = sum(struct.unpack_from(f"<{len(padded) // 2}H", padded))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)


def layout_problems(data, sections):
    """What is not as tools/pe_compact.cpp leaves a program: the headers in
    one 512-byte block, the import directory set and, with the address
    table and the resources, in read-only sections, and the image checksum
    right."""
    optional = struct.unpack_from("<I", data, 0x3C)[0] + 24
    problems = []
    if struct.unpack_from("<I", data, optional + 60)[0] != 512:
        problems.append("headers not in one 512-byte block")
    checksum = struct.unpack_from("<I", data, optional + 64)[0]
    if checksum and checksum != image_checksum(data, optional + 64):
        problems.append("wrong image checksum")
    imports, address_table = (struct.unpack_from("<II", data, optional + 96 + 8 * i) for i in (1, 12))
    if address_table[0] and not imports[0]:
        problems.append("no import directory")
    for what, (rva, size) in (("import directory", imports), ("import address table", address_table)):
        if not rva:
            continue
        holder = [s for s in sections if s[2] <= rva and rva + size <= s[2] + s[1]]
        if not holder:
            problems.append(f"{what} outside every section")
        elif holder[0][5] & 0x80000000:   # IMAGE_SCN_MEM_WRITE
            problems.append(f"{what} in the writable section {holder[0][0]}")
    resources = [s for s in sections if s[0] == ".rsrc"]
    if resources and resources[0][5] & 0x80000000:
        problems.append("resources in a writable section")
    return problems


# Libraries Windows always loads from the system (its KnownDLLs). Any other
# import is looked for in the program's own folder first, before our code
# runs; the uninstaller's helper copy runs from the temporary folder, and
# the setup from wherever it was downloaded to.
SYSTEM_ONLY_LIBRARIES = {"advapi32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "ole32.dll",
                         "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll"}


def imported_libraries(data, sections):
    """The names of the libraries in the import directory."""
    optional = struct.unpack_from("<I", data, 0x3C)[0] + 24
    rva = struct.unpack_from("<I", data, optional + 96 + 8)[0]

    def offset(at):
        for _, virtual_size, start, raw_size, raw_offset, _ in sections:
            if start <= at < start + max(virtual_size, raw_size):
                return raw_offset + at - start
        raise ValueError(f"address {at:#x} in no section")

    names = []
    while rva:
        name_rva = struct.unpack_from("<I", data, offset(rva) + 12)[0]
        if not name_rva:
            break
        at = offset(name_rva)
        names.append(data[at:data.index(b"\0", at)].decode().lower())
        rva += 20
    return names


def payload_streams(data, sections):
    """(id, size) of every FILE_RESOURCE resource."""
    rsrc = [s for s in sections if s[0] == ".rsrc"]
    if not rsrc:
        return []
    _, _, base_rva, _, base_offset, _ = rsrc[0]

    def entries(offset):
        named, numbered = struct.unpack_from("<HH", data, base_offset + offset + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", data, base_offset + offset + 16 + 8 * i)
            yield name, target

    def name_of(name):
        if not name & 0x80000000:
            return name
        at = base_offset + (name & 0x7FFFFFFF)
        length = struct.unpack_from("<H", data, at)[0]
        return data[at + 2:at + 2 + 2 * length].decode("utf-16-le")

    streams = []
    for type_name, type_target in entries(0):
        if name_of(type_name) != "FILE_RESOURCE":
            continue
        for ident, id_target in entries(type_target & 0x7FFFFFFF):
            for _, lang_target in entries(id_target & 0x7FFFFFFF):
                _, size = struct.unpack_from("<II", data, base_offset + lang_target)
                streams.append((name_of(ident), size))
    return streams


def largest_functions(map_path, count=8):
    """The largest input sections of code in the link, by the map file."""
    if not os.path.exists(map_path):
        return []
    sizes = {}
    started = False
    pending = None
    with open(map_path, errors="replace") as map_file:
        for line in map_file:
            if not started:
                started = line.startswith("Linker script and memory map")
                continue
            m = re.match(r"^ (\.text[.$]\S+|\.text)\s*$", line)
            if m:
                pending = m.group(1)
                continue
            m = re.match(r"^ (\.text\S*)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S+)", line)
            if m and (m.group(1) or pending):
                section = m.group(1) or pending
                address, size = int(m.group(2), 16), int(m.group(3), 16)
                if address and size and len(section) > 6 and section[5] in ".$":
                    name = section[6:]
                    sizes[name] = sizes.get(name, 0) + size
            pending = None
    names = sorted(sizes, key=lambda n: -sizes[n])[:count]
    try:
        plain = subprocess.run(["c++filt", "-p"], input="\n".join(n[1:] if n.startswith("__Z") else n for n in names),
                               capture_output=True, text=True, check=True).stdout.split("\n")
    except (OSError, subprocess.CalledProcessError):
        plain = names
    return [(plain[i] if i < len(plain) and plain[i] else names[i], sizes[names[i]]) for i in range(len(names))]


def static_constructors(map_path):
    """Input sections of static constructors in the link: a program that
    starts at its own entry point never runs them."""
    found = []
    started = False
    pending = None
    if not os.path.exists(map_path):
        return found
    with open(map_path, errors="replace") as map_file:
        for line in map_file:
            if not started:
                started = line.startswith("Linker script and memory map")
                continue
            m = re.match(r"^ (\.ctors\S*|\.init_array\S*)\s*$", line)
            if m:
                pending = m.group(1)
                continue
            m = re.match(r"^ (\.ctors\S*|\.init_array\S*)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S+)", line)
            if m and (m.group(1) or pending) and int(m.group(3), 16):
                found.append(m.group(4))
            pending = None
    return found


runtime_free = ["MorvantileSetup.exe", "Morvantile.exe"]
constructor_problems = []
layout_failures = []
figures = {}
for program in programs:
    path = os.path.join(tree, program)
    if not os.path.exists(path):
        print(f"{program}: not built")
        continue
    data = open(path, "rb").read()
    sections, headers_end = pe_sections(data)
    streams = payload_streams(data, sections)
    name = os.path.basename(program)
    stub = len(data) - sum(size for _, size in streams)
    figures[(name, "file")] = len(data)
    figures[(name, "stub")] = stub
    for ident, size in streams:
        figures[(name, f"payload-{ident}")] = size
    print(f"\n{name}: {len(data):,} bytes" + (f", payload streams {len(data) - stub:,}, stub {stub:,}" if streams else ""))
    print(f"  {'section':<10} {'in file':>9} {'in memory':>10}")
    print(f"  {'headers':<10} {sections[0][4] if sections else headers_end:>9,}")
    for sname, virtual_size, _, raw_size, _, _ in sections:
        print(f"  {sname:<10} {raw_size:>9,} {virtual_size:>10,}")
    for ident, size in streams:
        print(f"  payload {ident}: {size:,}")
    layout_failures += [f"{name}: {problem}" for problem in layout_problems(data, sections)]
    layout_failures += [f"{name}: imports {library}, which Windows looks for beside the program first"
                        for library in imported_libraries(data, sections) if library not in SYSTEM_ONLY_LIBRARIES]
    if name in runtime_free:
        for source in static_constructors(path + ".map"):
            constructor_problems.append(f"{name}: a static constructor from {source} would never run")
    functions = largest_functions(path + ".map")
    if functions:
        print("  largest functions:")
        for fname, size in functions:
            print(f"    {size:>6,}  {fname}")

if check:
    failed = 0
    for line in open(budgets_path):
        line = line.split("#")[0].split()
        if len(line) != 3:
            continue
        name, what, budget = line[0], line[1], int(line[2])
        got = figures.get((name, what))
        if got is None:
            print(f"BUDGET {name} {what}: missing")
            failed = 1
        elif got > budget:
            print(f"BUDGET {name} {what}: {got:,} bytes, over its budget of {budget:,}")
            failed = 1
    for problem in constructor_problems:
        print("STARTUP " + problem)
        failed = 1
    for problem in layout_failures:
        print("LAYOUT " + problem)
        failed = 1
    print("\nsize budgets: " + ("EXCEEDED" if failed else "all within"))
    sys.exit(failed)
EOF
