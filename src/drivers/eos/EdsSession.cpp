// The EOS driver's session: SDK start and end, enumeration, connect and disconnect, and the
// housekeeping operations on the connected camera.
#include "drivers/eos/TEDSDK.h"

#include "drivers/common/Text.h"
#include "drivers/eos/EdsTables.h"

#include "platform/Errors.h"
#include "sdk/EdsErrors.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace tbx::eos {

using sdk::Eds;
using sdk::EdsError;

namespace {

constexpr std::size_t kFirmwareBuffer = 32;
constexpr std::size_t kBodyIDBuffer = 2001;

/// Battery level (lowest byte of property 8) to source and status.
struct BatteryRow {
    std::uint8_t level;
    std::uint8_t source;
    std::uint8_t status;
};
constexpr BatteryRow kBatteryLevels[] = {
    {0xFF, 1, 1}, // AC adapter
    {80, 2, 1},   // lithium, normal
    {49, 2, 2},   // lithium, weak
    {9, 2, 3},    // lithium, safety low
};

/// EOS cameras report the lowest byte of the battery level in steps.
void judgeEosBattery(std::uint32_t level, ConnectInfoType &info)
{
    const auto low = static_cast<std::uint8_t>(level & 0xFFu);
    for (const BatteryRow &row : kBatteryLevels) {
        if (row.level == low) {
            info.BatterySource = row.source;
            info.BatteryStatus = row.status;
            return;
        }
    }
}

/// True when \p text contains \p upper (upper case), compared without regard to case.
bool containsIgnoringCase(const std::string &text, std::string_view upper)
{
    const auto found = std::search(text.begin(), text.end(), upper.begin(), upper.end(), [](char a, char b) {
        return std::toupper(static_cast<unsigned char>(a)) == static_cast<unsigned char>(b);
    });
    return found != text.end();
}

} // namespace

const EdsFamily &EosFamily()
{
    static const EdsFamily family{
        CamModEOS,
        nullptr,
        256,
        254, // the camera keeps 255 bytes with the zero
        judgeEosBattery,
        19224,
        kExposureModes,
        kExposureCompensations,
        kWhiteBalances,
        kAFModes,
        kDriveModes,
        kMeteringModes,
        kColorSpaces,
        kISOSpeeds,
        kImageSizes,
        kCompressions,
        kPictureStyles,
        kEvfAFModes,
        /*probesLiveViewAFMode=*/true,
        /*whiteBalanceShift=*/true,
        /*pictureStyle=*/true,
        /*qualityInOneStep=*/false,
    };
    return family;
}

TEDSDK::TEDSDK(const sdk::EdsLibrary &library, const EdsFamily &family) : EdsCalls(library), family_(family) {}

TEDSDK::~TEDSDK()
{
    if (camera_ && sdk_.isLoaded()) {
        RemoveHandlers(camera_.get());
        if (sessionOpen_)
            eds().EdsCloseSession(camera_.get());
    }
    DropItems();
    camera_.reset();
}

sdk::EdsCameraRef TEDSDK::RequireCamera() const
{
    if (!camera_)
        throw ECamException("No camera is connected");
    return camera_.get();
}

void TEDSDK::RemoveHandlers(sdk::EdsCameraRef camera) const noexcept
{
    if (camera == nullptr || !sdk_.isLoaded())
        return;
    const sdk::EdsEntryPoints &eds = sdk_.entryPoints();
    eds.EdsSetObjectEventHandler(camera, sdk::kEdsObjectEvent_All, nullptr, nullptr);
    eds.EdsSetPropertyEventHandler(camera, sdk::kEdsPropertyEvent_All, nullptr, nullptr);
    eds.EdsSetCameraStateEventHandler(camera, sdk::kEdsStateEvent_All, nullptr, nullptr);
}

void TEDSDK::DropItems() noexcept
{
    // Move everything out under the lock and release outside it, so an SDK thread waiting for
    // the lock never waits for the SDK.
    EdsItemList dropped;
    sdk::EdsRef volume(sdk_);
    {
        std::lock_guard lock(itemsMutex_);
        acceptingItems_ = false;
        for (EdsItemList *list : {&transferItems_, &movieItems_, &cardItems_, &collectionItems_}) {
            for (sdk::EdsRef &item : *list)
                dropped.push_back(std::move(item));
            list->clear();
        }
        volume = std::move(collectionVolume_);
    }
    transferKind_ = 0;
}

// ---------------------------------------------------------------------------------------------
// SDK lifetime and enumeration
// ---------------------------------------------------------------------------------------------

void TEDSDK::StartSDK(const std::string &libraryFolder)
{
    libraryFolder_ = libraryFolder;
    sdk_.load(libraryFolder_);
    raiseOnError("EdsInitializeSDK", eds().EdsInitializeSDK());
}

void TEDSDK::EndSDK()
{
    if (!sdk_.isLoaded())
        return;
    // Nothing the driver holds may outlive the SDK's objects.
    RemoveHandlers(camera_.get());
    DropItems();
    camera_.reset();
    sessionOpen_ = false;
    records().clear();
    eds().EdsTerminateSDK();
}

void TEDSDK::EnumerateCameras(StringList &names)
{
    names.clear();
    // Dropping a record releases its camera reference; the connected camera is retained
    // separately and stays valid.
    records().clear();
    sdk_.load(libraryFolder_);
    const sdk::EdsEntryPoints &eds = sdk_.entryPoints();

    sdk::EdsRef list(sdk_);
    raiseOnError("EdsGetCameraList", eds.EdsGetCameraList(list.receive()));
    sdk::EdsUInt32 count = 0;
    raiseOnError("EdsGetChildCount", eds.EdsGetChildCount(list.get(), &count));
    const auto limit = static_cast<sdk::EdsUInt32>(std::numeric_limits<sdk::EdsInt32>::max());
    for (sdk::EdsUInt32 i = 0; i < count && i < limit; ++i) {
        sdk::EdsRef camera(sdk_);
        raiseOnError("EdsGetChildAtIndex",
                        eds.EdsGetChildAtIndex(list.get(), static_cast<sdk::EdsInt32>(i), camera.receive()));
        sdk::EdsDeviceInfo device{};
        raiseOnError("EdsGetDeviceInfo", eds.EdsGetDeviceInfo(camera.get(), &device));
        std::string name = drivers::boundedText(device.szDeviceDescription);
        // A camera of another family is let go at once (its reference is released here).
        if (family_.descriptionFilter != nullptr && !containsIgnoringCase(name, family_.descriptionFilter))
            continue;
        names.push_back(std::move(name));
        records().push_back(std::make_unique<EosCameraRecord>(std::move(camera)));
    }
}

// ---------------------------------------------------------------------------------------------
// Connect and disconnect
// ---------------------------------------------------------------------------------------------

void TEDSDK::Connect(const ConnectCallbacks &callbacks, int cameraIndex, ConnectInfoType &info, int registryIndex)
{
    sdk_.load(libraryFolder_);
    if (cameraIndex < 0)
        throw ECamException("Not valid value in parameter ConnectToCamera when calling Connect. Value must be at "
                            "least zero. Currently ConnectToCamera = " +
                            std::to_string(cameraIndex));
    CameraRecordList &cameras = records();
    if (cameras.empty())
        throw ECamException("There seems to be no connected EOS cameras connected. Have you called the "
                            "EnumerateCameras function before calling Connect?");
    if (static_cast<std::size_t>(cameraIndex) > cameras.size() - 1)
        throw ECamException("Not valid value in parameter ConnectToCamera when calling Connect. There are only " +
                            std::to_string(cameras.size()) +
                            " EOS cameras connected. Currently is parameter ConnectToCamera = " +
                            std::to_string(cameraIndex));

    // A camera still held from an earlier connection is let go first.
    if (camera_) {
        RemoveHandlers(camera_.get());
        DropItems();
        camera_.reset();
        sessionOpen_ = false;
    }
    connection_ = ConnectInfoType{};
    viewfinderSupport_ = false;

    const sdk::EdsEntryPoints &eds = sdk_.entryPoints();
    // Every record of this driver's list is one of ours.
    sdk::EdsCameraRef camera = static_cast<EosCameraRecord &>(*cameras[static_cast<std::size_t>(cameraIndex)]).Camera.get();
    // The driver keeps its own reference, so a new enumeration cannot free the connected camera.
    eds.EdsRetain(camera);
    sdk::EdsRef held(sdk_, camera);

    void *context = registryContext(registryIndex);
    bool sessionOpened = false;
    bool handlersSet = false;
    ConnectInfoType data;
    try {
        // The session first: a camera that another control holds refuses it, and that control's
        // handlers on the same camera must then stay as they are.
        raiseOnError("EdsOpenSession", eds.EdsOpenSession(camera));
        sessionOpened = true;
        {
            std::lock_guard lock(itemsMutex_);
            acceptingItems_ = true;
        }
        handlersSet = true;
        raiseOnError("EdsSetObjectEventHandler",
                        eds.EdsSetObjectEventHandler(camera, sdk::kEdsObjectEvent_All,
                                                     reinterpret_cast<sdk::EdsObjectEventHandler>(callbacks.objectEvent),
                                                     context));
        raiseOnError("EdsSetPropertyEventHandler",
                        eds.EdsSetPropertyEventHandler(
                            camera, sdk::kEdsPropertyEvent_All,
                            reinterpret_cast<sdk::EdsPropertyEventHandler>(callbacks.propertyEvent), context));
        raiseOnError("EdsSetCameraStateEventHandler",
                        eds.EdsSetCameraStateEventHandler(camera, sdk::kEdsStateEvent_All,
                                                          reinterpret_cast<sdk::EdsStateEventHandler>(callbacks.stateEvent),
                                                          context));
        data.CameraModel = family_.model;

        sdk::EdsDeviceInfo device{};
        raiseOnError("EdsGetDeviceInfo", eds.EdsGetDeviceInfo(camera, &device));
        data.CameraModelName = drivers::boundedText(device.szDeviceDescription);

        std::vector<char> owner(family_.ownerNameBuffer, '\0');
        raiseOnError("EdsGetPropertyData, kEdsPropID_OwnerName",
                     eds.EdsGetPropertyData(camera, sdk::kEdsPropID_OwnerName, 0,
                                            static_cast<sdk::EdsUInt32>(owner.size()), owner.data()));
        data.OwnerName = drivers::boundedText(owner.data(), owner.size());

        sdk::EdsUInt32 battery = 0;
        raiseOnError("EdsGetPropertyData, kEdsPropID_BatteryLevel",
                        eds.EdsGetPropertyData(camera, sdk::kEdsPropID_BatteryLevel, 0, sizeof battery, &battery));
        family_.judgeBattery(battery, data);
    } catch (...) {
        // Leave nothing behind that could call into the engine or keep the camera busy.
        if (handlersSet)
            RemoveHandlers(camera);
        if (sessionOpened)
            eds.EdsCloseSession(camera);
        DropItems();
        throw;
    }

    camera_ = std::move(held);
    sessionOpen_ = true;
    callbacks_ = callbacks;
    connection_ = data;
    info = connection_;
}

std::string TEDSDK::ReadFirmwareVersion()
{
    sdk::EdsCameraRef camera = RequireCamera();
    char buffer[kFirmwareBuffer] = {};
    raiseOnError("EdsGetPropertyData, kEdsPropID_FirmwareVersion",
                    eds().EdsGetPropertyData(camera, sdk::kEdsPropID_FirmwareVersion, 0, sizeof buffer, buffer));
    return drivers::boundedText(buffer);
}

int TEDSDK::Disconnect()
{
    // Nothing is connected: there is no session to close.
    if (!camera_)
        return 0;
    RemoveHandlers(camera_.get());
    const EdsError result = eds().EdsCloseSession(camera_.get());
    DropItems();
    camera_.reset();
    sessionOpen_ = false;
    viewfinderSupport_ = false;
    return static_cast<int>(result);
}

// ---------------------------------------------------------------------------------------------
// Housekeeping
// ---------------------------------------------------------------------------------------------

void TEDSDK::SetOwnerName(const std::string &name)
{
    if (name.size() > family_.maxOwnerName)
        throw ECamException("The owner name to set is too long");
    sdk::EdsCameraRef camera = RequireCamera();
    raiseOnError("EdsSetPropertyData, kEdsPropID_OwnerName",
                    eds().EdsSetPropertyData(camera, sdk::kEdsPropID_OwnerName, 0,
                                             static_cast<sdk::EdsUInt32>(name.size() + 1), name.c_str()));
}

std::string TEDSDK::GetBodyID()
{
    sdk::EdsCameraRef camera = RequireCamera();
    std::vector<char> buffer(kBodyIDBuffer, '\0');
    raiseOnError("EdsGetPropertyData, kEdsPropID_BodyIDEx",
                    eds().EdsGetPropertyData(camera, sdk::kEdsPropID_BodyIDEx, 0,
                                             static_cast<sdk::EdsUInt32>(buffer.size()), buffer.data()));
    return drivers::boundedText(buffer.data(), buffer.size());
}

void TEDSDK::FormatCard()
{
    sdk::EdsCameraRef camera = RequireCamera();
    const sdk::EdsEntryPoints &eds = sdk_.entryPoints();
    sdk::EdsUInt32 count = 0;
    raiseOnError("EdsGetChildCount", eds.EdsGetChildCount(camera, &count));
    if (count == 0)
        throw ECamException("FormatCameraCard : No volumes found");
    sdk::EdsRef volume(sdk_); // released on every path, also when formatting fails
    raiseOnError("EdsGetChildAtIndex", eds.EdsGetChildAtIndex(camera, 0, volume.receive()));
    raiseOnError("EdsFormatVolume", eds.EdsFormatVolume(volume.get()));
}

void TEDSDK::KeepAlive()
{
    sdk::EdsCameraRef camera = RequireCamera();
    raiseOnError("EdsSendCommand", eds().EdsSendCommand(camera, sdk::kEdsCameraCommand_ExtendShutDownTimer, 0));
}

} // namespace tbx::eos
