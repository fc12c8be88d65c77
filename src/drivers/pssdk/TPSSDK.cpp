// TPSSDK: where a PowerShot generation-2 camera differs from an EOS camera.
#include "drivers/pssdk/TPSSDK.h"

#include "drivers/common/Retry.h"
#include "drivers/eos/EdsTables.h"
#include "drivers/pssdk/PsTables.h"

#include "platform/Errors.h"
#include "platform/Platform.h"

#include <array>

namespace tbx::pssdk {

using namespace tbx::sdk;

namespace {

/// The camera's clock: seven 32-bit values, year to millisecond.
constexpr EdsPropertyID kPropClock = 0x16;
/// The zoom lens position, 0 (wide) to kMaxZoom (tele).
constexpr EdsPropertyID kPropZoom = 0x600;
constexpr std::int32_t kMaxZoom = 20;
/// The focus-information block of this family: room for 128 AF points.
constexpr std::size_t kFocusInfoSize = 4120;
constexpr std::size_t kOwnerNameBuffer = 32;

// The host's shutter button (low 7 bits) that presses; every other one releases.
constexpr int kButtonCompletelyPressed = 2;

} // namespace

void JudgeGen2Battery(std::uint32_t level, ConnectInfoType &info)
{
    constexpr std::uint32_t kOnMains = 0xFFFFFFFFu;
    std::uint8_t source = 2; // lithium
    std::uint8_t status = 0;
    if (level == kOnMains) {
        source = 1;
        status = 1;
    } else if (level <= 9) {
        status = 3;
    } else if (level <= 49) {
        status = 2;
    } else if (level <= 100) {
        status = 1;
    } else {
        source = 0;
    }
    info.BatterySource = source;
    info.BatteryStatus = status;
}

const eos::EdsFamily &Gen2Family()
{
    static const eos::EdsFamily family{
        CamModPowerShotGen2,
        "POWERSHOT",
        kOwnerNameBuffer,
        kOwnerNameBuffer - 1,
        JudgeGen2Battery,
        kFocusInfoSize,
        kExposureModes,
        kExposureCompensations,
        kWhiteBalances,
        kAFModes,
        kDriveModes,
        kMeteringModes,
        kColorSpaces,
        kISOSpeeds,
        kImageSizes,
        kCompressions,
        {},
        eos::kEvfAFModes,
        /*probesLiveViewAFMode=*/false,
        /*whiteBalanceShift=*/false,
        /*pictureStyle=*/false,
        /*qualityInOneStep=*/true,
    };
    return family;
}

TPSSDK::TPSSDK(const sdk::EdsLibrary &library) : TEDSDK(library, Gen2Family()) {}

void TPSSDK::SetTime(std::time_t time)
{
    EdsCameraRef camera = RequireCamera();
    const std::tm local = platform::localTime(time);
    const std::array<EdsUInt32, 7> clock{
        static_cast<EdsUInt32>(local.tm_year + 1900),
        static_cast<EdsUInt32>(local.tm_mon + 1),
        static_cast<EdsUInt32>(local.tm_mday),
        static_cast<EdsUInt32>(local.tm_hour),
        static_cast<EdsUInt32>(local.tm_min),
        static_cast<EdsUInt32>(local.tm_sec),
        0,
    };
    raiseOnError("EdsSetPropertyData, kEdsPropID_UTCTime",
                 eds().EdsSetPropertyData(camera, kPropClock, 0, sizeof clock, clock.data()));
}

int TPSSDK::GetNumberOfAvailableShots()
{
    EdsUInt32 shots = 0;
    if (eds().EdsGetPropertyData(RequireCamera(), kEdsPropID_AvailableShots, 0, sizeof shots, &shots) != EDS_ERR_OK)
        return 0;
    return static_cast<int>(shots);
}

// ---------------------------------------------------------------------------------------------
// Remote mode
// ---------------------------------------------------------------------------------------------

void TPSSDK::RemoteStart(ReleaseModeType /*mode*/, ReleaseDataKindType /*kind*/, RemoteStartInfoType &info,
                         int /*registryIndex*/, ReleaseEventProc /*remoteEvent*/, const std::string &cacheFolder,
                         bool probe)
{
    info = RemoteStartInfoType{};
    EdsCameraRef camera = RequireCamera();
    info.DoSupportZoom = 1;
    info.DoSupportShootingPara = 1;
    EdsUInt32 output = 0;
    if (IsNewerCamera() &&
        eds().EdsGetPropertyData(camera, kEdsPropID_Evf_OutputDevice, 0, sizeof output, &output) == EDS_ERR_OK)
        info.DoSupportViewfinder = 1;
    viewfinderSupport_ = info.DoSupportViewfinder != 0;

    // Live view goes on for the computer now and stays on until remote mode ends.
    EdsUInt32 liveView = 0;
    raiseOnError("EdsGetPropertyData, kEdsPropID_Evf_Mode",
                 eds().EdsGetPropertyData(camera, kEdsPropID_Evf_Mode, 0, sizeof liveView, &liveView));
    if (liveView == 0)
        setProperty32(kEdsPropID_Evf_Mode, 1, "EdsSetPropertyData, kEdsPropID_Evf_Mode");
    setPropertyPatiently(kEdsPropID_Evf_OutputDevice, kEdsEvfOutputDevice_PC,
                         "EdsSetPropertyData, kEdsPropID_Evf_OutputDevice");
    const EdsUInt32 noCompensation = 0;
    eds().EdsSetPropertyData(camera, kEdsPropID_ExposureCompensation, 0, sizeof noCompensation, &noCompensation);

    if (probe)
        ProbeOrLoadSupport(info.ParamSupport, cacheFolder);
}

void TPSSDK::RemoteEnd()
{
    if (!camera_)
        return;
    const EdsUInt32 off = 0;
    eds().EdsSetPropertyData(camera_.get(), kEdsPropID_Evf_OutputDevice, 0, sizeof off, &off);
}

// ---------------------------------------------------------------------------------------------
// Shooting and zoom
// ---------------------------------------------------------------------------------------------

EdsError TPSSDK::pressShutterPatiently(std::int32_t param)
{
    EdsError result = EDS_ERR_OK;
    drivers::retry(drivers::kBusyShutterRetry, [&] {
        result = eds().EdsSendCommand(Camera(), kEdsCameraCommand_PressShutterButton, param);
        return result == EDS_ERR_OK;
    });
    return result;
}

void TPSSDK::RemoteTakePicture(ProgressProc /*progress*/, int /*registryIndex*/)
{
    RequireCamera();
    const EdsError pressed = pressShutterPatiently(kEdsCameraCommand_ShutterButton_Completely);
    const EdsError released = pressShutterPatiently(kEdsCameraCommand_ShutterButton_OFF);
    raiseOnError("EdsSendCommand", pressed);
    raiseOnError("EdsSendCommand", released);
}

void TPSSDK::RemotePressShutter(int button)
{
    RequireCamera();
    const std::int32_t param = (button & 0x7F) == kButtonCompletelyPressed ? kEdsCameraCommand_ShutterButton_Completely
                                                                           : kEdsCameraCommand_ShutterButton_OFF;
    raiseOnError("EdsSendCommand", pressShutterPatiently(param));
}

void TPSSDK::GetZoomPos(ZoomPosType &pos)
{
    EdsInt32 value = 0;
    if (eds().EdsGetPropertyData(RequireCamera(), kPropZoom, 0, sizeof value, &value) != EDS_ERR_OK)
        throw ECamException("RemoteGetZoomPos is not supported for your PowerShot camera");
    pos.CurrentZoomPos = value;
    pos.MaxOpticalZoomPos = kMaxZoom;
    pos.MaxZoomPos = kMaxZoom;
}

void TPSSDK::SetZoomPos(int pos)
{
    const EdsInt32 value = pos;
    eds().EdsSetPropertyData(RequireCamera(), kPropZoom, 0, sizeof value, &value);
}

void TPSSDK::RemoteStartViewfinder(const ViewfinderCallbacks & /*callbacks*/, int /*registryIndex*/)
{
    liveViewRunning_ = true;
}

void TPSSDK::RemoteStopViewfinder() { liveViewRunning_ = false; }

} // namespace tbx::pssdk
