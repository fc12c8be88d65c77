// The legacy stand-in's remote control: release control with its events, releasing and the
// released data, the viewfinder with its output and automatic functions, zoom and AF lock.
#include <cstring>

#include "CdCall.h"

using namespace tbx::sim;
using namespace tbx::sim::cd;

namespace {

constexpr std::uint64_t kBytesPerShot = 2500000;

/// The open source under release control, ready to answer.
SourceObject *controlled(CdHSource hSource, CdError &error)
{
    SourceObject *source = readySource(hSource, error);
    if (source != nullptr && !source->releaseControl) {
        error = kInvalidCall;
        return nullptr;
    }
    return source;
}

} // namespace

CDAPI CDEnterReleaseControl(CdHSource hSource, CdReleaseEventCallbackFunction *pFunc, CdContext Context)
{
    Call call("CDEnterReleaseControl");
    call.handle(hSource).ptr(reinterpret_cast<const void *>(pFunc), "fn").hex(Context);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = readySource(hSource, error);
        if (source == nullptr)
            return error;
        if ((library().setting(*source->camera, kPropFaculty) & 0x40000000) == 0)
            return kNotSupported;
        source->releaseControl = true;
        source->releaseCallback = pFunc;
        source->releaseContext = Context;
        return kOk;
    });
}

CDAPI CDExitReleaseControl(CdHSource hSource)
{
    Call call("CDExitReleaseControl");
    call.handle(hSource);
    return call.run([&]() -> CdError {
        auto *source = library().as<SourceObject>(hSource, Kind::Source);
        if (source == nullptr)
            return kInvalidHandle;
        if (!source->releaseControl)
            return kInvalidCall;
        library().stopViewfinder(*source);
        source->releaseControl = false;
        source->releaseCallback = nullptr;
        source->released.clear();
        return kOk;
    });
}

CDAPI CDGetReleaseControlFaculty(CdHSource hSource, CdReleaseControlFaculty *pFaculty)
{
    Call call("CDGetReleaseControlFaculty");
    call.handle(hSource).ptr(pFaculty);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = readySource(hSource, error);
        if (source == nullptr)
            return error;
        if (pFaculty == nullptr)
            return kInvalidPointer;
        *pFaculty = library().setting(*source->camera, kPropFaculty);
        return kOk;
    });
}

CDAPI CDSelectReleaseDataKind(CdHSource hSource, CdRelDataKind DataKind)
{
    Call call("CDSelectReleaseDataKind");
    call.handle(hSource).hex(DataKind);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = controlled(hSource, error);
        if (source == nullptr)
            return error;
        if (DataKind == 0 || DataKind > 0x000F)
            return kInvalidParameter;
        source->dataKind = DataKind;
        return kOk;
    });
}

CDAPI CDRelease(CdHSource hSource, CdBoolean bSync, CdProgressCallbackFunction *pCallbackFunc, CdContext Context,
                CdProgressOption ProgressOption, CdUInt32 *pNumData)
{
    Call call("CDRelease");
    call.handle(hSource).dec(bSync).ptr(reinterpret_cast<const void *>(pCallbackFunc), "fn").hex(Context);
    call.args().udec(ProgressOption).ptr(pNumData);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = controlled(hSource, error);
        if (source == nullptr)
            return error;
        if (pCallbackFunc != nullptr && ProgressOption != 1)
            for (CdUInt32 percent : {0u, 50u, 100u})
                pCallbackFunc(percent, 1, Context);
        return library().release(*source, pNumData);
    });
}

CDAPI CDGetReleasedData(CdHSource hSource, CdProgressCallbackFunction *pCallbackFunc, CdContext Context,
                        CdProgressOption ProgressOption, CdReleaseImageInfo *pInfo, CdStgMedium *pStgMedium)
{
    Call call("CDGetReleasedData");
    call.handle(hSource).ptr(reinterpret_cast<const void *>(pCallbackFunc), "fn").hex(Context);
    call.args().udec(ProgressOption).ptr(pInfo);
    call.args().str(pStgMedium != nullptr && pStgMedium->Type == 0 ? pStgMedium->u.lpszFileName : nullptr);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = controlled(hSource, error);
        if (source == nullptr)
            return error;
        if (pInfo == nullptr)
            return kInvalidPointer;
        if (source->released.empty())
            return kInvalidCall;
        const auto picture = source->released.front().picture;
        const bool thumbnail = source->released.front().thumbnail;
        const std::vector<std::uint8_t> &bytes = thumbnail ? picture->thumbnail() : picture->content();
        std::memset(pInfo, 0, sizeof *pInfo);
        pInfo->SequenceID = picture->groupId;
        pInfo->DataType = thumbnail ? 0x10 : 0x20;
        pInfo->DataSize = static_cast<CdUInt32>(bytes.size());
        const CdError result = library().deliver(source->camera, bytes, pStgMedium, pCallbackFunc, Context,
                                                 ProgressOption);
        if (result == kOk || result == kDisconnected)
            source->released.erase(source->released.begin());
        return result;
    });
}

CDAPI CDGetNumAvailableShot(CdHSource hSource, CdUInt32 *pNum)
{
    Call call("CDGetNumAvailableShot");
    call.handle(hSource).ptr(pNum);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = controlled(hSource, error);
        if (source == nullptr)
            return error;
        if (pNum == nullptr)
            return kInvalidPointer;
        const auto &volumes = source->camera->volumes;
        *pNum = volumes.empty() ? 0 : static_cast<CdUInt32>(volumes.front()->freeBytes() / kBytesPerShot);
        return kOk;
    });
}

// -------------------------------------------------------------------------------------------------
// Viewfinder, zoom, focus
// -------------------------------------------------------------------------------------------------

CDAPI CDStartViewfinder(CdHSource hSource, CdUInt32 Format, CdViewfinderCallbackFunction *pFunc, CdContext Context)
{
    Call call("CDStartViewfinder");
    call.handle(hSource).udec(Format).ptr(reinterpret_cast<const void *>(pFunc), "fn").hex(Context);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = controlled(hSource, error);
        if (source == nullptr)
            return error;
        if (pFunc == nullptr)
            return kInvalidPointer;
        if (Format != 0) // JPEG only
            return kNotSupported;
        if (source->viewfinder)
            return kInvalidCall;
        source->frameCallback = pFunc;
        source->frameContext = Context;
        library().startViewfinder(*source);
        return kOk;
    });
}

CDAPI CDTermViewfinder(CdHSource hSource)
{
    Call call("CDTermViewfinder");
    call.handle(hSource);
    return call.run([&]() -> CdError {
        auto *source = library().as<SourceObject>(hSource, Kind::Source);
        if (source == nullptr)
            return kInvalidHandle;
        if (!source->viewfinder)
            return kInvalidCall;
        library().stopViewfinder(*source);
        return kOk;
    });
}

CDAPI CDSelectViewFinderCameraOutput(CdHSource hSource, CdRelViewfinderOutput cameraOutput)
{
    Call call("CDSelectViewFinderCameraOutput");
    call.handle(hSource).udec(cameraOutput);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = controlled(hSource, error);
        if (source == nullptr)
            return error;
        return cameraOutput >= 1 && cameraOutput <= 3 ? kOk : kInvalidParameter;
    });
}

CDAPI CDActViewfinderAutoFunctions(CdHSource hSource, CdUInt32 ActivateFlag)
{
    Call call("CDActViewfinderAutoFunctions");
    call.handle(hSource).hex(ActivateFlag);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = controlled(hSource, error);
        if (source == nullptr)
            return error;
        if (!source->viewfinder)
            return kInvalidCall;
        return ActivateFlag != 0 && ActivateFlag <= 7 ? kOk : kInvalidParameter;
    });
}

CDAPI CDGetMaximumZoomPos(CdHSource hSource, CdUInt32 *pMaxZoomPos, CdUInt32 *pMaxOpticalZoomPos)
{
    Call call("CDGetMaximumZoomPos");
    call.handle(hSource).ptr(pMaxZoomPos).ptr(pMaxOpticalZoomPos);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = controlled(hSource, error);
        if (source == nullptr)
            return error;
        if (pMaxZoomPos == nullptr || pMaxOpticalZoomPos == nullptr)
            return kInvalidPointer;
        *pMaxZoomPos = library().setting(*source->camera, settingKey(kMaxZoom));
        *pMaxOpticalZoomPos = library().setting(*source->camera, settingKey(kMaxOpticalZoom));
        return kOk;
    });
}

CDAPI CDGetZoomPos(CdHSource hSource, CdUInt32 *pZoomPos)
{
    Call call("CDGetZoomPos");
    call.handle(hSource).ptr(pZoomPos);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = controlled(hSource, error);
        if (source == nullptr)
            return error;
        if (pZoomPos == nullptr)
            return kInvalidPointer;
        *pZoomPos = library().setting(*source->camera, settingKey(kZoom));
        return kOk;
    });
}

CDAPI CDSetZoomPos(CdHSource hSource, CdUInt32 ZoomPos)
{
    Call call("CDSetZoomPos");
    call.handle(hSource).udec(ZoomPos);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = controlled(hSource, error);
        if (source == nullptr)
            return error;
        if (ZoomPos > library().setting(*source->camera, settingKey(kMaxZoom)))
            return kInvalidParameter;
        source->camera->property(settingKey(kZoom))->setU32(ZoomPos);
        return kOk;
    });
}

CDAPI CDGetDZoomMagnification(CdHSource hSource, CdURational *pDZoomMag)
{
    Call call("CDGetDZoomMagnification");
    call.handle(hSource).ptr(pDZoomMag);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = controlled(hSource, error);
        if (source == nullptr)
            return error;
        if (pDZoomMag == nullptr)
            return kInvalidPointer;
        // Past the optical range each step adds a quarter.
        const CdLibrary &lib = library();
        const std::uint32_t zoom = lib.setting(*source->camera, settingKey(kZoom));
        const std::uint32_t optical = lib.setting(*source->camera, settingKey(kMaxOpticalZoom));
        *pDZoomMag = CdURational{4 + (zoom > optical ? zoom - optical : 0), 4};
        return kOk;
    });
}

CDAPI CDAFLock(CdHSource hSource, CdBoolean bLock)
{
    Call call("CDAFLock");
    call.handle(hSource).dec(bLock);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = controlled(hSource, error);
        if (source == nullptr)
            return error;
        return bLock <= 1 ? kOk : kInvalidParameter;
    });
}
