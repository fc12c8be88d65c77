#include "EdsCall.h"

#include <cstdio>

namespace tbx::sim::eds {

/// The camera behind a camera reference, checked for attachment, session and busy state.
EdsError ready(CameraObject *object, bool needSession, bool canBeBusy)
{
    if (object == nullptr)
        return kInvalidHandle;
    if (!object->camera->attached)
        return kCommDisconnected;
    if (needSession && !library().state(object->camera).sessionOpen)
        return kSessionNotOpen;
    if (canBeBusy && object->camera->takeBusy())
        return kDeviceBusy;
    return kOk;
}

EdsError readyCamera(const std::shared_ptr<Camera> &camera, bool canBeBusy)
{
    if (!camera->attached)
        return kCommDisconnected;
    if (!library().state(camera).sessionOpen)
        return kSessionNotOpen;
    if (canBeBusy && camera->takeBusy())
        return kDeviceBusy;
    return kOk;
}

void copyName(char *target, const std::string &text)
{
    const std::size_t n = std::min<std::size_t>(text.size(), 255);
    std::memcpy(target, text.data(), n);
    target[n] = 0;
}

EdsError getProperty(EosLibrary &lib, EdsBaseRef ref, EdsPropertyID id, EdsInt32 param, Property &out)
{
    Object *o = lib.find(ref);
    if (o == nullptr)
        return kInvalidHandle;
    if (o->kind == Kind::Camera) {
        auto *cam = static_cast<CameraObject *>(o);
        if (EdsError e = ready(cam, true, true))
            return e;
        return lib.readProperty(cam->camera, id, param, out);
    }
    if (o->kind == Kind::Evf) {
        auto *evf = static_cast<EvfObject *>(o);
        auto it = evf->meta.find(id);
        if (it == evf->meta.end())
            return kPropertiesUnavailable;
        out = it->second;
        return kOk;
    }
    return kNotSupported;
}

EdsError newStream(EosLibrary &lib, StreamObject *stream, EdsStreamRef *out)
{
    *out = handleOf(lib.objects().adopt(stream));
    return kOk;
}

EdsError openFile(EosLibrary &lib, const std::string &utf8Name, const EdsWChar *wideName,
                  EdsFileCreateDisposition disposition, EdsAccess access, EdsStreamRef *out)
{
    if (disposition < 0 || disposition > 4 || access < 0 || access > 2)
        return kInvalidParameter;
    auto exists = [&] {
#if defined(_WIN32)
        std::FILE *f = wideName ? _wfopen(wideName, L"rb") : std::fopen(utf8Name.c_str(), "rb");
#else
        (void)wideName;
        std::FILE *f = std::fopen(utf8Name.c_str(), "rb");
#endif
        if (f)
            std::fclose(f);
        return f != nullptr;
    }();
    if (disposition == 0 && exists)
        return kFileAlreadyExists; // create new
    if ((disposition == 2 || disposition == 4) && !exists)
        return kFileNotFound;
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
    if (file == nullptr)
        return kFileOpenError;
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

std::string utf8Of(const EdsWChar *text)
{
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

} // namespace tbx::sim::eds
