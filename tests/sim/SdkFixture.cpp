#include "SdkFixture.h"

#include <cstring>
#include <sstream>
#include <type_traits>


#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

void *openLibrary(const char *path) {
#if defined(_WIN32)
    return reinterpret_cast<void *>(LoadLibraryA(path));
#else
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
#endif
}

void *symbolOf(void *library, const char *name) {
#if defined(_WIN32)
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name));
#else
    return dlsym(library, name);
#endif
}

template <class F>
void bind(void *library, const char *name, F &target) {
    void *p = symbolOf(library, name);
    if (p == nullptr) throw std::runtime_error(std::string("not exported: ") + name);
    target = reinterpret_cast<F>(p);
}

Sdk load() {
    void *library = openLibrary(TBX_SIM_EDSDK_PATH);
    if (library == nullptr) throw std::runtime_error("cannot load " TBX_SIM_EDSDK_PATH);
    Sdk sdk;
#define TBX_SDK_BIND(name, ordinal, x86Bytes, result, params)                                                   \
    bind(library, TBX_EDSDK_EXPORT_NAME(name, ordinal, x86Bytes), sdk.name);
    TBX_EDSDK_EXPORTS(TBX_SDK_BIND)
#undef TBX_SDK_BIND
    return sdk;
}

}  // namespace

void *exportOf(const char *libraryPath, const char *name) {
    void *library = openLibrary(libraryPath);
    return library == nullptr ? nullptr : symbolOf(library, name);
}

const Sdk &sdk() {
    static const Sdk instance = load();
    return instance;
}

const tbx::sim::ControlClient &control() { return tbx::test::standIn("EDSDK.dll"); }

std::string callLog() { return control().callLog(); }

std::vector<std::string> callLogLines(const std::string &prefix) {
    std::vector<std::string> lines;
    for (std::string &line : tbx::sim::callLogLines(callLog()))
        if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(std::move(line));
    return lines;
}

std::string lastSimError() { return control().lastError(); }

void Waiter::notify(const std::function<void()> &change) {
    {
        std::lock_guard lock(mutex_);
        change();
    }
    changed_.notify_all();
}

bool Waiter::waitFor(const std::function<bool()> &done, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, done);
}

void SimTest::SetUp() {
    ASSERT_EQ(control().Reset(), 0u) << lastSimError();
    ASSERT_EQ(s.EdsInitializeSDK(), 0u);
    control().ClearCallLog();
}

void SimTest::TearDown() {
    for (auto it = held_.rbegin(); it != held_.rend(); ++it) s.EdsRelease(*it);
    held_.clear();
    control().WaitIdle(kSettleLimitMs);
    EXPECT_EQ(control().GetObjectCount(), 0u) << "a reference was not released";
    EXPECT_EQ(s.EdsTerminateSDK(), 0u);
    control().ClearFaults();
}

EdsCameraRef SimTest::firstCamera() {
    EdsCameraListRef list = nullptr;
    EXPECT_EQ(s.EdsGetCameraList(&list), 0u);
    EdsCameraRef camera = nullptr;
    EXPECT_EQ(s.EdsGetChildAtIndex(list, 0, &camera), 0u);
    EXPECT_EQ(s.EdsRelease(list), 0u);
    held_.push_back(camera);
    return camera;
}

EdsCameraRef SimTest::openCamera() {
    EdsCameraRef camera = firstCamera();
    EXPECT_EQ(s.EdsOpenSession(camera), 0u);
    return camera;
}

EdsDirectoryItemRef SimTest::itemAt(EdsCameraRef camera, const std::string &path) {
    EdsBaseRef current = nullptr;
    EXPECT_EQ(s.EdsGetChildAtIndex(camera, 0, &current), 0u);
    held_.push_back(current);
    std::istringstream parts(path);
    for (std::string name; std::getline(parts, name, '/');) {
        EdsUInt32 count = 0;
        EXPECT_EQ(s.EdsGetChildCount(current, &count), 0u);
        EdsBaseRef found = nullptr;
        for (EdsUInt32 i = 0; i < count && found == nullptr; ++i) {
            EdsBaseRef child = nullptr;
            EXPECT_EQ(s.EdsGetChildAtIndex(current, static_cast<EdsInt32>(i), &child), 0u);
            EdsDirectoryItemInfo info{};
            EXPECT_EQ(s.EdsGetDirectoryItemInfo(child, &info), 0u);
            if (name == info.szFileName)
                found = child;
            else
                s.EdsRelease(child);
        }
        if (found == nullptr) {
            ADD_FAILURE() << "no " << name << " in " << path;
            return nullptr;
        }
        held_.push_back(found);
        current = found;
    }
    return current;
}

EdsUInt32 SimTest::u32Property(EdsBaseRef ref, EdsPropertyID id) {
    EdsUInt32 value = 0xDEADBEEF;
    EXPECT_EQ(s.EdsGetPropertyData(ref, id, 0, 4, &value), 0u) << "property " << id;
    return value;
}

EdsError SimTest::setU32(EdsBaseRef ref, EdsPropertyID id, EdsUInt32 value) {
    return s.EdsSetPropertyData(ref, id, 0, 4, &value);
}

std::vector<std::uint8_t> SimTest::streamBytes(EdsStreamRef stream) {
    EdsVoid *data = nullptr;
    EdsUInt64 length = 0;
    EXPECT_EQ(s.EdsGetPointer(stream, &data), 0u);
    EXPECT_EQ(s.EdsGetLength(stream, &length), 0u);
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    return bytes == nullptr ? std::vector<std::uint8_t>() : std::vector<std::uint8_t>(bytes, bytes + length);
}

void SimTest::release(EdsBaseRef ref) {
    for (auto it = held_.begin(); it != held_.end(); ++it)
        if (*it == ref) {
            held_.erase(it);
            break;
        }
    s.EdsRelease(ref);
}
