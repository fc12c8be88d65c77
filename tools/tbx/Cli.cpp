#include "Cli.h"

#include "sdk/EDSDK.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <thread>

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
                                    take pictures and download them (never overwrites a file)
  params show [NAME...]             current shooting parameters
  params set NAME=VALUE...          e.g. iso=400 av=5.6 tv=1/125 (a raw code as #N)
  params supported [NAME...]        the values the camera accepts (probes it)
  params probe [--cache DIR]        probe the camera's supported values, with progress
  params save FILE | params load FILE
  liveview [--frames N | --seconds S] [--dest DIR] [--stream]
                                    live-view frames into DIR (frame-0001.jpg, ...) or, with
                                    --stream, in memory with a frame-rate and size report
  card list [--thumbnails DIR]      the pictures on the card
  card get N|NAME [--dest PATH] [--force]
  card delete N|NAME
  clock [YYYY-MM-DDTHH:MM:SS]       set the camera clock (default: this computer's time)
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
  -h, --help             this text

Exit codes: 0 done, 1 camera or file error, 2 usage error, 3 no camera, 4 timed out, 5 not confirmed,
6 interrupted (the camera is put back in order first).
)";

/// Options of the commands that take a value.
const char *const kValueOptions[] = {"count", "kind", "dest", "mode", "cache", "frames", "seconds", "thumbnails"};
/// Options of the commands without a value.
const char *const kFlagOptions[] = {"stream", "yes", "force"};

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

/// Ends a wait with kExitInterrupted after Ctrl-C; unwinding then ends live view, remote mode
/// and the connection before tbx exits.
void checkInterrupt()
{
    if (interrupted != 0)
        throw Failure(kExitInterrupted, "Interrupted");
}

void setEnvironment(const char *name, const std::string &value)
{
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
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
    char *end = nullptr;
    const double number = std::strtod(text->c_str(), &end);
    if (text->empty() || end != text->c_str() + text->size() || number < low || number > high)
        throw usageError("--" + name + " must be a number from " + std::to_string(static_cast<long long>(low)) +
                         " to " + std::to_string(static_cast<long long>(high)) + ", not \"" + *text + "\"");
    return number;
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
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg == "--virtual-clock") {
            o.virtualClock = true; // for tests: timers and waits run on a clock that only moves when pumped
        } else if (arg == "--library-folder") {
            o.libraryFolder = next(arg);
            libraryGiven = true;
        } else if (arg == "--scenario") {
            o.scenario = next(arg);
        } else if (arg == "--sim-fault") {
            o.simFaults.push_back(next(arg));
        } else if (arg == "--camera" || arg == "--timeout") {
            const std::string text = next(arg);
            char *end = nullptr;
            const double number = std::strtod(text.c_str(), &end);
            if (text.empty() || end != text.c_str() + text.size() || number < 0 || number > 1e6)
                throw usageError(arg + " must be a non-negative number, not \"" + text + "\"");
            if (arg == "--camera")
                o.camera = static_cast<int>(number);
            else
                o.timeoutSeconds = number;
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

void ProgressBar::update(int percent)
{
    percent = std::clamp(percent, 0, 100);
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

Session::Session(const Options &options, Output &output) : options_(options), output_(output)
{
    if (options.virtualClock) {
        virtualClock_ = std::make_unique<platform::VirtualClock>();
        platform::setClock(virtualClock_.get());
    }
    if (options.scenario)
        setEnvironment("TBX_SIM_SCENARIO", *options.scenario);
    control_ = std::make_unique<TTetherboxActiveX>();
    control_->LibraryFolder = options.libraryFolder;
    control_->OnTimerError = [this](const std::string &message) { timerErrors_.push_back(message); };
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

void Session::armFaults()
{
    if (faultsArmed_ || options_.simFaults.empty())
        return;
    faultsArmed_ = true;
    auto library = platform::DynamicLibrary::open(options_.libraryFolder + platform::kDirSeparator + "EDSDK.dll");
    const auto need = [&](const char *name) {
        void *p = library ? library->symbol(name) : nullptr;
        if (p == nullptr)
            throw usageError("--sim-fault needs the simulated EDSDK.dll in the library folder (" + std::string(name) +
                             " not found)");
        return p;
    };
    using SetBusy = std::uint32_t(TBX_EDSAPI *)(const char *, std::int32_t);
    using Unplug = std::uint32_t(TBX_EDSAPI *)(const char *, std::uint64_t);
    using Inject = std::uint32_t(TBX_EDSAPI *)(const char *, std::uint32_t, std::int32_t);
    for (const std::string &fault : options_.simFaults) {
        std::vector<std::string> parts;
        std::stringstream in(fault);
        for (std::string part; std::getline(in, part, ':');)
            parts.push_back(part);
        const auto numberAt = [&](std::size_t i) {
            char *end = nullptr;
            const long long n = i < parts.size() ? std::strtoll(parts[i].c_str(), &end, 0) : 0;
            if (i >= parts.size() || parts[i].empty() || *end != '\0')
                throw usageError("bad --sim-fault " + fault);
            return n;
        };
        std::uint32_t result = 0;
        if (parts[0] == "busy" && parts.size() == 2)
            result = reinterpret_cast<SetBusy>(need("TbxSim_SetBusy"))(nullptr, static_cast<std::int32_t>(numberAt(1)));
        else if (parts[0] == "unplug" && parts.size() == 2)
            result = reinterpret_cast<Unplug>(need("TbxSim_Unplug"))(nullptr, static_cast<std::uint64_t>(numberAt(1)));
        else if (parts[0] == "fail" && parts.size() == 4)
            result = reinterpret_cast<Inject>(need("TbxSim_InjectFault"))(
                parts[1].c_str(), static_cast<std::uint32_t>(numberAt(2)), static_cast<std::int32_t>(numberAt(3)));
        else
            throw usageError("bad --sim-fault " + fault + " (busy:CALLS, unplug:BYTES or fail:ENTRY:CODE:COUNT)");
        if (result != 0)
            throw usageError("the simulated SDK refused --sim-fault " + fault);
    }
}

bool Session::pumpUntil(const std::function<bool()> &done)
{
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<long long>(options_.timeoutSeconds * 1000));
    while (!done()) {
        checkInterrupt();
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        platform::runFor(25);
        if (virtualClock_) // the SDK's own thread runs in real time
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void Session::pumpFor(platform::Millis ms)
{
    const platform::Millis end = platform::clock().now() + ms;
    for (platform::Millis now = platform::clock().now(); now < end; now = platform::clock().now()) {
        checkInterrupt();
        platform::runFor(std::min<platform::Millis>(end - now, 100));
    }
}

void Session::settle(ProgressBar &bar)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (bar.percent() < 100 && std::chrono::steady_clock::now() < until) {
        platform::runFor(25);
        if (virtualClock_)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
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
        std::signal(SIGINT, onInterrupt);
        Session session(options, output);
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
