// The portable part of the platform layer: clocks, the OS-version override and the readers of
// file versions from PE and ELF images. The readers take untrusted bytes: every offset and size
// is checked against the buffer before anything is read, with 64-bit arithmetic throughout.
#include "platform/Internal.h"
#include "platform/Platform.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tbx::platform {

bool removeFile(const std::string &name)
{
    std::error_code ec;
    return std::filesystem::remove(hostPath(name), ec);
}

namespace detail {

namespace {
thread_local char tLastOpenError[1024];
} // namespace

void setLastOpenError(const std::string &text) noexcept
{
    const std::size_t n = std::min(text.size(), sizeof tLastOpenError - 1);
    std::memcpy(tLastOpenError, text.data(), n);
    tLastOpenError[n] = '\0';
}

std::string lastOpenError()
{
    return tLastOpenError;
}

} // namespace detail

// Ownership of an open library is the same on every OS; only close() differs.

DynamicLibrary::~DynamicLibrary()
{
    close();
}

DynamicLibrary::DynamicLibrary(DynamicLibrary &&other) noexcept
    : handle_(std::exchange(other.handle_, nullptr))
{
}

DynamicLibrary &DynamicLibrary::operator=(DynamicLibrary &&other) noexcept
{
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}


// ---------------------------------------------------------------------------------------------
// Clocks
// ---------------------------------------------------------------------------------------------

namespace {

class RealClock final : public Clock {
public:
    Millis now() const override
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void sleep(Millis ms) override
    {
        if (ms > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};

RealClock &realClock()
{
    static RealClock instance;
    return instance;
}

std::atomic<Clock *> gClock{nullptr};

} // namespace

Millis VirtualClock::now() const
{
    std::lock_guard lock(mutex_);
    return now_;
}

void VirtualClock::sleep(Millis ms)
{
    std::lock_guard lock(mutex_);
    ++sleeps_;
    if (ms <= 0)
        return;
    now_ += ms;
    slept_ += ms;
}

void VirtualClock::advance(Millis ms)
{
    if (ms <= 0)
        return;
    std::lock_guard lock(mutex_);
    now_ += ms;
}

Millis VirtualClock::sleptTotal() const
{
    std::lock_guard lock(mutex_);
    return slept_;
}

std::int64_t VirtualClock::sleepCount() const
{
    std::lock_guard lock(mutex_);
    return sleeps_;
}

Clock &clock()
{
    Clock *installed = gClock.load();
    return installed ? *installed : realClock();
}

void setClock(Clock *clock)
{
    gClock.store(clock);
}

void sleepMs(Millis ms)
{
    clock().sleep(ms);
}

// ---------------------------------------------------------------------------------------------
// OS version override
// ---------------------------------------------------------------------------------------------

namespace {
struct OsVersionOverride {
    std::mutex mutex;
    bool active = false;
    std::optional<OsVersion> value;
};

OsVersionOverride &osOverride()
{
    static OsVersionOverride instance;
    return instance;
}
} // namespace

std::optional<OsVersion> osVersion()
{
    {
        auto &o = osOverride();
        std::lock_guard lock(o.mutex);
        if (o.active)
            return o.value;
    }
    return detail::queryOsVersion();
}

void setOsVersionOverride(std::optional<OsVersion> version)
{
    auto &o = osOverride();
    std::lock_guard lock(o.mutex);
    o.active = true;
    o.value = version;
}

void clearOsVersionOverride()
{
    auto &o = osOverride();
    std::lock_guard lock(o.mutex);
    o.active = false;
    o.value.reset();
}

// ---------------------------------------------------------------------------------------------
// Version readers
// ---------------------------------------------------------------------------------------------

namespace {

/// Bounds-checked view of untrusted bytes. Every read answers an empty optional instead of
/// reading past the end.
class Bytes {
public:
    Bytes(const std::uint8_t *data, std::size_t size) : data_(data), size_(data ? size : 0) {}

    std::uint64_t size() const { return size_; }
    bool has(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= size_ && length <= size_ - offset;
    }
    const std::uint8_t *at(std::uint64_t offset) const { return data_ + offset; }

    std::optional<std::uint64_t> read(std::uint64_t offset, unsigned width, bool bigEndian) const
    {
        if (!has(offset, width))
            return std::nullopt;
        std::uint64_t value = 0;
        for (unsigned i = 0; i < width; ++i) {
            const unsigned shift = bigEndian ? 8 * (width - 1 - i) : 8 * i;
            value |= std::uint64_t{data_[offset + i]} << shift;
        }
        return value;
    }
    std::optional<std::uint16_t> u16(std::uint64_t offset, bool bigEndian = false) const
    {
        auto v = read(offset, 2, bigEndian);
        return v ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(*v)) : std::nullopt;
    }
    std::optional<std::uint32_t> u32(std::uint64_t offset, bool bigEndian = false) const
    {
        auto v = read(offset, 4, bigEndian);
        return v ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(*v)) : std::nullopt;
    }
    std::optional<std::uint64_t> u64(std::uint64_t offset, bool bigEndian = false) const
    {
        return read(offset, 8, bigEndian);
    }
    /// A sub-view of \a length bytes at \a offset, or an empty optional when it does not fit.
    std::optional<Bytes> slice(std::uint64_t offset, std::uint64_t length) const
    {
        if (!has(offset, length))
            return std::nullopt;
        return Bytes(data_ + offset, static_cast<std::size_t>(length));
    }

private:
    const std::uint8_t *data_;
    std::uint64_t size_;
};

std::uint32_t le32(const std::uint8_t *p)
{
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr std::size_t kFixedFileInfoSize = 52;

// ---- PE ----

constexpr std::uint64_t kPeSectionHeaderSize = 40;
constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kResourceSubdirectoryFlag = 0x80000000u;
constexpr std::uint32_t kResourceNameIsStringFlag = 0x80000000u;

struct PeSection {
    std::uint32_t virtualAddress;
    std::uint32_t virtualSize;
    std::uint32_t rawSize;
    std::uint32_t rawOffset;
};

/// The file bytes behind \a rva up to the end of the raw data of its section.
std::optional<Bytes> mapRva(const Bytes &file, const std::vector<PeSection> &sections,
                            std::uint32_t rva)
{
    for (const auto &s : sections) {
        const std::uint64_t extent = s.virtualSize ? s.virtualSize : s.rawSize;
        if (rva < s.virtualAddress || rva - std::uint64_t{s.virtualAddress} >= extent)
            continue;
        const std::uint64_t delta = rva - std::uint64_t{s.virtualAddress};
        if (delta >= s.rawSize)
            return std::nullopt; // in the zero-filled tail: no bytes in the file
        const std::uint64_t offset = std::uint64_t{s.rawOffset} + delta;
        if (offset >= file.size())
            return std::nullopt;
        const std::uint64_t available = std::min<std::uint64_t>(s.rawSize - delta,
                                                                file.size() - offset);
        return file.slice(offset, available);
    }
    return std::nullopt;
}

/// One entry of a resource directory inside the resource section \a rsrc.
struct ResourceEntry {
    std::uint32_t name;
    std::uint32_t offsetToData;
};

/// The entries of the resource directory at \a offset, with their count checked against the
/// bytes that are there.
std::optional<std::vector<ResourceEntry>> resourceEntries(const Bytes &rsrc, std::uint64_t offset)
{
    auto named = rsrc.u16(offset + 12);
    auto ids = rsrc.u16(offset + 14);
    if (!named || !ids)
        return std::nullopt;
    const std::uint64_t count = std::uint64_t{*named} + *ids;
    if (!rsrc.has(offset + 16, count * 8))
        return std::nullopt;
    std::vector<ResourceEntry> entries;
    entries.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t at = offset + 16 + i * 8;
        entries.push_back({*rsrc.u32(at), *rsrc.u32(at + 4)});
    }
    return entries;
}

/// Offset of the subdirectory an entry points to, when it points to one.
std::optional<std::uint64_t> subdirectory(const ResourceEntry &entry)
{
    if (!(entry.offsetToData & kResourceSubdirectoryFlag))
        return std::nullopt;
    return entry.offsetToData & ~kResourceSubdirectoryFlag;
}

/// The VS_VERSIONINFO block: wLength, wValueLength, wType, L"VS_VERSION_INFO", padding to a
/// 32-bit boundary, then the VS_FIXEDFILEINFO value.
std::optional<FileVersion> parseVersionInfo(const Bytes &block)
{
    static constexpr char kKey[] = "VS_VERSION_INFO";
    constexpr std::uint64_t keyOffset = 6;
    constexpr std::uint64_t keyBytes = sizeof kKey * 2; // UTF-16 with its terminator
    auto length = block.u16(0);
    auto valueLength = block.u16(2);
    if (!length || !valueLength || *length > block.size() || *length < keyOffset + keyBytes)
        return std::nullopt;
    for (std::uint64_t i = 0; i < sizeof kKey; ++i) {
        if (*block.u16(keyOffset + 2 * i) != static_cast<unsigned char>(kKey[i]))
            return std::nullopt;
    }
    const std::uint64_t valueOffset = (keyOffset + keyBytes + 3) & ~std::uint64_t{3};
    if (*valueLength < kFixedFileInfoSize || valueOffset + *valueLength > *length)
        return std::nullopt;
    return detail::parseFixedFileInfo(block.at(valueOffset), *valueLength);
}

// ---- ELF ----

constexpr std::uint32_t kShtNote = 7;
constexpr std::uint32_t kPtNote = 4;
constexpr std::uint32_t kTbxVersionNoteType = 1;
constexpr char kTbxVersionNoteName[] = "TBXVERSION"; // 11 bytes with its terminator

/// Looks for the TBXVERSION note among the notes in \a notes.
std::optional<FileVersion> scanNotes(const Bytes &notes, bool bigEndian, std::uint64_t align)
{
    const auto pad = [align](std::uint64_t n) { return (n + align - 1) & ~(align - 1); };
    std::uint64_t at = 0;
    while (notes.has(at, 12)) {
        const std::uint64_t nameSize = *notes.u32(at, bigEndian);
        const std::uint64_t descSize = *notes.u32(at + 4, bigEndian);
        const std::uint32_t type = *notes.u32(at + 8, bigEndian);
        const std::uint64_t nameAt = at + 12;
        if (!notes.has(nameAt, pad(nameSize)))
            return std::nullopt;
        const std::uint64_t descAt = nameAt + pad(nameSize);
        if (!notes.has(descAt, descSize))
            return std::nullopt;
        if (type == kTbxVersionNoteType && nameSize == sizeof kTbxVersionNoteName &&
            std::memcmp(notes.at(nameAt), kTbxVersionNoteName, sizeof kTbxVersionNoteName) == 0)
            return detail::parseFixedFileInfo(notes.at(descAt), static_cast<std::size_t>(descSize));
        if (!notes.has(descAt, pad(descSize)))
            return std::nullopt;
        at = descAt + pad(descSize);
    }
    return std::nullopt;
}

struct ElfLayout {
    bool is64;
    bool bigEndian;
    std::uint64_t word(const Bytes &b, std::uint64_t offset, bool &ok) const
    {
        auto v = b.read(offset, is64 ? 8 : 4, bigEndian);
        ok = ok && v.has_value();
        return v.value_or(0);
    }
    std::uint64_t half(const Bytes &b, std::uint64_t offset, bool &ok) const
    {
        auto v = b.read(offset, 2, bigEndian);
        ok = ok && v.has_value();
        return v.value_or(0);
    }
    std::uint64_t u32(const Bytes &b, std::uint64_t offset, bool &ok) const
    {
        auto v = b.read(offset, 4, bigEndian);
        ok = ok && v.has_value();
        return v.value_or(0);
    }
};

/// A range of notes found through a section or program header.
struct NoteRange {
    std::uint64_t offset;
    std::uint64_t size;
    std::uint64_t align;
};

/// Where a section or program header keeps the fields the note search needs.
struct NoteHeaderFields {
    std::uint64_t type, offset, size, align;
    std::uint32_t noteType;
};

/// The note ranges listed in a header table of \a count entries of \a entrySize bytes.
std::vector<NoteRange> noteRanges(const Bytes &file, const ElfLayout &elf, std::uint64_t tableAt,
                                  std::uint64_t entrySize, std::uint64_t count,
                                  const NoteHeaderFields &f)
{
    if (tableAt == 0 || entrySize == 0 || count > file.size() / entrySize ||
        !file.has(tableAt, count * entrySize))
        return {};
    std::vector<NoteRange> ranges;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t h = tableAt + i * entrySize;
        bool ok = true;
        if (elf.u32(file, h + f.type, ok) != f.noteType)
            continue;
        const std::uint64_t offset = elf.word(file, h + f.offset, ok);
        const std::uint64_t size = elf.word(file, h + f.size, ok);
        const std::uint64_t align = elf.word(file, h + f.align, ok);
        if (ok)
            ranges.push_back({offset, size, align});
    }
    return ranges;
}

std::vector<NoteRange> elfNoteSections(const Bytes &file, const ElfLayout &elf)
{
    bool ok = true;
    const std::uint64_t shoff = elf.word(file, elf.is64 ? 0x28 : 0x20, ok);
    const std::uint64_t shentsize = elf.half(file, elf.is64 ? 0x3A : 0x2E, ok);
    std::uint64_t shnum = elf.half(file, elf.is64 ? 0x3C : 0x30, ok);
    if (!ok || shoff == 0 || shentsize < (elf.is64 ? 64u : 40u))
        return {};
    if (shnum == 0) // 0xff00 sections or more: the count is in the first header's sh_size
        shnum = elf.word(file, shoff + (elf.is64 ? 32 : 20), ok);
    if (!ok)
        return {};
    return noteRanges(file, elf, shoff, shentsize, shnum,
                      elf.is64 ? NoteHeaderFields{4, 24, 32, 48, kShtNote}
                               : NoteHeaderFields{4, 16, 20, 32, kShtNote});
}

std::vector<NoteRange> elfNoteSegments(const Bytes &file, const ElfLayout &elf)
{
    bool ok = true;
    const std::uint64_t phoff = elf.word(file, elf.is64 ? 0x20 : 0x1C, ok);
    const std::uint64_t phentsize = elf.half(file, elf.is64 ? 0x36 : 0x2A, ok);
    const std::uint64_t phnum = elf.half(file, elf.is64 ? 0x38 : 0x2C, ok);
    if (!ok || phentsize < (elf.is64 ? 56u : 32u))
        return {};
    return noteRanges(file, elf, phoff, phentsize, phnum,
                      elf.is64 ? NoteHeaderFields{0, 8, 32, 48, kPtNote}
                               : NoteHeaderFields{0, 4, 16, 28, kPtNote});
}

std::optional<FileVersion> scanNoteRanges(const Bytes &file, const ElfLayout &elf,
                                          const std::vector<NoteRange> &ranges)
{
    for (const auto &r : ranges) {
        auto notes = file.slice(r.offset, r.size);
        if (!notes)
            continue;
        if (auto v = scanNotes(*notes, elf.bigEndian, r.align == 8 ? 8 : 4))
            return v;
    }
    return std::nullopt;
}

} // namespace

namespace detail {

std::optional<FileVersion> parseFixedFileInfo(const std::uint8_t *data, std::size_t size)
{
    if (!data || size < kFixedFileInfoSize || le32(data) != kFixedFileInfoSignature)
        return std::nullopt;
    const std::uint32_t ms = le32(data + 8);
    const std::uint32_t ls = le32(data + 12);
    return FileVersion{static_cast<std::uint16_t>(ms >> 16), static_cast<std::uint16_t>(ms),
                       static_cast<std::uint16_t>(ls >> 16), static_cast<std::uint16_t>(ls)};
}

} // namespace detail

std::optional<FileVersion> peFileVersion(const std::uint8_t *data, std::size_t size)
{
    const Bytes file(data, size);
    if (!file.has(0, 64) || file.at(0)[0] != 'M' || file.at(0)[1] != 'Z')
        return std::nullopt;
    const std::uint64_t pe = *file.u32(0x3C);
    if (!file.has(pe, 24) || std::memcmp(file.at(pe), "PE\0\0", 4) != 0)
        return std::nullopt;
    const std::uint16_t sectionCount = *file.u16(pe + 6);
    const std::uint16_t optionalSize = *file.u16(pe + 20);
    const std::uint64_t optional = pe + 24;
    auto magic = file.u16(optional);
    if (!magic || !file.has(optional, optionalSize))
        return std::nullopt;
    std::uint64_t dirCountAt = 0;
    if (*magic == 0x10B)
        dirCountAt = 92; // PE32
    else if (*magic == 0x20B)
        dirCountAt = 108; // PE32+
    else
        return std::nullopt;
    const std::uint64_t dirsAt = dirCountAt + 4;
    if (optionalSize < dirsAt + 8 * (kResourceDirectoryIndex + 1))
        return std::nullopt;
    if (*file.u32(optional + dirCountAt) <= kResourceDirectoryIndex)
        return std::nullopt;
    const std::uint32_t rsrcRva = *file.u32(optional + dirsAt + 8 * kResourceDirectoryIndex);
    if (rsrcRva == 0)
        return std::nullopt;

    const std::uint64_t sectionTable = optional + optionalSize;
    if (!file.has(sectionTable, sectionCount * kPeSectionHeaderSize))
        return std::nullopt;
    std::vector<PeSection> sections;
    sections.reserve(sectionCount);
    for (std::uint64_t i = 0; i < sectionCount; ++i) {
        const std::uint64_t h = sectionTable + i * kPeSectionHeaderSize;
        sections.push_back({*file.u32(h + 12), *file.u32(h + 8), *file.u32(h + 16),
                            *file.u32(h + 20)});
    }

    // Resource tree: type RT_VERSION -> first name -> first language -> data entry.
    auto rsrc = mapRva(file, sections, rsrcRva);
    if (!rsrc)
        return std::nullopt;
    auto types = resourceEntries(*rsrc, 0);
    if (!types)
        return std::nullopt;
    std::optional<std::uint64_t> namesDir;
    for (const auto &e : *types) {
        if (!(e.name & kResourceNameIsStringFlag) && e.name == kRtVersion) {
            namesDir = subdirectory(e);
            break;
        }
    }
    if (!namesDir)
        return std::nullopt;
    auto names = resourceEntries(*rsrc, *namesDir);
    if (!names || names->empty())
        return std::nullopt;
    auto languagesDir = subdirectory(names->front());
    if (!languagesDir)
        return std::nullopt;
    auto languages = resourceEntries(*rsrc, *languagesDir);
    if (!languages || languages->empty() || subdirectory(languages->front()))
        return std::nullopt;
    const std::uint64_t dataEntry = languages->front().offsetToData;
    auto dataRva = rsrc->u32(dataEntry);
    auto dataSize = rsrc->u32(dataEntry + 4);
    if (!dataRva || !dataSize)
        return std::nullopt;
    auto block = mapRva(file, sections, *dataRva);
    if (!block || block->size() < *dataSize)
        return std::nullopt;
    return parseVersionInfo(*block->slice(0, *dataSize));
}

std::optional<FileVersion> elfFileVersion(const std::uint8_t *data, std::size_t size)
{
    const Bytes file(data, size);
    if (!file.has(0, 16) || std::memcmp(file.at(0), "\x7F" "ELF", 4) != 0)
        return std::nullopt;
    const std::uint8_t elfClass = file.at(0)[4];
    const std::uint8_t encoding = file.at(0)[5];
    if ((elfClass != 1 && elfClass != 2) || (encoding != 1 && encoding != 2))
        return std::nullopt;
    const ElfLayout elf{elfClass == 2, encoding == 2};
    if (!file.has(0, elf.is64 ? 64 : 52))
        return std::nullopt;
    if (auto v = scanNoteRanges(file, elf, elfNoteSections(file, elf)))
        return v;
    return scanNoteRanges(file, elf, elfNoteSegments(file, elf));
}

namespace detail {

std::optional<FileVersion> versionFromImage(const std::uint8_t *data, std::size_t size)
{
    if (size >= 2 && data[0] == 'M' && data[1] == 'Z')
        return peFileVersion(data, size);
    if (size >= 4 && std::memcmp(data, "\x7F" "ELF", 4) == 0)
        return elfFileVersion(data, size);
    return std::nullopt;
}

} // namespace detail

// ---------------------------------------------------------------------------------------------
// Memory below 4 GiB
// ---------------------------------------------------------------------------------------------

LowMemoryBlock::LowMemoryBlock(std::size_t size) : size_(size)
{
    if (sizeof(void *) == 4) {
        data_ = static_cast<std::uint8_t *>(std::malloc(size));
        return;
    }
    data_ = allocateLow(size);
    if (data_ != nullptr && reinterpret_cast<std::uintptr_t>(data_) + size > 0xFFFFFFFFu) {
        releaseLow(data_, size_);
        data_ = nullptr;
    }
}

LowMemoryBlock::~LowMemoryBlock()
{
    if (data_ == nullptr)
        return;
    if (sizeof(void *) == 4)
        std::free(data_);
    else
        releaseLow(data_, size_);
}

bool lowMemoryAvailable()
{
    return LowMemoryBlock(4096).data() != nullptr;
}

} // namespace tbx::platform
