// The legacy PowerShot stand-in's state: the handles it gives the host (32-bit numbers, as the
// vendor's library gives them), each open source with its callbacks, release control and
// viewfinder, and what the camera does on settings, releases and transfers.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Library.h"
#include "sdk/CDTypes.h"

namespace tbx::sim::cd {

using namespace tbx::sdk;

// Result codes: the library's component (0x0C000000) with an error id.
inline constexpr CdError kOk = 0;
inline constexpr CdError kComponent = 0x0C000000;
inline constexpr CdError kNotSupported = kComponent | 0x07;
inline constexpr CdError kInvalidParameter = kComponent | 0x60;
inline constexpr CdError kInvalidHandle = kComponent | 0x61;
inline constexpr CdError kInvalidPointer = kComponent | 0x62;
inline constexpr CdError kInvalidLength = kComponent | 0x64;
inline constexpr CdError kDeviceNotFound = kComponent | 0x80;
inline constexpr CdError kDeviceBusy = kComponent | 0x81;
inline constexpr CdError kDeviceNoDisk = kComponent | 0x87;
inline constexpr CdError kFileWriteError = kComponent | 0x28;
inline constexpr CdError kOperationCancelled = kComponent | 0x05;
inline constexpr CdError kDisconnected = kComponent | 0xC1;
inline constexpr CdError kEnumEnd = kComponent | 0xF0;
inline constexpr CdError kInvalidCall = kComponent | 0xF1;

// Keys of the camera model's property map. Device properties keep their own ids; the shooting
// settings that have calls of their own and the release-camera settings (whose ids overlap the
// device properties') live in key spaces of their own.
inline constexpr std::uint32_t kSettingKey = 0x20000000; ///< | one of the Setting values
inline constexpr std::uint32_t kRelCamKey = 0x40000000;  ///< | a release-camera setting id

enum Setting : std::uint32_t {
    kImageFormat = 1, ///< quality in the low half, size in the high half
    kShootingMode,
    kAv,
    kTv,
    kExposureComp,
    kWhiteBalance,
    kAFDistance,
    kFlashMode,
    kDriveMode,
    kZoom,
    kMaxZoom,
    kMaxOpticalZoom,
    kEnumerations, ///< 0: no enumeration of values starts (older firmware)
};

inline constexpr std::uint32_t settingKey(Setting s) { return kSettingKey | s; }
inline constexpr std::uint32_t relCamKey(CdRelCamSettingID id) { return kRelCamKey | id; }

// Device properties the stand-in serves.
inline constexpr CdDevicePropertyID kPropModelName = 0x00000002;
inline constexpr CdDevicePropertyID kPropFaculty = 0x00000008;
inline constexpr CdDevicePropertyID kPropOwnerName = 0x0800000C;
inline constexpr CdDevicePropertyID kPropTime = 0x0800000D;
inline constexpr CdDevicePropertyID kPropFirmware = 0x0000000E;
inline constexpr CdDevicePropertyID kPropBattery = 0x0000000F;
inline constexpr CdRelCamSettingID kRelFlashComp = 0x0800000D;

// What the control API's FireEvent sends besides a camera event word.
inline constexpr std::uint32_t kFireReleaseEvent = 0x40000000;    ///< | release event id
inline constexpr std::uint32_t kFireViewfinderFrame = 0x20000000; ///< one frame now

/// What the host holds a handle to.
enum class Kind { DeviceEnum, PropertyEnum, VolumeEnum, ItemEnum, ValueEnum, Source, ImageData };

struct Object : SimObject {
    explicit Object(Kind k) : kind(k) {}
    const char *kindName() const override;
    Kind kind;
    CdHandle handle = 0;
};

/// The state of one open source: the camera and what the host has set up on it.
struct SourceObject final : Object {
    SourceObject() : Object(Kind::Source) {}
    std::shared_ptr<Camera> camera;
    CdEventCallbackFunction *eventCallback = nullptr;
    CdContext eventContext = 0;
    CdHandle registration = 0;
    bool releaseControl = false;
    CdReleaseEventCallbackFunction *releaseCallback = nullptr;
    CdContext releaseContext = 0;
    CdRelDataKind dataKind = 0x0008; ///< picture to the camera
    struct Released {
        std::shared_ptr<Item> picture;
        bool thumbnail = false; ///< its thumbnail rather than the picture
    };
    std::vector<Released> released; ///< waiting for CDGetReleasedData, in order
    bool viewfinder = false;
    CdViewfinderCallbackFunction *frameCallback = nullptr;
    CdContext frameContext = 0;
    std::uint64_t frames = 0;
};

/// An enumeration: the values still to come, as 32-bit words (or handles), and their size.
struct EnumObject final : Object {
    explicit EnumObject(Kind k) : Object(k) {}
    std::vector<std::uint32_t> values;
    std::vector<std::shared_ptr<Camera>> cameras; ///< device enumeration
    std::size_t next = 0;
    std::uint32_t elementSize = 4;
};

/// Data of an open image: its thumbnail or its picture.
struct ImageDataObject final : Object {
    ImageDataObject() : Object(Kind::ImageData) {}
    std::shared_ptr<Camera> camera;
    std::shared_ptr<Item> item;
    bool thumbnail = false;
};

class CdLibrary final : public SimLibrary {
public:
    CdLibrary();
    ~CdLibrary() override;

    std::optional<std::uint32_t> refusal(const char *entryPoint) const override;
    std::atomic<bool> started{false};

    // Handles (use under the lock).
    template <class T>
    T *adopt(T *object)
    {
        objects().adopt(object);
        object->handle = nextHandle_++;
        handles_[object->handle] = object;
        return object;
    }
    Object *find(CdHandle handle) const;
    template <class T>
    T *as(CdHandle handle, Kind kind) const
    {
        Object *o = find(handle);
        return o != nullptr && o->kind == kind ? static_cast<T *>(o) : nullptr;
    }
    EnumObject *enumeration(CdHandle handle) const;
    void free(Object *object);
    /// The images the host has opened (CDOpenImage) with the image data got from each.
    std::map<CdHandle, std::vector<CdHandle>> openImages;
    void freeAll();
    /// The source handle of a camera whose answer needs it (nullptr when the host has none).
    SourceObject *sourceOf(const std::shared_ptr<Camera> &camera) const;

    /// The stable handle of a volume or an item, the same for the library's lifetime.
    CdHandle itemHandle(const std::shared_ptr<Camera> &camera, const void *thing);
    struct ItemRef {
        std::shared_ptr<Camera> camera;
        std::shared_ptr<Volume> volume;
        std::shared_ptr<Item> item; ///< empty for a volume
    };
    std::optional<ItemRef> itemOf(CdHandle handle) const;

    /// kOk when the source's camera can answer now: attached, not busy.
    CdError ready(const SourceObject *source) const;
    CdError readyCamera(const std::shared_ptr<Camera> &camera) const;

    // Camera behaviour.
    std::uint32_t setting(const Camera &camera, std::uint32_t key, std::uint32_t fallback = 0) const;
    CdError writeSetting(Camera &camera, std::uint32_t key, std::uint32_t value);
    std::vector<std::uint32_t> allowedOf(const Camera &camera, std::uint32_t key) const;
    CdError release(SourceObject &source, CdUInt32 *numData);
    /// Writes \p bytes into the file \p medium names, \p blocks at a time with progress; stops
    /// where the cable goes (what passed is in the file then).
    CdError deliver(const std::shared_ptr<Camera> &camera, const std::vector<std::uint8_t> &bytes,
                    const CdStgMedium *medium, CdProgressCallbackFunction *progress, CdContext context,
                    CdProgressOption option);

    // Callbacks, run on the library's event thread.
    void postCameraEvent(const std::shared_ptr<Camera> &camera, CdEventID event, CdUInt32 param);
    void postReleaseEvent(SourceObject &source, CdReleaseEventID event, CdUInt32 param);
    void postFrame(SourceObject &source);
    void startViewfinder(SourceObject &source);
    void stopViewfinder(SourceObject &source);
    /// Ends the viewfinder clock's thread (call without the library lock).
    void stopTicker();

protected:
    void camerasReplaced() override;
    void cameraAttached(const std::shared_ptr<Camera> &camera) override;
    void cameraDetached(const std::shared_ptr<Camera> &camera) override;
    std::uint32_t fireEventOn(const std::shared_ptr<Camera> &camera, std::uint32_t event, std::uint32_t param) override;
    std::uint32_t releaseOn(const std::shared_ptr<Camera> &camera) override;
    void propertyChangedByCamera(const std::shared_ptr<Camera> &camera, std::uint32_t property) override;

private:
    void tick();

    std::map<CdHandle, Object *> handles_;
    CdHandle nextHandle_ = 0x1001;
    std::map<const void *, CdHandle> itemHandles_;
    std::map<CdHandle, ItemRef> itemsByHandle_;
    CdHandle nextItemHandle_ = 0x100001;

    // The viewfinder clock: a thread of the library's own that asks for a frame every period
    // while any source streams, as the camera sends them.
    std::thread ticker_;
    std::mutex tickMutex_;
    std::condition_variable tickWake_;
    bool tickStop_ = false;
    int streaming_ = 0;
};

CdLibrary &library();
const FamilyProfile &legacyProfile();

} // namespace tbx::sim::cd
