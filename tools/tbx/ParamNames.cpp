#include "ParamNames.h"

#include "engine/CamDefines.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tbx::cli {

namespace {

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::optional<int> number(const std::string &text)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Driver-neutral codes: 0 is "not given"; code 1 is the first entry after it.
const std::vector<std::string> kISO = {"", "auto", "50", "64", "80", "100", "125", "160", "200", "250", "320",
                                       "400", "500", "640", "800", "1000", "1250", "1600", "2000", "2500", "3200",
                                       "6400", "12800", "25600", "51200", "102400", "204800", "409600"};
const std::vector<std::string> kAv = {"", "1.0", "1.1", "1.2", "1.4", "1.6", "1.8", "2.0", "2.2", "2.5", "2.8",
                                      "3.2", "3.5", "4.0", "4.5", "5.0", "5.6", "6.3", "7.1", "8.0", "9.0",
                                      "10", "11", "13", "14", "16", "18", "20", "22", "25", "29",
                                      "32", "36", "40", "45", "51", "57", "64", "72", "81", "91"};
const std::vector<std::string> kTv = {
    "", "bulb", "30\"", "25\"", "20\"", "15\"", "13\"", "10\"", "8\"", "6\"", "5\"", "4\"", "3.2\"", "2.5\"",
    "2\"", "1.6\"", "1.3\"", "1\"", "0.8\"", "0.6\"", "0.5\"", "0.4\"", "0.3\"", "1/4", "1/5", "1/6", "1/8",
    "1/10", "1/13", "1/15", "1/20", "1/25", "1/30", "1/40", "1/50", "1/60", "1/80", "1/100", "1/125", "1/160",
    "1/200", "1/250", "1/320", "1/400", "1/500", "1/640", "1/800", "1/1000", "1/1250", "1/1600", "1/2000",
    "1/2500", "1/3200", "1/4000", "1/5000", "1/6400", "1/8000", "1/10000", "1/12800", "1/16000"};

// The codes the drivers share for the other settings; "" where a code has no common name.
const std::vector<std::string> kImageMode = {"", "auto", "manual", "landscape", "sports", "", "", "", "",
                                             "portrait", "", "closeup", "", "", "", "", "program", "tv", "av",
                                             "a-dep", "dep", "bulb", "", "flash-off", "", "", "", "", "", "", "",
                                             "", "", "", "", "", "", "creative-auto", "", "night-portrait"};
const std::vector<std::string> kCompQuality = {"", "economy", "normal", "fine", "superfine", "raw"};
const std::vector<std::string> kImageSize = {"", "large", "medium", "small", "medium1", "medium2", "medium3"};
const std::vector<std::string> kWhiteBalance = {"", "auto", "daylight", "cloudy", "tungsten", "fluorescent",
                                                "flash", "custom", "", "", "", "", "shade", "kelvin", "pc1",
                                                "pc2", "pc3"};
const std::vector<std::string> kAFMode = {"", "one-shot", "ai-servo", "ai-focus", "manual"};
const std::vector<std::string> kDriveMode = {"", "single", "continuous", "movie", "continuous-high",
                                             "continuous-low", "self-timer-10s", "self-timer-2s", "silent-single",
                                             "self-timer-continuous"};
const std::vector<std::string> kMetering = {"", "", "spot", "", "evaluative", "partial", "center-weighted"};
const std::vector<std::string> kColorSpace = {"", "srgb", "adobergb"};
const std::vector<std::string> kStrobe = {"", "off", "auto", "on", "red-eye", "slow-sync", "auto-red-eye",
                                          "on-red-eye"};
const std::vector<std::string> kLowNormalHigh = {"", "low", "normal", "high"};
const std::vector<std::string> kOnOff = {"", "on", "off"};
const std::vector<std::string> kPhotoEffect = {"", "off", "vivid", "neutral", "soft", "sepia", "bw"};

/// Compensation in third stops: code \p zero is 0 EV, each code further is a third more
/// (\p sign +1) or less (-1): "+1", "-0.3", "+1.7".
std::vector<std::string> thirds(int count, int zero, int sign)
{
    std::vector<std::string> labels(1);
    for (int code = 1; code <= count; ++code) {
        const int t = sign * (code - zero);
        char text[16];
        if (t % 3 == 0)
            std::snprintf(text, sizeof text, "%+d", t / 3);
        else
            std::snprintf(text, sizeof text, "%+.1f", t / 3.0);
        labels.push_back(t == 0 ? "0" : text);
    }
    return labels;
}
const std::vector<std::string> kExposureComp = thirds(31, 16, -1);
const std::vector<std::string> kStrobeComp = thirds(13, 7, 1);

/// True for the settings whose labels are numbers (a typed value matches by number).
bool numericLabels(int kind)
{
    return kind == RemoteParamAv || kind == RemoteParamExposureCompensation || kind == RemoteParamStrobeCompSetting;
}

} // namespace

const std::vector<ParamName> &paramNames()
{
    static const std::vector<ParamName> names = {
        {"ImageMode", RemoteParamImageMode, Setter::AvTvMode, &kImageMode},
        {"Av", RemoteParamAv, Setter::AvTvMode, &kAv},
        {"Tv", RemoteParamTv, Setter::AvTvMode, &kTv},
        {"ISO", RemoteParamISO, Setter::Generic, &kISO},
        {"ExposureCompensation", RemoteParamExposureCompensation, Setter::Generic, &kExposureComp},
        {"CompQuality", RemoteParamCompQuality, Setter::Quality, &kCompQuality},
        {"ImageSize", RemoteParamImageSize, Setter::Quality, &kImageSize},
        {"WhiteBalance", RemoteParamWhiteBalanceSetting, Setter::Generic, &kWhiteBalance},
        {"Kelvin", RemoteParamWhiteBalanceKelvin, Setter::Generic, nullptr},
        {"AFMode", RemoteParamAFMode, Setter::Generic, &kAFMode},
        {"DriveMode", RemoteParamDriveMode, Setter::Generic, &kDriveMode},
        {"Metering", RemoteParamMLWeiMode, Setter::Generic, &kMetering},
        {"ColorSpace", RemoteParamColorSpace, Setter::Generic, &kColorSpace},
        {"StrobeSetting", RemoteParamStrobeSetting, Setter::Generic, &kStrobe},
        {"StrobeCompSetting", RemoteParamStrobeCompSetting, Setter::Generic, &kStrobeComp},
        {"AFDistance", RemoteParamAFDistance, Setter::Generic, nullptr},
        {"AFFocusingPoint", RemoteParamAFFocusingPoint, Setter::Generic, nullptr},
        {"AFAssistLight", RemoteParamAFAssistLight, Setter::Generic, &kOnOff},
        {"Contrast", RemoteParamContrast, Setter::Generic, &kLowNormalHigh},
        {"ColorGain", RemoteParamColorGain, Setter::Generic, &kLowNormalHigh},
        {"Sharpness", RemoteParamSharpness, Setter::Generic, &kLowNormalHigh},
        {"PhotoEffect", RemoteParamPhotoEffect, Setter::Generic, &kPhotoEffect},
        {"Beep", RemoteParamBeep, Setter::Generic, &kOnOff},
    };
    return names;
}

std::optional<ParamName> findParam(const std::string &name)
{
    const std::string wanted = lower(name);
    for (const ParamName &p : paramNames())
        if (lower(p.name) == wanted)
            return p;
    if (wanted == "aperture")
        return findParam("Av");
    if (wanted == "shutter")
        return findParam("Tv");
    if (wanted == "quality")
        return findParam("CompQuality");
    return std::nullopt;
}

std::string describeCode(const ParamName &param, int code)
{
    if (code == 0)
        return "-";
    if (param.labels != nullptr && code > 0 && static_cast<std::size_t>(code) < param.labels->size() &&
        !(*param.labels)[static_cast<std::size_t>(code)].empty()) {
        const std::string &label = (*param.labels)[static_cast<std::size_t>(code)];
        return (param.kind == RemoteParamAv ? "f/" + label : label) + " (" + std::to_string(code) + ")";
    }
    return std::to_string(code);
}

std::optional<int> parseCode(const ParamName &param, const std::string &text)
{
    std::optional<int> code;
    if (!text.empty() && text[0] == '#') {
        code = number(text.substr(1));
    } else if (param.labels != nullptr && numericLabels(param.kind)) {
        // "f/5.6", "5.6" and "5.60" name the same aperture; "+1", "1" and "+1.0" the same step.
        const std::string wanted = lower(text).rfind("f/", 0) == 0 ? text.substr(2) : text;
        char *end = nullptr;
        const double value = std::strtod(wanted.c_str(), &end);
        if (!wanted.empty() && end == wanted.c_str() + wanted.size())
            for (std::size_t i = 1; i < param.labels->size() && !code; ++i)
                if (std::fabs(std::strtod((*param.labels)[i].c_str(), nullptr) - value) < 0.05)
                    code = static_cast<int>(i);
    } else if (param.labels != nullptr) {
        const std::string wanted = lower(text);
        for (std::size_t i = 1; i < param.labels->size() && !code; ++i)
            if (!wanted.empty() && (*param.labels)[i] == wanted)
                code = static_cast<int>(i);
    } else {
        code = number(text);
    }
    if (!code || *code < 0 || *code > (param.kind == RemoteParamWhiteBalanceKelvin ? 100000 : 255))
        return std::nullopt;
    return code;
}

const char *batterySourceName(int source)
{
    static const char *const names[] = {"unknown", "AC", "lithium", "NiMH", "NiCd", "alkaline-manganese"};
    return source >= 0 && source < 6 ? names[source] : "unknown";
}

const char *batteryStatusName(int status)
{
    static const char *const names[] = {"unknown", "normal", "weak", "safety low"};
    return status >= 0 && status < 4 ? names[status] : "unknown";
}

} // namespace tbx::cli
