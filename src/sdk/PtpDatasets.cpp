#include "sdk/PtpDatasets.h"

#include "platform/Errors.h"
#include "sdk/LeReader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace tbx::sdk {

namespace {

[[noreturn]] void refuse(std::string_view dataset, std::size_t size)
{
    throw ECamException("The camera's " + std::string(dataset) + " (" + std::to_string(size) +
                        " bytes) is shorter than its contents claim");
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

/// One value of \p size bytes.
std::uint64_t value(LeReader &reader, std::size_t size)
{
    switch (size) {
    case 1: return reader.u8();
    case 2: return reader.u16();
    case 4: return reader.u32();
    default: return reader.u64();
    }
}

} // namespace

std::vector<PrDeviceInfoTable> ReadPtpDeviceList(std::span<const std::uint8_t> reply)
{
    LeReader reader(reply);
    const std::uint32_t count = reader.u32();
    if (!reader.ok())
        refuse("device list", reply.size());
    const std::size_t held = reader.remaining() / sizeof(PrDeviceInfoTable);
    const std::size_t taken = std::min<std::size_t>({count, kPtpMaxDevices, held});
    std::vector<PrDeviceInfoTable> devices(taken);
    for (std::size_t i = 0; i < taken; ++i)
        std::memcpy(&devices[i], reply.data() + reader.offset() + i * sizeof(PrDeviceInfoTable),
                    sizeof(PrDeviceInfoTable));
    return devices;
}

std::string PtpModelName(const PrDeviceInfoTable &device)
{
    const std::u16string_view units(device.ModelName, std::size(device.ModelName));
    return PtpTextToUtf8(units.substr(0, std::min(units.find(u'\0'), units.size())));
}

std::string PtpTextToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            appendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit < 0xE000) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

bool PtpDeviceInfo::supportsOperation(std::uint16_t code) const
{
    return std::find(OperationsSupported.begin(), OperationsSupported.end(), code) != OperationsSupported.end();
}

bool PtpDeviceInfo::listsProperty(std::uint16_t code) const
{
    return std::find(DevicePropertiesSupported.begin(), DevicePropertiesSupported.end(), code) !=
           DevicePropertiesSupported.end();
}

PtpDeviceInfo ReadPtpDeviceInfo(std::span<const std::uint8_t> reply)
{
    LeReader reader(reply);
    PtpDeviceInfo info;
    info.StandardVersion = reader.u16();
    info.VendorExtensionID = reader.u32();
    info.VendorExtensionVersion = reader.u16();
    info.VendorExtensionDesc = reader.ptpString();
    info.FunctionalMode = reader.u16();
    info.OperationsSupported = reader.u16Array();
    info.EventsSupported = reader.u16Array();
    info.DevicePropertiesSupported = reader.u16Array();
    info.CaptureFormats = reader.u16Array();
    info.ImageFormats = reader.u16Array();
    info.Manufacturer = reader.ptpString();
    info.Model = reader.ptpString();
    info.DeviceVersion = reader.ptpString();
    info.SerialNumber = reader.ptpString();
    if (!reader.ok())
        refuse("device information", reply.size());
    return info;
}

std::size_t PtpValueSize(std::uint16_t dataType)
{
    switch (dataType) {
    case kPtpTypeInt8:
    case kPtpTypeUInt8: return 1;
    case kPtpTypeInt16:
    case kPtpTypeUInt16: return 2;
    case kPtpTypeInt32:
    case kPtpTypeUInt32: return 4;
    case kPtpTypeInt64:
    case kPtpTypeUInt64: return 8;
    default: return 0;
    }
}

PtpForm PtpPropDesc::form() const
{
    switch (FormFlag) {
    case 1: return PtpForm::Range;
    case 2: return PtpForm::Enumeration;
    default: return PtpForm::None;
    }
}

bool PtpPropDesc::allows(std::uint64_t candidate) const
{
    switch (form()) {
    case PtpForm::Range:
        return candidate >= Minimum && candidate <= Maximum && (Step == 0 || (candidate - Minimum) % Step == 0);
    case PtpForm::Enumeration: return std::find(Values.begin(), Values.end(), candidate) != Values.end();
    default: return true;
    }
}

PtpPropDesc ReadPtpPropDesc(std::span<const std::uint8_t> reply)
{
    LeReader reader(reply);
    PtpPropDesc desc;
    desc.PropertyCode = reader.u16();
    desc.DataType = reader.u16();
    desc.GetSet = reader.u8();
    if (!reader.ok())
        refuse("property description", reply.size());
    const std::size_t size = PtpValueSize(desc.DataType);
    if (size == 0) {
        char code[8];
        std::snprintf(code, sizeof code, "%04X", desc.PropertyCode);
        throw ECamException("The camera's property description of 0x" + std::string(code) +
                            " has a data type the system cannot read");
    }
    desc.FactoryDefault = value(reader, size);
    desc.Current = value(reader, size);
    desc.FormFlag = reader.u8();
    if (desc.form() == PtpForm::Range) {
        desc.Minimum = value(reader, size);
        desc.Maximum = value(reader, size);
        desc.Step = value(reader, size);
    } else if (desc.form() == PtpForm::Enumeration) {
        const std::uint16_t count = reader.u16();
        if (reader.ok() && count > reader.remaining() / size)
            refuse("property description", reply.size());
        desc.Values.reserve(count);
        for (std::uint16_t i = 0; i < count; ++i)
            desc.Values.push_back(value(reader, size));
    }
    if (!reader.ok())
        refuse("property description", reply.size());
    return desc;
}

namespace {

void put(std::vector<std::uint8_t> &out, std::uint64_t v, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void putString(std::vector<std::uint8_t> &out, const std::u16string &text)
{
    if (text.empty()) {
        put(out, 0, 1);
        return;
    }
    const std::size_t units = std::min<std::size_t>(text.size(), 254);
    put(out, units + 1, 1);
    for (std::size_t i = 0; i < units; ++i)
        put(out, text[i], 2);
    put(out, 0, 2);
}

void putArray(std::vector<std::uint8_t> &out, const std::vector<std::uint16_t> &values)
{
    put(out, values.size(), 4);
    for (std::uint16_t v : values)
        put(out, v, 2);
}

} // namespace

std::vector<std::uint8_t> WritePtpDeviceInfo(const PtpDeviceInfo &info)
{
    std::vector<std::uint8_t> out;
    put(out, info.StandardVersion, 2);
    put(out, info.VendorExtensionID, 4);
    put(out, info.VendorExtensionVersion, 2);
    putString(out, info.VendorExtensionDesc);
    put(out, info.FunctionalMode, 2);
    for (const auto *array : {&info.OperationsSupported, &info.EventsSupported, &info.DevicePropertiesSupported,
                              &info.CaptureFormats, &info.ImageFormats})
        putArray(out, *array);
    for (const auto *text : {&info.Manufacturer, &info.Model, &info.DeviceVersion, &info.SerialNumber})
        putString(out, *text);
    return out;
}

std::vector<std::uint8_t> WritePtpPropDesc(const PtpPropDesc &desc)
{
    const std::size_t size = PtpValueSize(desc.DataType);
    std::vector<std::uint8_t> out;
    put(out, desc.PropertyCode, 2);
    put(out, desc.DataType, 2);
    put(out, desc.GetSet, 1);
    put(out, desc.FactoryDefault, size);
    put(out, desc.Current, size);
    put(out, desc.FormFlag, 1);
    if (desc.form() == PtpForm::Range) {
        put(out, desc.Minimum, size);
        put(out, desc.Maximum, size);
        put(out, desc.Step, size);
    } else if (desc.form() == PtpForm::Enumeration) {
        put(out, desc.Values.size(), 2);
        for (std::uint64_t v : desc.Values)
            put(out, v, size);
    }
    return out;
}

} // namespace tbx::sdk
