// TPRSDK: readers of the datasets PRSDK.DLL hands over raw. Every count is checked against the
// bytes the reply really holds before anything is read or allocated.
#include "drivers/prsdk/TPRSDK.h"

#include "platform/Errors.h"
#include "sdk/LeReader.h"

#include <algorithm>
#include <cstring>

namespace tbx::prsdk {

namespace {

constexpr std::size_t kMaxDevices = 100;

std::uint32_t readValue(sdk::LeReader &reader, std::size_t size)
{
    switch (size) {
    case 1: return reader.u8();
    case 2: return reader.u16();
    default: return reader.u32();
    }
}

} // namespace

std::vector<sdk::PrDeviceInfoTable> readDeviceList(std::span<const std::uint8_t> reply)
{
    sdk::LeReader reader(reply);
    const std::uint32_t count = reader.u32();
    if (!reader.ok())
        throw ECamException("The camera list of PRSDK.DLL is shorter than its count of cameras");
    const std::size_t fit = reader.remaining() / sizeof(sdk::PrDeviceInfoTable);
    std::vector<sdk::PrDeviceInfoTable> devices(std::min<std::size_t>({count, kMaxDevices, fit}));
    for (sdk::PrDeviceInfoTable &device : devices) {
        std::memcpy(&device, reply.data() + reader.offset(), sizeof device);
        reader.skip(sizeof device);
    }
    return devices;
}

PrDeviceInfo readDeviceInfo(std::span<const std::uint8_t> dataset)
{
    sdk::LeReader reader(dataset);
    reader.u16(); // standard version
    reader.u32(); // vendor extension id
    reader.u16(); // vendor extension version
    reader.ptpString();
    reader.u16(); // functional mode
    PrDeviceInfo info;
    info.operations = reader.u16Array();
    reader.u16Array(); // events
    info.properties = reader.u16Array();
    reader.u16Array(); // capture formats
    reader.u16Array(); // image formats
    for (int i = 0; i < 4; ++i)
        reader.ptpString(); // manufacturer, model, device version, serial number
    if (!reader.ok())
        throw ECamException("The device information of the camera does not fit the size PRSDK.DLL reported");
    return info;
}

PrPropertyDesc readPropertyDesc(std::span<const std::uint8_t> dataset, std::size_t valueSize)
{
    sdk::LeReader reader(dataset);
    reader.u16();                 // property code
    reader.u16();                 // data type
    reader.u8();                  // get/set
    readValue(reader, valueSize); // factory default
    PrPropertyDesc desc;
    desc.current = readValue(reader, valueSize);
    desc.form = reader.u8();
    if (desc.form == PrPropertyDesc::kFormEnumeration) {
        const std::uint16_t count = reader.u16();
        if (reader.ok() && count > reader.remaining() / valueSize)
            throw ECamException("A property description of the camera lists more values than it holds");
        desc.values.reserve(count);
        for (std::uint16_t i = 0; i < count && reader.ok(); ++i)
            desc.values.push_back(readValue(reader, valueSize));
    } else if (desc.form == PrPropertyDesc::kFormRange) {
        desc.minimum = readValue(reader, valueSize);
        desc.maximum = readValue(reader, valueSize);
        desc.step = readValue(reader, valueSize);
    }
    if (!reader.ok())
        throw ECamException("A property description of the camera does not fit the size PRSDK.DLL reported");
    return desc;
}

} // namespace tbx::prsdk
