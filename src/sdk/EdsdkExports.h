// The one list of EDSDK.DLL's entry points, in the binding's order. Everything that declares,
// binds, exports or fakes them is generated from it: the binding's entry-point table, the .def
// files of the stand-in and of the test libraries (CMake reads the X(...) lines), and the test
// clients' tables.
//
// TBX_EDSDK_EXPORTS(X) calls X(name, ordinal, x86 argument bytes, result, (parameters)) for each:
//   - ordinal: the vendor's fixed ordinal; 0 for a function it exports by name only, which the
//     32-bit library exports under its decorated __stdcall name (_Name@bytes)
//   - x86 argument bytes: what the 32-bit function pops, as in the vendor's import library; the
//     binding checks its parameter types against it
//   - result and parameters name the SDK's own types, so each side expands the list with its
//     own declarations of them (the binding's in sdk/EDSDK.h, the stand-in's in sim/edsdk)
// The list includes no header and declares nothing itself.
#pragma once

// clang-format off
#define TBX_EDSDK_EXPORTS(X) \
    /* SDK lifetime */                                                                                         \
    X(EdsInitializeSDK, 1, 0, EdsError, ())                                                                    \
    X(EdsTerminateSDK, 2, 0, EdsError, ())                                                                     \
    /* Objects and tree; EdsRetain and EdsRelease return the new reference count */                            \
    X(EdsRetain, 3, 4, EdsUInt32, (EdsBaseRef inRef))                                                          \
    X(EdsRelease, 4, 4, EdsUInt32, (EdsBaseRef inRef))                                                         \
    X(EdsGetChildCount, 5, 8, EdsError, (EdsBaseRef inRef, EdsUInt32 *outCount))                               \
    X(EdsGetChildAtIndex, 6, 12, EdsError, (EdsBaseRef inRef, EdsInt32 inIndex, EdsBaseRef *outRef))           \
    X(EdsGetParent, 7, 8, EdsError, (EdsBaseRef inRef, EdsBaseRef *outParentRef))                              \
    /* Properties */                                                                                           \
    X(EdsGetPropertySize, 8, 20, EdsError, (EdsBaseRef inRef, EdsPropertyID inPropertyID, EdsInt32 inParam,    \
                                            EdsDataType *outDataType, EdsUInt32 *outSize))                     \
    X(EdsGetPropertyData, 9, 20, EdsError, (EdsBaseRef inRef, EdsPropertyID inPropertyID, EdsInt32 inParam,    \
                                            EdsUInt32 inPropertySize, EdsVoid *outPropertyData))               \
    X(EdsSetPropertyData, 10, 20, EdsError, (EdsBaseRef inRef, EdsPropertyID inPropertyID, EdsInt32 inParam,   \
                                             EdsUInt32 inPropertySize, const EdsVoid *inPropertyData))         \
    X(EdsGetPropertyDesc, 11, 12, EdsError, (EdsBaseRef inRef, EdsPropertyID inPropertyID,                     \
                                             EdsPropertyDesc *outPropertyDesc))                                \
    /* Cameras and sessions */                                                                                 \
    X(EdsGetCameraList, 12, 4, EdsError, (EdsCameraListRef *outCameraListRef))                                 \
    X(EdsGetDeviceInfo, 13, 8, EdsError, (EdsCameraRef inCameraRef, EdsDeviceInfo *outDeviceInfo))             \
    X(EdsOpenSession, 14, 4, EdsError, (EdsCameraRef inCameraRef))                                             \
    X(EdsCloseSession, 15, 4, EdsError, (EdsCameraRef inCameraRef))                                            \
    /* Commands; EdsCapacity travels by value */                                                               \
    X(EdsSendCommand, 16, 12, EdsError, (EdsCameraRef inCameraRef, EdsCameraCommand inCommand,                 \
                                         EdsInt32 inParam))                                                    \
    X(EdsSendStatusCommand, 17, 12, EdsError, (EdsCameraRef inCameraRef,                                       \
                                               EdsCameraStatusCommand inStatusCommand, EdsInt32 inParam))      \
    X(EdsSetCapacity, 18, 16, EdsError, (EdsCameraRef inCameraRef, EdsCapacity inCapacity))                    \
    /* Volumes and items */                                                                                    \
    X(EdsGetVolumeInfo, 19, 8, EdsError, (EdsVolumeRef inVolumeRef, EdsVolumeInfo *outVolumeInfo))             \
    X(EdsFormatVolume, 20, 4, EdsError, (EdsVolumeRef inVolumeRef))                                            \
    X(EdsGetDirectoryItemInfo, 21, 8, EdsError, (EdsDirectoryItemRef inDirItemRef,                             \
                                                 EdsDirectoryItemInfo *outDirItemInfo))                        \
    /* EdsDeleteDirectoryItem releases the item reference itself */                                            \
    X(EdsDeleteDirectoryItem, 22, 4, EdsError, (EdsDirectoryItemRef inDirItemRef))                             \
    /* Transfer */                                                                                             \
    X(EdsDownload, 23, 16, EdsError, (EdsDirectoryItemRef inDirItemRef, EdsUInt64 inReadSize,                  \
                                      EdsStreamRef outStream))                                                 \
    X(EdsDownloadCancel, 24, 4, EdsError, (EdsDirectoryItemRef inDirItemRef))                                  \
    X(EdsDownloadComplete, 25, 4, EdsError, (EdsDirectoryItemRef inDirItemRef))                                \
    X(EdsDownloadThumbnail, 26, 8, EdsError, (EdsDirectoryItemRef inDirItemRef, EdsStreamRef outStream))       \
    /* Attributes */                                                                                           \
    X(EdsGetAttribute, 27, 8, EdsError, (EdsDirectoryItemRef inDirItemRef,                                     \
                                         EdsFileAttributes *outFileAttribute))                                 \
    X(EdsSetAttribute, 28, 8, EdsError, (EdsDirectoryItemRef inDirItemRef, EdsFileAttributes inFileAttribute)) \
    /* Streams (64-bit sizes and offsets) */                                                                   \
    X(EdsCreateFileStream, 29, 16, EdsError, (const EdsChar *inFileName,                                       \
                                              EdsFileCreateDisposition inCreateDisposition,                    \
                                              EdsAccess inDesiredAccess, EdsStreamRef *outStream))             \
    X(EdsCreateMemoryStream, 30, 12, EdsError, (EdsUInt64 inBufferSize, EdsStreamRef *outStream))              \
    /* the file name of EdsCreateFileStreamEx is UTF-16 (WCHAR) on Windows */                                  \
    X(EdsCreateFileStreamEx, 31, 16, EdsError, (const EdsWChar *inFileName,                                    \
                                                EdsFileCreateDisposition inCreateDisposition,                  \
                                                EdsAccess inDesiredAccess, EdsStreamRef *outStream))           \
    X(EdsCreateMemoryStreamFromPointer, 32, 16, EdsError, (EdsVoid *inUserBuffer, EdsUInt64 inBufferSize,      \
                                                           EdsStreamRef *outStream))                           \
    X(EdsGetPointer, 33, 8, EdsError, (EdsStreamRef inStream, EdsVoid **outPointer))                           \
    X(EdsRead, 34, 20, EdsError, (EdsStreamRef inStreamRef, EdsUInt64 inReadSize, EdsVoid *outBuffer,          \
                                  EdsUInt64 *outReadSize))                                                     \
    X(EdsWrite, 35, 20, EdsError, (EdsStreamRef inStreamRef, EdsUInt64 inWriteSize, const EdsVoid *inBuffer,   \
                                   EdsUInt64 *outWrittenSize))                                                 \
    X(EdsSeek, 36, 16, EdsError, (EdsStreamRef inStreamRef, EdsInt64 inSeekOffset,                             \
                                  EdsSeekOrigin inSeekOrigin))                                                 \
    X(EdsGetPosition, 37, 8, EdsError, (EdsStreamRef inStreamRef, EdsUInt64 *outPosition))                     \
    X(EdsGetLength, 38, 8, EdsError, (EdsStreamRef inStreamRef, EdsUInt64 *outLength))                         \
    X(EdsCopyData, 39, 16, EdsError, (EdsStreamRef inStreamRef, EdsUInt64 inWriteSize,                         \
                                      EdsStreamRef outStreamRef))                                              \
    /* the progress belongs to inRef, a stream or image */                                                     \
    X(EdsSetProgressCallback, 40, 16, EdsError, (EdsBaseRef inRef, EdsProgressCallback inProgressFunc,         \
                                                 EdsProgressOption inProgressOption, EdsVoid *inContext))      \
    /* Images; EdsRect and EdsSize travel by value */                                                          \
    X(EdsCreateImageRef, 41, 8, EdsError, (EdsStreamRef inStreamRef, EdsImageRef *outImageRef))                \
    X(EdsGetImageInfo, 42, 12, EdsError, (EdsImageRef inImageRef, EdsImageSource inImageSource,                \
                                          EdsImageInfo *outImageInfo))                                         \
    X(EdsGetImage, 43, 40, EdsError, (EdsImageRef inImageRef, EdsImageSource inImageSource,                    \
                                      EdsTargetImageType inImageType, EdsRect inSrcRect, EdsSize inDstSize,    \
                                      EdsStreamRef outStreamRef))                                              \
    /* Live view */                                                                                            \
    X(EdsCreateEvfImageRef, 47, 8, EdsError, (EdsStreamRef inStreamRef, EdsEvfImageRef *outEvfImageRef))       \
    X(EdsDownloadEvfImage, 48, 8, EdsError, (EdsCameraRef inCameraRef, EdsEvfImageRef inEvfImageRef))          \
    /* Event handlers (a null handler unregisters) */                                                          \
    X(EdsSetCameraAddedHandler, 49, 8, EdsError, (EdsCameraAddedHandler inCameraAddedHandler,                  \
                                                  EdsVoid *inContext))                                         \
    X(EdsSetPropertyEventHandler, 50, 16, EdsError, (EdsCameraRef inCameraRef, EdsPropertyEvent inEvent,       \
                                                     EdsPropertyEventHandler inPropertyEventHandler,           \
                                                     EdsVoid *inContext))                                      \
    X(EdsSetObjectEventHandler, 51, 16, EdsError, (EdsCameraRef inCameraRef, EdsObjectEvent inEvent,           \
                                                   EdsObjectEventHandler inObjectEventHandler,                 \
                                                   EdsVoid *inContext))                                        \
    X(EdsSetCameraStateEventHandler, 52, 16, EdsError, (EdsCameraRef inCameraRef, EdsStateEvent inEvent,       \
                                                        EdsStateEventHandler inStateEventHandler,              \
                                                        EdsVoid *inContext))                                   \
    /* Other */                                                                                                \
    X(EdsCreateStream, 0, 8, EdsError, (EdsIStream *inStream, EdsStreamRef *outStreamRef))                     \
    X(EdsGetEvent, 53, 0, EdsError, ())
// clang-format on

/// The name an entry point of the list is exported under on this platform.
#if defined(_WIN32) && !defined(_WIN64)
#define TBX_EDSDK_EXPORT_NAME(name, ordinal, x86Bytes) ((ordinal) == 0 ? "_" #name "@" #x86Bytes : #name)
#else
#define TBX_EDSDK_EXPORT_NAME(name, ordinal, x86Bytes) #name
#endif
