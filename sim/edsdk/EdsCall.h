// What every exported entry point of the EOS stand-in shares: the per-call wrapper (fault check,
// lock, call-log line), the camera checks and the helpers of its streams and handlers. The
// entry points themselves are split by area as the driver is: session, properties, transfer,
// streams, images and live view.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "Content.h"
#include "EdsExports.h"
#include "EosLibrary.h"

namespace tbx::sim::eds {

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

inline EdsBaseRef handleOf(Object *o) { return reinterpret_cast<EdsBaseRef>(o); }

EdsError ready(CameraObject *object, bool needSession, bool canBeBusy);
EdsError readyCamera(const std::shared_ptr<Camera> &camera, bool canBeBusy);
void copyName(char *target, const std::string &text);
EdsError getProperty(EosLibrary &lib, EdsBaseRef ref, EdsPropertyID id, EdsInt32 param, Property &out);
EdsError newStream(EosLibrary &lib, StreamObject *stream, EdsStreamRef *out);
EdsError openFile(EosLibrary &lib, const std::string &utf8Name, const EdsWChar *wideName, EdsFileCreateDisposition disposition,
                  EdsAccess access, EdsStreamRef *out);
std::string utf8Of(const EdsWChar *text);

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

}  // namespace tbx::sim::eds

#define EDSAPI extern "C" TBX_EDS_EXPORT EdsError TBX_EDS_CALL
