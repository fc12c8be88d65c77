// Fuzz target: the reader of the TBXVERSION note that our own libraries carry on POSIX, through
// section headers and, when those are gone, through program headers.
#include "FuzzTarget.h"
#include "VersionCheck.h"

#include "platform/Platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto version = tbx::platform::elfFileVersion(data, size);
    tbx::fuzz::expectVersionFromInput(data, size, version);
    if (version)
        TBX_FUZZ_EXPECT(size >= 52 && data[0] == 0x7F && data[1] == 'E' && data[2] == 'L' && data[3] == 'F');
    return 0;
}

namespace tbx::fuzz {

namespace {

constexpr std::uint16_t kMajor = 13, kMinor = 10, kRelease = 20, kBuild = 0;

/// Writes \p value at \p at in the byte order of the image.
struct Writer {
    Bytes &b;
    bool bigEndian;
    void put(std::size_t at, std::uint64_t value, unsigned width)
    {
        if (b.size() < at + width)
            b.resize(at + width);
        for (unsigned i = 0; i < width; ++i) {
            const unsigned shift = bigEndian ? 8 * (width - 1 - i) : 8 * i;
            b[at + i] = static_cast<std::uint8_t>(value >> shift);
        }
    }
};

/// The notes as the linker lays them out: another note first (a build id), then ours, exactly as
/// platform/VersionNote.h emits it. Note headers follow the image's byte order; the
/// VS_FIXEDFILEINFO inside is always little-endian.
Bytes notes(bool bigEndian)
{
    Bytes n;
    Writer w{n, bigEndian};
    w.put(0, 4, 4);  // namesz "GNU"
    w.put(4, 20, 4); // descsz
    w.put(8, 3, 4);  // NT_GNU_BUILD_ID
    std::memcpy(&n[12], "GNU", 4);
    n.resize(16 + 20, 0xAB);
    const std::size_t at = n.size();
    w.put(at, 11, 4);
    w.put(at + 4, 52, 4);
    w.put(at + 8, 1, 4);
    n.resize(at + 24, 0);
    std::memcpy(&n[at + 12], "TBXVERSION", 11);
    const std::uint32_t fixed[13] = {0xFEEF04BDu, 0x00010000u, std::uint32_t{kMajor} << 16 | kMinor,
                                     std::uint32_t{kRelease} << 16 | kBuild, std::uint32_t{kMajor} << 16 | kMinor,
                                     std::uint32_t{kRelease} << 16 | kBuild, 0, 0, 0x00040004u, 2, 0, 0, 0};
    for (std::uint32_t word : fixed)
        appendLe(n, word, 4);
    return n;
}

struct ElfVariant {
    bool is64;
    bool bigEndian;
    bool viaSegment;      ///< notes found through a PT_NOTE program header, no section headers
    bool extendedCount;   ///< section count 0 in the header, the real count in section 0's size
};

Seed elfImage(const ElfVariant &v)
{
    Seed s;
    s.name = std::string(v.is64 ? "elf64" : "elf32") + (v.bigEndian ? "-be" : "-le") +
             (v.viaSegment ? "-segment" : "-section") + (v.extendedCount ? "-extended" : "");
    Bytes &b = s.bytes;
    Writer w{b, v.bigEndian};
    const unsigned word = v.is64 ? 8 : 4;
    const std::size_t ehSize = v.is64 ? 64 : 52;
    b.assign(ehSize, 0);
    b[0] = 0x7F;
    b[1] = 'E';
    b[2] = 'L';
    b[3] = 'F';
    b[4] = v.is64 ? 2 : 1;
    b[5] = v.bigEndian ? 2 : 1;
    b[6] = 1;
    w.put(16, 3, 2); // ET_DYN
    w.put(20, 1, 4);

    const std::size_t notesAt = ehSize;
    const Bytes n = notes(v.bigEndian);
    b.insert(b.end(), n.begin(), n.end());
    while (b.size() % 8)
        b.push_back(0);
    const std::size_t tableAt = b.size();

    // Header fields: phoff, shoff, phentsize, phnum, shentsize, shnum.
    const std::size_t phoffAt = v.is64 ? 0x20 : 0x1C, shoffAt = v.is64 ? 0x28 : 0x20;
    const std::size_t phentAt = v.is64 ? 0x36 : 0x2A, phnumAt = v.is64 ? 0x38 : 0x2C;
    const std::size_t shentAt = v.is64 ? 0x3A : 0x2E, shnumAt = v.is64 ? 0x3C : 0x30;
    w.put(v.is64 ? 0x34 : 0x28, ehSize, 2);
    s.fields = {{phoffAt, 4, v.bigEndian}, {shoffAt, 4, v.bigEndian}, {phentAt, 2, v.bigEndian},
                {phnumAt, 2, v.bigEndian}, {shentAt, 2, v.bigEndian}, {shnumAt, 2, v.bigEndian}};
    if (v.is64 && v.bigEndian) // the low halves of the 8-byte offsets
        s.fields[0].offset += 4, s.fields[1].offset += 4;

    if (v.viaSegment) {
        const std::size_t entry = v.is64 ? 56 : 32;
        w.put(phoffAt, tableAt, word);
        w.put(phentAt, entry, 2);
        w.put(phnumAt, 2, 2);
        b.resize(tableAt + 2 * entry, 0);
        // A PT_LOAD first, then the PT_NOTE.
        w.put(tableAt, 1, 4);
        const std::size_t h = tableAt + entry;
        w.put(h, 4, 4);
        w.put(h + (v.is64 ? 8 : 4), notesAt, word);          // p_offset
        w.put(h + (v.is64 ? 32 : 16), n.size(), word);       // p_filesz
        w.put(h + (v.is64 ? 48 : 28), 4, word);              // p_align
        s.fields.push_back({h + (v.is64 ? 8 : 4), 4, v.bigEndian});
        s.fields.push_back({h + (v.is64 ? 32 : 16), 4, v.bigEndian});
    } else {
        const std::size_t entry = v.is64 ? 64 : 40;
        w.put(shoffAt, tableAt, word);
        w.put(shentAt, entry, 2);
        w.put(shnumAt, v.extendedCount ? 0 : 2, 2);
        b.resize(tableAt + 2 * entry, 0);
        if (v.extendedCount)
            w.put(tableAt + (v.is64 ? 32 : 20), 2, word); // section 0's sh_size holds the count
        const std::size_t h = tableAt + entry;
        w.put(h + 4, 7, 4);                                  // SHT_NOTE
        w.put(h + (v.is64 ? 24 : 16), notesAt, word);        // sh_offset
        w.put(h + (v.is64 ? 32 : 20), n.size(), word);       // sh_size
        w.put(h + (v.is64 ? 48 : 32), 4, word);              // sh_addralign
        s.fields.push_back({h + (v.is64 ? 24 : 16), 4, v.bigEndian});
        s.fields.push_back({h + (v.is64 ? 32 : 20), 4, v.bigEndian});
    }
    // The note sizes of our note (after the build id note of 36 bytes).
    s.fields.push_back({notesAt + 36, 4, v.bigEndian});
    s.fields.push_back({notesAt + 40, 4, v.bigEndian});
    return s;
}

} // namespace

std::vector<Seed> seeds()
{
    std::vector<Seed> out;
    for (bool is64 : {false, true})
        for (bool be : {false, true})
            for (int layout = 0; layout < 3; ++layout)
                out.push_back(elfImage(ElfVariant{is64, be, layout == 1, layout == 2}));
    for (const Seed &s : out) {
        // The reader must find the version in every layout our toolchains produce.
        const auto read = platform::elfFileVersion(s.bytes.data(), s.bytes.size());
        TBX_FUZZ_EXPECT(read && (*read == platform::FileVersion{kMajor, kMinor, kRelease, kBuild}));
    }
    return out;
}

} // namespace tbx::fuzz
