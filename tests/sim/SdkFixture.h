// Loads the EOS stand-in by path and reaches every entry point through its export, the way a
// host's binding does; a fixture starts each test from the built-in scenario.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "EdsTypes.h"

#define TBX_SDK_FUNCTIONS(X)                                                                                     \
    X(EdsInitializeSDK, EdsError, ())                                                                            \
    X(EdsTerminateSDK, EdsError, ())                                                                             \
    X(EdsRetain, EdsUInt32, (EdsBaseRef))                                                                        \
    X(EdsRelease, EdsUInt32, (EdsBaseRef))                                                                       \
    X(EdsGetChildCount, EdsError, (EdsBaseRef, EdsUInt32 *))                                                     \
    X(EdsGetChildAtIndex, EdsError, (EdsBaseRef, EdsInt32, EdsBaseRef *))                                        \
    X(EdsGetParent, EdsError, (EdsBaseRef, EdsBaseRef *))                                                        \
    X(EdsGetPropertySize, EdsError, (EdsBaseRef, EdsPropertyID, EdsInt32, EdsDataType *, EdsUInt32 *))           \
    X(EdsGetPropertyData, EdsError, (EdsBaseRef, EdsPropertyID, EdsInt32, EdsUInt32, EdsVoid *))                 \
    X(EdsSetPropertyData, EdsError, (EdsBaseRef, EdsPropertyID, EdsInt32, EdsUInt32, const EdsVoid *))           \
    X(EdsGetPropertyDesc, EdsError, (EdsBaseRef, EdsPropertyID, EdsPropertyDesc *))                              \
    X(EdsGetCameraList, EdsError, (EdsCameraListRef *))                                                          \
    X(EdsGetDeviceInfo, EdsError, (EdsCameraRef, EdsDeviceInfo *))                                               \
    X(EdsOpenSession, EdsError, (EdsCameraRef))                                                                  \
    X(EdsCloseSession, EdsError, (EdsCameraRef))                                                                 \
    X(EdsSendCommand, EdsError, (EdsCameraRef, EdsCameraCommand, EdsInt32))                                      \
    X(EdsSendStatusCommand, EdsError, (EdsCameraRef, EdsCameraStatusCommand, EdsInt32))                          \
    X(EdsSetCapacity, EdsError, (EdsCameraRef, EdsCapacity))                                                     \
    X(EdsGetVolumeInfo, EdsError, (EdsVolumeRef, EdsVolumeInfo *))                                               \
    X(EdsFormatVolume, EdsError, (EdsVolumeRef))                                                                 \
    X(EdsGetDirectoryItemInfo, EdsError, (EdsDirectoryItemRef, EdsDirectoryItemInfo *))                          \
    X(EdsDeleteDirectoryItem, EdsError, (EdsDirectoryItemRef))                                                   \
    X(EdsDownload, EdsError, (EdsDirectoryItemRef, EdsUInt64, EdsStreamRef))                                     \
    X(EdsDownloadCancel, EdsError, (EdsDirectoryItemRef))                                                        \
    X(EdsDownloadComplete, EdsError, (EdsDirectoryItemRef))                                                      \
    X(EdsDownloadThumbnail, EdsError, (EdsDirectoryItemRef, EdsStreamRef))                                       \
    X(EdsGetAttribute, EdsError, (EdsDirectoryItemRef, EdsFileAttributes *))                                     \
    X(EdsSetAttribute, EdsError, (EdsDirectoryItemRef, EdsFileAttributes))                                       \
    X(EdsCreateFileStream, EdsError, (const EdsChar *, EdsFileCreateDisposition, EdsAccess, EdsStreamRef *))     \
    X(EdsCreateMemoryStream, EdsError, (EdsUInt64, EdsStreamRef *))                                              \
    X(EdsCreateFileStreamEx, EdsError, (const EdsWChar *, EdsFileCreateDisposition, EdsAccess, EdsStreamRef *))  \
    X(EdsCreateMemoryStreamFromPointer, EdsError, (EdsVoid *, EdsUInt64, EdsStreamRef *))                        \
    X(EdsGetPointer, EdsError, (EdsStreamRef, EdsVoid **))                                                       \
    X(EdsRead, EdsError, (EdsStreamRef, EdsUInt64, EdsVoid *, EdsUInt64 *))                                      \
    X(EdsWrite, EdsError, (EdsStreamRef, EdsUInt64, const EdsVoid *, EdsUInt64 *))                               \
    X(EdsSeek, EdsError, (EdsStreamRef, EdsInt64, EdsSeekOrigin))                                                \
    X(EdsGetPosition, EdsError, (EdsStreamRef, EdsUInt64 *))                                                     \
    X(EdsGetLength, EdsError, (EdsStreamRef, EdsUInt64 *))                                                       \
    X(EdsCopyData, EdsError, (EdsStreamRef, EdsUInt64, EdsStreamRef))                                            \
    X(EdsSetProgressCallback, EdsError, (EdsBaseRef, EdsProgressCallback, EdsProgressOption, EdsVoid *))         \
    X(EdsCreateImageRef, EdsError, (EdsStreamRef, EdsImageRef *))                                                \
    X(EdsGetImageInfo, EdsError, (EdsImageRef, EdsImageSource, EdsImageInfo *))                                  \
    X(EdsGetImage, EdsError, (EdsImageRef, EdsImageSource, EdsTargetImageType, EdsRect, EdsSize, EdsStreamRef))  \
    X(EdsCreateEvfImageRef, EdsError, (EdsStreamRef, EdsEvfImageRef *))                                          \
    X(EdsDownloadEvfImage, EdsError, (EdsCameraRef, EdsEvfImageRef))                                             \
    X(EdsSetCameraAddedHandler, EdsError, (EdsCameraAddedHandler, EdsVoid *))                                    \
    X(EdsSetPropertyEventHandler, EdsError, (EdsCameraRef, EdsPropertyEvent, EdsPropertyEventHandler, EdsVoid *)) \
    X(EdsSetObjectEventHandler, EdsError, (EdsCameraRef, EdsObjectEvent, EdsObjectEventHandler, EdsVoid *))      \
    X(EdsSetCameraStateEventHandler, EdsError, (EdsCameraRef, EdsStateEvent, EdsStateEventHandler, EdsVoid *))   \
    X(EdsGetEvent, EdsError, ())                                                                                 \
    X(TbxSim_LoadScenario, EdsUInt32, (const char *))                                                            \
    X(TbxSim_Reset, EdsUInt32, ())                                                                               \
    X(TbxSim_AttachCamera, EdsUInt32, (const char *))                                                            \
    X(TbxSim_DetachCamera, EdsUInt32, (const char *))                                                            \
    X(TbxSim_InjectFault, EdsUInt32, (const char *, EdsUInt32, EdsInt32))                                        \
    X(TbxSim_ClearFaults, EdsUInt32, ())                                                                         \
    X(TbxSim_SetBusy, EdsUInt32, (const char *, EdsInt32))                                                       \
    X(TbxSim_Unplug, EdsUInt32, (const char *, EdsUInt64))                                                       \
    X(TbxSim_GetCallLog, EdsUInt32, (char *, EdsUInt32, EdsUInt32 *))                                            \
    X(TbxSim_ClearCallLog, EdsUInt32, ())                                                                        \
    X(TbxSim_FireEvent, EdsUInt32, (const char *, EdsUInt32, EdsUInt32))                                         \
    X(TbxSim_ReleaseShutter, EdsUInt32, (const char *))                                                          \
    X(TbxSim_SetProperty, EdsUInt32, (const char *, EdsUInt32, const void *, EdsUInt32))                         \
    X(TbxSim_GetProperty, EdsUInt32, (const char *, EdsUInt32, void *, EdsUInt32, EdsUInt32 *))                  \
    X(TbxSim_WaitIdle, EdsUInt32, (EdsUInt32))                                                                   \
    X(TbxSim_GetObjectCount, EdsUInt32, ())                                                                      \
    X(TbxSim_GetLastError, EdsUInt32, (char *, EdsUInt32, EdsUInt32 *))

struct Sdk {
#define TBX_SDK_MEMBER(name, result, params) result(TBX_EDS_CALL *name) params = nullptr;
    TBX_SDK_FUNCTIONS(TBX_SDK_MEMBER)
#undef TBX_SDK_MEMBER
    EdsError(TBX_EDS_CALL *EdsCreateStream)(EdsIStream *, EdsStreamRef *) = nullptr;
};

/// The stand-in, loaded once per process; the test fails when a function is not exported.
const Sdk &sdk();
/// The exported name of the stream-from-callbacks function on this platform.
const char *createStreamExportName();
/// Looks an export up by name in a library loaded by path; nullptr when missing.
void *exportOf(const char *libraryPath, const char *name);

/// How long a test lets the stand-in's event thread take to handle what it has queued; waiting
/// ends as soon as that is done, so the limit only keeps a hung stand-in from hanging the test.
inline constexpr EdsUInt32 kSettleLimitMs = 30000;

std::string callLog();
std::vector<std::string> callLogLines(const std::string &prefix);
std::string lastSimError();

/// Waits, at most a short bounded time, until \a done is true; for callbacks that come from
/// the library's own event thread.
class Waiter {
public:
    void notify(const std::function<void()> &change);
    bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds limit = std::chrono::milliseconds(kSettleLimitMs));

private:
    std::mutex mutex_;
    std::condition_variable changed_;
};

/// Each test starts from the built-in scenario with the SDK initialized, and ends with every
/// reference it took released.
class SimTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// The first camera of a fresh camera list, the list released again.
    EdsCameraRef firstCamera();
    /// firstCamera() with a session open.
    EdsCameraRef openCamera();
    /// The item at \a path ("DCIM/100CANON/IMG_0001.JPG") on the first volume.
    EdsDirectoryItemRef itemAt(EdsCameraRef camera, const std::string &path);
    EdsUInt32 u32Property(EdsBaseRef ref, EdsPropertyID id);
    EdsError setU32(EdsBaseRef ref, EdsPropertyID id, EdsUInt32 value);
    std::vector<std::uint8_t> streamBytes(EdsStreamRef stream);
    void release(EdsBaseRef ref);

    const Sdk &s = sdk();
    std::vector<EdsBaseRef> held_;
};
