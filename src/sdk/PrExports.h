// The one list of PRSDK.DLL's entry points, in the binding's order. Everything that declares,
// binds, exports or fakes them is generated from it: the binding's entry-point table, the .def
// files of the stand-in and of the test libraries (CMake reads the X(...) lines), and the
// stand-in's definitions.
//
// TBX_PRSDK_EXPORTS(X) calls X(name, ordinal, x86 argument bytes, result, (parameters)) for each:
//   - ordinal: the one our libraries give it, its position among the library's declarations
//     (PR_GetFunctions, which the system never binds, keeps number 4); every entry point is
//     exported and looked up by its plain name, on 32-bit Windows too
//   - x86 argument bytes: what the 32-bit __stdcall function pops; every parameter takes one
//     4-byte slot, the 16-bit codes included, and the binding checks its declarations against it
//   - result and parameters name the SDK's own types, so each side expands the list with its
//     own declarations of them (the binding's in sdk/PRAPI.h)
// The list includes no header and declares nothing itself.
#pragma once

// clang-format off
#define TBX_PRSDK_EXPORTS(X)                                                                                   \
    /* SDK lifetime; PR_GetDllsVersion is bound but never called */                                           \
    X(PR_StartSDK, 1, 0, prResponse, ())                                                                       \
    X(PR_FinishSDK, 2, 0, prResponse, ())                                                                      \
    X(PR_GetDllsVersion, 3, 8, prResponse, (prUInt32 *pBufferSize, prDllsVerInfo *pDllVersion))                \
    /* Devices and connection */                                                                               \
    X(PR_GetDeviceList, 5, 8, prResponse, (prUInt32 *pBufferSize, prDeviceList *pDeviceList))                  \
    X(PR_CreateCameraObject, 6, 8, prResponse, (prDeviceInfoTable *pDeviceInfo, prHandle *pCameraHandle))      \
    X(PR_DestroyCameraObject, 7, 4, prResponse, (prHandle CameraHandle))                                       \
    X(PR_ConnectCamera, 8, 4, prResponse, (prHandle CameraHandle))                                             \
    X(PR_DisconnectCamera, 9, 4, prResponse, (prHandle CameraHandle))                                          \
    /* Events: the context comes before the callback */                                                        \
    X(PR_SetEventCallBack, 10, 12, prResponse, (prHandle CameraHandle, prContext Context,                      \
                                                prSetEventCB *pSetEventCB))                                    \
    X(PR_ClearEventCallBack, 11, 4, prResponse, (prHandle CameraHandle))                                       \
    /* Device information: the raw PTP dataset; the size is the capacity in, the size used out */             \
    X(PR_GetDeviceInfo, 12, 12, prResponse, (prHandle CameraHandle, prUInt32 *pBufferSize,                     \
                                             prVoid *pDeviceInfo))                                             \
    /* Release control */                                                                                      \
    X(PR_InitiateReleaseControl, 13, 4, prResponse, (prHandle CameraHandle))                                   \
    X(PR_TerminateReleaseControl, 14, 4, prResponse, (prHandle CameraHandle))                                  \
    X(PR_RC_Release, 15, 4, prResponse, (prHandle CameraHandle))                                               \
    X(PR_RC_GetReleasedData, 16, 24, prResponse, (prHandle CameraHandle, prObjectHandle ObjectHandle,          \
                                                  prptpEventCode EventCode, prUInt32 TransSize,                \
                                                  prContext Context, prGetFileDataCB *pGetFileDataCB))         \
    X(PR_RC_GetNumAvailableShot, 17, 8, prResponse, (prHandle CameraHandle, prUInt32 *pNum))                   \
    /* Viewfinder and focus */                                                                                 \
    X(PR_RC_StartViewFinder, 18, 12, prResponse, (prHandle CameraHandle, prContext Context,                    \
                                                  prViewFinderCB *pViewFinderCB))                              \
    X(PR_RC_TermViewFinder, 19, 4, prResponse, (prHandle CameraHandle))                                        \
    X(PR_RC_DoAeAfAwb, 20, 8, prResponse, (prHandle CameraHandle, prptpAeAfAwbResetFlag ResetFlag))            \
    X(PR_RC_FocusLock, 21, 4, prResponse, (prHandle CameraHandle))                                             \
    X(PR_RC_FocusUnlock, 22, 4, prResponse, (prHandle CameraHandle))                                           \
    /* Device properties: descriptions and values travel as raw little-endian bytes */                       \
    X(PR_GetDevicePropDesc, 23, 16, prResponse, (prHandle CameraHandle, prptpDevicePropCode DevicePropCode,    \
                                                 prUInt32 *pBufferSize, prVoid *pDevicePropDesc))              \
    X(PR_GetDevicePropValue, 24, 16, prResponse, (prHandle CameraHandle, prptpDevicePropCode DevicePropCode,   \
                                                  prUInt32 *pBufferSize, prVoid *pDeviceProperty))             \
    X(PR_SetDevicePropValue, 25, 16, prResponse, (prHandle CameraHandle, prptpDevicePropCode DevicePropCode,   \
                                                  prUInt32 DataSize, prVoid *pDeviceProperty))                 \
    /* Other: bound but never called; the name is spelled so */                                               \
    X(PR_RC_GetChangedReleaseParamesList, 26, 12, prResponse, (prHandle CameraHandle, prUInt32 *pBufferSize,   \
                                                               prVoid *pParamsList))
// clang-format on
