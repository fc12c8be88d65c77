// Housekeeping and the camera collection: which driver each operation reaches, what the families
// refuse, and the checks of collection positions.
#include "ConnectedEngine.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace tbx::test {
namespace {

const std::vector<FamilyCase> &operations()
{
    static const std::vector<FamilyCase> table = {
        {"SetTimeInCamera", [](TTetherbox &e) { e.SetTimeInCamera(1700000000); }, "SetTime",
         "!Not supported by EOS cameras", "SetTime"},
        {"SetOwnerName", [](TTetherbox &e) { e.SetOwnerName("Studio 4"); }, "SetOwnerName", "SetOwnerName",
         "SetOwnerName"},
        {"GetBodyID", [](TTetherbox &e) { e.GetBodyID(); }, "", "GetBodyID", "GetBodyID"},
        {"FormatCameraCard", [](TTetherbox &e) { e.FormatCameraCard(); }, "FormatCard", "FormatCard",
         "FormatCard"},
        {"RemoteSupported", [](TTetherbox &e) { e.RemoteSupported(); }, "RemoteSupported", "RemoteSupported",
         "RemoteSupported"},
        {"OpenCameraCollection",
         [](TTetherbox &e) {
             ImageListType list;
             e.OpenCameraCollection("tmp", true, list);
         },
         "OpenCameraCollection", "OpenCameraCollection", "OpenCameraCollection"},
        {"CloseCameraCollection",
         [](TTetherbox &e) {
             ImageListType list(2);
             e.CloseCameraCollection(list);
         },
         "CloseCameraCollection", "CloseCameraCollection", "CloseCameraCollection"},
        {"GetPicture", [](TTetherbox &e) { e.GetPicture(0, "a.jpg"); }, "GetPicture", "GetPicture", "GetPicture"},
        {"DeletePicture",
         [](TTetherbox &e) {
             ImageListType list(1);
             e.DeletePicture(list, 0);
         },
         "DeletePicture", "DeletePicture", "DeletePicture"},
    };
    return table;
}

class HousekeepingDispatch : public ConnectedEngine, public ::testing::WithParamInterface<Camera> {};

TEST_P(HousekeepingDispatch, EachOperationReachesTheConnectedDriverWithoutRemoteMode)
{
    connect(GetParam());
    expectFamilyCases(operations(), GetParam());
}

TEST_P(HousekeepingDispatch, EveryOperationRaisesNoCameraAfterDisconnect)
{
    connect(GetParam());
    engine().Disconnect();
    log().clear();
    for (const FamilyCase &op : operations()) {
        SCOPED_TRACE(op.name);
        EXPECT_EQ(failureOf([&] { op.call(engine()); }), "No camera is connected");
    }
    EXPECT_TRUE(log().names().empty());
}

INSTANTIATE_TEST_SUITE_P(Families, HousekeepingDispatch,
                         ::testing::Values(Camera::Legacy, Camera::PTP, Camera::EOS, Camera::Gen2), cameraName);

class Housekeeping : public ConnectedEngine {};

TEST_F(Housekeeping, ValuesAndArgumentsPassThrough)
{
    connect(Camera::Gen2);
    ps().bodyID = "0123456789";
    ps().remoteSupported = false;
    EXPECT_EQ(engine().GetBodyID(), "0123456789");
    EXPECT_FALSE(engine().RemoteSupported());
    engine().SetTimeInCamera(1700000000);
    engine().SetOwnerName("Lab B");
    EXPECT_EQ(ps().lastArgs("SetTime"), "1700000000");
    EXPECT_EQ(ps().lastArgs("SetOwnerName"), "Lab B");
}

TEST_F(Housekeeping, PowerShotBodyIDIsEmpty)
{
    connect(Camera::Legacy);
    cd().bodyID = "should not be asked";
    EXPECT_EQ(engine().GetBodyID(), "");
}

TEST_F(Housekeeping, OnlyPowerShotDownloadsReportProgressThroughTheEngine)
{
    connect(Camera::PTP);
    engine().GetPicture(3, "pic.jpg");
    EXPECT_EQ(pr().lastArgs("GetPicture"), "3, pic.jpg, set, " + std::to_string(engine().RegistryIndex()));
    EXPECT_EQ(pr().progressCallback, &TTetherbox::GetPictureProgress);
}

TEST_F(Housekeeping, EOSDownloadsGetNoProgressCallback)
{
    connect(Camera::EOS);
    engine().GetPicture(0, "pic.cr2");
    EXPECT_EQ(ed().lastArgs("GetPicture"), "0, pic.cr2, null, " + std::to_string(engine().RegistryIndex()));
}

TEST_F(Housekeeping, NegativePositionsAreRefusedBeforeTheDriverAndPositionsPastTheEndAreTheDriversToRefuse)
{
    connect(Camera::EOS);
    ImageListType list(3);
    EXPECT_EQ(failureOf([&] { engine().DeletePicture(list, -1); }),
              "Picture number -1 is not in the camera collection of 3 pictures");
    EXPECT_EQ(failureOf([&] { engine().GetPicture(-2, "x.jpg"); }), "Picture number -2 is not in the camera collection");
    EXPECT_TRUE(log().names().empty());

    engine().DeletePicture(list, 3);
    EXPECT_EQ(ed().lastArgs("DeletePicture"), "3, 3");
}

TEST_F(Housekeeping, OpeningTheCollectionReplacesTheListOnlyWhenTheDriverSucceeds)
{
    connect(Camera::EOS);
    ed().images = {ImageDataType{"IMG_0001.JPG", JpegBlob{0xFF, 0xD8}}, ImageDataType{"IMG_0002.CR2", std::nullopt}};
    ImageListType list{ImageDataType{"old", std::nullopt}};
    ed().failWith("OpenCameraCollection", "card busy", 1);
    EXPECT_EQ(failureOf([&] { engine().OpenCameraCollection("tmp", true, list); }), "card busy");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Name, "old");

    engine().OpenCameraCollection("tmp", false, list);
    EXPECT_EQ(ed().lastArgs("OpenCameraCollection"), "tmp, false");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].Name, "IMG_0002.CR2");

    engine().CloseCameraCollection(list);
    EXPECT_EQ(ed().lastArgs("CloseCameraCollection"), "2");
    EXPECT_TRUE(list.empty());
}

} // namespace
} // namespace tbx::test
