// pe-compact: a build tool of the i686 programs. It gives their headers
// one 512-byte block instead of two, and their import tables and
// resources read-only memory.
//
//   pe-compact script LD-VERBOSE OUT   the linker's default script (what
//                                      `ld --verbose` prints), with the
//                                      import tables moved to the start of
//                                      .rdata and their lookup tables to its
//                                      end; OUT is the script to link with
//   pe-compact PROGRAM                 rewrites a program linked with it
//
// Why: the PE headers of a program of six sections (DOS header, the
// linker's 64-byte DOS program, PE headers, section table) take 576 bytes,
// so the file spends 1,024 on them. Five sections and no DOS program take
// exactly 512. The import tables lose their own writable section: in
// .rdata, the loader makes the address table writable while it binds the
// imports and read-only again after (it finds the table through its data
// directory), as with other compilers' programs, so no stray write can
// redirect a system call later. The linker fills that data directory
// itself but sets the import directory only for a section named .idata;
// the rewrite sets it to the descriptors at the start of .rdata. Each
// DLL's lookup table (the names of its functions, in the order of its
// address table) is a copy of its address table as the file holds it: the
// loader reads the names through the address table when a descriptor has
// no lookup table, as it has for decades for other linkers' programs, so
// the rewrite cuts the lookup tables off the end of .rdata, 4 bytes an
// import. The linker also maps the resources writable, which nothing here needs (the
// program and the system only read them): the rewrite makes them
// read-only, as other compilers' programs have them.
//
// The rewrite checks everything it relies on and refuses (status 1, file
// untouched) anything else. The program's memory image is unchanged but
// for that directory and the resources' protection; only file offsets
// move. A program already rewritten is left as it is.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "common/host_files.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kFileAlignment = 512;
constexpr uint32_t kCompactPeOffset = 0x40;  // right after the DOS header
constexpr uint32_t kOptionalHeaderSize = 224;  // PE32 with 16 directories
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kImportDirectory = 1, kSecurityDirectory = 4;
constexpr uint32_t kImportDescriptorSize = 20;
constexpr uint32_t kSectionWritable = 0x80000000;  // IMAGE_SCN_MEM_WRITE

uint32_t Get16(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t Get32(const Bytes& b, size_t at) { return Get16(b, at) | Get16(b, at + 2) << 16; }
void Put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

bool Fail(const char* why) {
    std::fprintf(stderr, "pe-compact: %s\n", why);
    return false;
}

// Where the brace opened at `open` closes; npos when it does not.
size_t MatchingBrace(const std::string& script, size_t open) {
    int depth = 0;
    for (size_t i = open; i < script.size(); ++i) {
        if (script[i] == '{') ++depth;
        if (script[i] == '}' && --depth == 0) return i;
    }
    return std::string::npos;
}

bool MergeImportsIntoRdata(const std::string& verbose, std::string& script) {
    const std::string rule = "==================================================";
    size_t begin = verbose.find(rule), end = verbose.rfind(rule);
    if (begin == std::string::npos || end <= begin) return Fail("no default script in the linker's output");
    script = verbose.substr(begin + rule.size(), end - begin - rule.size());

    size_t idata = script.find("\n  .idata BLOCK(__section_alignment__) :");
    size_t open = script.find('{', idata), close = MatchingBrace(script, open);
    if (idata == std::string::npos || close == std::string::npos) return Fail("no .idata section in the default script");
    std::string tables = script.substr(open + 1, close - open - 1);
    const std::string lookup = "    KEEP (SORT(*)(.idata$4))\n";
    size_t lookupAt = tables.find(lookup);
    if (tables.find(".idata$2") == std::string::npos || tables.find("__IAT_start__") == std::string::npos ||
        lookupAt == std::string::npos)
        return Fail("the default script's .idata section is not as expected");
    tables.erase(lookupAt, lookup.size());
    script.erase(idata, close + 1 - idata);

    // The lookup tables go last, but for the runtime's pseudo-relocations,
    // which programs without the runtime's start-up code have none of.
    size_t rdata = script.find("\n  .rdata BLOCK(__section_alignment__) :");
    size_t rdataOpen = script.find('{', rdata);
    size_t pseudo = script.find("    __rt_psrelocs_start = .;", rdataOpen);
    if (rdata == std::string::npos || rdataOpen == std::string::npos || pseudo == std::string::npos ||
        pseudo > MatchingBrace(script, rdataOpen))
        return Fail("no .rdata section as expected in the default script");
    script.insert(pseudo, lookup);
    script.insert(rdataOpen + 1, tables + "    . = ALIGN(4);\n");
    return true;
}

// The image checksum of the PE format: 16-bit sums with end-around carry,
// the checksum field itself left out, plus the file's length.
uint32_t ImageChecksum(const Bytes& file, size_t checksumAt) {
    uint64_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2) {
        if (i == checksumAt || i == checksumAt + 2) continue;
        sum += file[i] | (i + 1 < file.size() ? file[i + 1] << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + file.size());
}

struct Layout {
    uint32_t pe, optional, sections, count, headersEnd;
};

bool ReadLayout(const Bytes& file, Layout& layout) {
    if (file.size() < 2 * kFileAlignment || file[0] != 'M' || file[1] != 'Z') return Fail("not a PE program");
    layout.pe = Get32(file, 0x3C);
    if (layout.pe > 0x200 || Get32(file, layout.pe) != 0x4550) return Fail("not a PE program");
    layout.optional = layout.pe + 24;
    if (Get16(file, layout.pe + 4) != 0x14C || Get16(file, layout.optional) != 0x10B ||
        Get16(file, layout.pe + 20) != kOptionalHeaderSize || Get32(file, layout.optional + 92) != 16)
        return Fail("not an i386 PE32 program with 16 data directories");
    layout.count = Get16(file, layout.pe + 6);
    layout.sections = layout.optional + kOptionalHeaderSize;
    layout.headersEnd = layout.sections + kSectionHeaderSize * layout.count;
    if (layout.headersEnd > 2 * kFileAlignment) return Fail("headers larger than the linker's two 512-byte blocks");
    return true;
}

size_t SectionNamed(const Bytes& file, const Layout& layout, const char* name) {
    for (uint32_t i = 0; i < layout.count; ++i) {
        size_t at = layout.sections + kSectionHeaderSize * i;
        if (std::strncmp(reinterpret_cast<const char*>(&file[at]), name, 8) == 0) return at;
    }
    return 0;
}

// Counts the import descriptors at the start of .rdata (0 for a program
// that imports nothing), each naming a DLL inside the section; -1 if they
// are not there.
int ImportDescriptorsAt(const Bytes& file, size_t rdata) {
    uint32_t rva = Get32(file, rdata + 12), rawSize = Get32(file, rdata + 16), raw = Get32(file, rdata + 20);
    if (raw + rawSize > file.size()) return -1;
    for (int count = 0;; ++count) {
        size_t at = raw + kImportDescriptorSize * count;
        if (at + kImportDescriptorSize > raw + rawSize) return -1;
        bool empty = true;
        for (uint32_t i = 0; i < kImportDescriptorSize; ++i) empty &= file[at + i] == 0;
        if (empty) return count;
        uint32_t name = Get32(file, at + 12);
        if (name < rva || name - rva >= rawSize) return -1;
        const char* dll = reinterpret_cast<const char*>(&file[raw + name - rva]);
        size_t length = strnlen(dll, rawSize - (name - rva));
        if (length < 5 || strcasecmp(dll + length - 4, ".dll") != 0) return -1;
    }
}

uint32_t RoundUp(uint32_t size) { return (size + kFileAlignment - 1) / kFileAlignment * kFileAlignment; }

// Cuts the lookup tables off the end of .rdata and clears the descriptors'
// references to them, after checking that each is its address table's
// copy and that together they are exactly the section's last bytes. The
// file shrinks by the 512-byte blocks that frees; no address moves.
bool DropLookupTables(Bytes& file, const Layout& layout, size_t rdata, int descriptors) {
    const uint32_t rva = Get32(file, rdata + 12), size = Get32(file, rdata + 8);
    const uint32_t raw = Get32(file, rdata + 20), rawSize = Get32(file, rdata + 16);
    if (size > rawSize) return Fail(".rdata has bytes the file does not hold");
    auto offset = [&](uint32_t at) { return raw + at - rva; };
    uint32_t start = rva + size, end = start;   // where the tables begin and end
    for (int d = 0; d < descriptors; ++d) {
        const size_t descriptor = raw + kImportDescriptorSize * d;
        uint32_t lookup = Get32(file, descriptor), address = Get32(file, descriptor + 16);
        if (lookup < rva || address < rva) return Fail("an import table outside .rdata");
        if (d == 0) start = end = lookup;
        if (lookup != end) return Fail("the lookup tables are not one after another");
        for (;; lookup += 4, address += 4) {
            if (lookup + 4 > rva + size || address + 4 > rva + size) return Fail("an import table runs off .rdata");
            if (Get32(file, offset(lookup)) != Get32(file, offset(address)))
                return Fail("a lookup table is not its address table's copy");
            if (Get32(file, offset(lookup)) == 0) break;
        }
        end = lookup + 4;
        Put32(file, descriptor, 0);
    }
    if (descriptors > 0 && end != rva + size) return Fail("the lookup tables are not the last bytes of .rdata");
    const uint32_t newSize = start - rva, cut = rawSize - RoundUp(newSize);
    std::fill(file.begin() + offset(start), file.begin() + raw + rawSize, 0);
    Put32(file, rdata + 8, newSize);
    if (cut == 0) return true;
    Put32(file, rdata + 16, rawSize - cut);
    file.erase(file.begin() + raw + rawSize - cut, file.begin() + raw + rawSize);
    for (uint32_t i = 0; i < layout.count; ++i) {
        size_t at = layout.sections + kSectionHeaderSize * i + 20;
        if (Get32(file, at) > raw) Put32(file, at, Get32(file, at) - cut);
    }
    Put32(file, layout.optional + 8, Get32(file, layout.optional + 8) - cut);   // initialised data
    return true;
}

bool Compact(Bytes& file) {
    Layout layout;
    if (!ReadLayout(file, layout)) return false;
    size_t directories = layout.optional + 96;
    size_t imports = directories + 8 * kImportDirectory;
    size_t rdata = SectionNamed(file, layout, ".rdata");
    if (layout.pe == kCompactPeOffset) {
        std::puts("pe-compact: already compact");
        return true;
    }
    if (SectionNamed(file, layout, ".idata")) return Fail("the import tables are in .idata: link with the script from `pe-compact script`");
    if (!rdata) return Fail("no .rdata section");
    if (Get32(file, imports) != 0) return Fail("the linker set an import directory already");
    if (Get32(file, directories + 8 * kSecurityDirectory) != 0) return Fail("signed already: compact before signing");
    if (Get32(file, layout.pe + 12) != 0) return Fail("has a symbol table: strip it first");
    if (Get32(file, layout.optional + 36) != kFileAlignment || Get32(file, layout.optional + 60) != 2 * kFileAlignment)
        return Fail("file alignment or header size not the linker's usual 512 and 1,024");
    if (layout.headersEnd - layout.pe + kCompactPeOffset > kFileAlignment)
        return Fail("too many sections for one 512-byte header block");
    for (size_t i = layout.headersEnd; i < 2 * kFileAlignment; ++i)
        if (file[i] != 0) return Fail("something lies behind the section table");
    for (uint32_t i = 0; i < layout.count; ++i) {
        uint32_t raw = Get32(file, layout.sections + kSectionHeaderSize * i + 20);
        if (raw != 0 && raw < 2 * kFileAlignment) return Fail("a section starts inside the headers");
    }
    int descriptors = ImportDescriptorsAt(file, rdata);
    if (descriptors < 0) return Fail("no import descriptors at the start of .rdata");

    size_t checksumAt = layout.optional + 64;
    uint32_t checksum = Get32(file, checksumAt);
    if (checksum != 0 && checksum != ImageChecksum(file, checksumAt)) return Fail("the linker's checksum is not the one computed here");

    if (!DropLookupTables(file, layout, rdata, descriptors)) return false;
    if (descriptors > 0) {
        Put32(file, imports, Get32(file, rdata + 12));
        Put32(file, imports + 4, kImportDescriptorSize * (descriptors + 1));
    }
    Bytes compact(file.begin(), file.begin() + kCompactPeOffset);
    Put32(compact, 0x3C, kCompactPeOffset);
    compact.insert(compact.end(), file.begin() + layout.pe, file.begin() + layout.headersEnd);
    compact.resize(kFileAlignment);
    compact.insert(compact.end(), file.begin() + 2 * kFileAlignment, file.end());

    uint32_t shift = layout.pe - kCompactPeOffset;
    Put32(compact, layout.optional - shift + 60, kFileAlignment);
    for (uint32_t i = 0; i < layout.count; ++i) {
        size_t raw = layout.sections - shift + kSectionHeaderSize * i + 20;
        if (Get32(compact, raw) != 0) Put32(compact, raw, Get32(compact, raw) - kFileAlignment);
    }
    if (size_t resources = SectionNamed(file, layout, ".rsrc")) {
        size_t flags = resources - shift + 36;
        Put32(compact, flags, Get32(compact, flags) & ~kSectionWritable);
    }
    if (checksum != 0) Put32(compact, checksumAt - shift, ImageChecksum(compact, checksumAt - shift));
    file.swap(compact);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Bytes input;
    if (argc == 4 && std::strcmp(argv[1], "script") == 0) {
        std::string script;
        if (!ReadWholeFile(argv[2], &input)) return Fail("cannot read the linker's output"), 1;
        if (!MergeImportsIntoRdata(std::string(input.begin(), input.end()), script)) return 1;
        const uint8_t* text = reinterpret_cast<const uint8_t*>(script.data());
        return WriteFileAtomically(argv[3], text, script.size()) ? 0 : (Fail("cannot write the script"), 1);
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: pe-compact script LD-VERBOSE OUT | pe-compact PROGRAM\n");
        return 2;
    }
    if (!ReadWholeFile(argv[1], &input)) return Fail("cannot read the program"), 1;
    if (!Compact(input)) return 1;
    return WriteFileAtomically(argv[1], input.data(), input.size()) ? 0 : (Fail("cannot write the program"), 1);
}
