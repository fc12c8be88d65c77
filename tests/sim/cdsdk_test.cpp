// The legacy PowerShot stand-in through the binding a host uses: loaded from the redist folder
// with its helper files checked, every call through the bound entry points, the cameras steered
// through the control API.
#include "sdk/CDAPI.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "sim/TbxSimClient.h"

namespace {

using namespace tbx::sdk;

constexpr CdError kNotSupported = 0x0C000007;
constexpr CdError kInvalidLength = 0x0C000064;
constexpr CdError kBusy = 0x0C000081;
constexpr CdError kDisconnected = 0x0C0000C1;
constexpr CdError kEnumEnd = 0x0C0000F0;
constexpr CdError kInvalidCall = 0x0C0000F1;
constexpr std::uint32_t kSettleMs = 30000;

// Two legacy cameras and an EOS camera the legacy library leaves to its own library. The second
// is an older body: no value enumeration starts and the dial has no M.
constexpr const char *kScenario = R"({
  "cameras": [
    { "id": "eos", "family": "EOS" },
    { "id": "g5", "family": "PowerShot legacy", "description": "Canon PowerShot G5", "portName": "USB:G5",
      "properties": { "Battery": 805306372 },
      "volumes": [ { "label": "CF1", "capacity": 256000000, "items": [
        { "folder": "DCIM", "items": [ { "folder": "100CANON", "items": [
          { "file": "IMG_0001.JPG" }, { "file": "IMG_0002.JPG" }, { "file": "IMG_0003.JPG" } ] } ] } ] } ] },
    { "id": "a70", "family": "PowerShot legacy", "description": "Canon PowerShot A70", "portName": "USB:A70",
      "properties": { "Enumerations": 0, "ShootingMode": { "value": 1, "allowed": [0, 1, 2, 3] } } }
  ]
})";

tbx::sim::ControlClient &control()
{
    static tbx::sim::ControlClient client(std::string(TBX_REDIST_DIR) + "/CDSDK.dll");
    return client;
}

const CdEntryPoints &cd()
{
    LoadCDSDK(TBX_REDIST_DIR);
    return Cd();
}

/// What the library's callbacks delivered, in order.
struct Delivered {
    std::mutex mutex;
    std::vector<std::pair<CdUInt32, CdUInt32>> events;
    std::vector<CdUInt32> progress;
    std::vector<std::vector<std::uint8_t>> frames;
};
Delivered gDelivered;

CdUInt32 TBX_STDCALL onEvent(CdEventID event, const CdVoid *data, CdUInt32 size, CdContext context)
{
    std::lock_guard lock(gDelivered.mutex);
    gDelivered.events.emplace_back(event | context, CdDataValue(data, size).value_or(0xDEAD));
    return 0;
}

CdUInt32 TBX_STDCALL onProgress(CdUInt32 percent, CdProgressStatus, CdContext)
{
    std::lock_guard lock(gDelivered.mutex);
    gDelivered.progress.push_back(percent);
    return 0;
}

CdUInt32 TBX_STDCALL onFrame(CdVoid *buffer, CdUInt32 size, CdUInt32 format, CdContext)
{
    std::lock_guard lock(gDelivered.mutex);
    if (format == 0)
        gDelivered.frames.emplace_back(static_cast<std::uint8_t *>(buffer), static_cast<std::uint8_t *>(buffer) + size);
    return 0;
}

class CdStandIn : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(control().LoadScenario(kScenario), 0u) << control().lastError();
        CdVersionInfo version{sizeof(CdVersionInfo), 7, 3, 0, {}};
        ASSERT_EQ(cd().CDStartSDK(&version, 0), 0u);
        std::lock_guard lock(gDelivered.mutex);
        gDelivered.events.clear();
        gDelivered.progress.clear();
        gDelivered.frames.clear();
    }
    void TearDown() override
    {
        for (CdHSource source : opened_)
            cd().CDCloseSource(source);
        control().WaitIdle(kSettleMs);
        EXPECT_EQ(control().GetObjectCount(), 0u) << "a handle was not released";
        EXPECT_EQ(cd().CDFinishSDK(), 0u);
        control().ClearFaults();
        std::filesystem::remove_all(scratch_);
    }

    /// The device records the library lists.
    std::vector<CdSourceInfo> devices()
    {
        CdHEnum devices = 0;
        CdUInt32 count = 0;
        EXPECT_EQ(cd().CDEnumDeviceReset(1, &devices), 0u);
        EXPECT_EQ(cd().CDGetDeviceCount(devices, &count), 0u);
        std::vector<CdSourceInfo> records(count);
        for (CdSourceInfo &record : records)
            EXPECT_EQ(cd().CDEnumDeviceNext(devices, &record), 0u);
        CdSourceInfo past{};
        EXPECT_EQ(cd().CDEnumDeviceNext(devices, &past), kEnumEnd);
        EXPECT_EQ(cd().CDEnumDeviceRelease(devices), 0u);
        return records;
    }

    CdHSource open(std::size_t index)
    {
        CdSourceInfo record = devices().at(index);
        CdHSource source = 0;
        EXPECT_EQ(cd().CDOpenSource(&record, &source), 0u);
        opened_.push_back(source);
        return source;
    }

    CdHVolume firstVolume(CdHSource source)
    {
        CdHEnum volumes = 0;
        CdHVolume volume = 0;
        EXPECT_EQ(cd().CDEnumVolumeReset(source, &volumes), 0u);
        EXPECT_EQ(cd().CDEnumVolumeNext(volumes, &volume), 0u);
        EXPECT_EQ(cd().CDEnumVolumeRelease(volumes), 0u);
        return volume;
    }

    std::vector<CdHImageItem> pictures(CdHVolume volume)
    {
        CdHEnum items = 0;
        CdUInt32 count = 0;
        EXPECT_EQ(cd().CDEnumImageItemReset(volume, 3, 1, &items), 0u);
        EXPECT_EQ(cd().CDGetImageItemCount(items, &count), 0u);
        std::vector<CdHImageItem> handles(count);
        for (CdHImageItem &item : handles)
            EXPECT_EQ(cd().CDEnumImageItemNext(items, &item), 0u);
        EXPECT_EQ(cd().CDEnumImageItemRelease(items), 0u);
        return handles;
    }

    std::string file(const std::string &name)
    {
        std::filesystem::create_directories(scratch_);
        return (scratch_ / name).string();
    }

    static std::vector<std::uint8_t> bytesOf(const std::string &path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::vector<CdHSource> opened_;
    std::filesystem::path scratch_ = std::filesystem::temp_directory_path() /
                                     ("tbx-cdsdk-" +
                                      std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
};

TEST_F(CdStandIn, ListsItsOwnCamerasAndOpensThemByRecord)
{
    const std::vector<CdSourceInfo> records = devices();
    ASSERT_EQ(records.size(), 2u); // the EOS camera belongs to the other library
    EXPECT_EQ(CdModelName(records[0]), "Canon PowerShot G5");
    EXPECT_EQ(CdListName(records[1]), "Canon PowerShot A70");

    const CdHSource source = open(0);
    CdHSource again = 0;
    CdSourceInfo record = records[0];
    EXPECT_EQ(cd().CDOpenSource(&record, &again), 0x0C0000C0u) << "a source is opened once";
    ASSERT_EQ(control().DetachCamera("a70"), 0u);
    record = records[1];
    EXPECT_EQ(cd().CDOpenSource(&record, &again), 0x0C000080u);
    EXPECT_EQ(cd().CDFinishSDK(), 0u);
    EXPECT_EQ(cd().CDCloseSource(source), kInvalidCall) << "nothing but the start before CDStartSDK";
    opened_.clear();
    CdVersionInfo version{sizeof(CdVersionInfo), 7, 3, 0, {}};
    EXPECT_EQ(cd().CDStartSDK(&version, 0), 0u);
}

TEST_F(CdStandIn, DevicePropertiesAreFoundByEnumerationAndKeepTheirLimits)
{
    const CdHSource source = open(0);
    CdHEnum properties = 0;
    ASSERT_EQ(cd().CDEnumDevicePropertyReset(source, 0, &properties), 0u);
    std::vector<CdDevicePropertyID> ids;
    for (CdDevicePropertyStruct p{}; cd().CDEnumDevicePropertyNext(properties, &p) == 0;)
        ids.push_back(p.DevPropID);
    EXPECT_EQ(cd().CDEnumDevicePropertyRelease(properties), 0u);
    for (CdDevicePropertyID wanted : {0x0800000Cu, 0x0800000Du, 0x0000000Fu})
        EXPECT_NE(std::find(ids.begin(), ids.end(), wanted), ids.end()) << wanted;

    const std::string owner31(31, 'o');
    CdUInt32 size = 32;
    EXPECT_EQ(cd().CDSetDevicePropertyData(source, 0x0800000C, &size, const_cast<char *>(owner31.c_str())), 0u);
    const std::string owner32(32, 'o');
    size = 33;
    EXPECT_EQ(cd().CDSetDevicePropertyData(source, 0x0800000C, &size, const_cast<char *>(owner32.c_str())),
              kInvalidLength);
    char text[40] = {};
    size = 4;
    EXPECT_EQ(cd().CDGetDevicePropertyData(source, 0x0800000C, &size, text, 0), kInvalidLength);
    EXPECT_EQ(size, 32u) << "the size needed comes back";
    EXPECT_EQ(cd().CDGetDevicePropertyData(source, 0x0800000C, &size, text, 0), 0u);
    EXPECT_EQ(CdFieldText(text, 32), owner31);

    CdUInt32 battery = 0;
    size = 4;
    EXPECT_EQ(cd().CDGetDevicePropertyData(source, 0x0000000F, &size, &battery, 0), 0u);
    EXPECT_EQ(battery, 0x30000004u);
    CdUInt32 clock = 1700000000;
    EXPECT_EQ(cd().CDSetDevicePropertyData(source, 0x0800000D, &size, &clock), 0u);
    EXPECT_EQ(cd().CDGetDevicePropertyData(source, 0x0800000D, &size, &clock, 0), 0u);
    EXPECT_NEAR(clock, 1700000000.0, 5.0);
}

TEST_F(CdStandIn, SettingsFollowTheDialAndOlderBodiesStartNoEnumeration)
{
    const CdHSource g5 = open(0);
    CdHEnum values = 0;
    CdUInt32 count = 0;
    ASSERT_EQ(cd().CDEnumAvValueReset(g5, &values), 0u);
    EXPECT_EQ(cd().CDGetAvValueCount(values, &count), 0u);
    std::vector<CdRemoteSetAv> avs;
    for (CdRemoteSetAv av = 0; cd().CDEnumAvValueNext(values, &av) == 0;)
        avs.push_back(av);
    EXPECT_EQ(cd().CDEnumAvValueRelease(values), 0u);
    ASSERT_EQ(avs.size(), count);
    EXPECT_EQ(cd().CDSetAvValue(g5, avs.front()), kNotSupported) << "not in P";
    EXPECT_EQ(cd().CDSetShootingMode(g5, 4), 0u);
    EXPECT_EQ(cd().CDSetAvValue(g5, avs.front()), 0u);
    EXPECT_NE(cd().CDSetAvValue(g5, 0x7F), 0u) << "a value the camera does not offer";

    // The flash takes 0xFF for the half left as it is.
    EXPECT_EQ(cd().CDSetFlashSetting(g5, 2, 0xFF), 0u);
    EXPECT_EQ(cd().CDSetFlashSetting(g5, 0xFF, 0x15), 0u);
    CdFlashMode mode = 0;
    CdCompensation compensation = 0;
    EXPECT_EQ(cd().CDGetFlashSetting(g5, &mode, &compensation), 0u);
    EXPECT_EQ(mode, 2u);
    EXPECT_EQ(compensation, 0x15u);

    // Release-camera settings travel in their own sizes.
    CdUInt32 element = 0;
    ASSERT_EQ(cd().CDEnumRelCamSettingDataReset(g5, 0x08000008, &values, &element), 0u);
    EXPECT_EQ(element, 1u);
    std::uint8_t contrast[4] = {};
    EXPECT_EQ(cd().CDEnumRelCamSettingDataNext(values, 1, contrast), 0u);
    EXPECT_EQ(contrast[0], 0xFFu);
    EXPECT_EQ(cd().CDEnumRelCamSettingDataRelease(values), 0u);
    std::uint32_t iso = 80;
    EXPECT_EQ(cd().CDSetRelCamSettingData(g5, 0x0800000C, 2, &iso), 0u);
    EXPECT_EQ(cd().CDSetRelCamSettingData(g5, 0x0800000C, 4, &iso), kInvalidLength);

    const CdHSource a70 = open(1);
    EXPECT_EQ(cd().CDEnumAvValueReset(a70, &values), kNotSupported);
    EXPECT_EQ(cd().CDEnumRelCamSettingDataReset(a70, 0x08000008, &values, &element), kNotSupported);
    EXPECT_NE(cd().CDSetShootingMode(a70, 4), 0u);
    EXPECT_EQ(cd().CDSetShootingMode(a70, 3), 0u);
    EXPECT_TRUE(pictures(firstVolume(a70)).empty()) << "an empty card where the scenario gives none";
}

TEST_F(CdStandIn, CardPicturesListTransferAndDelete)
{
    const CdHSource source = open(0);
    const CdHVolume volume = firstVolume(source);
    CdVolumeInfo info{};
    ASSERT_EQ(cd().CDGetVolumeInfo(volume, &info), 0u);
    EXPECT_EQ(std::uint64_t{info.TotalSpace}, 256000000u / 1024); // a copy: the field is unaligned
    EXPECT_FALSE(CdVolumeWithoutSpace(info));

    std::vector<CdHImageItem> items = pictures(volume);
    ASSERT_EQ(items.size(), 3u);
    CdItemInfo item{};
    ASSERT_EQ(cd().CDGetItemInfo(items[2], &item), 0u);
    EXPECT_EQ(CdItemName(item), "IMG_0003.JPG");

    CdHImageData data = 0;
    EXPECT_NE(cd().CDGetThumbnail(items[0], &data), 0u) << "an image is opened first";
    ASSERT_EQ(cd().CDOpenImage(items[0]), 0u);
    ASSERT_EQ(cd().CDGetThumbnail(items[0], &data), 0u);
    const std::string thumb = file("Thumb.jpg");
    CdStgMedium medium{0, {thumb.c_str()}};
    ASSERT_EQ(cd().CDGetImageData(data, &medium, nullptr, 0, 0), 0u);
    ASSERT_EQ(cd().CDGetPicture(items[0], &data), 0u);
    const std::string picture = file("IMG_0001.JPG");
    medium.u.lpszFileName = picture.c_str();
    ASSERT_EQ(cd().CDGetImageData(data, &medium, onProgress, 7, 3), 0u);
    EXPECT_EQ(cd().CDCloseImage(items[0]), 0u);
    const auto thumbBytes = bytesOf(thumb);
    const auto pictureBytes = bytesOf(picture);
    ASSERT_GT(thumbBytes.size(), 2u);
    EXPECT_EQ(thumbBytes[0], 0xFF);
    EXPECT_EQ(thumbBytes[1], 0xD8);
    EXPECT_GT(pictureBytes.size(), thumbBytes.size());
    {
        std::lock_guard lock(gDelivered.mutex);
        ASSERT_FALSE(gDelivered.progress.empty());
        EXPECT_EQ(gDelivered.progress.back(), 100u);
    }

    EXPECT_EQ(cd().CDDeleteImage(volume, items[1]), 0u);
    EXPECT_NE(cd().CDGetItemInfo(items[1], &item), 0u) << "a deleted picture's handle is gone";
    items = pictures(volume);
    ASSERT_EQ(items.size(), 2u);
    ASSERT_EQ(cd().CDGetItemInfo(items[1], &item), 0u);
    EXPECT_EQ(CdItemName(item), "IMG_0003.JPG");
    EXPECT_EQ(cd().CDFormat(volume), 0u);
    EXPECT_TRUE(pictures(volume).empty());
}

TEST_F(CdStandIn, ReleaseSendsItsEventsAndHandsTheDataOver)
{
    const CdHSource source = open(0);
    CdUInt32 count = 0;
    EXPECT_EQ(cd().CDRelease(source, 0, nullptr, 0, 1, &count), kInvalidCall) << "release control first";
    CdReleaseControlFaculty faculty = 0;
    ASSERT_EQ(cd().CDGetReleaseControlFaculty(source, &faculty), 0u);
    EXPECT_NE(faculty & 0x40000000, 0u);
    ASSERT_EQ(cd().CDEnterReleaseControl(source, onEvent, 0x100), 0u);
    ASSERT_EQ(cd().CDSelectReleaseDataKind(source, 0x000A), 0u); // picture to the PC and the card
    ASSERT_EQ(cd().CDRelease(source, 0, onProgress, 0, 3, &count), 0u);
    EXPECT_EQ(count, 1u);
    control().WaitIdle(kSettleMs);
    {
        std::lock_guard lock(gDelivered.mutex);
        const std::vector<std::pair<CdUInt32, CdUInt32>> expected = {{0x100 | 28, 0}, {0x100 | 29, 1}};
        EXPECT_EQ(gDelivered.events, expected);
    }
    CdReleaseImageInfo info{};
    const std::string path = file("released.jpg");
    CdStgMedium medium{0, {path.c_str()}};
    ASSERT_EQ(cd().CDGetReleasedData(source, nullptr, 0, 1, &info, &medium), 0u);
    EXPECT_EQ(CdUInt32{info.DataType}, 0x20u);
    EXPECT_EQ(bytesOf(path).size(), CdUInt32{info.DataSize});
    EXPECT_EQ(cd().CDGetReleasedData(source, nullptr, 0, 1, &info, &medium), kInvalidCall) << "one picture only";
    EXPECT_EQ(pictures(firstVolume(source)).size(), 4u) << "and one on the card";
    // A thumbnail alone, or before its picture.
    for (CdRelDataKind kind : {CdRelDataKind{0x0001}, CdRelDataKind{0x0003}}) {
        ASSERT_EQ(cd().CDSelectReleaseDataKind(source, kind), 0u);
        ASSERT_EQ(cd().CDRelease(source, 0, nullptr, 0, 1, &count), 0u);
        ASSERT_EQ(cd().CDGetReleasedData(source, nullptr, 0, 1, &info, &medium), 0u);
        EXPECT_EQ(CdUInt32{info.DataType}, 0x10u) << kind;
        EXPECT_EQ(cd().CDGetReleasedData(source, nullptr, 0, 1, &info, &medium), kind == 1 ? kInvalidCall : 0u);
    }
    EXPECT_EQ(CdUInt32{info.DataType}, 0x20u);

    // The camera's own shutter button asks the host to release.
    ASSERT_EQ(control().ReleaseShutter("g5"), 0u);
    control().WaitIdle(kSettleMs);
    {
        std::lock_guard lock(gDelivered.mutex);
        EXPECT_EQ(gDelivered.events.back().first, 0x100u | 30);
    }
    EXPECT_EQ(cd().CDExitReleaseControl(source), 0u);
}

TEST_F(CdStandIn, ViewfinderFramesAreJpegsAndStopWithTheViewfinder)
{
    const CdHSource source = open(0);
    ASSERT_EQ(cd().CDEnterReleaseControl(source, onEvent, 0), 0u);
    ASSERT_EQ(cd().CDStartViewfinder(source, 0, onFrame, 0), 0u);
    EXPECT_EQ(cd().CDActViewfinderAutoFunctions(source, 7), 0u);
    EXPECT_EQ(cd().CDSelectViewFinderCameraOutput(source, 3), 0u);
    ASSERT_EQ(control().FireEvent("g5", 0x20000000, 0), 0u);
    control().WaitIdle(kSettleMs);
    EXPECT_EQ(cd().CDTermViewfinder(source), 0u);
    control().WaitIdle(kSettleMs);
    std::size_t frames = 0;
    {
        std::lock_guard lock(gDelivered.mutex);
        ASSERT_FALSE(gDelivered.frames.empty());
        EXPECT_EQ(gDelivered.frames.front()[0], 0xFF);
        EXPECT_EQ(gDelivered.frames.front()[1], 0xD8);
        frames = gDelivered.frames.size();
    }
    EXPECT_NE(control().FireEvent("g5", 0x20000000, 0), 0u) << "no frame once stopped";
    CdUInt32 maximum = 0, optical = 0;
    ASSERT_EQ(cd().CDGetMaximumZoomPos(source, &maximum, &optical), 0u);
    EXPECT_GT(maximum, optical);
    EXPECT_EQ(cd().CDSetZoomPos(source, maximum + 1), 0x0C000060u);
    std::lock_guard lock(gDelivered.mutex);
    EXPECT_EQ(gDelivered.frames.size(), frames);
}

TEST_F(CdStandIn, FaultsBusyAndAnUnpluggedCable)
{
    const CdHSource source = open(0);
    CdHandle registration = 0;
    ASSERT_EQ(cd().CDRegisterEventCallbackFunction(source, onEvent, 0, &registration), 0u);
    ASSERT_EQ(control().FireEvent("g5", 0x00000001, 0x20000006), 0u);
    ASSERT_EQ(control().SetBusy("g5", 1), 0u);
    CdUInt32 size = 4;
    CdUInt32 battery = 0;
    EXPECT_EQ(cd().CDGetDevicePropertyData(source, 0x0000000F, &size, &battery, 0), kBusy);
    EXPECT_EQ(cd().CDGetDevicePropertyData(source, 0x0000000F, &size, &battery, 0), 0u);
    ASSERT_EQ(control().InjectFault("CDGetReleaseControlFaculty", 0x0C000061, 1), 0u);
    CdReleaseControlFaculty faculty = 0;
    EXPECT_EQ(cd().CDGetReleaseControlFaculty(source, &faculty), 0x0C000061u);

    // The cable goes 1000 bytes into a picture: those are in the file, and the camera is gone.
    const CdHImageItem item = pictures(firstVolume(source)).at(0);
    CdHImageData data = 0;
    ASSERT_EQ(cd().CDOpenImage(item), 0u);
    ASSERT_EQ(cd().CDGetPicture(item, &data), 0u);
    ASSERT_EQ(control().Unplug("g5", 1000), 0u);
    const std::string path = file("cut.jpg");
    CdStgMedium medium{0, {path.c_str()}};
    EXPECT_EQ(cd().CDGetImageData(data, &medium, nullptr, 0, 1), kDisconnected);
    EXPECT_EQ(bytesOf(path).size(), 1000u);
    EXPECT_EQ(cd().CDCloseImage(item), 0u);
    control().WaitIdle(kSettleMs);
    std::lock_guard lock(gDelivered.mutex);
    const std::vector<std::pair<CdUInt32, CdUInt32>> expected = {{0x0001, 0x20000006}, {0x000D, 0}};
    EXPECT_EQ(gDelivered.events, expected);
}

} // namespace
