// A stand-in for EDSDK.DLL with nothing behind it, for the loader tests: it exports the 51 entry
// points of the binding (one of them left out when TBX_FAKE_WITHOUT_DOWNLOAD_CANCEL is defined)
// and carries the file version given by TBX_FAKE_MAJOR/MINOR/RELEASE/BUILD. Entry points answer
// 0xFA00 + their position in the binding list, except the few the tests call with arguments
// and EdsRetain/EdsRelease, which count the releases.
#include "platform/VersionNote.h"
#include "sdk/EDSDK.h"

#ifdef TBX_FAKE_NEEDS_DEPENDENCY
#include "fake_dependency.h"
#endif

#if defined(_WIN32)
#define TBX_FAKE_API extern "C" // exported by name through the generated .def file
#else
#define TBX_FAKE_API extern "C" __attribute__((visibility("default")))
#endif

TBX_ELF_VERSION_NOTE(TBX_FAKE_MAJOR, TBX_FAKE_MINOR, TBX_FAKE_RELEASE, TBX_FAKE_BUILD);

using namespace tbx::sdk;

namespace {

unsigned gReleases = 0;

/// The reference the tests pass where an argument's arrival is checked.
EdsBaseRef const kFakeRef = reinterpret_cast<EdsBaseRef>(static_cast<std::uintptr_t>(0x5A5A5A50));

EdsError fakeResult(unsigned position)
{
#ifdef TBX_FAKE_NEEDS_DEPENDENCY
    return tbxFakeDependency() + position;
#else
    return 0xFA00u + position;
#endif
}

} // namespace

TBX_FAKE_API EdsError TBX_EDSAPI EdsInitializeSDK()
{
    return fakeResult(1);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsTerminateSDK()
{
    return fakeResult(2);
}

TBX_FAKE_API EdsUInt32 TBX_EDSAPI EdsRetain(EdsBaseRef inRef)
{
    // With no reference: how many references EdsRelease has been given so far.
    return inRef == nullptr ? gReleases : 2u;
}

TBX_FAKE_API EdsUInt32 TBX_EDSAPI EdsRelease(EdsBaseRef inRef)
{
    if (inRef == nullptr)
        return 0xFFFFFFFFu;
    ++gReleases;
    return 41u;
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsGetChildCount(EdsBaseRef inRef, EdsUInt32 *outCount)
{
    if (outCount == nullptr)
        return EDS_ERR_INVALID_POINTER;
    *outCount = 7;
    return EDS_ERR_OK;
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsGetChildAtIndex(EdsBaseRef inRef, EdsInt32 inIndex, EdsBaseRef *outRef)
{
    return fakeResult(6);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsGetParent(EdsBaseRef inRef, EdsBaseRef *outParentRef)
{
    return fakeResult(7);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsGetPropertySize(EdsBaseRef inRef, EdsPropertyID inPropertyID, EdsInt32 inParam, EdsDataType *outDataType, EdsUInt32 *outSize)
{
    return fakeResult(8);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsGetPropertyData(EdsBaseRef inRef, EdsPropertyID inPropertyID, EdsInt32 inParam, EdsUInt32 inPropertySize, EdsVoid *outPropertyData)
{
    return fakeResult(9);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsSetPropertyData(EdsBaseRef inRef, EdsPropertyID inPropertyID, EdsInt32 inParam, EdsUInt32 inPropertySize, const EdsVoid *inPropertyData)
{
    return fakeResult(10);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsGetPropertyDesc(EdsBaseRef inRef, EdsPropertyID inPropertyID, EdsPropertyDesc *outPropertyDesc)
{
    return fakeResult(11);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsGetCameraList(EdsCameraListRef *outCameraListRef)
{
    return fakeResult(12);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsGetDeviceInfo(EdsCameraRef inCameraRef, EdsDeviceInfo *outDeviceInfo)
{
    return fakeResult(13);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsOpenSession(EdsCameraRef inCameraRef)
{
    return fakeResult(14);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsCloseSession(EdsCameraRef inCameraRef)
{
    return fakeResult(15);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsSendCommand(EdsCameraRef inCameraRef, EdsCameraCommand inCommand, EdsInt32 inParam)
{
    return fakeResult(16);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsSendStatusCommand(EdsCameraRef inCameraRef, EdsCameraStatusCommand inStatusCommand, EdsInt32 inParam)
{
    return fakeResult(17);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsSetCapacity(EdsCameraRef inCameraRef, EdsCapacity inCapacity)
{
    // Checks that the record passed by value arrives intact.
    return inCameraRef == kFakeRef && inCapacity.numberOfFreeClusters == 0x7FFFFFFF &&
                   inCapacity.bytesPerSector == 512 && inCapacity.reset == 1
               ? EDS_ERR_OK
               : EDS_ERR_INVALID_PARAMETER;
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsGetVolumeInfo(EdsVolumeRef inVolumeRef, EdsVolumeInfo *outVolumeInfo)
{
    return fakeResult(19);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsFormatVolume(EdsVolumeRef inVolumeRef)
{
    return fakeResult(20);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsGetDirectoryItemInfo(EdsDirectoryItemRef inDirItemRef, EdsDirectoryItemInfo *outDirItemInfo)
{
    return fakeResult(21);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsDeleteDirectoryItem(EdsDirectoryItemRef inDirItemRef)
{
    return fakeResult(22);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsDownload(EdsDirectoryItemRef inDirItemRef, EdsUInt64 inReadSize, EdsStreamRef outStream)
{
    // Checks that a 64-bit size and the argument after it arrive intact.
    return inReadSize == 0x123456789ull && outStream == kFakeRef ? EDS_ERR_OK : EDS_ERR_INVALID_PARAMETER;
}

#ifndef TBX_FAKE_WITHOUT_DOWNLOAD_CANCEL
TBX_FAKE_API EdsError TBX_EDSAPI EdsDownloadCancel(EdsDirectoryItemRef inDirItemRef)
{
    return fakeResult(24);
}
#endif

TBX_FAKE_API EdsError TBX_EDSAPI EdsDownloadComplete(EdsDirectoryItemRef inDirItemRef)
{
    return fakeResult(25);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsDownloadThumbnail(EdsDirectoryItemRef inDirItemRef, EdsStreamRef outStream)
{
    return fakeResult(26);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsGetAttribute(EdsDirectoryItemRef inDirItemRef, EdsFileAttributes *outFileAttribute)
{
    return fakeResult(27);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsSetAttribute(EdsDirectoryItemRef inDirItemRef, EdsFileAttributes inFileAttribute)
{
    return fakeResult(28);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsCreateFileStream(const EdsChar *inFileName, EdsFileCreateDisposition inCreateDisposition, EdsAccess inDesiredAccess, EdsStreamRef *outStream)
{
    return fakeResult(29);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsCreateMemoryStream(EdsUInt64 inBufferSize, EdsStreamRef *outStream)
{
    return fakeResult(30);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsCreateFileStreamEx(const char16_t *inFileName, EdsFileCreateDisposition inCreateDisposition, EdsAccess inDesiredAccess, EdsStreamRef *outStream)
{
    return fakeResult(31);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsCreateMemoryStreamFromPointer(EdsVoid *inUserBuffer, EdsUInt64 inBufferSize, EdsStreamRef *outStream)
{
    return fakeResult(32);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsGetPointer(EdsStreamRef inStream, EdsVoid **outPointer)
{
    return fakeResult(33);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsRead(EdsStreamRef inStreamRef, EdsUInt64 inReadSize, EdsVoid *outBuffer, EdsUInt64 *outReadSize)
{
    return fakeResult(34);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsWrite(EdsStreamRef inStreamRef, EdsUInt64 inWriteSize, const EdsVoid *inBuffer, EdsUInt64 *outWrittenSize)
{
    return fakeResult(35);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsSeek(EdsStreamRef inStreamRef, EdsInt64 inSeekOffset, EdsSeekOrigin inSeekOrigin)
{
    return fakeResult(36);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsGetPosition(EdsStreamRef inStreamRef, EdsUInt64 *outPosition)
{
    return fakeResult(37);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsGetLength(EdsStreamRef inStreamRef, EdsUInt64 *outLength)
{
    return fakeResult(38);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsCopyData(EdsStreamRef inStreamRef, EdsUInt64 inWriteSize, EdsStreamRef outStreamRef)
{
    return fakeResult(39);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsSetProgressCallback(EdsBaseRef inRef, EdsProgressCallback inProgressFunc, EdsProgressOption inProgressOption, EdsVoid *inContext)
{
    return fakeResult(40);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsCreateImageRef(EdsStreamRef inStreamRef, EdsImageRef *outImageRef)
{
    return fakeResult(41);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsGetImageInfo(EdsImageRef inImageRef, EdsImageSource inImageSource, EdsImageInfo *outImageInfo)
{
    return fakeResult(42);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsGetImage(EdsImageRef inImageRef, EdsImageSource inImageSource, EdsTargetImageType inImageType, EdsRect inSrcRect, EdsSize inDstSize, EdsStreamRef outStreamRef)
{
    return fakeResult(43);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsCreateEvfImageRef(EdsStreamRef inStreamRef, EdsEvfImageRef *outEvfImageRef)
{
    return fakeResult(44);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsDownloadEvfImage(EdsCameraRef inCameraRef, EdsEvfImageRef inEvfImageRef)
{
    return fakeResult(45);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsSetCameraAddedHandler(EdsCameraAddedHandler inCameraAddedHandler, EdsVoid *inContext)
{
    return fakeResult(46);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsSetPropertyEventHandler(EdsCameraRef inCameraRef, EdsPropertyEvent inEvent, EdsPropertyEventHandler inPropertyEventHandler, EdsVoid *inContext)
{
    return fakeResult(47);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsSetObjectEventHandler(EdsCameraRef inCameraRef, EdsObjectEvent inEvent, EdsObjectEventHandler inObjectEventHandler, EdsVoid *inContext)
{
    return fakeResult(48);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsSetCameraStateEventHandler(EdsCameraRef inCameraRef, EdsStateEvent inEvent, EdsStateEventHandler inStateEventHandler, EdsVoid *inContext)
{
    return fakeResult(49);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsCreateStream(EdsIStream *inStream, EdsStreamRef *outStreamRef)
{
    return fakeResult(50);
}

TBX_FAKE_API EdsError TBX_EDSAPI EdsGetEvent()
{
    return fakeResult(51);
}
