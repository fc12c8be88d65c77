// The camera collection of a legacy camera: the pictures of its first volume, listed through an
// image-item enumeration that stays open until the collection is closed, because the item
// handles are valid only as long as it is. Thumbnails pass through one temporary file, which the
// library writes and the driver reads back.
#include "drivers/cdsdk/TCDSDK.h"

#include "platform/Errors.h"
#include "platform/Platform.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace tbx::cdsdk {

using sdk::RaiseOnCDError;

namespace {

/// How the library reports progress to the callbacks it is given.
constexpr sdk::CdProgressOption kProgressInPercent = 3;

/// The content of the thumbnail file the library just wrote.
JpegBlob readThumbnail(const std::string &fileName)
{
    std::ifstream in(platform::hostPath(fileName), std::ios::binary);
    if (!in)
        throw EInOutError("The thumbnail file " + fileName + " could not be read");
    JpegBlob data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        throw EInOutError("The thumbnail file " + fileName + " could not be read");
    return data;
}

/// Opens an image item and closes it again on every way out.
class OpenImage {
public:
    OpenImage(const sdk::CdEntryPoints &cd, sdk::CdHImageItem item) : cd_(cd), item_(item)
    {
        RaiseOnCDError("CDOpenImage", cd_.CDOpenImage(item_));
    }
    ~OpenImage() { cd_.CDCloseImage(item_); }
    OpenImage(const OpenImage &) = delete;
    OpenImage &operator=(const OpenImage &) = delete;

private:
    const sdk::CdEntryPoints &cd_;
    sdk::CdHImageItem item_;
};

} // namespace

void TCDSDK::dropCollection() noexcept
{
    if (itemEnumOpen_ && library_.isLoaded())
        cd().CDEnumImageItemRelease(itemEnum_);
    itemEnumOpen_ = false;
    items_.clear();
}

void TCDSDK::OpenCameraCollection(const std::string &tempFolder, bool thumbnails, ImageListType &list)
{
    if (thumbnails && tempFolder.empty())
        throw ECamException("OpenCameraCollection needs a temp folder to read the thumbnails in");
    requireSource();
    // Positions of an old listing must never address pictures of the new one.
    dropCollection();

    const sdk::CdHVolume volume = firstVolume();
    CdEnum enumeration(cd().CDEnumImageItemRelease);
    RaiseOnCDError("CDEnumImageItemReset", cd().CDEnumImageItemReset(volume, 3, 1, enumeration.receive()));
    enumeration.started();
    sdk::CdUInt32 count = 0;
    RaiseOnCDError("CDGetImageItemCount", cd().CDGetImageItemCount(enumeration.get(), &count));

    // Built aside: a listing that fails part way gives back its enumeration (the CdEnum) and the
    // pictures and thumbnails it built so far.
    ImageListType pictures;
    std::vector<sdk::CdHImageItem> items;
    const std::string thumbFile = tempFolder + platform::kDirSeparator + "Thumb.jpg";
    for (sdk::CdUInt32 i = 0; i < count; ++i) {
        sdk::CdHImageItem item = 0;
        RaiseOnCDError("CDEnumImageItemNext", cd().CDEnumImageItemNext(enumeration.get(), &item));
        items.push_back(item);

        ImageDataType picture;
        sdk::CdItemInfo information{};
        if (cd().CDGetItemInfo(item, &information) == 0) {
            picture.Name = sdk::CdItemName(information);
            picture.DateTime = information.TimeStamp;
            picture.Size = information.Size;
        }
        if (thumbnails) {
            OpenImage open(cd(), item);
            sdk::CdHImageData data = 0;
            RaiseOnCDError("CDGetThumbnail", cd().CDGetThumbnail(item, &data));
            sdk::CdStgMedium destination{};
            destination.Type = 0;
            destination.u.lpszFileName = thumbFile.c_str();
            RaiseOnCDError("CDGetImageData", cd().CDGetImageData(data, &destination, nullptr, 0, 0));
            picture.Thumbnail = readThumbnail(thumbFile);
        }
        pictures.push_back(std::move(picture));
    }

    itemEnum_ = enumeration.detach();
    itemEnumOpen_ = true;
    items_ = std::move(items);
    list = std::move(pictures);
}

void TCDSDK::CloseCameraCollection(ImageListType &list)
{
    // The items and the list go whatever the library answers: a second close releases nothing.
    const bool open = itemEnumOpen_;
    const sdk::CdHEnum enumeration = itemEnum_;
    itemEnumOpen_ = false;
    items_.clear();
    list.clear();
    if (open)
        RaiseOnCDError("CDEnumImageItemRelease", cd().CDEnumImageItemRelease(enumeration));
}

sdk::CdHImageItem TCDSDK::collectionItem(int position, const char *refusal) const
{
    if (position < 0 || static_cast<std::size_t>(position) >= items_.size())
        throw ECamException(refusal);
    return items_[static_cast<std::size_t>(position)];
}

void TCDSDK::writeThroughPartFile(const std::string &fileName,
                                  const std::function<void(sdk::CdStgMedium &destination)> &write)
{
    // The library writes the data itself, so a transfer that breaks off would leave a file
    // that looks whole; it writes under another name, which takes the real one when complete.
    const std::string part = fileName + ".part";
    platform::removeFile(part);
    sdk::CdStgMedium destination{};
    destination.Type = 0;
    destination.u.lpszFileName = part.c_str();
    try {
        write(destination);
    } catch (...) {
        platform::removeFile(part);
        throw;
    }
    std::error_code failed;
    std::filesystem::rename(platform::hostPath(part), platform::hostPath(fileName), failed);
    if (failed) {
        platform::removeFile(part);
        throw EInOutError("The picture could not be stored as " + fileName);
    }
}

void TCDSDK::GetPicture(int position, const std::string &fileName, ProgressProc progress, int registryIndex)
{
    const sdk::CdHImageItem item = collectionItem(position, "Not valid number of picture to get");
    writeThroughPartFile(fileName, [&](sdk::CdStgMedium &destination) {
        OpenImage open(cd(), item);
        sdk::CdHImageData data = 0;
        RaiseOnCDError("CDGetPicture", cd().CDGetPicture(item, &data));
        RaiseOnCDError("CDGetImageData",
                       cd().CDGetImageData(data, &destination, progress, static_cast<sdk::CdContext>(registryIndex),
                                           kProgressInPercent));
    });
}

void TCDSDK::DeletePicture(ImageListType &list, int position)
{
    if (position < 0 || static_cast<std::size_t>(position) >= list.size())
        throw ECamException("Not valid number of picture to delete");
    const sdk::CdHImageItem item = collectionItem(position, "Not valid number of picture to delete");
    RaiseOnCDError("CDDeleteImage", cd().CDDeleteImage(volume_, item));
    const auto index = static_cast<std::ptrdiff_t>(position);
    list.erase(list.begin() + index);
    items_.erase(items_.begin() + index);
}

} // namespace tbx::cdsdk
