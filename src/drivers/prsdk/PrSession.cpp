// TPRSDK: SDK start and end, enumeration, connect and disconnect, housekeeping.
#include "drivers/prsdk/TPRSDK.h"

#include "drivers/common/Text.h"
#include "platform/Errors.h"
#include "platform/Platform.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace tbx::prsdk {

namespace {

/// Room for the count and 100 device records.
constexpr auto kDeviceListBytes = static_cast<std::uint32_t>(sdk::kPtpDeviceListBufferSize);
static_assert(kDeviceListBytes == 110604);
constexpr std::uint32_t kDatasetBytes = 1048576;
constexpr std::uint32_t kOwnerValueBytes = 260;
constexpr std::size_t kMaxOwnerName = 31;

constexpr const char *kMsgTime = "It is not possible to set time in the current connected camera";
constexpr const char *kMsgOwner = "It is not possible to set owner name in the current connected camera";

/// Whole seconds from 1970-01-01 of the local date and time of \p time, as if it were UTC (the
/// camera keeps local time).
std::int64_t localSecondsSince1970(std::time_t time)
{
    const std::tm local = platform::localTime(time);
    // Days from the civil date (proleptic Gregorian calendar).
    const std::int64_t month = local.tm_mon + 1;
    const std::int64_t year = local.tm_year + 1900 - (month <= 2 ? 1 : 0);
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + local.tm_mday - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t days = era * 146097 + dayOfEra - 719468;
    return days * 86400 + local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

} // namespace

TPRSDK::TPRSDK(const PrSdk &sdk) : sdk_(sdk) {}

TPRSDK::~TPRSDK()
{
    try {
        if (started_ && objectCreated_)
            releaseCamera();
    } catch (...) {
    }
}

void TPRSDK::StartSDK(const std::string &libraryFolder)
{
    folder_ = libraryFolder;
    sdk_.load(libraryFolder);
    check("PR_StartSDK", pr().PR_StartSDK());
    started_ = true;
}

void TPRSDK::EndSDK()
{
    if (!started_)
        return;
    // A camera still held would call into an SDK that is gone.
    if (objectCreated_)
        releaseCamera();
    started_ = false;
    pr().PR_FinishSDK();
}

void TPRSDK::EnumerateCameras(StringList &names)
{
    CameraRecordList *legacy = legacyRecords();
    std::size_t legacyCount = legacy != nullptr ? std::min(legacy->size(), names.size()) : 0;

    std::vector<std::uint8_t> reply(kDeviceListBytes);
    std::uint32_t size = kDeviceListBytes;
    check("PR_GetDeviceList", pr().PR_GetDeviceList(&size, reinterpret_cast<sdk::PrDeviceList *>(reply.data())));
    const std::vector<sdk::PrDeviceInfoTable> devices = sdk::ReadPtpDeviceList(sdk::PtpReply(reply, size));

    CameraRecordList &list = records();
    list.clear();
    for (const sdk::PrDeviceInfoTable &device : devices) {
        auto record = std::make_unique<PrCameraRecord>();
        record->Device = device;
        const std::string name = sdk::PtpModelName(record->Device);
        names.push_back(name);
        list.push_back(std::move(record));
        // A camera both SDKs report stays a PTP camera only.
        for (std::size_t j = legacyCount; j-- > 0;) {
            if (names[j] != name)
                continue;
            names.erase(names.begin() + static_cast<std::ptrdiff_t>(j));
            legacy->erase(legacy->begin() + static_cast<std::ptrdiff_t>(j));
            --legacyCount;
        }
    }
}

void TPRSDK::Connect(const ConnectCallbacks &callbacks, int cameraIndex, ConnectInfoType &info, int registryIndex)
{
    const CameraRecordList *legacy = legacyRecords();
    const int legacyCount = legacy != nullptr ? static_cast<int>(legacy->size()) : 0;
    const int ptpCount = static_cast<int>(records().size());
    const int position = cameraIndex - legacyCount;
    if (position < 0)
        throw ECamException("Not valid value in parameter ConnectToCamera when calling Connect (PR). Value must be "
                            "at least zero. Currently ConnectToCamera = " +
                            std::to_string(cameraIndex) + " and" + std::to_string(legacyCount) +
                            " old Powershot cameras connected");
    if (ptpCount == 0)
        throw ECamException("There seems to be no connected PowerShot cameras (newer than S80) connected. Have you "
                            "called the EnumerateCameras function before calling Connect?");
    if (position > ptpCount - 1)
        throw ECamException(
            "Not valid value in parameter ConnectToCamera when calling Connect (PR). There are only " +
            std::to_string(ptpCount) + " new PowerShot cameras connected. Currently is parameter ConnectToCamera = " +
            std::to_string(cameraIndex) + " and" + std::to_string(legacyCount) + " old Powershot cameras connected");
    if (objectCreated_)
        releaseCamera(); // a camera left over by an earlier session

    cameraRegistryIndex_ = registryIndex;
    connection_ = ConnectInfoType{};
    caps_.reset();
    auto &record = static_cast<PrCameraRecord &>(*records()[static_cast<std::size_t>(position)]);
    check("PR_CreateCameraObject", pr().PR_CreateCameraObject(&record.Device, &handle_));
    objectCreated_ = true;
    try {
        check("PR_ConnectCamera", pr().PR_ConnectCamera(handle_));
        connected_ = true;
        connection_.CameraModel = 1;
        connection_.CameraModelName = sdk::PtpModelName(record.Device);

        char owner[kOwnerValueBytes] = {};
        std::uint32_t size = kOwnerValueBytes;
        check("PR_GetDevicePropValue", pr().PR_GetDevicePropValue(handle_, kPropOwnerName, &size, owner));
        connection_.OwnerName = drivers::boundedText(owner + 4, std::min<std::size_t>(256, sizeof owner - 4));

        std::uint16_t source = 0;
        size = sizeof source;
        check("PR_GetDevicePropValue", pr().PR_GetDevicePropValue(handle_, kPropBattery, &size, &source));
        connection_.BatterySource = source >= 1 && source <= 5 ? static_cast<std::uint8_t>(source) : 0;
        std::uint32_t status = 0;
        size = sizeof status;
        check("PR_GetDevicePropValue", pr().PR_GetDevicePropValue(handle_, kPropBatteryStatus, &size, &status));
        connection_.BatteryStatus = status >= 1 && status <= 3 ? static_cast<std::uint8_t>(status) : 0;

        check("PR_SetEventCallBack",
              pr().PR_SetEventCallBack(handle_, static_cast<std::uint32_t>(registryIndex), callbacks.ptpEvent));
        callbackSet_ = true;
        readCapabilities(false);
    } catch (...) {
        releaseCamera();
        throw;
    }
    info = connection_;
}

std::uint32_t TPRSDK::releaseCamera()
{
    if (!objectCreated_)
        return 0;
    if (callbackSet_)
        pr().PR_ClearEventCallBack(handle_);
    callbackSet_ = false;
    connection_.CameraModel = 0;
    if (connected_)
        pr().PR_DisconnectCamera(handle_);
    connected_ = false;
    objectCreated_ = false;
    return pr().PR_DestroyCameraObject(handle_);
}

int TPRSDK::Disconnect() { return static_cast<int>(releaseCamera()); }

void TPRSDK::readCapabilities(bool properties)
{
    caps_.reset();
    compressionListed_ = rawQualityListed_ = false;
    std::vector<std::uint8_t> dataset(kDatasetBytes);
    std::uint32_t size = kDatasetBytes;
    check("PR_GetDeviceInfo", pr().PR_GetDeviceInfo(handle_, &size, dataset.data()));
    const sdk::PtpDeviceInfo info = sdk::ReadPtpDeviceInfo(sdk::PtpReply(dataset, size));
    for (std::uint16_t operation : info.OperationsSupported) {
        if (operation == kOpZoom)
            caps_.set(CapZoom);
        else if (operation == kOpViewfinder)
            caps_.set(CapViewfinder);
        else if (operation == kOpAFLock)
            caps_.set(CapAFLock);
    }
    if (!properties)
        return;
    for (std::uint16_t code : info.DevicePropertiesSupported) {
        compressionListed_ = compressionListed_ || code == kPropCompQuality;
        rawQualityListed_ = rawQualityListed_ || code == kPropRawQuality;
        if (code == kPropZoomPos)
            caps_.set(CapZoomPos);
        else if (const PrProperty *property = findProperty(code))
            caps_.set(static_cast<std::size_t>(capabilityOf(*property)));
    }
}

bool TPRSDK::RemoteSupported() { return has(CapZoom); }

void TPRSDK::SetTime(std::time_t time)
{
    try {
        const std::int64_t seconds = localSecondsSince1970(time);
        // The camera's clock holds 32 bits; a date beyond them is refused, never wrapped.
        if (seconds < std::numeric_limits<std::int32_t>::min() || seconds > std::numeric_limits<std::int32_t>::max())
            throw ECamException(kMsgTime);
        auto value = static_cast<std::uint32_t>(static_cast<std::int32_t>(seconds));
        check("PR_SetDevicePropValue", pr().PR_SetDevicePropValue(handle_, kPropTime, 4, &value));
    } catch (...) {
        throw ECamException(kMsgTime);
    }
}

void TPRSDK::SetOwnerName(const std::string &name)
{
    if (name.size() > kMaxOwnerName)
        throw ECamException("The owner name to set is too long");
    try {
        std::uint8_t value[kOwnerValueBytes] = {};
        const auto count = static_cast<std::uint32_t>(name.size() + 1);
        std::memcpy(value, &count, sizeof count); // little-endian, as the camera reads it
        std::memcpy(value + 4, name.data(), name.size());
        check("PR_SetDevicePropValue", pr().PR_SetDevicePropValue(handle_, kPropOwnerName, kOwnerValueBytes, value));
    } catch (...) {
        throw ECamException(kMsgOwner);
    }
}

void TPRSDK::KeepAlive()
{
    std::uint8_t value[kOwnerValueBytes];
    std::uint32_t size = kOwnerValueBytes;
    check("PR_GetDevicePropValue", pr().PR_GetDevicePropValue(handle_, kPropOwnerName, &size, value));
}

void TPRSDK::FormatCard() { throw ECamException("FormatCameraCard is not supported for you camera."); }

void TPRSDK::OpenCameraCollection(const std::string & /*tempFolder*/, bool /*thumbnails*/, ImageListType & /*list*/)
{
    throw ECamException("OpenCameraCollection is not supported for you camera.");
}

void TPRSDK::CloseCameraCollection(ImageListType & /*list*/)
{
    throw ECamException("CloseCameraCollection is not supported for you camera.");
}

void TPRSDK::GetPicture(int /*position*/, const std::string & /*fileName*/, ProgressProc /*progress*/,
                        int /*registryIndex*/)
{
    throw ECamException("GetPicture is not supported for you camera.");
}

void TPRSDK::DeletePicture(ImageListType & /*list*/, int /*position*/)
{
    throw ECamException("DeletePicture is not supported for you camera.");
}

} // namespace tbx::prsdk
