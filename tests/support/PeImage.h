// Builds small PE images with a version resource, for the version reader's tests. The layout is
// what a linker writes: DOS header, PE signature, COFF header, optional header with 16 data
// directories, one section ".rsrc" holding the resource tree RT_VERSION -> name 1 -> language
// 0x409 -> data entry -> VS_VERSIONINFO. Every field a test may want to break is a knob, and
// the offsets of the interesting places are reported back.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tbx::test {

struct PeShape {
    bool pe32Plus = false;
    std::uint16_t major = 1, minor = 2, release = 3, build = 4;
    std::uint32_t signature = 0xFEEF04BD;
    std::uint16_t valueLength = 52;      ///< wValueLength of VS_VERSIONINFO
    std::string key = "VS_VERSION_INFO"; ///< written as UTF-16
    /// Resource types placed before RT_VERSION: named entries and lower ids (RT_ICON...).
    unsigned namedTypesBefore = 0;
    unsigned idTypesBefore = 0;
    bool withVersionType = true;
};

/// Offsets (in the file) of the places the tests poke at.
struct PeLayout {
    std::size_t peHeader = 0;
    std::size_t optionalHeader = 0;
    std::size_t sectionTable = 0;
    std::size_t resourceRoot = 0;
    std::size_t nameDirectory = 0;
    std::size_t languageDirectory = 0;
    std::size_t dataEntry = 0;
    std::size_t versionBlock = 0;
    std::size_t fixedInfo = 0;
    std::uint32_t sectionRva = 0x1000;
};

class PeImage {
public:
    explicit PeImage(const PeShape &shape = {}) { build(shape); }

    std::vector<std::uint8_t> bytes;
    PeLayout layout;

    void put16(std::size_t at, std::uint16_t v)
    {
        bytes.at(at + 1);
        bytes[at] = static_cast<std::uint8_t>(v);
        bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    void put32(std::size_t at, std::uint32_t v)
    {
        put16(at, static_cast<std::uint16_t>(v));
        put16(at + 2, static_cast<std::uint16_t>(v >> 16));
    }
    std::uint32_t get32(std::size_t at) const
    {
        return std::uint32_t{bytes.at(at)} | std::uint32_t{bytes.at(at + 1)} << 8 |
               std::uint32_t{bytes.at(at + 2)} << 16 | std::uint32_t{bytes.at(at + 3)} << 24;
    }

    /// File offsets of the fields of the section header and of the data directories.
    std::size_t sectionField(std::size_t offsetInHeader) const
    {
        return layout.sectionTable + offsetInHeader;
    }
    std::size_t resourceDirectoryEntry() const
    {
        return layout.optionalHeader + (pe32Plus_ ? 112 : 96) + 2 * 8;
    }
    std::size_t rvaCountField() const { return layout.optionalHeader + (pe32Plus_ ? 108 : 92); }

private:
    bool pe32Plus_ = false;

    void build(const PeShape &shape)
    {
        pe32Plus_ = shape.pe32Plus;
        constexpr std::size_t kRawOffset = 0x200;
        const std::uint16_t optionalSize = shape.pe32Plus ? 240 : 224;

        bytes.assign(kRawOffset, 0);
        bytes[0] = 'M';
        bytes[1] = 'Z';
        layout.peHeader = 0x80;
        put32(0x3C, static_cast<std::uint32_t>(layout.peHeader));
        std::memcpy(&bytes[layout.peHeader], "PE\0\0", 4);
        put16(layout.peHeader + 4, shape.pe32Plus ? 0x8664 : 0x14C);
        put16(layout.peHeader + 6, 1); // one section
        put16(layout.peHeader + 20, optionalSize);
        put16(layout.peHeader + 22, 0x2102); // executable, 32-bit, DLL
        layout.optionalHeader = layout.peHeader + 24;
        put16(layout.optionalHeader, shape.pe32Plus ? 0x20B : 0x10B);
        put32(rvaCountField(), 16);
        layout.sectionTable = layout.optionalHeader + optionalSize;
        std::memcpy(&bytes[layout.sectionTable], ".rsrc\0\0\0", 8);

        // The resource section, with offsets relative to its start.
        std::vector<std::uint8_t> rsrc;
        const auto grow = [&rsrc](std::size_t n) {
            const std::size_t at = rsrc.size();
            rsrc.resize(at + n, 0);
            return at;
        };
        const auto set16 = [&rsrc](std::size_t at, std::uint16_t v) {
            rsrc[at] = static_cast<std::uint8_t>(v);
            rsrc[at + 1] = static_cast<std::uint8_t>(v >> 8);
        };
        const auto set32 = [&](std::size_t at, std::uint32_t v) {
            set16(at, static_cast<std::uint16_t>(v));
            set16(at + 2, static_cast<std::uint16_t>(v >> 16));
        };

        const unsigned named = shape.namedTypesBefore;
        const unsigned ids = shape.idTypesBefore + (shape.withVersionType ? 1 : 0);
        const std::size_t root = grow(16 + 8 * (named + ids));
        set16(root + 12, static_cast<std::uint16_t>(named));
        set16(root + 14, static_cast<std::uint16_t>(ids));
        const std::size_t names = grow(16 + 8);
        set16(names + 14, 1);
        const std::size_t languages = grow(16 + 8);
        set16(languages + 14, 1);
        const std::size_t dataEntry = grow(16);
        constexpr std::uint32_t kSubdirectory = 0x80000000u;
        // Decoy types point at the name directory too; only the RT_VERSION one must be taken.
        std::size_t e = root + 16;
        for (unsigned i = 0; i < named; ++i, e += 8) {
            // A string name whose offset bits read 16: must not pass for RT_VERSION.
            set32(e, kSubdirectory | 16);
            set32(e + 4, kSubdirectory | 0x7000);
        }
        for (unsigned i = 0; i < shape.idTypesBefore; ++i, e += 8) {
            set32(e, 3 + i); // RT_ICON, RT_MENU, ...
            set32(e + 4, 0x7000);
        }
        if (shape.withVersionType) {
            set32(e, 16);
            set32(e + 4, kSubdirectory | static_cast<std::uint32_t>(names));
        }
        set32(names + 16, 1);
        set32(names + 20, kSubdirectory | static_cast<std::uint32_t>(languages));
        set32(languages + 16, 0x409);
        set32(languages + 20, static_cast<std::uint32_t>(dataEntry));

        const std::size_t block = grow(0);
        const std::size_t keyBytes = (shape.key.size() + 1) * 2;
        const std::size_t valueAt = (6 + keyBytes + 3) & ~std::size_t{3};
        const std::size_t fixedInfoBytes = 52;
        grow(valueAt + fixedInfoBytes);
        set16(block + 2, shape.valueLength);
        for (std::size_t i = 0; i < shape.key.size(); ++i)
            set16(block + 6 + 2 * i, static_cast<unsigned char>(shape.key[i]));
        const std::size_t fixed = block + valueAt;
        set32(fixed, shape.signature);
        set32(fixed + 4, 0x00010000);
        set32(fixed + 8, std::uint32_t{shape.major} << 16 | shape.minor);
        set32(fixed + 12, std::uint32_t{shape.release} << 16 | shape.build);
        set32(fixed + 16, std::uint32_t{shape.major} << 16 | shape.minor);
        set32(fixed + 20, std::uint32_t{shape.release} << 16 | shape.build);
        set32(fixed + 32, 0x00040004);
        set32(fixed + 36, 2);
        const std::size_t blockLength = rsrc.size() - block;
        set16(block, static_cast<std::uint16_t>(blockLength));
        set32(dataEntry, layout.sectionRva + static_cast<std::uint32_t>(block));
        set32(dataEntry + 4, static_cast<std::uint32_t>(blockLength));

        // Section header and resource data directory.
        const auto rsrcSize = static_cast<std::uint32_t>(rsrc.size());
        put32(sectionField(8), rsrcSize);  // VirtualSize
        put32(sectionField(12), layout.sectionRva);
        put32(sectionField(16), rsrcSize); // SizeOfRawData
        put32(sectionField(20), static_cast<std::uint32_t>(kRawOffset));
        put32(resourceDirectoryEntry(), layout.sectionRva);
        put32(resourceDirectoryEntry() + 4, rsrcSize);
        bytes.insert(bytes.end(), rsrc.begin(), rsrc.end());

        layout.resourceRoot = kRawOffset + root;
        layout.nameDirectory = kRawOffset + names;
        layout.languageDirectory = kRawOffset + languages;
        layout.dataEntry = kRawOffset + dataEntry;
        layout.versionBlock = kRawOffset + block;
        layout.fixedInfo = kRawOffset + fixed;
    }
};

} // namespace tbx::test
