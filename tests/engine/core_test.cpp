// Engine core: registry, SDK start-up and enumeration order, connect and disconnect.
#include "EngineFixture.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace tbx::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

std::vector<std::string> sdkCalls(CallLog &log)
{
    std::vector<std::string> result;
    for (const DriverCall &call : log.calls())
        if (call.op == "StartSDK" || call.op == "EnumerateCameras" || call.op == "EndSDK")
            result.push_back(call.name());
    return result;
}

class CoreTest : public EngineTest {};

TEST_F(CoreTest, EnumerationWithoutCamerasTriesEveryFamilyInOrderAndEndsEach)
{
    engine().LibraryFolder = "/opt/sdk";
    const EnumerationListsType lists = engine().OpenCameraEnumeration();
    EXPECT_THAT(sdkCalls(log()),
                ElementsAre("CD.StartSDK", "PR.StartSDK", "CD.EnumerateCameras", "PR.EnumerateCameras", "CD.EndSDK",
                            "PR.EndSDK", "PS.StartSDK", "PS.EnumerateCameras", "PS.EndSDK", "ED.StartSDK",
                            "ED.EnumerateCameras", "ED.EndSDK"));
    EXPECT_EQ(cd().lastArgs("StartSDK"), "/opt/sdk");
    EXPECT_THAT(*lists.PowerShot, IsEmpty());
    EXPECT_THAT(*lists.EOS, IsEmpty());
    EXPECT_THAT(*lists.PowerShotGen2, IsEmpty());
    EXPECT_TRUE(engine().EnumerationOpen());

    log().clear();
    engine().CloseCameraEnumeration();
    EXPECT_THAT(sdkCalls(log()), IsEmpty()); // nothing left running
    EXPECT_FALSE(engine().EnumerationOpen());
}

TEST_F(CoreTest, TheFirstFamilyWithACameraStopsTheSearchAndKeepsItsSDK)
{
    cd().cameras = {"A"};
    pr().cameras = {"P"};
    const EnumerationListsType lists = engine().OpenCameraEnumeration();
    EXPECT_THAT(sdkCalls(log()), ElementsAre("CD.StartSDK", "PR.StartSDK", "CD.EnumerateCameras", "PR.EnumerateCameras"));
    EXPECT_THAT(*lists.PowerShot, ElementsAre("A", "P"));
    EXPECT_THAT(*lists.EOS, IsEmpty());

    log().clear();
    engine().CloseCameraEnumeration();
    EXPECT_THAT(sdkCalls(log()), ElementsAre("CD.EndSDK", "PR.EndSDK"));
    EXPECT_THAT(*lists.PowerShot, IsEmpty());
}

TEST_F(CoreTest, AModernWindowsNeverTouchesThePTPFamily)
{
    platform::setOsVersionOverride(kWindows7);
    cd().cameras = {"A"};
    pr().cameras = {"P"};
    const EnumerationListsType lists = engine().OpenCameraEnumeration();
    EXPECT_TRUE(engine().PTPDisabled());
    EXPECT_THAT(*lists.PowerShot, ElementsAre("A"));
    engine().CloseCameraEnumeration();
    EXPECT_EQ(pr().count("StartSDK") + pr().count("EnumerateCameras") + pr().count("EndSDK"), 0);
}

TEST_F(CoreTest, ASecondEnumerationNeitherRestartsNorEndsWhatIsNotItsToEnd)
{
    ed().cameras = {"EOS"};
    engine().OpenCameraEnumeration();
    log().clear();

    // The EOS camera is still there: the EOS SDK is enumerated again but not started twice.
    engine().OpenCameraEnumeration();
    EXPECT_THAT(sdkCalls(log()),
                ElementsAre("CD.StartSDK", "PR.StartSDK", "CD.EnumerateCameras", "PR.EnumerateCameras", "CD.EndSDK",
                            "PR.EndSDK", "PS.StartSDK", "PS.EnumerateCameras", "PS.EndSDK", "ED.EnumerateCameras"));

    // Now a PowerShot appears: the EOS SDK that is no longer needed is ended, once.
    log().clear();
    ed().cameras.clear();
    cd().cameras = {"A"};
    engine().OpenCameraEnumeration();
    EXPECT_THAT(sdkCalls(log()), ElementsAre("CD.StartSDK", "PR.StartSDK", "CD.EnumerateCameras",
                                             "PR.EnumerateCameras", "ED.EndSDK"));
    log().clear();
    engine().CloseCameraEnumeration();
    EXPECT_THAT(sdkCalls(log()), ElementsAre("CD.EndSDK", "PR.EndSDK"));
}

TEST_F(CoreTest, APartialStartOfThePowerShotFamilyIsUndone)
{
    pr().failWith("StartSDK", "PRSDK missing", 1);
    EXPECT_THROW(
        {
            try {
                engine().OpenCameraEnumeration();
            } catch (const ECamException &e) {
                EXPECT_STREQ(e.what(), "PRSDK missing");
                throw;
            }
        },
        ECamException);
    EXPECT_THAT(sdkCalls(log()), ElementsAre("CD.StartSDK", "PR.StartSDK", "CD.EndSDK"));

    // Nothing counts as started: the next attempt starts both again.
    log().clear();
    cd().cameras = {"A"};
    engine().OpenCameraEnumeration();
    EXPECT_THAT(sdkCalls(log()), ElementsAre("CD.StartSDK", "PR.StartSDK", "CD.EnumerateCameras", "PR.EnumerateCameras"));
}

TEST_F(CoreTest, AnUnknownWindowsVersionStopsBeforeAnySDK)
{
    platform::setOsVersionOverride(std::nullopt);
    try {
        engine().OpenCameraEnumeration();
        FAIL() << "no exception";
    } catch (const EInOutError &e) {
        EXPECT_STREQ(e.what(), "Could not detect windows version, which is required for EOS-support (StartTheSDKs)");
    }
    EXPECT_THAT(log().calls(), IsEmpty());
    EXPECT_FALSE(engine().EnumerationOpen());
}

TEST_F(CoreTest, TwoEnginesShareAnSDKThatOnlyTheLastOneEnds)
{
    EngineUnderTest second;
    EXPECT_EQ(engine().RegistryIndex(), 0);
    EXPECT_EQ(second.engine->RegistryIndex(), 1);

    ed().cameras = {"EOS 1"};
    second.ed->cameras = {"EOS 2"};
    engine().OpenCameraEnumeration();
    const EnumerationListsType lists = second.engine->OpenCameraEnumeration();
    EXPECT_EQ(ed().count("StartSDK") + second.ed->count("StartSDK"), 1);
    EXPECT_THAT(*lists.EOS, ElementsAre("EOS 2")); // each engine keeps its own lists

    engine().CloseCameraEnumeration();
    EXPECT_EQ(ed().count("EndSDK") + second.ed->count("EndSDK"), 0);
    second.engine->CloseCameraEnumeration();
    EXPECT_EQ(second.ed->count("EndSDK"), 1);
}

TEST_F(CoreTest, AnEngineDestroyedWhileHoldingAnSDKEndsItOnlyAsItsLastUser)
{
    auto second = std::make_unique<EngineUnderTest>();
    ed().cameras = {"EOS 1"};
    second->ed->cameras = {"EOS 2"};
    engine().OpenCameraEnumeration();
    second->engine->OpenCameraEnumeration();
    const std::shared_ptr<CallLog> secondLog = second->log;
    second.reset();
    auto eosEnds = [](CallLog &l) {
        const auto ends = l.namesOf("EndSDK");
        return std::count(ends.begin(), ends.end(), "ED.EndSDK");
    };
    EXPECT_EQ(eosEnds(*secondLog), 0); // the first engine still uses the SDK

    const std::shared_ptr<CallLog> firstLog = box_->log;
    destroyEngine();
    EXPECT_EQ(eosEnds(*firstLog), 1);

    // A new engine starts the SDK afresh.
    box_ = std::make_unique<EngineUnderTest>();
    ed().cameras = {"EOS 1"};
    engine().OpenCameraEnumeration();
    EXPECT_EQ(ed().count("StartSDK"), 1);
}

TEST_F(CoreTest, AFailureToEndOneSDKStillClosesEverythingElse)
{
    cd().cameras = {"A"};
    engine().OpenCameraEnumeration();
    cd().failWith("EndSDK", "CDFinishSDK failed");
    EXPECT_THROW(engine().CloseCameraEnumeration(), ECamException);
    EXPECT_THAT(sdkCalls(log()), ElementsAre("CD.StartSDK", "PR.StartSDK", "CD.EnumerateCameras",
                                             "PR.EnumerateCameras", "CD.EndSDK", "PR.EndSDK"));
    EXPECT_FALSE(engine().EnumerationOpen());

    // Nothing counts as running any more.
    log().clear();
    engine().CloseCameraEnumeration();
    EXPECT_THAT(sdkCalls(log()), IsEmpty());
}

TEST_F(CoreTest, RegistrySlotsStayPutAndTheRegistryGoesWithTheLastEngine)
{
    auto second = std::make_unique<EngineUnderTest>();
    EXPECT_EQ(EngineRegistry::slotCount(), 2u);
    destroyEngine();
    EXPECT_EQ(second->engine->RegistryIndex(), 1);
    EXPECT_EQ(EngineRegistry::slotCount(), 2u);

    // A callback for the destroyed engine finds nothing and does nothing.
    const std::uint32_t parameter = 6;
    EXPECT_EQ(TTetherbox::CameraEventCallback(0x0001, &parameter, 4, 0), 0u);
    EXPECT_EQ(TTetherbox::EOSStateEventHandler(0x301, 0, registryContext(0)), 0u);
    EXPECT_EQ(TTetherbox::CameraEventCallback(0x0001, &parameter, 4, 99), 0u);

    second.reset();
    EXPECT_FALSE(EngineRegistry::exists());
    EngineUnderTest third;
    EXPECT_EQ(third.engine->RegistryIndex(), 0);
}

TEST_F(CoreTest, FamilyOneConnectsLegacyCamerasFirstThenPTPCameras)
{
    cd().cameras = {"A", "B"};
    pr().cameras = {"P"};
    engine().OpenCameraEnumeration();
    ConnectInfoType info;
    engine().Connect(CamModPowerShot, 1, info);
    EXPECT_EQ(cd().lastArgs("Connect"), "1, 0");
    EXPECT_NE(cd().connectCallbacks.legacyEvent, nullptr);
    EXPECT_EQ(cd().connectCallbacks.ptpEvent, nullptr);
    engine().Disconnect();
    EXPECT_EQ(cd().count("Disconnect"), 1);

    pr().connectInfo.CameraModelName = "PTP camera";
    engine().Connect(CamModPowerShot, 2, info);
    EXPECT_EQ(pr().lastArgs("Connect"), "2, 0"); // the PTP driver subtracts the legacy count itself
    EXPECT_NE(pr().connectCallbacks.ptpEvent, nullptr);
    EXPECT_EQ(info.CameraModel, CamModPowerShot);
    EXPECT_EQ(info.CameraModelName, "PTP camera");
    engine().Disconnect();
    EXPECT_EQ(pr().count("Disconnect"), 1);
}

TEST_F(CoreTest, BeyondTheLegacyCamerasWithoutPTPTheLegacyDriverRefuses)
{
    platform::setOsVersionOverride(kWindows7);
    cd().cameras = {"A"};
    engine().OpenCameraEnumeration();
    cd().failWith("Connect", "There are only 1 cameras connected.");
    ConnectInfoType info;
    EXPECT_THROW(engine().Connect(CamModPowerShot, 1, info), ECamException);
    EXPECT_EQ(pr().count("Connect"), 0);
    EXPECT_EQ(engine().Connection().CameraModel, CamModNone);
}

TEST_F(CoreTest, ConnectRefusesASecondCameraAndBadFamiliesAndLeavesNegativeIndicesToTheDriver)
{
    connect(CamModEOS);
    ConnectInfoType info;
    try {
        engine().Connect(CamModPowerShotGen2, 0, info);
        FAIL() << "no exception";
    } catch (const ECamException &e) {
        EXPECT_STREQ(e.what(), "Camera already connected.");
    }
    EXPECT_EQ(engine().Connection().CameraModel, CamModEOS);
    EXPECT_EQ(ps().count("Connect"), 0);

    engine().Disconnect();
    for (int family : {0, 4, -1}) {
        try {
            engine().Connect(family, 0, info);
            FAIL() << "family " << family << " accepted";
        } catch (const ECamException &e) {
            EXPECT_THAT(e.what(), HasSubstr("camera type"));
        }
    }
    EXPECT_THAT(log().namesOf("Connect"), IsEmpty());

    // A negative camera number is the family driver's to refuse, in its own words.
    engine().Connect(CamModEOS, -1, info);
    engine().Disconnect();
    engine().Connect(CamModPowerShot, -1, info);
    EXPECT_EQ(ed().count("Connect"), 1);
    EXPECT_EQ(cd().count("Connect"), 1);
    EXPECT_EQ(pr().count("Connect"), 0);
}

TEST_F(CoreTest, EOSConnectReadsTheFirmwareAndUndoesTheConnectionWhenThatFails)
{
    ed().cameras = {"EOS"};
    engine().OpenCameraEnumeration();
    ed().connectInfo.CameraModel = CamModEOS;
    ed().connectInfo.FirmwareVersion = "from connect";
    ed().firmwareVersion = "3-1.2.0";
    ConnectInfoType info;
    info.OwnerName = "stale";
    engine().Connect(CamModEOS, 0, info);
    EXPECT_EQ(info.FirmwareVersion, "3-1.2.0");
    EXPECT_EQ(info.OwnerName, "");
    EXPECT_NE(ed().connectCallbacks.stateEvent, nullptr);
    EXPECT_NE(ed().connectCallbacks.objectEvent, nullptr);
    EXPECT_NE(ed().connectCallbacks.progress, nullptr);

    // The driver always gets an empty record, also after an earlier connection.
    engine().Disconnect();
    ed().failWith("ReadFirmwareVersion", "EdsGetPropertyData failed");
    EXPECT_THROW(engine().Connect(CamModEOS, 0, info), ECamException);
    EXPECT_EQ(ed().connectInfoOnEntry.FirmwareVersion, "");
    EXPECT_EQ(ed().count("Disconnect"), 2);
    EXPECT_EQ(engine().Connection().CameraModel, CamModNone);
}

TEST_F(CoreTest, DisconnectStopsWhatBelongsToTheCameraAndKeepsRemoteMode)
{
    EXPECT_EQ(engine().Disconnect(), 0);
    EXPECT_THAT(log().calls(), IsEmpty());

    startRemote(CamModEOS);
    ed().disconnectResult = 7;
    EXPECT_EQ(engine().Disconnect(), 7);
    EXPECT_EQ(engine().Connection().CameraModel, CamModNone);
    EXPECT_TRUE(engine().RemoteMode());
    EXPECT_FALSE(engine().ViewfinderMode());
    EXPECT_FALSE(engine().TimerEOSViewfinder->enabled());
    EXPECT_FALSE(engine().TimerPS2Viewfinder->enabled());
}

TEST_F(CoreTest, ClosingUnwindsAConnectedCameraBestEffortThenEndsTheSDK)
{
    startRemote(CamModPowerShotGen2);
    ps().failWith("RemoteEnd", "camera gone");
    ps().failWith("Disconnect", "camera gone");
    engine().CloseCameraEnumeration();
    EXPECT_THAT(ps().ops(), ElementsAre("RemoteEnd", "Disconnect", "EndSDK"));
    EXPECT_EQ(engine().Connection().CameraModel, CamModNone);
    EXPECT_FALSE(engine().RemoteMode());
}

TEST_F(CoreTest, TheLegacyOrPTPChoiceOfConnectHoldsUntilDisconnect)
{
    startRemote(CamModPowerShot, 2); // the PTP camera behind two legacy ones
    cd().cameras = {"A", "B", "C"};  // a third legacy camera turns up in a new enumeration
    engine().OpenCameraEnumeration();
    clearCalls();
    engine().RemoteAFLock(true);
    EXPECT_THAT(log().names(), ElementsAre("PR.AFLock"));
    engine().Disconnect();
    EXPECT_THAT(log().namesOf("Disconnect"), ElementsAre("PR.Disconnect"));
}

TEST_F(CoreTest, TheConnectGuardSerialisesEnginesButLetsItsOwnThreadIn)
{
    EngineUnderTest other;
    other.ed->cameras = {"EOS 2"};
    other.engine->OpenCameraEnumeration();
    cd().cameras = {"A"};
    engine().OpenCameraEnumeration();

    // The owner thread re-enters Connect (a nested message loop inside a driver call).
    cd().onCall("Connect", [&] {
        ConnectInfoType nested;
        other.engine->Connect(CamModEOS, 0, nested);
    });
    ConnectInfoType info;
    engine().Connect(CamModPowerShot, 0, info);
    EXPECT_EQ(other.engine->Connection().CameraModel, CamModEOS);
    EXPECT_EQ(engine().Connection().CameraModel, CamModPowerShot);
    other.engine->Disconnect();
    engine().Disconnect();

    // Another thread waits, in 50 ms sleeps, until the first connect is done.
    std::atomic<bool> firstRunning{false};
    std::atomic<bool> overlapped{false};
    cd().onCall("Connect", [&] {
        firstRunning = true;
        while (clock_.sleptTotal() < 100)
            std::this_thread::yield();
        firstRunning = false;
    });
    other.ed->onCall("Connect", [&] { overlapped = firstRunning.load(); });
    const platform::Millis before = clock_.sleptTotal();
    std::thread second([&] {
        while (!firstRunning)
            std::this_thread::yield();
        ConnectInfoType nested;
        other.engine->Connect(CamModEOS, 0, nested);
    });
    engine().Connect(CamModPowerShot, 0, info);
    second.join();
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(other.engine->Connection().CameraModel, CamModEOS);
    EXPECT_GE(clock_.sleptTotal() - before, 100);
    EXPECT_EQ((clock_.sleptTotal() - before) % 50, 0);
}

TEST_F(CoreTest, ClosingStopsTheViewfinderBeforeItEndsRemoteModeAndDisconnects)
{
    startRemote(CamModEOS);
    engine().RemoteStartViewfinder(false);
    clearCalls();
    engine().CloseCameraEnumeration();
    EXPECT_THAT(ed().ops(), ElementsAre("RemoteStopViewfinder", "RemoteEnd", "Disconnect", "EndSDK"));
    EXPECT_FALSE(engine().ViewfinderMode());
    EXPECT_FALSE(engine().TimerEOSViewfinder->enabled());
}

} // namespace
} // namespace tbx::test
