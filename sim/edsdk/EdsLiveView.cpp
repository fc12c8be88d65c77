// The stand-in's images and live-view frames.
#include "EdsCall.h"

using namespace tbx::sim;
using namespace tbx::sim::eds;

// -------------------------------------------------------------------------------------------------
// Images
// -------------------------------------------------------------------------------------------------

EDSAPI EdsCreateImageRef(EdsStreamRef inStreamRef, EdsImageRef *outImageRef)
{
    Call call("EdsCreateImageRef");
    call.ref(inStreamRef).ptr(outImageRef);
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        auto *stream = lib.as<StreamObject>(inStreamRef, Kind::Stream);
        if (stream == nullptr)
            return kInvalidHandle;
        if (outImageRef == nullptr)
            return kInvalidPointer;
        *outImageRef = nullptr;
        std::vector<std::uint8_t> bytes;
        if (EdsError e = stream->readAll(bytes))
            return e;
        auto size = jpegSize(bytes.data(), bytes.size());
        if (!size)
            return kFileFormatUnrecognized;
        auto *image = lib.objects().adopt(new ImageObject);
        image->stream = stream;
        ++stream->refs;
        image->bytes = std::move(bytes);
        image->width = size->first;
        image->height = size->second;
        *outImageRef = handleOf(image);
        return kOk;
    });
}

namespace {
bool sourceSize(const ImageObject &image, EdsImageSource source, int &w, int &h)
{
    if (source == 0 || source == 2) {
        w = image.width;
        h = image.height;
        return true;
    }
    if (source == 1) {
        w = 160;
        h = std::max(1, 160 * image.height / std::max(image.width, 1));
        return true;
    }
    return false; // RAW sources: the stand-in's images are JPEG
}
} // namespace

EDSAPI EdsGetImageInfo(EdsImageRef inImageRef, EdsImageSource inImageSource, EdsImageInfo *outImageInfo)
{
    Call call("EdsGetImageInfo");
    call.ref(inImageRef).args().dec(inImageSource).ptr(outImageInfo);
    return call.run([&]() -> EdsError {
        auto *image = library().as<ImageObject>(inImageRef, Kind::Image);
        if (image == nullptr)
            return kInvalidHandle;
        if (outImageInfo == nullptr)
            return kInvalidPointer;
        int w = 0, h = 0;
        if (!sourceSize(*image, inImageSource, w, h))
            return kNotSupported;
        std::memset(outImageInfo, 0, sizeof *outImageInfo);
        outImageInfo->width = static_cast<EdsUInt32>(w);
        outImageInfo->height = static_cast<EdsUInt32>(h);
        outImageInfo->numOfComponents = 3;
        outImageInfo->componentDepth = 8;
        outImageInfo->effectiveRect = EdsRect{{0, 0}, {w, h}};
        return kOk;
    });
}

EDSAPI EdsGetImage(EdsImageRef inImageRef, EdsImageSource inImageSource, EdsTargetImageType inImageType,
                   EdsRect inSrcRect, EdsSize inDstSize, EdsStreamRef outStreamRef)
{
    Call call("EdsGetImage");
    call.ref(inImageRef)
        .args()
        .dec(inImageSource)
        .dec(inImageType)
        .dec(inSrcRect.point.x)
        .dec(inSrcRect.point.y)
        .dec(inSrcRect.size.width)
        .dec(inSrcRect.size.height)
        .dec(inDstSize.width)
        .dec(inDstSize.height);
    call.ref(outStreamRef);
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        auto *image = lib.as<ImageObject>(inImageRef, Kind::Image);
        auto *out = lib.as<StreamObject>(outStreamRef, Kind::Stream);
        if (image == nullptr || out == nullptr)
            return kInvalidHandle;
        if (inImageType != 1 && inImageType != 9)
            return kNotSupported;
        int w = 0, h = 0;
        if (!sourceSize(*image, inImageSource, w, h))
            return kNotSupported;
        const EdsRect &r = inSrcRect;
        if (r.point.x < 0 || r.point.y < 0 || r.size.width <= 0 || r.size.height <= 0 || r.point.x + r.size.width > w ||
            r.point.y + r.size.height > h || inDstSize.width <= 0 || inDstSize.height <= 0 || inDstSize.width > 8192 ||
            inDstSize.height > 8192)
            return kInvalidParameter;
        auto decoded = decodeJpeg(image->bytes.data(), image->bytes.size());
        if (!decoded)
            return kFileFormatUnrecognized;
        // Nearest-neighbour sampling of the source rectangle, mapped onto the source picture.
        RgbImage result(inDstSize.width, inDstSize.height);
        for (int y = 0; y < result.height; ++y)
            for (int x = 0; x < result.width; ++x) {
                const int sx = (r.point.x + x * r.size.width / result.width) * decoded->width / w;
                const int sy = (r.point.y + y * r.size.height / result.height) * decoded->height / h;
                const std::size_t from = (static_cast<std::size_t>(std::min(sy, decoded->height - 1)) *
                                              static_cast<std::size_t>(decoded->width) +
                                          static_cast<std::size_t>(std::min(sx, decoded->width - 1))) *
                                         3;
                const std::size_t to = (static_cast<std::size_t>(y) * static_cast<std::size_t>(result.width) +
                                        static_cast<std::size_t>(x)) *
                                       3;
                std::memcpy(result.pixels.data() + to, decoded->pixels.data() + from, 3);
            }
        const std::vector<std::uint8_t> bytes = inImageType == 1 ? encodeJpeg(result, 90) : result.pixels;
        std::uint64_t written = 0;
        return out->write(bytes.data(), bytes.size(), &written);
    });
}

// -------------------------------------------------------------------------------------------------
// Live view
// -------------------------------------------------------------------------------------------------

EDSAPI EdsCreateEvfImageRef(EdsStreamRef inStreamRef, EdsEvfImageRef *outEvfImageRef)
{
    Call call("EdsCreateEvfImageRef");
    call.ref(inStreamRef).ptr(outEvfImageRef);
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        auto *stream = lib.as<StreamObject>(inStreamRef, Kind::Stream);
        if (stream == nullptr)
            return kInvalidHandle;
        if (outEvfImageRef == nullptr)
            return kInvalidPointer;
        auto *evf = lib.objects().adopt(new EvfObject);
        evf->stream = stream;
        ++stream->refs;
        *outEvfImageRef = handleOf(evf);
        return kOk;
    });
}

EDSAPI EdsDownloadEvfImage(EdsCameraRef inCameraRef, EdsEvfImageRef inEvfImageRef)
{
    Call call("EdsDownloadEvfImage");
    call.ref(inCameraRef);
    call.ref(inEvfImageRef);
    return call.run([&]() -> EdsError {
        EosLibrary &lib = library();
        auto *cam = lib.as<CameraObject>(inCameraRef, Kind::Camera);
        auto *evf = lib.as<EvfObject>(inEvfImageRef, Kind::Evf);
        if (cam == nullptr || evf == nullptr)
            return kInvalidHandle;
        if (EdsError e = ready(cam, true, true))
            return e;
        return lib.liveViewFrame(cam->camera, *evf);
    });
}
