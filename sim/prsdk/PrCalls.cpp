// The exported entry points of the PTP stand-in, declared from the SDK's one export list: a
// definition whose parameters or result differ from the list does not compile. Each call is
// logged, can be made to fail, and is refused before PR_StartSDK.
#include <algorithm>
#include <cstring>

#include "Call.h"
#include "ControlExports.h"
#include "PrLibrary.h"
#include "platform/VersionNote.h"

#if defined(_WIN32)
#define TBX_PR_EXPORT // exported by name through the generated .def file
#else
#define TBX_PR_EXPORT __attribute__((visibility("default")))
#endif

using namespace tbx::sdk;

#define TBX_SIM_PR_DECLARE(name, ordinal, x86Bytes, result, parameters)                                                \
    extern "C" TBX_PR_EXPORT result TBX_STDCALL name parameters;
TBX_PRSDK_EXPORTS(TBX_SIM_PR_DECLARE)
#undef TBX_SIM_PR_DECLARE

TBX_ELF_VERSION_NOTE(1, 1, 0, 20);

#define PRAPI extern "C" TBX_PR_EXPORT prResponse TBX_STDCALL

namespace tbx::sim::pr {
namespace {

/// One entry-point call of the PTP stand-in (see SdkCall).
class Call : public SdkCall {
public:
    explicit Call(const char *name) : SdkCall(library(), name) {}
};

/// The size protocol of the calls that fill a caller's buffer: the size needed goes back
/// through \a size; a buffer too small (or none) gets "insufficient buffer".
prResponse answer(const std::vector<std::uint8_t> &bytes, prUInt32 *size, void *buffer)
{
    if (size == nullptr)
        return sdkError(prINVALID_PARAMETER);
    const prUInt32 capacity = *size;
    *size = static_cast<prUInt32>(bytes.size());
    if (buffer == nullptr || capacity < bytes.size())
        return sdkError(prINSUFFICIENT_BUFFER);
    std::memcpy(buffer, bytes.data(), bytes.size());
    return prOK;
}

/// A property value for the call log: a number of up to four bytes, or the owner name's text.
void logValue(CallLine &line, prptpDevicePropCode code, const void *data, prUInt32 size)
{
    if (data == nullptr) {
        line.raw("null");
        return;
    }
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    if (code == prPTP_DEV_PROP_OWNER && size > 4) {
        const char *text = reinterpret_cast<const char *>(bytes + 4);
        const std::string name(text, strnlen(text, size - 4));
        line.str(name.c_str());
        return;
    }
    std::uint32_t value = 0;
    for (prUInt32 i = 0; i < size && i < 4; ++i)
        value |= std::uint32_t{bytes[i]} << (8 * i);
    line.udec(value);
}

} // namespace
} // namespace tbx::sim::pr

using namespace tbx::sim;
using namespace tbx::sim::pr;

// ---------------------------------------------------------------------------------------------
// SDK lifetime
// ---------------------------------------------------------------------------------------------

PRAPI PR_StartSDK()
{
    Call call("PR_StartSDK");
    return call.run([] {
        PrLibrary &lib = library();
        if (!lib.started) {
            lib.started = true;
            lib.pump().start(EventPump::Mode::Thread); // the library has no call to fetch events
        }
        return prOK;
    });
}

PRAPI PR_FinishSDK()
{
    PrLibrary &lib = library();
    // Frames and events may wait for the lock: end them before taking it.
    lib.stopViewfinders(0);
    if (!lib.pump().onWorker())
        lib.pump().stop();
    Call call("PR_FinishSDK");
    return call.run([&lib] {
        lib.pump().stop();
        for (CameraObject *object : lib.allObjects())
            lib.destroy(object);
        lib.started = false;
        return prOK;
    });
}

PRAPI PR_GetDllsVersion(prUInt32 *pBufferSize, prDllsVerInfo *pDllVersion)
{
    Call call("PR_GetDllsVersion");
    call.ptr(pBufferSize, "size").ptr(pDllVersion);
    return call.run([&] {
        // Two entries: the library and its companion.
        std::vector<std::uint8_t> bytes(4 + 2 * sizeof(PrVerInfo), 0);
        const std::uint32_t count = 2;
        std::memcpy(bytes.data(), &count, 4);
        const std::pair<const char *, const char *> entries[] = {{"PRSDK.dll", "1, 1, 0, 20"},
                                                                 {"PRLIB.dll", "1, 1, 0, 12"}};
        for (std::size_t i = 0; i < 2; ++i) {
            PrVerInfo info{};
            const std::string name = entries[i].first, version = entries[i].second;
            std::copy(name.begin(), name.end(), info.ModuleName);
            std::copy(version.begin(), version.end(), info.Version);
            std::memcpy(bytes.data() + 4 + i * sizeof info, &info, sizeof info);
        }
        return answer(bytes, pBufferSize, pDllVersion);
    });
}

// ---------------------------------------------------------------------------------------------
// Devices and connection
// ---------------------------------------------------------------------------------------------

PRAPI PR_GetDeviceList(prUInt32 *pBufferSize, prDeviceList *pDeviceList)
{
    Call call("PR_GetDeviceList");
    call.ptr(pBufferSize, "size").ptr(pDeviceList);
    return call.run([&] {
        std::vector<std::uint8_t> bytes(4, 0);
        std::uint32_t count = 0;
        for (const auto &camera : library().cameras()) {
            if (!camera->attached)
                continue;
            const PrDeviceInfoTable record = PrLibrary::deviceRecord(*camera);
            const auto *raw = reinterpret_cast<const std::uint8_t *>(&record);
            bytes.insert(bytes.end(), raw, raw + sizeof record);
            ++count;
        }
        std::memcpy(bytes.data(), &count, 4);
        return answer(bytes, pBufferSize, pDeviceList);
    });
}

PRAPI PR_CreateCameraObject(prDeviceInfoTable *pDeviceInfo, prHandle *pCameraHandle)
{
    Call call("PR_CreateCameraObject");
    call.ptr(pDeviceInfo, "device").ptr(pCameraHandle);
    return call.run([&] {
        if (pDeviceInfo == nullptr || pCameraHandle == nullptr)
            return sdkError(prINVALID_PARAMETER);
        PrLibrary &lib = library();
        for (const auto &camera : lib.cameras()) {
            const PrDeviceInfoTable record = PrLibrary::deviceRecord(*camera);
            if (camera->attached &&
                std::equal(std::begin(record.DeviceInternalName), std::end(record.DeviceInternalName),
                           std::begin(pDeviceInfo->DeviceInternalName))) {
                *pCameraHandle = lib.create(camera)->handle;
                call.args().hex(*pCameraHandle);
                return prOK;
            }
        }
        return kDeviceGone;
    });
}

PRAPI PR_DestroyCameraObject(prHandle CameraHandle)
{
    library().stopViewfinders(CameraHandle);
    Call call("PR_DestroyCameraObject");
    call.args().hex(CameraHandle);
    return call.run([&] {
        CameraObject *object = library().object(CameraHandle);
        if (object == nullptr)
            return sdkError(prINVALID_HANDLE);
        library().destroy(object);
        return prOK;
    });
}

PRAPI PR_ConnectCamera(prHandle CameraHandle)
{
    Call call("PR_ConnectCamera");
    call.args().hex(CameraHandle);
    return call.run([&] {
        CameraObject *object = library().object(CameraHandle);
        if (object == nullptr)
            return sdkError(prINVALID_HANDLE);
        if (!object->camera->attached)
            return kDeviceGone;
        if (object->camera->takeBusy())
            return ptpError(prRESPONSE_DeviceBusy);
        object->connected = true;
        return prOK;
    });
}

PRAPI PR_DisconnectCamera(prHandle CameraHandle)
{
    library().stopViewfinders(CameraHandle);
    Call call("PR_DisconnectCamera");
    call.args().hex(CameraHandle);
    return call.run([&] {
        CameraObject *object = library().object(CameraHandle);
        if (object == nullptr)
            return sdkError(prINVALID_HANDLE);
        if (!object->connected)
            return sdkError(prINVALID_FN_CALL);
        object->connected = false;
        object->releaseControl = false;
        object->released.clear();
        return prOK;
    });
}

// ---------------------------------------------------------------------------------------------
// Events
// ---------------------------------------------------------------------------------------------

PRAPI PR_SetEventCallBack(prHandle CameraHandle, prContext Context, prSetEventCB *pSetEventCB)
{
    Call call("PR_SetEventCallBack");
    call.args().hex(CameraHandle).hex(Context);
    call.ptr(reinterpret_cast<const void *>(pSetEventCB), "fn");
    return call.run([&] {
        CameraObject *object = library().object(CameraHandle);
        if (object == nullptr)
            return sdkError(prINVALID_HANDLE);
        if (pSetEventCB == nullptr)
            return sdkError(prINVALID_PARAMETER);
        if (!object->connected)
            return sdkError(prINVALID_FN_CALL);
        if (object->eventCallback != nullptr)
            return sdkError(prEVENT_CALLBACK_EXIST);
        object->eventCallback = pSetEventCB;
        object->eventContext = Context;
        return prOK;
    });
}

PRAPI PR_ClearEventCallBack(prHandle CameraHandle)
{
    Call call("PR_ClearEventCallBack");
    call.args().hex(CameraHandle);
    return call.run([&] {
        CameraObject *object = library().object(CameraHandle);
        if (object == nullptr)
            return sdkError(prINVALID_HANDLE);
        object->eventCallback = nullptr;
        object->eventContext = 0;
        return prOK;
    });
}

// ---------------------------------------------------------------------------------------------
// Device information and properties
// ---------------------------------------------------------------------------------------------

PRAPI PR_GetDeviceInfo(prHandle CameraHandle, prUInt32 *pBufferSize, prVoid *pDeviceInfo)
{
    Call call("PR_GetDeviceInfo");
    call.args().hex(CameraHandle);
    call.ptr(pBufferSize, "size").ptr(pDeviceInfo);
    return call.run([&] {
        CameraObject *object = library().object(CameraHandle);
        if (const prResponse refused = library().ready(object, false))
            return refused;
        return answer(library().deviceInfo(*object->camera), pBufferSize, pDeviceInfo);
    });
}

PRAPI PR_GetDevicePropDesc(prHandle CameraHandle, prptpDevicePropCode DevicePropCode, prUInt32 *pBufferSize,
                           prVoid *pDevicePropDesc)
{
    Call call("PR_GetDevicePropDesc");
    call.args().hex(CameraHandle).hex(DevicePropCode);
    call.ptr(pBufferSize, "size").ptr(pDevicePropDesc);
    return call.run([&] {
        CameraObject *object = library().object(CameraHandle);
        if (const prResponse refused = library().ready(object, false))
            return refused;
        const auto desc = library().propertyDesc(*object->camera, DevicePropCode);
        if (!desc)
            return ptpError(prRESPONSE_DevicePropNotSupported);
        return answer(*desc, pBufferSize, pDevicePropDesc);
    });
}

PRAPI PR_GetDevicePropValue(prHandle CameraHandle, prptpDevicePropCode DevicePropCode, prUInt32 *pBufferSize,
                            prVoid *pDeviceProperty)
{
    Call call("PR_GetDevicePropValue");
    call.args().hex(CameraHandle).hex(DevicePropCode);
    call.ptr(pBufferSize, "size").ptr(pDeviceProperty);
    return call.run([&] {
        CameraObject *object = library().object(CameraHandle);
        if (const prResponse refused = library().ready(object, false))
            return refused;
        const auto value = library().propertyValue(*object->camera, DevicePropCode);
        if (!value)
            return ptpError(prRESPONSE_DevicePropNotSupported);
        return answer(*value, pBufferSize, pDeviceProperty);
    });
}

PRAPI PR_SetDevicePropValue(prHandle CameraHandle, prptpDevicePropCode DevicePropCode, prUInt32 DataSize,
                            prVoid *pDeviceProperty)
{
    Call call("PR_SetDevicePropValue");
    call.args().hex(CameraHandle).hex(DevicePropCode).udec(DataSize);
    logValue(call.args(), DevicePropCode, pDeviceProperty, DataSize);
    return call.run([&] {
        CameraObject *object = library().object(CameraHandle);
        if (const prResponse refused = library().ready(object, false))
            return refused;
        return library().writeProperty(*object, DevicePropCode, pDeviceProperty, DataSize);
    });
}

// ---------------------------------------------------------------------------------------------
// Release control and transfer
// ---------------------------------------------------------------------------------------------

PRAPI PR_InitiateReleaseControl(prHandle CameraHandle)
{
    Call call("PR_InitiateReleaseControl");
    call.args().hex(CameraHandle);
    return call.run([&] {
        CameraObject *object = library().object(CameraHandle);
        if (const prResponse refused = library().ready(object, false))
            return refused;
        object->releaseControl = true;
        return prOK;
    });
}

PRAPI PR_TerminateReleaseControl(prHandle CameraHandle)
{
    library().stopViewfinders(CameraHandle);
    Call call("PR_TerminateReleaseControl");
    call.args().hex(CameraHandle);
    return call.run([&] {
        CameraObject *object = library().object(CameraHandle);
        if (const prResponse refused = library().ready(object, true))
            return refused;
        object->releaseControl = false;
        return prOK;
    });
}

PRAPI PR_RC_Release(prHandle CameraHandle)
{
    Call call("PR_RC_Release");
    call.args().hex(CameraHandle);
    return call.run([&] {
        CameraObject *object = library().object(CameraHandle);
        if (const prResponse refused = library().ready(object, true))
            return refused;
        return library().release(*object);
    });
}

PRAPI PR_RC_GetReleasedData(prHandle CameraHandle, prObjectHandle ObjectHandle, prptpEventCode EventCode,
                            prUInt32 TransSize, prContext Context, prGetFileDataCB *pGetFileDataCB)
{
    Call call("PR_RC_GetReleasedData");
    call.args().hex(CameraHandle).hex(ObjectHandle).hex(EventCode).udec(TransSize).hex(Context);
    call.ptr(reinterpret_cast<const void *>(pGetFileDataCB), "fn");
    return call.run([&] {
        CameraObject *object = library().object(CameraHandle);
        if (const prResponse refused = library().ready(object, true))
            return refused;
        return library().transfer(*object, ObjectHandle, EventCode, TransSize, Context, pGetFileDataCB);
    });
}

PRAPI PR_RC_GetNumAvailableShot(prHandle CameraHandle, prUInt32 *pNum)
{
    Call call("PR_RC_GetNumAvailableShot");
    call.args().hex(CameraHandle);
    call.ptr(pNum);
    return call.run([&] {
        CameraObject *object = library().object(CameraHandle);
        if (const prResponse refused = library().ready(object, true))
            return refused;
        if (pNum == nullptr)
            return sdkError(prINVALID_PARAMETER);
        const Camera &camera = *object->camera;
        const std::uint64_t perShot = 2500000;
        const std::uint64_t room = camera.volumes.empty() ? 0 : camera.volumes.front()->freeBytes();
        *pNum = static_cast<prUInt32>(std::min<std::uint64_t>(room / perShot, 9999));
        return prOK;
    });
}

PRAPI PR_RC_GetChangedReleaseParamesList(prHandle CameraHandle, prUInt32 *pBufferSize, prVoid *pParamsList)
{
    Call call("PR_RC_GetChangedReleaseParamesList");
    call.args().hex(CameraHandle);
    call.ptr(pBufferSize, "size").ptr(pParamsList);
    return call.run([&] {
        CameraObject *object = library().object(CameraHandle);
        if (const prResponse refused = library().ready(object, true))
            return refused;
        std::vector<std::uint8_t> bytes;
        const auto count = static_cast<std::uint32_t>(object->changedParams.size());
        bytes.resize(4 + 2 * count);
        std::memcpy(bytes.data(), &count, 4);
        for (std::uint32_t i = 0; i < count; ++i)
            std::memcpy(bytes.data() + 4 + 2 * i, &object->changedParams[i], 2);
        const prResponse result = answer(bytes, pBufferSize, pParamsList);
        if (result == prOK)
            object->changedParams.clear();
        return result;
    });
}

// ---------------------------------------------------------------------------------------------
// Viewfinder and focus
// ---------------------------------------------------------------------------------------------

PRAPI PR_RC_StartViewFinder(prHandle CameraHandle, prContext Context, prViewFinderCB *pViewFinderCB)
{
    Call call("PR_RC_StartViewFinder");
    call.args().hex(CameraHandle).hex(Context);
    call.ptr(reinterpret_cast<const void *>(pViewFinderCB), "fn");
    return call.run([&] {
        CameraObject *object = library().object(CameraHandle);
        if (const prResponse refused = library().ready(object, true))
            return refused;
        return library().startViewfinder(*object, Context, pViewFinderCB);
    });
}

PRAPI PR_RC_TermViewFinder(prHandle CameraHandle)
{
    Call call("PR_RC_TermViewFinder");
    call.args().hex(CameraHandle);
    const prResponse result = call.run([&] {
        CameraObject *object = library().object(CameraHandle);
        if (const prResponse refused = library().ready(object, true))
            return refused;
        return object->viewfinder ? prOK : sdkError(prINVALID_FN_CALL);
    });
    // After the lock: a frame under way needs it. No frame follows the return.
    if (result == prOK)
        library().stopViewfinders(CameraHandle);
    return result;
}

PRAPI PR_RC_DoAeAfAwb(prHandle CameraHandle, prptpAeAfAwbResetFlag ResetFlag)
{
    Call call("PR_RC_DoAeAfAwb");
    call.args().hex(CameraHandle).hex(ResetFlag);
    return call.run([&] {
        CameraObject *object = library().object(CameraHandle);
        if (const prResponse refused = library().ready(object, true))
            return refused;
        if (ResetFlag == 0 || (ResetFlag & ~(prPTP_AE_RESET | prPTP_AF_RESET | prPTP_AWB_RESET)) != 0)
            return sdkError(prINVALID_PARAMETER);
        return prOK;
    });
}

PRAPI PR_RC_FocusLock(prHandle CameraHandle)
{
    Call call("PR_RC_FocusLock");
    call.args().hex(CameraHandle);
    return call.run([&] { return library().ready(library().object(CameraHandle), true); });
}

PRAPI PR_RC_FocusUnlock(prHandle CameraHandle)
{
    Call call("PR_RC_FocusUnlock");
    call.args().hex(CameraHandle);
    return call.run([&] { return library().ready(library().object(CameraHandle), true); });
}

TBX_SIM_CONTROL_EXPORTS(TBX_PR_EXPORT, TBX_STDCALL, library())
