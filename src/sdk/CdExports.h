// The one list of CDSDK.DLL's entry points, in the binding's order. The binding's entry-point table,
// the .def files of the stand-in and of the test libraries (CMake reads the X(...) lines) and the
// stand-in's definitions are all generated from it.
//
// TBX_CDSDK_EXPORTS(X) calls X(name, export kind, x86 argument bytes, result, (parameters)):
//   - export kind: 1 for a function the library exports under its plain name; 0 for the one it
//     exports only under its decorated __stdcall name on 32-bit Windows (_Name@bytes), the
//     release-control faculty query. Elsewhere every function goes by its plain name.
//   - x86 argument bytes: what the 32-bit __stdcall function pops, as the vendor's import library
//     says (every parameter takes one 4-byte slot, the 16-bit ones too; CDMakeImageItem's medium
//     travels by value in two)
//   - result and parameters name the SDK's own types (sdk/CDTypes.h), so that each side expands
//     the list with its own declarations
// The viewfinder output selection is exported as CDSelectViewFinderCameraOutput (capital F), the
// other viewfinder functions with a lower-case f. The list includes no header and declares
// nothing itself.
#pragma once

// clang-format off
#define TBX_CDSDK_EXPORTS(X)                                                                                          \
    /* SDK lifetime */                                                                                                \
    X(CDStartSDK, 1, 8, CdError, (CdVersionInfo *pVersion, CdUInt32 Option))                                          \
    X(CDFinishSDK, 1, 0, CdError, ())                                                                                 \
    X(CDGetSDKVersion, 1, 4, CdError, (CdVersionInfo *pVersion))                                                      \
    /* Devices */                                                                                                     \
    X(CDEnumDeviceReset, 1, 8, CdError, (CdUInt32 Kind, CdHEnum *phEnum))                                             \
    X(CDEnumDeviceNext, 1, 8, CdError, (CdHEnum hEnum, CdSourceInfo *pSourceInfo))                                    \
    X(CDGetDeviceCount, 1, 8, CdError, (CdHEnum hEnum, CdUInt32 *pCount))                                             \
    X(CDEnumDeviceRelease, 1, 4, CdError, (CdHEnum hEnum))                                                            \
    X(CDOpenSource, 1, 8, CdError, (CdSourceInfo *pSourceInfo, CdHSource *phSource))                                  \
    X(CDCloseSource, 1, 4, CdError, (CdHSource hSource))                                                              \
    /* Events */                                                                                                      \
    X(CDRegisterEventCallbackFunction, 1, 16, CdError, (CdHSource hSource, CdEventCallbackFunction *pFunc,            \
        CdContext Context, CdHandle *phFunc))                                                                         \
    X(CDUnregisterEventCallbackFunction, 1, 8, CdError, (CdHSource hSource, CdHandle hFunc))                          \
    /* Device properties */                                                                                           \
    X(CDEnumDevicePropertyReset, 1, 12, CdError, (CdHSource hSource, CdUInt32 Option, CdHEnum *phEnum))               \
    X(CDEnumDevicePropertyNext, 1, 8, CdError, (CdHEnum hEnum, CdDevicePropertyStruct *pDevPropStruct))               \
    X(CDEnumDevicePropertyRelease, 1, 4, CdError, (CdHEnum hEnum))                                                    \
    X(CDGetDevicePropertyData, 1, 20, CdError, (CdHSource hSource, CdDevicePropertyID DevPropID, CdUInt32 *pBufSize,  \
        CdVoid *pBuf, CdUInt32 Option))                                                                               \
    X(CDSetDevicePropertyData, 1, 16, CdError, (CdHSource hSource, CdDevicePropertyID DevPropID, CdUInt32 *pBufSize,  \
        CdVoid *pBuf))                                                                                                \
    X(CDGetDevicePropertyCount, 1, 8, CdError, (CdHEnum hEnum, CdUInt32 *pCount))                                     \
    /* Supported image sizes */                                                                                       \
    X(CDEnumSupportedImageSizeReset, 1, 12, CdError, (CdHSource hSource, CdUInt32 Option, CdHEnum *phEnum))           \
    X(CDEnumSupportedImageSizeNext, 1, 8, CdError, (CdHEnum hEnum, CdImageSizeSpec *pSpec))                           \
    X(CDGetSupportedImageSizeCount, 1, 8, CdError, (CdHEnum hEnum, CdUInt32 *pCount))                                 \
    X(CDEnumSupportedImageSizeRelease, 1, 4, CdError, (CdHEnum hEnum))                                                \
    /* User interface lock */                                                                                         \
    X(CDLockUI, 1, 4, CdError, (CdHSource hSource))                                                                   \
    X(CDUnlockUI, 1, 4, CdError, (CdHSource hSource))                                                                 \
    X(CDSetUILockTimeOutTime, 1, 8, CdError, (CdHSource hSource, CdUInt32 Time))                                      \
    /* Volumes */                                                                                                     \
    X(CDFormat, 1, 4, CdError, (CdHVolume hVolume))                                                                   \
    X(CDEnumVolumeReset, 1, 8, CdError, (CdHSource hSource, CdHEnum *phEnum))                                         \
    X(CDEnumVolumeNext, 1, 8, CdError, (CdHEnum hEnum, CdHVolume *phVolume))                                          \
    X(CDEnumVolumeRelease, 1, 4, CdError, (CdHEnum hEnum))                                                            \
    X(CDGetVolumeInfo, 1, 8, CdError, (CdHVolume hVolume, CdVolumeInfo *pVolInfo))                                    \
    X(CDGetVolumeCount, 1, 8, CdError, (CdHEnum hEnum, CdUInt32 *pCount))                                             \
    X(CDGetVolumeName, 1, 8, CdError, (CdHVolume hVolume, CdVolName *pVolName))                                       \
    /* Items and images */                                                                                            \
    X(CDEnumImageItemReset, 1, 16, CdError, (CdHItem hItem, CdUInt32 Depth, CdEnumItemOption Option, CdHEnum *phEnum))\
    X(CDEnumImageItemNext, 1, 8, CdError, (CdHEnum hEnum, CdHImageItem *phImage))                                     \
    X(CDGetImageItemCount, 1, 8, CdError, (CdHEnum hEnum, CdUInt32 *pCount))                                          \
    X(CDEnumImageItemRelease, 1, 4, CdError, (CdHEnum hEnum))                                                         \
    X(CDGetItemInfo, 1, 8, CdError, (CdHItem hItem, CdItemInfo *pItemInfo))                                           \
    X(CDOpenImage, 1, 4, CdError, (CdHImageItem hImgItem))                                                            \
    X(CDCloseImage, 1, 4, CdError, (CdHImageItem hImgItem))                                                           \
    X(CDGetThumbnail, 1, 8, CdError, (CdHImageItem hImgItem, CdHImageData *phImgData))                                \
    X(CDGetPicture, 1, 8, CdError, (CdHImageItem hImgItem, CdHImageData *phImgData))                                  \
    X(CDGetImageData, 1, 20, CdError, (CdHImageData hImgData, CdStgMedium *pStgMediumDest,                            \
        CdProgressCallbackFunction *pCallbackFunc, CdContext Context, CdProgressOption ProgressOption))               \
    X(CDDeleteImage, 1, 8, CdError, (CdHItem hParent, CdHImageItem hImgItem))                                         \
    X(CDEnumItemReset, 1, 12, CdError, (CdHItem hParent, CdEnumItemOption Option, CdHEnum *phEnum))                   \
    X(CDEnumItemNext, 1, 8, CdError, (CdHEnum hEnum, CdHItem *phItem))                                                \
    X(CDGetItemCount, 1, 8, CdError, (CdHEnum hEnum, CdUInt32 *pCount))                                               \
    X(CDEnumItemRelease, 1, 4, CdError, (CdHEnum hEnum))                                                              \
    X(CDMakeImageItem, 1, 16, CdError, (CdStgMedium StgMedium, CdImageFormat Format, CdHImageItem *phImgItem))        \
    X(CDFreeImageItem, 1, 4, CdError, (CdHImageItem hImgItem))                                                        \
    X(CDGetMovie, 1, 8, CdError, (CdHImageItem hImgItem, CdHImageData *phImgData))                                    \
    X(CDGetSound, 1, 8, CdError, (CdHImageItem hImgItem, CdHImageData *phImgData))                                    \
    X(CDEnumImageDataInItemReset, 1, 8, CdError, (CdHImageItem hImgItem, CdHEnum *phEnum))                            \
    X(CDEnumImageDataInItemNext, 1, 8, CdError, (CdHEnum hEnum, CdHImageData *phImgData))                             \
    X(CDGetImageDataInItemCount, 1, 8, CdError, (CdHEnum hEnum, CdUInt32 *pCount))                                    \
    X(CDEnumImageDataInItemRelease, 1, 4, CdError, (CdHEnum hEnum))                                                   \
    X(CDGetImageDataInfo, 1, 8, CdError, (CdHImageData hImgData, CdImageDataInfo *pImgDataInfo))                      \
    X(CDAddPicture, 1, 48, CdError, (CdStgMedium *pSrc, CdVoid *pSrcFileFormat, CdHVolume hVolume,                    \
        CdHFolder hFolder, CdCompQuality CompQuality, CdChar *pModelName, CdUInt32 OptionFlags,                       \
        CdVoid *pAddImageProps, CdProgressCallbackFunction *pCallbackFunc, CdContext Context,                         \
        CdProgressOption ProgressOption, CdVoid *pAddInfo))                                                           \
    X(CDIsPrintMarked, 1, 8, CdError, (CdHImageItem hImgItem, CdBoolean *pbMarked))                                   \
    X(CDIsSlideMarked, 1, 8, CdError, (CdHImageItem hImgItem, CdBoolean *pbMarked))                                   \
    X(CDIsTransferMarked, 1, 8, CdError, (CdHImageItem hImgItem, CdBoolean *pbMarked))                                \
    /* Image properties */                                                                                            \
    X(CDEnumBaseImageDataPropertyReset, 1, 8, CdError, (CdHImageData hImgData, CdHEnum *phEnum))                      \
    X(CDEnumBaseImageDataPropertyNext, 1, 8, CdError, (CdHEnum hEnum, CdVoid *pBaseImgPropStruct))                    \
    X(CDGetBaseImageDataPropertyCount, 1, 8, CdError, (CdHEnum hEnum, CdUInt32 *pCount))                              \
    X(CDEnumBaseImageDataPropertyRelease, 1, 4, CdError, (CdHEnum hEnum))                                             \
    X(CDGetBaseImageDataProperty, 1, 16, CdError, (CdHImageData hImgData, CdUInt32 BaseImgPropID,                     \
        CdUInt32 *pBufSize, CdVoid *pBuf))                                                                            \
    X(CDEnumImageItemPropertyReset, 1, 8, CdError, (CdHImageItem hImgItem, CdHEnum *phEnum))                          \
    X(CDEnumImageItemPropertyNext, 1, 8, CdError, (CdHEnum hEnum, CdVoid *pImgPropStruct))                            \
    X(CDGetImageItemPropertyCount, 1, 8, CdError, (CdHEnum hEnum, CdUInt32 *pCount))                                  \
    X(CDEnumImageItemPropertyRelease, 1, 4, CdError, (CdHEnum hEnum))                                                 \
    X(CDGetImageItemProperty, 1, 16, CdError, (CdHImageItem hImgItem, CdUInt32 ImgPropID, CdUInt32 *pBufSize,         \
        CdVoid *pBuf))                                                                                                \
    X(CDSetImageItemProperty, 1, 16, CdError, (CdHImageItem hImgItem, CdUInt32 ImgPropID, CdUInt32 *pBufSize,         \
        CdVoid *pBuf))                                                                                                \
    X(CDFlashImageItemProperty, 1, 4, CdError, (CdHImageItem hImgItem))                                               \
    X(CDGetThumbnailValidArea, 1, 8, CdError, (CdHImageItem hImgItem, CdRect *pFrame))                                \
    /* Release control; the faculty query is exported under its decorated name only */                                \
    X(CDEnterReleaseControl, 1, 12, CdError, (CdHSource hSource, CdReleaseEventCallbackFunction *pFunc,               \
        CdContext Context))                                                                                           \
    X(CDExitReleaseControl, 1, 4, CdError, (CdHSource hSource))                                                       \
    X(CDGetReleaseControlFaculty, 0, 8, CdError, (CdHSource hSource, CdReleaseControlFaculty *pFaculty))              \
    X(CDSelectReleaseDataKind, 1, 8, CdError, (CdHSource hSource, CdRelDataKind Kind))                                \
    X(CDRelease, 1, 24, CdError, (CdHSource hSource, CdBoolean bSync, CdProgressCallbackFunction *pCallbackFunc,      \
        CdContext Context, CdProgressOption ProgressOption, CdUInt32 *pNumData))                                      \
    X(CDGetReleasedData, 1, 24, CdError, (CdHSource hSource, CdProgressCallbackFunction *pCallbackFunc,               \
        CdContext Context, CdProgressOption ProgressOption, CdReleaseImageInfo *pInfo, CdStgMedium *pStgMedium))      \
    X(CDGetNumAvailableShot, 1, 8, CdError, (CdHSource hSource, CdUInt32 *pNum))                                      \
    /* Viewfinder, zoom, focus (the output selection is exported with a capital F) */                                 \
    X(CDStartViewfinder, 1, 16, CdError, (CdHSource hSource, CdUInt32 Format, CdViewfinderCallbackFunction *pFunc,    \
        CdContext Context))                                                                                           \
    X(CDTermViewfinder, 1, 4, CdError, (CdHSource hSource))                                                           \
    X(CDSelectViewFinderCameraOutput, 1, 8, CdError, (CdHSource hSource, CdRelViewfinderOutput cameraOutput))         \
    X(CDActViewfinderAutoFunctions, 1, 8, CdError, (CdHSource hSource, CdUInt32 ActivateFlag))                        \
    X(CDGetMaximumZoomPos, 1, 12, CdError, (CdHSource hSource, CdUInt32 *pMaxZoomPos, CdUInt32 *pMaxOpticalZoomPos))  \
    X(CDGetZoomPos, 1, 8, CdError, (CdHSource hSource, CdUInt32 *pZoomPos))                                           \
    X(CDSetZoomPos, 1, 8, CdError, (CdHSource hSource, CdUInt32 ZoomPos))                                             \
    X(CDAFLock, 1, 8, CdError, (CdHSource hSource, CdBoolean bLock))                                                  \
    X(CDGetDZoomMagnification, 1, 8, CdError, (CdHSource hSource, CdURational *pDZoomMag))                            \
    /* Image format */                                                                                                \
    X(CDSetImageFormatAttribute, 1, 12, CdError, (CdHSource hSource, CdCompQuality Quality, CdImageSize Size))        \
    X(CDGetImageFormatAttribute, 1, 12, CdError, (CdHSource hSource, CdCompQuality *pQuality, CdImageSize *pSize))    \
    X(CDEnumImageFormatAttributeReset, 1, 8, CdError, (CdHSource hSource, CdHEnum *phEnum))                           \
    X(CDEnumImageFormatAttributeNext, 1, 12, CdError, (CdHEnum hEnum, CdCompQuality *pQuality, CdImageSize *pSize))   \
    X(CDEnumImageFormatAttributeRelease, 1, 4, CdError, (CdHEnum hEnum))                                              \
    X(CDGetImageFormatAttributeCount, 1, 8, CdError, (CdHEnum hEnum, CdUInt32 *pCount))                               \
    /* Drive mode */                                                                                                  \
    X(CDSetDriveMode, 1, 8, CdError, (CdHSource hSource, CdDriveMode DriveMode))                                      \
    X(CDGetDriveMode, 1, 8, CdError, (CdHSource hSource, CdDriveMode *pDriveMode))                                    \
    X(CDEnumDriveModeReset, 1, 8, CdError, (CdHSource hSource, CdHEnum *phEnum))                                      \
    X(CDEnumDriveModeNext, 1, 8, CdError, (CdHEnum hEnum, CdDriveMode *pDriveMode))                                   \
    X(CDEnumDriveModeRelease, 1, 4, CdError, (CdHEnum hEnum))                                                         \
    X(CDGetDriveModeCount, 1, 8, CdError, (CdHEnum hEnum, CdUInt32 *pCount))                                          \
    /* Shooting mode, Av, Tv, exposure compensation, white balance, AF distance, flash */                             \
    X(CDSetShootingMode, 1, 8, CdError, (CdHSource hSource, CdShootingMode ShootingMode))                             \
    X(CDGetShootingMode, 1, 8, CdError, (CdHSource hSource, CdShootingMode *pShootingMode))                           \
    X(CDEnumShootingModeReset, 1, 8, CdError, (CdHSource hSource, CdHEnum *phEnum))                                   \
    X(CDEnumShootingModeNext, 1, 8, CdError, (CdHEnum hEnum, CdShootingMode *pShootingMode))                          \
    X(CDEnumShootingModeRelease, 1, 4, CdError, (CdHEnum hEnum))                                                      \
    X(CDGetShootingModeCount, 1, 8, CdError, (CdHEnum hEnum, CdUInt32 *pCount))                                       \
    X(CDSetAvValue, 1, 8, CdError, (CdHSource hSource, CdRemoteSetAv Av))                                             \
    X(CDGetAvValue, 1, 8, CdError, (CdHSource hSource, CdRemoteSetAv *pAv))                                           \
    X(CDSetTvValue, 1, 8, CdError, (CdHSource hSource, CdRemoteSetTv Tv))                                             \
    X(CDGetTvValue, 1, 8, CdError, (CdHSource hSource, CdRemoteSetTv *pTv))                                           \
    X(CDEnumAvValueReset, 1, 8, CdError, (CdHSource hSource, CdHEnum *phEnum))                                        \
    X(CDEnumAvValueNext, 1, 8, CdError, (CdHEnum hEnum, CdRemoteSetAv *pAv))                                          \
    X(CDEnumAvValueRelease, 1, 4, CdError, (CdHEnum hEnum))                                                           \
    X(CDGetAvValueCount, 1, 8, CdError, (CdHEnum hEnum, CdUInt32 *pCount))                                            \
    X(CDEnumTvValueReset, 1, 8, CdError, (CdHSource hSource, CdHEnum *phEnum))                                        \
    X(CDEnumTvValueNext, 1, 8, CdError, (CdHEnum hEnum, CdRemoteSetTv *pTv))                                          \
    X(CDEnumTvValueRelease, 1, 4, CdError, (CdHEnum hEnum))                                                           \
    X(CDGetTvValueCount, 1, 8, CdError, (CdHEnum hEnum, CdUInt32 *pCount))                                            \
    X(CDSetExposureComp, 1, 8, CdError, (CdHSource hSource, CdCompensation ExpoComp))                                 \
    X(CDGetExposureComp, 1, 8, CdError, (CdHSource hSource, CdCompensation *pExpoComp))                               \
    X(CDEnumExposureCompReset, 1, 8, CdError, (CdHSource hSource, CdHEnum *phEnum))                                   \
    X(CDEnumExposureCompNext, 1, 8, CdError, (CdHEnum hEnum, CdCompensation *pComp))                                  \
    X(CDEnumExposureCompRelease, 1, 4, CdError, (CdHEnum hEnum))                                                      \
    X(CDGetExposureCompCount, 1, 8, CdError, (CdHEnum hEnum, CdUInt32 *pCount))                                       \
    X(CDSetWBSetting, 1, 8, CdError, (CdHSource hSource, CdWBLightSrc WhiteBalance))                                  \
    X(CDGetWBSetting, 1, 8, CdError, (CdHSource hSource, CdWBLightSrc *pWhiteBalance))                                \
    X(CDEnumWBSettingReset, 1, 8, CdError, (CdHSource hSource, CdHEnum *phEnum))                                      \
    X(CDEnumWBSettingNext, 1, 8, CdError, (CdHEnum hEnum, CdWBLightSrc *pWBLightSrc))                                 \
    X(CDEnumWBSettingRelease, 1, 4, CdError, (CdHEnum hEnum))                                                         \
    X(CDGetWBSettingCount, 1, 8, CdError, (CdHEnum hEnum, CdUInt32 *pCount))                                          \
    X(CDSetAFDistanceSetting, 1, 8, CdError, (CdHSource hSource, CdAFDistance AFDistance))                            \
    X(CDGetAFDistanceSetting, 1, 8, CdError, (CdHSource hSource, CdAFDistance *pAFDistance))                          \
    X(CDEnumAFDistanceSettingReset, 1, 8, CdError, (CdHSource hSource, CdHEnum *phEnum))                              \
    X(CDEnumAFDistanceSettingNext, 1, 8, CdError, (CdHEnum hEnum, CdAFDistance *pAFDistance))                         \
    X(CDEnumAFDistanceSettingRelease, 1, 4, CdError, (CdHEnum hEnum))                                                 \
    X(CDGetAFDistanceSettingCount, 1, 8, CdError, (CdHEnum hEnum, CdUInt32 *pCount))                                  \
    X(CDSetFlashSetting, 1, 12, CdError, (CdHSource hSource, CdFlashMode Mode, CdCompensation Compensation))          \
    X(CDGetFlashSetting, 1, 12, CdError, (CdHSource hSource, CdFlashMode *pMode, CdCompensation *pCompensation))      \
    X(CDEnumFlashSettingReset, 1, 8, CdError, (CdHSource hSource, CdHEnum *phEnum))                                   \
    X(CDEnumFlashSettingNext, 1, 8, CdError, (CdHEnum hEnum, CdFlashMode *pFlashMode))                                \
    X(CDEnumFlashSettingRelease, 1, 4, CdError, (CdHEnum hEnum))                                                      \
    X(CDGetFlashSettingCount, 1, 8, CdError, (CdHEnum hEnum, CdUInt32 *pCount))                                       \
    /* Release-camera settings */                                                                                     \
    X(CDGetRelCamSettingData, 1, 16, CdError, (CdHSource hSource, CdRelCamSettingID SettingID, CdUInt32 *pBufSize,    \
        CdVoid *pBuf))                                                                                                \
    X(CDSetRelCamSettingData, 1, 16, CdError, (CdHSource hSource, CdRelCamSettingID SettingID, CdUInt32 BufSize,      \
        CdVoid *pBuf))                                                                                                \
    X(CDEnumRelCamSettingDataReset, 1, 16, CdError, (CdHSource hSource, CdRelCamSettingID SettingID,                  \
        CdHEnum *phEnum, CdUInt32 *pBufSize))                                                                         \
    X(CDEnumRelCamSettingDataNext, 1, 12, CdError, (CdHEnum hEnum, CdUInt32 BufSize, CdVoid *pBuf))                   \
    X(CDEnumRelCamSettingDataRelease, 1, 4, CdError, (CdHEnum hEnum))                                                 \
    X(CDGetRelCamSettingDataCount, 1, 8, CdError, (CdHEnum hEnum, CdUInt32 *pCount))                                  \
    X(CDEnumRelCamSettingReset, 1, 8, CdError, (CdHSource hSource, CdHEnum *phEnum))                                  \
    X(CDEnumRelCamSettingNext, 1, 8, CdError, (CdHEnum hEnum, CdRelCamSettingStruct *pRelCamSettingStruct))           \
    X(CDGetRelCamSettingCount, 1, 8, CdError, (CdHEnum hEnum, CdUInt32 *pCount))                                      \
    X(CDEnumRelCamSettingRelease, 1, 4, CdError, (CdHEnum hEnum))                                                     \
    X(CDGetImagePropertyPart, 1, 8, CdError, (CdHImageItem hImgItem, CdStgMedium *pStgMedium))
// clang-format on

/// The name an entry point of the list is exported under on this platform.
#if defined(_WIN32) && !defined(_WIN64)
#define TBX_CDSDK_EXPORT_NAME(name, kind, x86Bytes) ((kind) == 0 ? "_" #name "@" #x86Bytes : #name)
#else
#define TBX_CDSDK_EXPORT_NAME(name, kind, x86Bytes) #name
#endif

/// The files the loader checks, in its order, with their exact file versions:
/// C(file name, major, minor, release, build). CDSDK.dll is the library itself; the others are
/// its helpers, only checked. The stand-in's build reads these lines too.
// clang-format off
#define TBX_CDSDK_COMPANIONS(C)      \
    C("cdDcd.dll", 7, 3, 0, 2)       \
    C("cdDvlp.dll", 7, 3, 0, 13)     \
    C("cdParse.dll", 7, 3, 0, 6)     \
    C("CDPROC.exe", 7, 3, 0, 4)      \
    C("CDPROCMN.exe", 7, 3, 0, 4)    \
    C("CDPTPCLS.dll", 7, 3, 0, 3)    \
    C("CDPTPCLT.dll", 7, 3, 0, 4)    \
    C("CDRAPCLS.dll", 7, 3, 0, 6)    \
    C("CDSDK.dll", 7, 3, 0, 6)       \
    C("EWatch.exe", 1, 1, 0, 1)      \
    C("IWrap.dll", 1, 3, 0, 3)       \
    C("psCamDat.dll", 7, 0, 0, 4)
// clang-format on
