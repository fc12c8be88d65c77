#include "CdLibrary.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "Content.h"

namespace tbx::sim::cd {

namespace {

constexpr std::uint32_t kTypeUInt32 = 1;
constexpr std::uint32_t kTypeString = 2;
constexpr std::uint64_t kTransferBlock = 64 * 1024;
constexpr auto kFramePeriod = std::chrono::milliseconds(50);

// The release data kinds (bit flags).
constexpr CdRelDataKind kThumbToPc = 0x0001;
constexpr CdRelDataKind kPictToPc = 0x0002;
constexpr CdRelDataKind kPictToCam = 0x0008;

// Release events.
constexpr CdReleaseEventID kReleaseStart = 28;
constexpr CdReleaseEventID kReleaseComplete = 29;
constexpr CdReleaseEventID kCamReleaseOn = 30;
// Camera events.
constexpr CdEventID kEventReleaseParamChanged = 0x000B;
constexpr CdEventID kEventConnectionDisappeared = 0x000D;

struct Named {
    const char *name;
    std::uint32_t key;
};

constexpr Named kNames[] = {
    {"ModelName", kPropModelName},
    {"Faculty", kPropFaculty},
    {"OwnerName", kPropOwnerName},
    {"FirmwareVersion", kPropFirmware},
    {"BatteryLevel", kPropBattery},
    {"Battery", kPropBattery},
    {"ImageFormat", settingKey(kImageFormat)},
    {"ShootingMode", settingKey(kShootingMode)},
    {"Av", settingKey(kAv)},
    {"Tv", settingKey(kTv)},
    {"ExposureCompensation", settingKey(kExposureComp)},
    {"WhiteBalance", settingKey(kWhiteBalance)},
    {"AFDistance", settingKey(kAFDistance)},
    {"FlashMode", settingKey(kFlashMode)},
    {"DriveMode", settingKey(kDriveMode)},
    {"Zoom", settingKey(kZoom)},
    {"MaxZoom", settingKey(kMaxZoom)},
    {"MaxOpticalZoom", settingKey(kMaxOpticalZoom)},
    {"Enumerations", settingKey(kEnumerations)},
    {"FlashCompensation", relCamKey(kRelFlashComp)},
    {"Beep", relCamKey(0x08000002)},
    {"MLWeiMode", relCamKey(0x08000004)},
    {"Contrast", relCamKey(0x08000008)},
    {"ColorGain", relCamKey(0x08000009)},
    {"Sharpness", relCamKey(0x0800000A)},
    {"ISO", relCamKey(0x0800000C)},
    {"PhotoEffect", relCamKey(0x08000B00)},
    {"Kelvin", relCamKey(0x00001100)},
};

std::vector<std::int32_t> words(std::initializer_list<std::uint32_t> values) { return {values.begin(), values.end()}; }

/// Exposure codes in third stops from \p first to \p last: a stop is 8 units, its thirds +3, +5.
std::vector<std::int32_t> thirds(std::int32_t first, std::int32_t last)
{
    std::vector<std::int32_t> out;
    for (std::int32_t stop = first; stop <= last; stop += 8)
        for (std::int32_t third : {0, 3, 5})
            if (stop + third <= last)
                out.push_back(stop + third);
    return out;
}

void legacyDefaults(Camera &c)
{
    c.description = "Canon PowerShot G5";
    c.portName = "USB:SIM-CD-0001";
    // One empty CompactFlash card unless the scenario says otherwise.
    auto card = std::make_shared<Volume>();
    card->label = "CF1";
    card->capacity = 512ull * 1000 * 1000;
    c.volumes.push_back(card);
    auto &p = c.properties;
    p[kPropModelName] = Property::string(kTypeString, c.description, 32, false);
    // Remote release with zoom, settings, viewfinder and AF lock.
    p[kPropFaculty] = Property::u32(kTypeUInt32, 0x4000001F, false);
    p[kPropOwnerName] = Property::string(kTypeString, "", 32, true);
    p[kPropFirmware] = Property::string(kTypeString, "1.0.1.0", 32, false);
    p[kPropBattery] = Property::u32(kTypeUInt32, 80, false);
    std::vector<std::int32_t> formats;
    for (std::uint32_t quality : {1u, 2u, 3u, 5u})
        for (std::uint32_t size : {0u, 1u, 2u})
            formats.push_back(static_cast<std::int32_t>(quality | size << 16));
    p[settingKey(kImageFormat)] = Property::u32(kTypeUInt32, 3).list(formats);
    p[settingKey(kShootingMode)] = Property::u32(kTypeUInt32, 1).list(words({0, 1, 2, 3, 4, 0x69, 0x6C, 0x6E}));
    p[settingKey(kAv)] = Property::u32(kTypeUInt32, 0x30).list(thirds(0x20, 0x40));
    p[settingKey(kTv)] = Property::u32(kTypeUInt32, 0x70).list(thirds(0x10, 0x98));
    p[settingKey(kExposureComp)] = Property::u32(kTypeUInt32, 0x18).list(thirds(0x08, 0x28));
    p[settingKey(kWhiteBalance)] = Property::u32(kTypeUInt32, 0).list(words({0, 1, 2, 3, 4, 5, 6, 8}));
    p[settingKey(kAFDistance)] = Property::u32(kTypeUInt32, 1).list(words({1, 3, 6, 7}));
    p[settingKey(kFlashMode)] = Property::u32(kTypeUInt32, 1).list(words({0, 1, 2, 3, 4}));
    p[settingKey(kDriveMode)] = Property::u32(kTypeUInt32, 0).list(words({0, 1, 0x10}));
    p[settingKey(kZoom)] = Property::u32(kTypeUInt32, 0);
    p[settingKey(kMaxZoom)] = Property::u32(kTypeUInt32, 16);
    p[settingKey(kMaxOpticalZoom)] = Property::u32(kTypeUInt32, 8);
    p[settingKey(kEnumerations)] = Property::u32(kTypeUInt32, 1);
    p[relCamKey(kRelFlashComp)] = Property::u32(kTypeUInt32, 0x18).list(thirds(0x08, 0x28));
    p[relCamKey(0x08000002)] = Property::u32(kTypeUInt32, 1).list(words({0, 1}));
    p[relCamKey(0x08000004)] = Property::u32(kTypeUInt32, 3).list(words({0, 1, 3}));
    for (std::uint32_t id : {0x08000008u, 0x08000009u, 0x0800000Au})
        p[relCamKey(id)] = Property::u32(kTypeUInt32, 0).list(words({0xFF, 0, 1}));
    p[relCamKey(0x0800000C)] = Property::u32(kTypeUInt32, 0).list(words({0, 72, 80, 88, 96}));
    p[relCamKey(0x08000B00)] = Property::u32(kTypeUInt32, 0).list(words({0, 1, 2, 3, 4}));
    p[relCamKey(0x00001100)] = Property::u32(kTypeUInt32, 5200);
    p[relCamKey(0x00001100)].range = std::make_pair(std::int64_t{2500}, std::int64_t{10000});
}

} // namespace

const char *Object::kindName() const
{
    switch (kind) {
    case Kind::DeviceEnum:
        return "devices";
    case Kind::PropertyEnum:
        return "properties";
    case Kind::VolumeEnum:
        return "volumes";
    case Kind::ItemEnum:
        return "items";
    case Kind::ValueEnum:
        return "values";
    case Kind::Source:
        return "source";
    case Kind::ImageData:
        return "imagedata";
    }
    return "object";
}

const FamilyProfile &legacyProfile()
{
    static const FamilyProfile profile{
        "PowerShot legacy",
        legacyDefaults,
        [](const std::string &name) -> std::optional<std::uint32_t> {
            for (const Named &n : kNames)
                if (name == n.name)
                    return n.key;
            return std::nullopt;
        },
        [](const std::string &name) -> std::optional<std::uint32_t> {
            if (name == "UInt32")
                return kTypeUInt32;
            if (name == "String")
                return kTypeString;
            return std::nullopt;
        },
        [](const Item &item) -> std::uint32_t { return item.kind == ItemKind::Jpeg ? 1 : 2; },
        [](const std::string &) -> std::uint32_t { return 2; },
        [](Camera &camera, bool) {
            if (Property *model = camera.property(kPropModelName))
                model->setText(camera.description);
        },
    };
    return profile;
}

CdLibrary &library()
{
    static CdLibrary instance;
    return instance;
}

CdLibrary::CdLibrary() : SimLibrary({&legacyProfile()}) {}

CdLibrary::~CdLibrary()
{
#if defined(_WIN32)
    // As the event thread: no join while the library unloads (CDFinishSDK ends the thread).
    if (ticker_.joinable())
        ticker_.detach();
#else
    stopTicker();
#endif
#if !defined(_WIN32)
    pump().stop();
#endif
    std::lock_guard lock(mutex());
    freeAll();
}

std::optional<std::uint32_t> CdLibrary::refusal(const char *entryPoint) const
{
    if (started || std::strcmp(entryPoint, "CDStartSDK") == 0 || std::strcmp(entryPoint, "CDFinishSDK") == 0 ||
        std::strcmp(entryPoint, "CDGetSDKVersion") == 0)
        return std::nullopt;
    return kInvalidCall;
}

Object *CdLibrary::find(CdHandle handle) const
{
    auto it = handles_.find(handle);
    return it == handles_.end() ? nullptr : it->second;
}

EnumObject *CdLibrary::enumeration(CdHandle handle) const
{
    Object *o = find(handle);
    if (o == nullptr || o->kind == Kind::Source || o->kind == Kind::ImageData)
        return nullptr;
    return static_cast<EnumObject *>(o);
}

void CdLibrary::free(Object *object)
{
    if (object->kind == Kind::Source)
        stopViewfinder(*static_cast<SourceObject *>(object));
    handles_.erase(object->handle);
    objects().release(object);
}

void CdLibrary::freeAll()
{
    for (auto &[handle, object] : handles_)
        if (object->kind == Kind::Source)
            stopViewfinder(*static_cast<SourceObject *>(object));
    handles_.clear();
    openImages.clear();
    objects().freeAll();
}

SourceObject *CdLibrary::sourceOf(const std::shared_ptr<Camera> &camera) const
{
    for (const auto &[handle, object] : handles_)
        if (object->kind == Kind::Source && static_cast<SourceObject *>(object)->camera == camera)
            return static_cast<SourceObject *>(object);
    return nullptr;
}

CdHandle CdLibrary::itemHandle(const std::shared_ptr<Camera> &camera, const void *thing)
{
    auto it = itemHandles_.find(thing);
    if (it != itemHandles_.end())
        return it->second;
    ItemRef ref{camera, nullptr, nullptr};
    for (const auto &volume : camera->volumes) {
        if (volume.get() == thing) {
            ref.volume = volume;
            break;
        }
    }
    if (!ref.volume) {
        // An item: remember it with its volume.
        std::function<std::shared_ptr<Item>(const std::vector<std::shared_ptr<Item>> &)> search =
            [&](const std::vector<std::shared_ptr<Item>> &items) -> std::shared_ptr<Item> {
            for (const auto &item : items) {
                if (item.get() == thing)
                    return item;
                if (auto found = search(item->children))
                    return found;
            }
            return nullptr;
        };
        for (const auto &volume : camera->volumes)
            if (auto item = search(volume->items)) {
                ref.volume = volume;
                ref.item = item;
                break;
            }
    }
    const CdHandle handle = nextItemHandle_++;
    itemHandles_[thing] = handle;
    itemsByHandle_[handle] = ref;
    return handle;
}

std::optional<CdLibrary::ItemRef> CdLibrary::itemOf(CdHandle handle) const
{
    auto it = itemsByHandle_.find(handle);
    if (it == itemsByHandle_.end() || (it->second.item && it->second.item->removed))
        return std::nullopt;
    return it->second;
}

CdError CdLibrary::readyCamera(const std::shared_ptr<Camera> &camera) const
{
    if (!camera->attached)
        return kDisconnected;
    if (camera->takeBusy())
        return kDeviceBusy;
    return kOk;
}

CdError CdLibrary::ready(const SourceObject *source) const
{
    return source == nullptr ? kInvalidHandle : readyCamera(source->camera);
}

std::uint32_t CdLibrary::setting(const Camera &camera, std::uint32_t key, std::uint32_t fallback) const
{
    auto it = camera.properties.find(key);
    return it == camera.properties.end() ? fallback : it->second.asU32();
}

std::vector<std::uint32_t> CdLibrary::allowedOf(const Camera &camera, std::uint32_t key) const
{
    auto it = camera.properties.find(key);
    if (it == camera.properties.end())
        return {};
    if (it->second.allowed.empty())
        return {it->second.asU32()};
    return {it->second.allowed.begin(), it->second.allowed.end()};
}

CdError CdLibrary::writeSetting(Camera &camera, std::uint32_t key, std::uint32_t value)
{
    // Aperture and shutter speed follow the dial: Av in Av and M, Tv in Tv and M.
    const std::uint32_t mode = setting(camera, settingKey(kShootingMode));
    if ((key == settingKey(kAv) && mode != 3 && mode != 4) || (key == settingKey(kTv) && mode != 2 && mode != 4))
        return kNotSupported;
    switch (camera.write(key, 0, &value, sizeof value)) {
    case WriteResult::Ok:
        return kOk;
    case WriteResult::Unknown:
        return kNotSupported;
    default:
        return kInvalidParameter;
    }
}

CdError CdLibrary::deliver(const std::shared_ptr<Camera> &camera, const std::vector<std::uint8_t> &bytes,
                           const CdStgMedium *medium, CdProgressCallbackFunction *progress, CdContext context,
                           CdProgressOption option)
{
    if (medium == nullptr || medium->Type != 0 || medium->u.lpszFileName == nullptr)
        return kInvalidParameter;
    std::ofstream file(medium->u.lpszFileName, std::ios::binary | std::ios::trunc);
    if (!file)
        return kFileWriteError;
    const bool report = progress != nullptr && option != 1;
    std::uint64_t done = 0;
    while (done < bytes.size()) {
        std::uint64_t block = std::min<std::uint64_t>(kTransferBlock, bytes.size() - done);
        const auto passing = bytesBeforeUnplug(camera, block);
        if (passing)
            block = *passing;
        file.write(reinterpret_cast<const char *>(bytes.data() + done), static_cast<std::streamsize>(block));
        done += block;
        if (passing) {
            detach(camera);
            return kDisconnected;
        }
        if (!file)
            return kFileWriteError;
        if (report && progress(static_cast<CdUInt32>(done * 100 / bytes.size()), 1, context) == kOperationCancelled)
            return kOperationCancelled;
    }
    if (bytes.empty() && report)
        progress(100, 1, context);
    return kOk;
}

CdError CdLibrary::release(SourceObject &source, CdUInt32 *numData)
{
    Camera &camera = *source.camera;
    if (camera.volumes.empty() && (source.dataKind & kPictToCam) != 0)
        return kDeviceNoDisk;
    const std::uint32_t number = camera.takeFileNumber();
    auto picture = newFile(camera, camera.release.filePrefix, number, "JPG", ItemKind::Jpeg, 0, camera.pictureWidth,
                           camera.pictureHeight);
    if ((source.dataKind & kPictToCam) != 0) {
        auto folder = camera.volumes.front()->folder(camera.release.folder, true);
        picture->parent = folder;
        folder->children.push_back(picture);
    }
    CdUInt32 count = 0;
    if ((source.dataKind & kThumbToPc) != 0) {
        source.released.push_back({picture, true}); // its thumbnail first
        ++count;
    }
    if ((source.dataKind & kPictToPc) != 0) {
        source.released.push_back({picture, false});
        ++count;
    }
    if (numData != nullptr)
        *numData = count;
    postReleaseEvent(source, kReleaseStart, 0);
    postReleaseEvent(source, kReleaseComplete, count);
    return kOk;
}

void CdLibrary::postCameraEvent(const std::shared_ptr<Camera> &camera, CdEventID event, CdUInt32 param)
{
    SourceObject *source = sourceOf(camera);
    if (source == nullptr || source->eventCallback == nullptr)
        return;
    const CdHandle handle = source->handle;
    pump().post([this, handle, event, param] {
        CdEventCallbackFunction *callback = nullptr;
        CdContext context = 0;
        {
            std::lock_guard lock(mutex());
            auto *s = as<SourceObject>(handle, Kind::Source);
            if (s == nullptr || s->eventCallback == nullptr)
                return;
            callback = s->eventCallback;
            context = s->eventContext;
        }
        const CdUInt32 data = param;
        callback(event, &data, sizeof data, context);
    });
}

void CdLibrary::postReleaseEvent(SourceObject &source, CdReleaseEventID event, CdUInt32 param)
{
    if (!source.releaseControl || source.releaseCallback == nullptr)
        return;
    const CdHandle handle = source.handle;
    pump().post([this, handle, event, param] {
        CdReleaseEventCallbackFunction *callback = nullptr;
        CdContext context = 0;
        {
            std::lock_guard lock(mutex());
            auto *s = as<SourceObject>(handle, Kind::Source);
            if (s == nullptr || !s->releaseControl || s->releaseCallback == nullptr)
                return;
            callback = s->releaseCallback;
            context = s->releaseContext;
        }
        const CdUInt32 data = param;
        callback(event, &data, sizeof data, context);
    });
}

void CdLibrary::postFrame(SourceObject &source)
{
    const CdHandle handle = source.handle;
    pump().post([this, handle] {
        CdViewfinderCallbackFunction *callback = nullptr;
        CdContext context = 0;
        std::vector<std::uint8_t> jpeg;
        {
            std::lock_guard lock(mutex());
            auto *s = as<SourceObject>(handle, Kind::Source);
            if (s == nullptr || !s->viewfinder || s->frameCallback == nullptr || !s->camera->attached)
                return;
            const LiveViewConfig &config = s->camera->liveView;
            char caption[48];
            std::snprintf(caption, sizeof caption, "VF %llu", static_cast<unsigned long long>(s->frames));
            jpeg = encodeJpeg(testPattern(config.width, config.height, seedOf(s->camera->id), s->frames, caption),
                              config.quality);
            ++s->frames;
            if (!carries(s->camera, jpeg.size()))
                return;
            callback = s->frameCallback;
            context = s->frameContext;
        }
        callback(jpeg.data(), static_cast<CdUInt32>(jpeg.size()), 0, context);
    });
}

void CdLibrary::startViewfinder(SourceObject &source)
{
    source.viewfinder = true;
    std::lock_guard lock(tickMutex_);
    ++streaming_;
    if (!ticker_.joinable()) {
        tickStop_ = false;
        ticker_ = std::thread([this] { tick(); });
    }
    tickWake_.notify_all();
}

void CdLibrary::stopViewfinder(SourceObject &source)
{
    if (!source.viewfinder)
        return;
    source.viewfinder = false;
    std::lock_guard lock(tickMutex_);
    --streaming_;
}

void CdLibrary::stopTicker()
{
    std::thread ticker;
    {
        std::lock_guard lock(tickMutex_);
        tickStop_ = true;
        ticker = std::move(ticker_);
    }
    tickWake_.notify_all();
    if (ticker.joinable())
        ticker.join();
}

void CdLibrary::tick()
{
    std::unique_lock lock(tickMutex_);
    while (!tickStop_) {
        if (streaming_ == 0) {
            tickWake_.wait(lock);
            continue;
        }
        tickWake_.wait_for(lock, kFramePeriod);
        if (tickStop_ || streaming_ == 0)
            continue;
        lock.unlock();
        {
            std::lock_guard libraryLock(mutex());
            for (auto &[handle, object] : handles_)
                if (object->kind == Kind::Source && static_cast<SourceObject *>(object)->viewfinder)
                    postFrame(*static_cast<SourceObject *>(object));
        }
        lock.lock();
    }
}

void CdLibrary::camerasReplaced()
{
    freeAll();
    itemHandles_.clear();
    itemsByHandle_.clear();
}

void CdLibrary::cameraAttached(const std::shared_ptr<Camera> &camera) { camera->updateNextFileNumber(); }

void CdLibrary::cameraDetached(const std::shared_ptr<Camera> &camera)
{
    postCameraEvent(camera, kEventConnectionDisappeared, 0);
    if (SourceObject *source = sourceOf(camera))
        stopViewfinder(*source);
}

std::uint32_t CdLibrary::fireEventOn(const std::shared_ptr<Camera> &camera, std::uint32_t event, std::uint32_t param)
{
    SourceObject *source = sourceOf(camera);
    if ((event & kFireReleaseEvent) != 0) {
        const std::uint32_t id = event & ~kFireReleaseEvent;
        if (id < 10 || id > 33)
            return error(kControlBadArgument, "no release event " + std::to_string(id));
        if (source == nullptr || !source->releaseControl)
            return error(kControlState, "the camera is not under release control");
        postReleaseEvent(*source, id, param);
        return kControlOk;
    }
    if (event == kFireViewfinderFrame) {
        if (source == nullptr || !source->viewfinder)
            return error(kControlState, "the viewfinder is not running");
        postFrame(*source);
        return kControlOk;
    }
    const std::uint32_t id = event & 0xFFFF;
    if (id == 0 || id > 0x000F || (event & 0xF7F00000) != 0)
        return error(kControlBadArgument, "no camera event " + hexText(event));
    if (source == nullptr)
        return error(kControlState, "the camera is not open");
    postCameraEvent(camera, event, param);
    return kControlOk;
}

std::uint32_t CdLibrary::releaseOn(const std::shared_ptr<Camera> &camera)
{
    // The shutter button under release control asks the host to release.
    SourceObject *source = sourceOf(camera);
    if (source == nullptr || !source->releaseControl)
        return kInvalidCall;
    postReleaseEvent(*source, kCamReleaseOn, 0);
    return kOk;
}

void CdLibrary::propertyChangedByCamera(const std::shared_ptr<Camera> &camera, std::uint32_t property)
{
    if ((property & (kSettingKey | kRelCamKey)) != 0)
        postCameraEvent(camera, kEventReleaseParamChanged, 0);
}

} // namespace tbx::sim::cd
