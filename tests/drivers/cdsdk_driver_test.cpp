// The legacy driver over a camera in this process: an entry-point table whose functions answer
// from a FakeCamera and log every call, so that each test can make any call fail at any time and
// see exactly what the driver asked the library.
#include "Scratch.h"
#include "drivers/cdsdk/CdTables.h"
#include "drivers/cdsdk/TCDSDK.h"

#include "engine/ParamStore.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace tbx::cdsdk {
namespace {

using namespace sdk;
namespace fs = std::filesystem;
using tbx::test::ScratchFolder;

constexpr CdError kBusy = 0x0C000081;
constexpr CdError kEnumEnd = 0x0C0000F0;

struct Call {
    std::string name;
    std::vector<CdUInt32> args;
};

/// What the camera holds and how it answers.
struct FakeCamera {
    std::vector<Call> calls;
    /// Calls that fail: the call's number (from 1) that fails, or 0 for every call.
    std::map<std::string, int> failAt;
    std::map<std::string, int> counts;
    std::vector<CdSourceInfo> devices;
    std::vector<CdUInt32> properties{kPropBattery, kPropOwnerName, kPropCameraTime};
    std::string owner = "Owner";
    CdUInt32 battery = 0x16;
    CdUInt32 faculty = kFacultyRemoteRelease | 0x1F;
    CdVolumeInfo volume{2, 1, 1000, 500, "CF"};
    std::vector<std::string> pictures{"IMG_0001.JPG", "IMG_0002.JPG", "IMG_0003.JPG"};
    /// The values each value group lists, by ProbeGroup (and image format pairs as q << 8 | s).
    std::map<int, std::vector<CdUInt16>> lists;
    CdUInt16 shootingMode = 1;
    std::vector<int> progress;
    std::size_t cursor = 0;

    int count(const std::string &name) const
    {
        const auto it = counts.find(name);
        return it == counts.end() ? 0 : it->second;
    }
    std::vector<Call> named(const std::string &name) const
    {
        std::vector<Call> found;
        std::ranges::copy_if(calls, std::back_inserter(found), [&](const Call &c) { return c.name == name; });
        return found;
    }
    /// The calls whose name starts with CDSet.
    std::vector<Call> writes() const
    {
        std::vector<Call> found;
        std::ranges::copy_if(calls, std::back_inserter(found),
                             [](const Call &c) { return c.name.starts_with("CDSet"); });
        return found;
    }
};

FakeCamera *fake = nullptr;

CdError enter(const std::string &name, std::vector<CdUInt32> args = {})
{
    fake->calls.push_back({name, std::move(args)});
    const int n = ++fake->counts[name];
    const auto it = fake->failAt.find(name);
    return it != fake->failAt.end() && (it->second == 0 || it->second == n) ? kBusy : 0;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define TBX_FAKE_STUB(name, kind, x86Bytes, result, parameters)                                                        \
    result TBX_STDCALL stub_##name parameters { return enter(#name); }
TBX_CDSDK_EXPORTS(TBX_FAKE_STUB)
#undef TBX_FAKE_STUB
#pragma GCC diagnostic pop

// ---- answers with data ----

CdError TBX_STDCALL deviceCount(CdHEnum, CdUInt32 *n)
{
    *n = static_cast<CdUInt32>(fake->devices.size());
    return enter("CDGetDeviceCount");
}
CdError TBX_STDCALL deviceNext(CdHEnum, CdSourceInfo *info)
{
    if (const CdError r = enter("CDEnumDeviceNext"))
        return r;
    *info = fake->devices.at(fake->cursor++ % fake->devices.size());
    return 0;
}
CdError TBX_STDCALL openSource(CdSourceInfo *info, CdHSource *source)
{
    *source = 7;
    return enter("CDOpenSource", {static_cast<CdUInt32>(info->Name[0])});
}
CdError TBX_STDCALL propertyReset(CdHSource, CdUInt32, CdHEnum *e)
{
    fake->cursor = 0;
    *e = 11;
    return enter("CDEnumDevicePropertyReset");
}
CdError TBX_STDCALL propertyNext(CdHEnum, CdDevicePropertyStruct *p)
{
    if (const CdError r = enter("CDEnumDevicePropertyNext"))
        return r;
    if (fake->cursor >= fake->properties.size())
        return kEnumEnd;
    p->DevPropID = fake->properties[fake->cursor++];
    return 0;
}
CdError TBX_STDCALL propertyGet(CdHSource, CdDevicePropertyID id, CdUInt32 *size, CdVoid *buffer, CdUInt32)
{
    if (id == kPropBattery)
        std::memcpy(buffer, &fake->battery, 4);
    else {
        // The camera fills what it is offered, with no terminator when the name fills it.
        *size = std::min<CdUInt32>(*size, static_cast<CdUInt32>(fake->owner.size() + 1));
        std::memcpy(buffer, fake->owner.c_str(), *size);
    }
    return enter("CDGetDevicePropertyData", {id});
}
CdError TBX_STDCALL propertySet(CdHSource, CdDevicePropertyID id, CdUInt32 *size, CdVoid *buffer)
{
    CdUInt32 first = 0;
    std::memcpy(&first, buffer, std::min<CdUInt32>(*size, 4));
    return enter("CDSetDevicePropertyData", {id, *size, first});
}
CdError TBX_STDCALL faculty(CdHSource, CdReleaseControlFaculty *f)
{
    *f = fake->faculty;
    return enter("CDGetReleaseControlFaculty");
}
CdError TBX_STDCALL volumeInfo(CdHVolume, CdVolumeInfo *info)
{
    *info = fake->volume;
    return enter("CDGetVolumeInfo");
}
CdError TBX_STDCALL itemCount(CdHEnum, CdUInt32 *n)
{
    fake->cursor = 0;
    *n = static_cast<CdUInt32>(fake->pictures.size());
    return enter("CDGetImageItemCount");
}
CdError TBX_STDCALL itemNext(CdHEnum, CdHImageItem *item)
{
    *item = static_cast<CdHImageItem>(100 + fake->cursor++);
    return enter("CDEnumImageItemNext");
}
CdError TBX_STDCALL itemInfo(CdHItem item, CdItemInfo *info)
{
    std::memset(info->Name, 'X', sizeof info->Name); // no terminator
    if (const CdError r = enter("CDGetItemInfo"))
        return r;
    std::strcpy(info->Name, fake->pictures.at(item - 100).c_str());
    return 0;
}
CdError TBX_STDCALL thumbnail(CdHImageItem item, CdHImageData *data)
{
    *data = item + 1000;
    return enter("CDGetThumbnail");
}
CdError TBX_STDCALL picture(CdHImageItem item, CdHImageData *data)
{
    *data = item + 2000;
    return enter("CDGetPicture");
}
CdError TBX_STDCALL imageData(CdHImageData data, CdStgMedium *to, CdProgressCallbackFunction *, CdContext,
                              CdProgressOption)
{
    const CdError r = enter("CDGetImageData", {data});
    std::ofstream(to->u.lpszFileName, std::ios::binary) << (r != 0 ? "part" : "data" + std::to_string(data));
    return r;
}
CdError TBX_STDCALL getShootingMode(CdHSource, CdShootingMode *mode)
{
    *mode = fake->shootingMode;
    return enter("CDGetShootingMode");
}

/// The value groups by the stem of their calls' names, in ProbeGroup order; index 15 lists the
/// image format pairs, 16 the release-camera settings.
const char *const kStems[] = {"",          "ShootingMode",      "AvValue",     "TvValue", "ExposureComp",
                              "WBSetting", "AFDistanceSetting", "FlashSetting"};
constexpr int kImageFormatList = 15;
constexpr int kRelCamList = 16;

template <int G>
CdError TBX_STDCALL listReset(CdHSource, CdHEnum *e)
{
    fake->cursor = 0;
    *e = 20 + G;
    return enter(std::string("CDEnum") + (G == kImageFormatList ? "ImageFormatAttribute" : kStems[G]) + "Reset");
}
template <int G>
CdError TBX_STDCALL listCount(CdHEnum, CdUInt32 *n)
{
    *n = static_cast<CdUInt32>(fake->lists[G].size());
    return enter(std::string("CDGet") + (G == kImageFormatList ? "ImageFormatAttribute" : kStems[G]) + "Count");
}
template <int G>
CdError TBX_STDCALL listNext(CdHEnum, CdUInt16 *value)
{
    *value = fake->lists[G].at(fake->cursor++);
    return enter(std::string("CDEnum") + kStems[G] + "Next");
}
CdError TBX_STDCALL formatNext(CdHEnum, CdCompQuality *q, CdImageSize *s)
{
    const CdUInt16 pair = fake->lists[kImageFormatList].at(fake->cursor++);
    *q = static_cast<CdUInt16>(pair >> 8);
    *s = static_cast<CdUInt16>(pair & 0xFF);
    return enter("CDEnumImageFormatAttributeNext");
}
CdError TBX_STDCALL relCamReset(CdHSource, CdRelCamSettingID id, CdHEnum *e, CdUInt32 *size)
{
    fake->cursor = 0;
    *e = 40;
    *size = 2;
    return enter("CDEnumRelCamSettingDataReset", {id});
}
CdError TBX_STDCALL relCamCount(CdHEnum, CdUInt32 *n)
{
    *n = static_cast<CdUInt32>(fake->lists[kRelCamList].size());
    return enter("CDGetRelCamSettingDataCount");
}
CdError TBX_STDCALL relCamNext(CdHEnum, CdUInt32 size, CdVoid *buffer)
{
    const CdUInt16 value = fake->lists[kRelCamList].at(fake->cursor++);
    std::memcpy(buffer, &value, std::min<CdUInt32>(size, 2));
    return enter("CDEnumRelCamSettingDataNext");
}

// ---- writes, logged with their arguments ----

CdError TBX_STDCALL setShootingMode(CdHSource, CdShootingMode v)
{
    if (const CdError r = enter("CDSetShootingMode", {v}))
        return r;
    fake->shootingMode = v;
    return 0;
}
template <int G>
CdError TBX_STDCALL setValue(CdHSource, CdUInt16 v)
{
    const char *const names[] = {
        "", "", "CDSetAvValue", "CDSetTvValue", "CDSetExposureComp", "CDSetWBSetting", "CDSetAFDistanceSetting"};
    return enter(names[G], {v});
}
CdError TBX_STDCALL setPair(CdHSource, CdUInt16 a, CdUInt16 b)
{
    return enter(a == kFlashUnchanged || b == kFlashUnchanged ? "CDSetFlashSetting" : "CDSetImageFormatAttribute",
                 {a, b});
}
CdError TBX_STDCALL setRelCam(CdHSource, CdRelCamSettingID id, CdUInt32 size, CdVoid *buffer)
{
    CdUInt32 value = 0;
    std::memcpy(&value, buffer, std::min<CdUInt32>(size, 4));
    return enter("CDSetRelCamSettingData", {id, size, value});
}

CdError TBX_STDCALL selectKind(CdHSource, CdRelDataKind v) { return enter("CDSelectReleaseDataKind", {v}); }

CdEntryPoints makeTable()
{
    CdEntryPoints t;
#define TBX_FAKE_ASSIGN(name, kind, x86Bytes, result, parameters) t.name = &stub_##name;
    TBX_CDSDK_EXPORTS(TBX_FAKE_ASSIGN)
#undef TBX_FAKE_ASSIGN
    t.CDGetDeviceCount = &deviceCount;
    t.CDEnumDeviceNext = &deviceNext;
    t.CDOpenSource = &openSource;
    t.CDEnumDevicePropertyReset = &propertyReset;
    t.CDEnumDevicePropertyNext = &propertyNext;
    t.CDGetDevicePropertyData = &propertyGet;
    t.CDSetDevicePropertyData = &propertySet;
    t.CDGetReleaseControlFaculty = &faculty;
    t.CDGetVolumeInfo = &volumeInfo;
    t.CDGetImageItemCount = &itemCount;
    t.CDEnumImageItemNext = &itemNext;
    t.CDGetItemInfo = &itemInfo;
    t.CDGetThumbnail = &thumbnail;
    t.CDGetPicture = &picture;
    t.CDGetImageData = &imageData;
    t.CDGetShootingMode = &getShootingMode;
    t.CDSetShootingMode = &setShootingMode;
#define TBX_FAKE_LIST(G, Stem)                                                                                         \
    t.CDEnum##Stem##Reset = &listReset<G>;                                                                             \
    t.CDGet##Stem##Count = &listCount<G>;                                                                              \
    t.CDEnum##Stem##Next = &listNext<G>;
    TBX_FAKE_LIST(1, ShootingMode)
    TBX_FAKE_LIST(2, AvValue)
    TBX_FAKE_LIST(3, TvValue)
    TBX_FAKE_LIST(4, ExposureComp)
    TBX_FAKE_LIST(5, WBSetting)
    TBX_FAKE_LIST(6, AFDistanceSetting)
    TBX_FAKE_LIST(7, FlashSetting)
#undef TBX_FAKE_LIST
    t.CDSetAvValue = &setValue<2>;
    t.CDSetTvValue = &setValue<3>;
    t.CDSetExposureComp = &setValue<4>;
    t.CDSetWBSetting = &setValue<5>;
    t.CDSetAFDistanceSetting = &setValue<6>;
    t.CDSetFlashSetting = &setPair;
    t.CDEnumImageFormatAttributeReset = &listReset<kImageFormatList>;
    t.CDGetImageFormatAttributeCount = &listCount<kImageFormatList>;
    t.CDEnumImageFormatAttributeNext = &formatNext;
    t.CDSetImageFormatAttribute = &setPair;
    t.CDEnumRelCamSettingDataReset = &relCamReset;
    t.CDGetRelCamSettingDataCount = &relCamCount;
    t.CDEnumRelCamSettingDataNext = &relCamNext;
    t.CDSetRelCamSettingData = &setRelCam;
    t.CDSelectReleaseDataKind = &selectKind;
    return t;
}

const CdEntryPoints &table()
{
    static const CdEntryPoints t = makeTable();
    return t;
}
void noLoad(const std::string &) {}
bool loaded() { return true; }
const CdLibrary kFakeLibrary{&noLoad, &loaded, &table};

void progressHook(int, int percent) noexcept { fake->progress.push_back(percent); }

CdSourceInfo device(const std::string &model, const std::string &listName)
{
    CdSourceInfo info{};
    std::memcpy(info.Name, model.data(), std::min(model.size(), sizeof info.Name));
    std::memcpy(info.NameInOS, listName.data(), std::min(listName.size(), sizeof info.NameInOS));
    return info;
}

class CdDriverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake = &camera;
        camera.devices = {device("PowerShot A", "Camera A"), device(std::string(64, 'M'), "Camera B")};
        driver.Attach(0, records, EngineHooks{&progressHook});
    }
    ConnectInfoType connect(int index = 1)
    {
        StringList names;
        driver.StartSDK("");
        driver.EnumerateCameras(names);
        ConnectInfoType info;
        driver.Connect(ConnectCallbacks{}, index, info, 0);
        camera.calls.clear();
        camera.counts.clear();
        return info;
    }
    ImageListType open(bool thumbnails = true)
    {
        ImageListType list;
        driver.OpenCameraCollection(folder.string(), thumbnails, list);
        return list;
    }
    std::vector<std::string> files() const
    {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::ranges::sort(names);
        return names;
    }

    FakeCamera camera;
    CameraRecordList records;
    TCDSDK driver{kFakeLibrary};
    ScratchFolder scratch{"tbx-cdsdk"};
    const fs::path &folder = scratch.path();
};

// ---------------------------------------------------------------------------------------------
// Session and housekeeping
// ---------------------------------------------------------------------------------------------

TEST_F(CdDriverTest, ConnectReadsTheRecordsTextsWithinTheirFieldsAndTheBattery)
{
    camera.owner = std::string(64, 'O'); // fills what is offered, without a terminator
    camera.battery = 0x30000004;
    StringList names{"stale"};
    driver.StartSDK("");
    driver.EnumerateCameras(names);
    EXPECT_EQ(names, (StringList{"Camera A", "Camera B"}));
    EXPECT_EQ(camera.count("CDEnumDeviceRelease"), 1);

    ConnectInfoType info;
    driver.Connect(ConnectCallbacks{}, 1, info, 0);
    EXPECT_EQ(camera.named("CDOpenSource").at(0).args.at(0), CdUInt32('M'));
    EXPECT_EQ(info.CameraModelName, std::string(64, 'M'));
    EXPECT_EQ(info.OwnerName, std::string(32, 'O'));
    EXPECT_EQ(int(info.BatterySource), 3);
    EXPECT_EQ(int(info.BatteryStatus), 2);
    EXPECT_EQ(camera.count("CDEnumDevicePropertyReset"), camera.count("CDEnumDevicePropertyRelease"));
}

TEST_F(CdDriverTest, ConnectRefusesIndicesBeforeAnySdkCall)
{
    struct Case {
        int index;
        bool listed;
        const char *message;
    };
    for (const Case &c :
         {Case{-1, true,
               "Not valid value in parameter ConnectToCamera when calling Connect. Value must be at least "
               "zero. Currently ConnectToCamera = -1"},
          Case{0, false,
               "There seems to be no connected PowerShot cameras connected. Have you called the "
               "EnumerateCameras function before calling Connect?"},
          Case{2, true,
               "Not valid value in parameter ConnectToCamera when calling Connect. There are only 2 PowerShot "
               "cameras connected. Currently is parameter ConnectToCamera = 2"}}) {
        records.clear();
        StringList names;
        if (c.listed)
            driver.EnumerateCameras(names);
        camera.calls.clear();
        ConnectInfoType info;
        try {
            driver.Connect(ConnectCallbacks{}, c.index, info, 0);
            ADD_FAILURE() << c.index;
        } catch (const ECamException &e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_TRUE(camera.calls.empty()) << c.index;
    }
}

TEST_F(CdDriverTest, AConnectThatFailsAfterOpeningClosesTheSource)
{
    camera.failAt["CDRegisterEventCallbackFunction"] = 0;
    EXPECT_THROW(connect(), ECamException);
    EXPECT_EQ(camera.count("CDCloseSource"), 1);
    EXPECT_EQ(driver.Source(), 0u);
}

TEST_F(CdDriverTest, OwnerNamesUpTo31CharactersAreWrittenWithTheirTerminator)
{
    connect();
    driver.SetOwnerName(std::string(31, 'a'));
    EXPECT_EQ(camera.named("CDSetDevicePropertyData").at(0).args.at(1), 32u);
    EXPECT_THROW(
        {
            try {
                driver.SetOwnerName(std::string(32, 'a'));
            } catch (const ECamException &e) {
                EXPECT_STREQ(e.what(), "The owner name to set is too long");
                throw;
            }
        },
        ECamException);

    camera.failAt["CDSetDevicePropertyData"] = 0;
    try {
        driver.SetOwnerName("x");
        ADD_FAILURE();
    } catch (const ECamException &e) {
        EXPECT_STREQ(e.what(), "It is not possible to set owner name in the current connected camera");
    }
    EXPECT_EQ(camera.count("CDEnumDevicePropertyReset"), camera.count("CDEnumDevicePropertyRelease"));
}

TEST_F(CdDriverTest, TimeIsWrittenAsSecondsSince1970AndPropertiesNotFoundFailInTheirOwnWords)
{
    connect();
    driver.SetTime(1'000'000'000);
    const Call write = camera.named("CDSetDevicePropertyData").at(0);
    EXPECT_EQ(write.args, (std::vector<CdUInt32>{kPropCameraTime, 4, 1'000'000'000}));

    camera.properties = {kPropBattery};
    EXPECT_THROW(driver.SetTime(1), ECamException);
    try {
        driver.KeepAlive();
        ADD_FAILURE();
    } catch (const ECamException &e) {
        EXPECT_NE(std::string(e.what()).find("CDEnumDevicePropertyNext errorcode 0x0C0000F0"), std::string::npos);
    }
}

// ---------------------------------------------------------------------------------------------
// Collection
// ---------------------------------------------------------------------------------------------

TEST_F(CdDriverTest, ListingReadsThumbnailsThroughOneFileAndClosesEveryOpenedImage)
{
    connect();
    camera.failAt["CDGetItemInfo"] = 2;
    const ImageListType list = open();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].Name, "IMG_0001.JPG");
    EXPECT_EQ(list[1].Name, ""); // never the previous picture's, never past the field
    EXPECT_EQ(list[2].Name, "IMG_0003.JPG");
    EXPECT_EQ(std::string(list[2].Thumbnail->begin(), list[2].Thumbnail->end()), "data1102");
    EXPECT_EQ(camera.count("CDOpenImage"), 3);
    EXPECT_EQ(camera.count("CDCloseImage"), 3);
    EXPECT_EQ(camera.count("CDEnumImageItemRelease"), 0); // kept open for the collection
    EXPECT_EQ(files(), (std::vector<std::string>{"Thumb.jpg"}));
}

TEST_F(CdDriverTest, AListingThatFailsPartWayGivesBackItsEnumerationAndClosesTheImage)
{
    connect();
    camera.failAt["CDGetThumbnail"] = 2;
    EXPECT_THROW(open(), ECamException);
    EXPECT_EQ(camera.count("CDOpenImage"), camera.count("CDCloseImage"));
    EXPECT_EQ(camera.count("CDEnumImageItemRelease"), 1);
    EXPECT_EQ(driver.CollectionSize(), 0u);
}

TEST_F(CdDriverTest, ThumbnailsNeedATempFolderAndAnEmptyCardWritesNoFile)
{
    connect();
    ImageListType list;
    EXPECT_THROW(driver.OpenCameraCollection("", true, list), ECamException);
    EXPECT_TRUE(camera.calls.empty());

    camera.pictures.clear();
    EXPECT_TRUE(open().empty());
    EXPECT_TRUE(files().empty());

    camera.volume.TotalSpace = camera.volume.FreeSpace = 0;
    EXPECT_THROW(open(), ECamException);
    EXPECT_EQ(camera.count("CDEnumVolumeReset"), camera.count("CDEnumVolumeRelease"));
}

TEST_F(CdDriverTest, PositionsOutsideTheCollectionAreRefusedAndDeleteShiftsTheRest)
{
    connect();
    ImageListType list = open(false);
    EXPECT_THROW(driver.GetPicture(3, (folder / "p.jpg").string(), nullptr, 0), ECamException);
    EXPECT_THROW(driver.DeletePicture(list, 3), ECamException);
    EXPECT_THROW(driver.DeletePicture(list, -1), ECamException);

    driver.DeletePicture(list, 2); // the last one
    driver.DeletePicture(list, 0);
    EXPECT_EQ(camera.named("CDDeleteImage").at(0).name, "CDDeleteImage");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Name, "IMG_0002.JPG");
    driver.GetPicture(0, (folder / "p.jpg").string(), nullptr, 0);
    EXPECT_EQ(camera.named("CDGetImageData").back().args.at(0), 2101u);

    driver.CloseCameraCollection(list);
    driver.CloseCameraCollection(list);
    EXPECT_EQ(camera.count("CDEnumImageItemRelease"), 1);
    EXPECT_THROW(driver.GetPicture(0, (folder / "p.jpg").string(), nullptr, 0), ECamException);
}

TEST_F(CdDriverTest, AFailedDownloadLeavesNoFileAndKeepsThePicture)
{
    connect();
    ImageListType list = open(false);
    const std::string target = (folder / "p.jpg").string();
    camera.failAt["CDGetImageData"] = 1;
    EXPECT_THROW(driver.GetPicture(1, target, nullptr, 0), ECamException);
    EXPECT_TRUE(files().empty());
    EXPECT_EQ(camera.count("CDOpenImage"), camera.count("CDCloseImage"));
    EXPECT_EQ(driver.CollectionSize(), 3u);

    driver.GetPicture(1, target, nullptr, 0);
    std::ifstream in(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "data2101");
    EXPECT_EQ(files(), (std::vector<std::string>{"p.jpg"}));
}

// ---------------------------------------------------------------------------------------------
// Release control and parameters
// ---------------------------------------------------------------------------------------------

class CdProbeTest : public CdDriverTest {
protected:
    RemoteStartInfoType start(const std::string &cache = "", ReleaseModeType mode = ReleaseModeOnlyToPC,
                              ReleaseDataKindType kind = ReleaseDataKindTakeOnlyPicture)
    {
        RemoteStartInfoType info;
        driver.RemoteStart(mode, kind, info, 0, nullptr, cache, true);
        return info;
    }
    void failEveryListing()
    {
        for (const char *stem : kStems)
            if (*stem)
                camera.failAt[std::string("CDEnum") + stem + "Reset"] = 0;
        camera.failAt["CDEnumImageFormatAttributeReset"] = 0;
        camera.failAt["CDEnumRelCamSettingDataReset"] = 0;
    }
};

TEST_F(CdProbeTest, ListedValuesAreMarkedWithProgressAndTheCameraIsPutBack)
{
    connect();
    camera.lists[2] = {8, 11};                 // Av 1 and 2
    camera.lists[kImageFormatList] = {0x0300}; // fine, large
    camera.lists[kRelCamList] = {0x4340};      // ISO by its low byte: 2
    const RemoteStartInfoType info = start("", ReleaseModeBothPCAndCamera, ReleaseDataKingTakeBothThumbAndPic);
    EXPECT_EQ(camera.named("CDSelectReleaseDataKind").at(0).args.at(0), 15u);
    EXPECT_EQ(camera.progress, (std::vector<int>{6, 18, 24, 29, 35, 41, 47, 53, 65, 71, 76, 82, 88, 94, 100, 100}));
    EXPECT_EQ(info.DoSupportZoom + info.DoSupportShootingPara + info.DoSupportViewfinder +
                  info.ReqViewfinderOffWhenShooting + info.DoSupportAfLockUnlock,
              5);
    const auto &s = info.ParamSupport;
    EXPECT_EQ((std::vector<int>{s.Av[0], s.Av[1], s.Av[2], s.Av[3]}), (std::vector<int>{0, 1, 1, 0}));
    EXPECT_EQ((std::vector<int>{s.CompQuality[0], s.CompQuality[3], s.ImageSize[1]}), (std::vector<int>{0, 1, 1}));
    EXPECT_EQ(s.ISO[2], 1);
    EXPECT_EQ(s.Tv[0], 1);
    EXPECT_EQ(s.DriveMode[0], 1);
    EXPECT_EQ(camera.count("CDEnumAvValueRelease"), 1);
    EXPECT_EQ(camera.named("CDSetShootingMode").back().args.at(0), 1u);
}

TEST_F(CdProbeTest, TryingEveryCodeMarksWhatTheCameraTakesAndSkipsAvTvWithoutManualMode)
{
    connect();
    failEveryListing();
    camera.failAt["CDSetShootingMode"] = 2; // the write of mode 4 before the aperture tries
    camera.failAt["CDSetAvValue"] = 0;
    const RemoteStartInfoType info = start();
    const auto &s = info.ParamSupport;
    EXPECT_TRUE(std::ranges::all_of(std::span(s.Av).subspan(1), [](int f) { return f == 0; }));
    EXPECT_EQ(s.Av[0], 1);
    EXPECT_EQ(s.WhiteBalanceSetting[0], 0);
    EXPECT_EQ(s.WhiteBalanceSetting[16], 1);
    EXPECT_EQ(s.PhotoEffect[2], 0); // code 2 has no value to try
    EXPECT_EQ(s.ExposureCompensation[9], 0);
    EXPECT_EQ(s.ExposureCompensation[10], 1);
    EXPECT_EQ(s.CompQuality[5], 1);
    EXPECT_EQ(s.StrobeCompSetting[13], 1);
    for (const Call &c : camera.named("CDSetFlashSetting"))
        EXPECT_TRUE(c.args[0] == kFlashUnchanged || c.args[1] == kFlashUnchanged);
}

TEST_F(CdProbeTest, AFailedProbeReleasesItsEnumerationAndPutsTheCameraBackBeforeRaising)
{
    connect();
    failEveryListing();
    camera.failAt.erase("CDEnumTvValueReset");
    camera.lists[3] = {16, 19};
    camera.failAt["CDEnumTvValueNext"] = 2;
    EXPECT_THROW(start((folder / "cache").string()), ECamException);
    EXPECT_EQ(camera.count("CDEnumTvValueRelease"), 1);
    EXPECT_EQ(camera.calls.back().name, "CDSetShootingMode");
    EXPECT_EQ(camera.calls.back().args.at(0), 1u);
    // The saved parameters (what the fake's stubs read: value 0 of each) were written back.
    EXPECT_FALSE(camera.named("CDSetImageFormatAttribute").empty());
    EXPECT_TRUE(files().empty());
}

TEST_F(CdProbeTest, AnUnreadableShootingModeNamesNoCacheFile)
{
    connect(0);
    const std::string cache = (folder / "cache").string();
    camera.failAt["CDGetShootingMode"] = 0;
    start(cache);
    EXPECT_FALSE(fs::exists(cache));
    camera.failAt.clear();
    start(cache);
    EXPECT_TRUE(fs::exists(folder / "cache" / "PowerShot A Mode16"));
}

} // namespace
} // namespace tbx::cdsdk
