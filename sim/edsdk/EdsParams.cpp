// The stand-in's properties: sizes, reads, writes and descriptions.
#include "EdsCall.h"

using namespace tbx::sim;
using namespace tbx::sim::eds;

// -------------------------------------------------------------------------------------------------
// Properties
// -------------------------------------------------------------------------------------------------

EDSAPI EdsGetPropertySize(EdsBaseRef inRef, EdsPropertyID inPropertyID, EdsInt32 inParam, EdsDataType *outDataType,
                          EdsUInt32 *outSize)
{
    Call call("EdsGetPropertySize");
    call.ref(inRef).args().hex(inPropertyID).dec(inParam).ptr(outDataType).ptr(outSize);
    return call.run([&]() -> EdsError {
        if (library().find(inRef) == nullptr)
            return kInvalidHandle;
        if (outDataType == nullptr || outSize == nullptr)
            return kInvalidPointer;
        Property p;
        if (EdsError e = getProperty(library(), inRef, inPropertyID, inParam, p))
            return e;
        *outDataType = static_cast<EdsDataType>(p.type);
        *outSize = static_cast<EdsUInt32>(p.text ? p.asText().size() + 1 : p.value.size());
        return kOk;
    });
}

EDSAPI EdsGetPropertyData(EdsBaseRef inRef, EdsPropertyID inPropertyID, EdsInt32 inParam, EdsUInt32 inPropertySize,
                          EdsVoid *outPropertyData)
{
    Call call("EdsGetPropertyData");
    call.ref(inRef).args().hex(inPropertyID).dec(inParam).udec(inPropertySize).ptr(outPropertyData);
    return call.run([&]() -> EdsError {
        if (library().find(inRef) == nullptr)
            return kInvalidHandle;
        if (outPropertyData == nullptr)
            return kInvalidPointer;
        if (inPropertySize == 0)
            return kInvalidLength;
        Property p;
        if (EdsError e = getProperty(library(), inRef, inPropertyID, inParam, p))
            return e;
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
                          const EdsVoid *inPropertyData)
{
    Call call("EdsSetPropertyData");
    {
        std::lock_guard lock(library().mutex());
        bool text = false;
        if (auto *cam = library().as<CameraObject>(inRef, Kind::Camera))
            if (Property *p = cam->camera->property(inPropertyID))
                text = p->text;
        call.ref(inRef)
            .args()
            .hex(inPropertyID)
            .dec(inParam)
            .udec(inPropertySize)
            .data(inPropertyData, inPropertySize, text);
    }
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        Object *o = lib.find(inRef);
        if (o == nullptr)
            return kInvalidHandle;
        if (o->kind != Kind::Camera)
            return kNotSupported;
        if (inPropertyData == nullptr)
            return kInvalidPointer;
        if (inPropertySize == 0)
            return kInvalidLength;
        auto *cam = static_cast<CameraObject *>(o);
        if (inPropertyID == kPropUnlockLimited) {
            // Limited properties are opened with a key before the session starts.
            if (!cam->camera->attached)
                return kCommDisconnected;
            if (inPropertySize != 4)
                return kInvalidLength;
            EdsUInt32 target = 0;
            std::memcpy(&target, inPropertyData, 4);
            Property *p = cam->camera->property(target);
            if (p == nullptr || p->unlockKey == 0 || p->unlockKey != static_cast<EdsUInt32>(inParam))
                return kInvalidParameter;
            p->unlocked = true;
            return kOk;
        }
        if (EdsError e = ready(cam, true, true))
            return e;
        return lib.writeProperty(cam->camera, inPropertyID, inParam, inPropertyData, inPropertySize);
    });
}

EDSAPI EdsGetPropertyDesc(EdsBaseRef inRef, EdsPropertyID inPropertyID, EdsPropertyDesc *outPropertyDesc)
{
    Call call("EdsGetPropertyDesc");
    call.ref(inRef).args().hex(inPropertyID).ptr(outPropertyDesc);
    return call.run([&]() -> EdsError {
        auto *cam = library().as<CameraObject>(inRef, Kind::Camera);
        if (cam == nullptr)
            return library().find(inRef) ? kNotSupported : kInvalidHandle;
        if (outPropertyDesc == nullptr)
            return kInvalidPointer;
        if (EdsError e = ready(cam, true, true))
            return e;
        Property *p = cam->camera->property(inPropertyID);
        if (p == nullptr || (inPropertyID == kPropPowerZoomSpeed && !cam->camera->powerZoom))
            return kPropertiesUnavailable;
        if (!p->hasDesc)
            return kInvalidParameter;
        std::memset(outPropertyDesc, 0, sizeof *outPropertyDesc);
        outPropertyDesc->form = 0;
        outPropertyDesc->access = p->writable ? 2 : 0;
        const std::size_t n = std::min<std::size_t>(p->allowed.size(), 128);
        outPropertyDesc->numElements = static_cast<EdsInt32>(n);
        std::copy_n(p->allowed.begin(), n, outPropertyDesc->propDesc);
        return kOk;
    });
}
