// The host operations of the control: argument checks first, then the engine; answers from the
// copies the control keeps where it keeps one.
#include "control/TetherboxActiveX.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace tbx {

namespace {

constexpr std::size_t kMaxText = 255;

std::string cut(const std::string &text)
{
    return text.size() > kMaxText ? text.substr(0, kMaxText) : text;
}

/// Raises "Parameter <name> in method <method> must be between <low>..<high>" when \p value is
/// outside the range.
void requireRange(int value, int low, int high, const char *name, const char *method)
{
    if (value < low || value > high)
        throw ECamException(std::string("Parameter ") + name + " in method " + method + " must be between " +
                            std::to_string(low) + ".." + std::to_string(high));
}

std::uint8_t unsignedByte(int value, const char *name, const char *method)
{
    requireRange(value, 0, 255, name, method);
    return static_cast<std::uint8_t>(value);
}

std::uint8_t signedByte(int value, const char *name, const char *method)
{
    requireRange(value, -128, 127, name, method);
    return static_cast<std::uint8_t>(static_cast<std::int8_t>(value));
}

int asSigned(std::uint8_t byte)
{
    return static_cast<std::int8_t>(byte);
}

/// The byte field of a remote parameter kind that has one (kinds 0..14 without 10, 18..27).
template <class Record>
auto byteField(Record &p, int kind) -> decltype(&p.CompQuality)
{
    switch (kind) {
    case RemoteParamCompQuality: return &p.CompQuality;
    case RemoteParamCompQualityPic2RAW: return &p.CompQualityPic2RAW;
    case RemoteParamImageSize: return &p.ImageSize;
    case RemoteParamImageSizePic2RAW: return &p.ImageSizePic2RAW;
    case RemoteParamStrobeSetting: return &p.StrobeSetting;
    case RemoteParamStrobeCompSetting: return &p.StrobeCompSetting;
    case RemoteParamDriveMode: return &p.DriveMode;
    case RemoteParamImageMode: return &p.ImageMode;
    case RemoteParamMLWeiMode: return &p.MLWeiMode;
    case RemoteParamAFMode: return &p.AFMode;
    case RemoteParamAFDistance: return &p.AFDistance;
    case RemoteParamAFFocusingPoint: return &p.AFFocusingPoint;
    case RemoteParamAFAssistLight: return &p.AFAssistLight;
    case RemoteParamWhiteBalanceSetting: return &p.WhiteBalanceSetting;
    case RemoteParamContrast: return &p.Contrast;
    case RemoteParamColorGain: return &p.ColorGain;
    case RemoteParamSharpness: return &p.Sharpness;
    case RemoteParamColorSpace: return &p.ColorSpace;
    case RemoteParamISO: return &p.ISO;
    case RemoteParamAv: return &p.Av;
    case RemoteParamTv: return &p.Tv;
    case RemoteParamExposureCompensation: return &p.ExposureCompensation;
    case RemoteParamPhotoEffect: return &p.PhotoEffect;
    case RemoteParamBeep: return &p.Beep;
    default: return nullptr;
    }
}

const char *const kParamNames[kRemoteParamKindCount] = {
    "RemoteParamCompQuality", "RemoteParamCompQualityPic2RAW", "RemoteParamImageSize",
    "RemoteParamImageSizePic2RAW", "RemoteParamStrobeSetting", "RemoteParamStrobeCompSetting",
    "RemoteParamDriveMode", "RemoteParamImageMode", "RemoteParamMLWeiMode", "RemoteParamAFMode",
    "RemoteParamVFAFMode", "RemoteParamAFDistance", "RemoteParamAFFocusingPoint", "RemoteParamAFAssistLight",
    "RemoteParamWhiteBalanceSetting", "RemoteParamWhiteBalanceKelvin", "RemoteParamWhiteBalanceShift",
    "RemoteParamPictureStyle", "RemoteParamContrast", "RemoteParamColorGain", "RemoteParamSharpness",
    "RemoteParamColorSpace", "RemoteParamISO", "RemoteParamAv", "RemoteParamTv",
    "RemoteParamExposureCompensation", "RemoteParamPhotoEffect", "RemoteParamBeep",
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Enumeration and connection
// ---------------------------------------------------------------------------------------------

int TTetherboxActiveX::OpenCameraEnumeration_GetPowerShotNr() const
{
    return static_cast<int>(FPowerShotNames.size());
}

int TTetherboxActiveX::OpenCameraEnumeration_GetEOSNr() const
{
    return static_cast<int>(FEOSNames.size());
}

int TTetherboxActiveX::OpenCameraEnumeration_GetPowerShotGen2Nr() const
{
    return static_cast<int>(FPowerShotGen2Names.size());
}

std::string TTetherboxActiveX::OpenCameraEnumeration_GetModel(int CameraType, int Nr) const
{
    if (Nr < 0)
        throw ECamException("Parameter Nr in method OpenCameraEnumeration_GetModel must not be negative");
    const StringList *names = nullptr;
    switch (CameraType) {
    case CamModPowerShot: names = &FPowerShotNames; break;
    case CamModEOS: names = &FEOSNames; break;
    case CamModPowerShotGen2: names = &FPowerShotGen2Names; break;
    default: return "";
    }
    if (static_cast<std::size_t>(Nr) >= names->size())
        return "";
    return cut((*names)[static_cast<std::size_t>(Nr)]);
}

void TTetherboxActiveX::Connect(int CameraType, int CameraNumber)
{
    ConnectInfoType info;
    engine().Connect(CameraType, CameraNumber, info);
    FConnectInfo = std::move(info);
}

void TTetherboxActiveX::Disconnect()
{
    endingViewfinder([&] { engine().Disconnect(); });
}

std::string TTetherboxActiveX::Connect_CameraModelName() const
{
    return cut(FConnectInfo.CameraModelName);
}

std::string TTetherboxActiveX::Connect_OwnerName() const
{
    return cut(FConnectInfo.OwnerName);
}

std::string TTetherboxActiveX::Connect_FirmwareVersion() const
{
    return cut(FConnectInfo.FirmwareVersion);
}

// ---------------------------------------------------------------------------------------------
// Housekeeping
// ---------------------------------------------------------------------------------------------

void TTetherboxActiveX::SetTimeInCamera(int YearCam, int MonthCam, int DayCam, int HourCam, int MinutesCam,
                                        int SecondCam, int MillisecondCam)
{
    char shown[64];
    std::snprintf(shown, sizeof shown, "%d-%d-%d %d:%d:%d.%d", YearCam, MonthCam, DayCam, HourCam, MinutesCam,
                  SecondCam, MillisecondCam);
    const auto invalid = [&] { return ECamException(std::string(msg::kInvalidDate) + ": " + shown); };
    for (int part : {YearCam, MonthCam, DayCam, HourCam, MinutesCam, SecondCam, MillisecondCam})
        if (part < 0 || part > 65535)
            throw invalid();
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (YearCam % 4 == 0 && YearCam % 100 != 0) || YearCam % 400 == 0;
    if (YearCam < 1 || YearCam > 9999 || MonthCam < 1 || MonthCam > 12 || DayCam < 1 ||
        DayCam > kDays[MonthCam - 1] + (MonthCam == 2 && leap ? 1 : 0) || HourCam > 23 || MinutesCam > 59 ||
        SecondCam > 59 || MillisecondCam > 999)
        throw invalid();
    std::tm local{};
    local.tm_year = YearCam - 1900;
    local.tm_mon = MonthCam - 1;
    local.tm_mday = DayCam;
    local.tm_hour = HourCam;
    local.tm_min = MinutesCam;
    local.tm_sec = SecondCam;
    local.tm_isdst = -1;
    const std::time_t time = std::mktime(&local);
    if (time == static_cast<std::time_t>(-1))
        throw invalid();
    engine().SetTimeInCamera(time);
}

void TTetherboxActiveX::SetOwnerName(const std::string &OwnerName)
{
    engine().SetOwnerName(OwnerName);
}

std::string TTetherboxActiveX::GetBodyID()
{
    return cut(engine().GetBodyID());
}

void TTetherboxActiveX::FormatCameraCard()
{
    engine().FormatCameraCard();
}

// ---------------------------------------------------------------------------------------------
// Remote capture
// ---------------------------------------------------------------------------------------------

bool TTetherboxActiveX::RemoteSupported()
{
    return engine().RemoteSupported();
}

void TTetherboxActiveX::RemoteStart(int ReleaseMode, int ReleaseDataKind, bool ProbeRemoteParameters,
                                    const std::string &CacheRemoteParamDir)
{
    requireRange(ReleaseMode, 0, 2, "ReleaseMode", "RemoteStart");
    requireRange(ReleaseDataKind, 0, 2, "ReleaseDataKind", "RemoteStart");
    RemoteStartInfoType info;
    engine().RemoteStart(static_cast<ReleaseModeType>(ReleaseMode), static_cast<ReleaseDataKindType>(ReleaseDataKind),
                         info, CacheRemoteParamDir, ProbeRemoteParameters);
    FRemoteStartInfo = info;
}

std::string TTetherboxActiveX::RemoteStart_GetRemoteParamSupported(int RemoteParamKind) const
{
    if (RemoteParamKind < 0 || RemoteParamKind >= kRemoteParamKindCount)
        return "";
    std::string flags;
    for (std::uint8_t flag : FRemoteStartInfo.ParamSupport.group(static_cast<tbx::RemoteParamKind>(RemoteParamKind)))
        flags += flag != 0 ? '1' : '0';
    return flags;
}

void TTetherboxActiveX::RemoteEnd()
{
    engine().RemoteEnd();
}

int TTetherboxActiveX::RemoteGetNumberOfAvailableShots()
{
    return engine().RemoteGetNumberOfAvailableShots();
}

void TTetherboxActiveX::RemoteTakePicture()
{
    engine().RemoteTakePicture();
}

void TTetherboxActiveX::RemotePressShutter(int ShutterButton)
{
    engine().RemotePressShutter(ShutterButton);
}

void TTetherboxActiveX::RemoteGetPicture(const std::string &FileName, int PictureType)
{
    requireRange(PictureType, 0, 1, "PictureType", "RemoteGetPicture");
    engine().RemoteGetPicture(FileName, PictureType);
}

void TTetherboxActiveX::RemoteGetMovie(const std::string &FileName, bool DeleteFromCameraAfterTransfer)
{
    engine().RemoteGetMovie(FileName, DeleteFromCameraAfterTransfer);
}

void TTetherboxActiveX::RemoteGetCFPicture(const std::string &FileName, bool DeleteFromCameraAfterTransfer)
{
    engine().RemoteGetCFPicture(FileName, DeleteFromCameraAfterTransfer);
}

void TTetherboxActiveX::RemoteBULBMode(bool ActivateBULB)
{
    engine().RemoteBULBMode(ActivateBULB);
}

// ---------------------------------------------------------------------------------------------
// Remote parameters
// ---------------------------------------------------------------------------------------------

void TTetherboxActiveX::RemoteGetCameraCacheParameters()
{
    FCameraCacheParams = engine().RemoteGetCameraCacheParameters();
}

int TTetherboxActiveX::RemoteGetRemoteParams(int RemoteParamKind) const
{
    switch (RemoteParamKind) {
    case RemoteParamWhiteBalanceKelvin:
        return static_cast<int>(FCameraCacheParams.WhiteBalanceKelvin);
    case RemoteParamWhiteBalanceShift:
        throw ECamException("Please get the RemoteParamWhiteBalanceShift parameter in the "
                            "RemoteGetRemoteParams_WhitebalanceShift method");
    case RemoteParamPictureStyle:
        throw ECamException("Please get the RemoteParamPictureStyle parameter in the "
                            "RemoteGetRemoteParams_PictureStyle method");
    default: {
        const std::uint8_t *field = byteField(FCameraCacheParams, RemoteParamKind);
        return field != nullptr ? *field : 0;
    }
    }
}

int TTetherboxActiveX::RemoteGetRemoteParams_PictureStyle(int RemoteParamPictureStyleKind) const
{
    const RemoteParamsType &p = FCameraCacheParams;
    switch (RemoteParamPictureStyleKind) {
    case 0: return p.PictureStyleEnabled;
    case 1: return p.PictureStyle;
    case 2: return asSigned(p.PictureStyleContrast);
    case 3: return p.PictureStyleSharpness;
    case 4: return asSigned(p.Saturation);
    case 5: return p.SaturationUsed;
    case 6: return asSigned(p.ColorTone);
    case 7: return p.ColorToneUsed;
    case 8: return p.MonochromeFilter;
    case 9: return p.MonochromeFilterUsed;
    case 10: return p.MonochromeTone;
    case 11: return p.MonochromeToneUsed;
    default: return 0;
    }
}

int TTetherboxActiveX::RemoteGetRemoteParams_WhitebalanceShift(int RemoteParamWhitebalanceShiftKind) const
{
    switch (RemoteParamWhitebalanceShiftKind) {
    case 0: return FCameraCacheParams.WBShiftEnabled;
    case 1: return asSigned(FCameraCacheParams.AmberBlue);
    case 2: return asSigned(FCameraCacheParams.GreenMagenta);
    default: return 0;
    }
}

void TTetherboxActiveX::setParams(const RemoteParamsType &params)
{
    engine().RemoteSetRemoteParams(params);
}

void TTetherboxActiveX::RemoteSetRemoteParams(int RemoteParamKind, int Value)
{
    static constexpr const char *kMethod = "RemoteSetRemoteParams";
    RemoteParamsType p;
    switch (RemoteParamKind) {
    case RemoteParamCompQuality:
    case RemoteParamCompQualityPic2RAW:
    case RemoteParamImageSize:
    case RemoteParamImageSizePic2RAW:
        throw ECamException(std::string("Please set the ") + kParamNames[RemoteParamKind] +
                            " parameter in the RemoteSetRemoteParams_ImageQuality method");
    case RemoteParamWhiteBalanceShift:
        throw ECamException("Please set the RemoteParamWhiteBalanceShift parameter in the "
                            "RemoteSetRemoteParams_WhitebalanceShift method");
    case RemoteParamPictureStyle:
        throw ECamException("Please set the RemoteParamPictureStyle parameter in the "
                            "RemoteSetRemoteParams_PictureStyle method");
    case RemoteParamAv:
    case RemoteParamTv:
        throw ECamException(std::string("Please set the ") + kParamNames[RemoteParamKind] +
                            " parameter in the RemoteSetRemoteParams_AvTvImageMode method");
    case RemoteParamWhiteBalanceSetting:
        p.WhiteBalanceSetting = unsignedByte(Value, "Value", kMethod);
        if (Value == 13)
            p.WhiteBalanceKelvin = FCameraCacheParams.WhiteBalanceKelvin;
        break;
    case RemoteParamWhiteBalanceKelvin:
        if (Value < 0)
            throw ECamException("Parameter Value in method RemoteSetRemoteParams must not be negative");
        p.WhiteBalanceSetting = FCameraCacheParams.WhiteBalanceSetting;
        p.WhiteBalanceKelvin = static_cast<std::uint32_t>(Value);
        break;
    case RemoteParamVFAFMode:
        return;
    default: {
        std::uint8_t *field = byteField(p, RemoteParamKind);
        if (field == nullptr)
            return; // a kind outside the list changes nothing
        *field = unsignedByte(Value, "Value", kMethod);
        break;
    }
    }
    setParams(p);
}

void TTetherboxActiveX::RemoteSetRemoteParams_AvTvImageMode(int ImageMode, int Av, int Tv)
{
    static constexpr const char *kMethod = "RemoteSetRemoteParams_AvTvImageMode";
    RemoteParamsType p;
    p.ImageMode = unsignedByte(ImageMode, "ImageMode", kMethod);
    p.Av = unsignedByte(Av, "Av", kMethod);
    p.Tv = unsignedByte(Tv, "Tv", kMethod);
    setParams(p);
}

void TTetherboxActiveX::RemoteSetRemoteParams_ImageQuality(int ImageSize, int ImageQuality, int ImageSizePic2RAW,
                                                           int ImageQualityPic2RAW)
{
    static constexpr const char *kMethod = "RemoteSetRemoteParams_ImageQuality";
    RemoteParamsType p;
    p.ImageSize = unsignedByte(ImageSize, "ImageSize", kMethod);
    p.CompQuality = unsignedByte(ImageQuality, "ImageQuality", kMethod);
    p.ImageSizePic2RAW = unsignedByte(ImageSizePic2RAW, "ImageSizePic2RAW", kMethod);
    p.CompQualityPic2RAW = unsignedByte(ImageQualityPic2RAW, "ImageQualityPic2RAW", kMethod);
    setParams(p);
}

void TTetherboxActiveX::RemoteSetRemoteParams_PictureStyle(bool PictureStyleEnabled, int PictureStyle, int Contrast,
                                                           int Sharpness, int Saturation, bool SaturationUsed,
                                                           int ColorTone, bool ColorToneUsed, int MonochromeFilter,
                                                           bool MonochromeFilterUsed, int MonochromeTone,
                                                           bool MonochromeToneUsed)
{
    static constexpr const char *kMethod = "RemoteSetRemoteParams_PictureStyle";
    RemoteParamsType p;
    p.PictureStyleEnabled = PictureStyleEnabled ? 1 : 0;
    p.PictureStyle = unsignedByte(PictureStyle, "PictureStyle", kMethod);
    p.PictureStyleContrast = signedByte(Contrast, "Contrast", kMethod);
    p.PictureStyleSharpness = unsignedByte(Sharpness, "Sharpness", kMethod);
    p.Saturation = signedByte(Saturation, "Saturation", kMethod);
    p.SaturationUsed = SaturationUsed ? 1 : 0;
    p.ColorTone = signedByte(ColorTone, "ColorTone", kMethod);
    p.ColorToneUsed = ColorToneUsed ? 1 : 0;
    p.MonochromeFilter = unsignedByte(MonochromeFilter, "MonochromeFilter", kMethod);
    p.MonochromeFilterUsed = MonochromeFilterUsed ? 1 : 0;
    p.MonochromeTone = unsignedByte(MonochromeTone, "MonochromeTone", kMethod);
    p.MonochromeToneUsed = MonochromeToneUsed ? 1 : 0;
    setParams(p);
}

void TTetherboxActiveX::RemoteSetRemoteParams_WhitebalanceShift(bool WBShiftEnabled, int AmberBlue, int GreenMagenta)
{
    static constexpr const char *kMethod = "RemoteSetRemoteParams_WhitebalanceShift";
    RemoteParamsType p;
    p.WBShiftEnabled = WBShiftEnabled ? 1 : 0;
    p.AmberBlue = signedByte(AmberBlue, "AmberBlue", kMethod);
    p.GreenMagenta = signedByte(GreenMagenta, "GreenMagenta", kMethod);
    setParams(p);
}

void TTetherboxActiveX::RemoteLoadCameraRemoteParams(const std::string &FileName)
{
    engine().RemoteLoadCameraRemoteParams(FileName);
}

void TTetherboxActiveX::RemoteSaveCameraRemoteParams(const std::string &FileName)
{
    engine().RemoteSaveCameraRemoteParams(FileName);
}

// ---------------------------------------------------------------------------------------------
// Zoom and focus
// ---------------------------------------------------------------------------------------------

int TTetherboxActiveX::RemoteGetZoomPos_CurrentZoomPos()
{
    return engine().RemoteGetZoomPos().CurrentZoomPos;
}

int TTetherboxActiveX::RemoteGetZoomPos_MaxOpticalZoomPos()
{
    return engine().RemoteGetZoomPos().MaxOpticalZoomPos;
}

int TTetherboxActiveX::RemoteGetZoomPos_MaxZoomPos()
{
    return engine().RemoteGetZoomPos().MaxZoomPos;
}

void TTetherboxActiveX::RemoteSetZoomPos(int ZoomPos)
{
    engine().RemoteSetZoomPos(ZoomPos);
}

int TTetherboxActiveX::RemoteGetPowerZoom(int PowerZoomParamKind) const
{
    std::lock_guard lock(frameMutex_);
    const PowerZoomInfoType &z = FLastViewfinderMetadata.PowerZoom;
    switch (PowerZoomParamKind) {
    case 0: return z.Min;
    case 1: return z.Max;
    case 2: return z.Current;
    case 3: return z.Speed;
    case 4: return z.Controllable;
    case 5: return z.PZSwitch;
    case 6: return z.Condition;
    case 7: return z.ExtremePosition;
    case 8: return z.Attached;
    case 9: return z.BatteryLife;
    case 10: return z.LensZoomLock;
    case 11: return z.SpeedSwitch;
    case 12: return z.IncreasingTemperature;
    case 13: return z.HighTemperature;
    case 14: return static_cast<std::int32_t>(z.CurrentSpeed);
    default: return 0;
    }
}

void TTetherboxActiveX::RemotePowerZoomTele(bool ZoomFast, int ZoomSpeed)
{
    engine().RemotePowerZoomTele(ZoomFast, ZoomSpeed);
}

void TTetherboxActiveX::RemotePowerZoomWide(bool ZoomFast, int ZoomSpeed)
{
    engine().RemotePowerZoomWide(ZoomFast, ZoomSpeed);
}

void TTetherboxActiveX::RemotePowerZoomStop()
{
    engine().RemotePowerZoomStop();
}

void TTetherboxActiveX::RemoteAFLock(bool AFLock)
{
    engine().RemoteAFLock(AFLock);
}

// ---------------------------------------------------------------------------------------------
// Viewfinder
// ---------------------------------------------------------------------------------------------

bool TTetherboxActiveX::RemoteGetViewfinderImage()
{
    return engine().RemoteGetViewfinderImage();
}

int TTetherboxActiveX::RemoteGetViewfinderHistogram(int HistogramColor, int param2) const
{
    if (param2 < 0 || param2 > 255)
        throw ECamException(msg::kHistogramLevel);
    if (HistogramColor < 0 || HistogramColor > 3)
        throw ECamException(msg::kHistogramColor);
    std::lock_guard lock(frameMutex_);
    return FHistogram[HistogramColor][param2];
}

void TTetherboxActiveX::RemoteSetViewfinderOutput(int ViewfinderOutput)
{
    engine().RemoteSetViewfinderOutput(unsignedByte(ViewfinderOutput, "ViewfinderOutput", "RemoteSetViewfinderOutput"));
}

void TTetherboxActiveX::RemoteSetViewfinderDriveLens(int DriveLens)
{
    engine().RemoteSetViewfinderDriveLens(DriveLens);
}

void TTetherboxActiveX::RemoteSetViewfinderWhitebalance(int XCoord, int YCoord)
{
    engine().RemoteSetViewfinderWhitebalance(XCoord, YCoord);
}

void TTetherboxActiveX::RemoteSetViewfinderAutofocusMode(int AFMode)
{
    engine().RemoteSetViewfinderAutofocusMode(unsignedByte(AFMode, "AFMode", "RemoteSetViewfinderAutofocusMode"));
}

int TTetherboxActiveX::RemoteGetViewfinderAutofocusMode()
{
    return engine().RemoteGetViewfinderAutofocusMode();
}

int TTetherboxActiveX::RemoteGetViewfinderAutofocusInfo(int AFFocusInfo)
{
    auto info = std::make_unique<AFFocusInfoType>();
    engine().RemoteGetViewfinderAutofocusInfo(*info);
    switch (AFFocusInfo) {
    case 0: return info->PictureSizeWidth;
    case 1: return info->PictureSizeHeight;
    case 2: return info->NrOfFrames;
    default: return 0;
    }
}

int TTetherboxActiveX::RemoteGetViewfinderAutofocusInfoFrame(int FrameNr, int AFFocusFrame)
{
    if (FrameNr < 0 || FrameNr >= kAFFocusFrameCount)
        throw ECamException(msg::kAFFrameNr);
    auto info = std::make_unique<AFFocusInfoType>();
    engine().RemoteGetViewfinderAutofocusInfo(*info);
    const AFFocusFrameType &f = info->Frames[FrameNr];
    switch (AFFocusFrame) {
    case 0: return f.Valid != 0 ? 1 : 0;
    case 1: return f.Selected != 0 ? 1 : 0;
    case 2: return f.JustFocus != 0 ? 1 : 0;
    case 3: return f.RectPointX;
    case 4: return f.RectPointY;
    case 5: return f.RectWidth;
    case 6: return f.RectHeight;
    default: return 0;
    }
}

void TTetherboxActiveX::RemoteSetViewfinderZoom(int Zoom)
{
    engine().RemoteSetViewfinderZoom(Zoom);
}

void TTetherboxActiveX::RemoteSetViewfinderZoomPosition(int X, int Y)
{
    engine().RemoteSetViewfinderZoomPosition(X, Y);
}

void TTetherboxActiveX::RemoteSetViewfinderDepthOfFieldPreview(bool Activate)
{
    engine().RemoteSetViewfinderDepthOfFieldPreview(Activate);
}

bool TTetherboxActiveX::RemoteGetViewfinderDepthOfFieldPreview()
{
    return engine().RemoteGetViewfinderDepthOfFieldPreview();
}

void TTetherboxActiveX::RemoteActivateViewfinderAuto(bool EOSLockAF)
{
    engine().RemoteActivateViewfinderAuto(EOSLockAF);
}

void TTetherboxActiveX::RemoteStartMovieRecording()
{
    engine().RemoteStartMovieRecording();
}

void TTetherboxActiveX::RemoteEndMovieRecording()
{
    engine().RemoteEndMovieRecording();
}

// ---------------------------------------------------------------------------------------------
// Camera collection
// ---------------------------------------------------------------------------------------------

void TTetherboxActiveX::OpenCameraCollection(const std::string &TempDir, bool GetThumbnails)
{
    engine().OpenCameraCollection(TempDir, GetThumbnails, FPictureList);
    FPictureListHasThumbnails = GetThumbnails;
}

int TTetherboxActiveX::OpenCameraCollection_GetNrOfPictures() const
{
    return static_cast<int>(FPictureList.size());
}

std::string TTetherboxActiveX::OpenCameraCollection_NameOfImage(int PictureNumber) const
{
    if (PictureNumber < 0)
        throw ECamException("Parameter PictureNumber in method OpenCameraCollection_NameOfImage must not be negative");
    if (static_cast<std::size_t>(PictureNumber) >= FPictureList.size())
        return "";
    return cut(FPictureList[static_cast<std::size_t>(PictureNumber)].Name);
}

const ImageDataType *TTetherboxActiveX::OpenCameraCollection_Entry(int PictureNumber) const
{
    if (PictureNumber < 0 || static_cast<std::size_t>(PictureNumber) >= FPictureList.size())
        return nullptr;
    return &FPictureList[static_cast<std::size_t>(PictureNumber)];
}

void TTetherboxActiveX::OpenCameraCollection_GetThumbnail(int PictureNumber, const std::string &FileName) const
{
    if (!FPictureListHasThumbnails)
        throw ECamException(msg::kNoThumbnails);
    if (PictureNumber >= 0 && static_cast<std::size_t>(PictureNumber) >= FPictureList.size())
        throw ECamException("PictureNumber too high. Picture " + std::to_string(PictureNumber) + " does not exists");
    if (PictureNumber < 0)
        throw ECamException(
            "Parameter PictureNumber in method OpenCameraCollection_GetThumbnail must not be negative");
    const ImageDataType &entry = FPictureList[static_cast<std::size_t>(PictureNumber)];
    if (!entry.Thumbnail || entry.Thumbnail->empty())
        throw ECamException("Picture " + std::to_string(PictureNumber) + " (" + entry.Name +
                            ") has no thumbnail in the camera collection");
    if (!FrameFiles::write(FileName, *entry.Thumbnail))
        throw ECamException("Could not write thumbnail file " + FileName);
}

void TTetherboxActiveX::CloseCameraCollection()
{
    engine().CloseCameraCollection(FPictureList);
}

void TTetherboxActiveX::GetPicture(int NrInList, bool /*GetJPEGInRaw*/, const std::string &FileName)
{
    if (NrInList < 0)
        throw ECamException("Parameter NrInList in method GetPicture must not be negative");
    engine().GetPicture(NrInList, FileName);
}

void TTetherboxActiveX::DeletePicture(int NrInList)
{
    if (NrInList < 0)
        throw ECamException("Parameter NrInList in method DeletePicture must not be negative");
    engine().DeletePicture(FPictureList, NrInList);
}

// ---------------------------------------------------------------------------------------------
// RAW development
// ---------------------------------------------------------------------------------------------

void TTetherboxActiveX::OpenRAWObject(const std::string &FileName)
{
    FRAWWhiteBalanceSupported = engine().OpenRAWObject(FileName);
}

std::string TTetherboxActiveX::OpenRAWObject_GetRemoteParamSupported(int RAWParamKind) const
{
    if (RAWParamKind != 0)
        return "";
    std::string flags;
    for (std::uint8_t flag : FRAWWhiteBalanceSupported)
        flags += flag != 0 ? '1' : '0';
    return flags;
}

void TTetherboxActiveX::SetRAWDevelopmentParameters(int RAWParamKind, int Value)
{
    TTetherbox::RAWDevelopmentParamsType params;
    switch (RAWParamKind) {
    case 0:
        params.WhiteBalanceSetting = unsignedByte(Value, "Value", "SetRAWDevelopmentParameters");
        if (Value == 13)
            params.WhiteBalanceKelvin = engine().GetRAWDevelopmentParameters().WhiteBalanceKelvin;
        break;
    case 1:
        params.WhiteBalanceSetting = 13;
        params.WhiteBalanceKelvin = Value;
        break;
    default:
        return;
    }
    engine().SetRAWDevelopmentParameters(params);
}

int TTetherboxActiveX::GetRAWDevelopmentParameters(int RAWParamKind)
{
    const TTetherbox::RAWDevelopmentParamsType params = engine().GetRAWDevelopmentParameters();
    switch (RAWParamKind) {
    case 0: return params.WhiteBalanceSetting;
    case 1: return params.WhiteBalanceKelvin;
    default: return 0;
    }
}

void TTetherboxActiveX::DevelopRAWPicture(const std::string &OutFileName, int FileFormat, int BitsPerPixel,
                                          const std::string &ICCProfileFileName, int JPEGQuality)
{
    engine().DevelopRAWPicture(OutFileName, FileFormat, BitsPerPixel, ICCProfileFileName, JPEGQuality);
}

void TTetherboxActiveX::CloseRAWObject()
{
    engine().CloseRAWObject();
}

} // namespace tbx
