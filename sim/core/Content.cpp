#include "Content.h"

#include <algorithm>
#include <cstring>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wdouble-promotion"
#pragma GCC diagnostic ignored "-Wcast-qual"
#endif
#include <stb/stb_image_write.h>
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace tbx::sim {

namespace {

// 5x7 glyphs, one byte per row, bit 4 is the leftmost column.
struct Glyph {
    char c;
    std::uint8_t rows[7];
};

constexpr Glyph kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}}, {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}}, {'_', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F}},
    {'/', {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00}}, {'#', {0x0A, 0x0A, 0x1F, 0x0A, 0x1F, 0x0A, 0x0A}},
    {'+', {0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00}}, {'(', {0x02, 0x04, 0x08, 0x08, 0x08, 0x04, 0x02}},
    {')', {0x08, 0x04, 0x02, 0x02, 0x02, 0x04, 0x08}},
};

const Glyph *glyphOf(char c)
{
    if (c >= 'a' && c <= 'z')
        c = static_cast<char>(c - 'a' + 'A');
    for (const auto &g : kFont)
        if (g.c == c)
            return &g;
    return nullptr;
}

std::uint32_t nextRandom(std::uint32_t &state)
{
    // xorshift32: deterministic filler, not cryptography.
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

void fillRandom(std::vector<std::uint8_t> &out, std::size_t from, std::uint32_t seed)
{
    std::uint32_t state = seed | 1u;
    for (std::size_t i = from; i < out.size(); ++i)
        out[i] = static_cast<std::uint8_t>(nextRandom(state) >> 24);
}

void put32be(std::vector<std::uint8_t> &out, std::size_t at, std::uint32_t v)
{
    if (at + 4 > out.size())
        return;
    out[at] = static_cast<std::uint8_t>(v >> 24);
    out[at + 1] = static_cast<std::uint8_t>(v >> 16);
    out[at + 2] = static_cast<std::uint8_t>(v >> 8);
    out[at + 3] = static_cast<std::uint8_t>(v);
}

void putText(std::vector<std::uint8_t> &out, std::size_t at, const char *text)
{
    for (std::size_t i = 0; text[i] != 0 && at + i < out.size(); ++i)
        out[at + i] = static_cast<std::uint8_t>(text[i]);
}

void appendBytes(void *context, void *data, int size)
{
    auto *out = static_cast<std::vector<std::uint8_t> *>(context);
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    out->insert(out->end(), bytes, bytes + size);
}

} // namespace

RgbImage::RgbImage(int w, int h)
    : width(std::max(w, 1)), height(std::max(h, 1)),
      pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, 0)
{}

void RgbImage::fill(int x, int y, int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    int x0 = std::clamp(x, 0, width), x1 = std::clamp(x + w, 0, width);
    int y0 = std::clamp(y, 0, height), y1 = std::clamp(y + h, 0, height);
    for (int yy = y0; yy < y1; ++yy) {
        std::uint8_t *row = pixels.data() + (static_cast<std::size_t>(yy) * static_cast<std::size_t>(width)) * 3;
        for (int xx = x0; xx < x1; ++xx) {
            row[xx * 3] = r;
            row[xx * 3 + 1] = g;
            row[xx * 3 + 2] = b;
        }
    }
}

void drawText(RgbImage &image, int x, int y, int scale, const std::string &text, std::uint8_t r, std::uint8_t g,
              std::uint8_t b)
{
    int cx = x;
    for (char c : text) {
        if (const Glyph *glyph = glyphOf(c)) {
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col)
                    if (glyph->rows[row] & (0x10 >> col))
                        image.fill(cx + col * scale, y + row * scale, scale, scale, r, g, b);
        }
        cx += 6 * scale;
    }
}

RgbImage testPattern(int width, int height, std::uint32_t seed, std::uint64_t phase, const std::string &caption)
{
    RgbImage image(width, height);
    static constexpr std::uint8_t kBars[8][3] = {{235, 235, 235}, {235, 235, 16}, {16, 235, 235}, {16, 235, 16},
                                                 {235, 16, 235},  {235, 16, 16},  {16, 16, 235},  {16, 16, 16}};
    const int bar = std::max(image.width / 8, 1);
    const int shift = static_cast<int>((phase * 4u + seed % 97u) % static_cast<std::uint64_t>(image.width));
    for (int x = 0; x < image.width; ++x) {
        const auto &c = kBars[((x + shift) / bar) % 8];
        image.fill(x, 0, 1, image.height * 2 / 3, c[0], c[1], c[2]);
    }
    // A grey ramp below the bars, so that the histogram has some spread.
    for (int x = 0; x < image.width; ++x) {
        auto v = static_cast<std::uint8_t>(x * 255 / std::max(image.width - 1, 1));
        image.fill(x, image.height * 2 / 3, 1, image.height / 3, v, v, static_cast<std::uint8_t>(255 - v));
    }
    // A square that travels across the picture, one step per frame.
    const int side = std::max(image.height / 6, 2);
    const int span = std::max(image.width - side, 1);
    const int pos = static_cast<int>((phase * 7u) % static_cast<std::uint64_t>(2 * span));
    const int mx = pos < span ? pos : 2 * span - pos;
    image.fill(mx, image.height / 3, side, side, 255, 128, 0);
    const int scale = std::max(image.height / 80, 1);
    image.fill(0, 0, image.width, 9 * scale + 4, 20, 20, 20);
    drawText(image, 2 + scale, 2 + scale, scale, caption, 255, 255, 255);
    return image;
}

std::vector<std::uint8_t> encodeJpeg(const RgbImage &image, int quality, std::size_t padTo)
{
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) / 4 + 1024);
    stbi_write_jpg_to_func(appendBytes, &out, image.width, image.height, 3, image.pixels.data(), quality);
    // Comment segments (FF FE, then a 16-bit length that counts itself) right after the start
    // marker. A segment takes 4 to 65537 bytes, so a gap of 1 to 3 bytes cannot be filled.
    if (padTo >= out.size() + 4 && out.size() >= 2) {
        std::vector<std::uint8_t> pad;
        std::size_t missing = padTo - out.size();
        while (missing > 0) {
            std::size_t seg = std::min<std::size_t>(missing, 65537);
            if (missing - seg > 0 && missing - seg < 4)
                seg -= 4;
            const auto len = static_cast<std::uint16_t>(seg - 2);
            pad.push_back(0xFF);
            pad.push_back(0xFE);
            pad.push_back(static_cast<std::uint8_t>(len >> 8));
            pad.push_back(static_cast<std::uint8_t>(len & 0xFF));
            pad.insert(pad.end(), seg - 4, static_cast<std::uint8_t>(' '));
            missing -= seg;
        }
        out.insert(out.begin() + 2, pad.begin(), pad.end());
    }
    return out;
}

Histogram histogramOf(const RgbImage &image)
{
    Histogram h;
    for (std::size_t i = 0; i + 2 < image.pixels.size(); i += 3) {
        unsigned r = image.pixels[i], g = image.pixels[i + 1], b = image.pixels[i + 2];
        ++h.r[r];
        ++h.g[g];
        ++h.b[b];
        ++h.y[(299 * r + 587 * g + 114 * b) / 1000];
    }
    return h;
}

std::optional<std::pair<int, int>> jpegSize(const std::uint8_t *data, std::size_t size)
{
    if (data == nullptr || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return std::nullopt;
    std::size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF)
            return std::nullopt;
        std::uint8_t marker = data[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        std::size_t len = static_cast<std::size_t>(data[at + 2]) << 8 | data[at + 3];
        if (len < 2 || at + 2 + len > size)
            return std::nullopt;
        bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (sof) {
            if (len < 7)
                return std::nullopt;
            int h = data[at + 5] << 8 | data[at + 6];
            int w = data[at + 7] << 8 | data[at + 8];
            if (w == 0 || h == 0)
                return std::nullopt;
            return std::make_pair(w, h);
        }
        if (marker == 0xDA || marker == 0xD9)
            return std::nullopt;
        at += 2 + len;
    }
    return std::nullopt;
}

std::vector<std::uint8_t> rawFileBytes(std::uint64_t size, std::uint32_t seed, bool isoMedia)
{
    std::vector<std::uint8_t> out(static_cast<std::size_t>(size));
    fillRandom(out, 0, seed);
    if (isoMedia) {
        put32be(out, 0, 24);
        putText(out, 4, "ftypcrx ");
        put32be(out, 12, 1);
        putText(out, 16, "crx isom");
    } else {
        putText(out, 0, "II*");
        if (out.size() > 3)
            out[3] = 0;
        if (out.size() > 8) {
            out[4] = 0x10;
            out[5] = out[6] = out[7] = 0;
            putText(out, 8, "CR");
        }
    }
    return out;
}

std::vector<std::uint8_t> movieFileBytes(std::uint64_t size, std::uint32_t seed)
{
    std::vector<std::uint8_t> out(static_cast<std::size_t>(size));
    fillRandom(out, 0, seed);
    put32be(out, 0, 24);
    putText(out, 4, "ftypmp42");
    put32be(out, 12, 0);
    putText(out, 16, "mp42isom");
    return out;
}

std::optional<RgbImage> decodeJpeg(const std::uint8_t *data, std::size_t size)
{
    if (data == nullptr || size == 0 || size > 0x7FFFFFFF)
        return std::nullopt;
    int w = 0, h = 0, channels = 0;
    stbi_uc *pixels = stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &channels, 3);
    if (pixels == nullptr)
        return std::nullopt;
    RgbImage image(w, h);
    std::memcpy(image.pixels.data(), pixels, image.pixels.size());
    stbi_image_free(pixels);
    return image;
}

std::uint32_t seedOf(const std::string &text)
{
    std::uint32_t h = 2166136261u; // FNV-1a
    for (unsigned char c : text) {
        h ^= c;
        h *= 16777619u;
    }
    return h == 0 ? 1u : h;
}

} // namespace tbx::sim
