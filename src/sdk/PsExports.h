// The one list of PSG7XMK2SDK.DLL's entry points, in the binding's order. The generation-2
// library offers the EOS library's functions under the same names and with the same
// declarations, less six it does not have (EdsSendStatusCommand, EdsSetCapacity, the three image
// functions and EdsCreateStream); the binding, the test libraries' .def files and the stand-in
// are generated from this list, and the binding checks each row against the EDSDK list.
//
// TBX_PSSDK_EXPORTS(X) calls X(name, ordinal, x86 argument bytes) for each:
//   - ordinal: the one our libraries give it, the EOS library's ordinal of the same function;
//     the binding looks every entry point up by its plain name, on 32-bit Windows too
//   - x86 argument bytes: what the 32-bit __stdcall function pops (as in the EDSDK list)
// The result and parameter types are those of the same row of TBX_EDSDK_EXPORTS.
#pragma once

// clang-format off
#define TBX_PSSDK_EXPORTS(X)                  \
    /* SDK lifetime */                        \
    X(EdsInitializeSDK, 1, 0)                 \
    X(EdsTerminateSDK, 2, 0)                  \
    /* Objects and tree */                    \
    X(EdsRetain, 3, 4)                        \
    X(EdsRelease, 4, 4)                       \
    X(EdsGetChildCount, 5, 8)                 \
    X(EdsGetChildAtIndex, 6, 12)              \
    X(EdsGetParent, 7, 8)                     \
    /* Properties */                          \
    X(EdsGetPropertySize, 8, 20)              \
    X(EdsGetPropertyData, 9, 20)              \
    X(EdsSetPropertyData, 10, 20)             \
    X(EdsGetPropertyDesc, 11, 12)             \
    /* Cameras and sessions */                \
    X(EdsGetCameraList, 12, 4)                \
    X(EdsGetDeviceInfo, 13, 8)                \
    X(EdsOpenSession, 14, 4)                  \
    X(EdsCloseSession, 15, 4)                 \
    /* Commands */                            \
    X(EdsSendCommand, 16, 12)                 \
    /* Volumes and items */                   \
    X(EdsGetVolumeInfo, 19, 8)                \
    X(EdsFormatVolume, 20, 4)                 \
    X(EdsGetDirectoryItemInfo, 21, 8)         \
    X(EdsDeleteDirectoryItem, 22, 4)          \
    /* Transfer */                            \
    X(EdsDownload, 23, 16)                    \
    X(EdsDownloadCancel, 24, 4)               \
    X(EdsDownloadComplete, 25, 4)             \
    X(EdsDownloadThumbnail, 26, 8)            \
    /* Attributes */                          \
    X(EdsGetAttribute, 27, 8)                 \
    X(EdsSetAttribute, 28, 8)                 \
    /* Streams */                             \
    X(EdsCreateFileStream, 29, 16)            \
    X(EdsCreateMemoryStream, 30, 12)          \
    X(EdsCreateFileStreamEx, 31, 16)          \
    X(EdsCreateMemoryStreamFromPointer, 32, 16) \
    X(EdsGetPointer, 33, 8)                   \
    X(EdsRead, 34, 20)                        \
    X(EdsWrite, 35, 20)                       \
    X(EdsSeek, 36, 16)                        \
    X(EdsGetPosition, 37, 8)                  \
    X(EdsGetLength, 38, 8)                    \
    X(EdsCopyData, 39, 16)                    \
    X(EdsSetProgressCallback, 40, 16)         \
    /* Live view */                           \
    X(EdsCreateEvfImageRef, 47, 8)            \
    X(EdsDownloadEvfImage, 48, 8)             \
    /* Event handlers */                      \
    X(EdsSetCameraAddedHandler, 49, 8)        \
    X(EdsSetPropertyEventHandler, 50, 16)     \
    X(EdsSetObjectEventHandler, 51, 16)       \
    X(EdsSetCameraStateEventHandler, 52, 16)  \
    /* Other */                               \
    X(EdsGetEvent, 53, 0)
// clang-format on
