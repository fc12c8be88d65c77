// Shooting, the transfer of announced pictures and movies, and the camera collection of the EOS
// driver, through the engine into the EOS stand-in; what the generation-2 driver shares with it
// runs over both families.
#include "EosFixture.h"
#include "EosTestSupport.h"
#include "Scratch.h"

#include <algorithm>
#include <filesystem>

namespace tbx::test {
namespace {

namespace fs = std::filesystem;

bool isJpeg(const std::vector<std::uint8_t> &bytes)
{
    return bytes.size() > 4 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[bytes.size() - 2] == 0xFF &&
           bytes.back() == 0xD9;
}

std::vector<std::string> namesOf(const ImageListType &list)
{
    std::vector<std::string> names;
    for (const ImageDataType &entry : list)
        names.push_back(entry.Name);
    return names;
}

class CaptureTest : public EosTest {
protected:
    void SetUp() override
    {
        EosTest::SetUp();
        engine().OnRemoteEvent = [this](RemoteEventCallbackType event, const AdditionNotifyRemoteEventType &) {
            remoteEvents_.push_back(event);
        };
    }
    std::string file(const std::string &name) const { return scratch_.file(name); }

    /// Takes one picture and lets the camera's announcement reach the driver.
    void shoot()
    {
        engine().RemoteTakePicture();
        tick(2);
    }

    /// Records one movie (live view on) and lets its announcement reach the driver.
    void recordMovie()
    {
        if (!engine().ViewfinderMode())
            engine().RemoteStartViewfinder(false);
        engine().RemoteStartMovieRecording();
        engine().RemoteEndMovieRecording();
        tick(2);
    }

    std::vector<std::string> cardNames()
    {
        ImageListType list;
        engine().OpenCameraCollection("", false, list);
        std::vector<std::string> names = namesOf(list);
        engine().CloseCameraCollection(list);
        return names;
    }

    ScratchFolder scratch_{"tbx-capture"};
    std::vector<RemoteEventCallbackType> remoteEvents_;
};

/// The EOS family only.
using EosCaptureTest = CaptureTest;

/// Over every EOS-style family: what the generation-2 driver does as the EOS driver does.
class EdsCaptureTest : public CaptureTest, public ::testing::WithParamInterface<Family> {
protected:
    Family family() const override { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(Families, EdsCaptureTest, ::testing::Values(Family::EOS, Family::Gen2), familyName);

// ---------------------------------------------------------------------------------------------
// Shooting
// ---------------------------------------------------------------------------------------------

TEST_F(EosCaptureTest, ShutterButtonValuesAreMaskedAndMapped)
{
    startRemote(ReleaseModeOnlyToCamera);
    for (int button : {0, 1, 2, 3, 4, 5, 0x7F, 0x81})
        engine().RemotePressShutter(button);
    std::vector<std::string> params;
    for (const std::string &line : simCalls("EdsSendCommand"))
        params.push_back(argsOf(line).at(2));
    EXPECT_EQ(params, (std::vector<std::string>{"0x0", "0x1", "0x3", "0x10001", "0x10003", "0x0", "0x0", "0x1"}));
}

TEST_F(EosCaptureTest, ShutterAgainstABusyCameraRetriesFor5SecondsThenRaises)
{
    startRemote(ReleaseModeOnlyToCamera);
    ASSERT_EQ(sim().SetBusy("eos1", -1), 0u);
    EXPECT_EQ(failureOf([&] { engine().RemotePressShutter(1); }),
              sdkFailure("EdsSendCommand", sdk::EDS_ERR_DEVICE_BUSY));
    // The first send, 25 retries 200 ms apart and the last, checked one.
    EXPECT_EQ(simCalls("EdsSendCommand").size(), 27u);
    EXPECT_EQ(clock_.sleepCount(), 25);
    EXPECT_EQ(clock_.sleptTotal(), 5000);

    // A camera that comes free stops the retries at once.
    ASSERT_EQ(sim().SetBusy("eos1", 3), 0u);
    clearSimLog();
    engine().RemotePressShutter(1);
    EXPECT_EQ(simCalls("EdsSendCommand").size(), 4u);
    EXPECT_EQ(clock_.sleptTotal(), 5600);
}

TEST_F(EosCaptureTest, BulbUnlocksTheCameraEvenWhenTheBulbCommandFails)
{
    startRemote(ReleaseModeOnlyToCamera);
    engine().RemoteBULBMode(true);
    engine().RemoteBULBMode(false);
    // The exposure announces its picture on the SDK's event thread, whose name lookup may land
    // anywhere in the log; only the owner thread's calls have an order to check.
    sim().WaitIdle(kSettleLimitMs);
    std::vector<std::string> ownerCalls = simCallNames();
    std::erase(ownerCalls, "EdsGetDirectoryItemInfo");
    EXPECT_EQ(ownerCalls, (std::vector<std::string>{"EdsSendStatusCommand", "EdsSendCommand", "EdsSendCommand",
                                                    "EdsSendStatusCommand"}));
    EXPECT_EQ(argsOf(simCalls("EdsSendStatusCommand").at(0)).at(1), "0x0");
    EXPECT_EQ(argsOf(simCalls("EdsSendStatusCommand").at(1)).at(1), "0x1");

    for (bool on : {true, false}) {
        SCOPED_TRACE(on);
        clearSimLog();
        ASSERT_EQ(sim().InjectFault("EdsSendCommand", sdk::EDS_ERR_DEVICE_BUSY, 1), 0u);
        EXPECT_EQ(failureOf([&] { engine().RemoteBULBMode(on); }),
                  sdkFailure("EdsSendCommand", sdk::EDS_ERR_DEVICE_BUSY));
        const auto status = simCalls("EdsSendStatusCommand");
        ASSERT_FALSE(status.empty());
        EXPECT_EQ(argsOf(status.back()).at(1), "0x1") << "the camera's controls stay locked";
    }
}

// ---------------------------------------------------------------------------------------------
// Announced pictures
// ---------------------------------------------------------------------------------------------

TEST_P(EdsCaptureTest, ThumbnailThenPictureOfOneItemWithProgressOfThePicture)
{
    startRemote();
    std::vector<int> progress;
    engine().OnRemoteTakePictureEvent = [&](int percent) { progress.push_back(percent); };
    const std::uint32_t objects = sim().GetObjectCount();
    shoot();
    ASSERT_EQ(remoteEvents_, std::vector<RemoteEventCallbackType>{RemoteEventCallbackReleaseImageReady});
    clearSimLog();

    engine().RemoteGetPicture(file("thumb.jpg"), 0);
    EXPECT_EQ(simCallNames(),
              (std::vector<std::string>{"EdsCreateFileStream", "EdsDownloadThumbnail", "EdsRelease"}));
    EXPECT_TRUE(progress.empty());
    clearSimLog();
    engine().RemoteGetPicture(file("full.jpg"), 1);
    EXPECT_EQ(simCallNames(), (std::vector<std::string>{"EdsCreateFileStream", "EdsGetDirectoryItemInfo",
                                                        "EdsSetProgressCallback", "EdsDownload", "EdsRelease",
                                                        "EdsDownloadComplete", "EdsRelease"}));
    EXPECT_EQ(failureOf([&] { engine().RemoteGetPicture(file("none.jpg"), 1); }),
              "There are no pictures to download");

    const auto thumb = readBytes(file("thumb.jpg"));
    const auto full = readBytes(file("full.jpg"));
    EXPECT_TRUE(isJpeg(thumb));
    EXPECT_TRUE(isJpeg(full));
    EXPECT_GT(full.size(), thumb.size());
    EXPECT_EQ(sim().GetObjectCount(), objects) << "stream or item left behind";

    tick(40);
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), 100);
}

TEST_P(EdsCaptureTest, OverlongFileNameIsRefusedBeforeTheCameraIsTouched)
{
    startRemote();
    shoot();
    clearSimLog();
    const std::string tooLong(255, 'n');
    const std::string message = "Filename " + tooLong + " too long";
    EXPECT_EQ(failureOf([&] { engine().RemoteGetPicture(tooLong, 1); }), message);
    EXPECT_EQ(failureOf([&] { engine().GetPicture(0, tooLong); }), message);
    EXPECT_TRUE(simLog().empty());

    // 254 characters are accepted, and the picture that waited is the one that arrives.
    std::string longest = file("");
    longest += std::string(254 - longest.size(), 'p');
    engine().RemoteGetPicture(longest, 1);
    EXPECT_TRUE(isJpeg(readBytes(longest)));
}

TEST_P(EdsCaptureTest, UnknownPictureTypeIsRefusedBeforeAFileIsCreated)
{
    startRemote();
    shoot();
    clearSimLog();
    for (int type : {2, -1}) {
        SCOPED_TRACE(type);
        EXPECT_NE(failureOf([&] { engine().RemoteGetPicture(file("odd.jpg"), type); }).find("Picture type"),
                  std::string::npos);
    }
    EXPECT_FALSE(fs::exists(file("odd.jpg")));
    EXPECT_TRUE(simLog().empty());
    engine().RemoteGetPicture(file("odd.jpg"), 1);
    EXPECT_TRUE(isJpeg(readBytes(file("odd.jpg"))));
}

TEST_P(EdsCaptureTest, PictureWhoseTargetCannotBeCreatedStaysForASecondTry)
{
    startRemote();
    const std::uint32_t objects = sim().GetObjectCount();
    shoot();
    clearSimLog();
    const std::string unwritable = file("no-such-folder/p.jpg");
    EXPECT_EQ(failureOf([&] { engine().RemoteGetPicture(unwritable, 1); }).rfind("EdsCreateFileStream errorcode 0x", 0),
              0u);
    EXPECT_EQ(simCallNames(), std::vector<std::string>{"EdsCreateFileStream"});

    engine().RemoteGetPicture(file("second.jpg"), 1);
    EXPECT_TRUE(isJpeg(readBytes(file("second.jpg"))));
    EXPECT_EQ(sim().GetObjectCount(), objects);
}

TEST_P(EdsCaptureTest, DownloadCutOffByUnplugReleasesEverythingAndRaises)
{
    startRemote();
    const std::uint32_t objects = sim().GetObjectCount();
    shoot();
    ASSERT_EQ(sim().Unplug(cameraId(), 1000), 0u);
    EXPECT_EQ(failureOf([&] { engine().RemoteGetPicture(file("cut.jpg"), 1); }),
              sdkFailure("EdsDownload", sdk::EDS_ERR_COMM_DISCONNECTED));
    EXPECT_EQ(sim().GetObjectCount(), objects) << "stream or item left behind";
    EXPECT_EQ(failureOf([&] { engine().RemoteGetPicture(file("cut.jpg"), 1); }),
              "There are no pictures to download");
    EXPECT_FALSE(fs::exists(file("cut.jpg"))) << "a partial file pretends to be a whole picture";
}

TEST_P(EdsCaptureTest, AFailedDownloadKeepsThePictureInTheCameraForARetry)
{
    startRemote();
    const std::uint32_t objects = sim().GetObjectCount();
    shoot();
    for (std::uint32_t code : {sdk::EDS_ERR_DEVICE_BUSY, sdk::EDS_ERR_FILE_IO_ERROR}) {
        ASSERT_EQ(sim().InjectFault("EdsDownload", code, 1), 0u);
        clearSimLog();
        EXPECT_EQ(failureOf([&] { engine().RemoteGetPicture(file("p.jpg"), 1); }), sdkFailure("EdsDownload", code));
        EXPECT_TRUE(simCalls("EdsDownloadComplete").empty());
        EXPECT_FALSE(fs::exists(file("p.jpg")));
    }
    engine().RemoteGetPicture(file("p.jpg"), 1);
    EXPECT_TRUE(isJpeg(readBytes(file("p.jpg"))));
    EXPECT_EQ(sim().GetObjectCount(), objects);
}

TEST_F(EosCaptureTest, AnObjectEventOfAnEndedSessionIsDroppedWithItsReference)
{
    startRemote();
    engine().Disconnect();
    const std::uint32_t objects = sim().GetObjectCount();
    // An announcement the SDK thread was already delivering while the session ended.
    sdk::EdsStreamRef late = nullptr;
    ASSERT_EQ(sdk::Eds().EdsCreateMemoryStream(0, &late), 0u);
    TTetherbox::EOSObjectEventHandler(sdk::kEdsObjectEvent_DirItemRequestTransfer, late,
                                      registryContext(engine().RegistryIndex()));
    tick(2);
    EXPECT_EQ(sim().GetObjectCount(), objects);
    EXPECT_TRUE(remoteEvents_.empty());
    startRemote();
    EXPECT_EQ(failureOf([&] { engine().RemoteGetPicture(file("late.jpg"), 1); }), "There are no pictures to download");
}

// ---------------------------------------------------------------------------------------------
// Movies and card pictures
// ---------------------------------------------------------------------------------------------

TEST_F(EosCaptureTest, MovieIsDeletedFromTheCardOnlyAfterItsDownloadSucceeded)
{
    startRemote(ReleaseModeOnlyToCamera);
    recordMovie();
    ASSERT_EQ(remoteEvents_, std::vector<RemoteEventCallbackType>{RemoteEventCallbackReleaseMovieReady});
    const std::vector<std::string> before = cardNames();
    ASSERT_EQ(before.back(), "MVI_0006.MP4");

    ASSERT_EQ(sim().InjectFault("EdsDownload", sdk::EDS_ERR_FILE_IO_ERROR, 1), 0u);
    clearSimLog();
    EXPECT_EQ(failureOf([&] { engine().RemoteGetMovie(file("failed.mp4"), true); }),
              sdkFailure("EdsDownload", sdk::EDS_ERR_FILE_IO_ERROR));
    EXPECT_TRUE(simCalls("EdsDeleteDirectoryItem").empty());
    EXPECT_EQ(cardNames(), before) << "the movie must stay on the card";
    EXPECT_FALSE(fs::exists(file("failed.mp4")));

    // The retry gets the same movie; with the delete flag it leaves the card, and the SDK gives
    // the reference back itself, so nothing is released twice.
    const std::uint32_t objects = sim().GetObjectCount();
    clearSimLog();
    engine().RemoteGetMovie(file("movie.mp4"), true);
    EXPECT_EQ(simCallNames(), (std::vector<std::string>{"EdsCreateFileStream", "EdsGetDirectoryItemInfo",
                                                        "EdsSetProgressCallback", "EdsDownload", "EdsRelease",
                                                        "EdsDownloadComplete", "EdsDeleteDirectoryItem"}));
    EXPECT_EQ(fs::file_size(file("movie.mp4")), 3000000u);
    EXPECT_EQ(sim().GetObjectCount(), objects - 1);
    EXPECT_EQ(cardNames(), std::vector<std::string>(before.begin(), before.end() - 1));
}

TEST_F(EosCaptureTest, CardPictureDownloadsWithMovieProgressAndStaysWithoutTheDeleteFlag)
{
    startRemote(ReleaseModeOnlyToCamera);
    std::vector<int> movieProgress;
    engine().OnRemoteGetMovieEvent = [&](int percent) { movieProgress.push_back(percent); };
    EXPECT_EQ(failureOf([&] { engine().RemoteGetCFPicture(file("none.jpg"), false); }),
              "There are no pictures on CF card to download");
    shoot();
    ASSERT_EQ(remoteEvents_, std::vector<RemoteEventCallbackType>{RemoteEventCallbackReleaseImageFromCFCardReady});
    engine().RemoteGetCFPicture(file("card.jpg"), false);
    EXPECT_TRUE(isJpeg(readBytes(file("card.jpg"))));
    EXPECT_EQ(cardNames().back(), "IMG_0006.JPG");
    EXPECT_EQ(driver().TransferContext(), 0);
    tick(40);
    ASSERT_FALSE(movieProgress.empty());
    EXPECT_EQ(movieProgress.back(), 100);
}

// ---------------------------------------------------------------------------------------------
// The camera collection
// ---------------------------------------------------------------------------------------------

constexpr const char *kNestedCard = R"({"cameras": [{"id": "eos1", "volumes": [{"items": [
    {"folder": "DCIM", "items": [
        {"folder": "100CANON", "items": [
            {"file": "A.JPG"}, {"file": "b.jpg"}, {"file": "C.Jpg"}, {"file": "D.CR2", "size": 4096}]},
        {"folder": "101CANON", "items": [{"file": "E.JPG"}]}]},
    {"folder": "MISC", "items": [{"file": "F.JPG"}]}]}]}]})";

TEST_P(EdsCaptureTest, CollectionIsDepthFirstWithThumbnailsOnlyForUpperCaseJPG)
{
    loadScenario(kNestedCard);
    connect();
    const std::uint32_t objects = sim().GetObjectCount();
    ImageListType list;
    engine().OpenCameraCollection("", true, list);
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"A.JPG", "b.jpg", "C.Jpg", "D.CR2", "E.JPG", "F.JPG"}));
    std::vector<bool> withThumbnail;
    for (const ImageDataType &entry : list) {
        withThumbnail.push_back(entry.Thumbnail.has_value());
        if (entry.Thumbnail) {
            EXPECT_TRUE(isJpeg(*entry.Thumbnail)) << entry.Name;
        }
    }
    EXPECT_EQ(withThumbnail, (std::vector<bool>{true, false, false, false, true, true}));
    EXPECT_EQ(simCalls("EdsDownloadThumbnail").size(), 3u);

    // Only the files stay held while the collection is open; closing gives everything back,
    // and closing again has nothing left to give.
    EXPECT_EQ(sim().GetObjectCount(), objects + 1 + 6);
    engine().CloseCameraCollection(list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(sim().GetObjectCount(), objects);
    clearSimLog();
    engine().CloseCameraCollection(list);
    EXPECT_TRUE(simLog().empty());
}

TEST_P(EdsCaptureTest, UnreadableThumbnailCostsOnlyThatEntryItsThumbnail)
{
    connect();
    ASSERT_EQ(sim().InjectFault("EdsDownloadThumbnail", sdk::EDS_ERR_DEVICE_BUSY, 1), 0u);
    ImageListType list;
    engine().OpenCameraCollection("", true, list);
    ASSERT_EQ(namesOf(list),
              (std::vector<std::string>{"IMG_0001.JPG", "IMG_0002.JPG", "IMG_0003.CR3", "IMG_0004.JPG", "MVI_0005.MP4"}));
    EXPECT_FALSE(list[0].Thumbnail.has_value());
    EXPECT_TRUE(list[1].Thumbnail.has_value());
    EXPECT_TRUE(list[3].Thumbnail.has_value());
    engine().CloseCameraCollection(list);
}

TEST_P(EdsCaptureTest, ReopenedCollectionDeletesTheRightPicture)
{
    connect();
    const std::uint32_t objects = sim().GetObjectCount();
    ImageListType list;
    engine().OpenCameraCollection("", false, list);
    engine().OpenCameraCollection("", false, list);
    EXPECT_EQ(sim().GetObjectCount(), objects + 1 + 5) << "the first listing was not given back";

    engine().DeletePicture(list, 1);
    const std::vector<std::string> left{"IMG_0001.JPG", "IMG_0003.CR3", "IMG_0004.JPG", "MVI_0005.MP4"};
    EXPECT_EQ(namesOf(list), left);
    // Positions after the deleted one still address the same pictures.
    engine().GetPicture(1, file("third.cr3"));
    EXPECT_EQ(fs::file_size(file("third.cr3")), 1500000u);
    engine().CloseCameraCollection(list);
    EXPECT_EQ(sim().GetObjectCount(), objects);
    EXPECT_EQ(cardNames(), left);
}

TEST_P(EdsCaptureTest, PositionsOutsideTheCollectionAreRefused)
{
    connect();
    ImageListType list;
    engine().OpenCameraCollection("", false, list);
    ASSERT_EQ(list.size(), 5u);
    clearSimLog();
    EXPECT_EQ(failureOf([&] { engine().GetPicture(5, file("x.jpg")); }),
              "Requested download of picture 5 but max is only 4");
    EXPECT_EQ(failureOf([&] { engine().DeletePicture(list, 5); }), "Requested delete of picture 5 but max is only 4");
    EXPECT_NE(failureOf([&] { driver().GetPicture(-1, file("x.jpg"), nullptr, 0); }), "");
    EXPECT_NE(failureOf([&] { driver().DeletePicture(list, -1); }), "");
    EXPECT_TRUE(simLog().empty());
    EXPECT_FALSE(fs::exists(file("x.jpg")));
    EXPECT_EQ(list.size(), 5u);

    engine().CloseCameraCollection(list);
    EXPECT_EQ(failureOf([&] { engine().GetPicture(0, file("x.jpg")); }),
              "Requested download of picture 0 but max is only -1");
}

TEST_P(EdsCaptureTest, CollectionPictureDownloadsWithProgressAndStaysListed)
{
    connect();
    std::vector<int> progress;
    engine().OnGetPictureEvent = [&](int percent) { progress.push_back(percent); };
    ImageListType list;
    engine().OpenCameraCollection("", false, list);
    clearSimLog();
    engine().GetPicture(2, file("raw.cr3"));
    EXPECT_EQ(simCallNames(), (std::vector<std::string>{"EdsCreateFileStream", "EdsGetDirectoryItemInfo",
                                                        "EdsSetProgressCallback", "EdsDownload", "EdsRelease",
                                                        "EdsDownloadComplete"}));
    engine().GetPicture(2, file("again.cr3"));
    EXPECT_EQ(readBytes(file("raw.cr3")), readBytes(file("again.cr3")));
    EXPECT_EQ(fs::file_size(file("raw.cr3")), 1500000u);
    tick(60);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 100);
    engine().CloseCameraCollection(list);
}

TEST_P(EdsCaptureTest, FailedListingGivesBackWhatItHeldAndClosesTheOldOne)
{
    connect();
    const std::uint32_t objects = sim().GetObjectCount();
    ImageListType list;
    engine().OpenCameraCollection("", false, list);
    ASSERT_EQ(sim().InjectFault("EdsGetDirectoryItemInfo", sdk::EDS_ERR_DEVICE_BUSY, 1), 0u);
    EXPECT_EQ(failureOf([&] { engine().OpenCameraCollection("", false, list); }),
              sdkFailure("EdsGetDirectoryItemInfo", sdk::EDS_ERR_DEVICE_BUSY));
    EXPECT_EQ(sim().GetObjectCount(), objects);
    // The old listing is gone with its references: no position reaches a picture any more.
    EXPECT_EQ(failureOf([&] { engine().DeletePicture(list, 0); }), "Requested delete of picture 0 but max is only -1");
    EXPECT_EQ(cardNames().size(), 5u);
}

TEST_P(EdsCaptureTest, CardWithoutVolumesIsReported)
{
    loadScenario(R"({"cameras": [{"id": "eos1", "volumes": []}]})");
    connect();
    ImageListType list;
    EXPECT_EQ(failureOf([&] { engine().OpenCameraCollection("", true, list); }),
              "OpenCameraCollection : No volumes found");
}

} // namespace
} // namespace tbx::test
