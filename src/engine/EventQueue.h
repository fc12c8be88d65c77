// The queue that carries camera events from SDK threads to the engine's owner thread.
#pragma once

#include "engine/CamDefines.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <variant>

namespace tbx {

/// Kinds of queued events, each delivered to one event property of the engine.
enum class EventKind : std::uint8_t {
    Camera = 0,             ///< OnEvent
    ViewfinderFrame = 1,    ///< OnViewfinderEvent
    Remote = 2,             ///< OnRemoteEvent
    TakePicture = 3,        ///< OnRemoteTakePictureEvent
    RemoteGetPicture = 4,   ///< OnRemoteGetPictureEvent
    RemoteGetMovie = 5,     ///< OnRemoteGetMovieEvent
    GetPicture = 6,         ///< OnGetPictureEvent
    ProbeParam = 7,         ///< OnRemoteProbeParamEvent
    RawDevelop = 8,         ///< OnRawDevelopEvent (nothing produces it)
};

/// Data of a remote event (kind 2).
struct RemoteEventItem {
    RemoteEventCallbackType Event = RemoteEventCallbackNotUsed;
    AdditionNotifyRemoteEventType Data;
};

/// One queued event: its kind and its data, always together.
struct QueuedEvent {
    EventKind Kind = EventKind::Camera;
    /// EventCallbackType for kind 0, the frame for kind 1, RemoteEventItem for kind 2, the
    /// percentage for kinds 3 to 8.
    std::variant<EventCallbackType, JpegBlob, RemoteEventItem, int> Data;
};

/// First in, first out; each entry is appended and removed whole under one lock, so producers on
/// any thread and the consumer on the owner thread never see a kind without its data. The queue
/// accepts entries only while open; closing it frees whatever is still queued.
/// \context Thread-safe.
class EventQueue {
public:
    void open();
    /// Closes the queue and frees every queued entry.
    void close();
    bool isOpen() const;
    /// Appends \p event; false (and nothing queued) while the queue is closed.
    bool push(QueuedEvent event);
    /// Detaches the oldest entry; empty when there is none.
    std::optional<QueuedEvent> pop();
    std::size_t size() const;

private:
    mutable std::mutex mutex_;
    std::deque<QueuedEvent> entries_;
    bool open_ = false;
};

} // namespace tbx
