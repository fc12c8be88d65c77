// The stand-in's SDK lifetime, object tree, cameras and sessions, commands and event handlers,
// and its control API.
#include "ControlExports.h"
#include "EdsCall.h"

using namespace tbx::sim;
using namespace tbx::sim::eds;

// -------------------------------------------------------------------------------------------------
// SDK lifetime
// -------------------------------------------------------------------------------------------------

EDSAPI EdsInitializeSDK()
{
    Call call("EdsInitializeSDK");
    return call.run([] {
        EosLibrary &lib = library();
        if (!lib.initialized) {
            lib.initialized = true;
            lib.pump().start(lib.delivery());
        }
        return kOk;
    });
}

EDSAPI EdsTerminateSDK()
{
    EosLibrary &lib = library();
    // The event thread may wait for the lock to deliver: stop it before taking the lock.
    if (!lib.pump().onWorker())
        lib.pump().stop();
    Call call("EdsTerminateSDK");
    return call.run([&lib] {
        lib.pump().stop();
        for (const auto &camera : lib.cameras())
            lib.state(camera) = CameraState{};
        lib.objects().freeAll();
        lib.addedHandler = nullptr;
        lib.addedContext = nullptr;
        lib.initialized = false;
        return kOk;
    });
}

// -------------------------------------------------------------------------------------------------
// Objects and tree
// -------------------------------------------------------------------------------------------------

extern "C" TBX_EDS_EXPORT EdsUInt32 TBX_EDS_CALL EdsRetain(EdsBaseRef inRef)
{
    Call call("EdsRetain");
    call.ref(inRef);
    return call.run([&]() -> EdsUInt32 {
        Object *o = library().find(inRef);
        if (o == nullptr || o->refs >= 0xFFFF)
            return kRefError;
        return ++o->refs;
    });
}

extern "C" TBX_EDS_EXPORT EdsUInt32 TBX_EDS_CALL EdsRelease(EdsBaseRef inRef)
{
    Call call("EdsRelease");
    call.ref(inRef);
    return call.run([&]() -> EdsUInt32 {
        Object *o = library().find(inRef);
        if (o == nullptr)
            return kRefError;
        return library().objects().release(o);
    });
}

EDSAPI EdsGetChildCount(EdsBaseRef inRef, EdsUInt32 *outCount)
{
    Call call("EdsGetChildCount");
    call.ref(inRef).ptr(outCount);
    return call.run([&]() -> EdsError {
        Object *o = library().find(inRef);
        if (o == nullptr)
            return kInvalidHandle;
        if (outCount == nullptr)
            return kInvalidPointer;
        switch (o->kind) {
        case Kind::List:
            *outCount = static_cast<EdsUInt32>(static_cast<ListObject *>(o)->cameras.size());
            return kOk;
        case Kind::Camera: {
            auto *cam = static_cast<CameraObject *>(o);
            if (EdsError e = ready(cam, true, false))
                return e;
            *outCount = static_cast<EdsUInt32>(cam->camera->volumes.size());
            return kOk;
        }
        case Kind::Volume: {
            auto *vol = static_cast<VolumeObject *>(o);
            if (EdsError e = readyCamera(vol->camera, false))
                return e;
            *outCount = static_cast<EdsUInt32>(vol->volume->items.size());
            return kOk;
        }
        case Kind::Item: {
            auto *item = static_cast<ItemObject *>(o);
            if (EdsError e = readyCamera(item->camera, false))
                return e;
            if (!item->item->isFolder())
                return kNotSupported;
            *outCount = static_cast<EdsUInt32>(item->item->children.size());
            return kOk;
        }
        default:
            return kNotSupported;
        }
    });
}

EDSAPI EdsGetChildAtIndex(EdsBaseRef inRef, EdsInt32 inIndex, EdsBaseRef *outRef)
{
    Call call("EdsGetChildAtIndex");
    call.ref(inRef).args().dec(inIndex).ptr(outRef);
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        Object *o = lib.find(inRef);
        if (o == nullptr)
            return kInvalidHandle;
        if (outRef == nullptr)
            return kInvalidPointer;
        *outRef = nullptr;
        if (inIndex < 0)
            return kInvalidIndex;
        const auto index = static_cast<std::size_t>(inIndex);
        switch (o->kind) {
        case Kind::List: {
            auto *list = static_cast<ListObject *>(o);
            if (index >= list->cameras.size())
                return kInvalidIndex;
            *outRef = handleOf(lib.cameraObject(list->cameras[index]));
            return kOk;
        }
        case Kind::Camera: {
            auto *cam = static_cast<CameraObject *>(o);
            if (EdsError e = ready(cam, true, false))
                return e;
            if (index >= cam->camera->volumes.size())
                return kInvalidIndex;
            auto *vol = lib.objects().adopt(new VolumeObject);
            vol->camera = cam->camera;
            vol->volume = cam->camera->volumes[index];
            *outRef = handleOf(vol);
            return kOk;
        }
        case Kind::Volume:
        case Kind::Item: {
            std::shared_ptr<Camera> camera;
            std::shared_ptr<Volume> volume;
            const std::vector<std::shared_ptr<Item>> *children = nullptr;
            if (o->kind == Kind::Volume) {
                auto *vol = static_cast<VolumeObject *>(o);
                camera = vol->camera;
                volume = vol->volume;
                children = &vol->volume->items;
            } else {
                auto *item = static_cast<ItemObject *>(o);
                if (!item->item->isFolder())
                    return kNotSupported;
                camera = item->camera;
                volume = item->volume;
                children = &item->item->children;
            }
            if (EdsError e = readyCamera(camera, false))
                return e;
            if (index >= children->size())
                return kInvalidIndex;
            auto *child = lib.objects().adopt(new ItemObject);
            child->camera = camera;
            child->volume = volume;
            child->item = (*children)[index];
            *outRef = handleOf(child);
            return kOk;
        }
        default:
            return kNotSupported;
        }
    });
}

EDSAPI EdsGetParent(EdsBaseRef inRef, EdsBaseRef *outParentRef)
{
    Call call("EdsGetParent");
    call.ref(inRef).ptr(outParentRef);
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        Object *o = lib.find(inRef);
        if (o == nullptr)
            return kInvalidHandle;
        if (outParentRef == nullptr)
            return kInvalidPointer;
        *outParentRef = nullptr;
        if (o->kind == Kind::Volume) {
            *outParentRef = handleOf(lib.cameraObject(static_cast<VolumeObject *>(o)->camera));
        } else if (o->kind == Kind::Item) {
            auto *item = static_cast<ItemObject *>(o);
            if (auto parent = item->item->parent.lock()) {
                auto *p = lib.objects().adopt(new ItemObject);
                p->camera = item->camera;
                p->volume = item->volume;
                p->item = parent;
                *outParentRef = handleOf(p);
            } else if (item->volume) {
                auto *v = lib.objects().adopt(new VolumeObject);
                v->camera = item->camera;
                v->volume = item->volume;
                *outParentRef = handleOf(v);
            } else {
                *outParentRef = handleOf(lib.cameraObject(item->camera));
            }
        } else if (o->kind == Kind::Evf || o->kind == Kind::Image) {
            StreamObject *s = o->kind == Kind::Evf ? static_cast<EvfObject *>(o)->stream
                                                   : static_cast<ImageObject *>(o)->stream;
            ++s->refs;
            *outParentRef = handleOf(s);
        }
        return kOk;
    });
}

// -------------------------------------------------------------------------------------------------
// Cameras and sessions
// -------------------------------------------------------------------------------------------------

EDSAPI EdsGetCameraList(EdsCameraListRef *outCameraListRef)
{
    Call call("EdsGetCameraList");
    call.args().ptr(outCameraListRef);
    return call.run([&]() -> EdsError {
        if (outCameraListRef == nullptr)
            return kInvalidPointer;
        EosLibrary &lib = library();
        auto *list = lib.objects().adopt(new ListObject);
        for (const auto &camera : lib.cameras())
            if (camera->attached)
                list->cameras.push_back(camera);
        *outCameraListRef = handleOf(list);
        return kOk;
    });
}

EDSAPI EdsGetDeviceInfo(EdsCameraRef inCameraRef, EdsDeviceInfo *outDeviceInfo)
{
    Call call("EdsGetDeviceInfo");
    call.ref(inCameraRef).ptr(outDeviceInfo);
    return call.run([&]() -> EdsError {
        auto *cam = library().as<CameraObject>(inCameraRef, Kind::Camera);
        if (cam == nullptr)
            return kInvalidHandle;
        if (outDeviceInfo == nullptr)
            return kInvalidPointer;
        if (EdsError e = ready(cam, false, false))
            return e;
        std::memset(outDeviceInfo, 0, sizeof *outDeviceInfo);
        copyName(outDeviceInfo->szPortName, cam->camera->portName);
        copyName(outDeviceInfo->szDeviceDescription, cam->camera->description);
        outDeviceInfo->deviceSubType = cam->camera->subType;
        return kOk;
    });
}

EDSAPI EdsOpenSession(EdsCameraRef inCameraRef)
{
    Call call("EdsOpenSession");
    call.ref(inCameraRef);
    return call.run([&]() -> EdsError {
        auto *cam = library().as<CameraObject>(inCameraRef, Kind::Camera);
        if (EdsError e = ready(cam, false, true))
            return e;
        CameraState &st = library().state(cam->camera);
        if (st.sessionOpen)
            return kSessionAlreadyOpen;
        st.sessionOpen = true;
        return kOk;
    });
}

EDSAPI EdsCloseSession(EdsCameraRef inCameraRef)
{
    Call call("EdsCloseSession");
    call.ref(inCameraRef);
    return call.run([&]() -> EdsError {
        auto *cam = library().as<CameraObject>(inCameraRef, Kind::Camera);
        if (EdsError e = ready(cam, true, false))
            return e;
        CameraState &st = library().state(cam->camera);
        st.sessionOpen = false;
        st.recording = false;
        return kOk;
    });
}

// -------------------------------------------------------------------------------------------------
// Commands
// -------------------------------------------------------------------------------------------------

EDSAPI EdsSendCommand(EdsCameraRef inCameraRef, EdsCameraCommand inCommand, EdsInt32 inParam)
{
    Call call("EdsSendCommand");
    call.ref(inCameraRef).args().hex(inCommand).hex(static_cast<EdsUInt32>(inParam));
    return call.run([&]() -> EdsError {
        auto *cam = library().as<CameraObject>(inCameraRef, Kind::Camera);
        if (EdsError e = ready(cam, true, true))
            return e;
        return library().command(cam->camera, inCommand, inParam);
    });
}

EDSAPI EdsSendStatusCommand(EdsCameraRef inCameraRef, EdsCameraStatusCommand inStatusCommand, EdsInt32 inParam)
{
    Call call("EdsSendStatusCommand");
    call.ref(inCameraRef).args().hex(inStatusCommand).dec(inParam);
    return call.run([&]() -> EdsError {
        auto *cam = library().as<CameraObject>(inCameraRef, Kind::Camera);
        if (EdsError e = ready(cam, true, true))
            return e;
        CameraState &st = library().state(cam->camera);
        switch (inStatusCommand) {
        case kStatusUiLock:
            st.uiLocked = true;
            return kOk;
        case kStatusUiUnlock:
            st.uiLocked = false;
            return kOk;
        case kStatusEnterDirectTransfer:
        case kStatusExitDirectTransfer:
            return kOk;
        default:
            return kInvalidParameter;
        }
    });
}

EDSAPI EdsSetCapacity(EdsCameraRef inCameraRef, EdsCapacity inCapacity)
{
    Call call("EdsSetCapacity");
    call.ref(inCameraRef)
        .args()
        .dec(inCapacity.numberOfFreeClusters)
        .dec(inCapacity.bytesPerSector)
        .dec(inCapacity.reset);
    return call.run([&]() -> EdsError {
        auto *cam = library().as<CameraObject>(inCameraRef, Kind::Camera);
        if (EdsError e = ready(cam, true, true))
            return e;
        if (inCapacity.numberOfFreeClusters < 0 || inCapacity.bytesPerSector <= 0)
            return kInvalidParameter;
        library().state(cam->camera).hostCapacity = static_cast<std::uint64_t>(inCapacity.numberOfFreeClusters) *
                                                    static_cast<std::uint64_t>(inCapacity.bytesPerSector);
        library().postProperty(cam->camera, kPropertyEventChanged, kPropAvailableShots);
        return kOk;
    });
}

// -------------------------------------------------------------------------------------------------
// Event handlers
// -------------------------------------------------------------------------------------------------

EDSAPI EdsSetCameraAddedHandler(EdsCameraAddedHandler inCameraAddedHandler, EdsVoid *inContext)
{
    Call call("EdsSetCameraAddedHandler");
    call.args().ptr(reinterpret_cast<const void *>(inCameraAddedHandler), "fn").ptr(inContext, "ctx");
    return call.run([&]() -> EdsError {
        library().addedHandler = inCameraAddedHandler;
        library().addedContext = inContext;
        return kOk;
    });
}

EDSAPI EdsSetPropertyEventHandler(EdsCameraRef inCameraRef, EdsPropertyEvent inEvent,
                                  EdsPropertyEventHandler inPropertyEventHandler, EdsVoid *inContext)
{
    Call call("EdsSetPropertyEventHandler");
    call.ref(inCameraRef)
        .args()
        .hex(inEvent)
        .ptr(reinterpret_cast<const void *>(inPropertyEventHandler), "fn")
        .ptr(inContext, "ctx");
    return call.run([&] {
        return setHandler(inCameraRef, inEvent, kPropertyEventAll, inPropertyEventHandler, inContext,
                          &CameraState::propertyHandler, &CameraState::propertyEvent, &CameraState::propertyContext);
    });
}

EDSAPI EdsSetObjectEventHandler(EdsCameraRef inCameraRef, EdsObjectEvent inEvent,
                                EdsObjectEventHandler inObjectEventHandler, EdsVoid *inContext)
{
    Call call("EdsSetObjectEventHandler");
    call.ref(inCameraRef)
        .args()
        .hex(inEvent)
        .ptr(reinterpret_cast<const void *>(inObjectEventHandler), "fn")
        .ptr(inContext, "ctx");
    return call.run([&] {
        return setHandler(inCameraRef, inEvent, kObjectEventAll, inObjectEventHandler, inContext,
                          &CameraState::objectHandler, &CameraState::objectEvent, &CameraState::objectContext);
    });
}

EDSAPI EdsSetCameraStateEventHandler(EdsCameraRef inCameraRef, EdsStateEvent inEvent,
                                     EdsStateEventHandler inStateEventHandler, EdsVoid *inContext)
{
    Call call("EdsSetCameraStateEventHandler");
    call.ref(inCameraRef)
        .args()
        .hex(inEvent)
        .ptr(reinterpret_cast<const void *>(inStateEventHandler), "fn")
        .ptr(inContext, "ctx");
    return call.run([&] {
        return setHandler(inCameraRef, inEvent, kStateEventAll, inStateEventHandler, inContext,
                          &CameraState::stateHandler, &CameraState::stateEvent, &CameraState::stateContext);
    });
}

EDSAPI EdsGetEvent()
{
    EosLibrary &lib = library();
    // In "getEvent" delivery the queued callbacks run here, on the caller's thread, without
    // the library lock (they call the SDK themselves).
    if (lib.initialized && lib.pump().mode() == EventPump::Mode::Manual)
        lib.pump().drain();
    Call call("EdsGetEvent");
    return call.run([] { return kOk; });
}

// -------------------------------------------------------------------------------------------------
// Control API
// -------------------------------------------------------------------------------------------------

TBX_SIM_CONTROL_EXPORTS(TBX_EDS_EXPORT, TBX_EDS_CALL, tbx::sim::eds::library())
