#include "PrFake.h"

#include "sdk/SdkErrors.h"

#include <algorithm>

namespace tbx::prtest {

namespace {

FakeCamera &cam() { return *g_camera; }

std::string hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

std::uint32_t reply(const char *name, const Bytes &bytes, std::uint32_t *size, void *buffer)
{
    if (const std::uint32_t failure = cam().fail(name))
        return failure;
    const std::size_t count = std::min<std::size_t>(bytes.size(), *size);
    std::memcpy(buffer, bytes.data(), count);
    *size = static_cast<std::uint32_t>(count);
    return 0;
}

std::uint32_t logged(const std::string &entry, const char *name)
{
    cam().log.push_back(entry);
    return cam().fail(name);
}

std::uint32_t TBX_STDCALL startSDK() { return cam().fail("PR_StartSDK"); }
std::uint32_t TBX_STDCALL finishSDK() { return 0; }
std::uint32_t TBX_STDCALL getDeviceList(std::uint32_t *size, sdk::PrDeviceList *list)
{
    Bytes bytes;
    put(bytes, static_cast<std::uint32_t>(cam().devices.size()), 4);
    for (const sdk::PrDeviceInfoTable &device : cam().devices) {
        const auto *raw = reinterpret_cast<const std::uint8_t *>(&device);
        bytes.insert(bytes.end(), raw, raw + sizeof device);
    }
    return reply("PR_GetDeviceList", bytes, size, list);
}
std::uint32_t TBX_STDCALL createObject(sdk::PrDeviceInfoTable *, std::uint32_t *camera)
{
    *camera = 7;
    return logged("PR_CreateCameraObject", "PR_CreateCameraObject");
}
std::uint32_t TBX_STDCALL destroyObject(std::uint32_t) { return logged("PR_DestroyCameraObject", ""); }
std::uint32_t TBX_STDCALL connectCamera(std::uint32_t) { return logged("PR_ConnectCamera", "PR_ConnectCamera"); }
std::uint32_t TBX_STDCALL disconnectCamera(std::uint32_t) { return logged("PR_DisconnectCamera", ""); }
std::uint32_t TBX_STDCALL setEvent(std::uint32_t, std::uint32_t, PtpEventProc)
{
    return logged("PR_SetEventCallBack", "PR_SetEventCallBack");
}
std::uint32_t TBX_STDCALL clearEvent(std::uint32_t) { return logged("PR_ClearEventCallBack", ""); }
std::uint32_t TBX_STDCALL getDeviceInfo(std::uint32_t, std::uint32_t *size, void *info)
{
    return reply("PR_GetDeviceInfo", cam().info, size, info);
}
std::uint32_t TBX_STDCALL initiate(std::uint32_t)
{
    return logged("PR_InitiateReleaseControl", "PR_InitiateReleaseControl");
}
std::uint32_t TBX_STDCALL terminate(std::uint32_t) { return logged("PR_TerminateReleaseControl", ""); }
std::uint32_t TBX_STDCALL release(std::uint32_t) { return logged("PR_RC_Release", "PR_RC_Release"); }
std::uint32_t TBX_STDCALL releasedData(std::uint32_t, std::uint32_t object, std::uint16_t event, std::uint32_t block,
                                       std::uint32_t, sdk::prGetFileDataCB *)
{
    return logged("PR_RC_GetReleasedData " + hex(object) + " " + hex(event) + " " + std::to_string(block),
                  "PR_RC_GetReleasedData");
}
std::uint32_t TBX_STDCALL shots(std::uint32_t, std::uint32_t *count)
{
    *count = 42;
    return cam().fail("PR_RC_GetNumAvailableShot");
}
std::uint32_t TBX_STDCALL startVF(std::uint32_t, std::uint32_t, PtpViewfinderProc)
{
    return logged("PR_RC_StartViewFinder", "PR_RC_StartViewFinder");
}
std::uint32_t TBX_STDCALL termVF(std::uint32_t) { return logged("PR_RC_TermViewFinder", ""); }
std::uint32_t TBX_STDCALL aeAfAwb(std::uint32_t, std::uint32_t flags)
{
    return logged("PR_RC_DoAeAfAwb " + std::to_string(flags), ("PR_RC_DoAeAfAwb " + std::to_string(flags)).c_str());
}
std::uint32_t TBX_STDCALL focusLock(std::uint32_t) { return logged("PR_RC_FocusLock", "PR_RC_FocusLock"); }
std::uint32_t TBX_STDCALL focusUnlock(std::uint32_t) { return logged("PR_RC_FocusUnlock", "PR_RC_FocusUnlock"); }
std::uint32_t TBX_STDCALL getDesc(std::uint32_t, std::uint16_t code, std::uint32_t *size, void *desc)
{
    cam().log.push_back("desc " + hex(code));
    const auto it = cam().descs.find(code);
    if (it == cam().descs.end())
        return 0x2000200A; // property not supported
    return reply("PR_GetDevicePropDesc", it->second, size, desc);
}
std::uint32_t TBX_STDCALL getValue(std::uint32_t, std::uint16_t code, std::uint32_t *size, void *value)
{
    const auto it = cam().values.find(code);
    if (it == cam().values.end())
        return 0x200A;
    return reply(("PR_GetDevicePropValue " + hex(code)).c_str(), it->second, size, value);
}
std::uint32_t TBX_STDCALL setValue(std::uint32_t, std::uint16_t code, std::uint32_t size, void *value)
{
    std::uint32_t number = 0;
    const auto *bytes = static_cast<const std::uint8_t *>(value);
    for (std::uint32_t i = std::min<std::uint32_t>(size, 4); i-- > 0;)
        number = number << 8 | bytes[i];
    cam().values[code] = Bytes(bytes, bytes + size);
    return logged("set " + hex(code) + "=" + std::to_string(number), ("set " + hex(code)).c_str());
}

const sdk::PrEntryPoints &entryPoints()
{
    static const sdk::PrEntryPoints table{
        .PR_StartSDK = startSDK,
        .PR_FinishSDK = finishSDK,
        .PR_GetDeviceList = getDeviceList,
        .PR_CreateCameraObject = createObject,
        .PR_DestroyCameraObject = destroyObject,
        .PR_ConnectCamera = connectCamera,
        .PR_DisconnectCamera = disconnectCamera,
        .PR_SetEventCallBack = setEvent,
        .PR_ClearEventCallBack = clearEvent,
        .PR_GetDeviceInfo = getDeviceInfo,
        .PR_InitiateReleaseControl = initiate,
        .PR_TerminateReleaseControl = terminate,
        .PR_RC_Release = release,
        .PR_RC_GetReleasedData = releasedData,
        .PR_RC_GetNumAvailableShot = shots,
        .PR_RC_StartViewFinder = startVF,
        .PR_RC_TermViewFinder = termVF,
        .PR_RC_DoAeAfAwb = aeAfAwb,
        .PR_RC_FocusLock = focusLock,
        .PR_RC_FocusUnlock = focusUnlock,
        .PR_GetDevicePropDesc = getDesc,
        .PR_GetDevicePropValue = getValue,
        .PR_SetDevicePropValue = setValue,
    };
    return table;
}

void load(const std::string &) { cam().loaded = true; }

void raiseOnError(std::string_view label, std::uint32_t code)
{
    if (code != 0)
        throw ECamException(std::string(label) + " errorcode " + hex(code));
}

} // namespace

const prsdk::PrSdk &fakeSdk()
{
    static const prsdk::PrSdk sdk{&load, &entryPoints, &raiseOnError};
    return sdk;
}

} // namespace tbx::prtest
