// The legacy driver's session: SDK start and end, enumeration, connect and disconnect, and the
// housekeeping operations on the connected camera.
#include "drivers/cdsdk/CdTables.h"
#include "drivers/cdsdk/TCDSDK.h"

#include "platform/Errors.h"

#include <cstring>
#include <limits>

namespace tbx::cdsdk {

using sdk::CdError;
using sdk::RaiseOnCDError;

namespace {

/// What the driver offers for an owner name: room for more than the camera keeps.
constexpr std::uint32_t kOwnerBuffer = 64;
constexpr const char *kNoConnectedCameras =
    "There seems to be no connected PowerShot cameras connected. Have you called the EnumerateCameras "
    "function before calling Connect?";
constexpr const char *kIndexPrefix = "Not valid value in parameter ConnectToCamera when calling Connect. ";
constexpr const char *kTimeFailure = "It is not possible to set time in the current connected camera";
constexpr const char *kOwnerFailure = "It is not possible to set owner name in the current connected camera";

} // namespace

const CdLibrary &CdsdkLibrary()
{
    static const CdLibrary library{&sdk::LoadCDSDK, &sdk::IsCDSDKLoaded, &sdk::Cd};
    return library;
}

// ---------------------------------------------------------------------------------------------
// Enumeration handles
// ---------------------------------------------------------------------------------------------

void CdEnum::releaseChecked(const char *label)
{
    open_ = false;
    RaiseOnCDError(label, release_(handle_));
}

void CdEnum::reset() noexcept
{
    if (open_) {
        open_ = false;
        release_(handle_);
    }
}

// ---------------------------------------------------------------------------------------------
// SDK start and end, enumeration
// ---------------------------------------------------------------------------------------------

TCDSDK::~TCDSDK()
{
    if (!library_.isLoaded())
        return;
    dropCollection();
    if (sourceOpen_) {
        if (registered_)
            cd().CDUnregisterEventCallbackFunction(source_, registration_);
        cd().CDCloseSource(source_);
    }
}

sdk::CdHSource TCDSDK::requireSource() const
{
    if (!sourceOpen_)
        throw ECamException("No camera is connected");
    return source_;
}

void TCDSDK::StartSDK(const std::string &libraryFolder)
{
    libraryFolder_ = libraryFolder;
    library_.load(libraryFolder_);
    sdk::CdVersionInfo version{};
    version.Size = 40;
    version.MajorVersion = 7;
    version.MinorVersion = 3;
    RaiseOnCDError("CDStartSDK", cd().CDStartSDK(&version, 0));
}

void TCDSDK::EndSDK()
{
    records().clear();
    if (library_.isLoaded())
        cd().CDFinishSDK();
}

void TCDSDK::EnumerateCameras(StringList &names)
{
    // This family lists first; the PTP family appends after it.
    names.clear();
    library_.load(libraryFolder_);
    CdEnum cameras(cd().CDEnumDeviceRelease);
    RaiseOnCDError("CDEnumDeviceReset", cd().CDEnumDeviceReset(1, cameras.receive()));
    cameras.started();
    sdk::CdUInt32 count = 0;
    RaiseOnCDError("CDGetDeviceCount", cd().CDGetDeviceCount(cameras.get(), &count));

    CameraRecordList &list = records();
    while (!list.empty())
        list.pop_back();
    for (sdk::CdUInt32 i = 0; i < count; ++i) {
        // Read aside: the connected camera's record is never overwritten by a listing.
        sdk::CdSourceInfo source{};
        RaiseOnCDError("CDEnumDeviceNext", cd().CDEnumDeviceNext(cameras.get(), &source));
        names.push_back(sdk::CdListName(source));
        list.push_back(std::make_unique<CdCameraRecord>(source));
    }
    cameras.releaseChecked("CDEnumDeviceRelease");
}

// ---------------------------------------------------------------------------------------------
// Connect and disconnect
// ---------------------------------------------------------------------------------------------

void TCDSDK::Connect(const ConnectCallbacks &callbacks, int cameraIndex, ConnectInfoType &info, int registryIndex)
{
    library_.load(libraryFolder_);
    const CameraRecordList &list = records();
    if (cameraIndex < 0)
        throw ECamException(std::string(kIndexPrefix) +
                            "Value must be at least zero. Currently ConnectToCamera = " + std::to_string(cameraIndex));
    if (list.empty())
        throw ECamException(kNoConnectedCameras);
    if (static_cast<std::size_t>(cameraIndex) > list.size() - 1)
        throw ECamException(
            std::string(kIndexPrefix) + "There are only " + std::to_string(list.size()) +
            " PowerShot cameras connected. Currently is parameter ConnectToCamera = " + std::to_string(cameraIndex));
    const auto *record = dynamic_cast<const CdCameraRecord *>(list[static_cast<std::size_t>(cameraIndex)].get());
    if (record == nullptr)
        throw EAssertionFailed("The legacy camera list holds a record of another family");

    connection_ = ConnectInfoType{};
    device_ = record->Source;
    RaiseOnCDError("CDOpenSource", cd().CDOpenSource(&device_, &source_));
    sourceOpen_ = true;
    try {
        connection_.CameraModel = CamModPowerShot;
        connection_.CameraModelName = sdk::CdModelName(device_);

        char owner[kOwnerBuffer] = {};
        const std::uint32_t ownerSize = readDeviceProperty(kPropOwnerName, owner, kOwnerBuffer);
        connection_.OwnerName = sdk::CdFieldText({owner, ownerSize}, kOwnerNameMax);

        std::uint32_t battery = 0;
        readDeviceProperty(kPropBattery, &battery, sizeof battery);
        const Battery state = batteryOf(battery);
        connection_.BatterySource = state.source;
        connection_.BatteryStatus = state.status;

        RaiseOnCDError("CDRegisterEventCallbackFunction",
                       cd().CDRegisterEventCallbackFunction(
                           source_, callbacks.legacyEvent, static_cast<sdk::CdContext>(registryIndex), &registration_));
        registered_ = true;
    } catch (...) {
        // A camera that could not be read is not left open behind the host's back.
        cd().CDCloseSource(source_);
        sourceOpen_ = false;
        connection_ = ConnectInfoType{};
        throw;
    }
    info = connection_;
}

int TCDSDK::Disconnect()
{
    dropCollection();
    if (registered_)
        cd().CDUnregisterEventCallbackFunction(source_, registration_);
    registered_ = false;
    connection_.CameraModel = CamModNone;
    const CdError result = cd().CDCloseSource(source_);
    sourceOpen_ = false;
    return static_cast<int>(result);
}

// ---------------------------------------------------------------------------------------------
// Device properties
// ---------------------------------------------------------------------------------------------

template <class Use>
void TCDSDK::withDeviceProperty(std::uint32_t id, const char *ownFailure, Use &&use)
{
    const sdk::CdHSource source = requireSource();
    CdEnum properties(cd().CDEnumDevicePropertyRelease);
    RaiseOnCDError("CDEnumDevicePropertyReset", cd().CDEnumDevicePropertyReset(source, 0, properties.receive()));
    properties.started();
    try {
        sdk::CdDevicePropertyStruct property{};
        property.DevPropID = 0x0FFFFFFF;
        while (property.DevPropID != id)
            RaiseOnCDError("CDEnumDevicePropertyNext", cd().CDEnumDevicePropertyNext(properties.get(), &property));
        use(source);
    } catch (const ECamException &) {
        if (ownFailure == nullptr)
            throw;
        throw ECamException(ownFailure);
    }
}

std::uint32_t TCDSDK::readDeviceProperty(std::uint32_t id, void *buffer, std::uint32_t size)
{
    sdk::CdUInt32 got = size;
    withDeviceProperty(id, nullptr, [&](sdk::CdHSource source) {
        RaiseOnCDError("CDGetDevicePropertyData", cd().CDGetDevicePropertyData(source, id, &got, buffer, 0));
    });
    // A library that claims more than it was offered wrote no more than that.
    return got < size ? got : size;
}

void TCDSDK::SetTime(std::time_t time)
{
    requireSource();
    // Compared in 64 bits: a 32-bit time_t cannot hold the camera's largest value.
    const auto wide = static_cast<long long>(time);
    if (wide < 0 || wide > static_cast<long long>(std::numeric_limits<std::uint32_t>::max()))
        throw ECamException(kTimeFailure);
    // The host's local time is already counted from 1970 UTC, with the bias in force at that
    // time (daylight saving included).
    std::uint32_t seconds = static_cast<std::uint32_t>(time);
    withDeviceProperty(kPropCameraTime, kTimeFailure, [&](sdk::CdHSource source) {
        sdk::CdUInt32 size = sizeof seconds;
        RaiseOnCDError("CDSetDevicePropertyData",
                       cd().CDSetDevicePropertyData(source, kPropCameraTime, &size, &seconds));
    });
}

void TCDSDK::SetOwnerName(const std::string &name)
{
    if (name.size() >= kOwnerNameMax)
        throw ECamException("The owner name to set is too long");
    std::vector<char> text(name.begin(), name.end());
    text.push_back('\0');
    withDeviceProperty(kPropOwnerName, kOwnerFailure, [&](sdk::CdHSource source) {
        sdk::CdUInt32 size = static_cast<sdk::CdUInt32>(text.size());
        RaiseOnCDError("CDSetDevicePropertyData",
                       cd().CDSetDevicePropertyData(source, kPropOwnerName, &size, text.data()));
    });
}

void TCDSDK::KeepAlive()
{
    char owner[kOwnerBuffer] = {};
    readDeviceProperty(kPropOwnerName, owner, kOwnerBuffer);
}

bool TCDSDK::RemoteSupported()
{
    sdk::CdReleaseControlFaculty faculty = 0;
    if (cd().CDGetReleaseControlFaculty(requireSource(), &faculty) != 0)
        return true;
    return (faculty & kFacultyRemoteRelease) != 0;
}

// ---------------------------------------------------------------------------------------------
// Card
// ---------------------------------------------------------------------------------------------

sdk::CdHVolume TCDSDK::firstVolume()
{
    CdEnum volumes(cd().CDEnumVolumeRelease);
    RaiseOnCDError("CDEnumVolumeReset", cd().CDEnumVolumeReset(requireSource(), volumes.receive()));
    volumes.started();
    sdk::CdHVolume volume = 0;
    RaiseOnCDError("CDEnumVolumeNext", cd().CDEnumVolumeNext(volumes.get(), &volume));
    sdk::CdVolumeInfo information{};
    RaiseOnCDError("CDGetVolumeInfo", cd().CDGetVolumeInfo(volume, &information));
    if (sdk::CdVolumeWithoutSpace(information))
        throw ECamException("OpenCameraCollection volume error");
    volume_ = volume;
    return volume;
}

void TCDSDK::FormatCard() { RaiseOnCDError("CDFormat", cd().CDFormat(firstVolume())); }

} // namespace tbx::cdsdk
