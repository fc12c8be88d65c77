// TPRSDK: RemoteStart with the probe of supported values, and the shooting parameters.
#include "drivers/prsdk/TPRSDK.h"

#include "engine/CamLib.h"
#include "engine/ParamStore.h"
#include "platform/Errors.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cmath>

namespace tbx::prsdk {

namespace {

constexpr std::uint32_t kDatasetBytes = 1048576;

/// The order in which the parameters are read and written.
constexpr std::uint16_t kAccessOrder[] = {
    0xD008, kPropCompQuality, kPropImageMode, kPropDriveMode, kPropAv, kPropTv, 0xD01F, 0xD013, 0xD011, 0xD012,
    0xD041, 0xD00A,           0xD020,         0xD010,         0xD01C,  0xD017,  0xD018, 0xD019, 0xD040, 0xD00B,
};

bool avAllowed(std::uint8_t imageMode) { return imageMode == 2 || imageMode == 18; }

bool tvAllowed(std::uint8_t imageMode) { return imageMode == 2 || imageMode == 17; }

} // namespace

std::uint8_t codeOfValue(const PrProperty &property, std::uint64_t value)
{
    if (value > 0xFFFFFFFFu)
        return 0;
    switch (property.conversion) {
    case Conversion::Av: return static_cast<std::uint8_t>(AvCodeToIndex(static_cast<std::uint32_t>(value)));
    case Conversion::Tv: return static_cast<std::uint8_t>(TvCodeToIndex(static_cast<std::uint32_t>(value)));
    default: break;
    }
    for (const CodeRow &row : property.rows)
        if (static_cast<std::uint64_t>(static_cast<std::uint32_t>(row.camera)) == value)
            return row.code;
    return 0;
}

std::uint32_t valueOfCode(const PrProperty &property, std::uint8_t code)
{
    switch (property.conversion) {
    case Conversion::Av: return AvIndexToCode(code);
    case Conversion::Tv: return TvIndexToCode(code);
    default: break;
    }
    const std::uint8_t key = property.lowSevenBits ? static_cast<std::uint8_t>(code % 128) : code;
    for (const CodeRow &row : property.rows)
        if (row.code == key)
            return static_cast<std::uint32_t>(row.camera);
    return static_cast<std::uint32_t>(property.fallback);
}

int probeProgress(int n)
{
    return static_cast<int>(std::nearbyint(n * 100.0 / kProbeReports)); // the default rounding is to even
}

// ---------------------------------------------------------------------------------------------
// RemoteStart
// ---------------------------------------------------------------------------------------------

void TPRSDK::RemoteStart(ReleaseModeType mode, ReleaseDataKindType kind, RemoteStartInfoType &info,
                         int /*registryIndex*/, ReleaseEventProc /*remoteEvent*/, const std::string &cacheFolder,
                         bool probeValues)
{
    info = RemoteStartInfoType{};
    // Refused before the camera enters release control, so a refusal leaves nothing to undo.
    const std::optional<std::uint16_t> transfer = captureTransferSetting(mode, kind);
    if (!transfer)
        throw ECamException("Release to both camera and PC does not work for the connected camera");
    check("PR_InitiateReleaseControl", pr().PR_InitiateReleaseControl(handle_));
    check("PR_SetDevicePropValue", writeValue(kPropCaptureTransfer, 2, *transfer));
    writeValue(kPropImageMode, 1, kImageModeRest);

    readCapabilities(true);
    info.DoSupportZoom = has(CapZoom);
    info.DoSupportPowerZoom = 0;
    info.DoSupportShootingPara = 1;
    info.DoSupportViewfinder = has(CapViewfinder);
    info.ReqViewfinderOffWhenShooting = 0;
    info.DoSupportAfLockUnlock = has(CapAFLock);
    if (!probeValues)
        return;

    probe(info.ParamSupport);
    RemoteParamSupportType &support = info.ParamSupport;
    for (RemoteParamKind none : {RemoteParamCompQualityPic2RAW, RemoteParamImageSizePic2RAW, RemoteParamAFMode,
                                 RemoteParamVFAFMode, RemoteParamColorSpace})
        support.group(none)[0] = 1;
    support.WhiteBalanceShift = 0;
    support.PictureStyle = 0;
    if (!cacheFolder.empty())
        TrySaveRemoteParamSupportCache(cacheFolder + platform::kDirSeparator + connection_.CameraModelName + " Mode0",
                                       support);
    writeValue(kPropImageMode, 1, kImageModeRest);
}

void TPRSDK::probe(RemoteParamSupportType &support)
{
    int report = 1;
    reportProbeProgress(probeProgress(report));
    for (const ProbeStep &step : kProbeSteps) {
        probeProperty(*findProperty(step.property), support);
        if (step.imageModeAfter >= 0)
            writeValue(kPropImageMode, 1, static_cast<std::uint32_t>(step.imageModeAfter));
        reportProbeProgress(probeProgress(++report));
    }
}

void TPRSDK::probeProperty(const PrProperty &property, RemoteParamSupportType &support)
{
    const bool listed = has(capabilityOf(property));
    // 0xD006 and 0xD007 share one flag, but each description is read only when listed itself.
    const bool compression = property.code == kPropCompQuality;
    if (listed && (!compression || compressionListed_)) {
        const sdk::PtpPropDesc desc = propertyDesc(property.code);
        for (const std::uint64_t value : desc.Values) {
            if (property.code == kPropDriveMode && value == kSelfTimerDriveValue) {
                for (std::uint8_t code : kSelfTimerCodes)
                    support.mark(property.kind, code);
                continue;
            }
            support.mark(property.kind, codeOfValue(property, value) & 127);
        }
    }
    if (listed && compression && rawQualityListed_) {
        if (propertyDesc(kPropRawQuality).allows(2))
            support.mark(property.kind, kCompQualityRawCode);
    }
    support.group(property.kind)[0] = listed ? 0 : 1;
}

sdk::PtpPropDesc TPRSDK::propertyDesc(std::uint16_t property)
{
    std::vector<std::uint8_t> dataset(kDatasetBytes);
    std::uint32_t size = kDatasetBytes;
    check("PR_GetDevicePropDesc", pr().PR_GetDevicePropDesc(handle_, property, &size, dataset.data()));
    return sdk::ReadPtpPropDesc(sdk::PtpReply(dataset, size));
}

// ---------------------------------------------------------------------------------------------
// Parameters
// ---------------------------------------------------------------------------------------------

std::optional<std::uint32_t> TPRSDK::tryValue(std::uint16_t property, std::size_t size)
{
    std::uint8_t bytes[4] = {};
    auto capacity = static_cast<std::uint32_t>(size);
    if (pr().PR_GetDevicePropValue(handle_, property, &capacity, bytes) != 0)
        return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;)
        value = value << 8 | bytes[i];
    return value;
}

std::uint32_t TPRSDK::writeValue(std::uint16_t property, std::size_t size, std::uint32_t value)
{
    std::uint8_t bytes[4] = {};
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    return pr().PR_SetDevicePropValue(handle_, property, static_cast<std::uint32_t>(size), bytes);
}

void TPRSDK::GetRemoteParams(RemoteParamsType &params)
{
    params = RemoteParamsType{};
    for (std::uint16_t code : kAccessOrder) {
        const PrProperty &property = *findProperty(code);
        std::uint8_t &field = params.*property.field;
        if (code == kPropCompQuality) {
            if (tryValue(kPropRawQuality, 1) == 2u) {
                field = kCompQualityRawCode;
                continue;
            }
        } else if (code == kPropDriveMode) {
            const std::optional<std::uint32_t> drive = tryValue(code, property.size);
            if (drive == static_cast<std::uint32_t>(kSelfTimerDriveValue)) {
                if (const auto delay = tryValue(kPropSelfTimer, 2))
                    field = drivers::codeOf(kSelfTimers, *delay);
            } else if (drive) {
                field = codeOfValue(property, *drive);
            }
            continue;
        } else if ((code == kPropAv && !avAllowed(params.ImageMode)) ||
                   (code == kPropTv && !tvAllowed(params.ImageMode))) {
            continue;
        }
        if (const auto value = tryValue(code, property.size))
            field = codeOfValue(property, *value);
    }
}

void TPRSDK::SetRemoteParams(const RemoteParamsType &params)
{
    for (std::uint16_t code : kAccessOrder) {
        const PrProperty &property = *findProperty(code);
        const std::uint8_t field = params.*property.field;
        if (field == 0)
            continue;
        if ((code == kPropAv && !avAllowed(params.ImageMode)) || (code == kPropTv && !tvAllowed(params.ImageMode)))
            continue;
        if (code == kPropCompQuality) {
            const bool raw = field == kCompQualityRawCode;
            writeValue(kPropRawQuality, 1, raw ? 2 : 1);
            writeValue(code, property.size, raw ? 4 : valueOfCode(property, field));
        } else if (code == kPropDriveMode && std::ranges::find(kSelfTimerCodes, field) != std::end(kSelfTimerCodes)) {
            writeValue(code, property.size, kSelfTimerDriveValue);
            writeValue(kPropSelfTimer, 2, static_cast<std::uint32_t>(drivers::cameraOf(kSelfTimers, field, 0xFFFF)));
        } else {
            writeValue(code, property.size, valueOfCode(property, field));
        }
    }
}

} // namespace tbx::prsdk
