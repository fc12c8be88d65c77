// The EOS stand-in's state: the SDK objects handed to the host, each camera's session and
// handlers, and what the camera does on commands, property writes and releases.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "EdsObjects.h"
#include "Library.h"

namespace tbx::sim::eds {

/// What the SDK knows about one camera besides the model: session, handlers, live view.
struct CameraState {
    bool sessionOpen = false;
    EdsPropertyEventHandler propertyHandler = nullptr;
    EdsUInt32 propertyEvent = 0;
    void *propertyContext = nullptr;
    EdsObjectEventHandler objectHandler = nullptr;
    EdsUInt32 objectEvent = 0;
    void *objectContext = nullptr;
    EdsStateEventHandler stateHandler = nullptr;
    EdsUInt32 stateEvent = 0;
    void *stateContext = nullptr;

    bool uiLocked = false;
    bool recording = false;
    bool bulb = false;
    bool afDone = false;
    EdsUInt32 button = 0;
    int notReadyLeft = 0;
    std::uint64_t frame = 0;
    std::uint64_t hostCapacity = 0;                   ///< bytes the host said it can take
    std::uint32_t zoomPosition = 20;                  ///< power zoom, 0 (wide) to 100 (tele)
    std::vector<std::shared_ptr<Item>> pending;       ///< pictures waiting for the host
    std::map<const Item *, std::uint64_t> downloaded; ///< bytes delivered per item so far
    std::shared_ptr<Item> lastItem;
};

/// What sets one EOS-style library apart besides its camera families.
struct LibraryTraits {
    /// The property a host sets the camera's date and time with (an EdsTime record).
    EdsUInt32 clockProperty;
    /// The size of the focus-information block the library reports.
    std::size_t focusInfoSize;
};

class EosLibrary final : public SimLibrary {
public:
    /// A library serving the cameras of \a profiles (the first is the family of a camera that
    /// names none).
    EosLibrary(std::vector<const FamilyProfile *> profiles, LibraryTraits traits);
    ~EosLibrary() override;

    // Objects (in the table of SimLibrary::objects()).
    Object *find(EdsBaseRef ref) const { return static_cast<Object *>(objects().find(ref)); }
    template <class T>
    T *as(EdsBaseRef ref, Kind kind) const
    {
        Object *o = find(ref);
        return o != nullptr && o->kind == kind ? static_cast<T *>(o) : nullptr;
    }
    CameraObject *cameraObject(const std::shared_ptr<Camera> &camera);

    /// Before EdsInitializeSDK only the start and the end of the SDK are answered.
    std::optional<std::uint32_t> refusal(const char *entryPoint) const override;

    CameraState &state(const std::shared_ptr<Camera> &camera);
    std::atomic<bool> initialized{false};
    EdsCameraAddedHandler addedHandler = nullptr;
    void *addedContext = nullptr;

    // Camera behaviour.
    EdsError readProperty(const std::shared_ptr<Camera> &camera, EdsUInt32 id, EdsInt32 param, Property &out);
    EdsError writeProperty(const std::shared_ptr<Camera> &camera, EdsUInt32 id, EdsInt32 param, const void *data,
                           EdsUInt32 size);
    EdsError command(const std::shared_ptr<Camera> &camera, EdsUInt32 command, EdsInt32 param);
    EdsError release(const std::shared_ptr<Camera> &camera, bool autofocus);
    EdsError liveViewFrame(const std::shared_ptr<Camera> &camera, EvfObject &evf);
    /// Delivers \a size bytes of \a item from where the last call stopped; honours the unplug
    /// condition and the stream's progress callback.
    EdsError download(ItemObject &item, std::uint64_t size, StreamObject &stream);

    // Events (queued for the event thread).
    void postProperty(const std::shared_ptr<Camera> &camera, EdsUInt32 event, EdsUInt32 property);
    void postObject(const std::shared_ptr<Camera> &camera, EdsUInt32 event, std::shared_ptr<Volume> volume,
                    std::shared_ptr<Item> item);
    void postState(const std::shared_ptr<Camera> &camera, EdsUInt32 event, EdsUInt32 data);

protected:
    void camerasReplaced() override;
    void cameraAttached(const std::shared_ptr<Camera> &camera) override;
    void cameraDetached(const std::shared_ptr<Camera> &camera) override;
    std::uint32_t fireEventOn(const std::shared_ptr<Camera> &camera, std::uint32_t event, std::uint32_t param) override;
    std::uint32_t releaseOn(const std::shared_ptr<Camera> &camera) override;
    void propertyChangedByCamera(const std::shared_ptr<Camera> &camera, std::uint32_t property) override;

private:
    void focusInfo(const std::shared_ptr<Camera> &camera, Property &out);

    std::map<std::shared_ptr<Camera>, CameraState> states_;
    LibraryTraits traits_;
};

/// The library's one instance (defined by each library built from these bodies).
EosLibrary &library();

} // namespace tbx::sim::eds
