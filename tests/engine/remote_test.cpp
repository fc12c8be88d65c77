// Remote capture operations: the dispatch table for every family, and what the operations hand
// to the drivers.
#include "EngineFixture.h"

#include <gmock/gmock.h>

#include <array>
#include <functional>

namespace tbx::test {
namespace {

using ::testing::ElementsAre;

// Columns of the dispatch table.
enum Column { NoCamera, Legacy, PTP, EOS, Gen2, kColumns };
const char *const kColumnNames[kColumns] = {"none", "legacy", "PTP", "EOS", "gen-2"};

// An expected outcome: "op:<operation>" on the column's driver, "msg:<message>", or "nothing".
struct Row {
    const char *name;
    std::function<void(TTetherbox &)> call;
    bool needsRemote;
    std::array<std::string, kColumns> expected;
};

const std::string kNoCam = std::string("msg:") + kMsgNoCamera;
const std::string kPS = std::string("msg:") + kMsgNotSupportedByPowerShot;
const std::string kCam = std::string("msg:") + kMsgNotSupportedByCamera;
std::string op(const char *name) { return std::string("op:") + name; }

std::vector<Row> dispatchTable()
{
    return {
        {"RemoteGetNumberOfAvailableShots", [](TTetherbox &e) { e.RemoteGetNumberOfAvailableShots(); }, true,
         {kNoCam, op("GetNumberOfAvailableShots"), op("GetNumberOfAvailableShots"), op("GetNumberOfAvailableShots"),
          op("GetNumberOfAvailableShots")}},
        {"RemoteTakePicture", [](TTetherbox &e) { e.RemoteTakePicture(); }, true,
         {kNoCam, op("RemoteTakePicture"), op("RemoteTakePicture"), op("RemoteTakePicture"), op("RemoteTakePicture")}},
        {"RemotePressShutter", [](TTetherbox &e) { e.RemotePressShutter(2); }, false,
         {kNoCam, kPS, kPS, op("RemotePressShutter"), op("RemotePressShutter")}},
        {"RemoteGetPicture", [](TTetherbox &e) { e.RemoteGetPicture("shot.jpg", 1); }, true,
         {kNoCam, op("RemoteGetPicture"), "msg:List index out of bounds (0)", op("RemoteGetPicture"),
          op("RemoteGetPicture")}},
        {"RemoteGetMovie", [](TTetherbox &e) { e.RemoteGetMovie("movie.mov", true); }, true,
         {kNoCam, kPS, kPS, op("RemoteGetMovie"), kCam}},
        {"RemoteGetCFPicture", [](TTetherbox &e) { e.RemoteGetCFPicture("card.jpg", false); }, true,
         {kNoCam, kPS, kPS, op("RemoteGetCFPicture"), op("RemoteGetCFPicture")}},
        {"RemoteAFLock", [](TTetherbox &e) { e.RemoteAFLock(true); }, true,
         {kNoCam, op("AFLock"), op("AFLock"), op("AFLock"), op("AFLock")}},
        {"RemoteBULBMode", [](TTetherbox &e) { e.RemoteBULBMode(true); }, false,
         {kNoCam, kPS, kPS, op("SetBULB"), "nothing"}},
        {"RemotePowerZoomStop", [](TTetherbox &e) { e.RemotePowerZoomStop(); }, false,
         {kNoCam, kPS, kPS, op("PowerZoomStop"), kPS}},
        {"RemotePowerZoomTele", [](TTetherbox &e) { e.RemotePowerZoomTele(true, 3); }, false,
         {kNoCam, kPS, kPS, op("PowerZoomTele"), kPS}},
        {"RemotePowerZoomWide", [](TTetherbox &e) { e.RemotePowerZoomWide(false, 1); }, false,
         {kNoCam, kPS, kPS, op("PowerZoomWide"), kPS}},
        {"RemoteGetZoomPos", [](TTetherbox &e) { e.RemoteGetZoomPos(); }, true,
         {kNoCam, op("GetZoomPos"), op("GetZoomPos"), "nothing", op("GetZoomPos")}},
        {"RemoteSetZoomPos", [](TTetherbox &e) { e.RemoteSetZoomPos(3); }, true,
         {kNoCam, op("SetZoomPos"), op("SetZoomPos"), "nothing", op("SetZoomPos")}},
        {"RemoteEnd", [](TTetherbox &e) { e.RemoteEnd(); }, false,
         {"nothing", op("RemoteEnd"), op("RemoteEnd"), op("RemoteEnd"), op("RemoteEnd")}},
        {"RemoteStart",
         [](TTetherbox &e) {
             RemoteStartInfoType info;
             e.RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, info, "", false);
         },
         false, {kNoCam, op("RemoteStart"), op("RemoteStart"), op("RemoteStart"), op("RemoteStart")}},
    };
}

class RemoteTest : public EngineTest {
protected:
    /// A fresh engine in the state of \p column, in remote mode or not.
    void prepare(Column column, bool remote)
    {
        box_.reset();
        box_ = std::make_unique<EngineUnderTest>();
        static constexpr int kFamily[kColumns] = {CamModEOS, CamModPowerShot, CamModPowerShot, CamModEOS,
                                                  CamModPowerShotGen2};
        const int index = column == PTP ? 2 : 0;
        if (remote)
            startRemote(kFamily[column], index);
        else
            connect(kFamily[column], index);
        if (column == NoCamera)
            engine().Disconnect(); // remote mode stays on
        clearCalls();
    }

    RecordingDriver &columnDriver(Column column)
    {
        return column == PTP ? pr() : driverOf(column == Legacy ? 1 : column == EOS ? 2 : 3);
    }

    std::string outcome(const Row &row, Column column)
    {
        try {
            row.call(engine());
        } catch (const ECamException &e) {
            return std::string("msg:") + e.what();
        }
        const auto calls = log().calls();
        if (calls.empty())
            return "nothing";
        if (column == NoCamera || calls.front().driver != columnDriver(column).name())
            return "wrong driver: " + calls.front().name();
        return "op:" + calls.front().op;
    }
};

TEST_F(RemoteTest, EveryOperationFollowsTheDispatchTable)
{
    for (const Row &row : dispatchTable()) {
        for (int c = 0; c < kColumns; ++c) {
            const auto column = static_cast<Column>(c);
            SCOPED_TRACE(std::string(row.name) + " on " + kColumnNames[c]);
            prepare(column, true);
            EXPECT_EQ(outcome(row, column), row.expected[c]);
            if (row.needsRemote) {
                prepare(column, false);
                EXPECT_EQ(outcome(row, column), std::string("msg:") + kMsgNotInRemoteMode);
                EXPECT_TRUE(log().calls().empty());
            }
        }
    }
}

TEST_F(RemoteTest, ProgressCallbacksGoOnlyToTheDriversThatReportThroughThem)
{
    startRemote(CamModPowerShot, 0);
    engine().RemoteTakePicture();
    EXPECT_EQ(cd().lastArgs("RemoteTakePicture"), "set, 0");
    EXPECT_EQ(cd().progressCallback, &TTetherbox::TakePictureProgress);
    engine().RemoteGetPicture("a.jpg", 0);
    EXPECT_EQ(cd().progressCallback, &TTetherbox::RemoteGetPictureProgress);

    prepare(EOS, true);
    engine().RemoteTakePicture();
    EXPECT_EQ(ed().lastArgs("RemoteTakePicture"), "null, 0");
    engine().RemoteGetPicture("b.jpg", 1);
    EXPECT_EQ(ed().lastArgs("RemoteGetPicture"), "b.jpg, 1, null, 0");
}

TEST_F(RemoteTest, RemoteStartKeepsModeAndKindEvenWithoutACameraAndEntersRemoteModeOnlyOnSuccess)
{
    RemoteStartInfoType info;
    EXPECT_THROW(engine().RemoteStart(ReleaseModeOnlyToCamera, ReleaseDataKingTakeBothThumbAndPic, info, "", false),
                 ECamException);
    EXPECT_EQ(engine().ReleaseMode(), ReleaseModeOnlyToCamera);
    EXPECT_EQ(engine().ReleaseDataKind(), ReleaseDataKingTakeBothThumbAndPic);

    connect(CamModPowerShotGen2);
    ps().failWith("RemoteStart", "busy", 1);
    EXPECT_THROW(engine().RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, info, "/cache", true),
                 ECamException);
    EXPECT_FALSE(engine().RemoteMode());

    ps().startInfo.DoSupportZoom = 1;
    ps().startInfo.ParamSupport.Beep[2] = 1;
    engine().RemoteStart(ReleaseModeBothPCAndCamera, ReleaseDataKindTakeOnlyThumbnail, info, "/cache", true);
    EXPECT_TRUE(engine().RemoteMode());
    EXPECT_EQ(info.DoSupportZoom, 1);
    EXPECT_EQ(info.ParamSupport.Beep[2], 1);
    EXPECT_EQ(ps().lastArgs("RemoteStart"), "1, 0, 0, set, /cache, true");
    EXPECT_EQ(ps().remoteEventCallback, &TTetherbox::RemoteEventCallback);

    // Remote mode ends before the driver is asked, so a failing camera still leaves it off.
    ps().failWith("RemoteEnd", "gone");
    EXPECT_THROW(engine().RemoteEnd(), ECamException);
    EXPECT_FALSE(engine().RemoteMode());
}

TEST_F(RemoteTest, ZoomPositionsComeBackFromTheDriverOrAsZerosForEOS)
{
    startRemote(CamModPowerShotGen2);
    ps().zoomPos = ZoomPosType{3, 4, 12};
    const ZoomPosType pos = engine().RemoteGetZoomPos();
    EXPECT_EQ(pos.CurrentZoomPos, 3);
    EXPECT_EQ(pos.MaxOpticalZoomPos, 4);
    EXPECT_EQ(pos.MaxZoomPos, 12);

    prepare(EOS, true);
    const ZoomPosType eos = engine().RemoteGetZoomPos();
    EXPECT_EQ(eos.CurrentZoomPos + eos.MaxOpticalZoomPos + eos.MaxZoomPos, 0);
    EXPECT_THAT(ed().ops(), ElementsAre());
}

} // namespace
} // namespace tbx::test
