// The EOS driver's shooting parameters: reading and writing RemoteParamsType through the
// conversion tables, the probe of supported values with its cache file, and entering and leaving
// remote mode.
#include "drivers/eos/TEDSDK.h"

#include "drivers/common/Retry.h"
#include "drivers/eos/EdsTables.h"

#include "engine/CamLib.h"
#include "engine/ParamStore.h"
#include "platform/Errors.h"
#include "platform/Platform.h"
#include "sdk/EdsErrors.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

namespace tbx::eos {

using sdk::Eds;
using sdk::EdsCameraRef;
using sdk::EdsUInt32;

namespace {

constexpr std::uint32_t kUnsetShift = 0x7FFFFFFF;    // white-balance shift or picture-style value absent
constexpr std::uint32_t kUnsetMonochrome = 0xFFFFFFFF; // monochrome filter or toning absent
constexpr std::int32_t kNoPictureStyle = 129;
/// A refused property write is tried once more, 100 ms later, and then dropped.
constexpr drivers::RetryPolicy kWriteRetry{1, 100};
constexpr platform::Millis kProbeSettleMs = 50;

/// Release mode to the camera's save-to value.
constexpr CodeRow kSaveTo[] = {
    {sdk::kEdsSaveTo_Host, ReleaseModeOnlyToPC},
    {sdk::kEdsSaveTo_Both, ReleaseModeBothPCAndCamera},
    {sdk::kEdsSaveTo_Camera, ReleaseModeOnlyToCamera},
};
static_assert(oneToOne(kSaveTo));

std::optional<EdsUInt32> readU32(const EdsCalls &sdk, EdsCameraRef camera, sdk::EdsPropertyID id)
{
    EdsUInt32 value = 0;
    if (sdk.eds().EdsGetPropertyData(camera, id, 0, sizeof value, &value) != sdk::EDS_ERR_OK)
        return std::nullopt;
    return value;
}

/// Writes one property; a refused write is tried once more after 100 ms and then dropped.
bool writeData(const EdsCalls &sdk, EdsCameraRef camera, sdk::EdsPropertyID id, const void *data, EdsUInt32 size)
{
    return drivers::retry(kWriteRetry,
                          [&] { return sdk.eds().EdsSetPropertyData(camera, id, 0, size, data) == sdk::EDS_ERR_OK; });
}

void writeValue(const EdsCalls &sdk, EdsCameraRef camera, sdk::EdsPropertyID id, std::int32_t value)
{
    writeData(sdk, camera, id, &value, sizeof value);
}

/// Writes \p value unless it is the conversion's no-value marker.
void writeUnlessNoValue(const EdsCalls &sdk, EdsCameraRef camera, sdk::EdsPropertyID id, std::int32_t value, std::int32_t noValue)
{
    if (value != noValue)
        writeValue(sdk, camera, id, value);
}

std::uint8_t lowByte(std::uint32_t value) { return static_cast<std::uint8_t>(value & 0xFFu); }
std::int32_t signedByte(std::uint8_t value) { return static_cast<std::int8_t>(value); }
std::uint32_t nibble(std::uint32_t value, int shift) { return (value >> shift) & 0xFu; }

// ---- image quality ----

struct ImageQuality {
    std::uint8_t comp = 0;
    std::uint8_t comp2 = 0;
    std::uint8_t size = 0;
    std::uint8_t size2 = 0;
};

ImageQuality unpackImageQuality(const EdsFamily &f, std::uint32_t value, bool newer)
{
    ImageQuality q;
    q.size = codeOf(f.imageSizes, nibble(value, 24));
    const std::uint32_t format = nibble(value, 20);
    std::uint32_t comp = format == 2 || format == 6 ? 4u : nibble(value, 16);
    if (newer && comp == 0)
        comp = 5;
    q.comp = codeOf(f.compressions, comp);
    if (nibble(value, 4) != 0) {
        q.size2 = codeOf(f.imageSizes, nibble(value, 8));
        std::uint32_t comp2 = nibble(value, 0);
        if (newer && comp2 == 0)
            comp2 = 5;
        q.comp2 = codeOf(f.compressions, comp2);
    }
    return q;
}

std::uint32_t backNibble(std::span<const CodeRow> rows, int code)
{
    return static_cast<std::uint32_t>(cameraOf(rows, code, 0)) & 0xFu;
}

std::uint32_t packImageQuality(const EdsFamily &f, const ImageQuality &q, bool newer)
{
    const std::uint32_t noSecond = newer ? 0xFF0Fu : 0u;
    if (q.comp != kCompQualityRAW)
        return backNibble(f.imageSizes, q.size) << 24 | 1u << 20 | backNibble(f.compressions, q.comp) << 16 | noSecond;
    const std::uint32_t main = (newer ? 6u : 2u) << 20 | 4u << 16;
    if (q.size2 == 0 && q.comp2 == 0)
        return main | noSecond;
    return main | backNibble(f.imageSizes, q.size2) << 8 | 1u << 4 | backNibble(f.compressions, q.comp2);
}

// ---- single conversions used by reads and the probe ----

std::uint8_t tvCodeToField(std::uint32_t value)
{
    const std::uint32_t code = value & 0xFFFFu;
    if (code >= 12 && code <= 15)
        return 1;
    return static_cast<std::uint8_t>(TvCodeToIndex(code));
}
std::uint8_t avCodeToField(std::uint32_t value) { return static_cast<std::uint8_t>(AvCodeToIndex(value & 0xFFFFu)); }
/// One single-valued parameter, in the order in which parameters are read and probed. The probe
/// reads its allowed values from the property's description.
struct DescribedParam {
    sdk::EdsPropertyID property;
    RemoteParamKind kind;
    /// The family's table of the parameter; null for Av and Tv, which use the shared scales.
    std::span<const CodeRow> EdsFamily::*table;
    /// The record's field (none for the live-view AF mode, which the record does not hold); the
    /// probe clears it in its snapshot when the camera allows no value.
    std::uint8_t RemoteParamsType::*field;
    bool raiseOnFailure;
};
constexpr DescribedParam kDescribedParams[] = {
    {sdk::kEdsPropID_AEMode, RemoteParamImageMode, &EdsFamily::exposureModes, &RemoteParamsType::ImageMode, true},
    {sdk::kEdsPropID_Av, RemoteParamAv, nullptr, &RemoteParamsType::Av, true},
    {sdk::kEdsPropID_Tv, RemoteParamTv, nullptr, &RemoteParamsType::Tv, true},
    {sdk::kEdsPropID_ExposureCompensation, RemoteParamExposureCompensation, &EdsFamily::exposureCompensations,
     &RemoteParamsType::ExposureCompensation, true},
    {sdk::kEdsPropID_WhiteBalance, RemoteParamWhiteBalanceSetting, &EdsFamily::whiteBalances,
     &RemoteParamsType::WhiteBalanceSetting, true},
    {sdk::kEdsPropID_AFMode, RemoteParamAFMode, &EdsFamily::afModes, &RemoteParamsType::AFMode, true},
    {sdk::kEdsPropID_Evf_AFMode, RemoteParamVFAFMode, &EdsFamily::evfAFModes, nullptr, false},
    {sdk::kEdsPropID_DriveMode, RemoteParamDriveMode, &EdsFamily::driveModes, &RemoteParamsType::DriveMode, true},
    {sdk::kEdsPropID_MeteringMode, RemoteParamMLWeiMode, &EdsFamily::meteringModes, &RemoteParamsType::MLWeiMode, true},
    {sdk::kEdsPropID_ColorSpace, RemoteParamColorSpace, &EdsFamily::colorSpaces, &RemoteParamsType::ColorSpace, true},
    {sdk::kEdsPropID_ISOSpeed, RemoteParamISO, &EdsFamily::isoSpeeds, &RemoteParamsType::ISO, true},
};

/// True when the probe of \p family covers \p param.
bool probed(const EdsFamily &family, const DescribedParam &param)
{
    return param.kind != RemoteParamVFAFMode || family.probesLiveViewAFMode;
}

/// A camera value of \p param as the record's code.
std::uint8_t toCode(const EdsFamily &family, const DescribedParam &param, std::uint32_t value)
{
    switch (param.kind) {
    case RemoteParamAv: return avCodeToField(value);
    case RemoteParamTv: return tvCodeToField(value);
    case RemoteParamVFAFMode: return codeOf(family.*param.table, value, kEvfAFModeOther);
    case RemoteParamWhiteBalanceSetting: return codeOf(family.*param.table, static_cast<std::int32_t>(value));
    default: return codeOf(family.*param.table, value);
    }
}

/// The allowed values of a property description, never more than the description holds.
std::span<const std::int32_t> allowedValues(const sdk::EdsPropertyDesc &desc)
{
    const auto capacity = static_cast<std::int32_t>(std::size(desc.propDesc));
    const std::int32_t count = std::clamp(desc.numElements, 0, capacity);
    return {desc.propDesc, static_cast<std::size_t>(count)};
}

/// Reads the white-balance shift; empty when unreadable or either value is absent.
std::optional<std::array<std::int32_t, 2>> readWBShift(const EdsCalls &sdk, EdsCameraRef camera)
{
    std::array<std::int32_t, 2> shift{};
    if (sdk.eds().EdsGetPropertyData(camera, sdk::kEdsPropID_WhiteBalanceShift, 0, sizeof shift, shift.data()) !=
        sdk::EDS_ERR_OK)
        return std::nullopt;
    if (static_cast<std::uint32_t>(shift[0]) == kUnsetShift || static_cast<std::uint32_t>(shift[1]) == kUnsetShift)
        return std::nullopt;
    return shift;
}

std::optional<sdk::EdsPictureStyleDesc> readPictureStyleDesc(const EdsCalls &sdk, EdsCameraRef camera)
{
    sdk::EdsPictureStyleDesc desc{};
    if (sdk.eds().EdsGetPropertyData(camera, sdk::kEdsPropID_PictureStyleDesc, 0, sizeof desc, &desc) != sdk::EDS_ERR_OK)
        return std::nullopt;
    return desc;
}

/// Splits an optional picture-style value into its low byte and its "used" flag.
void optionalByte(std::uint32_t value, std::uint32_t absent, std::uint8_t &byte, std::uint8_t &used)
{
    if (value == absent)
        return;
    byte = lowByte(value);
    used = 1;
}

} // namespace

int ProbeStepCount(const EdsFamily &family)
{
    int params = 0;
    for (const DescribedParam &param : kDescribedParams)
        params += probed(family, param) ? 1 : 0;
    // The snapshot, image quality, each parameter, the white-balance shift, picture styles, putting
    // the camera back and saving the result.
    return 1 + (family.qualityInOneStep ? 1 : 2) + params + (family.whiteBalanceShift ? 1 : 0) +
           (family.pictureStyle ? 1 : 0) + 2;
}

bool TEDSDK::IsNewerCamera()
{
    sdk::EdsDeviceInfo device{};
    raiseOnError("EdsGetDeviceInfo", eds().EdsGetDeviceInfo(RequireCamera(), &device));
    return device.deviceSubType != 0;
}

// ---------------------------------------------------------------------------------------------
// Reading and writing
// ---------------------------------------------------------------------------------------------

void TEDSDK::GetRemoteParams(RemoteParamsType &params)
{
    params = RemoteParamsType{};
    EdsCameraRef camera = RequireCamera();
    const bool newer = IsNewerCamera();

    if (auto v = readU32(*this, camera, sdk::kEdsPropID_ImageQuality)) {
        const ImageQuality q = unpackImageQuality(family_, *v, newer);
        params.CompQuality = q.comp;
        params.CompQualityPic2RAW = q.comp2;
        params.ImageSize = q.size;
        params.ImageSizePic2RAW = q.size2;
    }
    // The single-valued parameters, with the colour temperature and the shift right after the
    // white balance.
    for (const DescribedParam &param : kDescribedParams) {
        if (param.field == nullptr)
            continue;
        if (auto v = readU32(*this, camera, param.property))
            params.*param.field = toCode(family_, param, *v);
        if (param.kind != RemoteParamWhiteBalanceSetting)
            continue;
        if (params.WhiteBalanceSetting == kWhiteBalanceKelvinCode) {
            if (auto v = readU32(*this, camera, sdk::kEdsPropID_ColorTemperature))
                params.WhiteBalanceKelvin = *v;
        }
        if (auto shift = family_.whiteBalanceShift ? readWBShift(*this, camera) : std::nullopt) {
            params.WBShiftEnabled = 1;
            params.AmberBlue = lowByte(static_cast<std::uint32_t>((*shift)[0]));
            params.GreenMagenta = lowByte(static_cast<std::uint32_t>((*shift)[1]));
        }
    }
    if (!family_.pictureStyle)
        return;
    if (auto v = readU32(*this, camera, sdk::kEdsPropID_PictureStyle)) {
        params.PictureStyleEnabled = 1;
        params.PictureStyle = codeOf(family_.pictureStyles, *v);
    }
    if (auto desc = readPictureStyleDesc(*this, camera)) {
        params.PictureStyleEnabled = 1;
        params.PictureStyleContrast = lowByte(static_cast<std::uint32_t>(desc->contrast));
        params.PictureStyleSharpness = lowByte(desc->sharpness);
        optionalByte(static_cast<std::uint32_t>(desc->saturation), kUnsetShift, params.Saturation, params.SaturationUsed);
        optionalByte(static_cast<std::uint32_t>(desc->colorTone), kUnsetShift, params.ColorTone, params.ColorToneUsed);
        optionalByte(desc->filterEffect, kUnsetMonochrome, params.MonochromeFilter, params.MonochromeFilterUsed);
        optionalByte(desc->toningEffect, kUnsetMonochrome, params.MonochromeTone, params.MonochromeToneUsed);
    }
}

void TEDSDK::SetRemoteParams(const RemoteParamsType &params)
{
    EdsCameraRef camera = RequireCamera();

    if ((params.CompQuality != 0 && params.ImageSize != 0) || params.CompQuality == kCompQualityRAW) {
        const bool newer = IsNewerCamera();
        const ImageQuality q{params.CompQuality, params.CompQualityPic2RAW, params.ImageSize, params.ImageSizePic2RAW};
        const std::uint32_t packed = packImageQuality(family_, q, newer);
        writeData(*this, camera, sdk::kEdsPropID_ImageQuality, &packed, sizeof packed);
    }
    if (params.ImageMode != 0)
        writeUnlessNoValue(*this, camera, sdk::kEdsPropID_AEMode, cameraOf(family_.exposureModes, params.ImageMode, -1),
                           -1);
    if (params.Av != 0)
        writeUnlessNoValue(*this, camera, sdk::kEdsPropID_Av, static_cast<std::int32_t>(AvIndexToCode(params.Av)),
                           static_cast<std::int32_t>(kNoScaleValue));
    if (params.Tv != 0) {
        const std::uint32_t code = params.Tv == 1 ? 12u : TvIndexToCode(params.Tv);
        writeUnlessNoValue(*this, camera, sdk::kEdsPropID_Tv, static_cast<std::int32_t>(code),
                           static_cast<std::int32_t>(kNoScaleValue));
    }
    if (params.ExposureCompensation != 0)
        writeUnlessNoValue(*this, camera, sdk::kEdsPropID_ExposureCompensation,
                           cameraOf(family_.exposureCompensations, params.ExposureCompensation, 255), 255);
    if (params.WhiteBalanceSetting != 0) {
        const std::int32_t wb = cameraOf(family_.whiteBalances, params.WhiteBalanceSetting, -10);
        writeUnlessNoValue(*this, camera, sdk::kEdsPropID_WhiteBalance, wb, -10);
        if (viewfinderSupport_)
            writeUnlessNoValue(*this, camera, sdk::kEdsPropID_Evf_WhiteBalance, wb, -10);
    }
    if (params.WhiteBalanceKelvin != 0 && params.WhiteBalanceSetting == kWhiteBalanceKelvinCode) {
        const std::uint32_t kelvin = params.WhiteBalanceKelvin / 100u * 100u;
        writeData(*this, camera, sdk::kEdsPropID_ColorTemperature, &kelvin, sizeof kelvin);
    }
    if (params.WBShiftEnabled != 0 && family_.whiteBalanceShift) {
        const std::array<std::int32_t, 2> shift{signedByte(params.AmberBlue), signedByte(params.GreenMagenta)};
        writeData(*this, camera, sdk::kEdsPropID_WhiteBalanceShift, shift.data(), sizeof shift);
    }
    // AF mode and drive mode have no no-value marker: an unknown code is written as it converts.
    if (params.AFMode != 0)
        writeValue(*this, camera, sdk::kEdsPropID_AFMode, cameraOf(family_.afModes, params.AFMode, -1));
    if (params.DriveMode != 0)
        writeValue(*this, camera, sdk::kEdsPropID_DriveMode, cameraOf(family_.driveModes, params.DriveMode, 0));
    if (params.MLWeiMode != 0)
        writeUnlessNoValue(*this, camera, sdk::kEdsPropID_MeteringMode,
                           cameraOf(family_.meteringModes, params.MLWeiMode, -1), -1);
    if (params.ColorSpace != 0)
        writeUnlessNoValue(*this, camera, sdk::kEdsPropID_ColorSpace,
                           cameraOf(family_.colorSpaces, params.ColorSpace, -1), -1);
    if (params.ISO != 0)
        writeUnlessNoValue(*this, camera, sdk::kEdsPropID_ISOSpeed, cameraOf(family_.isoSpeeds, params.ISO, 255), 255);
    if (params.PictureStyleEnabled != 0 && family_.pictureStyle) {
        const std::int32_t style = cameraOf(family_.pictureStyles, params.PictureStyle, kNoPictureStyle) & 0xFF;
        writeValue(*this, camera, sdk::kEdsPropID_PictureStyle, style);
        sdk::EdsPictureStyleDesc desc{};
        desc.contrast = signedByte(params.PictureStyleContrast);
        desc.sharpness = params.PictureStyleSharpness;
        desc.saturation = params.SaturationUsed != 0 ? signedByte(params.Saturation) : static_cast<std::int32_t>(kUnsetShift);
        desc.colorTone = params.ColorToneUsed != 0 ? signedByte(params.ColorTone) : static_cast<std::int32_t>(kUnsetShift);
        desc.filterEffect = params.MonochromeFilterUsed != 0 ? params.MonochromeFilter : kUnsetMonochrome;
        desc.toningEffect = params.MonochromeToneUsed != 0 ? params.MonochromeTone : kUnsetMonochrome;
        writeData(*this, camera, sdk::kEdsPropID_PictureStyleDesc, &desc, sizeof desc);
    }
}

// ---------------------------------------------------------------------------------------------
// Probe of supported values
// ---------------------------------------------------------------------------------------------

void TEDSDK::ProbeSupportedParams(RemoteParamSupportType &support, const std::string &cacheFile)
{
    EdsCameraRef camera = RequireCamera();
    const sdk::EdsEntryPoints &eds = sdk_.entryPoints();
    const int steps = ProbeStepCount(family_);
    auto reached = [this, steps](int step) {
        reportProbeProgress(static_cast<int>(std::lround(step * 100.0 / steps)));
    };

    int step = 0;
    auto next = [&] { reached(++step); };

    RemoteParamsType snapshot;
    GetRemoteParams(snapshot);
    next();
    try {
        // Image quality.
        const bool newer = IsNewerCamera();
        bool anyQuality = false;
        if (newer) {
            sdk::EdsPropertyDesc desc{};
            raiseOnError("EdsGetPropertyDesc", eds.EdsGetPropertyDesc(camera, sdk::kEdsPropID_ImageQuality, &desc));
            if (!family_.qualityInOneStep)
                next();
            for (std::int32_t value : allowedValues(desc)) {
                const ImageQuality q = unpackImageQuality(family_, static_cast<std::uint32_t>(value), true);
                for (auto [kind, code] : {std::pair{RemoteParamCompQuality, q.comp},
                                          std::pair{RemoteParamCompQualityPic2RAW, q.comp2},
                                          std::pair{RemoteParamImageSize, q.size},
                                          std::pair{RemoteParamImageSizePic2RAW, q.size2}}) {
                    if (code != 0) {
                        support.mark(kind, code);
                        anyQuality = true;
                    }
                }
            }
            next();
        } else {
            // Older cameras describe no image qualities: each candidate is written, and kept
            // when the camera reads it back unchanged.
            auto accepted = [&](const ImageQuality &q) {
                const std::uint32_t packed = packImageQuality(family_, q, false);
                if (eds.EdsSetPropertyData(camera, sdk::kEdsPropID_ImageQuality, 0, sizeof packed, &packed) !=
                    sdk::EDS_ERR_OK)
                    return false;
                platform::sleepMs(kProbeSettleMs);
                const auto back = readU32(*this, camera, sdk::kEdsPropID_ImageQuality);
                return back && *back == packed;
            };
            // Codes without a camera value would only repeat another code's test.
            auto hasCamera = [](std::span<const CodeRow> rows, int code) { return drivers::hasCode(rows, code); };
            for (int comp = 1; comp <= kCompQualityRAW; ++comp) {
                if (!hasCamera(family_.compressions, comp))
                    continue;
                // A RAW-only value carries no image size: one test covers it.
                const int lastSize = comp == kCompQualityRAW ? 1 : supportHighestCode(RemoteParamImageSize);
                for (int size = 1; size <= lastSize; ++size) {
                    if (comp != kCompQualityRAW && !hasCamera(family_.imageSizes, size))
                        continue;
                    const ImageQuality q{static_cast<std::uint8_t>(comp), 0, static_cast<std::uint8_t>(size), 0};
                    if (!accepted(q))
                        continue;
                    anyQuality = true;
                    support.mark(RemoteParamCompQuality, comp);
                    if (comp != kCompQualityRAW)
                        support.mark(RemoteParamImageSize, size);
                }
            }
            if (!family_.qualityInOneStep)
                next();
            for (int comp2 = 1; comp2 <= 4; ++comp2) {
                if (!hasCamera(family_.compressions, comp2))
                    continue;
                for (int size2 = 1; size2 <= supportHighestCode(RemoteParamImageSizePic2RAW); ++size2) {
                    if (!hasCamera(family_.imageSizes, size2))
                        continue;
                    const ImageQuality q{kCompQualityRAW, static_cast<std::uint8_t>(comp2), 1,
                                         static_cast<std::uint8_t>(size2)};
                    if (!accepted(q))
                        continue;
                    anyQuality = true;
                    support.mark(RemoteParamCompQualityPic2RAW, comp2);
                    support.mark(RemoteParamImageSizePic2RAW, size2);
                }
            }
            next();
        }
        if (!anyQuality) {
            support.mark(RemoteParamCompQuality, 0);
            support.mark(RemoteParamImageSize, 0);
            snapshot.CompQuality = 0;
            snapshot.ImageSize = 0;
        }

        // Parameters described by the camera, then white-balance shift right after white balance.
        for (const DescribedParam &param : kDescribedParams) {
            if (!probed(family_, param)) {
                support.mark(param.kind, 0);
                continue;
            }
            sdk::EdsPropertyDesc desc{};
            const sdk::EdsError result = eds.EdsGetPropertyDesc(camera, param.property, &desc);
            if (param.raiseOnFailure)
                raiseOnError("EdsGetPropertyDesc", result);
            const auto values = result == sdk::EDS_ERR_OK ? allowedValues(desc) : std::span<const std::int32_t>{};
            for (std::int32_t value : values) {
                const std::uint8_t code = toCode(family_, param, static_cast<std::uint32_t>(value));
                if (code != 0)
                    support.mark(param.kind, code);
            }
            if (values.empty()) {
                support.mark(param.kind, 0);
                if (param.field != nullptr)
                    snapshot.*param.field = 0;
            }
            next();
            if (param.kind == RemoteParamWhiteBalanceSetting && family_.whiteBalanceShift) {
                support.WhiteBalanceShift = readWBShift(*this, camera) ? 1 : 0;
                next();
            }
        }

        // Picture style, and the parameters this family does not have.
        if (family_.pictureStyle)
            support.PictureStyle = readPictureStyleDesc(*this, camera) ? 1 : 0;
        for (RemoteParamKind kind : {RemoteParamContrast, RemoteParamColorGain, RemoteParamSharpness,
                                     RemoteParamAFDistance, RemoteParamAFFocusingPoint, RemoteParamAFAssistLight,
                                     RemoteParamStrobeSetting, RemoteParamStrobeCompSetting, RemoteParamBeep})
            support.mark(kind, 0);
        for (std::uint8_t RemoteParamsType::*field :
             {&RemoteParamsType::Contrast, &RemoteParamsType::ColorGain, &RemoteParamsType::Sharpness,
              &RemoteParamsType::AFDistance, &RemoteParamsType::AFFocusingPoint, &RemoteParamsType::AFAssistLight,
              &RemoteParamsType::StrobeSetting, &RemoteParamsType::StrobeCompSetting, &RemoteParamsType::PhotoEffect,
              &RemoteParamsType::Beep})
            snapshot.*field = 0;
        if (family_.pictureStyle)
            next();
    } catch (...) {
        // The camera goes back to where it was whatever failed; the probe's own failure is the
        // one reported.
        try {
            SetRemoteParams(snapshot);
        } catch (...) {
        }
        throw;
    }

    SetRemoteParams(snapshot);
    reached(steps - 1);
    if (!cacheFile.empty())
        TrySaveRemoteParamSupportCache(cacheFile, support);
    reached(steps);
}

std::string TEDSDK::ProbeCacheFile(const std::string &cacheFolder)
{
    const auto mode = readU32(*this, RequireCamera(), sdk::kEdsPropID_AEMode);
    const int code = mode ? codeOf(family_.exposureModes, *mode) : 0;
    return cacheFolder + platform::kDirSeparator + connection_.CameraModelName + " Mode" + std::to_string(code);
}

// ---------------------------------------------------------------------------------------------
// Remote mode
// ---------------------------------------------------------------------------------------------

void TEDSDK::RemoteStart(ReleaseModeType mode, ReleaseDataKindType /*kind*/, RemoteStartInfoType &info,
                         int /*registryIndex*/, ReleaseEventProc /*remoteEvent*/, const std::string &cacheFolder,
                         bool probe)
{
    info = RemoteStartInfoType{};
    EdsCameraRef camera = RequireCamera();
    const sdk::EdsEntryPoints &eds = sdk_.entryPoints();

    const auto saveTo = lookup<&CodeRow::code, &CodeRow::camera>(kSaveTo, static_cast<std::uint8_t>(mode));
    if (!saveTo)
        throw ECamException("Unknown release mode " + std::to_string(static_cast<int>(mode)));
    const EdsUInt32 saveToValue = static_cast<EdsUInt32>(*saveTo);
    raiseOnError("EdsSetPropertyData, kEdsPropID_SaveTo",
                    eds.EdsSetPropertyData(camera, sdk::kEdsPropID_SaveTo, 0, sizeof saveToValue, &saveToValue));

    info.DoSupportShootingPara = 1;
    if (IsNewerCamera()) {
        if (readU32(*this, camera, sdk::kEdsPropID_Evf_OutputDevice))
            info.DoSupportViewfinder = 1;
        const sdk::EdsCapacity capacity{0x7FFFFFFF, 4096, 1};
        raiseOnError("EdsSetCapacity", eds.EdsSetCapacity(camera, capacity));
    }
    viewfinderSupport_ = info.DoSupportViewfinder != 0;
    info.DoSupportPowerZoom = readU32(*this, camera, sdk::kEdsPropID_PowerZoom_Speed) ? 1 : 0;
    eds.EdsSendStatusCommand(camera, sdk::kEdsCameraStatusCommand_UIUnLock, 0);

    if (probe)
        ProbeOrLoadSupport(info.ParamSupport, cacheFolder);
}

void TEDSDK::ProbeOrLoadSupport(RemoteParamSupportType &support, const std::string &cacheFolder)
{
    std::string cacheFile;
    if (!cacheFolder.empty()) {
        cacheFile = ProbeCacheFile(cacheFolder);
        if (LoadRemoteParamSupportCache(cacheFile, support))
            return;
    }
    ProbeSupportedParams(support, cacheFile);
}

void TEDSDK::RemoteEnd()
{
    // The camera leaves remote mode by itself when the session closes; nothing to tell it here.
}

} // namespace tbx::eos
