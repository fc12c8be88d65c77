// Texts of the fixed-size character buffers the SDKs fill.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

namespace tbx::drivers {

/// The text of a fixed SDK buffer of \p capacity bytes: up to its first zero byte, or the whole
/// buffer when it holds none (never a byte past \p capacity).
inline std::string boundedText(const char *buffer, std::size_t capacity)
{
    return std::string(buffer, strnlen(buffer, capacity));
}

/// boundedText() of a character array member, sized by its declaration.
template <std::size_t N>
std::string boundedText(const char (&buffer)[N])
{
    return boundedText(buffer, N);
}

} // namespace tbx::drivers
