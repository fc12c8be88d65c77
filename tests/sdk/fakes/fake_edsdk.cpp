// A stand-in for EDSDK.DLL with nothing behind it, for the loader tests: it exports the entry
// points of the SDK's export list (one of them left out when TBX_FAKE_WITHOUT_DOWNLOAD_CANCEL is defined,
// and only the generation-2 library's when TBX_FAKE_GENERATION2 is)
// and carries the file version given by TBX_FAKE_MAJOR/MINOR/RELEASE/BUILD. Entry points answer
// 0xFA00 + their position in the binding list, except the few the tests call with arguments
// and EdsRetain/EdsRelease, which count the releases.
#include "fake_export.h"
#include "sdk/EDSDK.h"

using namespace tbx::sdk;

namespace {

/// The position of each entry point in the binding list, from 1.
enum Position : unsigned {
    kBeforeFirst,
#define TBX_FAKE_POSITION(name, ordinal, x86Bytes, result, parameters) k##name,
    TBX_EDSDK_EXPORTS(TBX_FAKE_POSITION)
#undef TBX_FAKE_POSITION
};

unsigned gReleases = 0;

/// The reference the tests pass where an argument's arrival is checked.
EdsBaseRef const kFakeRef = reinterpret_cast<EdsBaseRef>(static_cast<std::uintptr_t>(0x5A5A5A50));

} // namespace

TBX_FAKE_API EdsUInt32 TBX_STDCALL EdsRetain(EdsBaseRef inRef)
{
    // With no reference: how many references EdsRelease has been given so far.
    return inRef == nullptr ? gReleases : 2u;
}

TBX_FAKE_API EdsUInt32 TBX_STDCALL EdsRelease(EdsBaseRef inRef)
{
    if (inRef == nullptr)
        return 0xFFFFFFFFu;
    ++gReleases;
    return 41u;
}

TBX_FAKE_API EdsError TBX_STDCALL EdsGetChildCount(EdsBaseRef inRef, EdsUInt32 *outCount)
{
    if (outCount == nullptr)
        return EDS_ERR_INVALID_POINTER;
    *outCount = 7;
    return EDS_ERR_OK;
}

#ifndef TBX_FAKE_GENERATION2
TBX_FAKE_API EdsError TBX_STDCALL EdsSetCapacity(EdsCameraRef inCameraRef, EdsCapacity inCapacity)
{
    // Checks that the record passed by value arrives intact.
    return inCameraRef == kFakeRef && inCapacity.numberOfFreeClusters == 0x7FFFFFFF &&
                   inCapacity.bytesPerSector == 512 && inCapacity.reset == 1
               ? EDS_ERR_OK
               : EDS_ERR_INVALID_PARAMETER;
}
#endif

TBX_FAKE_API EdsError TBX_STDCALL EdsDownload(EdsDirectoryItemRef inDirItemRef, EdsUInt64 inReadSize, EdsStreamRef outStream)
{
    // Checks that a 64-bit size and the argument after it arrive intact.
    return inReadSize == 0x123456789ull && outStream == kFakeRef ? EDS_ERR_OK : EDS_ERR_INVALID_PARAMETER;
}

// Every other entry point answers its position. The names above are marked as written by hand:
// TBX_FAKE_BY_HAND(name) expands to 1 for them and to 0 for the rest.
#define TBX_FAKE_PROBE ~, 1
#define TBX_FAKE_SECOND(a, b, ...) b
#define TBX_FAKE_IS_PROBE(...) TBX_FAKE_SECOND(__VA_ARGS__, 0, )
#define TBX_FAKE_BY_HAND(name) TBX_FAKE_IS_PROBE(TBX_FAKE_HAND_##name)
#define TBX_FAKE_HAND_EdsRetain TBX_FAKE_PROBE
#define TBX_FAKE_HAND_EdsRelease TBX_FAKE_PROBE
#define TBX_FAKE_HAND_EdsGetChildCount TBX_FAKE_PROBE
#define TBX_FAKE_HAND_EdsSetCapacity TBX_FAKE_PROBE
#define TBX_FAKE_HAND_EdsDownload TBX_FAKE_PROBE
#ifdef TBX_FAKE_WITHOUT_DOWNLOAD_CANCEL
#define TBX_FAKE_HAND_EdsDownloadCancel TBX_FAKE_PROBE // left out
#endif
#ifdef TBX_FAKE_GENERATION2 // the generation-2 library lacks these six
#define TBX_FAKE_HAND_EdsSendStatusCommand TBX_FAKE_PROBE
#define TBX_FAKE_HAND_EdsCreateImageRef TBX_FAKE_PROBE
#define TBX_FAKE_HAND_EdsGetImageInfo TBX_FAKE_PROBE
#define TBX_FAKE_HAND_EdsGetImage TBX_FAKE_PROBE
#define TBX_FAKE_HAND_EdsCreateStream TBX_FAKE_PROBE
#endif

#define TBX_FAKE_JOIN(a, b) TBX_FAKE_JOIN_(a, b)
#define TBX_FAKE_JOIN_(a, b) a##b
#define TBX_FAKE_DEFINE_1(name, result, parameters)
#define TBX_FAKE_DEFINE_0(name, result, parameters)                                                \
    TBX_FAKE_API result TBX_STDCALL name parameters                                                  \
    {                                                                                              \
        return fakeResult(k##name);                                                                \
    }
#define TBX_FAKE_ENTRY(name, ordinal, x86Bytes, result, parameters)                                \
    TBX_FAKE_JOIN(TBX_FAKE_DEFINE_, TBX_FAKE_BY_HAND(name))(name, result, parameters)
TBX_EDSDK_EXPORTS(TBX_FAKE_ENTRY)
