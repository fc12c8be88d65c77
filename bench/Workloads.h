// The measured work, in pairs: what the engine does for a host (through the real EOS driver)
// and the bare SDK calls that do the same work through the same stand-in. Each class sets its
// camera up when it is made; its member functions are one measured step each. A step that goes
// wrong throws std::runtime_error (or the engine's ECamException), so a benchmark never measures
// a path that silently stopped working.
#pragma once

#include "Session.h"

#include "sdk/EdsRef.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tbx::bench {

/// A folder of its own under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    explicit TempFolder(const std::string &purpose);
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
    const std::filesystem::path &path() const { return path_; }

private:
    std::filesystem::path path_;
};

/// One live-view frame. The engine's step is one period of its EOS viewfinder timer: the tick
/// pulls the frame through the driver's frame source, keeps the metadata and hands the host a
/// copy of the JPEG. The bare step makes the SDK calls of that tick and leaves the JPEG where
/// the SDK put it (the engine's extra copy and the metadata bookkeeping are its overhead).
class LiveViewPair {
public:
    /// Remote mode and live view on the computer; waits out the frames the camera answers
    /// "not ready" after live view started.
    explicit LiveViewPair(Session &session);
    /// Bytes of the frame the host got in one timer period (0 when none came).
    std::size_t engineFrame();
    /// Bytes of the frame the SDK downloaded.
    std::size_t bareFrame();
    std::size_t framesDelivered() const { return frames_; }

private:
    Session &session_;
    std::size_t frames_ = 0;
    std::size_t lastBytes_ = 0;
};

/// Reading the camera's shooting parameters. The engine's step is RemoteGetCameraCacheParameters
/// (reads and conversions into the host's record); the bare step replays the SDK calls that one
/// engine read made, recorded from the stand-in's call log when the pair was set up.
class ParamReadPair {
public:
    explicit ParamReadPair(Session &session);
    /// A digest of the record the engine returned (so the read cannot be optimised away).
    std::uint32_t engineRead();
    /// A digest of the bytes the SDK returned.
    std::uint32_t bareRead();

    struct Call {
        std::string name;                ///< EdsGetPropertyData or EdsGetDeviceInfo
        sdk::EdsPropertyID property = 0; ///< the property read (EdsGetPropertyData)
        std::int32_t param = 0;
        std::uint32_t size = 0;
    };
    const std::vector<Call> &recordedCalls() const { return calls_; }

private:
    Session &session_;
    std::vector<Call> calls_;
    std::vector<std::uint8_t> buffer_;
};

/// Downloading one picture of the card. The engine's step is GetPicture of the camera collection
/// followed by delivering the queued progress events to the host; the bare step makes the same
/// SDK calls (file stream, item info, progress callback, download, release, complete) with a
/// progress callback that only counts.
class DownloadPair {
public:
    /// Opens the camera collection and finds \p name in it and on the card.
    DownloadPair(Session &session, const std::string &name);
    /// Bytes written by one engine download.
    std::uint64_t engineDownload();
    /// Bytes written by one bare download.
    std::uint64_t bareDownload();

    std::filesystem::path engineFile() const { return folder_.path() / "engine.bin"; }
    std::filesystem::path bareFile() const { return folder_.path() / "bare.bin"; }
    int progressDelivered() const { return progress_; }
    int bareProgressCalls() const { return bareProgress_.load(); }

private:
    Session &session_;
    TempFolder folder_;
    int position_ = -1;
    sdk::EdsRef item_;
    std::uint64_t size_ = 0;
    int progress_ = 0;
    std::atomic<int> bareProgress_{0};
};

/// RemoteStart with the probe of supported values, and RemoteEnd: once with the probe cache
/// file of the camera in place, once without a cache folder so that the camera is probed.
class ProbeRuns {
public:
    /// Probes once into a fresh cache folder, so that cached() finds the camera's file.
    explicit ProbeRuns(Session &session);
    void probed();
    void cached();
    const std::filesystem::path &cacheFolder() const { return folder_.path(); }
    /// What the last RemoteStart reported.
    const RemoteStartInfoType &lastInfo() const { return info_; }

private:
    void run(const std::string &cacheFolder);
    Session &session_;
    TempFolder folder_;
    RemoteStartInfoType info_;
};

/// The power-zoom state event (0x311) that the engine turns into a host event, fired by the
/// stand-in on its own thread.
inline constexpr std::uint32_t kBenchStateEvent = 0x311;

/// Camera events from the SDK's thread to the host's handler: the engine's callback queues each
/// one and its poll timer delivers one per 25 ms tick on the owner thread.
class EngineEvents {
public:
    explicit EngineEvents(Session &session);
    /// Fires \p count events and pumps until the host's handler has run for each; returns how
    /// many it got.
    std::size_t fire(int count);

private:
    Session &session_;
    std::size_t delivered_ = 0;
};

/// The same events straight to a state handler of our own on the camera (in place of the
/// driver's), counted on the SDK's thread.
class BareEvents {
public:
    explicit BareEvents(Session &session);
    ~BareEvents();
    BareEvents(const BareEvents &) = delete;
    BareEvents &operator=(const BareEvents &) = delete;
    /// Fires \p count events and waits until the SDK's thread has delivered them; returns how many
    /// reached the handler.
    std::size_t fire(int count);

private:
    Session &session_;
    std::atomic<std::size_t> delivered_{0};
};

} // namespace tbx::bench
