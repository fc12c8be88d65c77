// What every simulated SDK library has: the attached cameras, fault injection, the call log,
// the event thread, the scenario, and the control API that tests and host developers use to
// steer the simulation. A library derives from SimLibrary and adds its family's behaviour.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CallLog.h"
#include "EventPump.h"
#include "Faults.h"
#include "Model.h"
#include "Objects.h"
#include "Scenario.h"

namespace tbx::sim {

/// Results of the control API.
enum ControlResult : std::uint32_t {
    kControlOk = 0,
    kControlBadArgument = 1, ///< a null pointer, an unknown name, a value out of range
    kControlNotFound = 2,    ///< no camera with that id
    kControlScenario = 3,    ///< the scenario or camera description was rejected
    kControlState = 4,       ///< not possible now (camera detached, SDK not started, ...)
    kControlBufferSmall = 5, ///< the text did not fit; the needed size was returned
    kControlFailed = 6,      ///< the camera refused (the SDK's code is in the last error text)
};

/// The environment variable that names a scenario file (or holds scenario JSON).
inline constexpr const char *kScenarioVariable = "TBX_SIM_SCENARIO";

class SimLibrary {
public:
    /// \a profiles: the camera families of the library; it takes their cameras from a scenario.
    explicit SimLibrary(std::vector<const FamilyProfile *> profiles);
    virtual ~SimLibrary();
    SimLibrary(const SimLibrary &) = delete;
    SimLibrary &operator=(const SimLibrary &) = delete;

    /// Guards the cameras and every SDK object of the library. Recursive, because progress
    /// callbacks run inside a call and may call the SDK again.
    std::recursive_mutex &mutex() { return mutex_; }
    /// Loads the scenario named by TBX_SIM_SCENARIO, or the built-in one, at first use.
    void ensureLoaded();
    const std::vector<std::shared_ptr<Camera>> &cameras() const { return cameras_; }
    std::shared_ptr<Camera> findCamera(const char *id) const;

    /// The objects handed to the host. Use under the lock.
    ObjectTable &objects() { return objects_; }
    const ObjectTable &objects() const { return objects_; }
    /// The SDK's answer to a call of \a entryPoint that it does not serve now (before the SDK
    /// is started, say); nothing when it serves it. Called under the lock.
    virtual std::optional<std::uint32_t> refusal(const char *entryPoint) const
    {
        (void)entryPoint;
        return std::nullopt;
    }

    /// Counts \a size bytes between host and camera against the camera's unplug condition:
    /// nothing when all of them pass, else how many pass before the cable goes (the count
    /// reaching the limit unplugs). The caller delivers those and then calls detach().
    std::optional<std::uint64_t> bytesBeforeUnplug(const std::shared_ptr<Camera> &camera, std::uint64_t size);
    /// A whole-object transfer (a live-view frame, a thumbnail) of \a size bytes: false when
    /// the cable goes before it is through (the camera is detached then).
    bool carries(const std::shared_ptr<Camera> &camera, std::uint64_t size);
    /// A new file made by the camera: "<prefix><number in 4 digits>.<extension>", with the
    /// camera's time, \a number as its group and the object format of the camera's family;
    /// \a size 0 and \a width, \a height 0 take the content's own.
    std::shared_ptr<Item> newFile(const Camera &camera, const std::string &prefix, std::uint32_t number,
                                  const char *extension, ItemKind kind, std::uint64_t size, int width,
                                  int height) const;

    Faults &faults() { return faults_; }
    CallLog &callLog() { return log_; }
    EventPump &pump() { return pump_; }
    EventPump::Mode delivery() const { return delivery_; }

    // The control API (exported by every simulated library with the prefix TbxSim_).
    std::uint32_t loadScenario(const char *textOrPath);
    std::uint32_t reset();
    std::uint32_t attachCamera(const char *idOrJson);
    std::uint32_t detachCamera(const char *id);
    std::uint32_t injectFault(const char *entryPoint, std::uint32_t code, std::int32_t count);
    std::uint32_t clearFaults();
    std::uint32_t setBusy(const char *id, std::int32_t calls);
    std::uint32_t unplug(const char *id, std::uint64_t afterBytes);
    std::uint32_t getCallLog(char *buffer, std::uint32_t size, std::uint32_t *outSize);
    std::uint32_t clearCallLog();
    std::uint32_t fireEvent(const char *id, std::uint32_t event, std::uint32_t param);
    std::uint32_t releaseShutter(const char *id);
    std::uint32_t setProperty(const char *id, std::uint32_t property, const void *data, std::uint32_t size);
    std::uint32_t getProperty(const char *id, std::uint32_t property, void *data, std::uint32_t size,
                              std::uint32_t *outSize);
    std::uint32_t waitIdle(std::uint32_t milliseconds);
    std::uint32_t objectCount();
    std::uint32_t lastError(char *buffer, std::uint32_t size, std::uint32_t *outSize);

protected:
    /// The cameras of the old scenario are about to go (they are detached already).
    virtual void camerasReplaced() = 0;
    virtual void cameraAttached(const std::shared_ptr<Camera> &camera) = 0;
    virtual void cameraDetached(const std::shared_ptr<Camera> &camera) = 0;
    /// Fires a family event code; kControlBadArgument when the code is not one of the family's.
    virtual std::uint32_t fireEventOn(const std::shared_ptr<Camera> &camera, std::uint32_t event,
                                      std::uint32_t param) = 0;
    /// The camera's own shutter button; returns the family's SDK result (0 = done).
    virtual std::uint32_t releaseOn(const std::shared_ptr<Camera> &camera) = 0;
    virtual void propertyChangedByCamera(const std::shared_ptr<Camera> &camera, std::uint32_t property) = 0;

    std::uint32_t error(std::uint32_t code, const std::string &text);
    /// Detaches a camera as an unplugged cable would; calls cameraDetached.
    void detach(const std::shared_ptr<Camera> &camera);

private:
    std::uint32_t install(Scenario scenario);
    /// The camera with \a id (the first attached one for an empty id); records the error when
    /// there is none. Call under the lock.
    std::shared_ptr<Camera> cameraFor(const char *id);
    std::string startupScenario(std::string &origin) const;

    std::recursive_mutex mutex_;
    std::vector<const FamilyProfile *> profiles_;
    std::vector<std::shared_ptr<Camera>> cameras_;
    ObjectTable objects_;
    Faults faults_;
    CallLog log_;
    EventPump pump_;
    EventPump::Mode delivery_ = EventPump::Mode::Thread;
    bool loaded_ = false;
    std::mutex errorMutex_;
    std::string lastError_;
};

/// Copies \a text with its terminator into a caller's buffer: the needed size (with the
/// terminator) goes to \a outSize; kControlBufferSmall when it does not fit.
std::uint32_t copyOut(const std::string &text, char *buffer, std::uint32_t size, std::uint32_t *outSize);

} // namespace tbx::sim
