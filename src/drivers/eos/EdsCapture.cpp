// TEDSDK: shooting, the transfer of the items the camera announces, and the camera collection.
//
// Implementation details. The three lists of announced items are filled by the engine's object
// handler on the SDK's thread and consumed here on the owner thread; both sides hold itemsMutex_
// only while they touch a list, never while they call the SDK. Only the owner thread removes
// items, so a reference read from a list head stays valid until this thread removes it.
//
// A download never loses a picture: the target file is created before anything else happens,
// and when it cannot be created the item stays untouched at the head of its list, so the host can
// try again with a good name. A download that fails while the camera is still there leaves the
// item at the head of its list, not completed, for the host to try again (with only-to-PC release
// the camera holds the only copy); only a camera that the SDK reports gone drops it. The file of a
// failed download is removed, so nothing on disk pretends to be a whole picture. An item is
// deleted from the card only after its download succeeded.
// The clean-up after a download (stream, transfer context, completion, the item) always runs to
// its end; the first failure, that of the download itself before any of the clean-up, is raised.
#include "drivers/eos/TEDSDK.h"

#include "drivers/common/Retry.h"
#include "drivers/common/Text.h"

#include "platform/Errors.h"
#include "platform/Platform.h"
#include "sdk/EdsErrors.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <optional>
#include <string_view>

namespace tbx::eos {

using namespace tbx::sdk;

namespace {

constexpr std::size_t kMaxFileNameLength = 254;
/// EdsRelease answers the new reference count, or this for a reference it does not know.
constexpr EdsUInt32 kReleaseFailed = 0xFFFFFFFFu;
/// No card has folders nested this deep; a tree that claims it is refused instead of followed.
constexpr int kMaxFolderDepth = 32;
/// A thumbnail larger than this is not a thumbnail.
constexpr EdsUInt64 kMaxThumbnailBytes = 16u * 1024u * 1024u;

// Shutter button (low 7 bits of the host's value) to the camera's command parameter; any value
// past the table releases the button.
constexpr std::int32_t kShutterButtonParams[] = {
    kEdsCameraCommand_ShutterButton_OFF,
    kEdsCameraCommand_ShutterButton_Halfway,
    kEdsCameraCommand_ShutterButton_Completely,
    kEdsCameraCommand_ShutterButton_Halfway_NonAF,
    kEdsCameraCommand_ShutterButton_Completely_NonAF,
};

void checkFileName(const std::string &fileName)
{
    if (fileName.size() > kMaxFileNameLength)
        throw ECamException("Filename " + fileName + " too long");
}

/// Releases \p ref through the SDK and raises when the SDK did not know it.
void releaseChecked(const EdsCalls &sdk, std::string_view label, EdsBaseRef ref)
{
    if (ref == nullptr)
        return;
    const EdsUInt32 count = sdk.eds().EdsRelease(ref);
    if (count == kReleaseFailed)
        sdk.raiseOnError(label, count);
}

/// A file name from a fixed SDK buffer, which need not hold a terminator.
std::string boundedName(const EdsDirectoryItemInfo &info)
{
    return drivers::boundedText(info.szFileName);
}

/// The steps that follow an operation: each runs whatever the others did; finish() raises the
/// first failure among them, unless the operation itself failed, whose failure wins.
class Cleanup {
public:
    explicit Cleanup(std::exception_ptr operationFailure) : failure_(std::move(operationFailure)) {}

    template <class Step>
    void run(Step &&step) noexcept
    {
        try {
            step();
        } catch (...) {
            if (!failure_)
                failure_ = std::current_exception();
        }
    }

    void finish()
    {
        if (failure_)
            std::rethrow_exception(failure_);
    }

private:
    std::exception_ptr failure_;
};

/// Runs \p body and hands back its failure instead of raising it.
template <class Body>
std::exception_ptr attempt(Body &&body)
{
    try {
        body();
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

/// Does \p code say that the camera is gone?
bool cameraGone(EdsError code)
{
    return code == EDS_ERR_DEVICE_NOT_FOUND || code == EDS_ERR_COMM_DISCONNECTED;
}

/// Creates (or truncates) \p fileName for writing.
EdsRef createFileStream(const EdsCalls &sdk, const std::string &fileName)
{
    EdsRef stream(sdk.library());
    sdk.raiseOnError("EdsCreateFileStream",
                    sdk.eds().EdsCreateFileStream(fileName.c_str(), kEdsFileCreateDisposition_CreateAlways,
                                              kEdsAccess_Write, stream.receive()));
    return stream;
}

bool isUpperCaseJpegName(const std::string &name)
{
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && name.compare(dot, std::string::npos, ".JPG") == 0;
}

/// The thumbnail of \p item, or nothing when any step of reading it fails: one unreadable
/// thumbnail must not cost the host the whole listing.
std::optional<JpegBlob> readThumbnail(const EdsCalls &sdk, EdsDirectoryItemRef item) noexcept
{
    try {
        EdsRef stream(sdk.library());
        if (sdk.eds().EdsCreateMemoryStream(0, stream.receive()) != EDS_ERR_OK || !stream)
            return std::nullopt;
        if (sdk.eds().EdsDownloadThumbnail(item, stream.get()) != EDS_ERR_OK ||
            sdk.eds().EdsSeek(stream.get(), 0, kEdsSeek_Begin) != EDS_ERR_OK)
            return std::nullopt;
        EdsUInt64 length = 0;
        if (sdk.eds().EdsGetLength(stream.get(), &length) != EDS_ERR_OK || length > kMaxThumbnailBytes)
            return std::nullopt;
        JpegBlob bytes;
        bytes.reserve(static_cast<std::size_t>(length));
        std::uint8_t chunk[16384];
        for (;;) {
            EdsUInt64 got = 0;
            if (sdk.eds().EdsRead(stream.get(), sizeof chunk, chunk, &got) != EDS_ERR_OK || got > sizeof chunk)
                return std::nullopt;
            if (got == 0)
                break;
            if (bytes.size() + got > kMaxThumbnailBytes)
                return std::nullopt;
            bytes.insert(bytes.end(), chunk, chunk + got);
        }
        // Whatever the camera sent must at least start like a JPEG image.
        if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xD8)
            return std::nullopt;
        return bytes;
    } catch (...) {
        return std::nullopt;
    }
}

/// Walks a folder of the card depth first, collecting files and their list entries.
class CollectionWalk {
public:
    CollectionWalk(const EdsCalls &sdk, bool thumbnails) : sdk_(sdk), thumbnails_(thumbnails) {}

    void children(EdsBaseRef parent, int depth)
    {
        if (depth > kMaxFolderDepth)
            throw ECamException("OpenCameraCollection : folders nested deeper than " +
                                std::to_string(kMaxFolderDepth) + " levels");
        EdsUInt32 count = 0;
        sdk_.raiseOnError("EdsGetChildCount", sdk_.eds().EdsGetChildCount(parent, &count));
        const auto last = static_cast<EdsInt32>(std::min<EdsUInt32>(count, 0x7FFFFFFFu));
        for (EdsInt32 i = 0; i < last; ++i) {
            EdsRef child(sdk_.library());
            sdk_.raiseOnError("EdsGetChildAtIndex", sdk_.eds().EdsGetChildAtIndex(parent, i, child.receive()));
            visit(std::move(child), depth);
        }
    }

    EdsItemList items;
    ImageListType entries;

private:
    void visit(EdsRef item, int depth)
    {
        EdsDirectoryItemInfo info{};
        sdk_.raiseOnError("EdsGetDirectoryItemInfo", sdk_.eds().EdsGetDirectoryItemInfo(item.get(), &info));
        if (info.isFolder != 0) {
            children(item.get(), depth + 1);
            return; // the folder's reference goes with `item`
        }
        ImageDataType entry;
        entry.Name = boundedName(info);
        entry.Size = info.size;
        entry.DateTime = info.dateTime;
        if (thumbnails_ && isUpperCaseJpegName(entry.Name))
            entry.Thumbnail = readThumbnail(sdk_, item.get());
        entries.push_back(std::move(entry));
        items.push_back(std::move(item));
    }

    const EdsCalls &sdk_;
    bool thumbnails_;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Shooting
// ---------------------------------------------------------------------------------------------

int TEDSDK::GetNumberOfAvailableShots()
{
    EdsUInt32 shots = 0;
    raiseOnError("EdsGetPropertyData, kEdsPropID_AvailableShots",
                    eds().EdsGetPropertyData(Camera(), kEdsPropID_AvailableShots, 0, sizeof shots, &shots));
    return static_cast<int>(shots);
}

void TEDSDK::RemoteTakePicture(ProgressProc /*progress*/, int /*registryIndex*/)
{
    // The picture arrives later through the object events and RemoteGetPicture.
    sendCommand(kEdsCameraCommand_TakePicture, 0, "EdsSendCommand");
}

void TEDSDK::RemotePressShutter(int button)
{
    const auto index = static_cast<std::size_t>(button & 0x7F);
    const std::int32_t param = index < std::size(kShutterButtonParams) ? kShutterButtonParams[index]
                                                                       : kEdsCameraCommand_ShutterButton_OFF;
    if (drivers::retry(drivers::kBusyShutterRetry, [&] {
            return eds().EdsSendCommand(Camera(), kEdsCameraCommand_PressShutterButton, param) == EDS_ERR_OK;
        }))
        return;
    sendCommand(kEdsCameraCommand_PressShutterButton, param, "EdsSendCommand");
}

void TEDSDK::SetBULB(bool on)
{
    if (on) {
        raiseOnError("EdsSendStatusCommand",
                        eds().EdsSendStatusCommand(Camera(), kEdsCameraStatusCommand_UILock, 0));
        const EdsError started = eds().EdsSendCommand(Camera(), kEdsCameraCommand_BulbStart, 0);
        if (started != EDS_ERR_OK) {
            // No exposure runs, so nothing would ever unlock the camera's controls again.
            eds().EdsSendStatusCommand(Camera(), kEdsCameraStatusCommand_UIUnLock, 0);
            raiseOnError("EdsSendCommand", started);
        }
        return;
    }
    const EdsError ended = eds().EdsSendCommand(Camera(), kEdsCameraCommand_BulbEnd, 0);
    const EdsError unlocked = eds().EdsSendStatusCommand(Camera(), kEdsCameraStatusCommand_UIUnLock, 0);
    raiseOnError("EdsSendCommand", ended);
    raiseOnError("EdsSendStatusCommand", unlocked);
}

void TEDSDK::sendCommand(EdsCameraCommand command, std::int32_t param, const char *label)
{
    raiseOnError(label, eds().EdsSendCommand(Camera(), command, param));
}

// ---------------------------------------------------------------------------------------------
// Object events
// ---------------------------------------------------------------------------------------------

bool TEDSDK::registerItem(EdsItemList &list, void *object)
{
    EdsRef item(sdk_, static_cast<EdsBaseRef>(object));
    {
        std::lock_guard lock(itemsMutex_);
        if (acceptingItems_) {
            list.push_back(std::move(item));
            return true;
        }
    }
    return false; // announced while the session ended: released here, outside the lock
}

bool TEDSDK::RegisterTransferItem(void *object)
{
    return registerItem(transferItems_, object);
}

bool TEDSDK::RegisterMovieItem(void *object)
{
    return registerItem(movieItems_, object);
}

bool TEDSDK::RegisterCardItem(void *object)
{
    return registerItem(cardItems_, object);
}

std::string TEDSDK::ObjectFileName(void *object)
{
    EdsDirectoryItemInfo info{};
    raiseOnError("EdsGetDirectoryItemInfo",
                    eds().EdsGetDirectoryItemInfo(static_cast<EdsBaseRef>(object), &info));
    return boundedName(info);
}

void TEDSDK::ReleaseObject(void *object)
{
    newRef(static_cast<EdsBaseRef>(object)).reset();
}

// ---------------------------------------------------------------------------------------------
// Transfers
// ---------------------------------------------------------------------------------------------

EdsDirectoryItemRef TEDSDK::headItem(const EdsItemList &list, const char *emptyMessage) const
{
    std::lock_guard lock(itemsMutex_);
    if (list.empty())
        throw ECamException(emptyMessage);
    return list.front().get();
}

EdsRef TEDSDK::takeItem(EdsItemList &list, EdsDirectoryItemRef item)
{
    std::lock_guard lock(itemsMutex_);
    const auto found = std::find_if(list.begin(), list.end(), [&](const EdsRef &r) { return r.get() == item; });
    if (found == list.end())
        return newRef();
    EdsRef taken = std::move(*found);
    list.erase(found);
    return taken;
}

void TEDSDK::downloadItem(EdsDirectoryItemRef item, EdsStreamRef stream, int kind, int registryIndex,
                          EdsError &failure)
{
    const auto check = [&](std::string_view label, EdsError code) {
        failure = code;
        raiseOnError(label, code);
    };
    EdsDirectoryItemInfo info{};
    check("EdsGetDirectoryItemInfo", eds().EdsGetDirectoryItemInfo(item, &info));
    check("EdsSetProgressCallback", eds().EdsSetProgressCallback(stream, callbacks_.progress,
                                                                 kEdsProgressOption_Periodically,
                                                                 registryContext(registryIndex)));
    struct KindGuard {
        std::atomic<int> &kind;
        ~KindGuard() { kind = 0; }
    } guard{transferKind_};
    transferKind_ = kind;
    check("EdsDownload", eds().EdsDownload(item, info.size, stream));
}

void TEDSDK::RemoteGetPicture(const std::string &fileName, int pictureType, ProgressProc /*progress*/,
                              int registryIndex)
{
    const EdsDirectoryItemRef item = headItem(transferItems_, "There are no pictures to download");
    checkFileName(fileName);
    if (pictureType != 0 && pictureType != 1)
        throw ECamException("Picture type " + std::to_string(pictureType) +
                            " is not known: 0 asks for the thumbnail, 1 for the picture");
    EdsRef stream = createFileStream(*this, fileName);
    if (pictureType == 1) {
        transferAnnounced(transferItems_, item, std::move(stream), fileName, false, 1, registryIndex);
        return;
    }
    // A thumbnail leaves the picture in place for the full download.
    const std::exception_ptr failed =
        attempt([&] { raiseOnError("EdsDownloadThumbnail", eds().EdsDownloadThumbnail(item, stream.get())); });
    Cleanup cleanup(failed);
    cleanup.run([&] { releaseChecked(*this, "EdsRelease", stream.release()); });
    if (failed)
        platform::removeFile(fileName);
    cleanup.finish();
}

void TEDSDK::RemoteGetMovie(const std::string &fileName, bool deleteAfter, int registryIndex)
{
    downloadAnnounced(movieItems_, "There are no movies to download", fileName, deleteAfter, registryIndex);
}

void TEDSDK::RemoteGetCFPicture(const std::string &fileName, bool deleteAfter, int registryIndex)
{
    downloadAnnounced(cardItems_, "There are no pictures on CF card to download", fileName, deleteAfter,
                      registryIndex);
}

void TEDSDK::downloadAnnounced(EdsItemList &list, const char *emptyMessage, const std::string &fileName,
                               bool deleteAfter, int registryIndex)
{
    const EdsDirectoryItemRef item = headItem(list, emptyMessage);
    checkFileName(fileName);
    transferAnnounced(list, item, createFileStream(*this, fileName), fileName, deleteAfter, 2, registryIndex);
}

void TEDSDK::transferAnnounced(EdsItemList &list, EdsDirectoryItemRef item, EdsRef stream,
                               const std::string &fileName, bool deleteAfter, int kind, int registryIndex)
{
    EdsError code = EDS_ERR_OK;
    const std::exception_ptr failed = attempt([&] { downloadItem(item, stream.get(), kind, registryIndex, code); });
    Cleanup cleanup(failed);
    cleanup.run([&] { releaseChecked(*this, "EdsRelease", stream.release()); });
    if (failed) {
        platform::removeFile(fileName);
        if (cameraGone(code))
            cleanup.run([&] { releaseChecked(*this, "EdsRelease", takeItem(list, item).release()); });
        cleanup.finish();
    }
    cleanup.run([&] { raiseOnError("EdsDownloadComplete", eds().EdsDownloadComplete(item)); });
    EdsRef owned = takeItem(list, item);
    if (deleteAfter) {
        cleanup.run([&] {
            // Deleting gives the reference back to the SDK; a refused delete leaves it with us.
            raiseOnError("EdsDeleteDirectoryItem", eds().EdsDeleteDirectoryItem(owned.get()));
            owned.release();
        });
    }
    cleanup.run([&] { releaseChecked(*this, "EdsRelease", owned.release()); });
    cleanup.finish();
}

// ---------------------------------------------------------------------------------------------
// The camera collection
// ---------------------------------------------------------------------------------------------

void TEDSDK::OpenCameraCollection(const std::string & /*tempFolder*/, bool thumbnails, ImageListType &list)
{
    // Positions of an old listing must never address pictures of the new one.
    closeCollection();

    EdsUInt32 volumes = 0;
    raiseOnError("EdsGetChildCount", eds().EdsGetChildCount(Camera(), &volumes));
    if (volumes == 0)
        throw ECamException("OpenCameraCollection : No volumes found");
    EdsRef volume(sdk_);
    raiseOnError("EdsGetChildAtIndex", eds().EdsGetChildAtIndex(Camera(), 0, volume.receive()));

    // Built aside: a walk that fails part way releases what it collected on the way out.
    CollectionWalk walk(*this, thumbnails);
    walk.children(volume.get(), 0);

    std::lock_guard lock(itemsMutex_);
    collectionVolume_ = std::move(volume);
    collectionItems_ = std::move(walk.items);
    list = std::move(walk.entries);
}

void TEDSDK::closeCollection() noexcept
{
    EdsRef volume(sdk_);
    EdsItemList items;
    {
        std::lock_guard lock(itemsMutex_);
        volume = std::move(collectionVolume_);
        items = std::move(collectionItems_);
        collectionItems_.clear();
    }
    volume.reset();
    while (!items.empty())
        items.pop_back(); // last to first
}

void TEDSDK::CloseCameraCollection(ImageListType &list)
{
    closeCollection();
    list.clear();
}

EdsDirectoryItemRef TEDSDK::collectionItem(int position, const char *request) const
{
    const std::string requested = std::string("Requested ") + request + " of picture " + std::to_string(position);
    // Checked before anything is indexed: a negative position has no picture either.
    if (position < 0)
        throw ECamException(requested + " but pictures are counted from 0");
    std::lock_guard lock(itemsMutex_);
    if (static_cast<std::size_t>(position) >= collectionItems_.size())
        throw ECamException(requested + " but max is only " +
                            std::to_string(static_cast<long long>(collectionItems_.size()) - 1));
    return collectionItems_[static_cast<std::size_t>(position)].get();
}

void TEDSDK::GetPicture(int position, const std::string &fileName, ProgressProc /*progress*/, int registryIndex)
{
    checkFileName(fileName);
    const EdsDirectoryItemRef item = collectionItem(position, "download");
    EdsRef stream = createFileStream(*this, fileName);

    EdsError code = EDS_ERR_OK;
    const std::exception_ptr failed = attempt([&] { downloadItem(item, stream.get(), 2, registryIndex, code); });
    Cleanup cleanup(failed);
    cleanup.run([&] { releaseChecked(*this, "EdsRelease", stream.release()); });
    if (failed)
        platform::removeFile(fileName);
    cleanup.run([&] { raiseOnError("EdsDownloadComplete", eds().EdsDownloadComplete(item)); });
    cleanup.finish();
}

void TEDSDK::DeletePicture(ImageListType &list, int position)
{
    const EdsDirectoryItemRef item = collectionItem(position, "delete");
    raiseOnError("EdsDeleteDirectoryItem", eds().EdsDeleteDirectoryItem(item));
    // The SDK released the deleted item's reference itself.
    takeItem(collectionItems_, item).release();
    const auto index = static_cast<std::size_t>(position);
    if (index < list.size())
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
}

} // namespace tbx::eos
