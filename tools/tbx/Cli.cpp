#include "Cli.h"

#include "sim/TbxSimClient.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <csignal>
#if !defined(_WIN32)
#include <signal.h>
#endif
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <thread>

#ifndef TBX_VERSION
#define TBX_VERSION "unknown"
#endif

#ifndef TBX_BUILD_REDIST_DIR
#define TBX_BUILD_REDIST_DIR ""
#endif

namespace tbx::cli {

namespace fs = std::filesystem;

namespace {

const char *const kUsage = R"(usage: tbx [options] <command> [arguments]

Commands:
  list                              the attached cameras
  info                              model, firmware, owner, battery, body ID, what remote mode offers
  shoot [--count N] [--kind thumbnail|picture|both] [--dest DIR] [--mode pc|both|camera]
        [--interval SECONDS] [--bulb SECONDS]
                                    take pictures and download them (never overwrites a file);
                                    --interval: one every SECONDS from the first (time-lapse),
                                    --bulb: hold the shutter open (EOS cameras)
  params show [NAME...]             current shooting parameters
  params list [--cache DIR]         every setting, its value and what the camera accepts (probes it)
  params set NAME=VALUE...          e.g. iso=400 av=5.6 tv=1/125 whitebalance=daylight
                                    exposurecompensation=+1 (labels as params list shows them, or
                                    a raw code as #N); says what the camera kept
  params supported [NAME...]        the values the camera accepts (probes it)
  params probe [--cache DIR]        probe the camera's supported values, with progress
  params save FILE | params load FILE
  liveview [--frames N | --seconds S] [--dest DIR] [--stream] [--mjpeg FILE|-]
                                    live-view frames into DIR (frame-0001.jpg, ...) or, with
                                    --stream, in memory with a frame-rate and size report, or
                                    with --mjpeg as a multipart JPEG stream (until Ctrl-C or its
                                    reader ends without --frames or --seconds):
                                    tbx liveview --mjpeg - | ffplay -
  card list [--thumbnails DIR]      the pictures on the card
  card get N|NAME|FIRST-LAST... [--dest PATH] [--force]
  card get --all [--new] [--dest DIR]
                                    download pictures (--new: those not yet in DIR), one progress
                                    bar for them all
  card delete N|NAME
  clock now|YYYY-MM-DDTHH:MM:SS     set the camera clock to this computer's time or the one given
                                    (PowerShot cameras; EOS cameras keep their own clock, and no
                                    camera lets its clock be read, so plain "clock" says so)
  owner [NAME]                      show or set the owner name
  bodyid                            the camera body's ID
  format [--yes]                    format the card (asks first)

Options:
  --library-folder DIR   folder of the camera SDK libraries (default: the built stand-ins)
  --scenario FILE|JSON   scenario of the simulated camera SDK
  --camera N             which camera of the list (default 0)
  --timeout SECONDS      how long to wait for the camera (default 30)
  --json                 one JSON document on standard output
  --sim-fault FAULT      simulated SDK only: busy:CALLS, unplug:BYTES or fail:ENTRY:CODE:COUNT
  --verbose              say on standard error what tbx waits for and retries
  --windows-xp           act as on Windows XP, the only Windows that offers PTP PowerShot
                         cameras (their SDK is looked for only then)
  --version              the version of tbx
  -h, --help             this text

A camera that answers "busy" is asked again after 100 ms, then 200, 400, 800 and every second,
for at most 5 s in all; then its error ends the command.

Exit codes: 0 done, 1 camera or file error, 2 usage error, 3 no camera, 4 timed out, 5 not confirmed,
6 interrupted (the camera is put back in order first).
)";

/// Options of the commands that take a value.
const char *const kValueOptions[] = {"count", "kind", "dest", "mode", "cache", "frames", "seconds", "thumbnails",
                                     "interval", "bulb", "mjpeg"};
/// Options of the commands without a value.
const char *const kFlagOptions[] = {"stream", "yes", "force", "all", "new"};

bool isOneOf(const std::string &name, const auto &list)
{
    for (const char *entry : list)
        if (name == entry)
            return true;
    return false;
}

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int)
{
    interrupted = 1;
}

/// Ctrl-C sets a flag that the waits look at. On POSIX a read in progress (the format prompt) is
/// not restarted, so that Ctrl-C ends it too.
void catchInterrupt()
{
#if defined(_WIN32)
    std::signal(SIGINT, onInterrupt);
#else
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
#endif
}

/// "0.05", "3", "86400": a bound as the user would type it.
std::string numberText(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::vector<std::string> splitAt(const std::string &text, char separator)
{
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

/// A whole integer in [low, high] (decimal or 0x hexadecimal), or empty.
std::optional<std::int64_t> integerIn(const std::string &text, std::int64_t low, std::int64_t high)
{
    if (text.empty() || text.size() > 20)
        return std::nullopt;
    char *end = nullptr;
    errno = 0;
    const long long n = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || n < low || n > high)
        return std::nullopt;
    return n;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Options
// ---------------------------------------------------------------------------------------------

bool Options::flag(const std::string &name) const
{
    for (const std::string &f : flags)
        if (f == name)
            return true;
    return false;
}

std::optional<std::string> Options::value(const std::string &name) const
{
    const auto it = values.find(name);
    if (it == values.end())
        return std::nullopt;
    return it->second;
}

int Options::intValue(const std::string &name, int fallback, int low, int high) const
{
    return static_cast<int>(numberValue(name, fallback, low, high));
}

double Options::numberValue(const std::string &name, double fallback, double low, double high) const
{
    const auto text = value(name);
    if (!text)
        return fallback;
    const auto number = parseNumber(*text);
    if (!number || *number < low || *number > high)
        throw usageError("--" + name + " must be a number from " + numberText(low) + " to " + numberText(high) +
                         ", not \"" + *text + "\"");
    return *number;
}

std::optional<double> parseNumber(const std::string &text)
{
    char *end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(number))
        return std::nullopt;
    return number;
}

SimFault parseSimFault(const std::string &text)
{
    const std::vector<std::string> parts = splitAt(text, ':');
    SimFault fault;
    fault.text = text;
    bool good = false;
    if (parts[0] == "busy" && parts.size() == 2) {
        fault.kind = SimFault::Busy;
        const auto calls = integerIn(parts[1], -1, INT32_MAX);
        good = calls.has_value();
        fault.number = calls.value_or(0);
    } else if (parts[0] == "unplug" && parts.size() == 2) {
        fault.kind = SimFault::Unplug;
        const auto bytes = integerIn(parts[1], 0, INT64_MAX);
        good = bytes.has_value();
        fault.number = bytes.value_or(0);
    } else if (parts[0] == "fail" && parts.size() == 4) {
        fault.kind = SimFault::Fail;
        fault.entry = parts[1];
        const auto code = integerIn(parts[2], 0, UINT32_MAX);
        const auto count = integerIn(parts[3], -1, INT32_MAX);
        good = !fault.entry.empty() && code && count;
        fault.number = code.value_or(0);
        fault.count = static_cast<std::int32_t>(count.value_or(0));
    }
    if (!good)
        throw usageError("bad --sim-fault " + text + " (busy:CALLS, unplug:BYTES or fail:ENTRY:CODE:COUNT)");
    return fault;
}

std::string defaultLibraryFolder(const std::string &exePath)
{
    std::error_code ec;
    const fs::path exe = fs::weakly_canonical(fs::absolute(fs::path(exePath), ec), ec);
    if (!exePath.empty() && exe.has_parent_path()) {
        // Next to the executable (an installed tbx), or in the build folder it was built in.
        for (fs::path dir = exe.parent_path(); !dir.empty(); dir = dir.parent_path()) {
            if (fs::is_directory(dir / "redist", ec))
                return (dir / "redist").string();
            if (dir == dir.root_path() || fs::exists(dir / "CMakeCache.txt", ec))
                break;
        }
    }
    return TBX_BUILD_REDIST_DIR;
}

Options parseOptions(const std::vector<std::string> &argv, const std::string &exePath)
{
    Options o;
    bool libraryGiven = false;
    for (std::size_t i = 1; i < argv.size(); ++i) {
        const std::string &arg = argv[i];
        const auto next = [&](const std::string &name) -> std::string {
            if (i + 1 >= argv.size())
                throw usageError(name + " needs a value");
            return argv[++i];
        };
        if (arg == "-h" || arg == "--help") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--verbose") {
            o.verbose = true;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg == "--windows-xp") {
            o.windowsXP = true;
        } else if (arg == "--virtual-clock") {
            o.virtualClock = true; // for tests: timers and waits run on a clock that only moves when pumped
        } else if (arg == "--library-folder") {
            o.libraryFolder = next(arg);
            libraryGiven = true;
        } else if (arg == "--scenario") {
            o.scenario = next(arg);
        } else if (arg == "--sim-fault") {
            o.simFaults.push_back(parseSimFault(next(arg)));
        } else if (arg == "--camera") {
            const auto number = parseNumber(next(arg));
            if (!number || *number < 0 || *number > 1000 || *number != static_cast<int>(*number))
                throw usageError("--camera must be a camera number from 0, not \"" + argv[i] + "\"");
            o.camera = static_cast<int>(*number);
        } else if (arg == "--timeout") {
            // A timeout of 0 would end every command before the camera could answer.
            const auto number = parseNumber(next(arg));
            if (!number || *number < 0.1 || *number > 86400)
                throw usageError("--timeout must be a number of seconds from 0.1 to 86400, not \"" + argv[i] + "\"");
            o.timeoutSeconds = *number;
        } else if (arg.rfind("--", 0) == 0 && arg.size() > 2) {
            const std::string name = arg.substr(2);
            if (isOneOf(name, kValueOptions))
                o.values[name] = next(arg);
            else if (isOneOf(name, kFlagOptions))
                o.flags.push_back(name);
            else
                throw usageError("unknown option " + arg);
        } else if (o.command.empty()) {
            o.command = arg;
        } else {
            o.args.push_back(arg);
        }
    }
    if (!libraryGiven)
        o.libraryFolder = defaultLibraryFolder(exePath);
    return o;
}

// ---------------------------------------------------------------------------------------------
// Output
// ---------------------------------------------------------------------------------------------

std::string jsonText(const std::string &text)
{
    std::ostringstream s;
    s << '"';
    for (unsigned char c : text) {
        switch (c) {
        case '"': s << "\\\""; break;
        case '\\': s << "\\\\"; break;
        case '\n': s << "\\n"; break;
        case '\r': s << "\\r"; break;
        case '\t': s << "\\t"; break;
        default:
            if (c < 0x20)
                s << "\\u" << std::hex << std::setw(4) << std::setfill('0') << static_cast<int>(c) << std::dec;
            else
                s << c;
        }
    }
    s << '"';
    return s.str();
}

void Output::line(const std::string &text)
{
    if (!json_)
        out_ << text << '\n';
}

void Output::document(const std::string &jsonText)
{
    if (json_)
        out_ << jsonText << '\n';
}

ProgressBar::ProgressBar(Output &output, std::string label) : output_(output), label_(std::move(label)) {}

ProgressBar::~ProgressBar()
{
    if (percent_ >= 0)
        finish();
}

void ProgressBar::beginPart(int index, int count)
{
    part_ = index;
    parts_ = std::max(count, 1);
    partPercent_ = -1;
}

void ProgressBar::update(int partPercent)
{
    partPercent_ = std::clamp(partPercent, 0, 100);
    const int percent = (part_ * 100 + partPercent_) / parts_;
    if (percent == percent_ || finished_)
        return;
    percent_ = percent;
    if (output_.json())
        return;
    const int filled = percent / 5;
    output_.err() << '\r' << label_ << " [" << std::string(static_cast<std::size_t>(filled), '#')
                  << std::string(static_cast<std::size_t>(20 - filled), '-') << "] " << std::setw(3) << percent << '%'
                  << std::flush;
}

void ProgressBar::finish()
{
    if (finished_)
        return;
    finished_ = true;
    if (!output_.json() && percent_ >= 0)
        output_.err() << '\n' << std::flush;
}

// ---------------------------------------------------------------------------------------------
// Session
// ---------------------------------------------------------------------------------------------

namespace {

/// The stand-ins in \p folder, each holding the cameras of its own family, so that a fault armed
/// in every one reaches the camera whichever family it belongs to; a usage Failure when the
/// folder holds none.
std::vector<sim::ControlClient> standInsIn(const std::string &folder)
{
    std::vector<std::string> paths;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(folder, error)) {
        std::string extension = entry.path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (extension == ".dll" && entry.is_regular_file(error) && sim::ControlClient::isStandIn(entry.path().string()))
            paths.push_back(entry.path().string());
    }
    std::sort(paths.begin(), paths.end());
    return std::vector<sim::ControlClient>(paths.begin(), paths.end());
}

std::vector<sim::ControlClient> simulatedLibraries(const std::string &folder)
{
    std::vector<sim::ControlClient> standIns = standInsIn(folder);
    if (standIns.empty())
        throw usageError("--sim-fault needs a simulated SDK library in the library folder");
    return standIns;
}

} // namespace

Session::Session(const Options &options, Output &output) : options_(options), output_(output)
{
    if (options.virtualClock) {
        virtualClock_ = std::make_unique<platform::VirtualClock>();
        platform::setClock(virtualClock_.get());
        standIns_ = standInsIn(options.libraryFolder);
    }
    if (options.scenario)
        platform::setEnvironment("TBX_SIM_SCENARIO", *options.scenario);
    if (options.windowsXP)
        platform::setOsVersionOverride(platform::OsVersion{5, 1});
    control_ = std::make_unique<TTetherboxActiveX>();
    control_->LibraryFolder = options.libraryFolder;
    control_->OnTimerError = [this](const std::string &message) { timerErrors_.push_back(message); };
    control_->OnEvent = [this](EventSeverityType severity, EventEnumType) {
        if (severity == EventSeverityClosing && cameraGone_.empty())
            cameraGone_ = "The camera was disconnected";
    };
    const auto progress = [this](std::int32_t percent) {
        if (bar_ != nullptr)
            bar_->update(percent);
    };
    control_->OnRemoteTakePictureEvent = progress;
    control_->OnRemoteGetPictureEvent = progress;
    control_->OnRemoteGetMovieEvent = progress;
    control_->OnGetPictureEvent = progress;
    control_->OnRemoteProbeParamEvent = progress;
}

Session::~Session()
{
    control_.reset(); // unwinds the camera: live view, remote mode, connection, SDKs
    if (virtualClock_)
        platform::setClock(nullptr);
}

void Session::open()
{
    if (!fs::is_directory(options_.libraryFolder))
        throw Failure(kExitCamera, "The library folder " + options_.libraryFolder + " does not exist");
    control_->OpenCameraEnumeration();
    const std::pair<int, int> families[] = {
        {CamModEOS, control_->OpenCameraEnumeration_GetEOSNr()},
        {CamModPowerShotGen2, control_->OpenCameraEnumeration_GetPowerShotGen2Nr()},
        {CamModPowerShot, control_->OpenCameraEnumeration_GetPowerShotNr()},
    };
    for (const auto &[family, count] : families)
        if (count > 0) {
            family_ = family;
            if (options_.camera >= count)
                throw usageError("--camera " + std::to_string(options_.camera) + ": there " +
                                 (count == 1 ? "is 1 camera" : "are " + std::to_string(count) + " cameras") +
                                 ", numbered from 0");
            return;
        }
    throw Failure(kExitNoCamera, "No camera found (library folder " + options_.libraryFolder + ")");
}

void Session::connect()
{
    open();
    control_->Connect(family_, options_.camera);
}

void Session::startRemote(int releaseMode, int dataKind, bool probe, const std::string &cacheFolder)
{
    connect();
    control_->RemoteStart(releaseMode, dataKind, probe, cacheFolder);
}

void Session::checkFaults()
{
    if (options_.simFaults.empty())
        return;
    const std::vector<sim::ControlClient> standIns = simulatedLibraries(options_.libraryFolder);
    for (const SimFault &fault : options_.simFaults)
        if (fault.kind == SimFault::Fail &&
            std::none_of(standIns.begin(), standIns.end(),
                         [&](const sim::ControlClient &standIn) { return standIn.exports(fault.entry); }))
            throw usageError("bad --sim-fault " + fault.text + ": the SDK has no entry point " + fault.entry);
}

void Session::armFaults()
{
    if (faultsArmed_ || options_.simFaults.empty())
        return;
    faultsArmed_ = true;
    const std::vector<sim::ControlClient> standIns = simulatedLibraries(options_.libraryFolder);
    for (const SimFault &fault : options_.simFaults) {
        // Armed in every stand-in that takes it; refused only when none does.
        std::uint32_t result = TBXSIM_NOT_FOUND;
        for (const sim::ControlClient &standIn : standIns) {
            std::uint32_t armed = TBXSIM_NOT_FOUND;
            switch (fault.kind) {
            case SimFault::Busy:
                armed = standIn.SetBusy(nullptr, static_cast<std::int32_t>(fault.number));
                break;
            case SimFault::Unplug:
                armed = standIn.Unplug(nullptr, static_cast<std::uint64_t>(fault.number));
                break;
            case SimFault::Fail:
                if (standIn.exports(fault.entry))
                    armed = standIn.InjectFault(fault.entry.c_str(), static_cast<std::uint32_t>(fault.number),
                                                fault.count);
                break;
            }
            if (armed == TBXSIM_OK)
                result = TBXSIM_OK;
        }
        if (result != 0)
            throw usageError("the simulated SDK refused --sim-fault " + fault.text);
    }
}

bool Session::pumpUntil(const std::function<bool()> &done, const std::function<long()> &progress)
{
    const auto patience = std::chrono::milliseconds(static_cast<long long>(options_.timeoutSeconds * 1000));
    auto deadline = std::chrono::steady_clock::now() + patience;
    long reached = progress ? progress() : 0;
    while (!done()) {
        checkInterrupt();
        checkCamera();
        if (progress && progress() != reached) {
            reached = progress();
            deadline = std::chrono::steady_clock::now() + patience;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        platform::runFor(25);
        letSdkRun();
    }
    return true;
}

void Session::pumpFor(platform::Millis ms)
{
    const platform::Millis end = platform::clock().now() + ms;
    for (platform::Millis now = platform::clock().now(); now < end; now = platform::clock().now()) {
        checkInterrupt();
        checkCamera();
        platform::runFor(std::min<platform::Millis>(end - now, virtualClock_ ? 25 : 100));
        letSdkRun();
    }
    checkCamera();
}

/// Ends a wait with kExitInterrupted after Ctrl-C; unwinding then ends live view, remote mode
/// and the connection before tbx exits.
void Session::checkInterrupt()
{
    if (interrupted != 0)
        throw Failure(kExitInterrupted, "Interrupted");
}

/// A Ctrl-C at a prompt ends the read, but some runtimes (a sanitizer's, for one) run the signal's
/// handler a moment after the read returned. Looks for it for up to 100 ms of real time, so that
/// the caller does not take an interrupted read for an end of input.
void Session::checkInterruptAfterRead()
{
    for (int i = 0; i < 20 && interrupted == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    checkInterrupt();
}

void Session::letSdkRun()
{
    if (!virtualClock_)
        return;
    // The SDK's own thread runs in real time.
    for (const sim::ControlClient &standIn : standIns_)
        standIn.WaitIdle(1000);
    if (standIns_.empty())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void Session::checkCamera() const
{
    if (!cameraGone_.empty())
        throw Failure(kExitCamera, cameraGone_);
}

void Session::retryBusy(const std::string &what, const std::function<void()> &call)
{
    platform::Millis waited = 0;
    for (platform::Millis pause = 100;; pause = std::min<platform::Millis>(pause * 2, 1000)) {
        try {
            call();
            return;
        } catch (const ECamException &e) {
            // The camera's own word for it; every family's SDK text for "busy" contains it.
            const std::string message = e.what();
            std::string lowered = message;
            std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (lowered.find("busy") == std::string::npos || waited + pause > kBusyRetryMs)
                throw;
            verbose("The camera is busy (" + message + "); " + what + " again in " + std::to_string(pause) + " ms");
        }
        pumpFor(pause);
        waited += pause;
    }
}

void Session::verbose(const std::string &text)
{
    if (options_.verbose)
        output_.err() << "tbx: " << text << '\n' << std::flush;
}

void Session::settle(ProgressBar &bar)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!bar.partDone() && std::chrono::steady_clock::now() < until) {
        platform::runFor(25);
        letSdkRun();
    }
    if (bar.lastPart())
        bar.finish();
}

void Session::trackProgress(ProgressBar *bar)
{
    bar_ = bar;
}

// ---------------------------------------------------------------------------------------------
// Entry
// ---------------------------------------------------------------------------------------------

int run(const std::vector<std::string> &argv, std::istream &in, std::ostream &out, std::ostream &err)
{
    bool json = false;
    const auto fail = [&](ExitCode code, const std::string &message) {
        err << "tbx: " << message << '\n';
        if (json)
            out << "{\"ok\": false, \"exit\": " << code << ", \"error\": " << jsonText(message) << "}\n";
        return code;
    };
    try {
        const Options options = parseOptions(argv, argv.empty() ? std::string() : argv[0]);
        json = options.json;
        if (options.version) {
            out << "tbx " << TBX_VERSION << '\n';
            return kExitOk;
        }
        if (options.help || options.command.empty() || options.command == "help") {
            (options.help || options.command == "help" ? out : err) << kUsage;
            return options.help || options.command == "help" ? kExitOk : kExitUsage;
        }
        static const std::map<std::string, std::function<void(Session &)>> commands = {
            {"list", cmdList},     {"info", cmdInfo},   {"shoot", cmdShoot}, {"params", cmdParams},
            {"liveview", cmdLiveview}, {"card", cmdCard}, {"clock", cmdClock}, {"owner", cmdOwner},
            {"bodyid", cmdBodyID},
        };
        Output output(out, err, options.json);
        const auto it = commands.find(options.command);
        if (it == commands.end() && options.command != "format")
            throw usageError("unknown command \"" + options.command + "\" (tbx --help lists them)");
        catchInterrupt();
        Session session(options, output);
        session.checkFaults();
        if (it != commands.end())
            it->second(session);
        else
            cmdFormat(session, in);
        return kExitOk;
    } catch (const Failure &e) {
        return fail(e.code(), e.what());
    } catch (const std::exception &e) {
        // The control's, the engine's and the SDK's messages, unchanged.
        return fail(kExitCamera, e.what());
    }
}

} // namespace tbx::cli
