// TEDSDK: one live-view frame per call, with what the frame carries (zoom position and
// rectangle, image position, coordinate system, the four histograms, zoom and power-zoom
// positions). Every SDK object a call creates is released before it returns, on every path.
#include "drivers/eos/TEDSDK.h"

#include "platform/Errors.h"
#include "sdk/EdsErrors.h"

#include <cstring>
#include <exception>
#include <limits>

namespace tbx::eos {

using namespace tbx::sdk;

namespace {

/// EdsRelease answers the new reference count, or this for a reference it does not know.
constexpr EdsUInt32 kReleaseFailed = 0xFFFFFFFFu;

// Histogram blocks in the order of the metadata record.
constexpr EdsPropertyID kHistogramProperties[4] = {
    kEdsPropID_Evf_HistogramB,
    kEdsPropID_Evf_HistogramR,
    kEdsPropID_Evf_HistogramG,
    kEdsPropID_Evf_HistogramY,
};

/// Reads property \p id of the live-view image into \p value; false when the read fails.
template <class T>
bool readImageProperty(const EdsCalls &sdk, EdsEvfImageRef image, EdsPropertyID id, T &value)
{
    return sdk.eds().EdsGetPropertyData(image, id, 0, sizeof value, &value) == EDS_ERR_OK;
}

/// Copies what the frame carries into \p m, field by field, as far as each read succeeds.
void readFrameMetadata(const EdsCalls &sdk, EdsEvfImageRef image, ViewfinderPositionType &m)
{
    // The positions belong to this frame alone: cleared first, so a failed read leaves zeros.
    m.setZoomPosition(PointType{});
    m.ZoomRect = RectType{};
    m.ImagePosition = PointType{};
    m.CoordSystem = SizeType{};
    if (EdsPoint p{}; readImageProperty(sdk, image, kEdsPropID_Evf_ZoomPosition, p))
        m.setZoomPosition(PointType{p.x, p.y});
    if (EdsRect r{}; readImageProperty(sdk, image, kEdsPropID_Evf_ZoomRect, r))
        m.ZoomRect = RectType{r.point.x, r.point.y, r.size.width, r.size.height};
    if (EdsPoint p{}; readImageProperty(sdk, image, kEdsPropID_Evf_ImagePosition, p))
        m.ImagePosition = PointType{p.x, p.y};
    if (EdsSize s{}; readImageProperty(sdk, image, kEdsPropID_Evf_CoordinateSystem, s))
        m.CoordSystem = SizeType{s.width, s.height};

    // The histograms and zoom values keep what the last frame had when a read fails.
    for (std::size_t block = 0; block < std::size(kHistogramProperties); ++block) {
        std::uint32_t levels[256];
        static_assert(sizeof levels == sizeof m.Histogram[0]);
        if (readImageProperty(sdk, image, kHistogramProperties[block], levels))
            std::memcpy(m.Histogram[block], levels, sizeof levels);
    }
    // The zoom is a 32-bit property: read whole, kept as its low byte.
    if (EdsUInt32 zoom = 0; readImageProperty(sdk, image, kEdsPropID_Evf_Zoom, zoom))
        m.Zoom = static_cast<std::uint8_t>(zoom & 0xFF);
    if (EdsInt32 v = 0; readImageProperty(sdk, image, kEdsPropID_Evf_PowerZoom_CurPosition, v))
        m.PowerZoom.Current = v;
    if (EdsInt32 v = 0; readImageProperty(sdk, image, kEdsPropID_Evf_PowerZoom_MinPosition, v))
        m.PowerZoom.Min = v;
    if (EdsInt32 v = 0; readImageProperty(sdk, image, kEdsPropID_Evf_PowerZoom_MaxPosition, v))
        m.PowerZoom.Max = v;
}

/// Copies the frame's bytes out of \p stream.
void readFrameBytes(const EdsCalls &sdk, EdsStreamRef stream, JpegBlob &jpeg)
{
    void *data = nullptr;
    sdk.raiseOnError("EdsGetPointer", sdk.eds().EdsGetPointer(stream, &data));
    EdsUInt64 length = 0;
    sdk.raiseOnError("EdsGetLength", sdk.eds().EdsGetLength(stream, &length));
    if (length > std::numeric_limits<std::size_t>::max() || (length > 0 && data == nullptr))
        throw ECamException("EdsGetPointer gave no frame data for a frame of " + std::to_string(length) + " bytes");
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    jpeg.assign(bytes, bytes + static_cast<std::size_t>(length));
}

/// Releases \p ref (when there is one) through the error check; a failure is raised unless the
/// call already failed, whose failure is kept.
void releaseInto(const EdsCalls &sdk, std::exception_ptr &failure, const char *label, EdsBaseRef ref) noexcept
{
    if (ref == nullptr)
        return;
    try {
        const EdsUInt32 count = sdk.eds().EdsRelease(ref);
        if (count == kReleaseFailed)
            sdk.raiseOnError(label, count);
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
}

} // namespace

std::uint32_t TEDSDK::DownloadViewfinderFrame(JpegBlob &jpeg, ViewfinderPositionType &metadata)
{
    EdsStreamRef stream = nullptr;
    EdsEvfImageRef image = nullptr;
    EdsError result = EDS_ERR_OK;
    std::exception_ptr failure;
    try {
        // A failed create hands back nothing to release, whatever it left in the out-parameter.
        if (const EdsError e = eds().EdsCreateMemoryStream(0, &stream); e != EDS_ERR_OK) {
            stream = nullptr;
            raiseOnError("EdsCreateMemoryStream", e);
        }
        if (const EdsError e = eds().EdsCreateEvfImageRef(stream, &image); e != EDS_ERR_OK) {
            image = nullptr;
            raiseOnError("EdsCreateEvfImageRef", e);
        }
        result = eds().EdsDownloadEvfImage(Camera(), image);
        if (result == EDS_ERR_OK) {
            readFrameMetadata(*this, image, metadata);
            readFrameBytes(*this, stream, jpeg);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    // Exactly what was created goes back, the image first (it holds on to the stream).
    releaseInto(*this, failure, "EdsRelease(evfImage)", image);
    releaseInto(*this, failure, "EdsRelease(stream)", stream);
    if (failure)
        std::rethrow_exception(failure);
    return result;
}

std::string TEDSDK::ViewfinderErrorText(std::uint32_t result) const
{
    return std::string(sdk_.errorText(result));
}

} // namespace tbx::eos
