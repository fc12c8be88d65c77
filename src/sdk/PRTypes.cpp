#include "sdk/PRTypes.h"

#include "sdk/LeReader.h"

#include <algorithm>
#include <cstring>

namespace tbx::sdk {

std::optional<PtpEventRecord> PtpEventRecord::fromContainer(const void *data)
{
    if (data == nullptr)
        return std::nullopt;
    // Only the length field is read before the length is known.
    const std::uint32_t length = LeReader(data, sizeof(std::uint32_t)).u32();
    if (length < kHeaderSize)
        return std::nullopt;
    PtpEventRecord record;
    std::memcpy(record.Bytes.data(), data, std::min<std::size_t>(length, kSize));
    return record;
}

std::uint16_t PtpEventRecord::eventCode() const
{
    LeReader reader(Bytes);
    reader.seek(kCodeOffset);
    return reader.u16();
}

std::uint32_t PtpEventRecord::u32(std::size_t offset) const
{
    LeReader reader(Bytes);
    reader.seek(offset);
    return reader.u32();
}

} // namespace tbx::sdk
