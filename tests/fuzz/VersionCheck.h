// What the two file-version targets check about every version the readers accept.
#pragma once

#include "FuzzTarget.h"
#include "platform/Platform.h"

#include <optional>

namespace tbx::fuzz {

/// A version that a reader accepted must come from a VS_FIXEDFILEINFO inside the input: its
/// signature 0xFEEF04BD, then 4 bytes, then the version words, all little-endian. A reader that
/// took its answer from anywhere else (a stale buffer, memory past the input) fails here.
inline void expectVersionFromInput(const std::uint8_t *data, std::size_t size,
                                   const std::optional<platform::FileVersion> &version)
{
    if (!version)
        return;
    const auto le32 = [data](std::size_t at) { return readLe(data + at, 4); };
    const std::uint32_t ms = std::uint32_t{version->major} << 16 | version->minor;
    const std::uint32_t ls = std::uint32_t{version->release} << 16 | version->build;
    for (std::size_t at = 0; at + 16 <= size; ++at) {
        if (le32(at) == 0xFEEF04BDu && le32(at + 8) == ms && le32(at + 12) == ls)
            return;
    }
    fail("the version read is not a VS_FIXEDFILEINFO of the input", __FILE__, __LINE__);
}

} // namespace tbx::fuzz
