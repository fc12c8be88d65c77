#include "sdk/EDSDK.h"

#include "sdk/Loader.h"

#include <iterator>

namespace tbx::sdk {

namespace {

/// The entry-point variables: written only by the binding while EDSDK.DLL is not loaded.
EdsEntryPoints gEntryPoints;

template <auto Member>
constexpr auto bindTo = &bindEntryPoint<gEntryPoints, Member>;

constexpr CompanionFile kCompanions[] = {
    {"EDSDK.DLL", {13, 10, 20, 0}},
    {"EdsImage.dll", {13, 10, 0, 0}},
};

// Binding order; the position (from 1) is the number quoted when an export is missing.
constexpr EntryPoint kEntryPoints[] = {
    {"EdsInitializeSDK", bindTo<&EdsEntryPoints::EdsInitializeSDK>},
    {"EdsTerminateSDK", bindTo<&EdsEntryPoints::EdsTerminateSDK>},
    {"EdsRetain", bindTo<&EdsEntryPoints::EdsRetain>},
    {"EdsRelease", bindTo<&EdsEntryPoints::EdsRelease>},
    {"EdsGetChildCount", bindTo<&EdsEntryPoints::EdsGetChildCount>},
    {"EdsGetChildAtIndex", bindTo<&EdsEntryPoints::EdsGetChildAtIndex>},
    {"EdsGetParent", bindTo<&EdsEntryPoints::EdsGetParent>},
    {"EdsGetPropertySize", bindTo<&EdsEntryPoints::EdsGetPropertySize>},
    {"EdsGetPropertyData", bindTo<&EdsEntryPoints::EdsGetPropertyData>},
    {"EdsSetPropertyData", bindTo<&EdsEntryPoints::EdsSetPropertyData>},
    {"EdsGetPropertyDesc", bindTo<&EdsEntryPoints::EdsGetPropertyDesc>},
    {"EdsGetCameraList", bindTo<&EdsEntryPoints::EdsGetCameraList>},
    {"EdsGetDeviceInfo", bindTo<&EdsEntryPoints::EdsGetDeviceInfo>},
    {"EdsOpenSession", bindTo<&EdsEntryPoints::EdsOpenSession>},
    {"EdsCloseSession", bindTo<&EdsEntryPoints::EdsCloseSession>},
    {"EdsSendCommand", bindTo<&EdsEntryPoints::EdsSendCommand>},
    {"EdsSendStatusCommand", bindTo<&EdsEntryPoints::EdsSendStatusCommand>},
    {"EdsSetCapacity", bindTo<&EdsEntryPoints::EdsSetCapacity>},
    {"EdsGetVolumeInfo", bindTo<&EdsEntryPoints::EdsGetVolumeInfo>},
    {"EdsFormatVolume", bindTo<&EdsEntryPoints::EdsFormatVolume>},
    {"EdsGetDirectoryItemInfo", bindTo<&EdsEntryPoints::EdsGetDirectoryItemInfo>},
    {"EdsDeleteDirectoryItem", bindTo<&EdsEntryPoints::EdsDeleteDirectoryItem>},
    {"EdsDownload", bindTo<&EdsEntryPoints::EdsDownload>},
    {"EdsDownloadCancel", bindTo<&EdsEntryPoints::EdsDownloadCancel>},
    {"EdsDownloadComplete", bindTo<&EdsEntryPoints::EdsDownloadComplete>},
    {"EdsDownloadThumbnail", bindTo<&EdsEntryPoints::EdsDownloadThumbnail>},
    {"EdsGetAttribute", bindTo<&EdsEntryPoints::EdsGetAttribute>},
    {"EdsSetAttribute", bindTo<&EdsEntryPoints::EdsSetAttribute>},
    {"EdsCreateFileStream", bindTo<&EdsEntryPoints::EdsCreateFileStream>},
    {"EdsCreateMemoryStream", bindTo<&EdsEntryPoints::EdsCreateMemoryStream>},
    {"EdsCreateFileStreamEx", bindTo<&EdsEntryPoints::EdsCreateFileStreamEx>},
    {"EdsCreateMemoryStreamFromPointer", bindTo<&EdsEntryPoints::EdsCreateMemoryStreamFromPointer>},
    {"EdsGetPointer", bindTo<&EdsEntryPoints::EdsGetPointer>},
    {"EdsRead", bindTo<&EdsEntryPoints::EdsRead>},
    {"EdsWrite", bindTo<&EdsEntryPoints::EdsWrite>},
    {"EdsSeek", bindTo<&EdsEntryPoints::EdsSeek>},
    {"EdsGetPosition", bindTo<&EdsEntryPoints::EdsGetPosition>},
    {"EdsGetLength", bindTo<&EdsEntryPoints::EdsGetLength>},
    {"EdsCopyData", bindTo<&EdsEntryPoints::EdsCopyData>},
    {"EdsSetProgressCallback", bindTo<&EdsEntryPoints::EdsSetProgressCallback>},
    {"EdsCreateImageRef", bindTo<&EdsEntryPoints::EdsCreateImageRef>},
    {"EdsGetImageInfo", bindTo<&EdsEntryPoints::EdsGetImageInfo>},
    {"EdsGetImage", bindTo<&EdsEntryPoints::EdsGetImage>},
    {"EdsCreateEvfImageRef", bindTo<&EdsEntryPoints::EdsCreateEvfImageRef>},
    {"EdsDownloadEvfImage", bindTo<&EdsEntryPoints::EdsDownloadEvfImage>},
    {"EdsSetCameraAddedHandler", bindTo<&EdsEntryPoints::EdsSetCameraAddedHandler>},
    {"EdsSetPropertyEventHandler", bindTo<&EdsEntryPoints::EdsSetPropertyEventHandler>},
    {"EdsSetObjectEventHandler", bindTo<&EdsEntryPoints::EdsSetObjectEventHandler>},
    {"EdsSetCameraStateEventHandler", bindTo<&EdsEntryPoints::EdsSetCameraStateEventHandler>},
    {kEdsCreateStreamExport, bindTo<&EdsEntryPoints::EdsCreateStream>},
    {"EdsGetEvent", bindTo<&EdsEntryPoints::EdsGetEvent>},
};
static_assert(std::size(kEntryPoints) == kEdsEntryPointCount);
static_assert(sizeof(EdsEntryPoints) == kEdsEntryPointCount * sizeof(void (*)()),
              "every entry-point variable has a row in the binding list");

Binding &binding()
{
    static Binding instance(BindingDescription{
        "EDSDK", "EDSDK.DLL", /*loadErrorNamesFolder=*/true, kCompanions, kEntryPoints});
    return instance;
}

// Created during static initialisation, before any load can join the unload chain, so that the
// chain (created by the first load) is destroyed, and frees the library, before the binding.
[[maybe_unused]] const bool gBindingCreated = (binding(), true);

} // namespace

void LoadEDSDK(const std::string &folder)
{
    binding().load(folder);
}

bool IsEDSDKLoaded()
{
    return binding().isLoaded();
}

const EdsEntryPoints &Eds()
{
    binding().requireLoaded();
    return gEntryPoints;
}

const char *EdsExportName(int index)
{
    if (index < 0 || index >= kEdsEntryPointCount)
        return nullptr;
    return kEntryPoints[index].exportName;
}

} // namespace tbx::sdk
