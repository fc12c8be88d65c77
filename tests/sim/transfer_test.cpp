// The card, downloads with progress, thumbnails, streams, images and live-view frames.
#include <cstdio>
#include <cstring>
#include <numeric>

#include "SdkFixture.h"

using namespace tbx::sim::eds;

namespace {

bool isJpeg(const std::vector<std::uint8_t> &b) {
    return b.size() > 4 && b[0] == 0xFF && b[1] == 0xD8 && b[b.size() - 2] == 0xFF && b[b.size() - 1] == 0xD9;
}

struct Progress {
    std::vector<EdsUInt32> percents;
    bool cancelAt50 = false;
    static EdsError TBX_EDS_CALL callback(EdsUInt32 percent, EdsVoid *context, EdsBool *cancel) {
        auto *self = static_cast<Progress *>(context);
        self->percents.push_back(percent);
        if (self->cancelAt50 && percent >= 50) *cancel = 1;
        return 0;
    }
};

}  // namespace

using TransferTest = SimTest;

TEST_F(TransferTest, CardHoldsFoldersAndFilesWithTheirFormats) {
    EdsCameraRef camera = openCamera();
    EdsVolumeRef volume = nullptr;
    ASSERT_EQ(s.EdsGetChildAtIndex(camera, 0, &volume), kOk);
    held_.push_back(volume);
    EdsVolumeInfo vinfo{};
    ASSERT_EQ(s.EdsGetVolumeInfo(volume, &vinfo), kOk);
    EXPECT_STREQ(vinfo.szVolumeLabel, "SD1");
    EXPECT_EQ(vinfo.storageType, 2u);
    EXPECT_EQ(vinfo.maxCapacity, 32000000000ull);
    EXPECT_LT(vinfo.freeSpaceInBytes, vinfo.maxCapacity);

    EdsDirectoryItemRef folder = itemAt(camera, "DCIM/100CANON");
    EdsUInt32 count = 0;
    ASSERT_EQ(s.EdsGetChildCount(folder, &count), kOk);
    ASSERT_EQ(count, 5u);
    const char *names[] = {"IMG_0001.JPG", "IMG_0002.JPG", "IMG_0003.CR3", "IMG_0004.JPG", "MVI_0005.MP4"};
    const EdsUInt32 formats[] = {kFormatJpeg, kFormatJpeg, kFormatCr3, kFormatJpeg, kFormatMp4};
    for (EdsInt32 i = 0; i < 5; ++i) {
        EdsDirectoryItemRef item = nullptr;
        ASSERT_EQ(s.EdsGetChildAtIndex(folder, i, &item), kOk);
        EdsDirectoryItemInfo info{};
        ASSERT_EQ(s.EdsGetDirectoryItemInfo(item, &info), kOk);
        EXPECT_STREQ(info.szFileName, names[i]);
        EXPECT_EQ(info.format, formats[i]);
        EXPECT_EQ(info.isFolder, 0);
        EXPECT_GT(info.size, 0u);
        if (i == 2) {
            EXPECT_EQ(info.size, 1500000u);
        }
        // The parent of a file is its folder.
        EdsBaseRef parent = nullptr;
        ASSERT_EQ(s.EdsGetParent(item, &parent), kOk);
        EdsDirectoryItemInfo pinfo{};
        ASSERT_EQ(s.EdsGetDirectoryItemInfo(parent, &pinfo), kOk);
        EXPECT_STREQ(pinfo.szFileName, "100CANON");
        EXPECT_EQ(pinfo.isFolder, 1);
        s.EdsRelease(parent);
        s.EdsRelease(item);
    }
    EdsDirectoryItemRef file = nullptr;
    ASSERT_EQ(s.EdsGetChildAtIndex(folder, 0, &file), kOk);
    EXPECT_EQ(s.EdsGetChildCount(file, &count), kNotSupported);
    s.EdsRelease(file);
}

TEST_F(TransferTest, DownloadReportsRisingProgressAndDeliversTheWholeFile) {
    EdsCameraRef camera = openCamera();
    EdsDirectoryItemRef raw = itemAt(camera, "DCIM/100CANON/IMG_0003.CR3");
    EdsDirectoryItemInfo info{};
    ASSERT_EQ(s.EdsGetDirectoryItemInfo(raw, &info), kOk);
    EdsStreamRef stream = nullptr;
    ASSERT_EQ(s.EdsCreateMemoryStream(0, &stream), kOk);
    held_.push_back(stream);
    Progress progress;
    ASSERT_EQ(s.EdsSetProgressCallback(stream, &Progress::callback, 2, &progress), kOk);
    ASSERT_EQ(s.EdsDownload(raw, info.size, stream), kOk);
    ASSERT_EQ(s.EdsDownloadComplete(raw), kOk);
    const auto bytes = streamBytes(stream);
    ASSERT_EQ(bytes.size(), info.size);
    EXPECT_EQ(std::memcmp(bytes.data() + 4, "ftypcrx ", 8), 0);
    ASSERT_GE(progress.percents.size(), 5u);
    EXPECT_TRUE(std::is_sorted(progress.percents.begin(), progress.percents.end()));
    EXPECT_EQ(progress.percents.back(), 100u);
}

TEST_F(TransferTest, ChunkedDownloadsFollowTheBlockRuleAndCancelStopsAtOnce) {
    EdsCameraRef camera = openCamera();
    EdsDirectoryItemRef movie = itemAt(camera, "DCIM/100CANON/MVI_0005.MP4");
    EdsStreamRef stream = nullptr;
    ASSERT_EQ(s.EdsCreateMemoryStream(0, &stream), kOk);
    held_.push_back(stream);
    EXPECT_EQ(s.EdsDownload(movie, 1000, stream), kInvalidParameter);  // not a multiple of 512
    EXPECT_EQ(s.EdsDownload(movie, 4000000, stream), kInvalidLength);
    ASSERT_EQ(s.EdsDownload(movie, 512 * 1000, stream), kOk);
    ASSERT_EQ(s.EdsDownload(movie, 3000000 - 512 * 1000, stream), kOk);  // the rest may be any size
    EXPECT_EQ(streamBytes(stream).size(), 3000000u);
    EXPECT_EQ(std::memcmp(streamBytes(stream).data() + 4, "ftypmp42", 8), 0);
    ASSERT_EQ(s.EdsDownloadComplete(movie), kOk);

    EdsStreamRef second = nullptr;
    ASSERT_EQ(s.EdsCreateMemoryStream(0, &second), kOk);
    held_.push_back(second);
    Progress progress;
    progress.cancelAt50 = true;
    ASSERT_EQ(s.EdsSetProgressCallback(second, &Progress::callback, 2, &progress), kOk);
    EXPECT_EQ(s.EdsDownload(movie, 3000000, second), kOperationCancelled);
    EXPECT_LT(streamBytes(second).size(), 3000000u);
    EXPECT_EQ(s.EdsDownloadCancel(movie), kOk);
}

TEST_F(TransferTest, PicturesAndThumbnailsAreRealJpegs) {
    EdsCameraRef camera = openCamera();
    for (const char *path : {"DCIM/100CANON/IMG_0001.JPG", "DCIM/100CANON/IMG_0003.CR3", "DCIM/100CANON/MVI_0005.MP4"}) {
        EdsDirectoryItemRef item = itemAt(camera, path);
        EdsStreamRef thumb = nullptr;
        ASSERT_EQ(s.EdsCreateMemoryStream(0, &thumb), kOk);
        ASSERT_EQ(s.EdsDownloadThumbnail(item, thumb), kOk) << path;
        EXPECT_TRUE(isJpeg(streamBytes(thumb))) << path;
        s.EdsRelease(thumb);
    }
    EdsDirectoryItemRef jpeg = itemAt(camera, "DCIM/100CANON/IMG_0002.JPG");
    EdsDirectoryItemInfo info{};
    ASSERT_EQ(s.EdsGetDirectoryItemInfo(jpeg, &info), kOk);
    EdsStreamRef stream = nullptr;
    ASSERT_EQ(s.EdsCreateMemoryStream(0, &stream), kOk);
    held_.push_back(stream);
    ASSERT_EQ(s.EdsDownload(jpeg, info.size, stream), kOk);
    ASSERT_EQ(s.EdsDownloadComplete(jpeg), kOk);
    EXPECT_TRUE(isJpeg(streamBytes(stream)));

    // Decoding through the image functions sees the picture's own size.
    EdsImageRef image = nullptr;
    ASSERT_EQ(s.EdsCreateImageRef(stream, &image), kOk);
    held_.push_back(image);
    EdsImageInfo iinfo{};
    ASSERT_EQ(s.EdsGetImageInfo(image, 0, &iinfo), kOk);
    EXPECT_EQ(iinfo.width, 1200u);
    EXPECT_EQ(iinfo.height, 800u);
    EdsStreamRef rgb = nullptr;
    ASSERT_EQ(s.EdsCreateMemoryStream(0, &rgb), kOk);
    held_.push_back(rgb);
    ASSERT_EQ(s.EdsGetImage(image, 0, 9, EdsRect{{0, 0}, {1200, 800}}, EdsSize{60, 40}, rgb), kOk);
    EXPECT_EQ(streamBytes(rgb).size(), 60u * 40u * 3u);
    EXPECT_EQ(s.EdsGetImage(image, 0, 9, EdsRect{{1100, 0}, {200, 800}}, EdsSize{60, 40}, rgb), kInvalidParameter);
}

TEST_F(TransferTest, FileStreamsHonourDispositionAndAccess) {
    EdsCameraRef camera = openCamera();
    EdsDirectoryItemRef item = itemAt(camera, "DCIM/100CANON/IMG_0001.JPG");
    const std::string path = ::testing::TempDir() + "tbx_sim_thumb.jpg";
    std::remove(path.c_str());
    EdsStreamRef file = nullptr;
    EXPECT_EQ(s.EdsCreateFileStream(path.c_str(), 2, 1, &file), kFileNotFound);  // open existing
    ASSERT_EQ(s.EdsCreateFileStream(path.c_str(), 1, 2, &file), kOk);           // create always
    ASSERT_EQ(s.EdsDownloadThumbnail(item, file), kOk);
    EdsUInt64 length = 0;
    ASSERT_EQ(s.EdsGetLength(file, &length), kOk);
    EXPECT_GT(length, 100u);
    ASSERT_EQ(s.EdsSeek(file, 0, 1), kOk);
    std::uint8_t head[2] = {};
    EdsUInt64 got = 0;
    ASSERT_EQ(s.EdsRead(file, 2, head, &got), kOk);
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(head[0], 0xFF);
    EXPECT_EQ(head[1], 0xD8);
    EXPECT_EQ(s.EdsRelease(file), 0u);
    EdsStreamRef again = nullptr;
    EXPECT_EQ(s.EdsCreateFileStream(path.c_str(), 0, 1, &again), kFileAlreadyExists);  // create new
    ASSERT_EQ(s.EdsCreateFileStream(path.c_str(), 2, 0, &again), kOk);
    EdsUInt64 written = 0;
    EXPECT_EQ(s.EdsWrite(again, 2, head, &written), kStreamWriteError);  // opened for reading
    s.EdsRelease(again);
    std::remove(path.c_str());
}

TEST_F(TransferTest, CallerBufferStreamsStopAtTheirEnd) {
    std::uint8_t buffer[8] = {};
    EdsStreamRef stream = nullptr;
    ASSERT_EQ(s.EdsCreateMemoryStreamFromPointer(buffer, sizeof buffer, &stream), kOk);
    const char text[] = "0123456789";
    EdsUInt64 written = 0;
    EXPECT_EQ(s.EdsWrite(stream, 10, text, &written), kStreamEndOfStream);
    EXPECT_EQ(written, 8u);
    EXPECT_EQ(std::memcmp(buffer, text, 8), 0);
    EXPECT_EQ(s.EdsSeek(stream, 9, 1), kStreamSeekError);
    EdsVoid *pointer = nullptr;
    ASSERT_EQ(s.EdsGetPointer(stream, &pointer), kOk);
    EXPECT_EQ(pointer, buffer);
    s.EdsRelease(stream);
}

TEST_F(TransferTest, DeleteAndFormatChangeTheCard) {
    EdsCameraRef camera = openCamera();
    EdsDirectoryItemRef folder = itemAt(camera, "DCIM/100CANON");
    EdsDirectoryItemRef first = nullptr;
    ASSERT_EQ(s.EdsGetChildAtIndex(folder, 0, &first), kOk);
    ASSERT_EQ(s.EdsDeleteDirectoryItem(first), kOk);  // gives up the reference too
    EdsUInt32 count = 0;
    ASSERT_EQ(s.EdsGetChildCount(folder, &count), kOk);
    EXPECT_EQ(count, 4u);
    EdsVolumeRef volume = nullptr;
    ASSERT_EQ(s.EdsGetChildAtIndex(camera, 0, &volume), kOk);
    ASSERT_EQ(s.EdsFormatVolume(volume), kOk);
    ASSERT_EQ(s.EdsGetChildCount(volume, &count), kOk);
    EXPECT_EQ(count, 0u);
    EdsVolumeInfo info{};
    ASSERT_EQ(s.EdsGetVolumeInfo(volume, &info), kOk);
    EXPECT_EQ(info.freeSpaceInBytes, info.maxCapacity);
    s.EdsRelease(volume);
}

TEST_F(TransferTest, LiveViewFramesAreMovingJpegsWithMetadata) {
    EdsCameraRef camera = openCamera();
    EdsStreamRef stream = nullptr;
    ASSERT_EQ(s.EdsCreateMemoryStream(0, &stream), kOk);
    held_.push_back(stream);
    EdsEvfImageRef evf = nullptr;
    ASSERT_EQ(s.EdsCreateEvfImageRef(stream, &evf), kOk);
    held_.push_back(evf);
    EXPECT_EQ(s.EdsDownloadEvfImage(camera, evf), kObjectNotReady);  // live view not on the host
    ASSERT_EQ(setU32(camera, kPropEvfOutputDevice, kEvfOutputPc), kOk);
    EXPECT_EQ(s.EdsDownloadEvfImage(camera, evf), kObjectNotReady);  // the first frame takes a moment
    ASSERT_EQ(s.EdsDownloadEvfImage(camera, evf), kOk);
    const auto first = streamBytes(stream);
    EXPECT_TRUE(isJpeg(first));
    ASSERT_EQ(setU32(camera, kPropEvfZoom, 5), kOk);
    ASSERT_EQ(s.EdsDownloadEvfImage(camera, evf), kOk);
    const auto second = streamBytes(stream);
    EXPECT_TRUE(isJpeg(second));
    EXPECT_NE(first, second);

    std::uint32_t y[256] = {};
    ASSERT_EQ(s.EdsGetPropertyData(evf, kPropEvfHistogramY, 0, sizeof y, y), kOk);
    EXPECT_EQ(std::accumulate(y, y + 256, 0u), 640u * 424u);
    std::uint8_t zoom = 0;
    ASSERT_EQ(s.EdsGetPropertyData(evf, kPropEvfZoom, 0, 1, &zoom), kOk);
    EXPECT_EQ(zoom, 5u);
    EdsRect rect{};
    ASSERT_EQ(s.EdsGetPropertyData(evf, kPropEvfZoomRect, 0, sizeof rect, &rect), kOk);
    EXPECT_EQ(rect.size.width, 1200);
    EdsSize coord{};
    ASSERT_EQ(s.EdsGetPropertyData(evf, kPropEvfCoordinateSystem, 0, sizeof coord, &coord), kOk);
    EXPECT_EQ(coord.width, 6000);
    EdsUInt32 position = 0;
    EXPECT_EQ(s.EdsGetPropertyData(evf, kPropEvfPowerZoomCurPosition, 0, 4, &position), kPropertiesUnavailable);
    EXPECT_EQ(u32Property(camera, kPropEvfMode), 1u);
}

namespace {

// A caller's stream: the five callbacks over a vector, with 32-bit sizes as the SDK passes them.
struct VectorStream {
    std::vector<std::uint8_t> bytes;
    std::uint32_t position = 0;

    static EdsError TBX_EDS_CALL read(EdsVoid *c, EdsUInt32 size, EdsVoid *buffer, EdsUInt32 *got) {
        auto *self = static_cast<VectorStream *>(c);
        const auto n = static_cast<EdsUInt32>(std::min<std::size_t>(size, self->bytes.size() - self->position));
        std::memcpy(buffer, self->bytes.data() + self->position, n);
        self->position += n;
        *got = n;
        return 0;
    }
    static EdsError TBX_EDS_CALL write(EdsVoid *c, EdsUInt32 size, const EdsVoid *buffer, EdsUInt32 *put) {
        auto *self = static_cast<VectorStream *>(c);
        if (self->bytes.size() < self->position + size) self->bytes.resize(self->position + size);
        std::memcpy(self->bytes.data() + self->position, buffer, size);
        self->position += size;
        *put = size;
        return 0;
    }
    static EdsError TBX_EDS_CALL seek(EdsVoid *c, EdsInt32 offset, EdsSeekOrigin origin) {
        auto *self = static_cast<VectorStream *>(c);
        const std::int64_t base = origin == 1 ? 0 : origin == 2 ? static_cast<std::int64_t>(self->bytes.size()) : self->position;
        self->position = static_cast<std::uint32_t>(base + offset);
        return 0;
    }
    static EdsError TBX_EDS_CALL tell(EdsVoid *c, EdsInt32 *position) {
        *position = static_cast<EdsInt32>(static_cast<VectorStream *>(c)->position);
        return 0;
    }
    static EdsError TBX_EDS_CALL length(EdsVoid *c, EdsUInt32 *size) {
        *size = static_cast<EdsUInt32>(static_cast<VectorStream *>(c)->bytes.size());
        return 0;
    }
};

}  // namespace

TEST_F(TransferTest, CallerStreamsAndCopiesCarryTheSameBytes) {
    EdsCameraRef camera = openCamera();
    EdsDirectoryItemRef item = itemAt(camera, "DCIM/100CANON/IMG_0004.JPG");
    VectorStream target;
    EdsIStream table{&target, &VectorStream::read, &VectorStream::write, &VectorStream::seek, &VectorStream::tell,
                     &VectorStream::length};
    EdsStreamRef callerStream = nullptr;
    EdsIStream incomplete = table;
    incomplete.tell = nullptr;
    EXPECT_EQ(s.EdsCreateStream(&incomplete, &callerStream), kInvalidPointer);
    ASSERT_EQ(s.EdsCreateStream(&table, &callerStream), kOk);
    held_.push_back(callerStream);
    ASSERT_EQ(s.EdsDownloadThumbnail(item, callerStream), kOk);
    ASSERT_TRUE(isJpeg(target.bytes));
    EdsUInt64 position = 0;
    ASSERT_EQ(s.EdsGetPosition(callerStream, &position), kOk);
    EXPECT_EQ(position, target.bytes.size());

    // Copy it back out into a memory stream, with progress reported on the source.
    ASSERT_EQ(s.EdsSeek(callerStream, 0, 1), kOk);
    EdsStreamRef copy = nullptr;
    ASSERT_EQ(s.EdsCreateMemoryStream(0, &copy), kOk);
    held_.push_back(copy);
    Progress progress;
    ASSERT_EQ(s.EdsSetProgressCallback(callerStream, &Progress::callback, 1, &progress), kOk);
    ASSERT_EQ(s.EdsCopyData(callerStream, target.bytes.size(), copy), kOk);
    EXPECT_EQ(streamBytes(copy), target.bytes);
    EXPECT_EQ(progress.percents, std::vector<EdsUInt32>{100});
    EXPECT_EQ(s.EdsCopyData(callerStream, 10, copy), kStreamEndOfStream);  // nothing left to read
}

TEST_F(TransferTest, ReadOnlyFilesStayOnTheCard) {
    EdsCameraRef camera = openCamera();
    EdsDirectoryItemRef item = itemAt(camera, "DCIM/100CANON/IMG_0001.JPG");
    ASSERT_EQ(s.EdsSetAttribute(item, 1), kOk);
    EdsFileAttributes attributes = 0;
    ASSERT_EQ(s.EdsGetAttribute(item, &attributes), kOk);
    EXPECT_EQ(attributes, 1);
    EXPECT_EQ(s.EdsDeleteDirectoryItem(item), kNotSupported);  // and the reference stays the caller's
    EXPECT_EQ(s.EdsSetAttribute(item, 0x100), kInvalidParameter);
}
