// Fuzz target: the PTP device information dataset that PR_GetDeviceInfo returns. What the reader
// accepts it reads within the input, and what it reads survives writing and reading again.
#include "FuzzTarget.h"

#include "platform/Errors.h"
#include "sdk/PtpDatasets.h"

#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace tbx::sdk;
    PtpDeviceInfo info;
    try {
        info = ReadPtpDeviceInfo(std::span(data, size));
    } catch (const tbx::ECamException &) {
        return 0;
    }
    std::size_t held = 2 + 4 + 2 + 2 + 5 * 4 + 5; // fixed fields, array counts, string counts
    for (const auto *array : {&info.OperationsSupported, &info.EventsSupported, &info.DevicePropertiesSupported,
                              &info.CaptureFormats, &info.ImageFormats})
        held += 2 * array->size();
    for (const auto *text :
         {&info.VendorExtensionDesc, &info.Manufacturer, &info.Model, &info.DeviceVersion, &info.SerialNumber}) {
        TBX_FUZZ_EXPECT(text->size() <= 255);
        held += 2 * text->size();
    }
    TBX_FUZZ_EXPECT(held <= size);
    // A text of 255 units has no room left for its terminator and is written one unit shorter.
    const auto written = WritePtpDeviceInfo(info);
    const PtpDeviceInfo again = ReadPtpDeviceInfo(written);
    TBX_FUZZ_EXPECT(again.OperationsSupported == info.OperationsSupported);
    TBX_FUZZ_EXPECT(again.DevicePropertiesSupported == info.DevicePropertiesSupported);
    TBX_FUZZ_EXPECT(again.ImageFormats == info.ImageFormats);
    TBX_FUZZ_EXPECT(again.FunctionalMode == info.FunctionalMode);
    TBX_FUZZ_EXPECT(again.SerialNumber.size() == info.SerialNumber.size() ||
                    (info.SerialNumber.size() == 255 && again.SerialNumber.size() == 254));
    return 0;
}

namespace tbx::fuzz {

std::vector<Seed> seeds()
{
    using namespace tbx::sdk;
    PtpDeviceInfo info;
    info.StandardVersion = 100;
    info.VendorExtensionID = 11;
    info.VendorExtensionVersion = 100;
    info.VendorExtensionDesc = u"Canon";
    info.OperationsSupported = {0x1001, 0x1002, 0x9008, 0x900B, 0x9014};
    info.EventsSupported = {0x4006, 0xC008, 0xC009};
    info.DevicePropertiesSupported = {0xD006, 0xD008, 0xD02A, 0xD033};
    info.ImageFormats = {0x3801};
    info.Manufacturer = u"Canon Inc.";
    info.Model = u"PowerShot G9";
    info.DeviceVersion = u"1-0.0";
    info.SerialNumber = u"0123";
    Bytes full = WritePtpDeviceInfo(info);
    const std::size_t operations = 2 + 4 + 2 + 1 + 2 * 6 + 2;
    std::vector<Seed> out = {{"device-info", full, {{operations, 4}, {8, 1}}}};
    info = PtpDeviceInfo{};
    out.push_back({"empty-lists", WritePtpDeviceInfo(info), {{11, 4}, {15, 4}}});
    return out;
}

} // namespace tbx::fuzz
