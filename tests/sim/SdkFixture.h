// Loads the EOS stand-in by path and reaches every entry point through its export, the way a
// host's binding does; a fixture starts each test from the built-in scenario.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "EdsTypes.h"
#include "StandIns.h"
#include "sdk/EdsdkExports.h"

struct Sdk {
#define TBX_SDK_MEMBER(name, ordinal, x86Bytes, result, params) result(TBX_EDS_CALL *name) params = nullptr;
    TBX_EDSDK_EXPORTS(TBX_SDK_MEMBER)
#undef TBX_SDK_MEMBER
};

/// The stand-in, loaded once per process; the test fails when a function is not exported.
const Sdk &sdk();
/// The stand-in's control API, in the same library instance.
const tbx::sim::ControlClient &control();
/// Looks an export up by name in a library loaded by path; nullptr when missing.
void *exportOf(const char *libraryPath, const char *name);

/// How long a test lets the stand-in's event thread take to handle what it has queued; waiting
/// ends as soon as that is done, so the limit only keeps a hung stand-in from hanging the test.
inline constexpr EdsUInt32 kSettleLimitMs = 30000;

std::string callLog();
std::vector<std::string> callLogLines(const std::string &prefix);
std::string lastSimError();

/// Waits, at most a short bounded time, until \a done is true; for callbacks that come from
/// the library's own event thread.
class Waiter {
public:
    void notify(const std::function<void()> &change);
    bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds limit = std::chrono::milliseconds(kSettleLimitMs));

private:
    std::mutex mutex_;
    std::condition_variable changed_;
};

/// Each test starts from the built-in scenario with the SDK initialized, and ends with every
/// reference it took released.
class SimTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// The first camera of a fresh camera list, the list released again.
    EdsCameraRef firstCamera();
    /// firstCamera() with a session open.
    EdsCameraRef openCamera();
    /// The item at \a path ("DCIM/100CANON/IMG_0001.JPG") on the first volume.
    EdsDirectoryItemRef itemAt(EdsCameraRef camera, const std::string &path);
    EdsUInt32 u32Property(EdsBaseRef ref, EdsPropertyID id);
    EdsError setU32(EdsBaseRef ref, EdsPropertyID id, EdsUInt32 value);
    std::vector<std::uint8_t> streamBytes(EdsStreamRef stream);
    void release(EdsBaseRef ref);

    const Sdk &s = sdk();
    std::vector<EdsBaseRef> held_;
};
