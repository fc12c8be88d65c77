// Fuzz target: the event container the PTP SDK hands to the engine's event callback. The SDK
// passes only a pointer; the container says how long it is in its first word, so the target
// hands over exactly the input and only inputs that hold as many bytes as their length says.
#include "FuzzTarget.h"

#include "engine/CamDriver.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using tbx::PtpEventRecord;
    const auto le = tbx::fuzz::readLe;
    if (size < 4 || le(data, 4) > size)
        return 0; // not a container the SDK could hand over
    const std::uint32_t length = le(data, 4);
    const auto record = PtpEventRecord::fromContainer(data);
    TBX_FUZZ_EXPECT(record.has_value() == (length >= PtpEventRecord::kHeaderSize));
    if (!record)
        return 0;
    // The record is the container's first bytes, as far as it keeps them, then zeros.
    const std::size_t kept = std::min<std::size_t>(length, PtpEventRecord::kSize);
    TBX_FUZZ_EXPECT(std::equal(data, data + kept, record->Bytes.begin()));
    TBX_FUZZ_EXPECT(std::all_of(record->Bytes.begin() + static_cast<std::ptrdiff_t>(kept), record->Bytes.end(),
                                [](std::uint8_t b) { return b == 0; }));
    TBX_FUZZ_EXPECT(record->length() == length);
    TBX_FUZZ_EXPECT(record->eventCode() == le(data + PtpEventRecord::kCodeOffset, 2));
    // A field the container cuts short reads as its kept bytes and zeros.
    std::uint8_t padded[PtpEventRecord::kSize + 4] = {};
    std::copy(data, data + kept, padded);
    const auto field = [&](std::size_t offset) { return le(padded + offset, 4); };
    TBX_FUZZ_EXPECT(record->objectHandle() == field(PtpEventRecord::kObjectOffset));
    TBX_FUZZ_EXPECT(record->parameter() == field(PtpEventRecord::kParameterOffset));
    return 0;
}

namespace tbx::fuzz {

std::vector<Seed> seeds()
{
    // Event containers: length, type 4 (event), code, transaction id, then up to three
    // parameters.
    const auto container = [](std::uint16_t code, std::vector<std::uint32_t> params) {
        Bytes b;
        appendLe(b, 12 + 4 * params.size(), 4);
        appendLe(b, 4, 2);
        appendLe(b, code, 2);
        appendLe(b, 0x11, 4);
        for (std::uint32_t p : params)
            appendLe(b, p, 4);
        return b;
    };
    std::vector<Seed> out = {
        {"full-image-ready", container(0xC008, {0x00010023}), {}},
        {"battery", container(0xC00D, {2}), {}},
        {"prop-changed", container(0x4006, {0xD001, 7, 9}), {}},
        {"shutdown", container(0xC003, {}), {}},
    };
    // A container longer than the record keeps, padded the way the SDK's buffer is.
    Bytes large = container(0xC009, {0x00010024, 1, 2});
    large.resize(600, 0);
    putLe(large, 0, large.size(), 4);
    out.push_back({"larger-than-record", large, {}});
    for (Seed &s : out)
        s.fields = {{0, 4}, {6, 2}};
    return out;
}

} // namespace tbx::fuzz
