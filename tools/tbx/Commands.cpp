// The commands of tbx, each over the control of a Session.
#include "Cli.h"
#include "ParamNames.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <fstream>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace tbx::cli {

namespace fs = std::filesystem;

namespace {

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string jsonBool(bool value)
{
    return value ? "true" : "false";
}

std::string joinJson(const std::vector<std::string> &items, const char *open = "[", const char *close = "]")
{
    std::string text = open;
    for (std::size_t i = 0; i < items.size(); ++i)
        text += (i > 0 ? ", " : "") + items[i];
    return text + close;
}

void requireArgs(const Session &s, std::size_t low, std::size_t high, const char *usage)
{
    const std::size_t n = s.options().args.size();
    if (n < low || n > high)
        throw usageError(std::string("usage: tbx ") + usage);
}

/// Where the pictures go: the folder, created if needed.
fs::path destinationFolder(const Session &s, const std::string &fallback)
{
    const fs::path dir = s.options().value("dest").value_or(fallback);
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir))
        throw Failure(kExitCamera, "Could not create the folder " + dir.string());
    return dir;
}

/// The first "<prefix>NNNN" from \p next on whose names with each of \p suffixes are all free in
/// \p dir; an earlier run's files are never overwritten.
std::string freeName(const fs::path &dir, const char *prefix, std::initializer_list<const char *> suffixes, int &next)
{
    for (;; ++next) {
        char number[16];
        std::snprintf(number, sizeof number, "%04d", next);
        const std::string name = prefix + std::string(number);
        if (std::none_of(suffixes.begin(), suffixes.end(),
                         [&](const char *suffix) { return fs::exists(dir / (name + suffix)); }))
            return name;
    }
}

const char *const kModeNames[] = {"pc", "both", "camera"};
const char *const kKindNames[] = {"thumbnail", "picture", "both"};

int choice(const Session &s, const std::string &option, const char *const (&names)[3], int fallback)
{
    const auto text = s.options().value(option);
    if (!text)
        return fallback;
    for (int i = 0; i < 3; ++i)
        if (lower(*text) == names[i])
            return i;
    throw usageError("--" + option + " must be " + names[0] + ", " + names[1] + " or " + names[2]);
}

/// Collection entry \p entry: its position, or its name without regard to case.
int collectionEntry(TTetherboxActiveX &c, const std::string &entry)
{
    const int count = c.OpenCameraCollection_GetNrOfPictures();
    char *end = nullptr;
    const long number = std::strtol(entry.c_str(), &end, 10);
    if (!entry.empty() && *end == '\0') {
        if (number < 0 || number >= count)
            throw usageError("there is no picture " + entry + " on the card (" + std::to_string(count) + " pictures)");
        return static_cast<int>(number);
    }
    for (int i = 0; i < count; ++i)
        if (lower(c.OpenCameraCollection_NameOfImage(i)) == lower(entry))
            return i;
    throw usageError("there is no picture named " + entry + " on the card");
}

/// Runs the download \p transfer into \p file; a file it leaves behind after a failure is
/// incomplete and is removed before the failure goes on.
void download(const std::string &file, const std::function<void()> &transfer)
{
    try {
        transfer();
    } catch (...) {
        std::error_code ec;
        fs::remove(file, ec);
        throw;
    }
}

/// Where "card get" writes picture \p name: \p dest as a file, or into \p dest when it is a folder
/// or ends with a separator; folders that are missing are created.
fs::path downloadTarget(const std::string &dest, const std::string &name)
{
    if (dest.empty())
        return name;
    fs::path target = dest;
    const bool folder = dest.back() == '/' || dest.back() == platform::kDirSeparator || fs::is_directory(target);
    const fs::path dir = folder ? target : target.parent_path();
    std::error_code ec;
    if (!dir.empty())
        fs::create_directories(dir, ec);
    if (!dir.empty() && !fs::is_directory(dir))
        throw Failure(kExitCamera, "Could not create the folder " + dir.string());
    return folder ? target / name : target;
}

std::string tempFolder()
{
    std::error_code ec;
    const fs::path dir = fs::temp_directory_path(ec);
    return ec ? std::string(".") : dir.string();
}

bool validDateTime(int y, int mo, int d, int h, int mi, int sec)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1980 || y > 2099 || mo < 1 || mo > 12 || h < 0 || h > 23 || mi < 0 || mi > 59 || sec < 0 || sec > 59)
        return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d >= 1 && d <= days[mo - 1] + (mo == 2 && leap ? 1 : 0);
}

} // namespace

// ---------------------------------------------------------------------------------------------

void cmdList(Session &s)
{
    requireArgs(s, 0, 0, "list");
    TTetherboxActiveX &c = s.control();
    c.OpenCameraEnumeration();
    struct Family {
        const char *name;
        int code;
        int count;
    };
    const Family families[] = {{"EOS", CamModEOS, c.OpenCameraEnumeration_GetEOSNr()},
                               {"PowerShot", CamModPowerShot, c.OpenCameraEnumeration_GetPowerShotNr()},
                               {"PowerShot generation 2", CamModPowerShotGen2, c.OpenCameraEnumeration_GetPowerShotGen2Nr()}};
    std::vector<std::string> items;
    int total = 0;
    for (const Family &f : families)
        for (int i = 0; i < f.count; ++i, ++total) {
            const std::string model = c.OpenCameraEnumeration_GetModel(f.code, i);
            s.output().line(std::to_string(i) + "  " + f.name + "  " + model);
            items.push_back("{\"family\": " + jsonText(f.name) + ", \"number\": " + std::to_string(i) +
                            ", \"model\": " + jsonText(model) + "}");
        }
    if (total == 0)
        throw Failure(kExitNoCamera, "No camera found (library folder " + s.options().libraryFolder + ")");
    s.output().document("{\"ok\": true, \"cameras\": " + joinJson(items) + "}");
}

void cmdInfo(Session &s)
{
    requireArgs(s, 0, 0, "info");
    s.connect();
    s.armFaults();
    TTetherboxActiveX &c = s.control();
    std::string bodyID;
    try {
        bodyID = c.GetBodyID();
    } catch (const std::exception &e) {
        bodyID = std::string("(") + e.what() + ")";
    }
    const bool remote = c.RemoteSupported();
    int shots = -1;
    if (remote) {
        c.RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, false, "");
        shots = c.RemoteGetNumberOfAvailableShots();
    }
    Output &o = s.output();
    o.line("Model:            " + c.Connect_CameraModelName());
    o.line("Firmware:         " + c.Connect_FirmwareVersion());
    o.line("Owner:            " + c.Connect_OwnerName());
    o.line("Battery:          " + std::string(batterySourceName(c.Connect_Battery_BatterySource())) + ", " +
           batteryStatusName(c.Connect_Battery_BatteryStatus()));
    o.line("Body ID:          " + bodyID);
    o.line("Remote capture:   " + std::string(remote ? "yes" : "no"));
    if (remote) {
        o.line("Live view:        " + std::string(c.RemoteStart_DoSupportViewfinder() ? "yes" : "no"));
        o.line("Zoom:             " + std::string(c.RemoteStart_DoSupportZoom() ? "yes" : "no") +
               (c.RemoteStart_DoSupportPowerZoom() ? " (power zoom)" : ""));
        o.line("Available shots:  " + std::to_string(shots));
    }
    o.document("{\"ok\": true, \"model\": " + jsonText(c.Connect_CameraModelName()) +
               ", \"firmware\": " + jsonText(c.Connect_FirmwareVersion()) +
               ", \"owner\": " + jsonText(c.Connect_OwnerName()) +
               ", \"batterySource\": " + jsonText(batterySourceName(c.Connect_Battery_BatterySource())) +
               ", \"batteryStatus\": " + jsonText(batteryStatusName(c.Connect_Battery_BatteryStatus())) +
               ", \"bodyId\": " + jsonText(bodyID) + ", \"remote\": " + jsonBool(remote) +
               ", \"liveView\": " + jsonBool(remote && c.RemoteStart_DoSupportViewfinder()) +
               ", \"availableShots\": " + std::to_string(shots) + "}");
}

namespace {

/// Holds the shutter open for \p seconds; the exposure ends however the wait ends.
void bulbExposure(Session &s, double seconds)
{
    TTetherboxActiveX &c = s.control();
    s.retryBusy("opening the shutter", [&] { c.RemoteBULBMode(true); });
    struct Closer {
        TTetherboxActiveX &control;
        bool open = true;
        ~Closer()
        {
            if (open) {
                try {
                    control.RemoteBULBMode(false);
                } catch (...) {
                }
            }
        }
    } closer{c};
    s.pumpFor(static_cast<platform::Millis>(std::llround(seconds * 1000)));
    closer.open = false;
    s.retryBusy("closing the shutter", [&] { c.RemoteBULBMode(false); });
}

} // namespace

void cmdShoot(Session &s)
{
    requireArgs(s, 0, 0,
                "shoot [--count N] [--interval SECONDS] [--bulb SECONDS] [--kind thumbnail|picture|both] [--dest DIR] "
                "[--mode pc|both|camera]");
    const int count = s.options().intValue("count", 1, 1, 9999);
    const double interval = s.options().numberValue("interval", 0, 0.1, 86400);
    const double bulb = s.options().numberValue("bulb", 0, 0.1, 3600);
    const int kind = choice(s, "kind", kKindNames, ReleaseDataKindTakeOnlyPicture);
    const int mode = choice(s, "mode", kModeNames, ReleaseModeOnlyToPC);
    const fs::path dir = destinationFolder(s, ".");
    TTetherboxActiveX &c = s.control();

    int ready = 0;     // pictures waiting in the camera for the PC
    int onCard = 0;    // pictures the camera wrote to its card
    c.OnRemoteEvent = [&](RemoteEventCallbackType event, NotifyRemoteEventValidType, std::int32_t, TypeOfPictureType) {
        // PowerShot cameras announce a picture for the PC as a completed release.
        if (event == RemoteEventCallbackReleaseImageReady ||
            (event == RemoteEventCallbackReleaseComplete && s.family() == CamModPowerShot))
            ++ready;
        if (event == RemoteEventCallbackReleaseImageFromCFCardReady)
            ++onCard;
    };
    s.startRemote(mode, kind, false, "");
    s.armFaults();
    // Of the families, only EOS cameras hold the shutter open on the computer's word.
    if (bulb > 0 && s.family() != CamModEOS)
        throw Failure(kExitCamera, "This camera offers no bulb exposures from the computer");

    std::vector<std::string> files;
    int next = 1;
    const platform::Millis started = platform::clock().now();
    for (int shot = 1; shot <= count; ++shot) {
        ready = 0;
        onCard = 0;
        if (interval > 0) {
            // Each shot is due at a fixed time from the first, so a slow shot does not push the
            // later ones back; one that is already late goes at once.
            const auto due = started + static_cast<platform::Millis>(std::llround((shot - 1) * interval * 1000));
            const platform::Millis now = platform::clock().now();
            if (due > now)
                s.pumpFor(due - now);
            char at[64];
            std::snprintf(at, sizeof at, "Shot %d/%d at %.1f s", shot, count,
                          static_cast<double>(platform::clock().now() - started) / 1000.0);
            s.output().line(at);
        }
        if (bulb > 0)
            bulbExposure(s, bulb);
        else
            s.retryBusy("releasing", [&] { c.RemoteTakePicture(); });
        const bool toCard = mode == ReleaseModeOnlyToCamera;
        if (!s.pumpUntil([&] { return toCard ? onCard > 0 : ready > 0; }))
            throw Failure(kExitTimeout, "The camera released no picture within " +
                                            std::to_string(static_cast<int>(s.options().timeoutSeconds)) + " s");
        if (toCard) {
            s.output().line("Picture " + std::to_string(shot) + " stored on the camera's card");
            continue;
        }
        for (int item = 0; item < ready; ++item) {
            const std::string name = freeName(dir, "shot-", {".jpg", "-thumb.jpg"}, next);
            if (kind != ReleaseDataKindTakeOnlyPicture) {
                const std::string thumb = (dir / (name + "-thumb.jpg")).string();
                s.retryBusy("downloading", [&] { download(thumb, [&] { c.RemoteGetPicture(thumb, 0); }); });
                files.push_back(thumb);
                s.output().line("Saved " + thumb);
            }
            if (kind != ReleaseDataKindTakeOnlyThumbnail) {
                const std::string picture = (dir / (name + ".jpg")).string();
                ProgressBar bar(s.output(), "Picture " + std::to_string(shot) + "/" + std::to_string(count));
                s.trackProgress(&bar);
                s.retryBusy("downloading", [&] { download(picture, [&] { c.RemoteGetPicture(picture, 1); }); });
                s.settle(bar);
                s.trackProgress(nullptr);
                files.push_back(picture);
                s.output().line("Saved " + picture + " (" + std::to_string(fs::file_size(picture)) + " bytes)");
            }
            ++next;
        }
    }
    std::vector<std::string> quoted;
    for (const std::string &f : files)
        quoted.push_back(jsonText(f));
    s.output().document("{\"ok\": true, \"shots\": " + std::to_string(count) + ", \"files\": " + joinJson(quoted) + "}");
}

// ---------------------------------------------------------------------------------------------
// Parameters
// ---------------------------------------------------------------------------------------------

namespace {

std::vector<ParamName> selectedParams(const std::vector<std::string> &names)
{
    if (names.empty())
        return paramNames();
    std::vector<ParamName> selected;
    for (const std::string &name : names) {
        const auto p = findParam(name);
        if (!p)
            throw usageError("unknown parameter \"" + name + "\"");
        selected.push_back(*p);
    }
    return selected;
}

void applySetting(TTetherboxActiveX &c, const ParamName &p, int code)
{
    switch (p.setter) {
    case Setter::AvTvMode:
        c.RemoteSetRemoteParams_AvTvImageMode(p.kind == RemoteParamImageMode ? code : 0,
                                              p.kind == RemoteParamAv ? code : 0, p.kind == RemoteParamTv ? code : 0);
        break;
    case Setter::Quality:
        c.RemoteSetRemoteParams_ImageQuality(p.kind == RemoteParamImageSize ? code : 0,
                                             p.kind == RemoteParamCompQuality ? code : 0, 0, 0);
        break;
    case Setter::Generic:
        c.RemoteSetRemoteParams(p.kind, code);
        break;
    }
}

/// \p text padded with blanks to \p width characters.
std::string padded(std::string text, std::size_t width)
{
    text.resize(std::max(text.size(), width), ' ');
    return text;
}

std::string paramLine(const ParamName &p, const std::string &text)
{
    return padded(p.name, 22) + " " + text;
}

std::string paramJson(const ParamName &p, int code)
{
    return jsonText(p.name) + ": {\"code\": " + std::to_string(code) + ", \"text\": " + jsonText(describeCode(p, code)) + "}";
}

/// Shows the current values of \p names (every parameter when empty). A parameter the user
/// named that the camera did not report is an error, and so is a camera that reports none.
void showParams(Session &s, const std::vector<std::string> &names)
{
    TTetherboxActiveX &c = s.control();
    c.RemoteGetCameraCacheParameters();
    std::vector<std::string> items;
    std::vector<std::string> unread;
    const std::vector<ParamName> selected = selectedParams(names);
    for (const ParamName &p : selected) {
        const int code = c.RemoteGetRemoteParams(p.kind);
        if (code == 0 && !names.empty()) {
            unread.push_back(p.name);
            continue;
        }
        s.output().line(paramLine(p, describeCode(p, code)));
        items.push_back(paramJson(p, code));
    }
    const bool none = names.empty() && std::all_of(selected.begin(), selected.end(), [&](const ParamName &p) {
                          return c.RemoteGetRemoteParams(p.kind) == 0;
                      });
    if (none)
        throw Failure(kExitCamera, "The camera reported none of its parameters");
    if (!unread.empty()) {
        std::string list;
        for (const std::string &name : unread)
            list += (list.empty() ? "" : ", ") + name;
        throw Failure(kExitCamera, "The camera did not report " + list);
    }
    s.output().document("{\"ok\": true, \"params\": " + joinJson(items, "{", "}") + "}");
}

/// Reads the settings back after they were written and says, per setting, what the camera kept;
/// the control does not raise when a camera refuses a value, so this is the only word on it.
void confirmSettings(Session &s, const std::vector<std::pair<ParamName, int>> &settings)
{
    TTetherboxActiveX &c = s.control();
    c.RemoteGetCameraCacheParameters();
    std::vector<std::string> items;
    std::string refused;
    for (const auto &[p, wanted] : settings) {
        const int kept = c.RemoteGetRemoteParams(p.kind);
        if (kept == wanted) {
            s.output().line("Set " + std::string(p.name) + " to " + describeCode(p, wanted));
        } else {
            const std::string keptText = kept == 0 ? "no readable value" : describeCode(p, kept);
            s.output().line(paramLine(p, "not set to " + describeCode(p, wanted) + ": the camera kept " + keptText));
            refused += (refused.empty() ? "" : ", ") + std::string(p.name) + " (kept " + keptText + ")";
        }
        items.push_back(paramJson(p, kept));
    }
    if (!refused.empty())
        throw Failure(kExitCamera, "The camera did not take every setting: " + refused);
    s.output().document("{\"ok\": true, \"params\": " + joinJson(items, "{", "}") + "}");
}

/// The labels of the values the camera accepts for \p p (after a probe), in code order.
std::vector<std::string> acceptedValues(TTetherboxActiveX &c, const ParamName &p)
{
    const std::string flags = c.RemoteStart_GetRemoteParamSupported(p.kind);
    std::vector<std::string> values;
    for (std::size_t code = 1; code < flags.size(); ++code)
        if (flags[code] == '1')
            values.push_back(describeCode(p, static_cast<int>(code)));
    return values;
}

std::string joined(const std::vector<std::string> &values)
{
    std::string text;
    for (const std::string &v : values)
        text += (text.empty() ? "" : ", ") + v;
    return text.empty() ? "-" : text;
}

std::vector<std::string> quotedAll(const std::vector<std::string> &values)
{
    std::vector<std::string> quoted;
    for (const std::string &v : values)
        quoted.push_back(jsonText(v));
    return quoted;
}

/// The supported values of \p names; \p summary prints only how many each parameter has.
void supportedParams(Session &s, const std::vector<std::string> &names, bool summary)
{
    std::vector<std::string> items;
    for (const ParamName &p : selectedParams(names)) {
        const std::vector<std::string> values = acceptedValues(s.control(), p);
        if (!summary)
            s.output().line(paramLine(p, joined(values)));
        else if (!values.empty())
            s.output().line(paramLine(p, std::to_string(values.size()) + (values.size() == 1 ? " value" : " values")));
        items.push_back(jsonText(p.name) + ": " + joinJson(quotedAll(values)));
    }
    s.output().document("{\"ok\": true, \"supported\": " + joinJson(items, "{", "}") + "}");
}

/// Every setting with its current value and what the camera accepts.
void listParams(Session &s)
{
    TTetherboxActiveX &c = s.control();
    c.RemoteGetCameraCacheParameters();
    std::vector<std::string> items;
    for (const ParamName &p : paramNames()) {
        const int code = c.RemoteGetRemoteParams(p.kind);
        const std::vector<std::string> values = acceptedValues(c, p);
        s.output().line(paramLine(p, padded(describeCode(p, code), 20) + " accepts: " + joined(values)));
        items.push_back(jsonText(p.name) + ": {\"code\": " + std::to_string(code) + ", \"text\": " +
                        jsonText(describeCode(p, code)) + ", \"accepts\": " + joinJson(quotedAll(values)) + "}");
    }
    s.output().document("{\"ok\": true, \"params\": " + joinJson(items, "{", "}") + "}");
}

} // namespace

void cmdParams(Session &s)
{
    const std::vector<std::string> &args = s.options().args;
    const std::string sub = args.empty() ? "show" : args[0];
    const std::vector<std::string> rest(args.begin() + (args.empty() ? 0 : 1), args.end());
    TTetherboxActiveX &c = s.control();

    if (sub == "show") {
        selectedParams(rest);
        s.startRemote(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, false, "");
        s.armFaults();
        showParams(s, rest);
    } else if (sub == "set") {
        if (rest.empty())
            throw usageError("usage: tbx params set NAME=VALUE...");
        std::vector<std::pair<ParamName, int>> settings;
        for (const std::string &assignment : rest) {
            const auto eq = assignment.find('=');
            const auto p = eq == std::string::npos ? std::nullopt : findParam(assignment.substr(0, eq));
            if (!p)
                throw usageError("\"" + assignment + "\" is not NAME=VALUE with a known parameter name");
            const auto code = parseCode(*p, assignment.substr(eq + 1));
            if (!code)
                throw usageError("\"" + assignment.substr(eq + 1) + "\" is not a value of " + p->name);
            settings.emplace_back(*p, *code);
        }
        s.startRemote(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, false, "");
        s.armFaults();
        for (const auto &[p, code] : settings)
            s.retryBusy("setting " + std::string(p.name), [&] { applySetting(c, p, code); });
        confirmSettings(s, settings);
    } else if (sub == "supported" || sub == "probe" || sub == "list") {
        if (sub != "supported" && !rest.empty())
            throw usageError("usage: tbx params " + sub + " [--cache DIR]");
        selectedParams(sub == "supported" ? rest : std::vector<std::string>{});
        const std::string cache = s.options().value("cache").value_or("");
        if (!cache.empty())
            fs::create_directories(cache);
        s.connect();
        s.armFaults();
        {
            ProgressBar bar(s.output(), "Probing");
            s.trackProgress(&bar);
            c.RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, true, cache);
            s.settle(bar);
            s.trackProgress(nullptr);
        }
        if (sub == "list") {
            listParams(s);
            return;
        }
        if (sub == "probe")
            s.output().line("Supported values (tbx params supported NAME lists them):");
        supportedParams(s, sub == "supported" ? rest : std::vector<std::string>{}, sub == "probe");
    } else if (sub == "save" || sub == "load") {
        if (rest.size() != 1)
            throw usageError("usage: tbx params " + sub + " FILE");
        s.startRemote(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, false, "");
        s.armFaults();
        if (sub == "save")
            c.RemoteSaveCameraRemoteParams(rest[0]);
        else
            c.RemoteLoadCameraRemoteParams(rest[0]);
        s.output().line(sub == "save" ? "Saved the camera's parameters to " + rest[0]
                                      : "Loaded the camera's parameters from " + rest[0]);
        s.output().document("{\"ok\": true, \"file\": " + jsonText(rest[0]) + "}");
    } else {
        throw usageError("unknown params command \"" + sub + "\" (show, list, set, supported, probe, save, load)");
    }
}

// ---------------------------------------------------------------------------------------------
// Live view
// ---------------------------------------------------------------------------------------------

namespace {

/// Live-view frames as a multipart JPEG stream ("multipart/x-mixed-replace" parts), which video
/// players and browsers show as it comes, to standard output ("-") or a new file.
class MjpegWriter {
public:
    MjpegWriter(Session &s, const std::string &target)
    {
        if (target == "-") {
            if (s.options().json)
                throw usageError("--json and --mjpeg - would both write to standard output");
#if defined(_WIN32)
            _setmode(_fileno(stdout), _O_BINARY);
#else
            std::signal(SIGPIPE, SIG_IGN); // a reader that goes away ends the stream, not tbx
#endif
            out_ = &s.output().out();
            return;
        }
        if (fs::exists(target))
            throw usageError(target + " exists; tbx never overwrites a file");
        file_.open(target, std::ios::binary);
        if (!file_)
            throw Failure(kExitCamera, "Could not create " + target);
        out_ = &file_;
    }
    /// Writes one frame; false once the reader went away.
    bool write(const std::uint8_t *data, std::size_t size)
    {
        *out_ << "--" << kBoundary << "\r\nContent-Type: image/jpeg\r\nContent-Length: " << size << "\r\n\r\n";
        out_->write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
        *out_ << "\r\n" << std::flush;
        return out_->good();
    }

private:
    static constexpr const char *kBoundary = "tbxframe";
    std::ofstream file_;
    std::ostream *out_ = nullptr;
};

} // namespace

void cmdLiveview(Session &s)
{
    requireArgs(s, 0, 0, "liveview [--frames N | --seconds S] [--dest DIR] [--stream] [--mjpeg FILE|-]");
    if (s.options().value("frames") && s.options().value("seconds"))
        throw usageError("give --frames or --seconds, not both");
    const auto mjpeg = s.options().value("mjpeg");
    const int wanted = s.options().intValue("frames", 0, 1, 1000000);
    // A motion-JPEG stream without a length runs until its reader goes away or Ctrl-C.
    const bool endless = mjpeg && wanted == 0 && !s.options().value("seconds");
    const double seconds = s.options().numberValue("seconds", wanted > 0 || endless ? 0 : 3, 0.05, 86400);
    const bool stream = s.options().flag("stream") || mjpeg.has_value();
    TTetherboxActiveX &c = s.control();
    std::unique_ptr<MjpegWriter> writer;
    if (mjpeg)
        writer = std::make_unique<MjpegWriter>(s, *mjpeg);
    bool readerGone = false;

    fs::path dir;
    fs::path rotation;
    if (!stream) {
        dir = destinationFolder(s, "liveview");
        rotation = dir / ".rotation";
    }
    platform::LowMemoryBlock low(stream ? 16u << 20 : 0u);
    if (stream && low.data() != nullptr)
        c.SetLowBlockProvider([&low](std::size_t size) { return size <= low.size() ? low.data() : nullptr; });

    int frames = 0;
    std::uint64_t bytes = 0;
    int badFrames = 0;
    std::vector<std::string> saved;
    int nextFrame = 1;
    c.OnViewfinderEvent = [&](const std::string &fileName, std::int32_t address, std::int32_t size, bool,
                              std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                              std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t) {
        ++frames;
        if (stream) {
            const auto *data = reinterpret_cast<const std::uint8_t *>(
                static_cast<std::uintptr_t>(static_cast<std::uint32_t>(address)));
            bytes += static_cast<std::uint32_t>(size);
            if (size < 2 || data[0] != 0xFF || data[1] != 0xD8)
                ++badFrames;
            else if (writer && !readerGone)
                readerGone = !writer->write(data, static_cast<std::size_t>(size));
            return;
        }
        const std::string name = freeName(dir, "frame-", {".jpg"}, nextFrame) + ".jpg";
        ++nextFrame;
        std::error_code ec;
        fs::copy_file(fileName, dir / name, fs::copy_options::none, ec);
        if (!ec) {
            bytes += fs::file_size(dir / name, ec);
            saved.push_back((dir / name).string());
        }
    };

    s.startRemote(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, false, "");
    s.armFaults();
    if (!c.RemoteStart_DoSupportViewfinder())
        throw Failure(kExitCamera, "The camera offers no live view");
    // However the wait ends (Ctrl-C included), live view stops and takes its rotation files along.
    struct Stopper {
        TTetherboxActiveX &control;
        fs::path rotation;
        bool running = true;
        ~Stopper()
        {
            if (running) {
                try {
                    control.RemoteStopViewfinder();
                } catch (...) {
                }
            }
            std::error_code ec;
            if (!rotation.empty())
                fs::remove(rotation, ec); // empty once the rotation files are gone
        }
    };
    s.retryBusy("starting live view", [&] {
        c.RemoteStartViewfinder(stream ? ViewfinderCallbackStream : ViewfinderCallbackFilename, false,
                                rotation.string());
    });
    Stopper stopper{c, rotation};
    const platform::Millis started = platform::clock().now();
    bool complete = true;
    if (wanted > 0 || endless)
        // The timeout is for a camera that stops sending frames, not for a long run.
        complete = s.pumpUntil(
            [&] { return readerGone || (wanted > 0 && frames >= wanted) || (!s.timerErrors().empty() && frames == 0); },
            [&] { return static_cast<long>(frames); });
    else
        s.pumpFor(static_cast<platform::Millis>(seconds * 1000));
    const platform::Millis elapsed = std::max<platform::Millis>(platform::clock().now() - started, 1);
    stopper.running = false;
    c.RemoteStopViewfinder();
    if (frames == 0 && !s.timerErrors().empty())
        throw Failure(kExitCamera, s.timerErrors().front());
    if (!complete)
        throw Failure(kExitTimeout, endless ? "The camera sent no live-view frame in time"
                                            : "Only " + std::to_string(frames) + " of " + std::to_string(wanted) +
                                                  " live-view frames arrived in time");
    // The stream has standard output to itself: the report goes to standard error.
    Output report(mjpeg == "-" ? s.output().err() : s.output().out(), s.output().err(), s.output().json());

    const double fps = frames * 1000.0 / static_cast<double>(elapsed);
    const std::uint64_t average = frames > 0 ? bytes / static_cast<std::uint64_t>(frames) : 0;
    char summary[160];
    std::snprintf(summary, sizeof summary, "%d frames in %.1f s (%.1f frames/s), %llu bytes per frame on average",
                  frames, static_cast<double>(elapsed) / 1000.0, fps, static_cast<unsigned long long>(average));
    report.line(summary);
    if (!stream)
        report.line("Frames saved in " + dir.string());
    if (badFrames > 0)
        report.line(std::to_string(badFrames) + " frames did not start like a JPEG");
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "%.2f", fps);
    s.output().document("{\"ok\": true, \"frames\": " + std::to_string(frames) + ", \"milliseconds\": " +
                        std::to_string(elapsed) + ", \"framesPerSecond\": " + numbers +
                        ", \"averageBytes\": " + std::to_string(average) + ", \"stream\": " + jsonBool(stream) +
                        (stream ? std::string() : ", \"folder\": " + jsonText(dir.string())) + "}");
}

// ---------------------------------------------------------------------------------------------
// Card
// ---------------------------------------------------------------------------------------------

namespace {

/// "2026-05-30 10:15:00" for a camera time stamp (seconds from 1970 in the camera's own time);
/// "-" when the camera gave none.
std::string cameraTime(std::uint32_t stamp)
{
    if (stamp == 0)
        return "-";
    const std::time_t t = static_cast<std::time_t>(stamp);
    const std::tm *parts = std::gmtime(&t); // the stamp already counts in the camera's time
    if (parts == nullptr)
        return "-";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", parts);
    return text;
}

/// The card entries that \p args name: numbers, names and FIRST-LAST ranges, each once.
std::vector<int> pickedEntries(TTetherboxActiveX &c, const std::vector<std::string> &args)
{
    std::vector<int> picked;
    const int count = c.OpenCameraCollection_GetNrOfPictures();
    for (const std::string &arg : args) {
        const auto dash = arg.find('-');
        int first = 0;
        int last = 0;
        char tail = 0;
        if (dash != std::string::npos && dash > 0 && std::sscanf(arg.c_str(), "%d-%d%c", &first, &last, &tail) == 2) {
            if (first < 0 || last < first || last >= count)
                throw usageError("the range " + arg + " is not within the card's pictures 0-" + std::to_string(count - 1));
        } else {
            first = last = collectionEntry(c, arg);
        }
        for (int n = first; n <= last; ++n)
            if (std::find(picked.begin(), picked.end(), n) == picked.end())
                picked.push_back(n);
    }
    return picked;
}

/// card get: one picture, several, a range or all of them, under one progress bar. An existing
/// file is replaced only with --force; with --new the pictures already in the folder are left out.
void getPictures(Session &s)
{
    const std::vector<std::string> &args = s.options().args;
    const bool all = s.options().flag("all");
    const bool onlyNew = s.options().flag("new");
    if ((all ? args.size() != 1 : args.size() < 2) || (onlyNew && !all))
        throw usageError("usage: tbx card get N|NAME|FIRST-LAST... [--dest PATH] [--force], or card get --all [--new] "
                         "[--dest DIR]");
    TTetherboxActiveX &c = s.control();
    s.connect();
    s.armFaults();
    c.OpenCameraCollection(tempFolder(), false);
    std::vector<int> picked;
    if (all)
        for (int n = 0; n < c.OpenCameraCollection_GetNrOfPictures(); ++n)
            picked.push_back(n);
    else
        picked = pickedEntries(c, std::vector<std::string>(args.begin() + 1, args.end()));
    // Several pictures go into a folder.
    std::string dest = s.options().value("dest").value_or("");
    const bool batch = all || picked.size() > 1;
    if (batch && !dest.empty() && dest.back() != '/' && dest.back() != platform::kDirSeparator)
        dest += '/';

    struct Transfer {
        int number;
        std::string name;
        fs::path target;
    };
    std::vector<Transfer> transfers;
    std::vector<std::string> skipped;
    for (int n : picked) {
        const std::string name = c.OpenCameraCollection_NameOfImage(n);
        const fs::path target = downloadTarget(dest, name);
        if (fs::exists(target) && onlyNew) {
            skipped.push_back(jsonText(name));
            continue;
        }
        if (fs::exists(target) && !s.options().flag("force"))
            throw usageError(target.string() + " exists; --force replaces it" + (all ? ", --new leaves it out" : ""));
        transfers.push_back({n, name, target});
    }

    const int count = static_cast<int>(transfers.size());
    std::vector<std::string> items;
    {
        ProgressBar bar(s.output(), count == 1 ? "Downloading " + transfers[0].name
                                               : "Downloading " + std::to_string(count) + " pictures");
        s.trackProgress(&bar);
        for (int i = 0; i < count; ++i) {
            const Transfer &t = transfers[static_cast<std::size_t>(i)];
            bar.beginPart(i, count);
            try {
                s.retryBusy("downloading", [&] {
                    download(t.target.string(), [&] { c.GetPicture(t.number, false, t.target.string()); });
                });
            } catch (const ECamException &e) {
                throw Failure(kExitCamera, std::string(e.what()) + " (writing " + t.target.string() + ")");
            }
            s.settle(bar);
            items.push_back("{\"name\": " + jsonText(t.name) + ", \"file\": " + jsonText(t.target.string()) +
                            ", \"bytes\": " + std::to_string(fs::file_size(t.target)) + "}");
        }
        s.trackProgress(nullptr);
    }
    c.CloseCameraCollection();
    for (const Transfer &t : transfers)
        s.output().line("Saved " + t.target.string() + " (" + std::to_string(fs::file_size(t.target)) + " bytes)");
    if (!skipped.empty())
        s.output().line(std::to_string(skipped.size()) + " already in " + (dest.empty() ? "this folder" : dest) +
                        ", left out");
    s.output().document("{\"ok\": true, \"files\": " + joinJson(items) + ", \"skipped\": " + joinJson(skipped) + "}");
}

} // namespace

void cmdCard(Session &s)
{
    const std::vector<std::string> &args = s.options().args;
    const std::string sub = args.empty() ? "list" : args[0];
    TTetherboxActiveX &c = s.control();
    if (sub == "list") {
        requireArgs(s, 0, 1, "card list [--thumbnails DIR]");
        const auto thumbs = s.options().value("thumbnails");
        if (thumbs)
            fs::create_directories(*thumbs);
        s.connect();
        s.armFaults();
        c.OpenCameraCollection(tempFolder(), thumbs.has_value());
        std::vector<std::string> items;
        const int count = c.OpenCameraCollection_GetNrOfPictures();
        for (int i = 0; i < count; ++i) {
            const std::string name = c.OpenCameraCollection_NameOfImage(i);
            std::string thumbFile;
            if (thumbs) {
                try {
                    thumbFile = (fs::path(*thumbs) / (name + ".thumb.jpg")).string();
                    c.OpenCameraCollection_GetThumbnail(i, thumbFile);
                } catch (const ECamException &) {
                    thumbFile.clear(); // this entry has no thumbnail (RAW files, movies)
                }
            }
            const ImageDataType *entry = c.OpenCameraCollection_Entry(i);
            const std::uint64_t size = entry != nullptr ? entry->Size : 0;
            const std::string when = cameraTime(entry != nullptr ? entry->DateTime : 0);
            s.output().line(std::to_string(i) + "  " + padded(name, 14) + " " + padded(std::to_string(size), 9) + "  " +
                            when + (thumbFile.empty() ? "" : "  (thumbnail " + thumbFile + ")"));
            items.push_back("{\"number\": " + std::to_string(i) + ", \"name\": " + jsonText(name) +
                            ", \"bytes\": " + std::to_string(size) + ", \"time\": " + jsonText(when) +
                            (thumbFile.empty() ? "" : ", \"thumbnail\": " + jsonText(thumbFile)) + "}");
        }
        if (count == 0)
            s.output().line("The card holds no pictures.");
        c.CloseCameraCollection();
        s.output().document("{\"ok\": true, \"pictures\": " + joinJson(items) + "}");
    } else if (sub == "get") {
        getPictures(s);
    } else if (sub == "delete") {
        requireArgs(s, 2, 2, "card delete N|NAME");
        s.connect();
        s.armFaults();
        c.OpenCameraCollection(tempFolder(), false);
        const int n = collectionEntry(c, args[1]);
        const std::string name = c.OpenCameraCollection_NameOfImage(n);
        c.DeletePicture(n);
        c.CloseCameraCollection();
        s.output().line("Deleted " + name);
        s.output().document("{\"ok\": true, \"deleted\": " + jsonText(name) + "}");
    } else {
        throw usageError("unknown card command \"" + sub + "\" (list, get, delete)");
    }
}

// ---------------------------------------------------------------------------------------------
// Housekeeping
// ---------------------------------------------------------------------------------------------

void cmdClock(Session &s)
{
    requireArgs(s, 0, 1, "clock [now|YYYY-MM-DDTHH:MM:SS]");
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
    if (s.options().args.empty()) {
        // No family lets the control read the camera's clock; say so rather than set it unasked.
        s.connect();
        throw Failure(kExitCamera, "The clock of " + s.control().Connect_CameraModelName() +
                                       " cannot be read from the computer; tbx clock now sets it to this computer's time "
                                       "(PowerShot cameras)");
    }
    if (s.options().args[0] == "now") {
        const std::tm now = platform::localTime(std::time(nullptr));
        y = now.tm_year + 1900;
        mo = now.tm_mon + 1;
        d = now.tm_mday;
        h = now.tm_hour;
        mi = now.tm_min;
        sec = now.tm_sec;
    } else {
        const std::string &text = s.options().args[0];
        char tail = 0;
        if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d%c", &y, &mo, &d, &h, &mi, &sec, &tail) != 6 ||
            !validDateTime(y, mo, d, h, mi, sec))
            throw usageError("\"" + text + "\" is not a date and time YYYY-MM-DDTHH:MM:SS");
    }
    s.connect();
    s.armFaults();
    s.control().SetTimeInCamera(y, mo, d, h, mi, sec, 0);
    char shown[32];
    std::snprintf(shown, sizeof shown, "%04d-%02d-%02dT%02d:%02d:%02d", y, mo, d, h, mi, sec);
    s.output().line(std::string("Camera clock set to ") + shown);
    s.output().document("{\"ok\": true, \"clock\": " + jsonText(shown) + "}");
}

void cmdOwner(Session &s)
{
    requireArgs(s, 0, 1, "owner [NAME]");
    s.connect();
    s.armFaults();
    std::string owner = s.control().Connect_OwnerName();
    if (!s.options().args.empty()) {
        s.control().SetOwnerName(s.options().args[0]);
        // The camera keeps what fits (31 characters on EOS cameras): report what it kept.
        s.control().Disconnect();
        s.control().Connect(s.family(), s.options().camera);
        owner = s.control().Connect_OwnerName();
        s.output().line("Owner set to " + owner);
        if (owner != s.options().args[0])
            s.output().err() << "tbx: the camera kept " << owner.size() << " of the " << s.options().args[0].size()
                             << " characters given\n";
    } else {
        s.output().line(owner);
    }
    s.output().document("{\"ok\": true, \"owner\": " + jsonText(owner) + "}");
}

void cmdBodyID(Session &s)
{
    requireArgs(s, 0, 0, "bodyid");
    s.connect();
    s.armFaults();
    std::string id;
    s.retryBusy("reading the body ID", [&] { id = s.control().GetBodyID(); });
    s.output().line(id);
    s.output().document("{\"ok\": true, \"bodyId\": " + jsonText(id) + "}");
}

void cmdFormat(Session &s, std::istream &in)
{
    requireArgs(s, 0, 0, "format [--yes]");
    s.connect();
    s.armFaults();
    if (!s.options().flag("yes")) {
        s.output().err() << "Format the card of " << s.control().Connect_CameraModelName()
                         << "? Every picture on it is lost. Type yes to go on: " << std::flush;
        std::string answer;
        const bool answered = static_cast<bool>(std::getline(in, answer));
        if (!answered)
            s.checkInterruptAfterRead(); // Ctrl-C at the prompt is an interruption, not a "no"
        if (lower(answer) != "yes" && lower(answer) != "y")
            throw Failure(kExitDeclined, "The card was not formatted");
    }
    s.control().FormatCameraCard();
    s.output().line("Card formatted");
    s.output().document("{\"ok\": true, \"formatted\": true}");
}

} // namespace tbx::cli
