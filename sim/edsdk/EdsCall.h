// What every exported entry point of the EOS stand-in shares: the per-call wrapper, the camera
// checks and the helpers of its streams and handlers. The
// entry points themselves are split by area as the driver is: session, properties, transfer,
// streams, images and live view.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "Call.h"
#include "Content.h"
#include "EdsExports.h"
#include "EosLibrary.h"

namespace tbx::sim::eds {

/// One entry-point call of the EOS stand-in (see SdkCall).
class Call : public SdkCall {
public:
    explicit Call(const char *name) : SdkCall(library(), name) {}
};

EdsError ready(CameraObject *object, bool needSession, bool canBeBusy);
EdsError readyCamera(const std::shared_ptr<Camera> &camera, bool canBeBusy);
void copyName(char *target, const std::string &text);
EdsError getProperty(EosLibrary &lib, EdsBaseRef ref, EdsPropertyID id, EdsInt32 param, Property &out);
EdsError newStream(EosLibrary &lib, StreamObject *stream, EdsStreamRef *out);
EdsError openFile(EosLibrary &lib, const std::string &utf8Name, const EdsWChar *wideName,
                  EdsFileCreateDisposition disposition, EdsAccess access, EdsStreamRef *out);
std::string utf8Of(const EdsWChar *text);

template <class Handler>
EdsError setHandler(EdsCameraRef camera, EdsUInt32 event, EdsUInt32 group, Handler handler, void *context,
                    Handler CameraState::*slot, EdsUInt32 CameraState::*eventSlot, void *CameraState::*contextSlot)
{
    auto *cam = library().as<CameraObject>(camera, Kind::Camera);
    if (cam == nullptr)
        return kInvalidHandle;
    if (event < group || event > group + 0xFF)
        return kInvalidParameter;
    CameraState &st = library().state(cam->camera);
    st.*slot = handler;
    st.*eventSlot = event;
    st.*contextSlot = context;
    return kOk;
}

} // namespace tbx::sim::eds

#define EDSAPI extern "C" TBX_EDS_EXPORT EdsError TBX_EDS_CALL
