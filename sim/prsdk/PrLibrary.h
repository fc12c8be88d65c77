// The PTP stand-in's state: the camera objects handed to the host by 32-bit handle, each one's
// connection, event callback, release control, viewfinder and released pictures, and what the
// camera does on property writes and releases. The SDK's types and codes are the binding's
// (sdk/PRAPI.h), so that the stand-in and the binding cannot disagree about a layout.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "Library.h"
#include "PrProfile.h"
#include "sdk/PRAPI.h"

namespace tbx::sim::pr {

using namespace tbx::sdk;

/// The library's own result for a camera that has gone (the cable was pulled): the Windows
/// component with ERROR_DEVICE_NOT_CONNECTED, as the library's lower layers report it.
inline constexpr prResponse kDeviceGone = 0x00400000 | 1167;
/// The PRSDK component's ids, and the PTP component's responses.
constexpr prResponse sdkError(prResponse id) { return prERROR_PRSDK_COMPONENT | id; }
constexpr prResponse ptpError(prResponse id) { return prERROR_PTP_COMPONENT | id; }

/// A picture waiting in the camera for PR_RC_GetReleasedData.
struct Released {
    std::shared_ptr<Item> item;
    prptpEventCode event = 0; ///< 0xC008: the picture, 0xC009: its thumbnail
};

/// A camera object: what PR_CreateCameraObject hands out.
struct CameraObject final : SimObject {
    const char *kindName() const override { return "camera"; }

    prHandle handle = 0;
    std::shared_ptr<Camera> camera;
    bool connected = false;
    prSetEventCB *eventCallback = nullptr;
    prContext eventContext = 0;
    bool releaseControl = false;
    std::map<prObjectHandle, Released> released;
    std::vector<std::uint16_t> changedParams; ///< since the last PR_RC_GetChangedReleaseParamesList

    std::shared_ptr<struct Viewfinder> viewfinder;
};

/// A running viewfinder: frames come from a thread of its own, which holds this record (not the
/// camera object, which the host may destroy meanwhile).
struct Viewfinder {
    prHandle handle = 0;
    std::shared_ptr<Camera> camera;
    prViewFinderCB *callback = nullptr;
    prContext context = 0;
    std::mutex mutex; ///< guards what follows; the thread waits on wake between frames
    std::condition_variable wake;
    bool stop = false;
    /// Frames asked for through the control API, and how many of them the thread has dealt with
    /// (delivered, or dropped for a camera that is away). Once one is asked for, the thread makes
    /// no frames of its own: a test or benchmark gets exactly the frames it asks for.
    std::uint64_t asked = 0;
    std::uint64_t served = 0;
    std::thread thread;
};

class PrLibrary final : public SimLibrary {
public:
    PrLibrary();
    ~PrLibrary() override;

    /// Before PR_StartSDK only the start and the end of the SDK and the versions are answered.
    std::optional<std::uint32_t> refusal(const char *entryPoint) const override;

    std::atomic<bool> started{false};

    /// The live object of \a handle; nullptr for any other number. Use under the lock.
    CameraObject *object(prHandle handle) const;
    /// Checks that \a object may talk to its camera now: connected, attached, not busy.
    prResponse ready(CameraObject *object, bool needReleaseControl);
    CameraObject *create(const std::shared_ptr<Camera> &camera);
    std::vector<CameraObject *> allObjects() const;
    void destroy(CameraObject *object);

    /// The record of a camera in the device list.
    static PrDeviceInfoTable deviceRecord(const Camera &camera);
    /// The device information dataset of a camera.
    std::vector<std::uint8_t> deviceInfo(const Camera &camera) const;
    /// The description dataset of a property; empty when the camera has no such property.
    std::optional<std::vector<std::uint8_t>> propertyDesc(const Camera &camera, std::uint16_t code) const;
    /// The value bytes of a property as the SDK hands them over.
    std::optional<std::vector<std::uint8_t>> propertyValue(const Camera &camera, std::uint16_t code) const;
    prResponse writeProperty(CameraObject &object, std::uint16_t code, const void *data, std::uint32_t size);

    prResponse release(CameraObject &object);
    /// Delivers a released picture in blocks of \a blockSize through \a callback, on the calling
    /// thread; honours the unplug condition and a callback that cancels.
    prResponse transfer(CameraObject &object, prObjectHandle handle, prptpEventCode event, std::uint32_t blockSize,
                        prContext context, prGetFileDataCB *callback);

    prResponse startViewfinder(CameraObject &object, prContext context, prViewFinderCB *callback);
    /// Ends the viewfinder of the object \a handle (every one for 0) and waits for its thread,
    /// unless called from that thread (a frame callback that stops the viewfinder). Call without
    /// the lock: a frame being made needs it.
    void stopViewfinders(prHandle handle);

    /// Queues an event container for the object's callback on the event thread.
    void post(CameraObject &object, prptpEventCode code, std::vector<std::uint32_t> params);

protected:
    void camerasReplaced() override;
    void cameraAttached(const std::shared_ptr<Camera> &camera) override;
    void cameraDetached(const std::shared_ptr<Camera> &camera) override;
    std::uint32_t fireEventOn(const std::shared_ptr<Camera> &camera, std::uint32_t event, std::uint32_t param) override;
    std::uint32_t releaseOn(const std::shared_ptr<Camera> &camera) override;
    void propertyChangedByCamera(const std::shared_ptr<Camera> &camera, std::uint32_t property) override;

private:
    void frameLoop(const std::shared_ptr<Viewfinder> &viewfinder);
    /// The frame \a frame of the viewfinder's camera, or nothing when the camera cannot send one.
    std::vector<std::uint8_t> makeFrame(const Viewfinder &viewfinder, std::uint64_t frame);
    /// Asks the camera's running viewfinder for one frame now; the event thread counts as busy
    /// until the frame thread has dealt with it, so TbxSim_WaitIdle waits for the frame.
    std::uint32_t askFrame(const std::shared_ptr<Camera> &camera);
    std::vector<CameraObject *> objectsOf(const std::shared_ptr<Camera> &camera) const;

    std::map<prHandle, CameraObject *> handles_;
    /// Every viewfinder whose thread has not been joined yet.
    std::vector<std::shared_ptr<Viewfinder>> viewfinders_;
    /// Frame threads whose viewfinder was stopped from their own frame callback: they cannot join
    /// themselves, so the next stop from another thread (at the latest the library's end) does.
    std::vector<std::thread> selfStopped_;
    prHandle nextHandle_ = 0x00A10000;
    prObjectHandle nextObject_ = 0x00010001;
};

PrLibrary &library();

/// The milliseconds between two viewfinder frames.
inline constexpr int kFrameIntervalMs = 20;
/// What TbxSim_FireEvent takes, besides a PTP event code, for one viewfinder frame now.
inline constexpr std::uint32_t kFireViewfinderFrame = 0x20000000;

} // namespace tbx::sim::pr
