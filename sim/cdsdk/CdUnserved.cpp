// The entry points the stand-in binds but does not serve (the driver never calls them): each is
// exported and answers "Not supported". Those served elsewhere are defined here under other
// names, which the stand-in does not export; a served name that no other file defines fails to
// link on Windows and is missing from the binding's view everywhere.
#include "CdCall.h"

// The parameters of a function that is not served go unread.
#pragma GCC diagnostic ignored "-Wunused-parameter"

// clang-format off
#define CDStartSDK served_CDStartSDK
#define CDFinishSDK served_CDFinishSDK
#define CDGetSDKVersion served_CDGetSDKVersion
#define CDEnumDeviceReset served_CDEnumDeviceReset
#define CDEnumDeviceNext served_CDEnumDeviceNext
#define CDGetDeviceCount served_CDGetDeviceCount
#define CDEnumDeviceRelease served_CDEnumDeviceRelease
#define CDOpenSource served_CDOpenSource
#define CDCloseSource served_CDCloseSource
#define CDRegisterEventCallbackFunction served_CDRegisterEventCallbackFunction
#define CDUnregisterEventCallbackFunction served_CDUnregisterEventCallbackFunction
#define CDEnumDevicePropertyReset served_CDEnumDevicePropertyReset
#define CDEnumDevicePropertyNext served_CDEnumDevicePropertyNext
#define CDEnumDevicePropertyRelease served_CDEnumDevicePropertyRelease
#define CDGetDevicePropertyData served_CDGetDevicePropertyData
#define CDSetDevicePropertyData served_CDSetDevicePropertyData
#define CDGetDevicePropertyCount served_CDGetDevicePropertyCount
#define CDFormat served_CDFormat
#define CDEnumVolumeReset served_CDEnumVolumeReset
#define CDEnumVolumeNext served_CDEnumVolumeNext
#define CDEnumVolumeRelease served_CDEnumVolumeRelease
#define CDGetVolumeInfo served_CDGetVolumeInfo
#define CDGetVolumeCount served_CDGetVolumeCount
#define CDGetVolumeName served_CDGetVolumeName
#define CDEnumImageItemReset served_CDEnumImageItemReset
#define CDEnumImageItemNext served_CDEnumImageItemNext
#define CDGetImageItemCount served_CDGetImageItemCount
#define CDEnumImageItemRelease served_CDEnumImageItemRelease
#define CDGetItemInfo served_CDGetItemInfo
#define CDOpenImage served_CDOpenImage
#define CDCloseImage served_CDCloseImage
#define CDGetThumbnail served_CDGetThumbnail
#define CDGetPicture served_CDGetPicture
#define CDGetImageData served_CDGetImageData
#define CDDeleteImage served_CDDeleteImage
#define CDGetImageDataInfo served_CDGetImageDataInfo
#define CDEnterReleaseControl served_CDEnterReleaseControl
#define CDExitReleaseControl served_CDExitReleaseControl
#define CDGetReleaseControlFaculty served_CDGetReleaseControlFaculty
#define CDSelectReleaseDataKind served_CDSelectReleaseDataKind
#define CDRelease served_CDRelease
#define CDGetReleasedData served_CDGetReleasedData
#define CDGetNumAvailableShot served_CDGetNumAvailableShot
#define CDStartViewfinder served_CDStartViewfinder
#define CDTermViewfinder served_CDTermViewfinder
#define CDSelectViewFinderCameraOutput served_CDSelectViewFinderCameraOutput
#define CDActViewfinderAutoFunctions served_CDActViewfinderAutoFunctions
#define CDGetMaximumZoomPos served_CDGetMaximumZoomPos
#define CDGetZoomPos served_CDGetZoomPos
#define CDSetZoomPos served_CDSetZoomPos
#define CDAFLock served_CDAFLock
#define CDGetDZoomMagnification served_CDGetDZoomMagnification
#define CDSetImageFormatAttribute served_CDSetImageFormatAttribute
#define CDGetImageFormatAttribute served_CDGetImageFormatAttribute
#define CDEnumImageFormatAttributeReset served_CDEnumImageFormatAttributeReset
#define CDEnumImageFormatAttributeNext served_CDEnumImageFormatAttributeNext
#define CDEnumImageFormatAttributeRelease served_CDEnumImageFormatAttributeRelease
#define CDGetImageFormatAttributeCount served_CDGetImageFormatAttributeCount
#define CDSetDriveMode served_CDSetDriveMode
#define CDGetDriveMode served_CDGetDriveMode
#define CDEnumDriveModeReset served_CDEnumDriveModeReset
#define CDEnumDriveModeNext served_CDEnumDriveModeNext
#define CDEnumDriveModeRelease served_CDEnumDriveModeRelease
#define CDGetDriveModeCount served_CDGetDriveModeCount
#define CDSetShootingMode served_CDSetShootingMode
#define CDGetShootingMode served_CDGetShootingMode
#define CDEnumShootingModeReset served_CDEnumShootingModeReset
#define CDEnumShootingModeNext served_CDEnumShootingModeNext
#define CDEnumShootingModeRelease served_CDEnumShootingModeRelease
#define CDGetShootingModeCount served_CDGetShootingModeCount
#define CDSetAvValue served_CDSetAvValue
#define CDGetAvValue served_CDGetAvValue
#define CDSetTvValue served_CDSetTvValue
#define CDGetTvValue served_CDGetTvValue
#define CDEnumAvValueReset served_CDEnumAvValueReset
#define CDEnumAvValueNext served_CDEnumAvValueNext
#define CDEnumAvValueRelease served_CDEnumAvValueRelease
#define CDGetAvValueCount served_CDGetAvValueCount
#define CDEnumTvValueReset served_CDEnumTvValueReset
#define CDEnumTvValueNext served_CDEnumTvValueNext
#define CDEnumTvValueRelease served_CDEnumTvValueRelease
#define CDGetTvValueCount served_CDGetTvValueCount
#define CDSetExposureComp served_CDSetExposureComp
#define CDGetExposureComp served_CDGetExposureComp
#define CDEnumExposureCompReset served_CDEnumExposureCompReset
#define CDEnumExposureCompNext served_CDEnumExposureCompNext
#define CDEnumExposureCompRelease served_CDEnumExposureCompRelease
#define CDGetExposureCompCount served_CDGetExposureCompCount
#define CDSetWBSetting served_CDSetWBSetting
#define CDGetWBSetting served_CDGetWBSetting
#define CDEnumWBSettingReset served_CDEnumWBSettingReset
#define CDEnumWBSettingNext served_CDEnumWBSettingNext
#define CDEnumWBSettingRelease served_CDEnumWBSettingRelease
#define CDGetWBSettingCount served_CDGetWBSettingCount
#define CDSetAFDistanceSetting served_CDSetAFDistanceSetting
#define CDGetAFDistanceSetting served_CDGetAFDistanceSetting
#define CDEnumAFDistanceSettingReset served_CDEnumAFDistanceSettingReset
#define CDEnumAFDistanceSettingNext served_CDEnumAFDistanceSettingNext
#define CDEnumAFDistanceSettingRelease served_CDEnumAFDistanceSettingRelease
#define CDGetAFDistanceSettingCount served_CDGetAFDistanceSettingCount
#define CDSetFlashSetting served_CDSetFlashSetting
#define CDGetFlashSetting served_CDGetFlashSetting
#define CDEnumFlashSettingReset served_CDEnumFlashSettingReset
#define CDEnumFlashSettingNext served_CDEnumFlashSettingNext
#define CDEnumFlashSettingRelease served_CDEnumFlashSettingRelease
#define CDGetFlashSettingCount served_CDGetFlashSettingCount
#define CDGetRelCamSettingData served_CDGetRelCamSettingData
#define CDSetRelCamSettingData served_CDSetRelCamSettingData
#define CDEnumRelCamSettingDataReset served_CDEnumRelCamSettingDataReset
#define CDEnumRelCamSettingDataNext served_CDEnumRelCamSettingDataNext
#define CDEnumRelCamSettingDataRelease served_CDEnumRelCamSettingDataRelease
#define CDGetRelCamSettingDataCount served_CDGetRelCamSettingDataCount
// clang-format on

namespace {

tbx::sdk::CdError unserved(const char *name)
{
    tbx::sim::cd::Call call(name);
    return call.run([] { return tbx::sim::cd::kNotSupported; });
}

} // namespace

#define TBX_SIM_CD_UNSERVED(name, kind, x86Bytes, result, parameters)                                                  \
    extern "C" TBX_CD_EXPORT result TBX_STDCALL name parameters { return unserved(#name); }
TBX_CDSDK_EXPORTS(TBX_SIM_CD_UNSERVED)
#undef TBX_SIM_CD_UNSERVED
