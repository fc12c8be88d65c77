// The engine fixture with a connected camera of the family a test names, for the operations
// that work on a connected camera, and a table check of what each family does for an operation.
#pragma once

#include "EngineFixture.h"
#include "Failure.h"

#include <functional>
#include <string>
#include <vector>

namespace tbx::test {

/// How a test wants the camera connected.
enum class Camera { Legacy, PTP, EOS, Gen2 };

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
    static const char *const names[] = {"Legacy", "PTP", "EOS", "Gen2"};
    return names[static_cast<int>(param.param)];
}

class ConnectedEngine : public EngineTest {
protected:
    static int familyOf(Camera camera)
    {
        return camera == Camera::EOS ? CamModEOS : camera == Camera::Gen2 ? CamModPowerShotGen2 : CamModPowerShot;
    }
    /// The enumeration of family 1 holds two legacy cameras and one PTP camera.
    static int indexOf(Camera camera) { return camera == Camera::PTP ? 2 : 0; }

    void connect(Camera camera) { EngineTest::connect(familyOf(camera), indexOf(camera)); }
    void connectRemote(Camera camera) { startRemote(familyOf(camera), indexOf(camera)); }
    /// connectRemote(), then starts the viewfinder.
    void connectViewfinder(Camera camera)
    {
        connectRemote(camera);
        engine().RemoteStartViewfinder(false);
        clearCalls();
    }
    RecordingDriver &driverOf(Camera camera) { return EngineTest::driverOf(familyOf(camera), camera == Camera::PTP); }

    /// Runs each of \p cases on the connected \p camera and checks what it did.
    void expectFamilyCases(const std::vector<FamilyCase> &cases, Camera camera)
    {
        const std::string driver = driverOf(camera).name();
        for (const FamilyCase &c : cases) {
            SCOPED_TRACE(c.name);
            const std::string expected = camera == Camera::EOS    ? c.eos
                                         : camera == Camera::Gen2 ? c.gen2
                                                                  : c.powerShot;
            log().clear();
            const std::string message = failureOf([&] { c.call(engine()); });
            if (!expected.empty() && expected[0] == '!') {
                EXPECT_EQ(message, expected.substr(1));
                EXPECT_TRUE(log().names().empty());
            } else {
                EXPECT_EQ(message, "");
                EXPECT_EQ(log().names(), expected.empty() ? std::vector<std::string>{}
                                                          : std::vector<std::string>{driver + "." + expected});
            }
        }
    }
};

} // namespace tbx::test
