#include "Library.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tbx::sim {

std::uint32_t copyOut(const std::string &text, char *buffer, std::uint32_t size, std::uint32_t *outSize)
{
    const auto needed = static_cast<std::uint32_t>(text.size() + 1);
    if (outSize != nullptr)
        *outSize = needed;
    if (buffer == nullptr || size < needed) {
        if (buffer != nullptr && size > 0)
            buffer[0] = 0;
        return buffer == nullptr && outSize == nullptr ? kControlBadArgument : kControlBufferSmall;
    }
    std::memcpy(buffer, text.c_str(), needed);
    return kControlOk;
}

SimLibrary::SimLibrary(std::vector<const FamilyProfile *> profiles) : profiles_(std::move(profiles)) {}

SimLibrary::~SimLibrary() = default;

std::uint32_t SimLibrary::error(std::uint32_t code, const std::string &text)
{
    std::lock_guard lock(errorMutex_);
    lastError_ = text;
    return code;
}

std::string SimLibrary::startupScenario(std::string &origin) const
{
    const char *variable = std::getenv(kScenarioVariable);
    if (variable != nullptr && *variable != 0) {
        origin = std::string(kScenarioVariable) + "=" + variable;
        return scenarioText(variable);
    }
    origin = "built-in scenario";
    return builtInScenario();
}

void SimLibrary::ensureLoaded()
{
    std::lock_guard lock(mutex_);
    if (loaded_)
        return;
    loaded_ = true;
    std::string origin;
    try {
        install(parseScenario(startupScenario(origin), profiles_));
    } catch (const ScenarioError &e) {
        // The host cannot see a failed start-up any other way: say it once on the console.
        error(kControlScenario, origin + ": " + e.what());
        std::fprintf(stderr, "simulated camera SDK: %s: %s; no camera attached\n", origin.c_str(), e.what());
    }
}

std::shared_ptr<Camera> SimLibrary::cameraFor(const char *id)
{
    ensureLoaded();
    auto camera = findCamera(id);
    if (!camera)
        error(kControlNotFound, std::string("no camera \"") + (id ? id : "") + "\"");
    return camera;
}

std::shared_ptr<Camera> SimLibrary::findCamera(const char *id) const
{
    for (const auto &camera : cameras_)
        if (id == nullptr || *id == 0 ? camera->attached : camera->id == id)
            return camera;
    return nullptr;
}

std::uint32_t SimLibrary::install(Scenario scenario)
{
    for (const auto &camera : cameras_)
        if (camera->attached)
            detach(camera);
    camerasReplaced();
    cameras_ = std::move(scenario.cameras);
    log_.setLimit(scenario.callLogLimit);
    delivery_ = scenario.delivery;
    return kControlOk;
}

std::uint32_t SimLibrary::loadScenario(const char *textOrPath)
{
    if (textOrPath == nullptr)
        return error(kControlBadArgument, "no scenario given");
    std::lock_guard lock(mutex_);
    loaded_ = true;
    try {
        return install(parseScenario(scenarioText(textOrPath), profiles_));
    } catch (const ScenarioError &e) {
        return error(kControlScenario, e.what());
    }
}

std::uint32_t SimLibrary::reset()
{
    std::lock_guard lock(mutex_);
    faults_.clear();
    log_.clear();
    loaded_ = true;
    std::string origin;
    try {
        return install(parseScenario(startupScenario(origin), profiles_));
    } catch (const ScenarioError &e) {
        install(Scenario{});
        return error(kControlScenario, origin + ": " + e.what());
    }
}

std::uint32_t SimLibrary::attachCamera(const char *idOrJson)
{
    if (idOrJson == nullptr)
        return error(kControlBadArgument, "no camera given");
    std::lock_guard lock(mutex_);
    ensureLoaded();
    std::shared_ptr<Camera> camera;
    const char *first = idOrJson;
    while (*first == ' ' || *first == '\t' || *first == '\r' || *first == '\n')
        ++first;
    if (*first == '{') {
        try {
            camera = parseCamera(idOrJson, profiles_);
        } catch (const ScenarioError &e) {
            return error(kControlScenario, e.what());
        }
        if (auto existing = findCamera(camera->id.c_str()))
            return error(kControlBadArgument, "a camera with id \"" + camera->id + "\" exists already");
        camera->attached = false;
        cameras_.push_back(camera);
    } else {
        camera = findCamera(idOrJson);
        if (!camera || *idOrJson == 0)
            return error(kControlNotFound, std::string("no camera \"") + idOrJson + "\"");
        if (camera->attached)
            return kControlOk;
    }
    camera->attached = true;
    camera->unplugAfterBytes.reset();
    cameraAttached(camera);
    return kControlOk;
}

void SimLibrary::detach(const std::shared_ptr<Camera> &camera)
{
    camera->attached = false;
    camera->unplugAfterBytes.reset();
    cameraDetached(camera);
}

std::uint32_t SimLibrary::detachCamera(const char *id)
{
    std::lock_guard lock(mutex_);
    auto camera = cameraFor(id);
    if (!camera)
        return kControlNotFound;
    if (camera->attached)
        detach(camera);
    return kControlOk;
}

std::uint32_t SimLibrary::injectFault(const char *entryPoint, std::uint32_t code, std::int32_t count)
{
    if (entryPoint == nullptr || *entryPoint == 0)
        return error(kControlBadArgument, "no entry point named");
    if (count < Faults::kAlways)
        return error(kControlBadArgument, "count must be -1 (always), 0 (remove) or above");
    faults_.inject(entryPoint, code, count);
    return kControlOk;
}

std::uint32_t SimLibrary::clearFaults()
{
    faults_.clear();
    return kControlOk;
}

std::uint32_t SimLibrary::setBusy(const char *id, std::int32_t calls)
{
    std::lock_guard lock(mutex_);
    auto camera = cameraFor(id);
    if (!camera)
        return kControlNotFound;
    if (calls < -1)
        return error(kControlBadArgument, "calls must be -1 (always), 0 (not busy) or above");
    camera->busyCalls = calls;
    return kControlOk;
}

std::uint32_t SimLibrary::unplug(const char *id, std::uint64_t afterBytes)
{
    std::lock_guard lock(mutex_);
    auto camera = cameraFor(id);
    if (!camera)
        return kControlNotFound;
    if (!camera->attached)
        return error(kControlState, "camera \"" + camera->id + "\" is not attached");
    camera->unplugAfterBytes = afterBytes;
    return kControlOk;
}

std::optional<std::uint64_t> SimLibrary::bytesBeforeUnplug(const std::shared_ptr<Camera> &camera, std::uint64_t size)
{
    if (!camera->unplugAfterBytes)
        return std::nullopt;
    std::uint64_t &left = *camera->unplugAfterBytes;
    if (left > size) {
        left -= size;
        return std::nullopt;
    }
    return left;
}

bool SimLibrary::carries(const std::shared_ptr<Camera> &camera, std::uint64_t size)
{
    if (!bytesBeforeUnplug(camera, size))
        return true;
    detach(camera);
    return false;
}

std::shared_ptr<Item> SimLibrary::newFile(const Camera &camera, const std::string &prefix, std::uint32_t number,
                                          const char *extension, ItemKind kind, std::uint64_t size, int width,
                                          int height) const
{
    char name[64];
    std::snprintf(name, sizeof name, "%s%04u.%s", prefix.c_str(), static_cast<unsigned>(number), extension);
    auto item = std::make_shared<Item>();
    item->name = name;
    item->kind = kind;
    item->requestedSize = size;
    item->time = camera.now();
    item->groupId = number;
    if (width > 0)
        item->width = width;
    if (height > 0)
        item->height = height;
    const FamilyProfile *profile = profiles_.front();
    for (const FamilyProfile *p : profiles_)
        if (p->family == camera.family)
            profile = p;
    if (profile->formatOf)
        item->format = profile->formatOf(*item);
    return item;
}

std::uint32_t SimLibrary::getCallLog(char *buffer, std::uint32_t size, std::uint32_t *outSize)
{
    return copyOut(log_.text(), buffer, size, outSize);
}

std::uint32_t SimLibrary::clearCallLog()
{
    log_.clear();
    return kControlOk;
}

std::uint32_t SimLibrary::fireEvent(const char *id, std::uint32_t event, std::uint32_t param)
{
    std::lock_guard lock(mutex_);
    auto camera = cameraFor(id);
    if (!camera)
        return kControlNotFound;
    return fireEventOn(camera, event, param);
}

std::uint32_t SimLibrary::releaseShutter(const char *id)
{
    std::lock_guard lock(mutex_);
    auto camera = cameraFor(id);
    if (!camera)
        return kControlNotFound;
    if (!camera->attached)
        return error(kControlState, "camera \"" + camera->id + "\" is not attached");
    const std::uint32_t result = releaseOn(camera);
    if (result != 0)
        return error(kControlFailed, "the camera refused the release: " + hexText(result));
    return kControlOk;
}

std::uint32_t SimLibrary::setProperty(const char *id, std::uint32_t property, const void *data, std::uint32_t size)
{
    if (data == nullptr || size == 0)
        return error(kControlBadArgument, "no property data given");
    std::lock_guard lock(mutex_);
    auto camera = cameraFor(id);
    if (!camera)
        return kControlNotFound;
    Property *p = camera->property(property);
    if (p == nullptr)
        return error(kControlBadArgument, "the camera has no property " + hexText(property));
    // The camera itself may change what the host may not (a mode dial, the battery).
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    if (p->text)
        p->setText(
            std::string(reinterpret_cast<const char *>(bytes), strnlen(reinterpret_cast<const char *>(bytes), size)));
    else if (size != p->value.size())
        return error(kControlBadArgument,
                     "property " + hexText(property) + " takes " + std::to_string(p->value.size()) + " bytes");
    else
        p->value.assign(bytes, bytes + size);
    propertyChangedByCamera(camera, property);
    return kControlOk;
}

std::uint32_t SimLibrary::getProperty(const char *id, std::uint32_t property, void *data, std::uint32_t size,
                                      std::uint32_t *outSize)
{
    std::lock_guard lock(mutex_);
    auto camera = cameraFor(id);
    if (!camera)
        return kControlNotFound;
    Property *p = camera->property(property);
    if (p == nullptr)
        return error(kControlBadArgument, "the camera has no property " + hexText(property));
    if (outSize != nullptr)
        *outSize = static_cast<std::uint32_t>(p->value.size());
    if (data == nullptr)
        return outSize != nullptr ? kControlOk : error(kControlBadArgument, "no buffer given");
    if (size < p->value.size())
        return kControlBufferSmall;
    std::memcpy(data, p->value.data(), p->value.size());
    return kControlOk;
}

std::uint32_t SimLibrary::waitIdle(std::uint32_t milliseconds)
{
    // Not under the library lock: the event thread takes it to deliver.
    return pump_.waitIdle(std::chrono::milliseconds(milliseconds)) ? kControlOk
                                                                   : error(kControlState, "events still pending");
}

std::uint32_t SimLibrary::objectCount()
{
    std::lock_guard lock(mutex_);
    return objects_.liveCount();
}

std::uint32_t SimLibrary::lastError(char *buffer, std::uint32_t size, std::uint32_t *outSize)
{
    std::lock_guard lock(errorMutex_);
    return copyOut(lastError_, buffer, size, outSize);
}

} // namespace tbx::sim
