// The exported entry points of the EOS stand-in. Each one: a fault armed for it answers first;
// otherwise it checks every reference and pointer, works on the virtual camera under the
// library lock, and writes one line to the call log.
#include <algorithm>
#include <cstring>
#include <string>

#include "Content.h"
#include "EdsExports.h"
#include "EosLibrary.h"
#include "platform/VersionNote.h"

TBX_ELF_VERSION_NOTE(13, 10, 20, 0);

namespace tbx::sim::eds {
namespace {

/// One entry-point call: its log line, the fault check and the lock.
class Call {
public:
    explicit Call(const char *name) : name_(name), line_(name), lib_(library()) { lib_.ensureLoaded(); }

    Call &ref(const void *r) {
        std::lock_guard lock(lib_.mutex());
        line_.raw(lib_.describe(r));
        return *this;
    }
    Call &ptr(const void *p, const char *what = "out") {
        line_.ptr(p, what);
        return *this;
    }
    CallLine &args() { return line_; }

    template <class Body>
    EdsError run(Body &&body) {
        EdsError result;
        if (auto fault = lib_.faults().take(name_)) {
            result = *fault;
        } else {
            std::lock_guard lock(lib_.mutex());
            // Before EdsInitializeSDK only the start and the end of the SDK are answered.
            const bool lifetime = std::strcmp(name_, "EdsInitializeSDK") == 0 || std::strcmp(name_, "EdsTerminateSDK") == 0;
            result = lib_.initialized || lifetime ? body() : kInternalError;
        }
        lib_.callLog().add(line_.finish(result));
        return result;
    }

private:
    const char *name_;
    CallLine line_;
    EosLibrary &lib_;
};

EdsBaseRef handleOf(Object *o) { return reinterpret_cast<EdsBaseRef>(o); }

/// The camera behind a camera reference, checked for attachment, session and busy state.
EdsError ready(CameraObject *object, bool needSession, bool canBeBusy) {
    if (object == nullptr) return kInvalidHandle;
    if (!object->camera->attached) return kCommDisconnected;
    if (needSession && !library().state(object->camera).sessionOpen) return kSessionNotOpen;
    if (canBeBusy && object->camera->takeBusy()) return kDeviceBusy;
    return kOk;
}

EdsError readyCamera(const std::shared_ptr<Camera> &camera, bool canBeBusy) {
    if (!camera->attached) return kCommDisconnected;
    if (!library().state(camera).sessionOpen) return kSessionNotOpen;
    if (canBeBusy && camera->takeBusy()) return kDeviceBusy;
    return kOk;
}

void copyName(char *target, const std::string &text) {
    const std::size_t n = std::min<std::size_t>(text.size(), 255);
    std::memcpy(target, text.data(), n);
    target[n] = 0;
}

EdsError getProperty(EosLibrary &lib, EdsBaseRef ref, EdsPropertyID id, EdsInt32 param, Property &out) {
    Object *o = lib.find(ref);
    if (o == nullptr) return kInvalidHandle;
    if (o->kind == Kind::Camera) {
        auto *cam = static_cast<CameraObject *>(o);
        if (EdsError e = ready(cam, true, true)) return e;
        return lib.readProperty(cam->camera, id, param, out);
    }
    if (o->kind == Kind::Evf) {
        auto *evf = static_cast<EvfObject *>(o);
        auto it = evf->meta.find(id);
        if (it == evf->meta.end()) return kPropertiesUnavailable;
        out = it->second;
        return kOk;
    }
    return kNotSupported;
}

EdsError newStream(EosLibrary &lib, StreamObject *stream, EdsStreamRef *out) {
    *out = handleOf(lib.adopt(stream));
    return kOk;
}

EdsError openFile(EosLibrary &lib, const std::string &utf8Name, const EdsWChar *wideName, EdsFileCreateDisposition disposition,
                  EdsAccess access, EdsStreamRef *out) {
    if (disposition < 0 || disposition > 4 || access < 0 || access > 2) return kInvalidParameter;
    auto exists = [&] {
#if defined(_WIN32)
        std::FILE *f = wideName ? _wfopen(wideName, L"rb") : std::fopen(utf8Name.c_str(), "rb");
#else
        (void)wideName;
        std::FILE *f = std::fopen(utf8Name.c_str(), "rb");
#endif
        if (f) std::fclose(f);
        return f != nullptr;
    }();
    if (disposition == 0 && exists) return kFileAlreadyExists;  // create new
    if ((disposition == 2 || disposition == 4) && !exists) return kFileNotFound;
    const bool truncate = disposition == 1 || disposition == 4 || !exists;
    const char *mode = truncate ? "w+b" : (access == 0 ? "rb" : "r+b");
#if defined(_WIN32)
    std::FILE *file = nullptr;
    if (wideName) {
        std::wstring wmode(mode, mode + std::strlen(mode));
        file = _wfopen(wideName, wmode.c_str());
    } else {
        file = std::fopen(utf8Name.c_str(), mode);
    }
#else
    std::FILE *file = std::fopen(utf8Name.c_str(), mode);
#endif
    if (file == nullptr) return kFileOpenError;
    auto *stream = new StreamObject;
    stream->type = StreamObject::Type::File;
    stream->file = file;
    stream->readable = access != 1;
    stream->writable = access != 0;
    if (!truncate) {
        std::fseek(file, 0, SEEK_END);
        const long end = std::ftell(file);
        stream->fileLength = end > 0 ? static_cast<std::uint64_t>(end) : 0;
    }
    return newStream(lib, stream, out);
}

std::string utf8Of(const EdsWChar *text) {
    std::string out;
    for (const EdsWChar *p = text; *p != 0 && out.size() < 4096; ++p) {
        auto c = static_cast<std::uint32_t>(*p);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

template <class Handler>
EdsError setHandler(EdsCameraRef camera, EdsUInt32 event, EdsUInt32 group, Handler handler, void *context,
                    Handler CameraState::*slot, EdsUInt32 CameraState::*eventSlot, void *CameraState::*contextSlot) {
    auto *cam = library().as<CameraObject>(camera, Kind::Camera);
    if (cam == nullptr) return kInvalidHandle;
    if (event < group || event > group + 0xFF) return kInvalidParameter;
    CameraState &st = library().state(cam->camera);
    st.*slot = handler;
    st.*eventSlot = event;
    st.*contextSlot = context;
    return kOk;
}

}  // namespace
}  // namespace tbx::sim::eds

using namespace tbx::sim;
using namespace tbx::sim::eds;

#define EDSAPI extern "C" TBX_EDS_EXPORT EdsError TBX_EDS_CALL

// -------------------------------------------------------------------------------------------------
// SDK lifetime
// -------------------------------------------------------------------------------------------------

EDSAPI EdsInitializeSDK() {
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

EDSAPI EdsTerminateSDK() {
    EosLibrary &lib = library();
    // The event thread may wait for the lock to deliver: stop it before taking the lock.
    if (!lib.pump().onWorker()) lib.pump().stop();
    Call call("EdsTerminateSDK");
    return call.run([&lib] {
        lib.pump().stop();
        for (const auto &camera : lib.cameras()) lib.state(camera) = CameraState{};
        lib.freeAll();
        lib.addedHandler = nullptr;
        lib.addedContext = nullptr;
        lib.initialized = false;
        return kOk;
    });
}

// -------------------------------------------------------------------------------------------------
// Objects and tree
// -------------------------------------------------------------------------------------------------

extern "C" TBX_EDS_EXPORT EdsUInt32 TBX_EDS_CALL EdsRetain(EdsBaseRef inRef) {
    Call call("EdsRetain");
    call.ref(inRef);
    return call.run([&]() -> EdsUInt32 {
        Object *o = library().find(inRef);
        if (o == nullptr || o->refs >= 0xFFFF) return kRefError;
        return ++o->refs;
    });
}

extern "C" TBX_EDS_EXPORT EdsUInt32 TBX_EDS_CALL EdsRelease(EdsBaseRef inRef) {
    Call call("EdsRelease");
    call.ref(inRef);
    return call.run([&]() -> EdsUInt32 {
        Object *o = library().find(inRef);
        if (o == nullptr) return kRefError;
        return library().release(o);
    });
}

EDSAPI EdsGetChildCount(EdsBaseRef inRef, EdsUInt32 *outCount) {
    Call call("EdsGetChildCount");
    call.ref(inRef).ptr(outCount);
    return call.run([&]() -> EdsError {
        Object *o = library().find(inRef);
        if (o == nullptr) return kInvalidHandle;
        if (outCount == nullptr) return kInvalidPointer;
        switch (o->kind) {
        case Kind::List:
            *outCount = static_cast<EdsUInt32>(static_cast<ListObject *>(o)->cameras.size());
            return kOk;
        case Kind::Camera: {
            auto *cam = static_cast<CameraObject *>(o);
            if (EdsError e = ready(cam, true, false)) return e;
            *outCount = static_cast<EdsUInt32>(cam->camera->volumes.size());
            return kOk;
        }
        case Kind::Volume: {
            auto *vol = static_cast<VolumeObject *>(o);
            if (EdsError e = readyCamera(vol->camera, false)) return e;
            *outCount = static_cast<EdsUInt32>(vol->volume->items.size());
            return kOk;
        }
        case Kind::Item: {
            auto *item = static_cast<ItemObject *>(o);
            if (EdsError e = readyCamera(item->camera, false)) return e;
            if (!item->item->isFolder()) return kNotSupported;
            *outCount = static_cast<EdsUInt32>(item->item->children.size());
            return kOk;
        }
        default:
            return kNotSupported;
        }
    });
}

EDSAPI EdsGetChildAtIndex(EdsBaseRef inRef, EdsInt32 inIndex, EdsBaseRef *outRef) {
    Call call("EdsGetChildAtIndex");
    call.ref(inRef).args().dec(inIndex).ptr(outRef);
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        Object *o = lib.find(inRef);
        if (o == nullptr) return kInvalidHandle;
        if (outRef == nullptr) return kInvalidPointer;
        *outRef = nullptr;
        if (inIndex < 0) return kInvalidIndex;
        const auto index = static_cast<std::size_t>(inIndex);
        switch (o->kind) {
        case Kind::List: {
            auto *list = static_cast<ListObject *>(o);
            if (index >= list->cameras.size()) return kInvalidIndex;
            *outRef = handleOf(lib.cameraObject(list->cameras[index]));
            return kOk;
        }
        case Kind::Camera: {
            auto *cam = static_cast<CameraObject *>(o);
            if (EdsError e = ready(cam, true, false)) return e;
            if (index >= cam->camera->volumes.size()) return kInvalidIndex;
            auto *vol = lib.adopt(new VolumeObject);
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
                if (!item->item->isFolder()) return kNotSupported;
                camera = item->camera;
                volume = item->volume;
                children = &item->item->children;
            }
            if (EdsError e = readyCamera(camera, false)) return e;
            if (index >= children->size()) return kInvalidIndex;
            auto *child = lib.adopt(new ItemObject);
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

EDSAPI EdsGetParent(EdsBaseRef inRef, EdsBaseRef *outParentRef) {
    Call call("EdsGetParent");
    call.ref(inRef).ptr(outParentRef);
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        Object *o = lib.find(inRef);
        if (o == nullptr) return kInvalidHandle;
        if (outParentRef == nullptr) return kInvalidPointer;
        *outParentRef = nullptr;
        if (o->kind == Kind::Volume) {
            *outParentRef = handleOf(lib.cameraObject(static_cast<VolumeObject *>(o)->camera));
        } else if (o->kind == Kind::Item) {
            auto *item = static_cast<ItemObject *>(o);
            if (auto parent = item->item->parent.lock()) {
                auto *p = lib.adopt(new ItemObject);
                p->camera = item->camera;
                p->volume = item->volume;
                p->item = parent;
                *outParentRef = handleOf(p);
            } else if (item->volume) {
                auto *v = lib.adopt(new VolumeObject);
                v->camera = item->camera;
                v->volume = item->volume;
                *outParentRef = handleOf(v);
            } else {
                *outParentRef = handleOf(lib.cameraObject(item->camera));
            }
        } else if (o->kind == Kind::Evf || o->kind == Kind::Image) {
            StreamObject *s = o->kind == Kind::Evf ? static_cast<EvfObject *>(o)->stream : static_cast<ImageObject *>(o)->stream;
            ++s->refs;
            *outParentRef = handleOf(s);
        }
        return kOk;
    });
}

// -------------------------------------------------------------------------------------------------
// Properties
// -------------------------------------------------------------------------------------------------

EDSAPI EdsGetPropertySize(EdsBaseRef inRef, EdsPropertyID inPropertyID, EdsInt32 inParam, EdsDataType *outDataType,
                          EdsUInt32 *outSize) {
    Call call("EdsGetPropertySize");
    call.ref(inRef).args().hex(inPropertyID).dec(inParam).ptr(outDataType).ptr(outSize);
    return call.run([&]() -> EdsError {
        if (library().find(inRef) == nullptr) return kInvalidHandle;
        if (outDataType == nullptr || outSize == nullptr) return kInvalidPointer;
        Property p;
        if (EdsError e = getProperty(library(), inRef, inPropertyID, inParam, p)) return e;
        *outDataType = static_cast<EdsDataType>(p.type);
        *outSize = static_cast<EdsUInt32>(p.text ? p.asText().size() + 1 : p.value.size());
        return kOk;
    });
}

EDSAPI EdsGetPropertyData(EdsBaseRef inRef, EdsPropertyID inPropertyID, EdsInt32 inParam, EdsUInt32 inPropertySize,
                          EdsVoid *outPropertyData) {
    Call call("EdsGetPropertyData");
    call.ref(inRef).args().hex(inPropertyID).dec(inParam).udec(inPropertySize).ptr(outPropertyData);
    return call.run([&]() -> EdsError {
        if (library().find(inRef) == nullptr) return kInvalidHandle;
        if (outPropertyData == nullptr) return kInvalidPointer;
        if (inPropertySize == 0) return kInvalidLength;
        Property p;
        if (EdsError e = getProperty(library(), inRef, inPropertyID, inParam, p)) return e;
        // A smaller buffer takes the first bytes (a text is cut and stays terminated); a larger
        // one takes the whole value, and a text is padded with zeros.
        auto *out = static_cast<std::uint8_t *>(outPropertyData);
        if (p.text) {
            const std::string text = p.asText();
            const std::size_t n = std::min<std::size_t>(text.size(), inPropertySize - 1);
            std::memcpy(out, text.data(), n);
            std::memset(out + n, 0, inPropertySize - n);
        } else {
            std::memcpy(out, p.value.data(), std::min<std::size_t>(p.value.size(), inPropertySize));
        }
        return kOk;
    });
}

EDSAPI EdsSetPropertyData(EdsBaseRef inRef, EdsPropertyID inPropertyID, EdsInt32 inParam, EdsUInt32 inPropertySize,
                          const EdsVoid *inPropertyData) {
    Call call("EdsSetPropertyData");
    {
        std::lock_guard lock(library().mutex());
        bool text = false;
        if (auto *cam = library().as<CameraObject>(inRef, Kind::Camera))
            if (Property *p = cam->camera->property(inPropertyID)) text = p->text;
        call.ref(inRef).args().hex(inPropertyID).dec(inParam).udec(inPropertySize).data(inPropertyData, inPropertySize, text);
    }
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        Object *o = lib.find(inRef);
        if (o == nullptr) return kInvalidHandle;
        if (o->kind != Kind::Camera) return kNotSupported;
        if (inPropertyData == nullptr) return kInvalidPointer;
        if (inPropertySize == 0) return kInvalidLength;
        auto *cam = static_cast<CameraObject *>(o);
        if (inPropertyID == kPropUnlockLimited) {
            // Limited properties are opened with a key before the session starts.
            if (!cam->camera->attached) return kCommDisconnected;
            if (inPropertySize != 4) return kInvalidLength;
            EdsUInt32 target = 0;
            std::memcpy(&target, inPropertyData, 4);
            Property *p = cam->camera->property(target);
            if (p == nullptr || p->unlockKey == 0 || p->unlockKey != static_cast<EdsUInt32>(inParam)) return kInvalidParameter;
            p->unlocked = true;
            return kOk;
        }
        if (EdsError e = ready(cam, true, true)) return e;
        return lib.writeProperty(cam->camera, inPropertyID, inParam, inPropertyData, inPropertySize);
    });
}

EDSAPI EdsGetPropertyDesc(EdsBaseRef inRef, EdsPropertyID inPropertyID, EdsPropertyDesc *outPropertyDesc) {
    Call call("EdsGetPropertyDesc");
    call.ref(inRef).args().hex(inPropertyID).ptr(outPropertyDesc);
    return call.run([&]() -> EdsError {
        auto *cam = library().as<CameraObject>(inRef, Kind::Camera);
        if (cam == nullptr) return library().find(inRef) ? kNotSupported : kInvalidHandle;
        if (outPropertyDesc == nullptr) return kInvalidPointer;
        if (EdsError e = ready(cam, true, true)) return e;
        Property *p = cam->camera->property(inPropertyID);
        if (p == nullptr || (inPropertyID == kPropPowerZoomSpeed && !cam->camera->powerZoom)) return kPropertiesUnavailable;
        if (!p->hasDesc) return kInvalidParameter;
        std::memset(outPropertyDesc, 0, sizeof *outPropertyDesc);
        outPropertyDesc->form = 0;
        outPropertyDesc->access = p->writable ? 2 : 0;
        const std::size_t n = std::min<std::size_t>(p->allowed.size(), 128);
        outPropertyDesc->numElements = static_cast<EdsInt32>(n);
        std::copy_n(p->allowed.begin(), n, outPropertyDesc->propDesc);
        return kOk;
    });
}

// -------------------------------------------------------------------------------------------------
// Cameras and sessions
// -------------------------------------------------------------------------------------------------

EDSAPI EdsGetCameraList(EdsCameraListRef *outCameraListRef) {
    Call call("EdsGetCameraList");
    call.args().ptr(outCameraListRef);
    return call.run([&]() -> EdsError {
        if (outCameraListRef == nullptr) return kInvalidPointer;
        EosLibrary &lib = library();
        auto *list = lib.adopt(new ListObject);
        for (const auto &camera : lib.cameras())
            if (camera->attached) list->cameras.push_back(camera);
        *outCameraListRef = handleOf(list);
        return kOk;
    });
}

EDSAPI EdsGetDeviceInfo(EdsCameraRef inCameraRef, EdsDeviceInfo *outDeviceInfo) {
    Call call("EdsGetDeviceInfo");
    call.ref(inCameraRef).ptr(outDeviceInfo);
    return call.run([&]() -> EdsError {
        auto *cam = library().as<CameraObject>(inCameraRef, Kind::Camera);
        if (cam == nullptr) return kInvalidHandle;
        if (outDeviceInfo == nullptr) return kInvalidPointer;
        if (EdsError e = ready(cam, false, false)) return e;
        std::memset(outDeviceInfo, 0, sizeof *outDeviceInfo);
        copyName(outDeviceInfo->szPortName, cam->camera->portName);
        copyName(outDeviceInfo->szDeviceDescription, cam->camera->description);
        outDeviceInfo->deviceSubType = cam->camera->subType;
        return kOk;
    });
}

EDSAPI EdsOpenSession(EdsCameraRef inCameraRef) {
    Call call("EdsOpenSession");
    call.ref(inCameraRef);
    return call.run([&]() -> EdsError {
        auto *cam = library().as<CameraObject>(inCameraRef, Kind::Camera);
        if (EdsError e = ready(cam, false, true)) return e;
        CameraState &st = library().state(cam->camera);
        if (st.sessionOpen) return kSessionAlreadyOpen;
        st.sessionOpen = true;
        return kOk;
    });
}

EDSAPI EdsCloseSession(EdsCameraRef inCameraRef) {
    Call call("EdsCloseSession");
    call.ref(inCameraRef);
    return call.run([&]() -> EdsError {
        auto *cam = library().as<CameraObject>(inCameraRef, Kind::Camera);
        if (EdsError e = ready(cam, true, false)) return e;
        CameraState &st = library().state(cam->camera);
        st.sessionOpen = false;
        st.recording = false;
        return kOk;
    });
}

// -------------------------------------------------------------------------------------------------
// Commands
// -------------------------------------------------------------------------------------------------

EDSAPI EdsSendCommand(EdsCameraRef inCameraRef, EdsCameraCommand inCommand, EdsInt32 inParam) {
    Call call("EdsSendCommand");
    call.ref(inCameraRef).args().hex(inCommand).hex(static_cast<EdsUInt32>(inParam));
    return call.run([&]() -> EdsError {
        auto *cam = library().as<CameraObject>(inCameraRef, Kind::Camera);
        if (EdsError e = ready(cam, true, true)) return e;
        return library().command(cam->camera, inCommand, inParam);
    });
}

EDSAPI EdsSendStatusCommand(EdsCameraRef inCameraRef, EdsCameraStatusCommand inStatusCommand, EdsInt32 inParam) {
    Call call("EdsSendStatusCommand");
    call.ref(inCameraRef).args().hex(inStatusCommand).dec(inParam);
    return call.run([&]() -> EdsError {
        auto *cam = library().as<CameraObject>(inCameraRef, Kind::Camera);
        if (EdsError e = ready(cam, true, true)) return e;
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

EDSAPI EdsSetCapacity(EdsCameraRef inCameraRef, EdsCapacity inCapacity) {
    Call call("EdsSetCapacity");
    call.ref(inCameraRef).args().dec(inCapacity.numberOfFreeClusters).dec(inCapacity.bytesPerSector).dec(inCapacity.reset);
    return call.run([&]() -> EdsError {
        auto *cam = library().as<CameraObject>(inCameraRef, Kind::Camera);
        if (EdsError e = ready(cam, true, true)) return e;
        if (inCapacity.numberOfFreeClusters < 0 || inCapacity.bytesPerSector <= 0) return kInvalidParameter;
        library().state(cam->camera).hostCapacity = static_cast<std::uint64_t>(inCapacity.numberOfFreeClusters) *
                                                    static_cast<std::uint64_t>(inCapacity.bytesPerSector);
        library().postProperty(cam->camera, kPropertyEventChanged, kPropAvailableShots);
        return kOk;
    });
}

// -------------------------------------------------------------------------------------------------
// Volumes and items
// -------------------------------------------------------------------------------------------------

EDSAPI EdsGetVolumeInfo(EdsVolumeRef inVolumeRef, EdsVolumeInfo *outVolumeInfo) {
    Call call("EdsGetVolumeInfo");
    call.ref(inVolumeRef).ptr(outVolumeInfo);
    return call.run([&]() -> EdsError {
        auto *vol = library().as<VolumeObject>(inVolumeRef, Kind::Volume);
        if (vol == nullptr) return kInvalidHandle;
        if (outVolumeInfo == nullptr) return kInvalidPointer;
        if (EdsError e = readyCamera(vol->camera, false)) return e;
        std::memset(outVolumeInfo, 0, sizeof *outVolumeInfo);
        outVolumeInfo->storageType = vol->volume->storageType;
        outVolumeInfo->access = vol->volume->writeProtected ? 0 : 2;
        outVolumeInfo->maxCapacity = vol->volume->capacity;
        outVolumeInfo->freeSpaceInBytes = vol->volume->freeBytes();
        copyName(outVolumeInfo->szVolumeLabel, vol->volume->label);
        return kOk;
    });
}

EDSAPI EdsFormatVolume(EdsVolumeRef inVolumeRef) {
    Call call("EdsFormatVolume");
    call.ref(inVolumeRef);
    return call.run([&]() -> EdsError {
        auto *vol = library().as<VolumeObject>(inVolumeRef, Kind::Volume);
        if (vol == nullptr) return kInvalidHandle;
        if (EdsError e = readyCamera(vol->camera, true)) return e;
        if (vol->volume->writeProtected) return kNotSupported;
        for (auto &item : vol->volume->items) item->removed = true;
        vol->volume->items.clear();
        library().postObject(vol->camera, kObjectEventVolumeUpdateItems, vol->volume, nullptr);
        return kOk;
    });
}

EDSAPI EdsGetDirectoryItemInfo(EdsDirectoryItemRef inDirItemRef, EdsDirectoryItemInfo *outDirItemInfo) {
    Call call("EdsGetDirectoryItemInfo");
    call.ref(inDirItemRef).ptr(outDirItemInfo);
    return call.run([&]() -> EdsError {
        auto *item = library().as<ItemObject>(inDirItemRef, Kind::Item);
        if (item == nullptr) return kInvalidHandle;
        if (outDirItemInfo == nullptr) return kInvalidPointer;
        if (!item->camera->attached) return kCommDisconnected;
        std::memset(outDirItemInfo, 0, sizeof *outDirItemInfo);
        Item &i = *item->item;
        outDirItemInfo->size = i.size();
        outDirItemInfo->isFolder = i.isFolder() ? 1 : 0;
        outDirItemInfo->groupID = i.groupId;
        copyName(outDirItemInfo->szFileName, i.name);
        outDirItemInfo->format = i.format;
        outDirItemInfo->dateTime = static_cast<EdsUInt32>(i.time);
        return kOk;
    });
}

EDSAPI EdsDeleteDirectoryItem(EdsDirectoryItemRef inDirItemRef) {
    Call call("EdsDeleteDirectoryItem");
    call.ref(inDirItemRef);
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        auto *item = lib.as<ItemObject>(inDirItemRef, Kind::Item);
        if (item == nullptr) return kInvalidHandle;
        if (EdsError e = readyCamera(item->camera, true)) return e;
        if (item->volume && item->volume->writeProtected) return kNotSupported;
        if (item->item->attributes & 1) return kNotSupported;
        auto &pending = lib.state(item->camera).pending;
        pending.erase(std::remove(pending.begin(), pending.end(), item->item), pending.end());
        if (auto parent = item->item->parent.lock()) {
            auto &siblings = parent->children;
            siblings.erase(std::remove(siblings.begin(), siblings.end(), item->item), siblings.end());
        } else if (item->volume) {
            auto &top = item->volume->items;
            top.erase(std::remove(top.begin(), top.end(), item->item), top.end());
        }
        item->item->removed = true;
        lib.release(item);  // deleting gives up the caller's reference
        return kOk;
    });
}

// -------------------------------------------------------------------------------------------------
// Transfer
// -------------------------------------------------------------------------------------------------

EDSAPI EdsDownload(EdsDirectoryItemRef inDirItemRef, EdsUInt64 inReadSize, EdsStreamRef outStream) {
    Call call("EdsDownload");
    call.ref(inDirItemRef).args().udec(inReadSize);
    call.ref(outStream);
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        auto *item = lib.as<ItemObject>(inDirItemRef, Kind::Item);
        auto *stream = lib.as<StreamObject>(outStream, Kind::Stream);
        if (item == nullptr || stream == nullptr) return kInvalidHandle;
        if (EdsError e = readyCamera(item->camera, true)) return e;
        if (item->item->isFolder()) return kNotSupported;
        if (item->item->removed) return kFileNotFound;
        // Keep both alive while a progress callback might release them.
        ++item->refs;
        ++stream->refs;
        const EdsError e = lib.download(*item, inReadSize, *stream);
        lib.release(stream);
        lib.release(item);
        return e;
    });
}

namespace {
EdsError finishTransfer(EdsDirectoryItemRef ref) {
    EosLibrary &lib = library();
    auto *item = lib.as<ItemObject>(ref, Kind::Item);
    if (item == nullptr) return kInvalidHandle;
    if (!item->camera->attached) return kCommDisconnected;
    CameraState &st = lib.state(item->camera);
    st.pending.erase(std::remove(st.pending.begin(), st.pending.end(), item->item), st.pending.end());
    st.downloaded.erase(item->item.get());
    return kOk;
}
}  // namespace

EDSAPI EdsDownloadCancel(EdsDirectoryItemRef inDirItemRef) {
    Call call("EdsDownloadCancel");
    call.ref(inDirItemRef);
    return call.run([&] { return finishTransfer(inDirItemRef); });
}

EDSAPI EdsDownloadComplete(EdsDirectoryItemRef inDirItemRef) {
    Call call("EdsDownloadComplete");
    call.ref(inDirItemRef);
    return call.run([&] { return finishTransfer(inDirItemRef); });
}

EDSAPI EdsDownloadThumbnail(EdsDirectoryItemRef inDirItemRef, EdsStreamRef outStream) {
    Call call("EdsDownloadThumbnail");
    call.ref(inDirItemRef);
    call.ref(outStream);
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        auto *item = lib.as<ItemObject>(inDirItemRef, Kind::Item);
        auto *stream = lib.as<StreamObject>(outStream, Kind::Stream);
        if (item == nullptr || stream == nullptr) return kInvalidHandle;
        if (EdsError e = readyCamera(item->camera, true)) return e;
        if (item->item->isFolder() || item->item->kind == ItemKind::Other) return kNotSupported;
        if (item->item->removed) return kFileNotFound;
        const auto &thumb = item->item->thumbnail();
        if (!lib.carries(item->camera, thumb.size())) return kCommDisconnected;
        std::uint64_t written = 0;
        return stream->write(thumb.data(), thumb.size(), &written);
    });
}

// -------------------------------------------------------------------------------------------------
// Attributes
// -------------------------------------------------------------------------------------------------

EDSAPI EdsGetAttribute(EdsDirectoryItemRef inDirItemRef, EdsFileAttributes *outFileAttribute) {
    Call call("EdsGetAttribute");
    call.ref(inDirItemRef).ptr(outFileAttribute);
    return call.run([&]() -> EdsError {
        auto *item = library().as<ItemObject>(inDirItemRef, Kind::Item);
        if (item == nullptr) return kInvalidHandle;
        if (outFileAttribute == nullptr) return kInvalidPointer;
        if (EdsError e = readyCamera(item->camera, true)) return e;
        *outFileAttribute = static_cast<EdsFileAttributes>(item->item->attributes);
        return kOk;
    });
}

EDSAPI EdsSetAttribute(EdsDirectoryItemRef inDirItemRef, EdsFileAttributes inFileAttribute) {
    Call call("EdsSetAttribute");
    call.ref(inDirItemRef).args().hex(static_cast<EdsUInt32>(inFileAttribute));
    return call.run([&]() -> EdsError {
        auto *item = library().as<ItemObject>(inDirItemRef, Kind::Item);
        if (item == nullptr) return kInvalidHandle;
        if (EdsError e = readyCamera(item->camera, true)) return e;
        if ((inFileAttribute & ~0x27) != 0) return kInvalidParameter;
        item->item->attributes = static_cast<std::uint32_t>(inFileAttribute);
        return kOk;
    });
}

// -------------------------------------------------------------------------------------------------
// Streams
// -------------------------------------------------------------------------------------------------

EDSAPI EdsCreateFileStream(const EdsChar *inFileName, EdsFileCreateDisposition inCreateDisposition, EdsAccess inDesiredAccess,
                           EdsStreamRef *outStream) {
    Call call("EdsCreateFileStream");
    call.args().str(inFileName).dec(inCreateDisposition).dec(inDesiredAccess).ptr(outStream);
    return call.run([&]() -> EdsError {
        if (inFileName == nullptr || outStream == nullptr) return kInvalidPointer;
        *outStream = nullptr;
        if (*inFileName == 0) return kInvalidParameter;
        return openFile(library(), inFileName, nullptr, inCreateDisposition, inDesiredAccess, outStream);
    });
}

EDSAPI EdsCreateFileStreamEx(const EdsWChar *inFileName, EdsFileCreateDisposition inCreateDisposition,
                             EdsAccess inDesiredAccess, EdsStreamRef *outStream) {
    Call call("EdsCreateFileStreamEx");
    const std::string name = inFileName ? utf8Of(inFileName) : std::string();
    call.args().str(inFileName ? name.c_str() : nullptr).dec(inCreateDisposition).dec(inDesiredAccess).ptr(outStream);
    return call.run([&]() -> EdsError {
        if (inFileName == nullptr || outStream == nullptr) return kInvalidPointer;
        *outStream = nullptr;
        if (*inFileName == 0) return kInvalidParameter;
        return openFile(library(), name, inFileName, inCreateDisposition, inDesiredAccess, outStream);
    });
}

EDSAPI EdsCreateMemoryStream(EdsUInt64 inBufferSize, EdsStreamRef *outStream) {
    Call call("EdsCreateMemoryStream");
    call.args().udec(inBufferSize).ptr(outStream);
    return call.run([&]() -> EdsError {
        if (outStream == nullptr) return kInvalidPointer;
        *outStream = nullptr;
        if (inBufferSize > (1ull << 31)) return kMemAllocFailed;
        auto *stream = new StreamObject;
        stream->memory.reserve(static_cast<std::size_t>(inBufferSize));
        return newStream(library(), stream, outStream);
    });
}

EDSAPI EdsCreateMemoryStreamFromPointer(EdsVoid *inUserBuffer, EdsUInt64 inBufferSize, EdsStreamRef *outStream) {
    Call call("EdsCreateMemoryStreamFromPointer");
    call.args().ptr(inUserBuffer, "buffer").udec(inBufferSize).ptr(outStream);
    return call.run([&]() -> EdsError {
        if (inUserBuffer == nullptr || outStream == nullptr) return kInvalidPointer;
        *outStream = nullptr;
        if (inBufferSize == 0) return kInvalidLength;
        auto *stream = new StreamObject;
        stream->type = StreamObject::Type::Fixed;
        stream->fixed = static_cast<std::uint8_t *>(inUserBuffer);
        stream->fixedSize = inBufferSize;
        return newStream(library(), stream, outStream);
    });
}

extern "C" TBX_EDS_EXPORT EdsError TBX_EDS_CALL EdsCreateStream(EdsIStream *inStream, EdsStreamRef *outStreamRef) {
    Call call("EdsCreateStream");
    call.args().ptr(inStream, "stream").ptr(outStreamRef);
    return call.run([&]() -> EdsError {
        if (inStream == nullptr || outStreamRef == nullptr) return kInvalidPointer;
        *outStreamRef = nullptr;
        if (!inStream->read || !inStream->write || !inStream->seek || !inStream->tell || !inStream->getLength)
            return kInvalidPointer;
        auto *stream = new StreamObject;
        stream->type = StreamObject::Type::User;
        stream->user = *inStream;
        return newStream(library(), stream, outStreamRef);
    });
}

EDSAPI EdsGetPointer(EdsStreamRef inStream, EdsVoid **outPointer) {
    Call call("EdsGetPointer");
    call.ref(inStream).ptr(outPointer);
    return call.run([&]() -> EdsError {
        auto *stream = library().as<StreamObject>(inStream, Kind::Stream);
        if (stream == nullptr) return kInvalidHandle;
        if (outPointer == nullptr) return kInvalidPointer;
        if (stream->type == StreamObject::Type::Memory) {
            *outPointer = stream->memory.data();
            return kOk;
        }
        if (stream->type == StreamObject::Type::Fixed) {
            *outPointer = stream->fixed;
            return kOk;
        }
        *outPointer = nullptr;
        return kNotSupported;
    });
}

EDSAPI EdsRead(EdsStreamRef inStreamRef, EdsUInt64 inReadSize, EdsVoid *outBuffer, EdsUInt64 *outReadSize) {
    Call call("EdsRead");
    call.ref(inStreamRef).args().udec(inReadSize).ptr(outBuffer, "buffer").ptr(outReadSize);
    return call.run([&]() -> EdsError {
        auto *stream = library().as<StreamObject>(inStreamRef, Kind::Stream);
        if (stream == nullptr) return kInvalidHandle;
        if (outReadSize == nullptr || (outBuffer == nullptr && inReadSize > 0)) return kInvalidPointer;
        return stream->read(outBuffer, inReadSize, outReadSize);
    });
}

EDSAPI EdsWrite(EdsStreamRef inStreamRef, EdsUInt64 inWriteSize, const EdsVoid *inBuffer, EdsUInt64 *outWrittenSize) {
    Call call("EdsWrite");
    call.ref(inStreamRef).args().udec(inWriteSize).ptr(inBuffer, "buffer").ptr(outWrittenSize);
    return call.run([&]() -> EdsError {
        auto *stream = library().as<StreamObject>(inStreamRef, Kind::Stream);
        if (stream == nullptr) return kInvalidHandle;
        if (outWrittenSize == nullptr || (inBuffer == nullptr && inWriteSize > 0)) return kInvalidPointer;
        return stream->write(inBuffer, inWriteSize, outWrittenSize);
    });
}

EDSAPI EdsSeek(EdsStreamRef inStreamRef, EdsInt64 inSeekOffset, EdsSeekOrigin inSeekOrigin) {
    Call call("EdsSeek");
    call.ref(inStreamRef).args().dec(inSeekOffset).dec(inSeekOrigin);
    return call.run([&]() -> EdsError {
        auto *stream = library().as<StreamObject>(inStreamRef, Kind::Stream);
        if (stream == nullptr) return kInvalidHandle;
        return stream->seek(inSeekOffset, inSeekOrigin);
    });
}

EDSAPI EdsGetPosition(EdsStreamRef inStreamRef, EdsUInt64 *outPosition) {
    Call call("EdsGetPosition");
    call.ref(inStreamRef).ptr(outPosition);
    return call.run([&]() -> EdsError {
        auto *stream = library().as<StreamObject>(inStreamRef, Kind::Stream);
        if (stream == nullptr) return kInvalidHandle;
        if (outPosition == nullptr) return kInvalidPointer;
        if (stream->type == StreamObject::Type::User) {
            EdsInt32 position = 0;
            const EdsError e = stream->user.tell(stream->user.context, &position);
            *outPosition = position < 0 ? 0 : static_cast<EdsUInt64>(position);
            return e;
        }
        *outPosition = stream->position;
        return kOk;
    });
}

EDSAPI EdsGetLength(EdsStreamRef inStreamRef, EdsUInt64 *outLength) {
    Call call("EdsGetLength");
    call.ref(inStreamRef).ptr(outLength);
    return call.run([&]() -> EdsError {
        auto *stream = library().as<StreamObject>(inStreamRef, Kind::Stream);
        if (stream == nullptr) return kInvalidHandle;
        if (outLength == nullptr) return kInvalidPointer;
        return stream->length(outLength);
    });
}

EDSAPI EdsCopyData(EdsStreamRef inStreamRef, EdsUInt64 inWriteSize, EdsStreamRef outStreamRef) {
    Call call("EdsCopyData");
    call.ref(inStreamRef).args().udec(inWriteSize);
    call.ref(outStreamRef);
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        auto *from = lib.as<StreamObject>(inStreamRef, Kind::Stream);
        auto *to = lib.as<StreamObject>(outStreamRef, Kind::Stream);
        if (from == nullptr || to == nullptr) return kInvalidHandle;
        StreamObject *reporter = from->progress ? from : to->progress ? to : nullptr;
        std::vector<std::uint8_t> buffer(64 * 1024);
        std::uint64_t done = 0;
        while (done < inWriteSize) {
            std::uint64_t got = 0;
            EdsError e = from->read(buffer.data(), std::min<std::uint64_t>(buffer.size(), inWriteSize - done), &got);
            if (e != kOk) return e;
            if (got == 0) return kStreamEndOfStream;
            std::uint64_t put = 0;
            e = to->write(buffer.data(), got, &put);
            if (e != kOk) return e;
            done += got;
            if (reporter && reporter->progressOption == 2 && done < inWriteSize) {
                EdsBool cancel = 0;
                reporter->progress(static_cast<EdsUInt32>(done * 100 / inWriteSize), reporter->progressContext, &cancel);
                if (cancel) return kOperationCancelled;
            }
        }
        if (reporter && reporter->progressOption != 0) {
            EdsBool cancel = 0;
            reporter->progress(100, reporter->progressContext, &cancel);
        }
        return kOk;
    });
}

EDSAPI EdsSetProgressCallback(EdsBaseRef inRef, EdsProgressCallback inProgressFunc, EdsProgressOption inProgressOption,
                              EdsVoid *inContext) {
    Call call("EdsSetProgressCallback");
    call.ref(inRef).args().ptr(reinterpret_cast<const void *>(inProgressFunc), "fn").dec(inProgressOption).ptr(inContext, "ctx");
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        Object *o = lib.find(inRef);
        if (o == nullptr) return kInvalidHandle;
        if (inProgressOption < 0 || inProgressOption > 2) return kInvalidParameter;
        if (inProgressFunc == nullptr && inProgressOption != 0) return kInvalidPointer;
        StreamObject *stream = o->kind == Kind::Stream  ? static_cast<StreamObject *>(o)
                               : o->kind == Kind::Image ? static_cast<ImageObject *>(o)->stream
                                                        : nullptr;
        if (stream == nullptr) return kNotSupported;
        stream->progress = inProgressFunc;
        stream->progressOption = inProgressOption;
        stream->progressContext = inContext;
        return kOk;
    });
}

// -------------------------------------------------------------------------------------------------
// Images
// -------------------------------------------------------------------------------------------------

EDSAPI EdsCreateImageRef(EdsStreamRef inStreamRef, EdsImageRef *outImageRef) {
    Call call("EdsCreateImageRef");
    call.ref(inStreamRef).ptr(outImageRef);
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        auto *stream = lib.as<StreamObject>(inStreamRef, Kind::Stream);
        if (stream == nullptr) return kInvalidHandle;
        if (outImageRef == nullptr) return kInvalidPointer;
        *outImageRef = nullptr;
        std::vector<std::uint8_t> bytes;
        if (EdsError e = stream->readAll(bytes)) return e;
        auto size = jpegSize(bytes.data(), bytes.size());
        if (!size) return kFileFormatUnrecognized;
        auto *image = lib.adopt(new ImageObject);
        image->stream = stream;
        ++stream->refs;
        image->bytes = std::move(bytes);
        image->width = size->first;
        image->height = size->second;
        *outImageRef = handleOf(image);
        return kOk;
    });
}

namespace {
bool sourceSize(const ImageObject &image, EdsImageSource source, int &w, int &h) {
    if (source == 0 || source == 2) {
        w = image.width;
        h = image.height;
        return true;
    }
    if (source == 1) {
        w = 160;
        h = std::max(1, 160 * image.height / std::max(image.width, 1));
        return true;
    }
    return false;  // RAW sources: the stand-in's images are JPEG
}
}  // namespace

EDSAPI EdsGetImageInfo(EdsImageRef inImageRef, EdsImageSource inImageSource, EdsImageInfo *outImageInfo) {
    Call call("EdsGetImageInfo");
    call.ref(inImageRef).args().dec(inImageSource).ptr(outImageInfo);
    return call.run([&]() -> EdsError {
        auto *image = library().as<ImageObject>(inImageRef, Kind::Image);
        if (image == nullptr) return kInvalidHandle;
        if (outImageInfo == nullptr) return kInvalidPointer;
        int w = 0, h = 0;
        if (!sourceSize(*image, inImageSource, w, h)) return kNotSupported;
        std::memset(outImageInfo, 0, sizeof *outImageInfo);
        outImageInfo->width = static_cast<EdsUInt32>(w);
        outImageInfo->height = static_cast<EdsUInt32>(h);
        outImageInfo->numOfComponents = 3;
        outImageInfo->componentDepth = 8;
        outImageInfo->effectiveRect = EdsRect{{0, 0}, {w, h}};
        return kOk;
    });
}

EDSAPI EdsGetImage(EdsImageRef inImageRef, EdsImageSource inImageSource, EdsTargetImageType inImageType, EdsRect inSrcRect,
                   EdsSize inDstSize, EdsStreamRef outStreamRef) {
    Call call("EdsGetImage");
    call.ref(inImageRef)
        .args()
        .dec(inImageSource)
        .dec(inImageType)
        .dec(inSrcRect.point.x)
        .dec(inSrcRect.point.y)
        .dec(inSrcRect.size.width)
        .dec(inSrcRect.size.height)
        .dec(inDstSize.width)
        .dec(inDstSize.height);
    call.ref(outStreamRef);
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        auto *image = lib.as<ImageObject>(inImageRef, Kind::Image);
        auto *out = lib.as<StreamObject>(outStreamRef, Kind::Stream);
        if (image == nullptr || out == nullptr) return kInvalidHandle;
        if (inImageType != 1 && inImageType != 9) return kNotSupported;
        int w = 0, h = 0;
        if (!sourceSize(*image, inImageSource, w, h)) return kNotSupported;
        const EdsRect &r = inSrcRect;
        if (r.point.x < 0 || r.point.y < 0 || r.size.width <= 0 || r.size.height <= 0 || r.point.x + r.size.width > w ||
            r.point.y + r.size.height > h || inDstSize.width <= 0 || inDstSize.height <= 0 || inDstSize.width > 8192 ||
            inDstSize.height > 8192)
            return kInvalidParameter;
        auto decoded = decodeJpeg(image->bytes.data(), image->bytes.size());
        if (!decoded) return kFileFormatUnrecognized;
        // Nearest-neighbour sampling of the source rectangle, mapped onto the source picture.
        RgbImage result(inDstSize.width, inDstSize.height);
        for (int y = 0; y < result.height; ++y)
            for (int x = 0; x < result.width; ++x) {
                const int sx = (r.point.x + x * r.size.width / result.width) * decoded->width / w;
                const int sy = (r.point.y + y * r.size.height / result.height) * decoded->height / h;
                const std::size_t from = (static_cast<std::size_t>(std::min(sy, decoded->height - 1)) *
                                              static_cast<std::size_t>(decoded->width) +
                                          static_cast<std::size_t>(std::min(sx, decoded->width - 1))) * 3;
                const std::size_t to = (static_cast<std::size_t>(y) * static_cast<std::size_t>(result.width) +
                                        static_cast<std::size_t>(x)) * 3;
                std::memcpy(result.pixels.data() + to, decoded->pixels.data() + from, 3);
            }
        const std::vector<std::uint8_t> bytes = inImageType == 1 ? encodeJpeg(result, 90) : result.pixels;
        std::uint64_t written = 0;
        return out->write(bytes.data(), bytes.size(), &written);
    });
}

// -------------------------------------------------------------------------------------------------
// Live view
// -------------------------------------------------------------------------------------------------

EDSAPI EdsCreateEvfImageRef(EdsStreamRef inStreamRef, EdsEvfImageRef *outEvfImageRef) {
    Call call("EdsCreateEvfImageRef");
    call.ref(inStreamRef).ptr(outEvfImageRef);
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        auto *stream = lib.as<StreamObject>(inStreamRef, Kind::Stream);
        if (stream == nullptr) return kInvalidHandle;
        if (outEvfImageRef == nullptr) return kInvalidPointer;
        auto *evf = lib.adopt(new EvfObject);
        evf->stream = stream;
        ++stream->refs;
        *outEvfImageRef = handleOf(evf);
        return kOk;
    });
}

EDSAPI EdsDownloadEvfImage(EdsCameraRef inCameraRef, EdsEvfImageRef inEvfImageRef) {
    Call call("EdsDownloadEvfImage");
    call.ref(inCameraRef);
    call.ref(inEvfImageRef);
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        auto *cam = lib.as<CameraObject>(inCameraRef, Kind::Camera);
        auto *evf = lib.as<EvfObject>(inEvfImageRef, Kind::Evf);
        if (cam == nullptr || evf == nullptr) return kInvalidHandle;
        if (EdsError e = ready(cam, true, true)) return e;
        return lib.liveViewFrame(cam->camera, *evf);
    });
}

// -------------------------------------------------------------------------------------------------
// Event handlers
// -------------------------------------------------------------------------------------------------

EDSAPI EdsSetCameraAddedHandler(EdsCameraAddedHandler inCameraAddedHandler, EdsVoid *inContext) {
    Call call("EdsSetCameraAddedHandler");
    call.args().ptr(reinterpret_cast<const void *>(inCameraAddedHandler), "fn").ptr(inContext, "ctx");
    return call.run([&]() -> EdsError {
        library().addedHandler = inCameraAddedHandler;
        library().addedContext = inContext;
        return kOk;
    });
}

EDSAPI EdsSetPropertyEventHandler(EdsCameraRef inCameraRef, EdsPropertyEvent inEvent,
                                  EdsPropertyEventHandler inPropertyEventHandler, EdsVoid *inContext) {
    Call call("EdsSetPropertyEventHandler");
    call.ref(inCameraRef).args().hex(inEvent).ptr(reinterpret_cast<const void *>(inPropertyEventHandler), "fn").ptr(inContext, "ctx");
    return call.run([&] {
        return setHandler(inCameraRef, inEvent, kPropertyEventAll, inPropertyEventHandler, inContext,
                          &CameraState::propertyHandler, &CameraState::propertyEvent, &CameraState::propertyContext);
    });
}

EDSAPI EdsSetObjectEventHandler(EdsCameraRef inCameraRef, EdsObjectEvent inEvent, EdsObjectEventHandler inObjectEventHandler,
                                EdsVoid *inContext) {
    Call call("EdsSetObjectEventHandler");
    call.ref(inCameraRef).args().hex(inEvent).ptr(reinterpret_cast<const void *>(inObjectEventHandler), "fn").ptr(inContext, "ctx");
    return call.run([&] {
        return setHandler(inCameraRef, inEvent, kObjectEventAll, inObjectEventHandler, inContext, &CameraState::objectHandler,
                          &CameraState::objectEvent, &CameraState::objectContext);
    });
}

EDSAPI EdsSetCameraStateEventHandler(EdsCameraRef inCameraRef, EdsStateEvent inEvent, EdsStateEventHandler inStateEventHandler,
                                     EdsVoid *inContext) {
    Call call("EdsSetCameraStateEventHandler");
    call.ref(inCameraRef).args().hex(inEvent).ptr(reinterpret_cast<const void *>(inStateEventHandler), "fn").ptr(inContext, "ctx");
    return call.run([&] {
        return setHandler(inCameraRef, inEvent, kStateEventAll, inStateEventHandler, inContext, &CameraState::stateHandler,
                          &CameraState::stateEvent, &CameraState::stateContext);
    });
}

EDSAPI EdsGetEvent() {
    EosLibrary &lib = library();
    // In "getEvent" delivery the queued callbacks run here, on the caller's thread, without
    // the library lock (they call the SDK themselves).
    if (lib.initialized && lib.pump().mode() == EventPump::Mode::Manual) lib.pump().drain();
    Call call("EdsGetEvent");
    return call.run([] { return kOk; });
}

// -------------------------------------------------------------------------------------------------
// Control API
// -------------------------------------------------------------------------------------------------

TBX_SIM_CONTROL_EXPORTS(TBX_EDS_EXPORT, TBX_EDS_CALL, tbx::sim::eds::library())
