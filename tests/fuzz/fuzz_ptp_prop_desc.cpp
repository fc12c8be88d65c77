// Fuzz target: a PTP device property description that PR_GetDevicePropDesc returns. What the
// reader accepts is exactly the front of the input: writing it back gives those bytes.
#include "FuzzTarget.h"

#include "platform/Errors.h"
#include "sdk/PtpDatasets.h"

#include <algorithm>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace tbx::sdk;
    PtpPropDesc desc;
    try {
        desc = ReadPtpPropDesc(std::span(data, size));
    } catch (const tbx::ECamException &) {
        return 0;
    }
    const std::size_t valueSize = PtpValueSize(desc.DataType);
    TBX_FUZZ_EXPECT(valueSize != 0);
    TBX_FUZZ_EXPECT(desc.form() == PtpForm::Enumeration || desc.Values.empty());
    TBX_FUZZ_EXPECT(desc.Values.size() * valueSize <= size);
    const auto written = WritePtpPropDesc(desc);
    TBX_FUZZ_EXPECT(written.size() <= size);
    TBX_FUZZ_EXPECT(std::equal(written.begin(), written.end(), data));
    return 0;
}

namespace tbx::fuzz {

std::vector<Seed> seeds()
{
    using namespace tbx::sdk;
    PtpPropDesc list;
    list.PropertyCode = 0xD008;
    list.DataType = kPtpTypeUInt8;
    list.GetSet = 1;
    list.FormFlag = 2;
    list.Values = {0, 1, 2, 3, 7};
    PtpPropDesc range;
    range.PropertyCode = 0xD02A;
    range.DataType = kPtpTypeUInt16;
    range.FormFlag = 1;
    range.Current = 40;
    range.Maximum = 120;
    range.Step = 8;
    PtpPropDesc wide = list;
    wide.DataType = kPtpTypeUInt32;
    wide.Values = {0x40, 0x48, 0x50};
    return {
        {"enumeration-u8", WritePtpPropDesc(list), {{2, 2}, {8, 1}, {9, 2}}},
        {"range-u16", WritePtpPropDesc(range), {{2, 2}, {9, 1}}},
        {"enumeration-u32", WritePtpPropDesc(wide), {{2, 2}, {14, 1}, {15, 2}}},
    };
}

} // namespace tbx::fuzz
