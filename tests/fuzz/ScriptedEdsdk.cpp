// A stand-in for EDSDK.DLL whose every answer comes from a script of bytes, for the fuzz target
// of the EOS driver: whatever a camera and its SDK could send back (counts, sizes, texts without
// terminators, property descriptions, AF blocks, directory entries, frames) is taken from the
// fuzz input in the order the driver asks.
//
// Each call that answers with data first takes one byte: below 0xF0 the call succeeds, otherwise
// it fails with one of the SDK's usual codes. It then takes exactly the bytes of its answer
// (zeros once the script is used up). Once the script is used up every such call fails with
// "disconnected", as a camera that went away. Calls that only tell the camera something succeed
// and take nothing.
//
// The library also keeps the books of the references it handed out, so the target can check
// that the driver released each one exactly once.
#include "platform/VersionNote.h"
#include "sdk/EDSDK.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <vector>

#define TBX_SCRIPTED_API extern "C" __attribute__((visibility("default")))

TBX_ELF_VERSION_NOTE(13, 10, 20, 0);

using namespace tbx::sdk;

// Every definition below matches the SDK's export list.
#define TBX_SCRIPTED_DECLARE(name, ordinal, x86Bytes, result, parameters)                            \
    TBX_SCRIPTED_API result TBX_STDCALL name parameters;
TBX_EDSDK_EXPORTS(TBX_SCRIPTED_DECLARE)
#undef TBX_SCRIPTED_DECLARE

namespace {

// ---- The script ----------------------------------------------------------------------------------

const std::uint8_t *gScript = nullptr;
std::size_t gScriptSize = 0;
std::size_t gAt = 0;

constexpr EdsError kFailures[] = {
    EDS_ERR_DEVICE_BUSY,      EDS_ERR_INVALID_PARAMETER, EDS_ERR_PROPERTIES_UNAVAILABLE,
    EDS_ERR_NOT_SUPPORTED,    EDS_ERR_INVALID_HANDLE,    0x0000A102, // object not ready
    EDS_ERR_PTP_DEVICE_BUSY,  EDS_ERR_COMM_DISCONNECTED, EDS_ERR_INTERNAL_ERROR,
    EDS_ERR_INVALID_LENGTH,   EDS_ERR_SESSION_NOT_OPEN,  EDS_ERR_STREAM_IO_ERROR,
    EDS_ERR_OPERATION_REFUSED, EDS_ERR_DEVICE_NOT_FOUND, EDS_ERR_UNIMPLEMENTED,
    EDS_ERR_WAIT_TIMEOUT_ERROR,
};

static_assert(std::size(kFailures) == 0x10, "one failure for each answer byte from 0xF0");

/// The result of the call that asks now.
EdsError result()
{
    if (gAt >= gScriptSize)
        return EDS_ERR_COMM_DISCONNECTED;
    const std::uint8_t b = gScript[gAt++];
    return b < 0xF0 ? EDS_ERR_OK : kFailures[b - 0xF0];
}

/// The next \p size bytes of the script into \p out, zeros behind its end.
void fill(void *out, std::size_t size)
{
    if (size == 0)
        return;
    auto *to = static_cast<std::uint8_t *>(out);
    const std::size_t n = std::min(size, gScriptSize - std::min(gAt, gScriptSize));
    if (n > 0)
        std::memcpy(to, gScript + gAt, n);
    std::memset(to + n, 0, size - n);
    gAt += n;
}

template <class T>
T take()
{
    T value{};
    fill(&value, sizeof value);
    return value;
}

// ---- References --------------------------------------------------------------------------------

struct Object {
    std::uint32_t refs = 1;
    std::vector<std::uint8_t> content; ///< streams: their bytes
    std::uint64_t position = 0;
    EdsBaseRef stream = nullptr; ///< live-view images: the stream their frames go to
};

std::map<EdsBaseRef, Object> gObjects;
std::uintptr_t gNextHandle = 0x5C000000;
std::uint32_t gBadReleases = 0;

EdsBaseRef newObject()
{
    gNextHandle += 0x10;
    const auto ref = reinterpret_cast<EdsBaseRef>(gNextHandle);
    gObjects[ref] = Object{};
    return ref;
}

Object *find(EdsBaseRef ref)
{
    const auto found = gObjects.find(ref);
    return found == gObjects.end() ? nullptr : &found->second;
}

/// Hands out a new reference through \p out when the script lets the call succeed.
EdsError answerRef(EdsBaseRef *out)
{
    if (out == nullptr)
        return EDS_ERR_INVALID_POINTER;
    const EdsError e = result();
    if (e == EDS_ERR_OK)
        *out = newObject();
    return e;
}

/// Fills \p out with a scripted answer when the script lets the call succeed.
template <class T>
EdsError answer(T *out)
{
    if (out == nullptr)
        return EDS_ERR_INVALID_POINTER;
    const EdsError e = result();
    if (e == EDS_ERR_OK)
        *out = take<T>();
    return e;
}

/// A frame or thumbnail the camera sends: a 16-bit length, then that many bytes.
void receiveInto(EdsBaseRef stream)
{
    const auto length = take<std::uint16_t>();
    std::vector<std::uint8_t> bytes(length);
    fill(bytes.data(), bytes.size());
    if (Object *s = find(stream)) {
        s->content = std::move(bytes);
        s->position = 0;
    }
}

} // namespace

// ---- Control of the script (for the fuzz target) ---------------------------------------------------

/// Starts a new script; forgets every reference of the last one.
TBX_SCRIPTED_API void TbxScripted_Start(const std::uint8_t *script, std::size_t size)
{
    gScript = script;
    gScriptSize = script == nullptr ? 0 : size;
    gAt = 0;
    gObjects.clear();
    gBadReleases = 0;
}

/// References handed out and not yet released.
TBX_SCRIPTED_API std::uint32_t TbxScripted_LiveReferences()
{
    return static_cast<std::uint32_t>(gObjects.size());
}

/// Releases of references that were already gone or never handed out.
TBX_SCRIPTED_API std::uint32_t TbxScripted_BadReleases()
{
    return gBadReleases;
}

/// A directory item reference as an object event would hand it over.
TBX_SCRIPTED_API EdsBaseRef TbxScripted_NewItem()
{
    return newObject();
}

// ---- The SDK -----------------------------------------------------------------------------------------

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsInitializeSDK() { return EDS_ERR_OK; }
TBX_SCRIPTED_API EdsError TBX_STDCALL EdsTerminateSDK() { return EDS_ERR_OK; }

TBX_SCRIPTED_API EdsUInt32 TBX_STDCALL EdsRetain(EdsBaseRef inRef)
{
    Object *o = find(inRef);
    return o == nullptr ? 0xFFFFFFFFu : ++o->refs;
}

TBX_SCRIPTED_API EdsUInt32 TBX_STDCALL EdsRelease(EdsBaseRef inRef)
{
    Object *o = find(inRef);
    if (o == nullptr) {
        ++gBadReleases;
        return 0xFFFFFFFFu;
    }
    const std::uint32_t left = --o->refs;
    if (left == 0) {
        const EdsBaseRef stream = o->stream;
        gObjects.erase(inRef);
        if (stream != nullptr) // an image holds on to its stream
            EdsRelease(stream);
    }
    return left;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsGetChildCount(EdsBaseRef, EdsUInt32 *outCount) { return answer(outCount); }

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsGetChildAtIndex(EdsBaseRef, EdsInt32, EdsBaseRef *outRef)
{
    return answerRef(outRef);
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsGetParent(EdsBaseRef, EdsBaseRef *) { return EDS_ERR_NOT_SUPPORTED; }

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsGetPropertySize(EdsBaseRef, EdsPropertyID, EdsInt32, EdsDataType *outDataType,
                                                        EdsUInt32 *outSize)
{
    if (outDataType == nullptr || outSize == nullptr)
        return EDS_ERR_INVALID_POINTER;
    const EdsError e = result();
    if (e == EDS_ERR_OK) {
        *outDataType = take<EdsDataType>();
        *outSize = take<EdsUInt32>();
    }
    return e;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsGetPropertyData(EdsBaseRef, EdsPropertyID, EdsInt32, EdsUInt32 inPropertySize,
                                                        EdsVoid *outPropertyData)
{
    if (outPropertyData == nullptr)
        return EDS_ERR_INVALID_POINTER;
    const EdsError e = result();
    if (e == EDS_ERR_OK)
        fill(outPropertyData, inPropertySize); // the SDK writes as much as the caller says it has room for
    return e;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsSetPropertyData(EdsBaseRef, EdsPropertyID, EdsInt32, EdsUInt32, const EdsVoid *)
{
    return EDS_ERR_OK;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsGetPropertyDesc(EdsBaseRef, EdsPropertyID, EdsPropertyDesc *outPropertyDesc)
{
    return answer(outPropertyDesc);
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsGetCameraList(EdsCameraListRef *outCameraListRef)
{
    return answerRef(outCameraListRef);
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsGetDeviceInfo(EdsCameraRef, EdsDeviceInfo *outDeviceInfo)
{
    return answer(outDeviceInfo);
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsOpenSession(EdsCameraRef) { return EDS_ERR_OK; }
TBX_SCRIPTED_API EdsError TBX_STDCALL EdsCloseSession(EdsCameraRef) { return EDS_ERR_OK; }
TBX_SCRIPTED_API EdsError TBX_STDCALL EdsSendCommand(EdsCameraRef, EdsCameraCommand, EdsInt32) { return EDS_ERR_OK; }

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsSendStatusCommand(EdsCameraRef, EdsCameraStatusCommand, EdsInt32)
{
    return EDS_ERR_OK;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsSetCapacity(EdsCameraRef, EdsCapacity) { return EDS_ERR_OK; }

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsGetVolumeInfo(EdsVolumeRef, EdsVolumeInfo *outVolumeInfo)
{
    return answer(outVolumeInfo);
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsFormatVolume(EdsVolumeRef) { return EDS_ERR_OK; }

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsGetDirectoryItemInfo(EdsDirectoryItemRef, EdsDirectoryItemInfo *outDirItemInfo)
{
    return answer(outDirItemInfo);
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsDeleteDirectoryItem(EdsDirectoryItemRef inDirItemRef)
{
    // A delete that succeeds gives up the caller's reference, as the SDK does.
    const EdsError e = result();
    if (e == EDS_ERR_OK)
        EdsRelease(inDirItemRef);
    return e;
}

// Downloads only say whether they worked: file streams are references without a file behind.
TBX_SCRIPTED_API EdsError TBX_STDCALL EdsDownload(EdsDirectoryItemRef, EdsUInt64, EdsStreamRef) { return result(); }
TBX_SCRIPTED_API EdsError TBX_STDCALL EdsDownloadCancel(EdsDirectoryItemRef) { return result(); }
TBX_SCRIPTED_API EdsError TBX_STDCALL EdsDownloadComplete(EdsDirectoryItemRef) { return result(); }

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsDownloadThumbnail(EdsDirectoryItemRef, EdsStreamRef outStream)
{
    const EdsError e = result();
    if (e == EDS_ERR_OK)
        receiveInto(outStream);
    return e;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsGetAttribute(EdsDirectoryItemRef, EdsFileAttributes *)
{
    return EDS_ERR_NOT_SUPPORTED;
}
TBX_SCRIPTED_API EdsError TBX_STDCALL EdsSetAttribute(EdsDirectoryItemRef, EdsFileAttributes)
{
    return EDS_ERR_NOT_SUPPORTED;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsCreateFileStream(const EdsChar *, EdsFileCreateDisposition, EdsAccess,
                                                         EdsStreamRef *outStream)
{
    return answerRef(outStream);
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsCreateMemoryStream(EdsUInt64, EdsStreamRef *outStream)
{
    return answerRef(outStream);
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsCreateFileStreamEx(const char16_t *, EdsFileCreateDisposition, EdsAccess,
                                                           EdsStreamRef *)
{
    return EDS_ERR_NOT_SUPPORTED;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsCreateMemoryStreamFromPointer(EdsVoid *, EdsUInt64, EdsStreamRef *)
{
    return EDS_ERR_NOT_SUPPORTED;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsGetPointer(EdsStreamRef inStream, EdsVoid **outPointer)
{
    Object *s = find(inStream);
    if (s == nullptr)
        return EDS_ERR_INVALID_HANDLE;
    if (outPointer == nullptr)
        return EDS_ERR_INVALID_POINTER;
    const EdsError e = result();
    if (e == EDS_ERR_OK)
        *outPointer = s->content.empty() ? nullptr : s->content.data();
    return e;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsRead(EdsStreamRef inStreamRef, EdsUInt64 inReadSize, EdsVoid *outBuffer,
                                             EdsUInt64 *outReadSize)
{
    Object *s = find(inStreamRef);
    if (s == nullptr)
        return EDS_ERR_INVALID_HANDLE;
    if (outBuffer == nullptr || outReadSize == nullptr)
        return EDS_ERR_INVALID_POINTER;
    const EdsError e = result();
    if (e != EDS_ERR_OK)
        return e;
    const std::uint64_t left = s->content.size() - std::min<std::uint64_t>(s->position, s->content.size());
    const std::uint64_t n = std::min(inReadSize, left);
    if (n > 0)
        std::memcpy(outBuffer, s->content.data() + s->position, static_cast<std::size_t>(n));
    s->position += n;
    // 0xFF: a faulty SDK that claims one byte more than there was room for (it writes no more).
    *outReadSize = take<std::uint8_t>() == 0xFF ? inReadSize + 1 : n;
    return EDS_ERR_OK;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsWrite(EdsStreamRef, EdsUInt64, const EdsVoid *, EdsUInt64 *)
{
    return EDS_ERR_NOT_SUPPORTED;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsSeek(EdsStreamRef inStreamRef, EdsInt64 inSeekOffset, EdsSeekOrigin)
{
    Object *s = find(inStreamRef);
    if (s == nullptr)
        return EDS_ERR_INVALID_HANDLE;
    const EdsError e = result();
    if (e == EDS_ERR_OK)
        s->position = inSeekOffset < 0 ? 0 : static_cast<std::uint64_t>(inSeekOffset);
    return e;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsGetPosition(EdsStreamRef, EdsUInt64 *) { return EDS_ERR_NOT_SUPPORTED; }

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsGetLength(EdsStreamRef inStreamRef, EdsUInt64 *outLength)
{
    Object *s = find(inStreamRef);
    if (s == nullptr)
        return EDS_ERR_INVALID_HANDLE;
    if (outLength == nullptr)
        return EDS_ERR_INVALID_POINTER;
    const EdsError e = result();
    if (e == EDS_ERR_OK)
        *outLength = s->content.size(); // the bytes behind EdsGetPointer are the SDK's: never more
    return e;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsCopyData(EdsStreamRef, EdsUInt64, EdsStreamRef)
{
    return EDS_ERR_NOT_SUPPORTED;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsSetProgressCallback(EdsBaseRef, EdsProgressCallback, EdsProgressOption,
                                                            EdsVoid *)
{
    return EDS_ERR_OK;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsCreateImageRef(EdsStreamRef, EdsImageRef *) { return EDS_ERR_NOT_SUPPORTED; }

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsGetImageInfo(EdsImageRef, EdsImageSource, EdsImageInfo *)
{
    return EDS_ERR_NOT_SUPPORTED;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsGetImage(EdsImageRef, EdsImageSource, EdsTargetImageType, EdsRect, EdsSize,
                                                 EdsStreamRef)
{
    return EDS_ERR_NOT_SUPPORTED;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsCreateEvfImageRef(EdsStreamRef inStreamRef, EdsEvfImageRef *outEvfImageRef)
{
    if (find(inStreamRef) == nullptr)
        return EDS_ERR_INVALID_HANDLE;
    const EdsError e = answerRef(outEvfImageRef);
    if (e == EDS_ERR_OK) {
        find(*outEvfImageRef)->stream = inStreamRef;
        EdsRetain(inStreamRef);
    }
    return e;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsDownloadEvfImage(EdsCameraRef, EdsEvfImageRef inEvfImageRef)
{
    Object *image = find(inEvfImageRef);
    if (image == nullptr)
        return EDS_ERR_INVALID_HANDLE;
    const EdsError e = result();
    if (e == EDS_ERR_OK)
        receiveInto(image->stream);
    return e;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsSetCameraAddedHandler(EdsCameraAddedHandler, EdsVoid *) { return EDS_ERR_OK; }

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsSetPropertyEventHandler(EdsCameraRef, EdsPropertyEvent, EdsPropertyEventHandler,
                                                                EdsVoid *)
{
    return EDS_ERR_OK;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsSetObjectEventHandler(EdsCameraRef, EdsObjectEvent, EdsObjectEventHandler,
                                                              EdsVoid *)
{
    return EDS_ERR_OK;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsSetCameraStateEventHandler(EdsCameraRef, EdsStateEvent, EdsStateEventHandler,
                                                                   EdsVoid *)
{
    return EDS_ERR_OK;
}

TBX_SCRIPTED_API EdsError TBX_STDCALL EdsCreateStream(EdsIStream *, EdsStreamRef *) { return EDS_ERR_NOT_SUPPORTED; }
TBX_SCRIPTED_API EdsError TBX_STDCALL EdsGetEvent() { return EDS_ERR_OK; }
