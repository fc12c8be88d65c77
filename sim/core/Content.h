// Generated file content of the virtual cameras: JPEG pictures, thumbnails and live-view frames
// (a test pattern with a caption), RAW and movie files (recognisable headers, then
// deterministic filler), and the histograms that come with live-view frames.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tbx::sim {

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // width * height * 3, rows top down

    RgbImage(int w, int h);
    void fill(int x, int y, int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b);
};

/// Draws \a text (digits, upper-case letters and " .:-_/#+()") with a 5x7 font, each dot
/// \a scale pixels wide. Other characters are drawn as blanks.
void drawText(RgbImage &image, int x, int y, int scale, const std::string &text, std::uint8_t r, std::uint8_t g,
              std::uint8_t b);

/// Colour bars shifted by \a phase, a moving marker and \a caption on a dark band.
RgbImage testPattern(int width, int height, std::uint32_t seed, std::uint64_t phase, const std::string &caption);

/// Baseline JPEG of \a image. When \a padTo is larger than the encoded size, comment segments
/// are inserted after the start marker until the file has exactly that size.
std::vector<std::uint8_t> encodeJpeg(const RgbImage &image, int quality, std::size_t padTo = 0);

struct Histogram {
    std::array<std::uint32_t, 256> y{}, r{}, g{}, b{};
};
Histogram histogramOf(const RgbImage &image);

/// Width and height from the first start-of-frame marker; empty when the data is no JPEG or is
/// cut short.
std::optional<std::pair<int, int>> jpegSize(const std::uint8_t *data, std::size_t size);

/// Deterministic bytes of a RAW (TIFF-like "II*" header, or an ISO media box for CR3-style
/// names) or movie file (ISO media "ftyp" box) of exactly \a size bytes.
std::vector<std::uint8_t> rawFileBytes(std::uint64_t size, std::uint32_t seed, bool isoMedia);
std::vector<std::uint8_t> movieFileBytes(std::uint64_t size, std::uint32_t seed);

/// A stable seed from a text (file names, camera ids).
std::uint32_t seedOf(const std::string &text);

} // namespace tbx::sim

namespace tbx::sim {
/// Decodes a JPEG into RGB; empty when the data is not a JPEG the decoder understands.
std::optional<RgbImage> decodeJpeg(const std::uint8_t *data, std::size_t size);
} // namespace tbx::sim
