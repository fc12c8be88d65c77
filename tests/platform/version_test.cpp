// File versions: the PE reader on built images (valid and broken in every place that matters),
// the ELF note reader on the fixture library and on corrupted copies, and fileVersion() on real
// files, where Windows' own API and our byte reader must agree.
#include "PeImage.h"
#include "TestSupport.h"

#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

using tbx::platform::elfFileVersion;
using tbx::platform::FileVersion;
using tbx::platform::fileVersion;
using tbx::platform::peFileVersion;
using tbx::test::PeImage;
using tbx::test::PeShape;

namespace {

const FileVersion kFixtureVersion{3, 14, 15, 9265};

/// Parses an exact-size copy, so a read past the end hits the sanitizers' red zone.
std::optional<FileVersion> peExact(const std::vector<std::uint8_t> &bytes, std::size_t size)
{
    std::vector<std::uint8_t> copy(bytes.begin(), bytes.begin() + static_cast<long>(size));
    return peFileVersion(copy.data(), copy.size());
}

std::optional<FileVersion> elfExact(const std::vector<std::uint8_t> &bytes, std::size_t size)
{
    std::vector<std::uint8_t> copy(bytes.begin(), bytes.begin() + static_cast<long>(size));
    return elfFileVersion(copy.data(), copy.size());
}

} // namespace

// ---------------------------------------------------------------------------------------------
// PE
// ---------------------------------------------------------------------------------------------

TEST(PeVersion, ReadsPe32AndPe32PlusWithOtherResourceTypesAround)
{
    for (bool plus : {false, true}) {
        PeShape shape;
        shape.pe32Plus = plus;
        shape.major = 65535;
        shape.minor = 0;
        shape.release = 513;
        shape.build = 2;
        shape.namedTypesBefore = 2;
        shape.idTypesBefore = 3;
        const PeImage image(shape);
        EXPECT_EQ(peFileVersion(image.bytes.data(), image.bytes.size()),
                  (FileVersion{65535, 0, 513, 2}))
            << (plus ? "PE32+" : "PE32");
    }
}

TEST(PeVersion, EveryTruncationIsRefused)
{
    const PeImage image;
    ASSERT_TRUE(peExact(image.bytes, image.bytes.size()));
    // The fixed information is the last thing in the file, so every shorter prefix lacks
    // something the reader needs: the headers, a directory, the data entry or the value.
    for (std::size_t size = 0; size < image.bytes.size(); ++size)
        EXPECT_FALSE(peExact(image.bytes, size)) << "prefix of " << size << " bytes";
    EXPECT_FALSE(peFileVersion(nullptr, 1000));
}

TEST(PeVersion, FixedInfoMissingShortOrWrong)
{
    PeShape missing;
    missing.valueLength = 0;
    PeShape shortValue;
    shortValue.valueLength = 51;
    PeShape badSignature;
    badSignature.signature = 0xFEEF04BC;
    PeShape badKey;
    badKey.key = "VS_VERSION_INFX";
    PeShape noVersionType;
    noVersionType.withVersionType = false;
    noVersionType.idTypesBefore = 2;
    for (const auto *shape : {&missing, &shortValue, &badSignature, &badKey, &noVersionType}) {
        const PeImage image(*shape);
        EXPECT_FALSE(peFileVersion(image.bytes.data(), image.bytes.size()));
    }

    // A value length that claims more than the block holds.
    PeImage overlong;
    overlong.put16(overlong.layout.versionBlock + 2, 60);
    EXPECT_FALSE(peFileVersion(overlong.bytes.data(), overlong.bytes.size()));
    // A block length beyond the resource data's size.
    PeImage blockTooLong;
    blockTooLong.put16(blockTooLong.layout.versionBlock, 0x4000);
    EXPECT_FALSE(peFileVersion(blockTooLong.bytes.data(), blockTooLong.bytes.size()));
}

TEST(PeVersion, AddressesOutsideTheImageAreRefused)
{
    struct Case {
        const char *what;
        void (*breakIt)(PeImage &);
    };
    const Case cases[] = {
        {"e_lfanew far away", [](PeImage &i) { i.put32(0x3C, 0xFFFFFFF0); }},
        {"PE signature", [](PeImage &i) { i.bytes[i.layout.peHeader + 2] = 'X'; }},
        {"optional header magic", [](PeImage &i) { i.put16(i.layout.optionalHeader, 0x107); }},
        {"resource directory not listed", [](PeImage &i) { i.put32(i.rvaCountField(), 2); }},
        {"no resource directory", [](PeImage &i) { i.put32(i.resourceDirectoryEntry(), 0); }},
        {"resource RVA outside every section",
         [](PeImage &i) { i.put32(i.resourceDirectoryEntry(), 0x9000); }},
        {"resource RVA below the section",
         [](PeImage &i) { i.put32(i.resourceDirectoryEntry(), 0x0FFF); }},
        {"section raw data beyond the file",
         [](PeImage &i) { i.put32(i.sectionField(20), 0x7FFFFFF0); }},
        {"data RVA outside every section",
         [](PeImage &i) { i.put32(i.layout.dataEntry, 0x00500000); }},
        {"data size beyond the section",
         [](PeImage &i) { i.put32(i.layout.dataEntry + 4, 0x10000); }},
        {"version data in the zero-filled tail", // virtual size grows, raw data shrinks
         [](PeImage &i) {
             i.put32(i.sectionField(8), 0x2000);
             i.put32(i.sectionField(16), static_cast<std::uint32_t>(i.layout.versionBlock - 0x200));
         }},
        {"absurd section count", [](PeImage &i) { i.put16(i.layout.peHeader + 6, 0xFFFF); }},
        {"absurd optional header size", [](PeImage &i) { i.put16(i.layout.peHeader + 20, 0xFFFF); }},
        {"absurd type count", [](PeImage &i) { i.put16(i.layout.resourceRoot + 14, 0xFFFF); }},
        {"absurd name count", [](PeImage &i) { i.put16(i.layout.nameDirectory + 12, 0xFFFF); }},
        {"empty name directory", [](PeImage &i) { i.put16(i.layout.nameDirectory + 14, 0); }},
        {"empty language directory",
         [](PeImage &i) { i.put16(i.layout.languageDirectory + 14, 0); }},
        {"name entry is data, not a directory",
         [](PeImage &i) { i.put32(i.layout.nameDirectory + 20, 0x30); }},
        {"language entry is a directory",
         [](PeImage &i) { i.put32(i.layout.languageDirectory + 20, 0x80000000u); }},
        {"subdirectory offset beyond the section",
         [](PeImage &i) { i.put32(i.layout.nameDirectory + 20, 0x8FFFFFFFu); }},
        {"name directory points back at the root", // a cycle must not hang or recurse
         [](PeImage &i) { i.put32(i.layout.nameDirectory + 20, 0x80000000u); }},
        {"data entry offset beyond the section",
         [](PeImage &i) { i.put32(i.layout.languageDirectory + 20, 0x7FFFFFF0u); }},
    };
    for (const auto &c : cases) {
        PeImage image;
        c.breakIt(image);
        EXPECT_FALSE(peFileVersion(image.bytes.data(), image.bytes.size())) << c.what;
    }
}

TEST(PeVersion, RandomCorruptionNeverReadsOutOfBounds)
{
    // The answer for a corrupted image may be anything; what matters is that the reader stays
    // inside the buffer (checked by the sanitizer builds) and terminates.
    std::mt19937 random(12345);
    for (bool plus : {false, true}) {
        PeShape shape;
        shape.pe32Plus = plus;
        const PeImage image(shape);
        for (int round = 0; round < 2000; ++round) {
            auto bytes = image.bytes;
            const unsigned flips = 1 + random() % 4;
            for (unsigned f = 0; f < flips; ++f)
                bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
            bytes.resize(bytes.size() - random() % 64);
            (void)peFileVersion(bytes.data(), bytes.size());
        }
    }
    SUCCEED();
}

TEST(PeVersion, FileVersionReadsAPeFileFromDisk)
{
    tbx::test::ScratchFolder dir;
    PeShape shape;
    shape.major = 7;
    shape.build = 99;
    tbx::test::writeBytes(dir.file("Image.dll"), PeImage(shape).bytes);
#ifndef _WIN32 // Windows asks the OS, which wants a loadable image
    EXPECT_EQ(fileVersion(dir.file("Image.dll")), (FileVersion{7, 2, 3, 99}));
    EXPECT_EQ(fileVersion(dir.file("IMAGE.DLL")), (FileVersion{7, 2, 3, 99}));
#endif
    tbx::test::writeBytes(dir.file("text.txt"), {'h', 'e', 'l', 'l', 'o'});
    EXPECT_FALSE(fileVersion(dir.file("text.txt")));
    tbx::test::writeBytes(dir.file("empty.dll"), {});
    EXPECT_FALSE(fileVersion(dir.file("empty.dll")));
    EXPECT_FALSE(fileVersion(dir.file("missing.dll")));
}

// ---------------------------------------------------------------------------------------------
// ELF
// ---------------------------------------------------------------------------------------------

namespace {

/// A minimal 32-bit big-endian ELF file whose only way to the note is its program header.
std::vector<std::uint8_t> bigEndianElfWithNote(std::uint32_t descSize = 52)
{
    std::vector<std::uint8_t> b(84 + 12 + 12 + 52, 0);
    const auto be16 = [&b](std::size_t at, std::uint16_t v) {
        b[at] = static_cast<std::uint8_t>(v >> 8);
        b[at + 1] = static_cast<std::uint8_t>(v);
    };
    const auto be32 = [&](std::size_t at, std::uint32_t v) {
        be16(at, static_cast<std::uint16_t>(v >> 16));
        be16(at + 2, static_cast<std::uint16_t>(v));
    };
    const auto le32 = [&b](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    std::memcpy(b.data(), "\x7F" "ELF\x01\x02\x01", 7);
    be32(0x1C, 52); // e_phoff
    be16(0x2A, 32); // e_phentsize
    be16(0x2C, 1);  // e_phnum
    be32(52, 4);    // PT_NOTE
    be32(52 + 4, 84);
    be32(52 + 16, 12 + 12 + 52);
    be32(52 + 28, 4);
    be32(84, 11);
    be32(88, descSize);
    be32(92, 1);
    std::memcpy(&b[96], "TBXVERSION", 11);
    le32(108, 0xFEEF04BD);
    le32(116, 0x0005000Au); // 5.10
    le32(120, 0x00140001u); // 20.1
    return b;
}

} // namespace

TEST(ElfVersion, BigEndianNoteFoundThroughProgramHeaders)
{
    const auto elf = bigEndianElfWithNote();
    EXPECT_EQ(elfFileVersion(elf.data(), elf.size()), (FileVersion{5, 10, 20, 1}));
    for (std::size_t size = 0; size < elf.size(); ++size)
        EXPECT_FALSE(elfExact(elf, size)) << "prefix of " << size << " bytes";
    const auto shortDesc = bigEndianElfWithNote(40);
    EXPECT_FALSE(elfFileVersion(shortDesc.data(), shortDesc.size()));
    auto badClass = elf;
    badClass[4] = 3;
    EXPECT_FALSE(elfFileVersion(badClass.data(), badClass.size()));
}

#ifndef _WIN32

class FixtureElf : public ::testing::Test {
protected:
    std::vector<std::uint8_t> bytes = tbx::test::readBytes(tbx::test::fixturePath());

    std::size_t noteAt() const
    {
        static const char name[] = "TBXVERSION";
        auto it = std::search(bytes.begin(), bytes.end(), name, name + sizeof name);
        EXPECT_NE(it, bytes.end());
        return static_cast<std::size_t>(it - bytes.begin()) - 12;
    }
    std::optional<FileVersion> read() const { return elfFileVersion(bytes.data(), bytes.size()); }
    void put32(std::size_t at, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
};

TEST_F(FixtureElf, TheMacroStampsTheVersionIntoAnAllocatedNote)
{
    EXPECT_EQ(read(), kFixtureVersion);
    EXPECT_EQ(fileVersion(tbx::test::fixturePath()), kFixtureVersion);
    const std::size_t note = noteAt();
    EXPECT_EQ(note % 4, 0u);
    // dwFileOS and dwFileType as documented in VersionNote.h.
    EXPECT_EQ(bytes[note + 24 + 32], 0x04);
    EXPECT_EQ(bytes[note + 24 + 34], 0x04);
    EXPECT_EQ(bytes[note + 24 + 36], 0x02);
}

TEST_F(FixtureElf, FoundThroughProgramHeadersWhenSectionHeadersAreGone)
{
    put32(0x28, 0); // e_shoff (ELF64)
    bytes[0x28 + 4] = bytes[0x28 + 5] = bytes[0x28 + 6] = bytes[0x28 + 7] = 0;
    EXPECT_EQ(read(), kFixtureVersion);
}

TEST_F(FixtureElf, CorruptNotesAreRefused)
{
    const std::size_t note = noteAt();
    const auto original = bytes;
    put32(note + 24, 0xFEEF04BC);
    EXPECT_FALSE(read()) << "signature";
    bytes = original;
    put32(note + 4, 40);
    EXPECT_FALSE(read()) << "short descriptor";
    bytes = original;
    put32(note, 12);
    EXPECT_FALSE(read()) << "name size";
    bytes = original;
    put32(note + 8, 2);
    EXPECT_FALSE(read()) << "note type";
    bytes = original;
    EXPECT_FALSE(elfExact(bytes, note + 24 + 51)) << "cut inside the descriptor";
}

TEST_F(FixtureElf, AbsurdHeaderTablesAndTruncationsStayInBounds)
{
    const auto original = bytes;
    const std::size_t fields[] = {0x36, 0x38, 0x3A, 0x3C}; // phentsize, phnum, shentsize, shnum
    for (std::size_t field : fields) {
        for (std::uint16_t value : {std::uint16_t{0}, std::uint16_t{1}, std::uint16_t{0xFFFF}}) {
            bytes = original;
            bytes[field] = static_cast<std::uint8_t>(value);
            bytes[field + 1] = static_cast<std::uint8_t>(value >> 8);
            auto v = read();
            EXPECT_TRUE(!v || *v == kFixtureVersion);
        }
    }
    // Every cut either still holds the whole note or reads as having none; never a wrong value.
    bytes = original;
    const std::size_t noteEnd = noteAt() + 24 + 52;
    for (std::size_t size = 0; size < bytes.size(); size += 7) {
        auto v = elfExact(bytes, size);
        if (size < noteEnd)
            EXPECT_FALSE(v) << size;
        else
            EXPECT_TRUE(!v || *v == kFixtureVersion) << size;
    }
}

#endif // !_WIN32

#ifdef _WIN32
TEST(WindowsVersion, OsApiAndByteReaderAgreeOnTheFixtureDll)
{
    const auto path = tbx::test::fixturePath();
    EXPECT_EQ(fileVersion(path), kFixtureVersion);
    const auto bytes = tbx::test::readBytes(path);
    EXPECT_EQ(peFileVersion(bytes.data(), bytes.size()), kFixtureVersion);
}
#endif
