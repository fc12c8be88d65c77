// tbx, the command-line host: its options, its session with the control, output and exit codes.
#pragma once

#include "control/TetherboxActiveX.h"
#include "platform/CallingConvention.h"
#include "platform/Platform.h"
#include "sim/TbxSimClient.h"

#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tbx::cli {

/// Exit codes: what a script can tell apart.
enum ExitCode : int {
    kExitOk = 0,
    kExitCamera = 1,   ///< the camera, its SDK or a file refused (the message says which)
    kExitUsage = 2,    ///< the command line is wrong
    kExitNoCamera = 3, ///< no camera is attached
    kExitTimeout = 4,  ///< the camera did not answer in time
    kExitDeclined = 5, ///< the user did not confirm
    kExitInterrupted = 6, ///< Ctrl-C; the camera was put back in order first
};

/// A failure with the exit code it ends tbx with.
class Failure : public std::runtime_error {
public:
    Failure(ExitCode code, const std::string &message) : std::runtime_error(message), code_(code) {}
    ExitCode code() const { return code_; }

private:
    ExitCode code_;
};

inline Failure usageError(const std::string &message)
{
    return Failure(kExitUsage, message);
}

/// One --sim-fault, checked when the command line is read.
struct SimFault {
    enum Kind { Busy, Unplug, Fail } kind = Busy;
    std::string text;        ///< as the user typed it
    std::string entry;       ///< Fail: the SDK entry point
    std::int64_t number = 0; ///< Busy: calls (-1 always); Unplug: bytes; Fail: the error code
    std::int32_t count = 0;  ///< Fail: how many calls (-1 always)
};

/// Reads "busy:CALLS", "unplug:BYTES" or "fail:ENTRY:CODE:COUNT"; raises a usage Failure otherwise.
SimFault parseSimFault(const std::string &text);

struct Options {
    std::string command;
    std::vector<std::string> args;                ///< positional arguments after the command
    std::map<std::string, std::string> values;    ///< --name value options of the command
    std::vector<std::string> flags;               ///< --name options without a value
    std::string libraryFolder;
    std::optional<std::string> scenario;
    std::vector<SimFault> simFaults;
    int camera = 0;
    double timeoutSeconds = 30;
    bool json = false;
    bool virtualClock = false;
    bool help = false;
    bool version = false;
    bool verbose = false;
    bool windowsXP = false; ///< report Windows XP, so the PTP PowerShot family is offered

    bool flag(const std::string &name) const;
    std::optional<std::string> value(const std::string &name) const;
    int intValue(const std::string &name, int fallback, int low, int high) const;
    double numberValue(const std::string &name, double fallback, double low, double high) const;
};

/// The number \p text spells out in full, or empty.
std::optional<double> parseNumber(const std::string &text);

/// Parses the command line; raises a usage Failure for unknown or malformed options.
/// \p exePath is argv[0], used to find the redist folder next to the executable.
Options parseOptions(const std::vector<std::string> &argv, const std::string &exePath);

/// The library folder tbx uses without --library-folder: "redist" next to the executable or in
/// the build folder above it, else the build's own redist folder.
std::string defaultLibraryFolder(const std::string &exePath);

/// Human-readable lines or one JSON document per command.
class Output {
public:
    Output(std::ostream &out, std::ostream &err, bool json) : out_(out), err_(err), json_(json) {}
    bool json() const { return json_; }
    std::ostream &out() { return out_; }
    std::ostream &err() { return err_; }
    /// Prints a line in human mode; nothing in JSON mode.
    void line(const std::string &text);
    /// Prints \p jsonText as the command's result in JSON mode.
    void document(const std::string &jsonText);

private:
    std::ostream &out_;
    std::ostream &err_;
    bool json_;
};

/// A one-line progress bar on the error stream ("label [#####-----]  50%"), silent in JSON mode.
class ProgressBar {
public:
    ProgressBar(Output &output, std::string label);
    ~ProgressBar();
    /// One bar for a batch: the next percentages are those of transfer \p index of \p count.
    void beginPart(int index, int count);
    /// The percentage of the current transfer; the bar shows the batch's.
    void update(int percent);
    int percent() const { return percent_; }
    bool partDone() const { return partPercent_ >= 100; }
    bool lastPart() const { return part_ + 1 >= parts_; }
    void finish();

private:
    Output &output_;
    std::string label_;
    int percent_ = -1;
    int partPercent_ = -1;
    int part_ = 0;
    int parts_ = 1;
    bool finished_ = false;
};

/// The control with the camera tbx works on.
class Session {
public:
    Session(const Options &options, Output &output);
    ~Session();

    TTetherboxActiveX &control() { return *control_; }
    const Options &options() const { return options_; }
    Output &output() { return output_; }

    /// Opens the enumeration; raises kExitNoCamera when no camera is attached.
    void open();
    /// open(), then connects the camera chosen with --camera.
    void connect();
    /// connect(), then remote mode.
    void startRemote(int releaseMode, int dataKind, bool probe, const std::string &cacheFolder);
    /// Checks that the library folder holds the simulated SDK with every entry point a
    /// --sim-fault names; raises a usage Failure otherwise. Every command does this first.
    void checkFaults();
    /// Applies the --sim-fault options to the simulated SDK (once).
    void armFaults();
    /// Pumps the owner thread's messages until \p done, or until the --timeout passes without
    /// \p progress (a counter, when given) moving; false on timeout. Raises kExitCamera at once
    /// when the camera went away.
    /// Raises kExitInterrupted after Ctrl-C.
    static void checkInterrupt();
    /// checkInterrupt() after a read at a prompt ended without an answer.
    static void checkInterruptAfterRead();
    /// Raises kExitCamera when the camera went away (it closed the session).
    void checkCamera() const;
    bool pumpUntil(const std::function<bool()> &done, const std::function<long()> &progress = {});
    /// Runs \p call; while the camera answers that it is busy, tries again after a short back-off
    /// (100 ms, doubling to 1 s) for at most kBusyRetryMs, then lets the camera's error go on.
    void retryBusy(const std::string &what, const std::function<void()> &call);
    static constexpr platform::Millis kBusyRetryMs = 5000;
    /// A line on the error stream with --verbose.
    void verbose(const std::string &text);
    /// Pumps for \p ms of clock time.
    void pumpFor(platform::Millis ms);
    /// Pumps until \p bar reached 100 % or a short while passed (progress arrives after the call).
    void settle(ProgressBar &bar);
    /// Lets every percentage event reach \p bar while it lives.
    void trackProgress(ProgressBar *bar);

    int family() const { return family_; }
    /// Failures the engine's timers reported (live-view pulls that failed).
    const std::vector<std::string> &timerErrors() const { return timerErrors_; }

private:
    const Options &options_;
    Output &output_;
    std::unique_ptr<platform::VirtualClock> virtualClock_;
    std::unique_ptr<TTetherboxActiveX> control_;
    int family_ = CamModNone;
    bool faultsArmed_ = false;
    std::string cameraGone_; ///< why the camera ended the session, once it did
    /// On the virtual clock: the simulated SDK, whose event thread is let run to the end of its
    /// queue after each step of the clock, so that its events land at a fixed virtual time.
    std::vector<sim::ControlClient> standIns_;
    void letSdkRun();
    ProgressBar *bar_ = nullptr;
    std::vector<std::string> timerErrors_;
};

/// JSON text of \p text (quoted and escaped).
std::string jsonText(const std::string &text);

/// Runs tbx with \p argv (argv[0] first); returns the exit code.
int run(const std::vector<std::string> &argv, std::istream &in, std::ostream &out, std::ostream &err);

// The commands (Commands.cpp).
void cmdList(Session &s);
void cmdInfo(Session &s);
void cmdShoot(Session &s);
void cmdParams(Session &s);
void cmdLiveview(Session &s);
void cmdCard(Session &s);
void cmdClock(Session &s);
void cmdOwner(Session &s);
void cmdBodyID(Session &s);
void cmdFormat(Session &s, std::istream &in);

} // namespace tbx::cli
