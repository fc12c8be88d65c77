// What hosts bind to: every member of the automation interface in vtable order, the events and
// the enumerations, written down independently of the IDL so that the type-library test compares
// the built library against it. Types: "long", "short", "float", "Boolean", "string" or the name
// of an enumeration; an empty result means none.
#pragma once

#include <vector>

namespace tbx::test {

enum class MemberKind { Method, ReadOnlyProperty, ReadWriteProperty };

struct ParamSpec {
    const wchar_t *name;
    const char *type;
};

struct MemberSpec {
    int dispid;
    const wchar_t *name;
    MemberKind kind;
    bool hidden;
    std::vector<ParamSpec> params;
    const char *result;
};

struct EventSpec {
    int dispid;
    const wchar_t *name;
    std::vector<ParamSpec> params;
};

struct EnumSpec {
    const wchar_t *name;
    std::vector<const wchar_t *> members; // values 0, 1, 2, ... in this order
};

inline const std::vector<MemberSpec> &interfaceMembers()
{
    using enum MemberKind;
    static const std::vector<MemberSpec> members{
        {201, L"Paint", Method, false, {}, ""},
        {202, L"OpenCameraEnumeration", Method, false, {}, ""},
        {203, L"OpenCameraEnumeration_GetPowerShotNr", Method, false, {}, "long"},
        {204, L"OpenCameraEnumeration_GetEOSNr", Method, false, {}, "long"},
        {205, L"OpenCameraEnumeration_GetPowerShotGen2Nr", Method, false, {}, "long"},
        {206, L"OpenCameraEnumeration_GetModel", Method, false, {{L"CameraType", "TxCamModType"}, {L"Nr", "long"}}, "string"},
        {207, L"Connect", Method, false, {{L"CameraType", "TxCamModType"}, {L"CameraNumber", "long"}}, ""},
        {208, L"Disconnect", Method, false, {}, ""},
        {209, L"CloseCameraEnumeration", Method, false, {}, ""},
        {210, L"SetTimeInCamera", Method, false, {{L"YearCam", "long"}, {L"MonthCam", "long"}, {L"DayCam", "long"}, {L"HourCam", "long"}, {L"MinutesCam", "long"}, {L"SecondCam", "long"}, {L"MillisecondCam", "long"}}, ""},
        {211, L"SetOwnerName", Method, false, {{L"OwnerName", "string"}}, ""},
        {212, L"GetBodyID", Method, false, {}, "string"},
        {213, L"FormatCameraCard", Method, false, {}, ""},
        {214, L"RemoteSupported", Method, false, {}, "Boolean"},
        {215, L"RemoteStart", Method, false, {{L"ReleaseMode", "TxReleaseModeType"}, {L"ReleaseDataKind", "TxReleaseDataKindType"}, {L"ProbeRemoteParameters", "Boolean"}, {L"CacheRemoteParamDir", "string"}}, ""},
        {216, L"RemoteStart_GetRemoteParamSupported", Method, false, {{L"RemoteParamKind", "TxRemoteParamType"}}, "string"},
        {217, L"RemoteEnd", Method, false, {}, ""},
        {218, L"RemoteGetNumberOfAvailableShots", Method, false, {}, "long"},
        {219, L"RemoteTakePicture", Method, false, {}, ""},
        {220, L"RemotePressShutter", Method, false, {{L"ShutterButton", "TxRemoteShutterButtonType"}}, ""},
        {221, L"RemoteGetPicture", Method, false, {{L"FileName", "string"}, {L"PictureType", "TxPictureTypeType"}}, ""},
        {222, L"RemoteGetMovie", Method, false, {{L"FileName", "string"}, {L"DeleteFromCameraAfterTransfer", "Boolean"}}, ""},
        {223, L"RemoteGetCFPicture", Method, false, {{L"FileName", "string"}, {L"DeleteFromCameraAfterTransfer", "Boolean"}}, ""},
        {224, L"RemoteGetCameraCacheParameters", Method, false, {}, ""},
        {225, L"RemoteGetRemoteParams", Method, false, {{L"RemoteParamKind", "TxRemoteParamType"}}, "long"},
        {226, L"RemoteGetRemoteParams_PictureStyle", Method, false, {{L"RemoteParamPictureStyleKind", "TxRemoteParamPictureStyleType"}}, "long"},
        {227, L"RemoteGetRemoteParams_WhitebalanceShift", Method, false, {{L"RemoteParamWhitebalanceShiftKind", "TxRemoteParamWhitebalanceShiftType"}}, "long"},
        {228, L"RemoteSetRemoteParams", Method, false, {{L"RemoteParamKind", "TxRemoteParamType"}, {L"Value", "long"}}, ""},
        {229, L"RemoteSetRemoteParams_AvTvImageMode", Method, false, {{L"ImageMode", "long"}, {L"Av", "long"}, {L"Tv", "long"}}, ""},
        {230, L"RemoteSetRemoteParams_ImageQuality", Method, false, {{L"ImageSize", "long"}, {L"ImageQuality", "long"}, {L"ImageSizePic2RAW", "long"}, {L"ImageQualityPic2RAW", "long"}}, ""},
        {231, L"RemoteSetRemoteParams_PictureStyle", Method, false, {{L"PictureStyleEnabled", "Boolean"}, {L"PictureStyle", "TxPictureStyleNumberType"}, {L"Contrast", "short"}, {L"Sharpness", "short"}, {L"Saturation", "short"}, {L"SaturationUsed", "Boolean"}, {L"ColorTone", "short"}, {L"ColorToneUsed", "Boolean"}, {L"MonochromeFilter", "TxMonochromeFilterType"}, {L"MonochromeFilterUsed", "Boolean"}, {L"MonochromeTone", "TxMonochromeToneType"}, {L"MonochromeToneUsed", "Boolean"}}, ""},
        {232, L"RemoteSetRemoteParams_WhitebalanceShift", Method, false, {{L"WBShiftEnabled", "Boolean"}, {L"AmberBlue", "short"}, {L"GreenMagenta", "short"}}, ""},
        {233, L"RemoteLoadCameraRemoteParams", Method, false, {{L"FileName", "string"}}, ""},
        {234, L"RemoteSaveCameraRemoteParams", Method, false, {{L"FileName", "string"}}, ""},
        {235, L"RemoteGetZoomPos_CurrentZoomPos", Method, false, {}, "long"},
        {236, L"RemoteGetZoomPos_MaxOpticalZoomPos", Method, false, {}, "long"},
        {237, L"RemoteGetZoomPos_MaxZoomPos", Method, false, {}, "long"},
        {238, L"RemoteSetZoomPos", Method, false, {{L"ZoomPos", "long"}}, ""},
        {239, L"RemoteGetPowerZoom", Method, false, {{L"PowerZoomParamKind", "TxRemotePowerZoomType"}}, "long"},
        {240, L"RemotePowerZoomTele", Method, false, {{L"ZoomFast", "Boolean"}, {L"ZoomSpeed", "long"}}, ""},
        {241, L"RemotePowerZoomWide", Method, false, {{L"ZoomFast", "Boolean"}, {L"ZoomSpeed", "long"}}, ""},
        {242, L"RemotePowerZoomStop", Method, false, {}, ""},
        {243, L"RemoteAFLock", Method, false, {{L"AFLock", "Boolean"}}, ""},
        {244, L"RemoteBULBMode", Method, false, {{L"ActivateBULB", "Boolean"}}, ""},
        {245, L"RemoteStartViewfinder", Method, false, {{L"CallbackMethod", "TxViewfinderCallbackType"}, {L"ViewfinderUseCanonThread", "Boolean"}, {L"PictureDirectory", "string"}}, ""},
        {246, L"RemoteStopViewfinder", Method, false, {}, ""},
        {247, L"RemoteGetViewfinderImage", Method, false, {}, "Boolean"},
        {248, L"RemoteGetViewfinderHistogram", Method, false, {{L"HistogramColor", "TxHistogramColorType"}, {L"param2", "long"}}, "long"},
        {249, L"RemoteSetViewfinderOutput", Method, false, {{L"ViewfinderOutput", "TxRemoteViewFinderOutputType"}}, ""},
        {250, L"RemoteSetViewfinderDriveLens", Method, false, {{L"DriveLens", "TxRemoteViewFinderDriveLensType"}}, ""},
        {251, L"RemoteSetViewfinderWhitebalance", Method, false, {{L"XCoord", "long"}, {L"YCoord", "long"}}, ""},
        {252, L"RemoteSetViewfinderAutofocusMode", Method, false, {{L"AFMode", "TxRemoteViewFinderAFModeType"}}, ""},
        {253, L"RemoteGetViewfinderAutofocusMode", Method, false, {}, "TxRemoteViewFinderAFModeType"},
        {254, L"RemoteGetViewfinderAutofocusInfo", Method, false, {{L"AFFocusInfo", "TxRemoteAFFocusInfoType"}}, "long"},
        {255, L"RemoteGetViewfinderAutofocusInfoFrame", Method, false, {{L"FrameNr", "long"}, {L"AFFocusFrame", "TxRemoteAFFocusFrameType"}}, "long"},
        {256, L"RemoteSetViewfinderZoom", Method, false, {{L"Zoom", "TxRemoteViewFinderZoomType"}}, ""},
        {257, L"RemoteSetViewfinderZoomPosition", Method, false, {{L"X", "long"}, {L"Y", "long"}}, ""},
        {258, L"RemoteSetViewfinderDepthOfFieldPreview", Method, false, {{L"Activate", "Boolean"}}, ""},
        {259, L"RemoteGetViewfinderDepthOfFieldPreview", Method, false, {}, "Boolean"},
        {260, L"RemoteActivateViewfinderAuto", Method, false, {{L"EOSLockAF", "Boolean"}}, ""},
        {261, L"RemoteStartMovieRecording", Method, false, {}, ""},
        {262, L"RemoteEndMovieRecording", Method, false, {}, ""},
        {263, L"OpenCameraCollection", Method, false, {{L"TempDir", "string"}, {L"GetThumbnails", "Boolean"}}, ""},
        {264, L"OpenCameraCollection_GetNrOfPictures", Method, false, {}, "long"},
        {265, L"OpenCameraCollection_NameOfImage", Method, false, {{L"PictureNumber", "long"}}, "string"},
        {266, L"OpenCameraCollection_GetThumbnail", Method, false, {{L"PictureNumber", "long"}, {L"FileName", "string"}}, ""},
        {267, L"CloseCameraCollection", Method, false, {}, ""},
        {268, L"GetPicture", Method, false, {{L"NrInList", "long"}, {L"GetJPEGInRaw", "Boolean"}, {L"FileName", "string"}}, ""},
        {269, L"DeletePicture", Method, false, {{L"NrInList", "long"}}, ""},
        {270, L"OpenRAWObject", Method, false, {{L"FileName", "string"}}, ""},
        {271, L"OpenRAWObject_GetRemoteParamSupported", Method, false, {{L"RAWParamKind", "TxRAWParamType"}}, "string"},
        {272, L"SetRAWDevelopmentParameters", Method, false, {{L"RAWParamKind", "TxRAWParamType"}, {L"Value", "long"}}, ""},
        {273, L"GetRAWDevelopmentParameters", Method, false, {{L"RAWParamKind", "TxRAWParamType"}}, "long"},
        {274, L"DevelopRAWPicture", Method, false, {{L"OutFileName", "string"}, {L"FileFormat", "TxFileFormatType"}, {L"BitsPerPixel", "TxBitsPerPixelType"}, {L"ICCProfileFileName", "string"}, {L"JPEGQuality", "long"}}, ""},
        {275, L"CloseRAWObject", Method, false, {}, ""},
        {276, L"Connect_CameraModel", ReadOnlyProperty, true, {}, "TxCamModType"},
        {277, L"Connect_CameraModelName", ReadOnlyProperty, true, {}, "string"},
        {278, L"Connect_OwnerName", ReadOnlyProperty, true, {}, "string"},
        {279, L"Connect_Battery_BatterySource", ReadOnlyProperty, true, {}, "TxBatterySourceType"},
        {280, L"Connect_Battery_BatteryStatus", ReadOnlyProperty, true, {}, "TxBatteryStatusType"},
        {281, L"Connect_FirmwareVersion", ReadOnlyProperty, true, {}, "string"},
        {282, L"RemoteStart_DoSupportZoom", ReadOnlyProperty, true, {}, "Boolean"},
        {283, L"RemoteStart_DoSupportPowerZoom", ReadOnlyProperty, true, {}, "Boolean"},
        {284, L"RemoteStart_DoSupportShootingPara", ReadOnlyProperty, true, {}, "Boolean"},
        {285, L"RemoteStart_DoSupportViewfinder", ReadOnlyProperty, true, {}, "Boolean"},
        {286, L"RemoteStart_ReqViewfinderOffWhenShooting", ReadOnlyProperty, true, {}, "Boolean"},
        {287, L"RemoteStart_DoSupportAfLockUnlock", ReadOnlyProperty, true, {}, "Boolean"},
        {290, L"Version", ReadWriteProperty, false, {}, "float"},
        {291, L"EOSViewfinderRefreshInterval", ReadWriteProperty, false, {}, "long"},
        {292, L"PS2ViewfinderRefreshInterval", ReadWriteProperty, false, {}, "long"},
        {293, L"LibraryFolder", ReadWriteProperty, false, {}, "string"},
        {294, L"DoubleBuffered", ReadWriteProperty, true, {}, "Boolean"},
        {295, L"AlignDisabled", ReadOnlyProperty, true, {}, "Boolean"},
        {296, L"VisibleDockClientCount", ReadOnlyProperty, true, {}, "long"},
        {297, L"DrawTextBiDiModeFlagsReadingOnly", Method, false, {}, "long"},
        {-514, L"Enabled", ReadWriteProperty, true, {}, "Boolean"},
        {298, L"InitiateAction", Method, false, {}, ""},
        {299, L"IsRightToLeft", Method, false, {}, "Boolean"},
        {300, L"UseRightToLeftReading", Method, false, {}, "Boolean"},
        {301, L"UseRightToLeftScrollBar", Method, false, {}, "Boolean"},
        {302, L"Visible", ReadWriteProperty, true, {}, "Boolean"},
        {303, L"SetSubComponent", Method, false, {{L"IsSubComponent", "Boolean"}}, ""},
        {-552, L"AboutBox", Method, false, {}, ""},
    };
    return members;
}

inline const std::vector<EventSpec> &interfaceEvents()
{
    static const std::vector<EventSpec> events{
        {201, L"OnViewfinderEvent",
         {{L"ViewfinderFileName", "string"},
          {L"ViewfinderDataAddress", "long"},
          {L"ViewfinderSize", "long"},
          {L"Metadata_Valid", "Boolean"},
          {L"Metadata_ZoomPosition_X", "long"},
          {L"Metadata_ZoomPosition_Y", "long"},
          {L"Metadata_ZoomRect_Point_X", "long"},
          {L"Metadata_ZoomRect_Point_Y", "long"},
          {L"Metadata_ZoomRect_Rect_Width", "long"},
          {L"Metadata_ZoomRect_Rect_Height", "long"},
          {L"Metadata_ImagePosition_X", "long"},
          {L"Metadata_ImagePosition_Y", "long"},
          {L"Metadata_CoordSystem_Width", "long"},
          {L"Metadata_CoordSystem_Height", "long"},
          {L"Metadata_Zoom", "long"}}},
        {202, L"OnEvent",
         {{L"Severity", "TxEventSeverityType"},
          {L"EventNum", "TxEventEnumType"}}},
        {203, L"OnRemoteEvent",
         {{L"EventNum", "TxRemoteEventCallbackType"},
          {L"EventValid", "TxNotifyRemoteEventValidType"},
          {L"NumOfEvents", "long"},
          {L"TypeOfPicture", "TxypeOfPictureType"}}},
        {204, L"OnRemoteTakePictureEvent",
         {{L"PercentageDone", "long"}}},
        {205, L"OnRemoteGetPictureEvent",
         {{L"PercentageDone", "long"}}},
        {206, L"OnRemoteGetMovieEvent",
         {{L"PercentageDone", "long"}}},
        {207, L"OnGetPictureEvent",
         {{L"PercentageDone", "long"}}},
        {208, L"OnRemoteProbeParamEvent",
         {{L"PercentageDone", "long"}}},
        {209, L"OnRawDevelopEvent",
         {{L"PercentageDone", "long"}}},
    };
    return events;
}

inline const std::vector<EnumSpec> &interfaceEnums()
{
    static const std::vector<EnumSpec> enums{
        {L"TxCamModType", {L"CamModNone", L"CamModPowerShot", L"CamModEOS", L"CamModPowerShotGen2"}},
        {L"TxReleaseModeType", {L"ReleaseModeOnlyToPC", L"ReleaseModeBothPCAndCamera", L"ReleaseModeOnlyToCamera"}},
        {L"TxReleaseDataKindType", {L"ReleaseDataKindTakeOnlyThumbnail", L"ReleaseDataKindTakeOnlyPicture", L"ReleaseDataKingTakeBothThumbAndPic"}},
        {L"TxRemoteParamType", {L"RemoteParamCompQuality", L"RemoteParamCompQualityPic2RAW", L"RemoteParamImageSize", L"RemoteParamImageSizePic2RAW", L"RemoteParamStrobeSetting", L"RemoteParamStrobeCompSetting", L"RemoteParamDriveMode", L"RemoteParamImageMode", L"RemoteParamMLWeiMode", L"RemoteParamAFMode", L"RemoteParamVFAFMode", L"RemoteParamAFDistance", L"RemoteParamAFFocusingPoint", L"RemoteParamAFAssistLight", L"RemoteParamWhiteBalanceSetting", L"RemoteParamWhiteBalanceKelvin", L"RemoteParamWhiteBalanceShift", L"RemoteParamPictureStyle", L"RemoteParamContrast", L"RemoteParamColorGain", L"RemoteParamSharpness", L"RemoteParamColorSpace", L"RemoteParamISO", L"RemoteParamAv", L"RemoteParamTv", L"RemoteParamExposureCompensation", L"RemoteParamPhotoEffect", L"RemoteParamBeep"}},
        {L"TxRemoteShutterButtonType", {L"RemoteShutterButtonOff", L"RemoteShutterButtonHalfPressed", L"RemoteShutterButtonCompletelyPressed", L"RemoteShutterButtonHalfPressedNonAF", L"RemoteShutterButtonCompletelyPressedNonAF"}},
        {L"TxPictureTypeType", {L"PictureTypeThumbnail", L"PictureTypeFull"}},
        {L"TxRemoteParamPictureStyleType", {L"RemoteParamPictureStyleEnabled", L"RemoteParamPictureStylePictureStyle", L"RemoteParamPictureStyleContrast", L"RemoteParamPictureStyleSharpness", L"RemoteParamPictureStyleSaturation", L"RemoteParamPictureStyleSaturationUsed", L"RemoteParamPictureStyleColorTone", L"RemoteParamPictureStyleColorToneUsed", L"RemoteParamPictureStyleMonochromeFilter", L"RemoteParamPictureStyleMonochromeFilterUsed", L"RemoteParamPictureStyleMonochromeTone", L"RemoteParamPictureStyleMonochromeToneUsed"}},
        {L"TxRemoteParamWhitebalanceShiftType", {L"RemoteParamWhitebalanceShiftWBShiftEnabled", L"RemoteParamWhitebalanceShiftAmberBlue", L"RemoteParamWhitebalanceShiftGreenMagenta"}},
        {L"TxPictureStyleNumberType", {L"PictureStyleStandard", L"PictureStylePortrait", L"PictureStyleLandscape", L"PictureStyleNeutral", L"PictureStyleFaithful", L"PictureStyleMonochrome", L"PictureStyleUser1", L"PictureStyleUser2", L"PictureStyleUser3", L"PictureStylePC1", L"PictureStylePC2", L"PictureStylePC3", L"PictureStyleAuto", L"PictureStyleFineDetail"}},
        {L"TxMonochromeFilterType", {L"MonochromeFilterNone", L"MonochromeFilterYellow", L"MonochromeFilterOrange", L"MonochromeFilterRed", L"MonochromeFilterGreen"}},
        {L"TxMonochromeToneType", {L"MonochromeToneNone", L"MonochromeToneSepia", L"MonochromeToneBlue", L"MonochromeToneViolet", L"MonochromeToneGreen"}},
        {L"TxRemotePowerZoomType", {L"RemotePowerZoomMin", L"RemotePowerZoomMax", L"RemotePowerZoomCurrent", L"RemotePowerZoomSpeed", L"RemotePowerZoomControllable", L"RemotePowerZoomPZSwitch", L"RemotePowerZoomCondition", L"RemotePowerZoomExtremePosition", L"RemotePowerZoomAttached", L"RemotePowerZoomBatteryLife", L"RemotePowerZoomLensZoomLock", L"RemotePowerZoomSpeedSwitch", L"RemotePowerZoomIncreasingTemperature", L"RemotePowerZoomHighTemperature", L"RemotePowerZoomCurrentSpeed"}},
        {L"TxViewfinderCallbackType", {L"ViewfinderCallbackFilename", L"ViewfinderCallbackStream"}},
        {L"TxHistogramColorType", {L"HistogramColorBright", L"HistogramColorRed", L"HistogramColorGreen", L"HistogramColorYellow"}},
        {L"TxRemoteViewFinderOutputType", {L"RemoteViewFinderOutputLCD", L"RemoteViewFinderOutputVideo", L"RemoteViewFinderOutputOff"}},
        {L"TxRemoteViewFinderDriveLensType", {L"RemoteViewFinderDriveLensNotUsed", L"RemoteViewFinderDriveLensNear1", L"RemoteViewFinderDriveLensNear2", L"RemoteViewFinderDriveLensNear3", L"RemoteViewFinderDriveLensFar1", L"RemoteViewFinderDriveLensFar2", L"RemoteViewFinderDriveLensFar3"}},
        {L"TxRemoteViewFinderAFModeType", {L"RemoteViewFinderAFModeNotUsed", L"RemoteViewFinderAFModeQuick", L"RemoteViewFinderAFModeLive", L"RemoteViewFinderAFModeLiveFace", L"RemoteViewFinderAFModeLiveMulti", L"RemoteViewFinderAFModeSmoothZone"}},
        {L"TxRemoteAFFocusInfoType", {L"RemoteAFFocusInfoPictureSizeWidth", L"RemoteAFFocusInfoPictureSizeHeight", L"RemoteAFFocusInfoNrOfFrames"}},
        {L"TxRemoteAFFocusFrameType", {L"RemoteAFFocusFrameValid", L"RemoteAFFocusFrameSelected", L"RemoteAFFocusFrameJustFocus", L"RemoteAFFocusFrameRectPointX", L"RemoteAFFocusFrameRectPointY", L"RemoteAFFocusFrameRectRectWidth", L"RemoteAFFocusFrameRectRectHeight"}},
        {L"TxRemoteViewFinderZoomType", {L"RemoteViewFinderZoomFit", L"RemoteViewFinderZoomx5", L"RemoteViewFinderZoomx10"}},
        {L"TxRAWParamType", {L"RAWParamWhiteBalanceSetting", L"RAWParamWhiteBalanceKelvin"}},
        {L"TxFileFormatType", {L"FileFormatTIFF", L"FileFormatThumbnail", L"FileFormatJPEGInRaw", L"FileFormatJPEG"}},
        {L"TxBitsPerPixelType", {L"BitsPerPixel24Bits", L"BitsPerPixel48Bits"}},
        {L"TxBatterySourceType", {L"BatterySourceUnknown", L"BatterySourceAC", L"BatterySourceLitium", L"BatterySourceNiMH", L"BatterySourceNiCD", L"BatterySourceAlMN"}},
        {L"TxBatteryStatusType", {L"BatteryStatusUnknown", L"BatteryStatusNormal", L"BatteryStatusWeak", L"BatteryStatusSafetyLow"}},
        {L"TxEventSeverityType", {L"EventSeverityNotUsed", L"EventSeverityInfo", L"EventSeverityWarning", L"EventSeverityClosing"}},
        {L"TxEventEnumType", {L"EventNotUsed", L"EventBatteryLevelNormal", L"EventBatteryLevelWeak", L"EventBatteryLevelSafetyLow", L"EventBatteryLevelLB", L"EventDialChanged", L"EventCFGateOpened", L"EventBatteryCoverOpened", L"EventConnectionDisappeared", L"EventUnrecoverableError", L"EventUnkonwnCommandReceived", L"EventRemoteParameterChanged", L"EventRemoteCaptureError", L"EventRemoteShutdownReasonNotKnown", L"EventRemoteNewSupportedParameters", L"EventPowerZoomInfoChanged"}},
        {L"TxRemoteEventCallbackType", {L"RemoteEventCallbackNotUsed", L"RemoteEventCallbackReleaseStart", L"RemoteEventCallbackReleaseComplete", L"RemoteEventCallbackResetHWError", L"RemoteEventCallbackChangedByUI", L"RemoteEventCallbackCamReleaseOn", L"RemoteEventCallbackViewfinderOn", L"RemoteEventCallbackViewfinderOff", L"RemoteEventCallbackReleaseImageReady", L"RemoteEventCallbackReleaseMovieReady", L"RemoteEventCallbackReleaseImageFromCFCardReady"}},
        {L"TxNotifyRemoteEventValidType", {L"NoNotifyRemoteEventValid", L"NotifyRemoteEventValid1", L"NotifyRemoteEventValid2"}},
        {L"TxypeOfPictureType", {L"TypeOfPictureNo", L"TypeOfPictureThumbnail", L"TypeOfPicturePicture"}},
    };
    return enums;
}

} // namespace tbx::test
