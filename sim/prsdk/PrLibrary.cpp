#include "PrLibrary.h"

#include <algorithm>
#include <cstring>

#include "Content.h"
#include "sdk/PtpDatasets.h"

namespace tbx::sim::pr {

namespace {

/// An event container as the library hands it to the event callback: zero-filled to the size
/// the engine copies, its length field counting the header and the parameters.
constexpr std::size_t kContainerSize = 412;

std::u16string widened(const std::string &text) { return std::u16string(text.begin(), text.end()); }

void putLe(std::vector<std::uint8_t> &out, std::uint64_t value, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putString(std::vector<std::uint8_t> &out, const std::string &text)
{
    const std::size_t units = std::min<std::size_t>(text.size(), 254);
    putLe(out, units == 0 ? 0 : units + 1, 1);
    for (std::size_t i = 0; i < units; ++i)
        putLe(out, static_cast<unsigned char>(text[i]), 2);
    if (units != 0)
        putLe(out, 0, 2);
}

/// The property's value as a number of its PTP size, sign-extended for the signed types.
std::uint64_t numberOf(const Property &p) { return static_cast<std::uint32_t>(p.asU32()); }

std::uint64_t masked(std::int64_t value, std::size_t size)
{
    return size >= 8 ? static_cast<std::uint64_t>(value)
                     : static_cast<std::uint64_t>(value) & ((1ull << (8 * size)) - 1);
}

/// A value written by the host, as the 32-bit word the model stores.
std::int32_t wordOf(const std::uint8_t *bytes, std::size_t size, std::uint32_t type)
{
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < size && i < 4; ++i)
        v |= std::uint32_t{bytes[i]} << (8 * i);
    const bool isSigned = type == kPtpTypeInt8 || type == kPtpTypeInt16 || type == kPtpTypeInt32;
    if (isSigned && size < 4 && (v >> (8 * size - 1)) != 0)
        v |= ~((1u << (8 * size)) - 1);
    return static_cast<std::int32_t>(v);
}

} // namespace

PrLibrary &library()
{
    static PrLibrary instance;
    return instance;
}

PrLibrary::PrLibrary() : SimLibrary({&ptpProfile()}) {}

PrLibrary::~PrLibrary()
{
    stopViewfinders(0);
    pump().stop();
}

std::optional<std::uint32_t> PrLibrary::refusal(const char *entryPoint) const
{
    const std::string_view name(entryPoint);
    if (started || name == "PR_StartSDK" || name == "PR_FinishSDK" || name == "PR_GetDllsVersion")
        return std::nullopt;
    return sdkError(prINVALID_FN_CALL);
}

CameraObject *PrLibrary::object(prHandle handle) const
{
    auto it = handles_.find(handle);
    return it == handles_.end() ? nullptr : it->second;
}

prResponse PrLibrary::ready(CameraObject *object, bool needReleaseControl)
{
    if (object == nullptr)
        return sdkError(prINVALID_HANDLE);
    if (!object->connected)
        return sdkError(prINVALID_FN_CALL);
    if (!object->camera->attached)
        return kDeviceGone;
    if (object->camera->takeBusy())
        return ptpError(prRESPONSE_DeviceBusy);
    if (needReleaseControl && !object->releaseControl)
        return sdkError(prINVALID_FN_CALL);
    return prOK;
}

CameraObject *PrLibrary::create(const std::shared_ptr<Camera> &camera)
{
    auto *made = objects().adopt(new CameraObject);
    made->camera = camera;
    made->handle = nextHandle_++;
    handles_[made->handle] = made;
    return made;
}

void PrLibrary::destroy(CameraObject *object)
{
    if (object->viewfinder) {
        std::lock_guard lock(object->viewfinder->mutex);
        object->viewfinder->stop = true;
        object->viewfinder->wake.notify_all();
    }
    handles_.erase(object->handle);
    objects().release(object);
}

std::vector<CameraObject *> PrLibrary::allObjects() const
{
    std::vector<CameraObject *> all;
    for (const auto &[handle, object] : handles_)
        all.push_back(object);
    return all;
}

std::vector<CameraObject *> PrLibrary::objectsOf(const std::shared_ptr<Camera> &camera) const
{
    std::vector<CameraObject *> found;
    for (const auto &[handle, object] : handles_)
        if (object->camera == camera)
            found.push_back(object);
    return found;
}

PrDeviceInfoTable PrLibrary::deviceRecord(const Camera &camera)
{
    PrDeviceInfoTable record{};
    const std::u16string internal = widened(camera.portName);
    std::copy_n(internal.begin(), std::min(internal.size(), std::size(record.DeviceInternalName) - 1),
                record.DeviceInternalName);
    // Up to 32 units: a name of exactly 32 has no terminator, as the record allows.
    const std::u16string model = widened(camera.description);
    std::copy_n(model.begin(), std::min(model.size(), std::size(record.ModelName)), record.ModelName);
    record.Generation = 0x0101;
    record.ModelID = camera.subType;
    record.PortType = 2;
    return record;
}

std::vector<std::uint8_t> PrLibrary::deviceInfo(const Camera &camera) const
{
    PtpDeviceInfo info;
    info.StandardVersion = 100;
    info.VendorExtensionID = 11;
    info.VendorExtensionVersion = 100;
    info.VendorExtensionDesc = u"Canon PowerShot PTP";
    info.OperationsSupported = {0x1001, 0x1002, 0x1003, 0x1004, 0x1005, 0x1007, 0x1008, 0x1009, 0x1014, 0x1015, 0x1016};
    info.EventsSupported = {0x4006, 0x400D, 0xC001, 0xC005, 0xC006, 0xC007, 0xC008,
                            0xC009, 0xC00A, 0xC00B, 0xC00C, 0xC00D, 0xC00E, 0xD001};
    for (const auto &[id, property] : camera.properties) {
        if (id >= kOperationBase)
            info.OperationsSupported.push_back(static_cast<std::uint16_t>(id - kOperationBase));
        else
            info.DevicePropertiesSupported.push_back(static_cast<std::uint16_t>(id));
    }
    info.CaptureFormats = {0x3801};
    info.ImageFormats = {0x3801, 0xB101};
    info.Manufacturer = u"Canon Inc.";
    info.Model = widened(camera.description);
    auto firmware = camera.properties.find(0xD031);
    info.DeviceVersion = firmware == camera.properties.end() ? u"1.00" : widened(firmware->second.asText());
    info.SerialNumber = widened(camera.id);
    return WritePtpDeviceInfo(info);
}

std::optional<std::vector<std::uint8_t>> PrLibrary::propertyDesc(const Camera &camera, std::uint16_t code) const
{
    auto it = camera.properties.find(code);
    if (it == camera.properties.end())
        return std::nullopt;
    const Property &p = it->second;
    if (p.text) {
        std::vector<std::uint8_t> out;
        putLe(out, code, 2);
        putLe(out, kPtpTypeString, 2);
        putLe(out, p.writable ? 1 : 0, 1);
        putString(out, "");
        putString(out, p.asText());
        putLe(out, 0, 1);
        return out;
    }
    const std::size_t size = PtpValueSize(static_cast<std::uint16_t>(p.type));
    PtpPropDesc desc;
    desc.PropertyCode = code;
    desc.DataType = static_cast<std::uint16_t>(p.type);
    desc.GetSet = p.writable ? 1 : 0;
    desc.Current = masked(static_cast<std::int32_t>(numberOf(p)), size);
    desc.FactoryDefault = p.allowed.empty() ? desc.Current : masked(p.allowed.front(), size);
    if (p.range) {
        desc.FormFlag = static_cast<std::uint8_t>(PtpForm::Range);
        desc.Minimum = masked(p.range->first, size);
        desc.Maximum = masked(p.range->second, size);
        desc.Step = 1;
    } else if (!p.allowed.empty()) {
        desc.FormFlag = static_cast<std::uint8_t>(PtpForm::Enumeration);
        for (std::int32_t v : p.allowed)
            desc.Values.push_back(masked(v, size));
    }
    return WritePtpPropDesc(desc);
}

std::optional<std::vector<std::uint8_t>> PrLibrary::propertyValue(const Camera &camera, std::uint16_t code) const
{
    auto it = camera.properties.find(code);
    if (it == camera.properties.end())
        return std::nullopt;
    const Property &p = it->second;
    std::vector<std::uint8_t> out;
    if (code == prPTP_DEV_PROP_OWNER) {
        // A count (the name and its terminator), the characters, the terminator.
        const std::string name = p.asText();
        out.assign(4 + name.size() + 1, 0);
        const auto count = static_cast<std::uint32_t>(name.size() + 1);
        std::memcpy(out.data(), &count, 4);
        std::memcpy(out.data() + 4, name.data(), name.size());
    } else if (p.text) {
        putString(out, p.asText());
    } else if (code == prPTP_DEV_PROP_CAMERA_TIME) {
        putLe(out, static_cast<std::uint32_t>(camera.now()), 4);
    } else {
        putLe(out, numberOf(p), PtpValueSize(static_cast<std::uint16_t>(p.type)));
    }
    return out;
}

prResponse PrLibrary::writeProperty(CameraObject &object, std::uint16_t code, const void *data, std::uint32_t size)
{
    Camera &camera = *object.camera;
    Property *p = code < kOperationBase ? camera.property(code) : nullptr;
    if (p == nullptr)
        return ptpError(prRESPONSE_DevicePropNotSupported);
    if (data == nullptr)
        return sdkError(prINVALID_PARAMETER);
    if (!p->writable)
        return ptpError(0x200F); // access denied
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    if (code == prPTP_DEV_PROP_OWNER) {
        if (size < 5)
            return ptpError(prRESPONSE_InvalidDevicePropValue);
        std::uint32_t count = 0;
        std::memcpy(&count, bytes, 4);
        if (count == 0 || count > size - 4 || count > kOwnerNameCapacity)
            return ptpError(prRESPONSE_InvalidDevicePropValue);
        const char *text = reinterpret_cast<const char *>(bytes + 4);
        p->setText(std::string(text, strnlen(text, count)));
        return prOK;
    }
    if (p->text)
        return ptpError(prRESPONSE_InvalidDevicePropValue);
    const std::size_t valueSize = PtpValueSize(static_cast<std::uint16_t>(p->type));
    if (size != valueSize)
        return ptpError(prRESPONSE_InvalidDevicePropValue);
    const std::int32_t value = wordOf(bytes, size, p->type);
    if (code == prPTP_DEV_PROP_CAMERA_TIME) {
        camera.clockOffset = static_cast<std::int64_t>(static_cast<std::uint32_t>(value)) - hostLocalNow();
        return prOK;
    }
    if (p->range && (value < p->range->first || value > p->range->second))
        return ptpError(prRESPONSE_InvalidDevicePropValue);
    if (!p->allowed.empty() && std::find(p->allowed.begin(), p->allowed.end(), value) == p->allowed.end())
        return ptpError(prRESPONSE_InvalidDevicePropValue);
    p->setU32(static_cast<std::uint32_t>(value));
    return prOK;
}

prResponse PrLibrary::release(CameraObject &object)
{
    Camera &camera = *object.camera;
    if (camera.release.afFailure)
        return ptpError(prRESPONSE_Ex_NoRelease);
    const Property *mode = camera.property(prPTP_DEV_PROP_CAPTURE_TRANSFER_MODE);
    const std::uint32_t where = mode != nullptr ? mode->asU32() : 2;
    // A picture of about the size the camera would write: half a byte per pixel.
    const auto pictureSize = static_cast<std::uint64_t>(camera.pictureWidth) *
                             static_cast<std::uint64_t>(camera.pictureHeight) / 2;
    auto item = newFile(camera, camera.release.filePrefix, camera.takeFileNumber(), "JPG", ItemKind::Jpeg, pictureSize,
                        0, 0);
    if ((where & 0x0C) != 0 && !camera.volumes.empty())
        if (auto folder = camera.volumes.front()->folder(camera.release.folder, true)) {
            item->parent = folder;
            folder->children.push_back(item);
        }
    // The thumbnail is announced before the picture, each with an object handle of its own.
    for (auto [bit, event] : {std::pair{0x01u, prPTP_THUMBNAIL_RELEASED}, std::pair{0x02u, prPTP_FULL_VIEW_RELEASED}}) {
        if ((where & bit) == 0)
            continue;
        const prObjectHandle handle = nextObject_++;
        object.released[handle] = Released{item, event};
        post(object, event, {handle});
    }
    return prOK;
}

prResponse PrLibrary::transfer(CameraObject &object, prObjectHandle handle, prptpEventCode event,
                               std::uint32_t blockSize, prContext context, prGetFileDataCB *callback)
{
    auto it = object.released.find(handle);
    if (it == object.released.end() || it->second.event != event)
        return ptpError(prRESPONSE_InvalidObjectHandle);
    if (callback == nullptr || blockSize == 0)
        return sdkError(prINVALID_PARAMETER);
    const std::shared_ptr<Item> item = it->second.item;
    const std::vector<std::uint8_t> &bytes = event == prPTP_FULL_VIEW_RELEASED ? item->content() : item->thumbnail();
    const auto total = static_cast<std::uint32_t>(bytes.size());

    PrProgress progress{};
    progress.Message = 1; // the header: no data yet
    progress.ResLength = total;
    if (callback(object.handle, handle, context, &progress) != prOK)
        return sdkError(prOPERATION_CANCELLED);
    std::uint32_t offset = 0;
    while (offset < total) {
        std::uint32_t length = std::min(blockSize, total - offset);
        const auto passing = bytesBeforeUnplug(object.camera, length);
        if (passing)
            length = static_cast<std::uint32_t>(*passing);
        if (length > 0) {
            progress = PrProgress{};
            progress.Message = 2;
            progress.PercentComplete = static_cast<std::uint32_t>((std::uint64_t{offset} + length) * 100 / total);
            progress.Offset = offset;
            progress.Length = length;
            progress.ResLength = total - offset - length;
            progress.Data = bytes.data() + offset;
            if (callback(object.handle, handle, context, &progress) != prOK)
                return sdkError(prOPERATION_CANCELLED);
            offset += length;
        }
        if (passing) {
            detach(object.camera);
            return kDeviceGone;
        }
    }
    progress = PrProgress{};
    progress.Message = 4; // the end: no data
    progress.PercentComplete = 100;
    progress.Offset = total;
    callback(object.handle, handle, context, &progress);
    object.released.erase(handle);
    return prOK;
}

prResponse PrLibrary::startViewfinder(CameraObject &object, prContext context, prViewFinderCB *callback)
{
    if (callback == nullptr)
        return sdkError(prINVALID_PARAMETER);
    if (object.viewfinder)
        return sdkError(prINVALID_FN_CALL);
    auto viewfinder = std::make_shared<Viewfinder>();
    viewfinder->handle = object.handle;
    viewfinder->camera = object.camera;
    viewfinder->callback = callback;
    viewfinder->context = context;
    object.viewfinder = viewfinder;
    viewfinders_.push_back(viewfinder);
    viewfinder->thread = std::thread([this, viewfinder] { frameLoop(viewfinder); });
    return prOK;
}

void PrLibrary::stopViewfinders(prHandle handle)
{
    std::vector<std::shared_ptr<Viewfinder>> ending;
    {
        std::lock_guard lock(mutex());
        for (auto it = viewfinders_.begin(); it != viewfinders_.end();) {
            if (handle == 0 || (*it)->handle == handle) {
                ending.push_back(*it);
                it = viewfinders_.erase(it);
            } else {
                ++it;
            }
        }
        for (const auto &[h, object] : handles_)
            if (handle == 0 || h == handle)
                object->viewfinder.reset();
    }
    for (const auto &viewfinder : ending) {
        {
            std::lock_guard lock(viewfinder->mutex);
            viewfinder->stop = true;
        }
        viewfinder->wake.notify_all();
        if (viewfinder->thread.get_id() == std::this_thread::get_id()) {
            // Stopped from a frame callback: the thread ends when that returns, and is joined by
            // a later stop, never left running while the library goes.
            std::lock_guard lock(mutex());
            selfStopped_.push_back(std::move(viewfinder->thread));
        } else if (viewfinder->thread.joinable()) {
            viewfinder->thread.join();
        }
    }
    std::vector<std::thread> finished;
    {
        std::lock_guard lock(mutex());
        for (auto it = selfStopped_.begin(); it != selfStopped_.end();) {
            if (it->get_id() != std::this_thread::get_id()) {
                finished.push_back(std::move(*it));
                it = selfStopped_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (std::thread &thread : finished)
        thread.join();
}

void PrLibrary::frameLoop(const std::shared_ptr<Viewfinder> &viewfinder)
{
    for (std::uint64_t frame = 0;; ++frame) {
        bool asked = false;
        {
            std::unique_lock lock(viewfinder->mutex);
            const auto due = [&] { return viewfinder->stop || viewfinder->asked > viewfinder->served; };
            if (viewfinder->asked > 0)
                viewfinder->wake.wait(lock, due);
            else
                viewfinder->wake.wait_for(lock, std::chrono::milliseconds(kFrameIntervalMs), due);
            if (viewfinder->stop)
                return;
            asked = viewfinder->asked > viewfinder->served;
        }
        std::vector<std::uint8_t> jpeg = makeFrame(*viewfinder, frame);
        {
            // Not once the viewfinder is ended: PR_RC_TermViewFinder waits for a frame under way.
            std::lock_guard lock(viewfinder->mutex);
            if (viewfinder->stop)
                return;
        }
        if (!jpeg.empty())
            viewfinder->callback(viewfinder->handle, viewfinder->context, static_cast<prUInt32>(jpeg.size()), jpeg.data());
        if (asked) {
            std::lock_guard lock(viewfinder->mutex);
            ++viewfinder->served;
            viewfinder->wake.notify_all();
        }
    }
}

std::vector<std::uint8_t> PrLibrary::makeFrame(const Viewfinder &viewfinder, std::uint64_t frame)
{
    std::lock_guard lock(mutex());
    const Camera &camera = *viewfinder.camera;
    if (!camera.attached)
        return {};
    char caption[32];
    std::snprintf(caption, sizeof caption, "PTP %06llu", static_cast<unsigned long long>(frame));
    std::vector<std::uint8_t> jpeg = encodeJpeg(
        testPattern(camera.liveView.width, camera.liveView.height, seedOf(camera.id), frame, caption),
        camera.liveView.quality);
    if (!carries(viewfinder.camera, jpeg.size()))
        return {};
    return jpeg;
}

std::uint32_t PrLibrary::askFrame(const std::shared_ptr<Camera> &camera)
{
    for (CameraObject *object : objectsOf(camera)) {
        const std::shared_ptr<Viewfinder> viewfinder = object->viewfinder;
        if (!viewfinder)
            continue;
        std::uint64_t ticket = 0;
        {
            std::lock_guard lock(viewfinder->mutex);
            ticket = ++viewfinder->asked;
        }
        viewfinder->wake.notify_all();
        pump().post([viewfinder, ticket] {
            std::unique_lock lock(viewfinder->mutex);
            viewfinder->wake.wait(lock, [&] { return viewfinder->stop || viewfinder->served >= ticket; });
        });
        return kControlOk;
    }
    return error(kControlState, "the viewfinder is not running");
}

void PrLibrary::post(CameraObject &object, prptpEventCode code, std::vector<std::uint32_t> params)
{
    std::vector<std::uint8_t> container;
    putLe(container, 12 + 4 * params.size(), 4);
    putLe(container, 4, 2); // an event
    putLe(container, code, 2);
    putLe(container, 0, 4);
    for (std::uint32_t p : params)
        putLe(container, p, 4);
    container.resize(kContainerSize, 0);
    const prHandle handle = object.handle;
    pump().post([this, handle, container = std::move(container)]() mutable {
        prSetEventCB *callback = nullptr;
        prContext context = 0;
        {
            std::lock_guard lock(mutex());
            CameraObject *target = this->object(handle);
            if (target == nullptr || target->eventCallback == nullptr)
                return;
            callback = target->eventCallback;
            context = target->eventContext;
        }
        callback(handle, context, container.data());
    });
}

void PrLibrary::camerasReplaced()
{
    for (const auto &[handle, object] : handles_)
        if (object->viewfinder) {
            std::lock_guard lock(object->viewfinder->mutex);
            object->viewfinder->stop = true;
            object->viewfinder->wake.notify_all();
        }
}

void PrLibrary::cameraAttached(const std::shared_ptr<Camera> &) {}

void PrLibrary::cameraDetached(const std::shared_ptr<Camera> &camera)
{
    // The library reports a camera that went away as a shutdown.
    for (CameraObject *object : objectsOf(camera))
        post(*object, prCAL_SHUTDOWN, {});
}

std::uint32_t PrLibrary::fireEventOn(const std::shared_ptr<Camera> &camera, std::uint32_t event, std::uint32_t param)
{
    if (event == kFireViewfinderFrame)
        return askFrame(camera);
    if (event < 0x4000 || event > 0xDFFF)
        return error(kControlBadArgument, "not an event code of this library");
    const auto code = static_cast<prptpEventCode>(event);
    for (CameraObject *object : objectsOf(camera)) {
        if (code == prPTP_FULL_VIEW_RELEASED || code == prPTP_THUMBNAIL_RELEASED) {
            // A picture announced without a release: one is made for it.
            auto item = newFile(*camera, camera->release.filePrefix, camera->takeFileNumber(), "JPG", ItemKind::Jpeg, 0,
                                0, 0);
            const prObjectHandle handle = nextObject_++;
            object->released[handle] = Released{item, code};
            post(*object, code, {handle});
        } else if (code == prPTP_CHANGE_BATTERY_STATUS) {
            post(*object, code, {2, param}); // kind, then level
        } else {
            post(*object, code, {param});
        }
    }
    return kControlOk;
}

std::uint32_t PrLibrary::releaseOn(const std::shared_ptr<Camera> &camera)
{
    // The camera's own button does not shoot: the library tells the host, which may release.
    for (CameraObject *object : objectsOf(camera))
        post(*object, prPTP_PUSHED_RELEASE_SW, {});
    return 0;
}

void PrLibrary::propertyChangedByCamera(const std::shared_ptr<Camera> &camera, std::uint32_t property)
{
    for (CameraObject *object : objectsOf(camera)) {
        object->changedParams.push_back(static_cast<std::uint16_t>(property));
        post(*object, prPTP_DEVICE_PROP_CHANGED, {property});
    }
}

} // namespace tbx::sim::pr
