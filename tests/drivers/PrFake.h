// An in-process PRSDK for the PTP driver's own tests: properties with values and descriptions, a
// device-information dataset, results to fail with, and a log of the calls that change the camera.
#pragma once

#include "drivers/prsdk/TPRSDK.h"
#include "platform/Errors.h"
#include "sdk/PtpDatasets.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace tbx::prtest {

using Bytes = std::vector<std::uint8_t>;

inline void put(Bytes &out, std::uint32_t value, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

/// A device-information dataset listing \p operations and \p properties.
inline Bytes deviceInfo(const std::vector<std::uint16_t> &operations, const std::vector<std::uint16_t> &properties)
{
    sdk::PtpDeviceInfo info;
    info.OperationsSupported = operations;
    info.DevicePropertiesSupported = properties;
    return sdk::WritePtpDeviceInfo(info);
}

/// A property description with an enumeration (form 2) or a range (form 1: minimum, maximum,
/// step) of \p values.
inline Bytes propertyDesc(std::uint16_t code, std::size_t size, std::uint32_t current,
                          const std::vector<std::uint32_t> &values, std::uint8_t form = 2)
{
    sdk::PtpPropDesc desc;
    desc.PropertyCode = code;
    desc.DataType = size == 1 ? sdk::kPtpTypeUInt8 : sdk::kPtpTypeUInt16;
    desc.GetSet = 1;
    desc.Current = desc.FactoryDefault = current;
    desc.FormFlag = form;
    if (form == 1) {
        desc.Minimum = values.at(0);
        desc.Maximum = values.at(1);
        desc.Step = values.at(2);
    } else {
        desc.Values.assign(values.begin(), values.end());
    }
    return sdk::WritePtpPropDesc(desc);
}

struct FakeCamera {
    std::map<std::uint16_t, Bytes> values;
    std::map<std::uint16_t, Bytes> descs;
    Bytes info = deviceInfo({0x9008, 0x900B, 0x9014}, {});
    /// Entry point name -> result it returns instead of working.
    std::map<std::string, std::uint32_t> failures;
    /// "name" or "name code=value" for each call that changes the camera or reads a description.
    std::vector<std::string> log;
    std::vector<sdk::PrDeviceInfoTable> devices;
    bool loaded = false;

    void setValue(std::uint16_t code, std::uint32_t value, std::size_t size)
    {
        Bytes bytes;
        put(bytes, value, size);
        values[code] = bytes;
    }
    std::uint32_t fail(const char *name) const
    {
        const auto it = failures.find(name);
        return it == failures.end() ? 0 : it->second;
    }
    static void addDevice(FakeCamera &camera, const std::u16string &model)
    {
        sdk::PrDeviceInfoTable device{};
        std::memcpy(device.ModelName, model.data(), model.size() * 2);
        camera.devices.push_back(device);
    }
    /// One camera, "PowerShot G9", owned by Alice, on a lithium battery in normal state.
    void addG9()
    {
        addDevice(*this, u"PowerShot G9");
        std::uint8_t owner[260] = {6, 0, 0, 0, 'A', 'l', 'i', 'c', 'e'};
        values[0xD033] = Bytes(owner, owner + sizeof owner);
        setValue(0xD002, 2, 2);
        setValue(0xD003, 1, 4);
    }
};

inline FakeCamera *g_camera = nullptr;

/// The fake's entry points, over g_camera.
const prsdk::PrSdk &fakeSdk();

} // namespace tbx::prtest
