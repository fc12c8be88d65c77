// An engine over four recording drivers on the virtual clock, connected to a camera of the family
// a test names, for the tests of the operations that work on a connected camera.
#pragma once

#include "RecordingDriver.h"

#include "engine/Tetherbox.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tbx::test {

/// How a test wants the camera connected.
enum class Camera { None, Legacy, PTP, EOS, Gen2 };

/// What each family does for one operation: the driver operation it calls, "" for nothing, or
/// "!" followed by the message it raises.
struct FamilyCase {
    const char *name;
    std::function<void(TTetherbox &)> call;
    const char *powerShot;
    const char *eos;
    const char *gen2;
};

/// Test name suffix of a camera parameter.
inline std::string cameraName(const ::testing::TestParamInfo<Camera> &param)
{
    static const char *const names[] = {"None", "Legacy", "PTP", "EOS", "Gen2"};
    return names[static_cast<int>(param.param)];
}

class ConnectedEngine : public ::testing::Test {
protected:
    ConnectedEngine()
    {
        platform::setClock(&clock);
        auto make = [this](const char *name, RecordingDriver *&into) {
            auto driver = std::make_unique<RecordingDriver>(name, log);
            into = driver.get();
            return driver;
        };
        engine = std::make_unique<TTetherbox>(make("CD", cd), make("PR", pr), make("ED", ed), make("PS", ps));
    }
    ~ConnectedEngine() override
    {
        engine.reset();
        platform::clearOsVersionOverride();
        platform::setClock(nullptr);
    }

    /// Enumerates and connects one camera of \p camera's family (PTP through an OS version that
    /// keeps the PTP driver enabled).
    void connect(Camera camera)
    {
        int family = CamModNone;
        switch (camera) {
        case Camera::None:
            return;
        case Camera::Legacy:
            cd->cameras = {"PowerShot Legacy"};
            family = CamModPowerShot;
            break;
        case Camera::PTP:
            platform::setOsVersionOverride(platform::OsVersion{5, 1});
            pr->cameras = {"PowerShot PTP"};
            family = CamModPowerShot;
            break;
        case Camera::EOS:
            ed->cameras = {"EOS Body"};
            family = CamModEOS;
            break;
        case Camera::Gen2:
            ps->cameras = {"PowerShot Gen2"};
            family = CamModPowerShotGen2;
            break;
        }
        engine->OpenCameraEnumeration();
        ConnectInfoType info;
        engine->Connect(family, 0, info);
        log->clear();
    }

    /// connect(), then enters remote mode.
    void connectRemote(Camera camera)
    {
        connect(camera);
        RemoteStartInfoType info;
        engine->RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, info, "", false);
        log->clear();
    }

    /// connectRemote(), then starts the viewfinder.
    void connectViewfinder(Camera camera)
    {
        connectRemote(camera);
        engine->RemoteStartViewfinder(false);
        log->clear();
    }

    /// The driver that serves \p camera.
    RecordingDriver &driverOf(Camera camera)
    {
        switch (camera) {
        case Camera::Legacy:
            return *cd;
        case Camera::PTP:
            return *pr;
        case Camera::EOS:
            return *ed;
        default:
            return *ps;
        }
    }

    /// Runs each of \p cases on the connected \p camera and checks what it did.
    void expectFamilyCases(const std::vector<FamilyCase> &cases, Camera camera)
    {
        const std::string driver = driverOf(camera).name();
        for (const FamilyCase &c : cases) {
            SCOPED_TRACE(c.name);
            const std::string expected = camera == Camera::EOS    ? c.eos
                                         : camera == Camera::Gen2 ? c.gen2
                                                                  : c.powerShot;
            log->clear();
            const std::string message = messageOf([&] { c.call(*engine); });
            if (!expected.empty() && expected[0] == '!') {
                EXPECT_EQ(message, expected.substr(1));
                EXPECT_TRUE(log->names().empty());
            } else {
                EXPECT_EQ(message, "");
                EXPECT_EQ(log->names(), expected.empty() ? std::vector<std::string>{}
                                                         : std::vector<std::string>{driver + "." + expected});
            }
        }
    }

    /// The message \p op raises, or "" when it raises nothing.
    template <class Op>
    static std::string messageOf(Op &&op)
    {
        try {
            op();
        } catch (const std::exception &e) {
            return e.what();
        }
        return "";
    }

    platform::VirtualClock clock;
    std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
    RecordingDriver *cd = nullptr;
    RecordingDriver *pr = nullptr;
    RecordingDriver *ed = nullptr;
    RecordingDriver *ps = nullptr;
    std::unique_ptr<TTetherbox> engine;
};

} // namespace tbx::test
