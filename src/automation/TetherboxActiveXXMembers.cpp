// The members of the automation interface that the control serves: each converts the host's
// arguments, calls the control member of the same name and converts its result back. Path
// arguments are refused rather than cut; other strings are cut at 255 characters.
#include "automation/TetherboxActiveXX.h"

namespace tbx::automation {

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::OpenCameraEnumeration()
{
    return guarded([&] { control().OpenCameraEnumeration(); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::OpenCameraEnumeration_GetPowerShotNr(LONG *Value)
{
    return guardedOut(Value, [&] { return static_cast<LONG>(control().OpenCameraEnumeration_GetPowerShotNr()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::OpenCameraEnumeration_GetEOSNr(LONG *Value)
{
    return guardedOut(Value, [&] { return static_cast<LONG>(control().OpenCameraEnumeration_GetEOSNr()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::OpenCameraEnumeration_GetPowerShotGen2Nr(LONG *Value)
{
    return guardedOut(Value, [&] { return static_cast<LONG>(control().OpenCameraEnumeration_GetPowerShotGen2Nr()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::OpenCameraEnumeration_GetModel(TxCamModType CameraType, LONG Nr,
                                                                             BSTR *Value)
{
    return guardedOut(Value, [&] { return hostText(control().OpenCameraEnumeration_GetModel(CameraType, Nr)); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::Connect(TxCamModType CameraType, LONG CameraNumber)
{
    return guarded([&] { control().Connect(CameraType, CameraNumber); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::Disconnect()
{
    return guarded([&] { control().Disconnect(); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::CloseCameraEnumeration()
{
    return guarded([&] { control().CloseCameraEnumeration(); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::SetTimeInCamera(LONG YearCam, LONG MonthCam, LONG DayCam, LONG HourCam,
                                                              LONG MinutesCam, LONG SecondCam, LONG MillisecondCam)
{
    return guarded(
        [&] { control().SetTimeInCamera(YearCam, MonthCam, DayCam, HourCam, MinutesCam, SecondCam, MillisecondCam); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::SetOwnerName(BSTR OwnerName)
{
    return guarded([&] { control().SetOwnerName(controlText(OwnerName)); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetBodyID(BSTR *Value)
{
    return guardedOut(Value, [&] { return hostText(control().GetBodyID()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::FormatCameraCard()
{
    return guarded([&] { control().FormatCameraCard(); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteSupported(VARIANT_BOOL *Value)
{
    return guardedOut(Value, [&] { return hostFlag(control().RemoteSupported()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteStart(TxReleaseModeType ReleaseMode,
                                                          TxReleaseDataKindType ReleaseDataKind,
                                                          VARIANT_BOOL ProbeRemoteParameters, BSTR CacheRemoteParamDir)
{
    return guarded([&] {
        control().RemoteStart(ReleaseMode, ReleaseDataKind, controlFlag(ProbeRemoteParameters),
                              controlPath(CacheRemoteParamDir, "CacheRemoteParamDir", "RemoteStart"));
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteStart_GetRemoteParamSupported(TxRemoteParamType RemoteParamKind,
                                                                                  BSTR *Value)
{
    return guardedOut(Value, [&] { return hostText(control().RemoteStart_GetRemoteParamSupported(RemoteParamKind)); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteEnd()
{
    return guarded([&] { control().RemoteEnd(); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteGetNumberOfAvailableShots(LONG *Value)
{
    return guardedOut(Value, [&] { return static_cast<LONG>(control().RemoteGetNumberOfAvailableShots()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteTakePicture()
{
    return guarded([&] { control().RemoteTakePicture(); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemotePressShutter(TxRemoteShutterButtonType ShutterButton)
{
    return guarded([&] { control().RemotePressShutter(ShutterButton); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteGetPicture(BSTR FileName, TxPictureTypeType PictureType)
{
    return guarded(
        [&] { control().RemoteGetPicture(controlPath(FileName, "FileName", "RemoteGetPicture"), PictureType); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteGetMovie(BSTR FileName, VARIANT_BOOL DeleteFromCameraAfterTransfer)
{
    return guarded([&] {
        control().RemoteGetMovie(controlPath(FileName, "FileName", "RemoteGetMovie"),
                                 controlFlag(DeleteFromCameraAfterTransfer));
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteGetCFPicture(BSTR FileName,
                                                                 VARIANT_BOOL DeleteFromCameraAfterTransfer)
{
    return guarded([&] {
        control().RemoteGetCFPicture(controlPath(FileName, "FileName", "RemoteGetCFPicture"),
                                     controlFlag(DeleteFromCameraAfterTransfer));
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteGetCameraCacheParameters()
{
    return guarded([&] { control().RemoteGetCameraCacheParameters(); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteGetRemoteParams(TxRemoteParamType RemoteParamKind, LONG *Value)
{
    return guardedOut(Value, [&] { return static_cast<LONG>(control().RemoteGetRemoteParams(RemoteParamKind)); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteGetRemoteParams_PictureStyle(
    TxRemoteParamPictureStyleType RemoteParamPictureStyleKind, LONG *Value)
{
    return guardedOut(Value, [&] {
        return static_cast<LONG>(control().RemoteGetRemoteParams_PictureStyle(RemoteParamPictureStyleKind));
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteGetRemoteParams_WhitebalanceShift(
    TxRemoteParamWhitebalanceShiftType RemoteParamWhitebalanceShiftKind, LONG *Value)
{
    return guardedOut(Value, [&] {
        return static_cast<LONG>(control().RemoteGetRemoteParams_WhitebalanceShift(RemoteParamWhitebalanceShiftKind));
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteSetRemoteParams(TxRemoteParamType RemoteParamKind, LONG Value)
{
    return guarded([&] { control().RemoteSetRemoteParams(RemoteParamKind, Value); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteSetRemoteParams_AvTvImageMode(LONG ImageMode, LONG Av, LONG Tv)
{
    return guarded([&] { control().RemoteSetRemoteParams_AvTvImageMode(ImageMode, Av, Tv); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteSetRemoteParams_ImageQuality(LONG ImageSize, LONG ImageQuality,
                                                                                 LONG ImageSizePic2RAW,
                                                                                 LONG ImageQualityPic2RAW)
{
    return guarded([&] {
        control().RemoteSetRemoteParams_ImageQuality(ImageSize, ImageQuality, ImageSizePic2RAW, ImageQualityPic2RAW);
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteSetRemoteParams_PictureStyle(
    VARIANT_BOOL PictureStyleEnabled, TxPictureStyleNumberType PictureStyle, SHORT Contrast, SHORT Sharpness,
    SHORT Saturation, VARIANT_BOOL SaturationUsed, SHORT ColorTone, VARIANT_BOOL ColorToneUsed,
    TxMonochromeFilterType MonochromeFilter, VARIANT_BOOL MonochromeFilterUsed, TxMonochromeToneType MonochromeTone,
    VARIANT_BOOL MonochromeToneUsed)
{
    return guarded([&] {
        control().RemoteSetRemoteParams_PictureStyle(
            controlFlag(PictureStyleEnabled), PictureStyle, Contrast, Sharpness, Saturation,
            controlFlag(SaturationUsed), ColorTone, controlFlag(ColorToneUsed), MonochromeFilter,
            controlFlag(MonochromeFilterUsed), MonochromeTone, controlFlag(MonochromeToneUsed));
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteSetRemoteParams_WhitebalanceShift(VARIANT_BOOL WBShiftEnabled,
                                                                                      SHORT AmberBlue,
                                                                                      SHORT GreenMagenta)
{
    return guarded([&] {
        control().RemoteSetRemoteParams_WhitebalanceShift(controlFlag(WBShiftEnabled), AmberBlue, GreenMagenta);
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteLoadCameraRemoteParams(BSTR FileName)
{
    return guarded([&] {
        control().RemoteLoadCameraRemoteParams(controlPath(FileName, "FileName", "RemoteLoadCameraRemoteParams"));
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteSaveCameraRemoteParams(BSTR FileName)
{
    return guarded([&] {
        control().RemoteSaveCameraRemoteParams(controlPath(FileName, "FileName", "RemoteSaveCameraRemoteParams"));
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteGetZoomPos_CurrentZoomPos(LONG *Value)
{
    return guardedOut(Value, [&] { return static_cast<LONG>(control().RemoteGetZoomPos_CurrentZoomPos()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteGetZoomPos_MaxOpticalZoomPos(LONG *Value)
{
    return guardedOut(Value, [&] { return static_cast<LONG>(control().RemoteGetZoomPos_MaxOpticalZoomPos()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteGetZoomPos_MaxZoomPos(LONG *Value)
{
    return guardedOut(Value, [&] { return static_cast<LONG>(control().RemoteGetZoomPos_MaxZoomPos()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteSetZoomPos(LONG ZoomPos)
{
    return guarded([&] { control().RemoteSetZoomPos(ZoomPos); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteGetPowerZoom(TxRemotePowerZoomType PowerZoomParamKind, LONG *Value)
{
    return guardedOut(Value, [&] { return static_cast<LONG>(control().RemoteGetPowerZoom(PowerZoomParamKind)); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemotePowerZoomTele(VARIANT_BOOL ZoomFast, LONG ZoomSpeed)
{
    return guarded([&] { control().RemotePowerZoomTele(controlFlag(ZoomFast), ZoomSpeed); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemotePowerZoomWide(VARIANT_BOOL ZoomFast, LONG ZoomSpeed)
{
    return guarded([&] { control().RemotePowerZoomWide(controlFlag(ZoomFast), ZoomSpeed); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemotePowerZoomStop()
{
    return guarded([&] { control().RemotePowerZoomStop(); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteAFLock(VARIANT_BOOL AFLock)
{
    return guarded([&] { control().RemoteAFLock(controlFlag(AFLock)); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteBULBMode(VARIANT_BOOL ActivateBULB)
{
    return guarded([&] { control().RemoteBULBMode(controlFlag(ActivateBULB)); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteStartViewfinder(TxViewfinderCallbackType CallbackMethod,
                                                                    VARIANT_BOOL ViewfinderUseCanonThread,
                                                                    BSTR PictureDirectory)
{
    return guarded([&] {
        control().RemoteStartViewfinder(CallbackMethod, controlFlag(ViewfinderUseCanonThread),
                                        controlPath(PictureDirectory, "PictureDirectory", "RemoteStartViewfinder"));
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteStopViewfinder()
{
    return guarded([&] { control().RemoteStopViewfinder(); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteGetViewfinderImage(VARIANT_BOOL *Value)
{
    return guardedOut(Value, [&] { return hostFlag(control().RemoteGetViewfinderImage()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteGetViewfinderHistogram(TxHistogramColorType HistogramColor,
                                                                           LONG param2, LONG *Value)
{
    return guardedOut(
        Value, [&] { return static_cast<LONG>(control().RemoteGetViewfinderHistogram(HistogramColor, param2)); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteSetViewfinderOutput(TxRemoteViewFinderOutputType ViewfinderOutput)
{
    return guarded([&] { control().RemoteSetViewfinderOutput(ViewfinderOutput); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteSetViewfinderDriveLens(TxRemoteViewFinderDriveLensType DriveLens)
{
    return guarded([&] { control().RemoteSetViewfinderDriveLens(DriveLens); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteSetViewfinderWhitebalance(LONG XCoord, LONG YCoord)
{
    return guarded([&] { control().RemoteSetViewfinderWhitebalance(XCoord, YCoord); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteSetViewfinderAutofocusMode(TxRemoteViewFinderAFModeType AFMode)
{
    return guarded([&] { control().RemoteSetViewfinderAutofocusMode(AFMode); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteGetViewfinderAutofocusMode(TxRemoteViewFinderAFModeType *Value)
{
    return guardedOut(
        Value, [&] { return static_cast<TxRemoteViewFinderAFModeType>(control().RemoteGetViewfinderAutofocusMode()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteGetViewfinderAutofocusInfo(TxRemoteAFFocusInfoType AFFocusInfo,
                                                                               LONG *Value)
{
    return guardedOut(Value,
                      [&] { return static_cast<LONG>(control().RemoteGetViewfinderAutofocusInfo(AFFocusInfo)); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteGetViewfinderAutofocusInfoFrame(
    LONG FrameNr, TxRemoteAFFocusFrameType AFFocusFrame, LONG *Value)
{
    return guardedOut(Value, [&] {
        return static_cast<LONG>(control().RemoteGetViewfinderAutofocusInfoFrame(FrameNr, AFFocusFrame));
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteSetViewfinderZoom(TxRemoteViewFinderZoomType Zoom)
{
    return guarded([&] { control().RemoteSetViewfinderZoom(Zoom); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteSetViewfinderZoomPosition(LONG X, LONG Y)
{
    return guarded([&] { control().RemoteSetViewfinderZoomPosition(X, Y); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteSetViewfinderDepthOfFieldPreview(VARIANT_BOOL Activate)
{
    return guarded([&] { control().RemoteSetViewfinderDepthOfFieldPreview(controlFlag(Activate)); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteGetViewfinderDepthOfFieldPreview(VARIANT_BOOL *Value)
{
    return guardedOut(Value, [&] { return hostFlag(control().RemoteGetViewfinderDepthOfFieldPreview()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteActivateViewfinderAuto(VARIANT_BOOL EOSLockAF)
{
    return guarded([&] { control().RemoteActivateViewfinderAuto(controlFlag(EOSLockAF)); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteStartMovieRecording()
{
    return guarded([&] { control().RemoteStartMovieRecording(); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::RemoteEndMovieRecording()
{
    return guarded([&] { control().RemoteEndMovieRecording(); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::OpenCameraCollection(BSTR TempDir, VARIANT_BOOL GetThumbnails)
{
    return guarded([&] {
        control().OpenCameraCollection(controlPath(TempDir, "TempDir", "OpenCameraCollection"),
                                       controlFlag(GetThumbnails));
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::OpenCameraCollection_GetNrOfPictures(LONG *Value)
{
    return guardedOut(Value, [&] { return static_cast<LONG>(control().OpenCameraCollection_GetNrOfPictures()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::OpenCameraCollection_NameOfImage(LONG PictureNumber, BSTR *Value)
{
    return guardedOut(Value, [&] { return hostText(control().OpenCameraCollection_NameOfImage(PictureNumber)); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::OpenCameraCollection_GetThumbnail(LONG PictureNumber, BSTR FileName)
{
    return guarded([&] {
        control().OpenCameraCollection_GetThumbnail(
            PictureNumber, controlPath(FileName, "FileName", "OpenCameraCollection_GetThumbnail"));
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::CloseCameraCollection()
{
    return guarded([&] { control().CloseCameraCollection(); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetPicture(LONG NrInList, VARIANT_BOOL GetJPEGInRaw, BSTR FileName)
{
    return guarded([&] {
        control().GetPicture(NrInList, controlFlag(GetJPEGInRaw), controlPath(FileName, "FileName", "GetPicture"));
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::DeletePicture(LONG NrInList)
{
    return guarded([&] { control().DeletePicture(NrInList); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::OpenRAWObject(BSTR FileName)
{
    return guarded([&] { control().OpenRAWObject(controlPath(FileName, "FileName", "OpenRAWObject")); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::OpenRAWObject_GetRemoteParamSupported(TxRAWParamType RAWParamKind,
                                                                                    BSTR *Value)
{
    return guardedOut(Value, [&] { return hostText(control().OpenRAWObject_GetRemoteParamSupported(RAWParamKind)); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::SetRAWDevelopmentParameters(TxRAWParamType RAWParamKind, LONG Value)
{
    return guarded([&] { control().SetRAWDevelopmentParameters(RAWParamKind, Value); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::GetRAWDevelopmentParameters(TxRAWParamType RAWParamKind, LONG *Value)
{
    return guardedOut(Value, [&] { return static_cast<LONG>(control().GetRAWDevelopmentParameters(RAWParamKind)); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::DevelopRAWPicture(BSTR OutFileName, TxFileFormatType FileFormat,
                                                                TxBitsPerPixelType BitsPerPixel,
                                                                BSTR ICCProfileFileName, LONG JPEGQuality)
{
    return guarded([&] {
        control().DevelopRAWPicture(
            controlPath(OutFileName, "OutFileName", "DevelopRAWPicture"), FileFormat, BitsPerPixel,
            controlPath(ICCProfileFileName, "ICCProfileFileName", "DevelopRAWPicture"), JPEGQuality);
    });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::CloseRAWObject()
{
    return guarded([&] { control().CloseRAWObject(); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_Connect_CameraModel(TxCamModType *Value)
{
    return guardedOut(Value, [&] { return static_cast<TxCamModType>(control().Connect_CameraModel()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_Connect_CameraModelName(BSTR *Value)
{
    return guardedOut(Value, [&] { return hostText(control().Connect_CameraModelName()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_Connect_OwnerName(BSTR *Value)
{
    return guardedOut(Value, [&] { return hostText(control().Connect_OwnerName()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_Connect_Battery_BatterySource(TxBatterySourceType *Value)
{
    return guardedOut(Value,
                      [&] { return static_cast<TxBatterySourceType>(control().Connect_Battery_BatterySource()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_Connect_Battery_BatteryStatus(TxBatteryStatusType *Value)
{
    return guardedOut(Value,
                      [&] { return static_cast<TxBatteryStatusType>(control().Connect_Battery_BatteryStatus()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_Connect_FirmwareVersion(BSTR *Value)
{
    return guardedOut(Value, [&] { return hostText(control().Connect_FirmwareVersion()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_RemoteStart_DoSupportZoom(VARIANT_BOOL *Value)
{
    return guardedOut(Value, [&] { return hostFlag(control().RemoteStart_DoSupportZoom()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_RemoteStart_DoSupportPowerZoom(VARIANT_BOOL *Value)
{
    return guardedOut(Value, [&] { return hostFlag(control().RemoteStart_DoSupportPowerZoom()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_RemoteStart_DoSupportShootingPara(VARIANT_BOOL *Value)
{
    return guardedOut(Value, [&] { return hostFlag(control().RemoteStart_DoSupportShootingPara()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_RemoteStart_DoSupportViewfinder(VARIANT_BOOL *Value)
{
    return guardedOut(Value, [&] { return hostFlag(control().RemoteStart_DoSupportViewfinder()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_RemoteStart_ReqViewfinderOffWhenShooting(VARIANT_BOOL *Value)
{
    return guardedOut(Value, [&] { return hostFlag(control().RemoteStart_ReqViewfinderOffWhenShooting()); });
}

HRESULT STDMETHODCALLTYPE TTetherboxActiveXX::get_RemoteStart_DoSupportAfLockUnlock(VARIANT_BOOL *Value)
{
    return guardedOut(Value, [&] { return hostFlag(control().RemoteStart_DoSupportAfLockUnlock()); });
}

} // namespace tbx::automation
