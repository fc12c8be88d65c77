// One bounds-checked little-endian reader for the datasets the camera SDKs hand over raw (PTP
// event containers, device information, property descriptions). Every read checks the bytes
// left first; a read past the end yields zero and marks the reader failed, so a parser reads on
// and checks ok() once at the end instead of after every field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tbx::sdk {

class LeReader {
public:
    explicit LeReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    LeReader(const void *data, std::size_t size) : bytes_(static_cast<const std::uint8_t *>(data), size) {}

    /// False once any read went past the end (or a count did not fit the bytes left).
    bool ok() const { return ok_; }
    std::size_t offset() const { return offset_; }
    std::size_t remaining() const { return bytes_.size() - offset_; }

    std::uint8_t u8() { return static_cast<std::uint8_t>(unsignedOf(1)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(unsignedOf(2)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(unsignedOf(4)); }
    std::uint64_t u64() { return unsignedOf(8); }
    /// Moves on by \p count bytes (fails, and stays put, when fewer are left).
    void skip(std::size_t count);
    /// Moves to \p position from the start (fails when it lies past the end).
    void seek(std::size_t position);

    /// A PTP string: a u8 count of UTF-16 code units, the terminating zero included, then the
    /// units. Returned as UTF-16 without the terminator.
    std::u16string ptpString();
    /// A PTP array of u16: a u32 count, then the elements. A count larger than the bytes left
    /// allow fails before anything is allocated.
    std::vector<std::uint16_t> u16Array();

private:
    std::uint64_t unsignedOf(std::size_t size);
    bool take(std::size_t size);

    std::span<const std::uint8_t> bytes_;
    std::size_t offset_ = 0;
    bool ok_ = true;
};

} // namespace tbx::sdk
