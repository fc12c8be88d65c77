// The legacy stand-in's SDK lifetime, devices and sources, camera events, device properties,
// the value enumerations every setting shares, and its control API.
#include <cstring>

#include "CdCall.h"
#include "ControlExports.h"
#include "platform/VersionNote.h"

TBX_ELF_VERSION_NOTE(7, 3, 0, 6);

using namespace tbx::sim;
using namespace tbx::sim::cd;

namespace tbx::sim::cd {

SourceObject *readySource(CdHSource hSource, CdError &error)
{
    auto *source = library().as<SourceObject>(hSource, Kind::Source);
    error = library().ready(source);
    return error == kOk ? source : nullptr;
}

CdError nextValue(CdHEnum hEnum, std::uint32_t &out)
{
    EnumObject *e = library().enumeration(hEnum);
    if (e == nullptr)
        return kInvalidHandle;
    if (e->next >= e->values.size())
        return kEnumEnd;
    out = e->values[e->next++];
    return kOk;
}

CdError enumCount(const char *name, CdHEnum hEnum, Kind kind, CdUInt32 *pCount)
{
    Call call(name);
    call.handle(hEnum).ptr(pCount);
    return call.run([&]() -> CdError {
        auto *e = library().as<EnumObject>(hEnum, kind);
        if (e == nullptr)
            return kInvalidHandle;
        if (pCount == nullptr)
            return kInvalidPointer;
        *pCount = static_cast<CdUInt32>(kind == Kind::DeviceEnum ? e->cameras.size() : e->values.size());
        return kOk;
    });
}

CdError enumNext(const char *name, CdHEnum hEnum, Kind kind, CdUInt32 *pOut)
{
    Call call(name);
    call.handle(hEnum).ptr(pOut);
    return call.run([&]() -> CdError {
        if (library().as<EnumObject>(hEnum, kind) == nullptr)
            return kInvalidHandle;
        if (pOut == nullptr)
            return kInvalidPointer;
        return nextValue(hEnum, *pOut);
    });
}

CdError enumRelease(const char *name, CdHEnum hEnum, Kind kind)
{
    Call call(name);
    call.handle(hEnum);
    return call.run([&]() -> CdError {
        auto *e = library().as<EnumObject>(hEnum, kind);
        if (e == nullptr)
            return kInvalidHandle;
        library().free(e);
        return kOk;
    });
}

CdError startValues(CdHSource hSource, std::vector<std::uint32_t> values, std::uint32_t elementSize, CdHEnum *phEnum)
{
    CdError error = kOk;
    SourceObject *source = readySource(hSource, error);
    if (source == nullptr)
        return error;
    if (phEnum == nullptr)
        return kInvalidPointer;
    if (library().setting(*source->camera, settingKey(kEnumerations), 1) == 0)
        return kNotSupported;
    auto *e = library().adopt(new EnumObject(Kind::ValueEnum));
    e->values = std::move(values);
    e->elementSize = elementSize;
    *phEnum = e->handle;
    return kOk;
}

} // namespace tbx::sim::cd

namespace {

/// The text of a device record field, cut to fit with its terminator.
template <std::size_t N>
void copyText(char (&field)[N], const std::string &text)
{
    const std::size_t length = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), length);
    field[length] = 0;
}

void fillSource(CdSourceInfo &info, const Camera &camera)
{
    std::memset(&info, 0, sizeof info);
    info.SurceType = 2;
    copyText(info.Name, camera.description);
    copyText(info.NameInOS, camera.description);
    info.PortType = 3; // STI
    info.DataType = 1;
    for (std::size_t i = 0; i < camera.portName.size() && i + 1 < std::size(info.DeviceInternalName); ++i)
        info.DeviceInternalName[i] = static_cast<char16_t>(static_cast<unsigned char>(camera.portName[i]));
}

std::string portOf(const CdSourceInfo &info)
{
    std::string port;
    for (char16_t c : info.DeviceInternalName) {
        if (c == 0)
            break;
        port += static_cast<char>(c);
    }
    return port;
}

/// The battery word of the legacy cameras: the kind in the top four bits, the level in the low
/// four. A scenario's percentage (or "AC") is turned into one; any other value is a word already.
CdUInt32 batteryWord(std::uint32_t value)
{
    if (value == 0xFFFFFFFFu)
        return 0x10000006; // AC adapter, normal
    if (value > 100)
        return value;
    const CdUInt32 level = value >= 50 ? 6 : value >= 20 ? 4 : value > 0 ? 3 : 2;
    return 0x20000000 | level; // lithium
}

/// The value of a device property as the library hands it over.
std::optional<std::vector<std::uint8_t>> devicePropertyBytes(const Camera &camera, CdDevicePropertyID id)
{
    if ((id & (kSettingKey | kRelCamKey)) != 0)
        return std::nullopt;
    if (id == kPropTime) {
        const auto seconds = static_cast<CdUInt32>(camera.now());
        std::vector<std::uint8_t> bytes(4);
        std::memcpy(bytes.data(), &seconds, 4);
        return bytes;
    }
    auto it = camera.properties.find(id);
    if (it == camera.properties.end())
        return std::nullopt;
    if (it->second.text) {
        std::string text = it->second.asText();
        std::vector<std::uint8_t> bytes(text.begin(), text.end());
        bytes.push_back(0);
        return bytes;
    }
    std::uint32_t value = it->second.asU32();
    if (id == kPropBattery)
        value = batteryWord(value);
    std::vector<std::uint8_t> bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

} // namespace

// -------------------------------------------------------------------------------------------------
// SDK lifetime
// -------------------------------------------------------------------------------------------------

CDAPI CDStartSDK(CdVersionInfo *pVersion, CdUInt32 Option)
{
    Call call("CDStartSDK");
    call.args().ptr(pVersion, "version").hex(Option);
    return call.run([&]() -> CdError {
        if (pVersion == nullptr)
            return kInvalidPointer;
        if (pVersion->Size != sizeof(CdVersionInfo) || pVersion->MajorVersion != 7)
            return kComponent | 0x06; // incompatible version
        CdLibrary &lib = library();
        if (!lib.started) {
            lib.started = true;
            lib.pump().start(lib.delivery());
        }
        return kOk;
    });
}

CDAPI CDFinishSDK()
{
    CdLibrary &lib = library();
    // The event thread may wait for the lock to deliver: stop it before taking the lock.
    if (!lib.pump().onWorker()) {
        lib.pump().stop();
        lib.stopTicker();
    }
    Call call("CDFinishSDK");
    return call.run([&lib]() -> CdError {
        lib.pump().stop();
        lib.freeAll();
        lib.started = false;
        return kOk;
    });
}

CDAPI CDGetSDKVersion(CdVersionInfo *pVersion)
{
    Call call("CDGetSDKVersion");
    call.ptr(pVersion);
    return call.run([&]() -> CdError {
        if (pVersion == nullptr)
            return kInvalidPointer;
        *pVersion = CdVersionInfo{sizeof(CdVersionInfo), 7, 3, 0, "7.3.0.6"};
        return kOk;
    });
}

// -------------------------------------------------------------------------------------------------
// Devices and sources
// -------------------------------------------------------------------------------------------------

CDAPI CDEnumDeviceReset(CdUInt32 DeviceKind, CdHEnum *phEnum)
{
    Call call("CDEnumDeviceReset");
    call.args().dec(DeviceKind).ptr(phEnum);
    return call.run([&]() -> CdError {
        if (phEnum == nullptr)
            return kInvalidPointer;
        CdLibrary &lib = library();
        auto *e = lib.adopt(new EnumObject(Kind::DeviceEnum));
        for (const auto &camera : lib.cameras())
            if (camera->attached)
                e->cameras.push_back(camera);
        e->elementSize = sizeof(CdSourceInfo);
        *phEnum = e->handle;
        return kOk;
    });
}

CDAPI CDGetDeviceCount(CdHEnum hEnum, CdUInt32 *pCount)
{
    return enumCount("CDGetDeviceCount", hEnum, Kind::DeviceEnum, pCount);
}

CDAPI CDEnumDeviceNext(CdHEnum hEnum, CdSourceInfo *pSourceInfo)
{
    Call call("CDEnumDeviceNext");
    call.handle(hEnum).ptr(pSourceInfo);
    return call.run([&]() -> CdError {
        auto *e = library().as<EnumObject>(hEnum, Kind::DeviceEnum);
        if (e == nullptr)
            return kInvalidHandle;
        if (pSourceInfo == nullptr)
            return kInvalidPointer;
        if (e->next >= e->cameras.size())
            return kEnumEnd;
        fillSource(*pSourceInfo, *e->cameras[e->next++]);
        return kOk;
    });
}

CDAPI CDEnumDeviceRelease(CdHEnum hEnum) { return enumRelease("CDEnumDeviceRelease", hEnum, Kind::DeviceEnum); }

CDAPI CDOpenSource(CdSourceInfo *pSourceInfo, CdHSource *phSource)
{
    Call call("CDOpenSource");
    call.args().ptr(pSourceInfo, "source").ptr(phSource);
    return call.run([&]() -> CdError {
        if (pSourceInfo == nullptr || phSource == nullptr)
            return kInvalidPointer;
        CdLibrary &lib = library();
        const std::string port = portOf(*pSourceInfo);
        for (const auto &camera : lib.cameras()) {
            if (camera->portName != port)
                continue;
            if (CdError e = lib.readyCamera(camera))
                return e == kDisconnected ? kDeviceNotFound : e;
            if (lib.sourceOf(camera) != nullptr)
                return kComponent | 0xC0; // the port is in use
            auto *source = lib.adopt(new SourceObject);
            source->camera = camera;
            *phSource = source->handle;
            return kOk;
        }
        return kDeviceNotFound;
    });
}

CDAPI CDCloseSource(CdHSource hSource)
{
    Call call("CDCloseSource");
    call.handle(hSource);
    return call.run([&]() -> CdError {
        auto *source = library().as<SourceObject>(hSource, Kind::Source);
        if (source == nullptr)
            return kInvalidHandle;
        library().free(source);
        return kOk;
    });
}

CDAPI CDRegisterEventCallbackFunction(CdHSource hSource, CdEventCallbackFunction *pFunc, CdContext Context,
                                      CdHandle *phFunc)
{
    Call call("CDRegisterEventCallbackFunction");
    call.handle(hSource).ptr(reinterpret_cast<const void *>(pFunc), "fn").hex(Context).ptr(phFunc);
    return call.run([&]() -> CdError {
        auto *source = library().as<SourceObject>(hSource, Kind::Source);
        if (source == nullptr)
            return kInvalidHandle;
        if (pFunc == nullptr || phFunc == nullptr)
            return kInvalidPointer;
        source->eventCallback = pFunc;
        source->eventContext = Context;
        source->registration = source->handle | 0x00F00000;
        *phFunc = source->registration;
        return kOk;
    });
}

CDAPI CDUnregisterEventCallbackFunction(CdHSource hSource, CdHandle hFunc)
{
    Call call("CDUnregisterEventCallbackFunction");
    call.handle(hSource).handle(hFunc);
    return call.run([&]() -> CdError {
        auto *source = library().as<SourceObject>(hSource, Kind::Source);
        if (source == nullptr)
            return kInvalidHandle;
        if (source->eventCallback == nullptr || hFunc != source->registration)
            return kInvalidHandle;
        source->eventCallback = nullptr;
        source->registration = 0;
        return kOk;
    });
}

// -------------------------------------------------------------------------------------------------
// Device properties
// -------------------------------------------------------------------------------------------------

CDAPI CDEnumDevicePropertyReset(CdHSource hSource, CdUInt32 Option, CdHEnum *phEnum)
{
    Call call("CDEnumDevicePropertyReset");
    call.handle(hSource).hex(Option).ptr(phEnum);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = readySource(hSource, error);
        if (source == nullptr)
            return error;
        if (phEnum == nullptr)
            return kInvalidPointer;
        auto *e = library().adopt(new EnumObject(Kind::PropertyEnum));
        e->values.push_back(kPropTime);
        for (const auto &[key, property] : source->camera->properties)
            if ((key & (kSettingKey | kRelCamKey)) == 0)
                e->values.push_back(key);
        e->elementSize = sizeof(CdDevicePropertyStruct);
        *phEnum = e->handle;
        return kOk;
    });
}

CDAPI CDEnumDevicePropertyNext(CdHEnum hEnum, CdDevicePropertyStruct *pDevPropStruct)
{
    Call call("CDEnumDevicePropertyNext");
    call.handle(hEnum).ptr(pDevPropStruct);
    return call.run([&]() -> CdError {
        auto *e = library().as<EnumObject>(hEnum, Kind::PropertyEnum);
        if (e == nullptr)
            return kInvalidHandle;
        if (pDevPropStruct == nullptr)
            return kInvalidPointer;
        if (e->next >= e->values.size())
            return kEnumEnd;
        const CdDevicePropertyID id = e->values[e->next++];
        const bool writable = id == kPropOwnerName || id == kPropTime;
        *pDevPropStruct = CdDevicePropertyStruct{id, writable ? 3u : 1u, 0, 0};
        return kOk;
    });
}

CDAPI CDGetDevicePropertyCount(CdHEnum hEnum, CdUInt32 *pCount)
{
    return enumCount("CDGetDevicePropertyCount", hEnum, Kind::PropertyEnum, pCount);
}

CDAPI CDEnumDevicePropertyRelease(CdHEnum hEnum)
{
    return enumRelease("CDEnumDevicePropertyRelease", hEnum, Kind::PropertyEnum);
}

CDAPI CDGetDevicePropertyData(CdHSource hSource, CdDevicePropertyID DevPropID, CdUInt32 *pBufSize, CdVoid *pBuf,
                              CdUInt32 Option)
{
    Call call("CDGetDevicePropertyData");
    call.handle(hSource).hex(DevPropID);
    if (pBufSize != nullptr)
        call.args().udec(*pBufSize);
    call.ptr(pBuf).hex(Option);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = readySource(hSource, error);
        if (source == nullptr)
            return error;
        if (pBufSize == nullptr || pBuf == nullptr)
            return kInvalidPointer;
        const auto bytes = devicePropertyBytes(*source->camera, DevPropID);
        if (!bytes)
            return kComponent | 0x50; // properties unavailable
        if (*pBufSize < bytes->size()) {
            *pBufSize = static_cast<CdUInt32>(bytes->size());
            return kInvalidLength;
        }
        std::memcpy(pBuf, bytes->data(), bytes->size());
        *pBufSize = static_cast<CdUInt32>(bytes->size());
        return kOk;
    });
}

CDAPI CDSetDevicePropertyData(CdHSource hSource, CdDevicePropertyID DevPropID, CdUInt32 *pBufSize, CdVoid *pBuf)
{
    Call call("CDSetDevicePropertyData");
    call.handle(hSource).hex(DevPropID);
    if (pBufSize != nullptr && pBuf != nullptr)
        call.args().data(pBuf, *pBufSize, DevPropID == kPropOwnerName);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = readySource(hSource, error);
        if (source == nullptr)
            return error;
        if (pBufSize == nullptr || pBuf == nullptr)
            return kInvalidPointer;
        Camera &camera = *source->camera;
        if (DevPropID == kPropTime) {
            if (*pBufSize != 4)
                return kInvalidLength;
            CdUInt32 seconds = 0;
            std::memcpy(&seconds, pBuf, 4);
            camera.clockOffset = static_cast<std::int64_t>(seconds) - hostLocalNow();
            return kOk;
        }
        if (DevPropID == kPropOwnerName) {
            // At most 31 characters and the terminator.
            const auto *text = static_cast<const char *>(pBuf);
            if (*pBufSize == 0 || *pBufSize > 32 || strnlen(text, *pBufSize) >= 32)
                return kInvalidLength;
        }
        if ((DevPropID & (kSettingKey | kRelCamKey)) != 0)
            return kComponent | 0x50;
        switch (camera.write(DevPropID, 0, pBuf, *pBufSize)) {
        case WriteResult::Ok:
            return kOk;
        case WriteResult::Unknown:
            return kComponent | 0x50;
        case WriteResult::ReadOnly:
            return kNotSupported;
        case WriteResult::BadSize:
            return kInvalidLength;
        default:
            return kInvalidParameter;
        }
    });
}

// Control API.
#define TBX_CD_CONTROL_CALL TBX_STDCALL
TBX_SIM_CONTROL_EXPORTS(TBX_CD_EXPORT, TBX_CD_CONTROL_CALL, tbx::sim::cd::library())
