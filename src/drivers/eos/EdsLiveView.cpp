// TEDSDK: live view on and off, where it is shown, focus and white balance in live view, the AF
// frames, magnification, depth-of-field preview, the power-zoom lens and movie recording. The
// frames themselves are pulled by the engine's viewfinder tick (EdsFrame.cpp).
#include "drivers/eos/TEDSDK.h"

#include "drivers/common/Retry.h"
#include "drivers/eos/EdsTables.h"
#include "platform/Errors.h"
#include "platform/Platform.h"
#include "sdk/EdsErrors.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tbx::eos {

using namespace tbx::sdk;

namespace {

// Host values (low 7 bits) to camera values; a value past a table takes its fallback.
constexpr std::int32_t kDriveLensSteps[] = {
    kEdsEvfDriveLens_Near1, // 0: not used
    kEdsEvfDriveLens_Near1, kEdsEvfDriveLens_Near2, kEdsEvfDriveLens_Near3,
    kEdsEvfDriveLens_Far1,  kEdsEvfDriveLens_Far2,  kEdsEvfDriveLens_Far3,
};
constexpr EdsUInt32 kZooms[] = {kEdsEvfZoom_Fit, kEdsEvfZoom_x5, kEdsEvfZoom_x10};

template <class T, std::size_t N, class V>
T fromTable(const T (&table)[N], int value, V fallback)
{
    const auto index = static_cast<std::size_t>(value & 0x7F);
    return index < N ? table[index] : static_cast<T>(fallback);
}

// The camera's AF information block: image rectangle (4 words), frame count, then one 32-byte
// record per frame (valid, selected, just-focus, rectangle of 4 words, reserved). The block is
// sized from the camera when it says how big it is, else by the family.
constexpr std::size_t kFocusInfoMaxSize = 1u << 20;
constexpr std::size_t kFocusWidthOffset = 8;
constexpr std::size_t kFocusHeightOffset = 12;
constexpr std::size_t kFocusCountOffset = 16;
constexpr std::size_t kFocusFramesOffset = kEdsFocusInfoPointsOffset;
constexpr std::size_t kFocusFrameSize = sizeof(EdsFocusPoint);
static_assert(kFocusFramesOffset == kFocusCountOffset + 4);

std::uint32_t wordAt(const std::vector<std::uint8_t> &block, std::size_t offset)
{
    std::uint32_t value = 0;
    std::memcpy(&value, block.data() + offset, sizeof value);
    return value;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------------------------

void TEDSDK::setProperty32(EdsPropertyID property, std::uint32_t value, const char *label)
{
    raiseOnError(label, eds().EdsSetPropertyData(Camera(), property, 0, sizeof value, &value));
}

void TEDSDK::setPropertyPatiently(EdsPropertyID property, std::uint32_t value, const char *label)
{
    if (drivers::retry(drivers::kPatientRetry, [&] {
            return eds().EdsSetPropertyData(Camera(), property, 0, sizeof value, &value) == EDS_ERR_OK;
        }))
        return;
    setProperty32(property, value, label);
}

// ---------------------------------------------------------------------------------------------
// Live view
// ---------------------------------------------------------------------------------------------

void TEDSDK::RemoteStartViewfinder(const ViewfinderCallbacks & /*callbacks*/, int /*registryIndex*/)
{
    setProperty32(kEdsPropID_Evf_Mode, 1, "EdsSetPropertyData, kEdsPropID_Evf_Mode");
    setPropertyPatiently(kEdsPropID_Evf_OutputDevice, kEdsEvfOutputDevice_PC,
                         "EdsSetPropertyData, kEdsPropID_Evf_OutputDevice");
    // Live view on the computer locks the camera's controls; give them back.
    eds().EdsSendStatusCommand(Camera(), kEdsCameraStatusCommand_UIUnLock, 0);
}

void TEDSDK::RemoteStopViewfinder()
{
    const EdsUInt32 off = 0;
    eds().EdsSetPropertyData(Camera(), kEdsPropID_Evf_OutputDevice, 0, sizeof off, &off);
    eds().EdsSetPropertyData(Camera(), kEdsPropID_Evf_Mode, 0, sizeof off, &off);
}

void TEDSDK::SetViewfinderOutput(std::uint8_t output)
{
    static constexpr const char *kLabelGet = "EdsGetPropertyData, kEdsPropID_Evf_OutputDevice";
    static constexpr const char *kLabelSet = "EdsSetPropertyData, kEdsPropID_Evf_OutputDevice";
    switch (output) {
    case 0: { // the camera's screen as well
        EdsUInt32 device = 0;
        raiseOnError(kLabelGet,
                        eds().EdsGetPropertyData(Camera(), kEdsPropID_Evf_OutputDevice, 0, sizeof device, &device));
        if ((device & kEdsEvfOutputDevice_TFT) == 0)
            setProperty32(kEdsPropID_Evf_OutputDevice, device + kEdsEvfOutputDevice_TFT, kLabelSet);
        break;
    }
    case 2: // the computer only
        setProperty32(kEdsPropID_Evf_OutputDevice, kEdsEvfOutputDevice_PC, kLabelSet);
        break;
    default: // video output is the camera's own business
        break;
    }
}

void TEDSDK::SetViewfinderDriveLens(int step)
{
    sendCommand(kEdsCameraCommand_DriveLensEvf, fromTable(kDriveLensSteps, step, kEdsEvfDriveLens_Near1),
                "EdsSendCommand");
}

void TEDSDK::SetViewfinderWhitebalance(int x, int y)
{
    // Each coordinate has 16 bits in the command; anything wider would click another point.
    if (x < 0 || x > 0xFFFF || y < 0 || y > 0xFFFF)
        throw ECamException("White balance point (" + std::to_string(x) + ", " + std::to_string(y) +
                            ") is outside the range 0..65535");
    const auto packed = (static_cast<std::uint32_t>(x) << 16) | static_cast<std::uint32_t>(y);
    sendCommand(kEdsCameraCommand_DoClickWBEvf, static_cast<std::int32_t>(packed), "EdsSendCommand");
}

void TEDSDK::SetViewfinderAFMode(std::uint8_t mode)
{
    // Codes missing from the table (0, 2 and anything unknown) ask for the camera's live mode.
    constexpr std::int32_t kLiveMode = 1;
    const std::int32_t value = cameraOf(kEvfAFModes, mode & 0x7F, kLiveMode);
    EdsPropertyDesc desc{};
    raiseOnError("EdsGetPropertyDesc", eds().EdsGetPropertyDesc(Camera(), kEdsPropID_Evf_AFMode, &desc));
    const int count = std::clamp(desc.numElements, 0, static_cast<int>(std::size(desc.propDesc)));
    const auto *first = std::begin(desc.propDesc);
    if (std::find(first, first + count, value) == first + count)
        throw ECamException("Viewfinder AF mode not supported. Trying to set AFMode number " +
                            std::to_string(mode));
    setProperty32(kEdsPropID_Evf_AFMode, static_cast<std::uint32_t>(value), "EdsSetPropertyData, kEdsPropID_Evf_AFMode");
}

std::uint8_t TEDSDK::GetViewfinderAFMode()
{
    EdsUInt32 value = 0;
    if (eds().EdsGetPropertyData(Camera(), kEdsPropID_Evf_AFMode, 0, sizeof value, &value) != EDS_ERR_OK)
        return 0;
    return codeOf(kEvfAFModes, value & 0xFF, kEvfAFModeOther);
}

std::size_t TEDSDK::FocusFrameCount(std::int32_t claimed, std::size_t blockSize)
{
    if (claimed <= 0 || blockSize < kFocusFramesOffset)
        return 0;
    const std::size_t fits = (blockSize - kFocusFramesOffset) / kFocusFrameSize;
    return std::min({static_cast<std::size_t>(claimed), fits, static_cast<std::size_t>(kAFFocusFrameCount)});
}

void TEDSDK::GetViewfinderAFInfo(AFFocusInfoType &info)
{
    info.PictureSizeWidth = 0;
    info.PictureSizeHeight = 0;
    info.NrOfFrames = 0;
    for (AFFocusFrameType &frame : info.Frames)
        frame.Valid = 0;

    std::size_t size = family_.focusInfoSize;
    EdsDataType type = 0;
    EdsUInt32 reported = 0;
    if (eds().EdsGetPropertySize(Camera(), kEdsPropID_FocusInfo, 0, &type, &reported) == EDS_ERR_OK &&
        reported >= kFocusFramesOffset && reported <= kFocusInfoMaxSize)
        size = reported;
    std::vector<std::uint8_t> block(size);
    if (eds().EdsGetPropertyData(Camera(), kEdsPropID_FocusInfo, 0, static_cast<EdsUInt32>(size), block.data()) !=
        EDS_ERR_OK)
        return;

    info.PictureSizeWidth = static_cast<std::int32_t>(wordAt(block, kFocusWidthOffset));
    info.PictureSizeHeight = static_cast<std::int32_t>(wordAt(block, kFocusHeightOffset));
    const std::size_t frames = FocusFrameCount(static_cast<std::int32_t>(wordAt(block, kFocusCountOffset)), size);
    info.NrOfFrames = static_cast<std::int32_t>(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        EdsFocusPoint point{};
        std::memcpy(&point, block.data() + kFocusFramesOffset + i * kFocusFrameSize, sizeof point);
        AFFocusFrameType &frame = info.Frames[i];
        frame.Valid = 1;
        frame.Selected = point.selected != 0 ? 1 : 0;
        frame.JustFocus = static_cast<std::uint8_t>(point.justFocus & 1);
        frame.RectPointX = point.rect.point.x;
        frame.RectPointY = point.rect.point.y;
        frame.RectWidth = point.rect.size.width;
        frame.RectHeight = point.rect.size.height;
    }
}

void TEDSDK::SetViewfinderZoom(int zoom)
{
    setProperty32(kEdsPropID_Evf_Zoom, fromTable(kZooms, zoom, kEdsEvfZoom_Fit),
                  "EdsSetPropertyData, kEdsPropID_Evf_Zoom");
}

void TEDSDK::SetViewfinderZoomPosition(int x, int y)
{
    const EdsPoint point{x, y};
    raiseOnError("EdsSetPropertyData, kEdsPropID_Evf_ZoomPosition",
                    eds().EdsSetPropertyData(Camera(), kEdsPropID_Evf_ZoomPosition, 0, sizeof point, &point));
}

void TEDSDK::SetDepthOfFieldPreview(bool on)
{
    setProperty32(kEdsPropID_Evf_DepthOfFieldPreview,
                  on ? kEdsEvfDepthOfFieldPreview_ON : kEdsEvfDepthOfFieldPreview_OFF,
                  "EdsSetPropertyData, kEdsPropID_Evf_DepthOfFieldPreview");
}

bool TEDSDK::GetDepthOfFieldPreview()
{
    EdsUInt32 value = 0;
    raiseOnError("EdsGetPropertyData, kEdsPropID_Evf_DepthOfFieldPreview",
                    eds().EdsGetPropertyData(Camera(), kEdsPropID_Evf_DepthOfFieldPreview, 0, sizeof value, &value));
    return value == kEdsEvfDepthOfFieldPreview_ON;
}

void TEDSDK::ActivateViewfinderAuto(bool on)
{
    sendCommand(kEdsCameraCommand_DoEvfAf, on ? kEdsCameraCommand_EvfAf_ON : kEdsCameraCommand_EvfAf_OFF,
                "EdsSendCommand");
}

void TEDSDK::AFLock(bool /*lock*/)
{
    throw ECamException("RemoteAFLock is not supported for your EOS camera.");
}

// ---------------------------------------------------------------------------------------------
// Power zoom
// ---------------------------------------------------------------------------------------------

void TEDSDK::PowerZoomStop()
{
    sendCommand(kEdsCameraCommand_DrivePowerZoom, kEdsDrivePowerZoom_Stop, "EdsSendCommand DrivePowerZoom");
}

void TEDSDK::PowerZoomTele(bool fast, int speed)
{
    drivePowerZoom(speed, fast ? kEdsDrivePowerZoom_LimitOff_Tele : kEdsDrivePowerZoom_LimitOn_Tele);
}

void TEDSDK::PowerZoomWide(bool fast, int speed)
{
    drivePowerZoom(speed, fast ? kEdsDrivePowerZoom_LimitOff_Wide : kEdsDrivePowerZoom_LimitOn_Wide);
}

void TEDSDK::drivePowerZoom(int speed, std::int32_t drive)
{
    setProperty32(kEdsPropID_PowerZoom_Speed, static_cast<std::uint32_t>(speed),
                  "EdsSetPropertyData, kEdsPropID_PowerZoom_Speed");
    sendCommand(kEdsCameraCommand_DrivePowerZoom, drive, "EdsSendCommand DrivePowerZoom");
}

// ---------------------------------------------------------------------------------------------
// Movies
// ---------------------------------------------------------------------------------------------

void TEDSDK::StartMovieRecording()
{
    constexpr EdsUInt32 kRecordStart = 4;
    setPropertyPatiently(kEdsPropID_Record, kRecordStart, "EdsSetPropertyData, kEdsPropID_Record - start");
}

void TEDSDK::EndMovieRecording()
{
    constexpr EdsUInt32 kRecordEnd = 0;
    setPropertyPatiently(kEdsPropID_Record, kRecordEnd, "EdsSetPropertyData, kEdsPropID_Record - end");
}

} // namespace tbx::eos
