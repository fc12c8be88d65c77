// The stand-in's volumes, directory items, downloads and attributes.
#include "EdsCall.h"

using namespace tbx::sim;
using namespace tbx::sim::eds;

// -------------------------------------------------------------------------------------------------
// Volumes and items
// -------------------------------------------------------------------------------------------------

EDSAPI EdsGetVolumeInfo(EdsVolumeRef inVolumeRef, EdsVolumeInfo *outVolumeInfo)
{
    Call call("EdsGetVolumeInfo");
    call.ref(inVolumeRef).ptr(outVolumeInfo);
    return call.run([&]() -> EdsError {
        auto *vol = library().as<VolumeObject>(inVolumeRef, Kind::Volume);
        if (vol == nullptr)
            return kInvalidHandle;
        if (outVolumeInfo == nullptr)
            return kInvalidPointer;
        if (EdsError e = readyCamera(vol->camera, false))
            return e;
        std::memset(outVolumeInfo, 0, sizeof *outVolumeInfo);
        outVolumeInfo->storageType = vol->volume->storageType;
        outVolumeInfo->access = vol->volume->writeProtected ? 0 : 2;
        outVolumeInfo->maxCapacity = vol->volume->capacity;
        outVolumeInfo->freeSpaceInBytes = vol->volume->freeBytes();
        copyName(outVolumeInfo->szVolumeLabel, vol->volume->label);
        return kOk;
    });
}

EDSAPI EdsFormatVolume(EdsVolumeRef inVolumeRef)
{
    Call call("EdsFormatVolume");
    call.ref(inVolumeRef);
    return call.run([&]() -> EdsError {
        auto *vol = library().as<VolumeObject>(inVolumeRef, Kind::Volume);
        if (vol == nullptr)
            return kInvalidHandle;
        if (EdsError e = readyCamera(vol->camera, true))
            return e;
        if (vol->volume->writeProtected)
            return kNotSupported;
        for (auto &item : vol->volume->items)
            item->removed = true;
        vol->volume->items.clear();
        library().postObject(vol->camera, kObjectEventVolumeUpdateItems, vol->volume, nullptr);
        return kOk;
    });
}

EDSAPI EdsGetDirectoryItemInfo(EdsDirectoryItemRef inDirItemRef, EdsDirectoryItemInfo *outDirItemInfo)
{
    Call call("EdsGetDirectoryItemInfo");
    call.ref(inDirItemRef).ptr(outDirItemInfo);
    return call.run([&]() -> EdsError {
        auto *item = library().as<ItemObject>(inDirItemRef, Kind::Item);
        if (item == nullptr)
            return kInvalidHandle;
        if (outDirItemInfo == nullptr)
            return kInvalidPointer;
        if (!item->camera->attached)
            return kCommDisconnected;
        std::memset(outDirItemInfo, 0, sizeof *outDirItemInfo);
        Item &i = *item->item;
        outDirItemInfo->size = i.size();
        outDirItemInfo->isFolder = i.isFolder() ? 1 : 0;
        outDirItemInfo->groupID = i.groupId;
        copyName(outDirItemInfo->szFileName, i.name);
        outDirItemInfo->format = i.format;
        outDirItemInfo->dateTime = static_cast<EdsUInt32>(i.time);
        return kOk;
    });
}

EDSAPI EdsDeleteDirectoryItem(EdsDirectoryItemRef inDirItemRef)
{
    Call call("EdsDeleteDirectoryItem");
    call.ref(inDirItemRef);
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        auto *item = lib.as<ItemObject>(inDirItemRef, Kind::Item);
        if (item == nullptr)
            return kInvalidHandle;
        if (EdsError e = readyCamera(item->camera, true))
            return e;
        if (item->volume && item->volume->writeProtected)
            return kNotSupported;
        if (item->item->attributes & 1)
            return kNotSupported;
        auto &pending = lib.state(item->camera).pending;
        pending.erase(std::remove(pending.begin(), pending.end(), item->item), pending.end());
        if (auto parent = item->item->parent.lock()) {
            auto &siblings = parent->children;
            siblings.erase(std::remove(siblings.begin(), siblings.end(), item->item), siblings.end());
        } else if (item->volume) {
            auto &top = item->volume->items;
            top.erase(std::remove(top.begin(), top.end(), item->item), top.end());
        }
        item->item->removed = true;
        lib.objects().release(item); // deleting gives up the caller's reference
        return kOk;
    });
}

// -------------------------------------------------------------------------------------------------
// Transfer
// -------------------------------------------------------------------------------------------------

EDSAPI EdsDownload(EdsDirectoryItemRef inDirItemRef, EdsUInt64 inReadSize, EdsStreamRef outStream)
{
    Call call("EdsDownload");
    call.ref(inDirItemRef).args().udec(inReadSize);
    call.ref(outStream);
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        auto *item = lib.as<ItemObject>(inDirItemRef, Kind::Item);
        auto *stream = lib.as<StreamObject>(outStream, Kind::Stream);
        if (item == nullptr || stream == nullptr)
            return kInvalidHandle;
        if (EdsError e = readyCamera(item->camera, true))
            return e;
        if (item->item->isFolder())
            return kNotSupported;
        if (item->item->removed)
            return kFileNotFound;
        // Keep both alive while a progress callback might release them.
        ++item->refs;
        ++stream->refs;
        const EdsError e = lib.download(*item, inReadSize, *stream);
        lib.objects().release(stream);
        lib.objects().release(item);
        return e;
    });
}

namespace {
EdsError finishTransfer(EdsDirectoryItemRef ref)
{
    EosLibrary &lib = library();
    auto *item = lib.as<ItemObject>(ref, Kind::Item);
    if (item == nullptr)
        return kInvalidHandle;
    if (!item->camera->attached)
        return kCommDisconnected;
    CameraState &st = lib.state(item->camera);
    st.pending.erase(std::remove(st.pending.begin(), st.pending.end(), item->item), st.pending.end());
    st.downloaded.erase(item->item.get());
    return kOk;
}
} // namespace

EDSAPI EdsDownloadCancel(EdsDirectoryItemRef inDirItemRef)
{
    Call call("EdsDownloadCancel");
    call.ref(inDirItemRef);
    return call.run([&] { return finishTransfer(inDirItemRef); });
}

EDSAPI EdsDownloadComplete(EdsDirectoryItemRef inDirItemRef)
{
    Call call("EdsDownloadComplete");
    call.ref(inDirItemRef);
    return call.run([&] { return finishTransfer(inDirItemRef); });
}

EDSAPI EdsDownloadThumbnail(EdsDirectoryItemRef inDirItemRef, EdsStreamRef outStream)
{
    Call call("EdsDownloadThumbnail");
    call.ref(inDirItemRef);
    call.ref(outStream);
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        auto *item = lib.as<ItemObject>(inDirItemRef, Kind::Item);
        auto *stream = lib.as<StreamObject>(outStream, Kind::Stream);
        if (item == nullptr || stream == nullptr)
            return kInvalidHandle;
        if (EdsError e = readyCamera(item->camera, true))
            return e;
        if (item->item->isFolder() || item->item->kind == ItemKind::Other)
            return kNotSupported;
        if (item->item->removed)
            return kFileNotFound;
        const auto &thumb = item->item->thumbnail();
        if (!lib.carries(item->camera, thumb.size()))
            return kCommDisconnected;
        std::uint64_t written = 0;
        return stream->write(thumb.data(), thumb.size(), &written);
    });
}

// -------------------------------------------------------------------------------------------------
// Attributes
// -------------------------------------------------------------------------------------------------

EDSAPI EdsGetAttribute(EdsDirectoryItemRef inDirItemRef, EdsFileAttributes *outFileAttribute)
{
    Call call("EdsGetAttribute");
    call.ref(inDirItemRef).ptr(outFileAttribute);
    return call.run([&]() -> EdsError {
        auto *item = library().as<ItemObject>(inDirItemRef, Kind::Item);
        if (item == nullptr)
            return kInvalidHandle;
        if (outFileAttribute == nullptr)
            return kInvalidPointer;
        if (EdsError e = readyCamera(item->camera, true))
            return e;
        *outFileAttribute = static_cast<EdsFileAttributes>(item->item->attributes);
        return kOk;
    });
}

EDSAPI EdsSetAttribute(EdsDirectoryItemRef inDirItemRef, EdsFileAttributes inFileAttribute)
{
    Call call("EdsSetAttribute");
    call.ref(inDirItemRef).args().hex(static_cast<EdsUInt32>(inFileAttribute));
    return call.run([&]() -> EdsError {
        auto *item = library().as<ItemObject>(inDirItemRef, Kind::Item);
        if (item == nullptr)
            return kInvalidHandle;
        if (EdsError e = readyCamera(item->camera, true))
            return e;
        if ((inFileAttribute & ~0x27) != 0)
            return kInvalidParameter;
        item->item->attributes = static_cast<std::uint32_t>(inFileAttribute);
        return kOk;
    });
}
