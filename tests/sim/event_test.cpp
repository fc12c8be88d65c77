// Events from the library's own thread: releases by save-to mode, property changes, state
// changes, cameras coming and going.
#include <cstring>

#include "SdkFixture.h"

using namespace tbx::sim::eds;

namespace {

struct Recorder {
    struct Object {
        EdsUInt32 event;
        std::string name;
        EdsUInt32 group;
        std::thread::id thread;
    };
    Waiter waiter;
    std::vector<Object> objects;
    std::vector<std::pair<EdsUInt32, EdsUInt32>> properties;
    std::vector<std::pair<EdsUInt32, EdsUInt32>> states;
    int added = 0;
    bool keepItems = false;
    std::vector<EdsBaseRef> items;

    static EdsError TBX_EDS_CALL onObject(EdsObjectEvent event, EdsBaseRef ref, EdsVoid *context) {
        auto *self = static_cast<Recorder *>(context);
        EdsDirectoryItemInfo info{};
        sdk().EdsGetDirectoryItemInfo(ref, &info);
        if (self->keepItems)
            self->items.push_back(ref);
        else
            sdk().EdsRelease(ref);  // the handler owns the reference
        self->waiter.notify([&] { self->objects.push_back({event, info.szFileName, info.groupID, std::this_thread::get_id()}); });
        return 0;
    }
    static EdsError TBX_EDS_CALL onProperty(EdsPropertyEvent event, EdsPropertyID id, EdsUInt32, EdsVoid *context) {
        auto *self = static_cast<Recorder *>(context);
        self->waiter.notify([&] { self->properties.emplace_back(event, id); });
        return 0;
    }
    static EdsError TBX_EDS_CALL onState(EdsStateEvent event, EdsUInt32 data, EdsVoid *context) {
        auto *self = static_cast<Recorder *>(context);
        self->waiter.notify([&] { self->states.emplace_back(event, data); });
        return 0;
    }
    static EdsError TBX_EDS_CALL onAdded(EdsVoid *context) {
        auto *self = static_cast<Recorder *>(context);
        self->waiter.notify([&] { ++self->added; });
        return 0;
    }
    bool waitObjects(std::size_t n) {
        return waiter.waitFor([&] { return objects.size() >= n; });
    }
    bool hasProperty(EdsUInt32 id) {
        return waiter.waitFor([&] {
            return std::any_of(properties.begin(), properties.end(), [&](const auto &p) { return p.second == id; });
        });
    }
    bool hasState(EdsUInt32 event) {
        return waiter.waitFor(
            [&] { return std::any_of(states.begin(), states.end(), [&](const auto &p) { return p.first == event; }); });
    }
};

class EventTest : public SimTest {
protected:
    EdsCameraRef connect() {
        EdsCameraRef camera = firstCamera();
        EXPECT_EQ(s.EdsSetObjectEventHandler(camera, kObjectEventAll, &Recorder::onObject, &rec), kOk);
        EXPECT_EQ(s.EdsSetPropertyEventHandler(camera, kPropertyEventAll, &Recorder::onProperty, &rec), kOk);
        EXPECT_EQ(s.EdsSetCameraStateEventHandler(camera, kStateEventAll, &Recorder::onState, &rec), kOk);
        EXPECT_EQ(s.EdsOpenSession(camera), kOk);
        return camera;
    }
    void TearDown() override {
        control().WaitIdle(kSettleLimitMs);
        for (EdsBaseRef item : rec.items) s.EdsRelease(item);
        SimTest::TearDown();
    }
    Recorder rec;
};

}  // namespace

TEST_F(EventTest, ReleaseToCardAnnouncesANewItemFromTheSdkThread) {
    EdsCameraRef camera = connect();
    ASSERT_EQ(s.EdsSendCommand(camera, kCmdTakePicture, 0), kOk);
    ASSERT_TRUE(rec.waitObjects(1));
    EXPECT_EQ(rec.objects[0].event, kObjectEventDirItemCreated);
    EXPECT_EQ(rec.objects[0].name, "IMG_0006.JPG");  // numbering goes on after the card's files
    EXPECT_NE(rec.objects[0].thread, std::this_thread::get_id());
    EXPECT_TRUE(rec.hasProperty(kPropAvailableShots));
    EdsDirectoryItemRef folder = itemAt(camera, "DCIM/100CANON");
    EdsUInt32 count = 0;
    ASSERT_EQ(s.EdsGetChildCount(folder, &count), kOk);
    EXPECT_EQ(count, 6u);
}

TEST_F(EventTest, ReleaseToHostRequestsTransfersOfRawAndJpegOfOneShot) {
    EdsCameraRef camera = connect();
    rec.keepItems = true;
    ASSERT_EQ(setU32(camera, kPropSaveTo, kSaveToHost), kOk);
    ASSERT_EQ(setU32(camera, kPropImageQuality, 0x00640013), kOk);  // RAW + large fine JPEG
    ASSERT_EQ(s.EdsSetCapacity(camera, EdsCapacity{0x7FFFFFFF, 4096, 1}), kOk);
    ASSERT_EQ(s.EdsSendCommand(camera, kCmdPressShutterButton, 3), kOk);
    ASSERT_EQ(s.EdsSendCommand(camera, kCmdPressShutterButton, 0), kOk);
    ASSERT_TRUE(rec.waitObjects(2));
    EXPECT_EQ(rec.objects[0].event, kObjectEventDirItemRequestTransfer);
    EXPECT_EQ(rec.objects[0].name, "IMG_0006.CR3");
    EXPECT_EQ(rec.objects[1].name, "IMG_0006.JPG");
    EXPECT_EQ(rec.objects[0].group, rec.objects[1].group);
    ASSERT_TRUE(rec.waiter.waitFor([&] { return rec.items.size() == 2; }));
    for (EdsBaseRef item : rec.items) {
        EdsDirectoryItemInfo info{};
        ASSERT_EQ(s.EdsGetDirectoryItemInfo(item, &info), kOk);
        EdsStreamRef stream = nullptr;
        ASSERT_EQ(s.EdsCreateMemoryStream(0, &stream), kOk);
        EXPECT_EQ(s.EdsDownload(item, info.size, stream), kOk);
        EXPECT_EQ(s.EdsDownloadComplete(item), kOk);
        s.EdsRelease(stream);
    }
    // Nothing of it went to the card.
    EdsDirectoryItemRef folder = itemAt(camera, "DCIM/100CANON");
    EdsUInt32 count = 0;
    ASSERT_EQ(s.EdsGetChildCount(folder, &count), kOk);
    EXPECT_EQ(count, 5u);
}

TEST_F(EventTest, ShutterFromTheCameraAndMovieRecordingAnnounceCardItems) {
    EdsCameraRef camera = connect();
    ASSERT_EQ(control().ReleaseShutter("eos1"), 0u);
    ASSERT_TRUE(rec.waitObjects(1));
    EXPECT_EQ(setU32(camera, kPropRecord, 4), kNotSupported);  // needs live view
    ASSERT_EQ(setU32(camera, kPropEvfOutputDevice, kEvfOutputPc), kOk);
    ASSERT_EQ(setU32(camera, kPropRecord, 4), kOk);
    ASSERT_EQ(setU32(camera, kPropRecord, 0), kOk);
    ASSERT_TRUE(rec.waitObjects(2));
    EXPECT_EQ(rec.objects[1].event, kObjectEventDirItemCreated);
    EXPECT_EQ(rec.objects[1].name, "MVI_0007.MP4");
}

TEST_F(EventTest, PropertyEventsComeForRealChangesOnly) {
    EdsCameraRef camera = connect();
    ASSERT_EQ(setU32(camera, kPropIsoSpeed, 0x48), kOk);  // the value it has already
    ASSERT_EQ(setU32(camera, kPropAv, 0x38), kOk);
    ASSERT_TRUE(rec.hasProperty(kPropAv));
    ASSERT_EQ(control().WaitIdle(kSettleLimitMs), 0u);
    EXPECT_EQ(rec.properties.size(), 1u);
    EXPECT_EQ(rec.properties[0].first, kPropertyEventChanged);
    // A change made on the camera itself is reported too.
    const EdsUInt32 battery = 49;
    ASSERT_EQ(control().SetProperty("eos1", kPropBatteryLevel, &battery, 4), 0u);
    ASSERT_TRUE(rec.hasProperty(kPropBatteryLevel));
    EXPECT_EQ(u32Property(camera, kPropBatteryLevel), 49u);
}

TEST_F(EventTest, StateEventsCarryTheirData) {
    connect();
    ASSERT_EQ(control().FireEvent("eos1", kStateEventWillSoonShutDown, 30), 0u);
    ASSERT_TRUE(rec.hasState(kStateEventWillSoonShutDown));
    EXPECT_EQ(rec.states[0].second, 30u);
    EXPECT_EQ(control().FireEvent("eos1", 0x400, 0), 1u);
    EXPECT_EQ(control().FireEvent("nope", 0x301, 0), 2u);
}

TEST_F(EventTest, DetachedCameraShutsDownAndComesBackThroughTheAddedHandler) {
    ASSERT_EQ(s.EdsSetCameraAddedHandler(&Recorder::onAdded, &rec), kOk);
    EdsCameraRef camera = connect();
    ASSERT_EQ(control().DetachCamera("eos1"), 0u);
    ASSERT_TRUE(rec.hasState(kStateEventShutdown));
    EdsUInt32 value = 0;
    EXPECT_EQ(s.EdsGetPropertyData(camera, kPropBatteryLevel, 0, 4, &value), kCommDisconnected);
    EdsCameraListRef list = nullptr;
    ASSERT_EQ(s.EdsGetCameraList(&list), kOk);
    ASSERT_EQ(s.EdsGetChildCount(list, &value), kOk);
    EXPECT_EQ(value, 0u);
    s.EdsRelease(list);
    ASSERT_EQ(control().AttachCamera("eos1"), 0u);
    ASSERT_TRUE(rec.waiter.waitFor([&] { return rec.added == 1; }));
    EXPECT_EQ(s.EdsOpenSession(camera), kOk);  // the old reference works again after a new session
}

TEST_F(EventTest, PowerZoomDrivesReportTheirStateWord) {
    ASSERT_EQ(control().LoadScenario(R"({"cameras": [{"id": "pz", "powerZoom": true}]})"), 0u) << lastSimError();
    EdsCameraRef camera = connect();
    ASSERT_EQ(setU32(camera, kPropPowerZoomSpeed, 2), kOk);
    ASSERT_EQ(s.EdsSendCommand(camera, kCmdDrivePowerZoom, 2), kOk);
    ASSERT_TRUE(rec.hasState(kStateEventPowerZoomInfoChanged));
    EXPECT_EQ(rec.states[0].second >> 16, 2u);
    EXPECT_EQ(rec.states[0].second & 0x21, 0x21u);
    EXPECT_EQ(s.EdsSendCommand(camera, kCmdDrivePowerZoom, 7), kInvalidParameter);
}

TEST_F(EventTest, GetEventDeliveryRunsCallbacksOnTheCallersThread) {
    ASSERT_EQ(s.EdsTerminateSDK(), kOk);
    ASSERT_EQ(control().LoadScenario(R"({"eventDelivery": "getEvent", "cameras": [{"id": "eos1"}]})"), 0u) << lastSimError();
    ASSERT_EQ(s.EdsInitializeSDK(), kOk);
    EdsCameraRef camera = connect();
    ASSERT_EQ(s.EdsSendCommand(camera, kCmdTakePicture, 0), kOk);
    EXPECT_TRUE(rec.objects.empty());
    ASSERT_EQ(s.EdsGetEvent(), kOk);
    ASSERT_EQ(rec.objects.size(), 1u);
    EXPECT_EQ(rec.objects[0].thread, std::this_thread::get_id());
}
