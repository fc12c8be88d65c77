#include "EosFixture.h"

#include "EosTestSupport.h"

#include "drivers/Drivers.h"

namespace tbx::test {

namespace {
/// The family of the running test.
Family gFamily = Family::EOS;

/// The generation-2 camera of the tests: the built-in EOS camera's card and owner.
constexpr const char *kGen2Camera = R"({"cameras": [{"id": "ps1", "family": "PowerShot generation 2",
    "ownerName": "Tetherbox demo", "volumes": [{"label": "SD1", "items": [
        {"folder": "DCIM", "items": [{"folder": "100CANON", "items": [
            {"file": "IMG_0001.JPG"}, {"file": "IMG_0002.JPG"}, {"file": "IMG_0003.CR3", "size": 1500000},
            {"file": "IMG_0004.JPG"}, {"file": "MVI_0005.MP4", "size": 3000000}]}]}]}]}]})";
} // namespace

std::string familyName(const ::testing::TestParamInfo<Family> &info)
{
    return info.param == Family::EOS ? "EOS" : "Gen2";
}

const sim::ControlClient &simOf(Family family)
{
    return standIn(family == Family::EOS ? "EDSDK.dll" : "PSG7XMK2SDK.dll");
}

const sim::ControlClient &sim() { return simOf(gFamily); }

void useFamily(Family family) { gFamily = family; }

std::vector<std::string> simLog()
{
    // Whatever the SDK has queued by now is handled on its own thread first, so that the calls
    // its handlers make are in the log deterministically rather than at a moment of their choosing.
    sim().WaitIdle(kSettleLimitMs);
    return sim().callLogLines();
}

std::vector<std::string> simCalls(const std::string &name)
{
    std::vector<std::string> out;
    for (const std::string &line : simLog())
        if (line.rfind(name + "(", 0) == 0)
            out.push_back(line);
    return out;
}

std::vector<std::string> simCallNames()
{
    std::vector<std::string> out;
    for (const std::string &line : simLog())
        out.push_back(sim::callName(line));
    return out;
}

void clearSimLog()
{
    // Events the SDK still has queued (those of a connect, say) are handled on its own thread and
    // may call into it; let them finish so that they don't land in the log of the next step.
    sim().WaitIdle(kSettleLimitMs);
    sim().ClearCallLog();
}

std::vector<std::string> simPropertyWrites()
{
    std::vector<std::string> out;
    for (const std::string &line : simCalls("EdsSetPropertyData")) {
        const auto args = argsOf(line);
        out.push_back(args.at(1) + " " + args.at(4));
    }
    return out;
}

std::string simError()
{
    return sim().lastError();
}

void EosTest::SetUp()
{
    platform::setClock(&clock_);
    platform::setOsVersionOverride(platform::OsVersion{6, 1});
    useFamily(family());
    ASSERT_EQ(sim().Reset(), 0u) << simError();
    if (family() == Family::Gen2)
        loadScenario(kGen2Camera);
    DriverArray drivers = MakeDrivers({cameraModel()});
    driver_ = static_cast<eos::TEDSDK *>(drivers[family() == Family::EOS ? SlotEOS : SlotGen2].get());
    engine_ = std::make_unique<TTetherbox>(std::move(drivers));
    engine_->LibraryFolder = redistFolder();
    clearSimLog();
}

void EosTest::TearDown()
{
    destroyEngine();
    sim().ClearFaults();
    platform::setClock(nullptr);
    platform::clearOsVersionOverride();
}

void EosTest::destroyEngine()
{
    if (engine_ && engine_->EnumerationOpen()) {
        try {
            engine_->CloseCameraEnumeration();
        } catch (...) {
        }
    }
    engine_.reset();
    driver_ = nullptr;
}

void EosTest::loadScenario(const std::string &json)
{
    // A camera that names no family is one of the family under test (scenarios name EOS otherwise).
    std::string text = json;
    if (family() == Family::Gen2 && text.find("\"family\"") == std::string::npos)
        for (std::size_t at = 0; (at = text.find("{\"id\": ", at)) != std::string::npos; at += 8)
            text.insert(at + 1, "\"family\": \"PowerShot generation 2\", ");
    ASSERT_EQ(sim().LoadScenario(text.c_str()), 0u) << simError();
}

ConnectInfoType EosTest::connect(int index)
{
    engine().OpenCameraEnumeration();
    ConnectInfoType info;
    engine().Connect(cameraModel(), index, info);
    clearSimLog();
    return info;
}

void EosTest::startRemote(ReleaseModeType mode)
{
    connect();
    RemoteStartInfoType info;
    engine().RemoteStart(mode, ReleaseDataKindTakeOnlyPicture, info, "", false);
    clearSimLog();
}

void EosTest::tick(int ticks)
{
    sim().WaitIdle(kSettleLimitMs);
    platform::runFor(25 * static_cast<platform::Millis>(ticks));
}

std::uint32_t EosTest::cameraValue(std::uint32_t property)
{
    std::uint32_t value = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(sim().GetProperty(cameraId(), property, &value, sizeof value, &size), 0u) << simError();
    return value;
}

void EosTest::setCameraValue(std::uint32_t property, std::uint32_t value)
{
    ASSERT_EQ(sim().SetProperty(cameraId(), property, &value, sizeof value), 0u) << simError();
}

} // namespace tbx::test
