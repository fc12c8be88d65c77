#include "EosLibrary.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Content.h"
#include "EosProfile.h"

namespace tbx::sim::eds {

namespace {

// The pixel space of a large picture, in which live-view positions are given.
constexpr std::int32_t kCoordWidth = 6000;
constexpr std::int32_t kCoordHeight = 4000;
constexpr std::uint64_t kTransferBlock = 64 * 1024;

std::vector<std::uint8_t> bytesOf(const void *data, std::size_t size)
{
    const auto *b = static_cast<const std::uint8_t *>(data);
    return {b, b + size};
}

template <class T>
Property record(EdsUInt32 type, const T &value)
{
    return Property::block(type, bytesOf(&value, sizeof value), false);
}

Property histogram(const std::array<std::uint32_t, 256> &counts)
{
    return Property::block(kTypeByteBlock, bytesOf(counts.data(), counts.size() * 4), false);
}

EdsTime timeRecord(std::int64_t seconds)
{
    int parts[6];
    splitTime(seconds, parts);
    return EdsTime{static_cast<EdsUInt32>(parts[0]),
                   static_cast<EdsUInt32>(parts[1]),
                   static_cast<EdsUInt32>(parts[2]),
                   static_cast<EdsUInt32>(parts[3]),
                   static_cast<EdsUInt32>(parts[4]),
                   static_cast<EdsUInt32>(parts[5]),
                   0};
}

/// "YYYY-MM-DD hh:mm:ss" of a time record, as parseTime reads it.
std::string timeText(const EdsTime &t)
{
    char text[96];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", static_cast<unsigned>(t.year),
                  static_cast<unsigned>(t.month), static_cast<unsigned>(t.day), static_cast<unsigned>(t.hour),
                  static_cast<unsigned>(t.minute), static_cast<unsigned>(t.second));
    return text;
}

EdsUInt32 u32Of(const Camera &camera, EdsUInt32 id, EdsUInt32 fallback)
{
    auto it = camera.properties.find(id);
    return it == camera.properties.end() ? fallback : it->second.asU32();
}

bool liveViewToPc(const Camera &camera) { return (u32Of(camera, kPropEvfOutputDevice, 0) & kEvfOutputPc) != 0; }

} // namespace

EosLibrary::EosLibrary(std::vector<const FamilyProfile *> profiles, LibraryTraits traits)
    : SimLibrary(std::move(profiles)), traits_(traits)
{}

EosLibrary::~EosLibrary()
{
#if !defined(_WIN32)
    // On Windows the event thread cannot be joined while the library unloads (see EventPump).
    pump().stop();
#endif
    std::lock_guard lock(mutex());
    objects().freeAll();
}

std::optional<std::uint32_t> EosLibrary::refusal(const char *entryPoint) const
{
    if (initialized || std::strcmp(entryPoint, "EdsInitializeSDK") == 0 ||
        std::strcmp(entryPoint, "EdsTerminateSDK") == 0)
        return std::nullopt;
    return kInternalError;
}

CameraObject *EosLibrary::cameraObject(const std::shared_ptr<Camera> &camera)
{
    if (SimObject *o = objects().findIf([&](const SimObject &candidate) {
            const auto &object = static_cast<const Object &>(candidate);
            return object.kind == Kind::Camera && static_cast<const CameraObject &>(object).camera == camera;
        })) {
        ++o->refs;
        return static_cast<CameraObject *>(static_cast<Object *>(o));
    }
    auto *made = objects().adopt(new CameraObject);
    made->camera = camera;
    return made;
}

CameraState &EosLibrary::state(const std::shared_ptr<Camera> &camera) { return states_[camera]; }

// ---------------------------------------------------------------------------------------------
// Properties
// ---------------------------------------------------------------------------------------------

void EosLibrary::focusInfo(const std::shared_ptr<Camera> &camera, Property &out)
{
    // A block given through the control API (any non-zero byte) is reported as it stands, so a
    // test can hand the host odd AF data (no frames, more frames than fit).
    if (const Property *given = camera->property(kPropFocusInfo);
        given != nullptr &&
        std::any_of(given->value.begin(), given->value.end(), [](std::uint8_t b) { return b != 0; })) {
        out = *given;
        return;
    }
    auto info = std::make_unique<EdsFocusInfo>();
    std::memset(info.get(), 0, sizeof *info);
    info->imageRect = EdsRect{{0, 0}, {kCoordWidth, kCoordHeight}};
    // A 9 x 5 grid of AF points; the centre one is selected and, after AF, in focus.
    constexpr int kColumns = 9, kRows = 5;
    info->pointNumber = kColumns * kRows;
    const CameraState &st = state(camera);
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) {
            EdsFocusPoint &p = info->focusPoint[r * kColumns + c];
            const bool centre = r == kRows / 2 && c == kColumns / 2;
            p.valid = 1;
            p.selected = centre ? 1 : 0;
            p.justFocus = centre && st.afDone ? 1 : 0;
            p.rect = EdsRect{{1000 + c * 450, 1000 + r * 450}, {200, 200}};
        }
    out = record(kTypeFocusInfo, *info);
    // A library with a smaller block has room for fewer points; the grid fits in any of them.
    if (out.value.size() > traits_.focusInfoSize)
        out.value.resize(traits_.focusInfoSize);
}

EdsError EosLibrary::readProperty(const std::shared_ptr<Camera> &camera, EdsUInt32 id, EdsInt32 param, Property &out)
{
    Property *p = camera->property(id);
    if (p == nullptr || !p->readable || (id == kPropPowerZoomSpeed && !camera->powerZoom))
        return kPropertiesUnavailable;
    if (p->unlockKey != 0 && !p->unlocked)
        return kPropertiesUnavailable;
    if (id == traits_.clockProperty) {
        out = record(kTypeTime, timeRecord(camera->now()));
        return kOk;
    }
    switch (id) {
    case kPropDateTime:
        out = record(kTypeTime, timeRecord(camera->now()));
        return kOk;
    case kPropUtcTime: {
        const auto zone = static_cast<std::int16_t>(u32Of(*camera, kPropTimeZone, 0) & 0xFFFF);
        out = record(kTypeTime, timeRecord(camera->now() - zone * 60));
        return kOk;
    }
    case kPropFocusInfo:
        focusInfo(camera, out);
        return kOk;
    case kPropAvailableShots: {
        const EdsUInt32 quality = u32Of(*camera, kPropImageQuality, 0);
        const EdsUInt32 mainFormat = (quality >> 20) & 0xF;
        const std::uint64_t perShot = (mainFormat == 2 || mainFormat == 6) ? 30000000ull : 8000000ull;
        std::uint64_t room = 0;
        if (u32Of(*camera, kPropSaveTo, kSaveToCamera) == kSaveToHost)
            room = state(camera).hostCapacity;
        else if (!camera->volumes.empty())
            room = camera->volumes.front()->freeBytes();
        out = Property::u32(kTypeUInt32, static_cast<EdsUInt32>(std::min<std::uint64_t>(room / perShot, 999999)),
                            false);
        return kOk;
    }
    case kPropPictureStyleDesc: {
        out = *p;
        const auto style = static_cast<EdsInt32>(
            param != 0 ? param : static_cast<EdsInt32>(u32Of(*camera, kPropPictureStyle, 0)));
        auto it = p->byParam.find(style);
        if (it != p->byParam.end())
            out.value = it->second;
        else if (param != 0)
            return kInvalidParameter;
        return kOk;
    }
    default:
        out = *p;
        return kOk;
    }
}

EdsError EosLibrary::writeProperty(const std::shared_ptr<Camera> &camera, EdsUInt32 id, EdsInt32 param,
                                   const void *data, EdsUInt32 size)
{
    CameraState &st = state(camera);
    if (id == kPropPowerZoomSpeed && !camera->powerZoom)
        return kPropertiesUnavailable;
    Property *p = camera->property(id);
    if (p == nullptr)
        return kPropertiesUnavailable;
    EdsUInt32 newValue = 0;
    if (size == 4)
        std::memcpy(&newValue, data, 4);
    switch (id) {
    case kPropRecord:
        if (size != 4)
            return kInvalidLength;
        if (newValue == 4 && !st.recording) {
            if (camera->volumes.empty())
                return kDeviceNoDisk;
            if (u32Of(*camera, kPropEvfMode, 0) == 0)
                return kNotSupported;
        }
        break;
    case kPropEvfZoomPosition: {
        if (size != 8)
            return kInvalidLength;
        EdsPoint point;
        std::memcpy(&point, data, 8);
        if (point.x < 0 || point.y < 0 || point.x >= kCoordWidth || point.y >= kCoordHeight)
            return kInvalidParameter;
        break;
    }
    case kPropPictureStyleDesc:
        if (param == 0)
            param = static_cast<EdsInt32>(u32Of(*camera, kPropPictureStyle, 0));
        if (!p->byParam.count(param))
            return kInvalidParameter;
        break;
    default:
        break;
    }
    if (id == traits_.clockProperty) {
        // The camera's clock goes to the date and time written (year to second; milliseconds
        // are not kept).
        if (size != sizeof(EdsTime))
            return kInvalidLength;
        EdsTime t;
        std::memcpy(&t, data, sizeof t);
        const auto seconds = parseTime(timeText(t));
        if (!seconds)
            return kInvalidParameter;
        camera->clockOffset = *seconds - hostLocalNow();
        return kOk;
    }
    const std::vector<std::uint8_t> before = param != 0 && p->byParam.count(param) ? p->byParam[param] : p->value;
    switch (camera->write(id, param, data, size)) {
    case WriteResult::Ok:
        break;
    case WriteResult::Unknown:
    case WriteResult::Locked:
        return kPropertiesUnavailable;
    case WriteResult::ReadOnly:
        return kNotSupported;
    case WriteResult::BadSize:
        return kInvalidLength;
    case WriteResult::BadValue:
        return kInvalidDevicePropValue;
    }
    const std::vector<std::uint8_t> &after = param != 0 && p->byParam.count(param) ? p->byParam[param] : p->value;
    if (id == kPropEvfOutputDevice) {
        const bool wasOn = before.size() == 4 && (before[0] & kEvfOutputPc) != 0;
        if (!wasOn && (newValue & kEvfOutputPc) != 0) {
            st.notReadyLeft = camera->liveView.notReadyFrames;
            // The live-view mode follows the output: a camera that shows live view on the host is
            // in live-view mode.
            if (Property *mode = camera->property(kPropEvfMode); mode && mode->asU32() == 0) {
                mode->setU32(1);
                postProperty(camera, kPropertyEventChanged, kPropEvfMode);
            }
        }
    }
    if (id == kPropRecord) {
        if (newValue == 4 && !st.recording) {
            st.recording = true;
        } else if (newValue == 0 && st.recording) {
            st.recording = false;
            const std::uint32_t number = camera->takeFileNumber();
            auto item = newFile(*camera, camera->release.moviePrefix, number, "MP4", ItemKind::Movie,
                                camera->release.movieSize, 0, 0);
            auto volume = camera->volumes.front();
            volume->folder(camera->release.folder, true)->children.push_back(item);
            item->parent = volume->folder(camera->release.folder, false);
            st.lastItem = item;
            postObject(camera, kObjectEventDirItemCreated, volume, item);
        }
    }
    if (before != after)
        postProperty(camera, kPropertyEventChanged, id);
    return kOk;
}

// ---------------------------------------------------------------------------------------------
// Commands and releases
// ---------------------------------------------------------------------------------------------

EdsError EosLibrary::release(const std::shared_ptr<Camera> &camera, bool autofocus)
{
    CameraState &st = state(camera);
    const EdsUInt32 saveTo = u32Of(*camera, kPropSaveTo, kSaveToCamera);
    const bool toCard = saveTo == kSaveToCamera || saveTo == kSaveToBoth;
    std::shared_ptr<Volume> volume = camera->volumes.empty() ? nullptr : camera->volumes.front();
    if (toCard && !volume)
        return kTakePictureNoCardNg;
    if (toCard && volume->writeProtected)
        return kTakePictureCardProtectNg;
    if (autofocus && camera->release.afFailure && u32Of(*camera, kPropAfMode, 0) != 3)
        return kTakePictureAfNg;
    st.afDone = autofocus || st.afDone;

    const EdsUInt32 quality = u32Of(*camera, kPropImageQuality, 0x0013FF0F);
    const EdsUInt32 mainSize = (quality >> 24) & 0xF, mainFormat = (quality >> 20) & 0xF;
    const EdsUInt32 secondSize = (quality >> 8) & 0xF, secondFormat = (quality >> 4) & 0xF;
    auto scaled = [&](EdsUInt32 sizeCode, bool wide) {
        const int full = wide ? camera->pictureWidth : camera->pictureHeight;
        if (sizeCode == 0)
            return full;
        if (sizeCode == 1 || sizeCode == 5 || sizeCode == 6)
            return full * 2 / 3;
        return full / 2;
    };
    const std::uint32_t number = camera->takeFileNumber();
    std::vector<std::shared_ptr<Item>> files;
    if (mainFormat == 2 || mainFormat == 6)
        files.push_back(newFile(*camera, camera->release.filePrefix, number, mainFormat == 6 ? "CR3" : "CR2",
                                ItemKind::Raw, camera->release.rawSize, 0, 0));
    if (mainFormat == 1)
        files.push_back(newFile(*camera, camera->release.filePrefix, number, "JPG", ItemKind::Jpeg, 0,
                                scaled(mainSize, true), scaled(mainSize, false)));
    if (secondFormat == 1)
        files.push_back(newFile(*camera, camera->release.filePrefix, number, "JPG", ItemKind::Jpeg, 0,
                                scaled(secondSize, true), scaled(secondSize, false)));
    if (files.empty())
        files.push_back(newFile(*camera, camera->release.filePrefix, number, "JPG", ItemKind::Jpeg, 0,
                                camera->pictureWidth, camera->pictureHeight));
    for (auto &item : files) {
        if (toCard) {
            auto folder = volume->folder(camera->release.folder, true);
            item->parent = folder;
            folder->children.push_back(item);
        }
        st.lastItem = item;
        if (saveTo == kSaveToCamera) {
            postObject(camera, kObjectEventDirItemCreated, volume, item);
        } else {
            st.pending.push_back(item);
            const std::uint64_t size = item->size();
            st.hostCapacity = st.hostCapacity > size ? st.hostCapacity - size : 0;
            postObject(camera, kObjectEventDirItemRequestTransfer, toCard ? volume : nullptr, item);
        }
    }
    postProperty(camera, kPropertyEventChanged, kPropAvailableShots);
    return kOk;
}

EdsError EosLibrary::command(const std::shared_ptr<Camera> &camera, EdsUInt32 cmd, EdsInt32 param)
{
    CameraState &st = state(camera);
    const auto uparam = static_cast<EdsUInt32>(param);
    switch (cmd) {
    case kCmdTakePicture:
        return release(camera, true);
    case kCmdExtendShutDownTimer:
        return kOk;
    case kCmdBulbStart:
        st.bulb = true;
        return kOk;
    case kCmdBulbEnd:
        if (!st.bulb)
            return kOk;
        st.bulb = false;
        return release(camera, false);
    case kCmdPressShutterButton: {
        if (uparam != 0 && uparam != 1 && uparam != 3 && uparam != 0x10001 && uparam != 0x10003)
            return kInvalidParameter;
        const EdsUInt32 previous = st.button;
        st.button = uparam;
        if (uparam == 1) {
            if (camera->release.afFailure && u32Of(*camera, kPropAfMode, 0) != 3)
                return kTakePictureAfNg;
            st.afDone = true;
        }
        if ((uparam & 0xFF) == 3 && (previous & 0xFF) != 3)
            return release(camera, uparam == 3);
        return kOk;
    }
    case kCmdDoEvfAf:
        if (uparam > 1)
            return kInvalidParameter;
        if (uparam == 1) {
            if (camera->release.afFailure)
                return kTakePictureAfNg;
            st.afDone = true;
        }
        return kOk;
    case kCmdDriveLensEvf:
        if (uparam != 1 && uparam != 2 && uparam != 3 && uparam != 0x8001 && uparam != 0x8002 && uparam != 0x8003)
            return kInvalidParameter;
        if (!liveViewToPc(*camera))
            return kNotSupported;
        st.afDone = false;
        return kOk;
    case kCmdDoClickWbEvf: {
        const auto x = static_cast<std::int32_t>(uparam >> 16), y = static_cast<std::int32_t>(uparam & 0xFFFF);
        if (x >= kCoordWidth || y >= kCoordHeight)
            return kInvalidParameter;
        if (!liveViewToPc(*camera))
            return kNotSupported;
        postProperty(camera, kPropertyEventChanged, kPropEvfWhiteBalance);
        return kOk;
    }
    case kCmdMovieSelectSwOn:
    case kCmdMovieSelectSwOff:
    case kCmdRequestRollPitchLevel:
    case kCmdRequestSensorCleaning:
    case kCmdSetModeDialDisable:
        return kOk;
    case kCmdDrivePowerZoom: {
        if (!camera->powerZoom)
            return kNotSupported;
        if (uparam != 0 && uparam != 1 && uparam != 2 && uparam != 0x11 && uparam != 0x12)
            return kInvalidParameter;
        if (uparam == 0)
            return kOk;
        const bool tele = (uparam & 0xF) == 2;
        const std::uint32_t step = (uparam & 0x10) ? 5 : 10;
        st.zoomPosition = tele ? std::min<std::uint32_t>(100, st.zoomPosition + step)
                               : (st.zoomPosition > step ? st.zoomPosition - step : 0);
        // Bits: controllable, attached, battery ok; 3..4 the end reached; 16+ the speed.
        EdsUInt32 info = 0x1 | 0x20 | 0x40 | (u32Of(*camera, kPropPowerZoomSpeed, 1) << 16);
        if (st.zoomPosition == 100)
            info |= 0x08;
        if (st.zoomPosition == 0)
            info |= 0x10;
        postState(camera, kStateEventPowerZoomInfoChanged, info);
        return kOk;
    }
    default:
        return kNotSupported;
    }
}

// ---------------------------------------------------------------------------------------------
// Live view and transfers
// ---------------------------------------------------------------------------------------------

EdsError EosLibrary::liveViewFrame(const std::shared_ptr<Camera> &camera, EvfObject &evf)
{
    CameraState &st = state(camera);
    if (!liveViewToPc(*camera))
        return kObjectNotReady;
    if (st.notReadyLeft > 0) {
        --st.notReadyLeft;
        return kObjectNotReady;
    }
    ++st.frame;
    const EdsUInt32 zoom = u32Of(*camera, kPropEvfZoom, 1);
    char caption[96];
    std::snprintf(caption, sizeof caption, "LIVE VIEW #%06llu X%u", static_cast<unsigned long long>(st.frame),
                  static_cast<unsigned>(zoom));
    const RgbImage image = testPattern(camera->liveView.width, camera->liveView.height, seedOf(camera->id), st.frame,
                                       caption);
    const std::vector<std::uint8_t> frame = encodeJpeg(image, camera->liveView.quality);
    if (!carries(camera, frame.size()))
        return kCommDisconnected;
    const EdsError e = evf.stream->replace(frame);
    if (e != kOk)
        return e;

    EdsPoint position{0, 0};
    if (Property *p = camera->property(kPropEvfZoomPosition); p && p->value.size() == 8)
        std::memcpy(&position, p->value.data(), 8);
    const EdsInt32 z = zoom == 0 ? 1 : static_cast<EdsInt32>(zoom);
    const EdsSize coord{kCoordWidth, kCoordHeight};
    EdsRect zoomRect{position, {kCoordWidth / z, kCoordHeight / z}};
    if (z == 1)
        zoomRect.point = {0, 0};
    zoomRect.point.x = std::min(zoomRect.point.x, kCoordWidth - zoomRect.size.width);
    zoomRect.point.y = std::min(zoomRect.point.y, kCoordHeight - zoomRect.size.height);
    const Histogram h = histogramOf(image);
    auto &m = evf.meta;
    m.clear();
    m[kPropEvfZoom] = Property::u32(kTypeUInt32, zoom, false);
    m[kPropEvfZoomPosition] = record(kTypePoint, zoomRect.point);
    m[kPropEvfZoomRect] = record(kTypeRect, zoomRect);
    m[kPropEvfImagePosition] = record(kTypePoint, zoomRect.point);
    m[kPropEvfCoordinateSystem] = record(kTypeByteBlock, coord);
    m[kPropEvfVisibleRect] = record(kTypeRect, EdsRect{{0, 0}, coord});
    m[kPropEvfHistogramStatus] = Property::u32(kTypeUInt32, 1, false);
    m[kPropEvfHistogramY] = histogram(h.y);
    m[kPropEvfHistogramR] = histogram(h.r);
    m[kPropEvfHistogramG] = histogram(h.g);
    m[kPropEvfHistogramB] = histogram(h.b);
    std::vector<std::uint8_t> all;
    for (const auto *block : {&h.y, &h.r, &h.g, &h.b}) {
        auto bytes = bytesOf(block->data(), block->size() * 4);
        all.insert(all.end(), bytes.begin(), bytes.end());
    }
    m[kPropEvfHistogram] = Property::block(kTypeByteBlock, all, false);
    m[kPropEvfDepthOfFieldPreview] = Property::u32(kTypeUInt32, u32Of(*camera, kPropEvfDepthOfFieldPreview, 0), false);
    if (camera->powerZoom) {
        m[kPropEvfPowerZoomCurPosition] = Property::u32(kTypeUInt32, st.zoomPosition, false);
        m[kPropEvfPowerZoomMaxPosition] = Property::u32(kTypeUInt32, 100, false);
        m[kPropEvfPowerZoomMinPosition] = Property::u32(kTypeUInt32, 0, false);
    }
    return kOk;
}

EdsError EosLibrary::download(ItemObject &object, std::uint64_t size, StreamObject &stream)
{
    const std::shared_ptr<Camera> camera = object.camera;
    CameraState &st = state(camera);
    const std::vector<std::uint8_t> &content = object.item->content();
    const std::uint64_t total = content.size();
    const Item *key = object.item.get();
    // A copy: a progress callback may complete or cancel the transfer and drop the entry.
    const std::uint64_t offset = st.downloaded.count(key) ? st.downloaded[key] : 0;
    if (size == 0 || offset + size > total)
        return kInvalidLength;
    if (offset + size < total && size % 512 != 0)
        return kInvalidParameter;

    std::uint64_t done = 0;
    int lastPercent = -1;
    while (done < size) {
        std::uint64_t block = std::min(kTransferBlock, size - done);
        const std::optional<std::uint64_t> beforeUnplug = bytesBeforeUnplug(camera, block);
        const bool unplug = beforeUnplug.has_value();
        if (unplug)
            block = *beforeUnplug;
        std::uint64_t written = 0;
        if (block > 0) {
            const EdsError e = stream.write(content.data() + offset + done, block, &written);
            if (e != kOk)
                return e;
        }
        done += written;
        if (unplug) {
            st.downloaded.erase(key);
            detach(camera);
            return kCommDisconnected;
        }
        if (stream.progress != nullptr && stream.progressOption == 2) {
            const int percent = static_cast<int>((offset + done) * 100 / total);
            if (percent != lastPercent && done < size) {
                lastPercent = percent;
                EdsBool cancel = 0;
                stream.progress(static_cast<EdsUInt32>(percent), stream.progressContext, &cancel);
                if (cancel) {
                    state(camera).downloaded.erase(key);
                    return kOperationCancelled;
                }
            }
        }
    }
    const std::uint64_t reached = offset + size;
    if (reached >= total)
        state(camera).downloaded.erase(key);
    else
        state(camera).downloaded[key] = reached;
    if (stream.progress != nullptr && (stream.progressOption == 1 || stream.progressOption == 2)) {
        EdsBool cancel = 0;
        stream.progress(static_cast<EdsUInt32>(reached * 100 / total), stream.progressContext, &cancel);
    }
    return kOk;
}

// ---------------------------------------------------------------------------------------------
// Events: queued now, delivered on the event thread to whatever handler is installed then
// ---------------------------------------------------------------------------------------------

namespace {
bool wants(EdsUInt32 installed, EdsUInt32 all, EdsUInt32 event) { return installed == all || installed == event; }
} // namespace

void EosLibrary::postProperty(const std::shared_ptr<Camera> &camera, EdsUInt32 event, EdsUInt32 property)
{
    pump().post([this, camera, event, property] {
        EdsPropertyEventHandler handler = nullptr;
        void *context = nullptr;
        {
            std::lock_guard lock(mutex());
            auto it = states_.find(camera);
            if (it == states_.end() || !it->second.propertyHandler ||
                !wants(it->second.propertyEvent, kPropertyEventAll, event))
                return;
            handler = it->second.propertyHandler;
            context = it->second.propertyContext;
        }
        handler(event, property, 0, context);
    });
}

void EosLibrary::postObject(const std::shared_ptr<Camera> &camera, EdsUInt32 event, std::shared_ptr<Volume> volume,
                            std::shared_ptr<Item> item)
{
    pump().post([this, camera, event, volume, item] {
        EdsObjectEventHandler handler = nullptr;
        void *context = nullptr;
        EdsBaseRef ref = nullptr;
        {
            std::lock_guard lock(mutex());
            auto it = states_.find(camera);
            if (it == states_.end() || !it->second.objectHandler ||
                !wants(it->second.objectEvent, kObjectEventAll, event))
                return;
            handler = it->second.objectHandler;
            context = it->second.objectContext;
            // The reference belongs to the handler, which releases it.
            if (item) {
                auto *object = objects().adopt(new ItemObject);
                object->camera = camera;
                object->volume = volume;
                object->item = item;
                ref = handleOf(object);
            } else if (volume) {
                auto *object = objects().adopt(new VolumeObject);
                object->camera = camera;
                object->volume = volume;
                ref = handleOf(object);
            }
        }
        handler(event, ref, context);
    });
}

void EosLibrary::postState(const std::shared_ptr<Camera> &camera, EdsUInt32 event, EdsUInt32 data)
{
    pump().post([this, camera, event, data] {
        EdsStateEventHandler handler = nullptr;
        void *context = nullptr;
        {
            std::lock_guard lock(mutex());
            auto it = states_.find(camera);
            if (it == states_.end() || !it->second.stateHandler || !wants(it->second.stateEvent, kStateEventAll, event))
                return;
            handler = it->second.stateHandler;
            context = it->second.stateContext;
        }
        handler(event, data, context);
    });
}

void EosLibrary::camerasReplaced() { states_.clear(); }

void EosLibrary::cameraAttached(const std::shared_ptr<Camera> &)
{
    pump().post([this] {
        EdsCameraAddedHandler handler = nullptr;
        void *context = nullptr;
        {
            std::lock_guard lock(mutex());
            handler = addedHandler;
            context = addedContext;
        }
        if (handler)
            handler(context);
    });
}

void EosLibrary::cameraDetached(const std::shared_ptr<Camera> &camera)
{
    auto it = states_.find(camera);
    if (it == states_.end())
        return;
    CameraState &st = it->second;
    st.sessionOpen = false;
    st.recording = false;
    st.pending.clear();
    st.downloaded.clear();
    postState(camera, kStateEventShutdown, 0);
}

std::uint32_t EosLibrary::fireEventOn(const std::shared_ptr<Camera> &camera, std::uint32_t event, std::uint32_t param)
{
    if (event >= 0x101 && event <= 0x1FF) {
        postProperty(camera, event, param);
        return kControlOk;
    }
    if (event >= 0x201 && event <= 0x2FF) {
        CameraState &st = state(camera);
        std::shared_ptr<Volume> volume = camera->volumes.empty() ? nullptr : camera->volumes.front();
        const bool aboutItem = event >= kObjectEventDirItemCreated && event <= 0x20A;
        if (aboutItem && !st.lastItem)
            return error(kControlState, "the camera has made no file yet to report");
        if (!aboutItem && !volume)
            return error(kControlState, "the camera has no volume to report");
        postObject(camera, event, volume, aboutItem ? st.lastItem : nullptr);
        return kControlOk;
    }
    if (event >= 0x301 && event <= 0x3FF) {
        postState(camera, event, param);
        return kControlOk;
    }
    return error(kControlBadArgument,
                 "event " + hexText(event) + " is no property (0x1xx), object (0x2xx) or state (0x3xx) event");
}

std::uint32_t EosLibrary::releaseOn(const std::shared_ptr<Camera> &camera) { return release(camera, true); }

void EosLibrary::propertyChangedByCamera(const std::shared_ptr<Camera> &camera, std::uint32_t property)
{
    postProperty(camera, kPropertyEventChanged, property);
}

} // namespace tbx::sim::eds
