// The legacy stand-in's card: volumes, the image items below them, opening an image for its
// thumbnail or picture, the transfer into a file with progress, deleting and formatting.
#include <cstring>
#include <functional>

#include "CdCall.h"

using namespace tbx::sim;
using namespace tbx::sim::cd;

namespace {

constexpr CdError kNotOpen = kComponent | 0xA1; // stream not open

/// Every file below \p items, to \p depth folder levels, in card order.
void collect(const std::vector<std::shared_ptr<Item>> &items, std::uint32_t depth,
             std::vector<std::shared_ptr<Item>> &out)
{
    for (const auto &item : items) {
        if (item->removed)
            continue;
        if (!item->isFolder())
            out.push_back(item);
        else if (depth > 0)
            collect(item->children, depth - 1, out);
    }
}

/// The item behind \p handle, ready to answer.
std::optional<CdLibrary::ItemRef> readyItem(CdHandle handle, CdError &error)
{
    auto ref = library().itemOf(handle);
    if (!ref) {
        error = kInvalidHandle;
        return std::nullopt;
    }
    error = library().readyCamera(ref->camera);
    return error == kOk ? ref : std::nullopt;
}

CdError imageData(const char *name, CdHImageItem hImgItem, CdHImageData *phImgData, bool thumbnail)
{
    Call call(name);
    call.handle(hImgItem).ptr(phImgData);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        auto ref = readyItem(hImgItem, error);
        if (!ref)
            return error;
        if (phImgData == nullptr)
            return kInvalidPointer;
        auto open = library().openImages.find(hImgItem);
        if (open == library().openImages.end())
            return kNotOpen;
        if (!ref->item || (thumbnail && ref->item->kind != ItemKind::Jpeg))
            return kNotSupported;
        auto *data = library().adopt(new ImageDataObject);
        data->camera = ref->camera;
        data->item = ref->item;
        data->thumbnail = thumbnail;
        open->second.push_back(data->handle);
        *phImgData = data->handle;
        return kOk;
    });
}

} // namespace

CDAPI CDEnumVolumeReset(CdHSource hSource, CdHEnum *phEnum)
{
    Call call("CDEnumVolumeReset");
    call.handle(hSource).ptr(phEnum);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        SourceObject *source = readySource(hSource, error);
        if (source == nullptr)
            return error;
        if (phEnum == nullptr)
            return kInvalidPointer;
        CdLibrary &lib = library();
        auto *e = lib.adopt(new EnumObject(Kind::VolumeEnum));
        for (const auto &volume : source->camera->volumes)
            e->values.push_back(lib.itemHandle(source->camera, volume.get()));
        *phEnum = e->handle;
        return kOk;
    });
}

CDAPI CDEnumVolumeNext(CdHEnum hEnum, CdHVolume *phVolume)
{
    return enumNext("CDEnumVolumeNext", hEnum, Kind::VolumeEnum, phVolume);
}

CDAPI CDGetVolumeCount(CdHEnum hEnum, CdUInt32 *pCount)
{
    return enumCount("CDGetVolumeCount", hEnum, Kind::VolumeEnum, pCount);
}

CDAPI CDEnumVolumeRelease(CdHEnum hEnum) { return enumRelease("CDEnumVolumeRelease", hEnum, Kind::VolumeEnum); }

CDAPI CDGetVolumeInfo(CdHVolume hVolume, CdVolumeInfo *pVolInfo)
{
    Call call("CDGetVolumeInfo");
    call.handle(hVolume).ptr(pVolInfo);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        auto ref = readyItem(hVolume, error);
        if (!ref)
            return error;
        if (ref->item)
            return kInvalidHandle;
        if (pVolInfo == nullptr)
            return kInvalidPointer;
        std::memset(pVolInfo, 0, sizeof *pVolInfo);
        pVolInfo->HWtype = 2;
        pVolInfo->isRemoveable = 1;
        pVolInfo->TotalSpace = ref->volume->capacity / 1024;
        pVolInfo->FreeSpace = ref->volume->freeBytes() / 1024;
        std::strncpy(pVolInfo->Name, ref->volume->label.c_str(), sizeof pVolInfo->Name - 1);
        return kOk;
    });
}

CDAPI CDGetVolumeName(CdHVolume hVolume, CdVolName *pVolName)
{
    Call call("CDGetVolumeName");
    call.handle(hVolume).ptr(pVolName);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        auto ref = readyItem(hVolume, error);
        if (!ref)
            return error;
        if (ref->item)
            return kInvalidHandle;
        if (pVolName == nullptr)
            return kInvalidPointer;
        std::memset(*pVolName, 0, sizeof *pVolName);
        std::strncpy(*pVolName, ref->volume->label.c_str(), sizeof *pVolName - 1);
        return kOk;
    });
}

CDAPI CDFormat(CdHVolume hVolume)
{
    Call call("CDFormat");
    call.handle(hVolume);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        auto ref = readyItem(hVolume, error);
        if (!ref)
            return error;
        if (ref->item)
            return kInvalidHandle;
        std::function<void(const std::vector<std::shared_ptr<Item>> &)> remove =
            [&](const std::vector<std::shared_ptr<Item>> &items) {
                for (const auto &item : items) {
                    item->removed = true;
                    remove(item->children);
                }
            };
        remove(ref->volume->items);
        ref->volume->items.clear();
        return kOk;
    });
}

// -------------------------------------------------------------------------------------------------
// Image items
// -------------------------------------------------------------------------------------------------

CDAPI CDEnumImageItemReset(CdHItem hItem, CdUInt32 Depth, CdEnumItemOption Option, CdHEnum *phEnum)
{
    Call call("CDEnumImageItemReset");
    call.handle(hItem).udec(Depth).hex(Option).ptr(phEnum);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        auto ref = readyItem(hItem, error);
        if (!ref)
            return error;
        if (phEnum == nullptr)
            return kInvalidPointer;
        if (ref->item && !ref->item->isFolder())
            return kInvalidHandle;
        std::vector<std::shared_ptr<Item>> files;
        collect(ref->item ? ref->item->children : ref->volume->items, Depth, files);
        CdLibrary &lib = library();
        auto *e = lib.adopt(new EnumObject(Kind::ItemEnum));
        for (const auto &file : files)
            e->values.push_back(lib.itemHandle(ref->camera, file.get()));
        *phEnum = e->handle;
        return kOk;
    });
}

CDAPI CDEnumImageItemNext(CdHEnum hEnum, CdHImageItem *phImage)
{
    return enumNext("CDEnumImageItemNext", hEnum, Kind::ItemEnum, phImage);
}

CDAPI CDGetImageItemCount(CdHEnum hEnum, CdUInt32 *pCount)
{
    return enumCount("CDGetImageItemCount", hEnum, Kind::ItemEnum, pCount);
}

CDAPI CDEnumImageItemRelease(CdHEnum hEnum) { return enumRelease("CDEnumImageItemRelease", hEnum, Kind::ItemEnum); }

CDAPI CDGetItemInfo(CdHItem hItem, CdItemInfo *pItemInfo)
{
    Call call("CDGetItemInfo");
    call.handle(hItem).ptr(pItemInfo);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        auto ref = readyItem(hItem, error);
        if (!ref)
            return error;
        if (!ref->item)
            return kInvalidHandle;
        if (pItemInfo == nullptr)
            return kInvalidPointer;
        Item &item = *ref->item;
        std::memset(pItemInfo, 0, sizeof *pItemInfo);
        pItemInfo->Type = item.isFolder() ? 1 : 2;
        pItemInfo->TimeStamp = static_cast<CdTime>(item.time);
        std::strncpy(pItemInfo->Name, item.name.c_str(), sizeof pItemInfo->Name - 1);
        pItemInfo->Size = item.isFolder() ? 0 : static_cast<CdUInt32>(item.size());
        pItemInfo->numThumbnail = item.kind == ItemKind::Jpeg ? 1 : 0;
        pItemInfo->numPicture = item.kind == ItemKind::Jpeg || item.kind == ItemKind::Raw ? 1 : 0;
        pItemInfo->numMovie = item.kind == ItemKind::Movie ? 1 : 0;
        return kOk;
    });
}

CDAPI CDOpenImage(CdHImageItem hImgItem)
{
    Call call("CDOpenImage");
    call.handle(hImgItem);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        auto ref = readyItem(hImgItem, error);
        if (!ref)
            return error;
        if (!ref->item || ref->item->isFolder())
            return kInvalidHandle;
        library().openImages[hImgItem]; // opening an open image again is harmless
        return kOk;
    });
}

CDAPI CDCloseImage(CdHImageItem hImgItem)
{
    Call call("CDCloseImage");
    call.handle(hImgItem);
    return call.run([&]() -> CdError {
        auto open = library().openImages.find(hImgItem);
        if (open == library().openImages.end())
            return kNotOpen;
        CdLibrary &lib = library();
        for (CdHandle data : open->second)
            if (Object *o = lib.find(data))
                lib.free(o);
        library().openImages.erase(open);
        return kOk;
    });
}

CDAPI CDGetThumbnail(CdHImageItem hImgItem, CdHImageData *phImgData)
{
    return imageData("CDGetThumbnail", hImgItem, phImgData, true);
}

CDAPI CDGetPicture(CdHImageItem hImgItem, CdHImageData *phImgData)
{
    return imageData("CDGetPicture", hImgItem, phImgData, false);
}

CDAPI CDGetImageDataInfo(CdHImageData hImgData, CdImageDataInfo *pImgDataInfo)
{
    Call call("CDGetImageDataInfo");
    call.handle(hImgData).ptr(pImgDataInfo);
    return call.run([&]() -> CdError {
        auto *data = library().as<ImageDataObject>(hImgData, Kind::ImageData);
        if (data == nullptr)
            return kInvalidHandle;
        if (pImgDataInfo == nullptr)
            return kInvalidPointer;
        std::memset(pImgDataInfo, 0, sizeof *pImgDataInfo);
        const std::size_t size = data->thumbnail ? data->item->thumbnail().size() : data->item->size();
        pImgDataInfo->DataType = data->thumbnail ? 0x10 : 0x20;
        pImgDataInfo->DataSize = static_cast<CdUInt32>((size + 1023) / 1024);
        pImgDataInfo->TimeStamp = static_cast<CdTime>(data->item->time);
        std::strncpy(pImgDataInfo->FileName, data->item->name.c_str(), sizeof pImgDataInfo->FileName - 1);
        return kOk;
    });
}

CDAPI CDGetImageData(CdHImageData hImgData, CdStgMedium *pStgMediumDest, CdProgressCallbackFunction *pCallbackFunc,
                     CdContext Context, CdProgressOption ProgressOption)
{
    Call call("CDGetImageData");
    call.handle(hImgData);
    call.args().str(pStgMediumDest != nullptr && pStgMediumDest->Type == 0 ? pStgMediumDest->u.lpszFileName : nullptr);
    call.ptr(reinterpret_cast<const void *>(pCallbackFunc), "fn").hex(Context).udec(ProgressOption);
    return call.run([&]() -> CdError {
        CdLibrary &lib = library();
        auto *data = lib.as<ImageDataObject>(hImgData, Kind::ImageData);
        if (data == nullptr)
            return kInvalidHandle;
        if (CdError e = lib.readyCamera(data->camera))
            return e;
        const std::vector<std::uint8_t> &bytes = data->thumbnail ? data->item->thumbnail() : data->item->content();
        return lib.deliver(data->camera, bytes, pStgMediumDest, pCallbackFunc, Context, ProgressOption);
    });
}

CDAPI CDDeleteImage(CdHItem hParent, CdHImageItem hImgItem)
{
    Call call("CDDeleteImage");
    call.handle(hParent).handle(hImgItem);
    return call.run([&]() -> CdError {
        CdError error = kOk;
        auto parent = readyItem(hParent, error);
        if (!parent)
            return error;
        auto ref = library().itemOf(hImgItem);
        if (!ref || !ref->item || ref->camera != parent->camera)
            return kInvalidHandle;
        if (parent->item ? parent->item.get() != ref->item->parent.lock().get() : parent->volume != ref->volume)
            return kInvalidParameter;
        Item &item = *ref->item;
        if (auto folder = item.parent.lock()) {
            auto &siblings = folder->children;
            siblings.erase(std::remove(siblings.begin(), siblings.end(), ref->item), siblings.end());
        } else {
            auto &top = ref->volume->items;
            top.erase(std::remove(top.begin(), top.end(), ref->item), top.end());
        }
        item.removed = true;
        return kOk;
    });
}
