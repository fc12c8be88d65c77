#include "sdk/LeReader.h"

namespace tbx::sdk {

bool LeReader::take(std::size_t size)
{
    if (!ok_ || size > remaining()) {
        ok_ = false;
        return false;
    }
    return true;
}

std::uint64_t LeReader::unsignedOf(std::size_t size)
{
    if (!take(size))
        return 0;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i)
        value |= std::uint64_t{bytes_[offset_ + i]} << (8 * i);
    offset_ += size;
    return value;
}

void LeReader::skip(std::size_t count)
{
    if (take(count))
        offset_ += count;
}

void LeReader::seek(std::size_t position)
{
    if (position > bytes_.size())
        ok_ = false;
    else if (ok_)
        offset_ = position;
}

std::u16string LeReader::ptpString()
{
    const std::size_t units = u8();
    if (!take(units * 2))
        return {};
    std::u16string text;
    text.reserve(units);
    for (std::size_t i = 0; i < units; ++i)
        text.push_back(static_cast<char16_t>(u16()));
    while (!text.empty() && text.back() == u'\0')
        text.pop_back();
    return text;
}

std::vector<std::uint16_t> LeReader::u16Array()
{
    const std::uint32_t count = u32();
    if (count > remaining() / 2) {
        ok_ = false;
        return {};
    }
    std::vector<std::uint16_t> values;
    values.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i)
        values.push_back(u16());
    return values;
}

} // namespace tbx::sdk
