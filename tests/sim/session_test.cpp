// Enumeration, sessions, properties and reference counting, through the exports only.
#include <cstring>
#include <fstream>

#include "SdkFixture.h"

using namespace tbx::sim::eds;

TEST(SimExports, CompanionLibraryLoadsAndCarriesItsOwnExport) {
    EXPECT_NE(exportOf(TBX_SIM_EDSIMAGE_PATH, "TbxSim_EdsImageVersion"), nullptr);
    // The stream-from-callbacks function is found under its platform's export name only.
#if defined(_WIN32) && !defined(_WIN64)
    EXPECT_NE(exportOf(TBX_SIM_EDSDK_PATH, "_EdsCreateStream@8"), nullptr);
    EXPECT_EQ(exportOf(TBX_SIM_EDSDK_PATH, "EdsCreateStream"), nullptr);
#else
    EXPECT_NE(exportOf(TBX_SIM_EDSDK_PATH, "EdsCreateStream"), nullptr);
#endif
}

namespace {
// The four parts of the first VS_FIXEDFILEINFO in a file: the PE VERSIONINFO resource or our ELF
// version note both carry one, starting with its signature.
std::vector<int> fileVersionOf(const char *path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::vector<std::uint8_t> b(static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)));
    in.seekg(0);
    in.read(reinterpret_cast<char *>(b.data()), static_cast<std::streamsize>(b.size()));
    for (std::size_t i = 0; i + 16 <= b.size(); i += 4) {
        if (b[i] != 0xBD || b[i + 1] != 0x04 || b[i + 2] != 0xEF || b[i + 3] != 0xFE) continue;
        auto half = [&](std::size_t at) { return b[at] | b[at + 1] << 8; };
        return {half(i + 10), half(i + 8), half(i + 14), half(i + 12)};
    }
    return {};
}
}  // namespace

TEST(SimExports, LibrariesCarryTheFileVersionsTheLoaderChecks) {
    EXPECT_EQ(fileVersionOf(TBX_SIM_EDSDK_PATH), (std::vector<int>{13, 10, 20, 0}));
    EXPECT_EQ(fileVersionOf(TBX_SIM_EDSIMAGE_PATH), (std::vector<int>{13, 10, 0, 0}));
}

using SessionTest = SimTest;

TEST_F(SessionTest, DefaultCameraIsEnumeratedWithItsDeviceRecord) {
    EdsCameraListRef list = nullptr;
    ASSERT_EQ(s.EdsGetCameraList(&list), kOk);
    EdsUInt32 count = 0;
    ASSERT_EQ(s.EdsGetChildCount(list, &count), kOk);
    EXPECT_EQ(count, 1u);
    EdsCameraRef camera = nullptr;
    EXPECT_EQ(s.EdsGetChildAtIndex(list, 1, &camera), kInvalidIndex);
    EXPECT_EQ(camera, nullptr);
    ASSERT_EQ(s.EdsGetChildAtIndex(list, 0, &camera), kOk);
    EXPECT_EQ(s.EdsRelease(list), 0u);

    EdsDeviceInfo info;
    std::memset(&info, 0x55, sizeof info);
    ASSERT_EQ(s.EdsGetDeviceInfo(camera, &info), kOk);  // before the session, as hosts do
    EXPECT_STREQ(info.szDeviceDescription, "Canon EOS 90D");
    EXPECT_STREQ(info.szPortName, "USB:SIM-EOS-0001");
    EXPECT_EQ(info.deviceSubType, 1u);
    EXPECT_EQ(info.reserved, 0u);
    EXPECT_EQ(s.EdsRelease(camera), 0u);
}

TEST_F(SessionTest, CameraNeedsOneOpenSessionForPropertiesCommandsAndVolumes) {
    EdsCameraRef camera = firstCamera();
    EdsUInt32 value = 0;
    EXPECT_EQ(s.EdsGetPropertyData(camera, kPropBatteryLevel, 0, 4, &value), kSessionNotOpen);
    EXPECT_EQ(s.EdsSendCommand(camera, kCmdTakePicture, 0), kSessionNotOpen);
    EXPECT_EQ(s.EdsGetChildCount(camera, &value), kSessionNotOpen);
    ASSERT_EQ(s.EdsOpenSession(camera), kOk);
    EXPECT_EQ(s.EdsOpenSession(camera), kSessionAlreadyOpen);
    EXPECT_EQ(s.EdsGetChildCount(camera, &value), kOk);
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(s.EdsCloseSession(camera), kOk);
    EXPECT_EQ(s.EdsCloseSession(camera), kSessionNotOpen);
}

TEST_F(SessionTest, ConnectionDataReadsLikeTheDriverReadsIt) {
    EdsCameraRef camera = openCamera();
    char owner[256];
    std::memset(owner, 'x', sizeof owner);
    ASSERT_EQ(s.EdsGetPropertyData(camera, kPropOwnerName, 0, sizeof owner, owner), kOk);
    EXPECT_STREQ(owner, "Tetherbox demo");
    EXPECT_EQ(owner[255], 0);  // a larger buffer is zero-filled behind the text
    EXPECT_EQ(u32Property(camera, kPropBatteryLevel), 80u);
    char firmware[32];
    ASSERT_EQ(s.EdsGetPropertyData(camera, kPropFirmwareVersion, 0, sizeof firmware, firmware), kOk);
    EXPECT_STREQ(firmware, "1.1.1");
    char body[2001];
    ASSERT_EQ(s.EdsGetPropertyData(camera, kPropBodyIdEx, 0, sizeof body, body), kOk);
    EXPECT_STREQ(body, "083021000123");
    EdsTime now{};
    ASSERT_EQ(s.EdsGetPropertyData(camera, kPropDateTime, 0, sizeof now, &now), kOk);
    EXPECT_GE(now.year, 2024u);
    EXPECT_TRUE(now.month >= 1 && now.month <= 12);
}

TEST_F(SessionTest, WritesAreCheckedAgainstTypeSizeAccessAndAllowedValues) {
    EdsCameraRef camera = openCamera();
    EXPECT_EQ(setU32(camera, kPropIsoSpeed, 64), kOk);
    EXPECT_EQ(u32Property(camera, kPropIsoSpeed), 64u);
    EXPECT_EQ(setU32(camera, kPropIsoSpeed, 0x49), kInvalidDevicePropValue);
    EXPECT_EQ(u32Property(camera, kPropIsoSpeed), 64u);
    const std::uint16_t shortValue = 0x48;
    EXPECT_EQ(s.EdsSetPropertyData(camera, kPropIsoSpeed, 0, 2, &shortValue), kInvalidLength);
    EXPECT_EQ(setU32(camera, kPropBatteryLevel, 50), kNotSupported);
    EXPECT_EQ(setU32(camera, 0x7777, 1), kPropertiesUnavailable);
    EXPECT_EQ(s.EdsSetPropertyData(camera, kPropIsoSpeed, 0, 4, nullptr), kInvalidPointer);

    const std::int32_t shift[2] = {3, -9};
    EXPECT_EQ(s.EdsSetPropertyData(camera, kPropWhiteBalanceShift, 0, 8, shift), kOk);
    const std::int32_t tooFar[2] = {10, 0};
    EXPECT_EQ(s.EdsSetPropertyData(camera, kPropWhiteBalanceShift, 0, 8, tooFar), kInvalidDevicePropValue);
    std::int32_t back[2] = {};
    ASSERT_EQ(s.EdsGetPropertyData(camera, kPropWhiteBalanceShift, 0, 8, back), kOk);
    EXPECT_EQ(back[0], 3);
    EXPECT_EQ(back[1], -9);

    // Texts are cut to the camera's capacity and stay terminated.
    const std::string longName(40, 'n');
    EXPECT_EQ(s.EdsSetPropertyData(camera, kPropOwnerName, 0, static_cast<EdsUInt32>(longName.size() + 1), longName.c_str()),
              kOk);
    char owner[256] = {};
    ASSERT_EQ(s.EdsGetPropertyData(camera, kPropOwnerName, 0, sizeof owner, owner), kOk);
    EXPECT_EQ(std::strlen(owner), 31u);
}

TEST_F(SessionTest, SizesDescriptionsAndPartialReads) {
    EdsCameraRef camera = openCamera();
    EdsDataType type = 0;
    EdsUInt32 size = 0;
    ASSERT_EQ(s.EdsGetPropertySize(camera, kPropFocusInfo, 0, &type, &size), kOk);
    EXPECT_EQ(type, static_cast<EdsDataType>(kTypeFocusInfo));
    EXPECT_EQ(size, sizeof(EdsFocusInfo));
    ASSERT_EQ(s.EdsGetPropertySize(camera, kPropOwnerName, 0, &type, &size), kOk);
    EXPECT_EQ(size, std::strlen("Tetherbox demo") + 1);
    EXPECT_EQ(s.EdsGetPropertySize(camera, kPropOwnerName, 0, nullptr, &size), kInvalidPointer);

    EdsPropertyDesc desc{};
    ASSERT_EQ(s.EdsGetPropertyDesc(camera, kPropIsoSpeed, &desc), kOk);
    ASSERT_GT(desc.numElements, 0);
    ASSERT_LE(desc.numElements, 128);
    EXPECT_NE(std::find(desc.propDesc, desc.propDesc + desc.numElements, 0x48), desc.propDesc + desc.numElements);
    EXPECT_EQ(s.EdsGetPropertyDesc(camera, kPropOwnerName, &desc), kInvalidParameter);
    ASSERT_EQ(s.EdsGetPropertyDesc(camera, kPropEvfAfMode, &desc), kOk);
    EXPECT_EQ(desc.numElements, 3);

    // The live-view zoom is read as one byte by some hosts.
    std::uint8_t zoom = 0xEE;
    ASSERT_EQ(s.EdsGetPropertyData(camera, kPropEvfZoom, 0, 1, &zoom), kOk);
    EXPECT_EQ(zoom, 1u);

    // The picture-style description follows the style chosen by the parameter.
    EdsPictureStyleDesc mono{}, standard{};
    ASSERT_EQ(s.EdsGetPropertyData(camera, kPropPictureStyleDesc, 0x85, sizeof mono, &mono), kOk);
    ASSERT_EQ(s.EdsGetPropertyData(camera, kPropPictureStyleDesc, 0, sizeof standard, &standard), kOk);
    EXPECT_EQ(static_cast<EdsUInt32>(mono.saturation), 0x7FFFFFFFu);
    EXPECT_EQ(standard.filterEffect, 0xFFFFFFFFu);

    EdsFocusInfo info{};
    ASSERT_EQ(s.EdsGetPropertyData(camera, kPropFocusInfo, 0, sizeof info, &info), kOk);
    ASSERT_GT(info.pointNumber, 0u);
    ASSERT_LE(info.pointNumber, static_cast<EdsUInt32>(kTbxEdsFocusPoints));
    EXPECT_EQ(info.imageRect.size.width, 6000);
}

TEST_F(SessionTest, LimitedPropertiesOpenOnlyWithTheirKey) {
    EdsCameraRef camera = firstCamera();
    const EdsUInt32 utc = kPropUtcTime;
    EXPECT_EQ(s.EdsSetPropertyData(camera, kPropUnlockLimited, 0x12345678, 4, &utc), kInvalidParameter);
    ASSERT_EQ(s.EdsSetPropertyData(camera, kPropUnlockLimited, static_cast<EdsInt32>(0x51DD2696), 4, &utc), kOk);
    ASSERT_EQ(s.EdsOpenSession(camera), kOk);
    EdsTime t{};
    EXPECT_EQ(s.EdsGetPropertyData(camera, kPropUtcTime, 0, sizeof t, &t), kOk);
    EdsUInt32 zone = 0;
    EXPECT_EQ(s.EdsGetPropertyData(camera, kPropTimeZone, 0, 4, &zone), kPropertiesUnavailable);
    // A camera without the power-zoom adapter has no zoom speed.
    EXPECT_EQ(s.EdsGetPropertyData(camera, kPropPowerZoomSpeed, 0, 4, &zone), kPropertiesUnavailable);
}

TEST_F(SessionTest, ReferencesAreCountedAndStaleOnesRefused) {
    EdsCameraRef camera = firstCamera();
    EXPECT_EQ(s.EdsRetain(camera), 2u);
    EXPECT_EQ(s.EdsRelease(camera), 1u);
    EdsStreamRef stream = nullptr;
    ASSERT_EQ(s.EdsCreateMemoryStream(0, &stream), kOk);
    EdsEvfImageRef evf = nullptr;
    ASSERT_EQ(s.EdsCreateEvfImageRef(stream, &evf), kOk);
    EXPECT_EQ(s.EdsRelease(stream), 1u);  // the live-view image still holds it
    EXPECT_EQ(s.EdsRelease(evf), 0u);     // and lets go of it
    EXPECT_EQ(s.EdsRelease(stream), 0xFFFFFFFFu);
    EdsUInt64 length = 0;
    EXPECT_EQ(s.EdsGetLength(stream, &length), kInvalidHandle);
    EXPECT_EQ(s.EdsGetLength(nullptr, &length), kInvalidHandle);
    int notAnObject = 0;
    EXPECT_EQ(s.EdsRetain(reinterpret_cast<EdsBaseRef>(&notAnObject)), 0xFFFFFFFFu);
    EXPECT_EQ(s.EdsGetCameraList(nullptr), kInvalidPointer);
    EXPECT_EQ(s.EdsGetDeviceInfo(camera, nullptr), kInvalidPointer);
    EXPECT_EQ(s.EdsGetDeviceInfo(stream, nullptr), kInvalidHandle);
}

TEST_F(SessionTest, TerminateFreesWhatTheHostForgot) {
    EdsCameraListRef list = nullptr;
    ASSERT_EQ(s.EdsGetCameraList(&list), kOk);
    EdsStreamRef stream = nullptr;
    ASSERT_EQ(s.EdsCreateMemoryStream(0, &stream), kOk);
    EXPECT_EQ(control().GetObjectCount(), 2u);
    ASSERT_EQ(s.EdsTerminateSDK(), kOk);
    EXPECT_EQ(control().GetObjectCount(), 0u);
    EXPECT_EQ(s.EdsGetCameraList(&list), kInternalError);  // not initialized
    EXPECT_EQ(s.EdsTerminateSDK(), kOk);                   // ending twice is harmless
    ASSERT_EQ(s.EdsInitializeSDK(), kOk);
}
