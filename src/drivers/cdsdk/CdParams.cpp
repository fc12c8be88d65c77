// Release control and the shooting parameters of a legacy camera. The library offers one get/set
// pair per parameter group, an enumeration of the values the camera allows for most of them, and
// release-camera settings addressed by a 32-bit identifier. The probe of supported values lists
// each group's enumeration; where a camera cannot start one, it tries every code instead, which
// really changes the camera's setting, so the parameters are saved before and written back after.
#include "drivers/cdsdk/CdTables.h"
#include "drivers/cdsdk/TCDSDK.h"

#include "engine/CamLib.h"
#include "engine/ParamStore.h"
#include "platform/Errors.h"
#include "platform/Platform.h"

#include <functional>
#include <optional>
#include <string>

namespace tbx::cdsdk {

using sdk::CdEntryPoints;
using sdk::CdError;
using sdk::CdHEnum;
using sdk::CdHSource;
using sdk::CdUInt16;
using sdk::CdUInt32;
using sdk::RaiseOnCDError;

namespace {

using ResetCall = decltype(&CdEntryPoints::CDEnumAvValueReset);
using CountCall = decltype(&CdEntryPoints::CDGetAvValueCount);
using NextCall = decltype(&CdEntryPoints::CDEnumAvValueNext);
using ReleaseCall = decltype(&CdEntryPoints::CDEnumAvValueRelease);
using SetCall = decltype(&CdEntryPoints::CDSetAvValue);
using GetCall = decltype(&CdEntryPoints::CDGetAvValue);

/// The shared value scales of the aperture and the shutter speed, or a table of this driver.
enum class Scale { Table, Av, Tv };

/// A parameter group with one 16-bit value: its calls, its conversion and its flags.
struct ValueGroup {
    ProbeGroup group;
    RemoteParamKind kind;
    std::uint8_t RemoteParamsType::*field;
    Scale scale;
    const CdConversion *conversion;
    int highestTry;
    ResetCall reset;
    const char *resetLabel;
    CountCall count;
    const char *countLabel;
    NextCall next;
    const char *nextLabel;
    ReleaseCall release;
    const char *releaseLabel;
    SetCall set; ///< null for the flash, whose set and get calls take the mode and the compensation
    GetCall get;
};

#define TBX_CD_LIST(Reset, Count, Next, Release)                                                                       \
    &CdEntryPoints::Reset, #Reset, &CdEntryPoints::Count, #Count, &CdEntryPoints::Next, #Next,                         \
        &CdEntryPoints::Release, #Release

/// In the order the driver reads, writes and probes them.
const ValueGroup kValueGroups[] = {
    {ProbeGroup::ShootingMode, RemoteParamImageMode, &RemoteParamsType::ImageMode, Scale::Table, &kImageMode, 44,
     TBX_CD_LIST(CDEnumShootingModeReset, CDGetShootingModeCount, CDEnumShootingModeNext, CDEnumShootingModeRelease),
     &CdEntryPoints::CDSetShootingMode, &CdEntryPoints::CDGetShootingMode},
    {ProbeGroup::Av, RemoteParamAv, &RemoteParamsType::Av, Scale::Av, nullptr, 40,
     TBX_CD_LIST(CDEnumAvValueReset, CDGetAvValueCount, CDEnumAvValueNext, CDEnumAvValueRelease),
     &CdEntryPoints::CDSetAvValue, &CdEntryPoints::CDGetAvValue},
    {ProbeGroup::Tv, RemoteParamTv, &RemoteParamsType::Tv, Scale::Tv, nullptr, 59,
     TBX_CD_LIST(CDEnumTvValueReset, CDGetTvValueCount, CDEnumTvValueNext, CDEnumTvValueRelease),
     &CdEntryPoints::CDSetTvValue, &CdEntryPoints::CDGetTvValue},
    {ProbeGroup::ExposureCompensation, RemoteParamExposureCompensation, &RemoteParamsType::ExposureCompensation,
     Scale::Table, &kExposureCompensation, 31,
     TBX_CD_LIST(CDEnumExposureCompReset, CDGetExposureCompCount, CDEnumExposureCompNext, CDEnumExposureCompRelease),
     &CdEntryPoints::CDSetExposureComp, &CdEntryPoints::CDGetExposureComp},
    {ProbeGroup::WhiteBalance, RemoteParamWhiteBalanceSetting, &RemoteParamsType::WhiteBalanceSetting, Scale::Table,
     &kWhiteBalance, 16,
     TBX_CD_LIST(CDEnumWBSettingReset, CDGetWBSettingCount, CDEnumWBSettingNext, CDEnumWBSettingRelease),
     &CdEntryPoints::CDSetWBSetting, &CdEntryPoints::CDGetWBSetting},
    {ProbeGroup::AFDistance, RemoteParamAFDistance, &RemoteParamsType::AFDistance, Scale::Table, &kAFDistance, 12,
     TBX_CD_LIST(CDEnumAFDistanceSettingReset, CDGetAFDistanceSettingCount, CDEnumAFDistanceSettingNext,
                 CDEnumAFDistanceSettingRelease),
     &CdEntryPoints::CDSetAFDistanceSetting, &CdEntryPoints::CDGetAFDistanceSetting},
    {ProbeGroup::Flash, RemoteParamStrobeSetting, &RemoteParamsType::StrobeSetting, Scale::Table, &kStrobe, 7,
     TBX_CD_LIST(CDEnumFlashSettingReset, CDGetFlashSettingCount, CDEnumFlashSettingNext, CDEnumFlashSettingRelease),
     nullptr, nullptr},
};

#undef TBX_CD_LIST

std::uint8_t codeOf(const ValueGroup &g, CdUInt32 value)
{
    switch (g.scale) {
    case Scale::Av:
        return static_cast<std::uint8_t>(AvCodeToIndex(value));
    case Scale::Tv:
        return static_cast<std::uint8_t>(TvCodeToIndex(value));
    case Scale::Table:
        break;
    }
    return g.conversion->code(value);
}

CdUInt16 valueOf(const ValueGroup &g, int code)
{
    switch (g.scale) {
    case Scale::Av:
        return static_cast<CdUInt16>(AvIndexToCode(code & 0x7F));
    case Scale::Tv:
        return static_cast<CdUInt16>(TvIndexToCode(code & 0x7F));
    case Scale::Table:
        break;
    }
    return static_cast<CdUInt16>(g.conversion->value(code));
}

bool hasValue(const ValueGroup &g, int code)
{
    switch (g.scale) {
    case Scale::Av:
        return AvIndexToCode(code) != kNoScaleValue;
    case Scale::Tv:
        return TvIndexToCode(code) != kNoScaleValue;
    case Scale::Table:
        break;
    }
    return g.conversion->hasValue(code);
}

const ValueGroup &findValueGroup(ProbeGroup group)
{
    for (const ValueGroup &g : kValueGroups)
        if (g.group == group)
            return g;
    throw EAssertionFailed("No value group for a probe group");
}

/// A release-camera setting's value from the bytes the library wrote (little-endian).
CdUInt32 settingValue(const std::uint8_t *bytes, CdUInt32 size)
{
    CdUInt32 value = 0;
    for (CdUInt32 i = size; i > 0; --i)
        value = (value << 8) | bytes[i - 1];
    return value;
}

/// Reads a release-camera setting of \p size bytes; empty on failure.
std::optional<CdUInt32> readSetting(const CdEntryPoints &cd, CdHSource source, std::uint32_t id, CdUInt32 size)
{
    std::uint8_t bytes[4] = {};
    CdUInt32 got = size;
    if (cd.CDGetRelCamSettingData(source, id, &got, bytes) != 0)
        return std::nullopt;
    return settingValue(bytes, got < size ? got : size);
}

CdError writeSetting(const CdEntryPoints &cd, CdHSource source, std::uint32_t id, CdUInt32 size, CdUInt32 value)
{
    std::uint8_t bytes[4] = {};
    for (CdUInt32 i = 0; i < size && i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    return cd.CDSetRelCamSettingData(source, id, size, bytes);
}

/// How a group's enumeration went: listed (whatever it marked) or not startable.
enum class Listing { Listed, CannotStart };

/// The probe of supported values of one RemoteStart: every group's flags, the progress reports
/// and the camera's shooting mode on the way.
class Probe {
public:
    Probe(const CdEntryPoints &cd, CdHSource source, RemoteParamSupportType &support,
          const std::function<void(int)> &report)
        : cd_(cd), source_(source), support_(support), report_(report)
    {}

    void run()
    {
        imageFormat();
        stepDone(ProbeGroup::ImageFormat);
        valueGroup(ProbeGroup::ShootingMode);
        cd_.CDSetShootingMode(source_, 4);
        stepDone(ProbeGroup::ShootingMode);
        valueGroup(ProbeGroup::Av);
        stepDone(ProbeGroup::Av);
        valueGroup(ProbeGroup::Tv);
        cd_.CDSetShootingMode(source_, 1);
        stepDone(ProbeGroup::Tv);
        for (ProbeGroup g : {ProbeGroup::ExposureCompensation, ProbeGroup::WhiteBalance, ProbeGroup::AFDistance}) {
            valueGroup(g);
            stepDone(g);
        }
        flash();
        stepDone(ProbeGroup::Flash);
        int group = static_cast<int>(ProbeGroup::MLWeiMode);
        for (const RelCamSetting &setting : kRelCamSettings) {
            relCamSetting(setting);
            stepDone(static_cast<ProbeGroup>(group++));
        }
    }

private:
    void stepDone(ProbeGroup group)
    {
        const int step = kProbeGroupSteps[static_cast<std::size_t>(group)];
        if (step != 0)
            report_(probePercent(step));
    }

    /// Sets flag 0 of \p kind's group: 1 when none of its codes is marked.
    void settle(RemoteParamKind kind) { settle(kind, anyMarked(kind)); }
    void settle(RemoteParamKind kind, bool marked) { support_.group(kind)[0] = marked ? 0 : 1; }
    bool anyMarked(RemoteParamKind kind) const
    {
        const auto flags = support_.group(kind);
        for (std::size_t i = 1; i < flags.size(); ++i)
            if (flags[i] != 0)
                return true;
        return false;
    }
    void mark(RemoteParamKind kind, int code) { support_.mark(kind, code & 0x7F); }

    /// Starts an enumeration with \p reset; runs \p each for every value the count announces,
    /// then releases it (checked). CannotStart when the reset fails.
    template <class Reset, class Each>
    Listing list(CdEnum &enumeration, const char *countLabel, CountCall count, const char *releaseLabel, Reset &&reset,
                 Each &&each)
    {
        if (reset(enumeration.receive()) != 0)
            return Listing::CannotStart;
        enumeration.started();
        CdUInt32 n = 0;
        RaiseOnCDError(countLabel, (cd_.*count)(enumeration.get(), &n));
        for (CdUInt32 i = 0; i < n; ++i)
            each();
        enumeration.releaseChecked(releaseLabel);
        return Listing::Listed;
    }

    void imageFormat()
    {
        CdEnum enumeration(cd_.CDEnumImageFormatAttributeRelease);
        const Listing listing = list(
            enumeration, "CDGetImageFormatAttributeCount", &CdEntryPoints::CDGetImageFormatAttributeCount,
            "CDEnumImageFormatAttributeRelease",
            [&](CdHEnum *handle) { return cd_.CDEnumImageFormatAttributeReset(source_, handle); },
            [&] {
                CdUInt16 quality = 0;
                CdUInt16 size = 0;
                RaiseOnCDError("CDEnumImageFormatAttributeNext",
                               cd_.CDEnumImageFormatAttributeNext(enumeration.get(), &quality, &size));
                mark(RemoteParamCompQuality, kCompQuality.code(quality));
                mark(RemoteParamImageSize, kImageSize.code(size));
            });
        if (listing == Listing::CannotStart)
            for (int quality = 1; quality <= 5; ++quality)
                for (int size = 1; size <= 6; ++size)
                    if (cd_.CDSetImageFormatAttribute(source_, static_cast<CdUInt16>(kCompQuality.value(quality)),
                                                      static_cast<CdUInt16>(kImageSize.value(size))) == 0) {
                        mark(RemoteParamCompQuality, quality);
                        mark(RemoteParamImageSize, size);
                    }
        // Both arrays share one result.
        const bool marked = anyMarked(RemoteParamCompQuality) || anyMarked(RemoteParamImageSize);
        settle(RemoteParamCompQuality, marked);
        settle(RemoteParamImageSize, marked);
    }

    /// Lists \p g's values into its flags; true when its enumeration could not start.
    bool listValues(const ValueGroup &g)
    {
        CdEnum enumeration(cd_.*g.release);
        return list(
                   enumeration, g.countLabel, g.count, g.releaseLabel,
                   [&](CdHEnum *handle) { return (cd_.*g.reset)(source_, handle); },
                   [&] {
                       CdUInt16 value = 0;
                       RaiseOnCDError(g.nextLabel, (cd_.*g.next)(enumeration.get(), &value));
                       mark(g.kind, codeOf(g, value));
                   }) == Listing::CannotStart;
    }

    void valueGroup(ProbeGroup group)
    {
        const ValueGroup &g = findValueGroup(group);
        if (listValues(g)) {
            // The aperture and the shutter speed can only be tried in the manual mode.
            const bool manual = g.scale == Scale::Table || cd_.CDSetShootingMode(source_, 4) == 0;
            for (int code = 1; manual && code <= g.highestTry; ++code)
                if (hasValue(g, code) && (cd_.*g.set)(source_, valueOf(g, code)) == 0)
                    mark(g.kind, code);
        }
        settle(g.kind);
    }

    void flash()
    {
        const ValueGroup &g = findValueGroup(ProbeGroup::Flash);
        if (listValues(g)) {
            for (int code = 1; code <= g.highestTry; ++code)
                if (kStrobe.hasValue(code) &&
                    cd_.CDSetFlashSetting(source_, static_cast<CdUInt16>(kStrobe.value(code)), kFlashUnchanged) == 0)
                    mark(RemoteParamStrobeSetting, code);
            for (int code = 1; code <= supportHighestCode(RemoteParamStrobeCompSetting); ++code)
                if (kStrobeComp.hasValue(code) &&
                    cd_.CDSetFlashSetting(source_, kFlashUnchanged, static_cast<CdUInt16>(kStrobeComp.value(code))) ==
                        0)
                    mark(RemoteParamStrobeCompSetting, code);
        }
        settle(RemoteParamStrobeSetting);
        settle(RemoteParamStrobeCompSetting);
    }

    void relCamSetting(const RelCamSetting &setting)
    {
        CdEnum enumeration(cd_.CDEnumRelCamSettingDataRelease);
        CdUInt32 elementSize = 0;
        const Listing listing = list(
            enumeration, "CDGetRelCamSettingDataCount", &CdEntryPoints::CDGetRelCamSettingDataCount,
            "CDEnumRelCamSettingDataRelease",
            [&](CdHEnum *handle) {
                return cd_.CDEnumRelCamSettingDataReset(source_, setting.id, handle, &elementSize);
            },
            [&] {
                // The library names the size of one value; no more than four bytes are taken.
                const CdUInt32 size = elementSize >= 1 && elementSize <= 4 ? elementSize : setting.size;
                std::uint8_t bytes[4] = {};
                RaiseOnCDError("CDEnumRelCamSettingDataNext",
                               cd_.CDEnumRelCamSettingDataNext(enumeration.get(), size, bytes));
                mark(setting.kind, setting.conversion->code(settingValue(bytes, size)));
            });
        if (listing == Listing::CannotStart)
            for (int code = 1; code <= setting.highestTry; ++code)
                if (setting.conversion->hasValue(code) &&
                    writeSetting(cd_, source_, setting.id, setting.size,
                                 static_cast<CdUInt32>(setting.conversion->value(code))) == 0)
                    mark(setting.kind, code);
        settle(setting.kind);
    }

    const CdEntryPoints &cd_;
    CdHSource source_;
    RemoteParamSupportType &support_;
    const std::function<void(int)> &report_;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Shooting parameters
// ---------------------------------------------------------------------------------------------

void TCDSDK::GetRemoteParams(RemoteParamsType &params)
{
    params = RemoteParamsType{};
    const CdEntryPoints &sdk = cd();
    const CdHSource source = source_;

    CdUInt16 quality = 0;
    CdUInt16 size = 0;
    if (sdk.CDGetImageFormatAttribute(source, &quality, &size) == 0) {
        params.CompQuality = kCompQuality.code(quality);
        params.ImageSize = kImageSize.code(size);
    }
    for (const ValueGroup &g : kValueGroups) {
        if (g.get == nullptr) {
            CdUInt16 mode = 0;
            CdUInt16 compensation = 0;
            if (sdk.CDGetFlashSetting(source, &mode, &compensation) == 0) {
                params.StrobeSetting = kStrobe.code(mode);
                params.StrobeCompSetting = kStrobeComp.code(compensation);
            }
            continue;
        }
        CdUInt16 value = 0;
        if ((sdk.*g.get)(source, &value) == 0)
            params.*g.field = codeOf(g, value);
        if (g.kind == RemoteParamWhiteBalanceSetting && params.WhiteBalanceSetting == kWhiteBalanceKelvinCode)
            params.WhiteBalanceKelvin = readSetting(sdk, source, kWhiteBalanceKelvinSetting, 2).value_or(0);
    }
    for (const RelCamSetting &setting : kRelCamSettings)
        if (const auto value = readSetting(sdk, source, setting.id, setting.size))
            params.*setting.field = setting.conversion->code(*value);
}

void TCDSDK::SetRemoteParams(const RemoteParamsType &params)
{
    const CdEntryPoints &sdk = cd();
    const CdHSource source = source_;

    if (params.CompQuality != 0 && params.ImageSize != 0)
        sdk.CDSetImageFormatAttribute(source, static_cast<CdUInt16>(kCompQuality.value(params.CompQuality)),
                                      static_cast<CdUInt16>(kImageSize.value(params.ImageSize)));
    for (const ValueGroup &g : kValueGroups) {
        if (g.set == nullptr) {
            if (params.StrobeSetting != 0)
                sdk.CDSetFlashSetting(source, static_cast<CdUInt16>(kStrobe.value(params.StrobeSetting)),
                                      kFlashUnchanged);
            if (params.StrobeCompSetting != 0)
                sdk.CDSetFlashSetting(source, kFlashUnchanged,
                                      static_cast<CdUInt16>(kStrobeComp.value(params.StrobeCompSetting)));
            continue;
        }
        if (params.*g.field != 0)
            (sdk.*g.set)(source, valueOf(g, params.*g.field));
        if (g.kind == RemoteParamWhiteBalanceSetting && params.WhiteBalanceSetting == kWhiteBalanceKelvinCode)
            writeSetting(sdk, source, kWhiteBalanceKelvinSetting, 2, params.WhiteBalanceKelvin);
    }
    for (const RelCamSetting &setting : kRelCamSettings)
        if (params.*setting.field != 0)
            writeSetting(sdk, source, setting.id, setting.size,
                         static_cast<CdUInt32>(setting.conversion->value(params.*setting.field)));
}

// ---------------------------------------------------------------------------------------------
// Release control and the probe
// ---------------------------------------------------------------------------------------------

std::string TCDSDK::probeCacheFile(const std::string &cacheFolder)
{
    // A mode that cannot be read names no file: the probe runs and nothing is stored.
    CdUInt16 mode = 0;
    if (cd().CDGetShootingMode(source_, &mode) != 0)
        return {};
    return cacheFolder + platform::kDirSeparator + connection_.CameraModelName + " Mode" +
           std::to_string(kImageMode.code(mode));
}

void TCDSDK::probe(RemoteParamSupportType &support)
{
    const std::function<void(int)> report = [this](int percent) { reportProbeProgress(percent); };
    RemoteParamsType saved;
    GetRemoteParams(saved);
    report(probePercent(1));
    try {
        Probe(cd(), source_, support, report).run();
    } catch (...) {
        // The camera is put back as it was before the error is raised; what fails on the way
        // back does not hide it.
        try {
            SetRemoteParams(saved);
            cd().CDSetShootingMode(source_, 1);
        } catch (...) {
        }
        throw;
    }

    for (RemoteParamKind kind :
         {RemoteParamCompQualityPic2RAW, RemoteParamImageSizePic2RAW, RemoteParamAFMode, RemoteParamVFAFMode,
          RemoteParamDriveMode, RemoteParamColorSpace, RemoteParamAFFocusingPoint, RemoteParamAFAssistLight})
        support.group(kind)[0] = 1;
    support.WhiteBalanceShift = 0;
    support.PictureStyle = 0;
    report(probePercent(kProbeSteps));
    SetRemoteParams(saved);
}

void TCDSDK::RemoteStart(ReleaseModeType mode, ReleaseDataKindType kind, RemoteStartInfoType &info, int registryIndex,
                         ReleaseEventProc remoteEvent, const std::string &cacheFolder, bool probing)
{
    info = RemoteStartInfoType{};
    const CdHSource source = requireSource();
    RaiseOnCDError("CDEnterReleaseControl",
                   cd().CDEnterReleaseControl(source, remoteEvent, static_cast<sdk::CdContext>(registryIndex)));
    RaiseOnCDError("CDSelectReleaseDataKind", cd().CDSelectReleaseDataKind(source, releaseDataKind(mode, kind)));
    sdk::CdReleaseControlFaculty faculty = 0;
    RaiseOnCDError("CDGetReleaseControlFaculty", cd().CDGetReleaseControlFaculty(source, &faculty));
    info.DoSupportZoom = (faculty & kFacultyZoom) ? 1 : 0;
    info.DoSupportPowerZoom = 0;
    info.DoSupportShootingPara = (faculty & kFacultyShootingParams) ? 1 : 0;
    info.DoSupportViewfinder = (faculty & kFacultyViewfinder) ? 1 : 0;
    info.ReqViewfinderOffWhenShooting = (faculty & kFacultyViewfinderOffWhenShooting) ? 1 : 0;
    info.DoSupportAfLockUnlock = (faculty & kFacultyAFLock) ? 1 : 0;
    if (!info.DoSupportShootingPara || !probing)
        return;

    cd().CDSetShootingMode(source, 1);
    std::string cacheFile;
    if (!cacheFolder.empty()) {
        cacheFile = probeCacheFile(cacheFolder);
        if (!cacheFile.empty() && LoadRemoteParamSupportCache(cacheFile, info.ParamSupport)) {
            cd().CDSetShootingMode(source, 1);
            return;
        }
    }
    probe(info.ParamSupport);
    if (!cacheFile.empty())
        TrySaveRemoteParamSupportCache(cacheFile, info.ParamSupport);
    cd().CDSetShootingMode(source, 1);
}

} // namespace tbx::cdsdk
