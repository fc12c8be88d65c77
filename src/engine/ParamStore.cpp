#include "engine/ParamStore.h"

#include "platform/Errors.h"
#include "platform/Platform.h"

#include <atomic>
#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace tbx {

static_assert(std::endian::native == std::endian::little,
              "the stored files are the records' little-endian memory images");

namespace {

void putInt32(std::uint8_t *to, std::int32_t value)
{
    const auto u = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        to[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

std::int32_t getInt32(const std::uint8_t *from)
{
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= static_cast<std::uint32_t>(from[i]) << (8 * i);
    return static_cast<std::int32_t>(u);
}

std::filesystem::path toPath(const std::string &fileName)
{
    return platform::hostPath(fileName);
}

// Writes \p bytes under a temporary name beside \p fileName, then renames it over \p fileName.
// A failure removes the temporary file and leaves an existing \p fileName as it was.
void writeFileReplacing(const std::string &fileName, const std::uint8_t *bytes, std::size_t size)
{
    // Unique per process (salt) and per call (counter), so concurrent writers never share one.
    static const unsigned salt = std::random_device{}();
    static std::atomic<unsigned> counter{0};
    const std::string tempName =
        fileName + ".tbx-" + std::to_string(salt) + "-" + std::to_string(counter.fetch_add(1)) + ".tmp";
    bool written = false;
    {
        std::ofstream out(toPath(tempName), std::ios::binary | std::ios::trunc);
        if (out) {
            out.write(reinterpret_cast<const char *>(bytes), static_cast<std::streamsize>(size));
            out.close();
            written = !out.fail();
        }
    }
    std::error_code ec;
    if (!written) {
        std::filesystem::remove(toPath(tempName), ec);
        throw EInOutError("Could not write file " + fileName);
    }
    std::filesystem::rename(toPath(tempName), toPath(fileName), ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(toPath(tempName), ignored);
        throw EInOutError("Could not replace file " + fileName);
    }
}

// Reads at most \p limit bytes from the start of \p fileName (fewer when the file is shorter).
// Raises EInOutError naming the file when it cannot be opened or read.
std::vector<std::uint8_t> readFileStart(const std::string &fileName, std::size_t limit)
{
    std::ifstream in(toPath(fileName), std::ios::binary);
    if (!in)
        throw EInOutError("Could not open file " + fileName + " for reading");
    std::vector<std::uint8_t> bytes(limit);
    in.read(reinterpret_cast<char *>(bytes.data()), static_cast<std::streamsize>(limit));
    if (in.bad())
        throw EInOutError("Could not read file " + fileName);
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Camera remote parameter file
// ---------------------------------------------------------------------------------------------

std::array<std::uint8_t, kRemoteParamsFileSize> EncodeRemoteParamsFile(const RemoteParamsType &params)
{
    std::array<std::uint8_t, kRemoteParamsFileSize> bytes{};
    putInt32(bytes.data(), kRemoteParamsRecordLength);
    std::memcpy(bytes.data() + 4, &params, sizeof params);
    return bytes;
}

std::optional<RemoteParamsType> DecodeRemoteParamsFile(std::span<const std::uint8_t> content)
{
    if (content.size() < kRemoteParamsFileSize || getInt32(content.data()) != kRemoteParamsRecordLength)
        return std::nullopt;
    RemoteParamsType params{};
    std::memcpy(&params, content.data() + 4, sizeof params);
    return params;
}

RemoteParamsType ReadRemoteParamsFile(const std::string &fileName)
{
    const auto params = DecodeRemoteParamsFile(readFileStart(fileName, kRemoteParamsFileSize));
    if (!params)
        throw ECamException("Camera remote parameters file " + fileName +
                            " is of invalid data format. Please create a " + "new file.");
    return *params;
}

void WriteRemoteParamsFile(const std::string &fileName, const RemoteParamsType &params)
{
    const auto bytes = EncodeRemoteParamsFile(params);
    writeFileReplacing(fileName, bytes.data(), bytes.size());
}

// ---------------------------------------------------------------------------------------------
// Probe cache file
// ---------------------------------------------------------------------------------------------

bool LoadRemoteParamSupportCache(const std::string &fileName, RemoteParamSupportType &record) noexcept
{
    try {
        const auto content = readFileStart(fileName, kParamSupportCacheFileSize);
        if (content.size() < kParamSupportCacheFileSize ||
            getInt32(content.data()) != kParamSupportCacheFormat)
            return false;
        std::memcpy(&record, content.data() + 4, sizeof record);
        return true;
    } catch (...) {
        return false;
    }
}

void SaveRemoteParamSupportCache(const std::string &fileName, const RemoteParamSupportType &record)
{
    // Cut from the host's own spelling: a path turned back into a string would not be in the
    // host's code page any more.
    const std::size_t cut = fileName.find_last_of("\\/");
    const std::string folder = cut == std::string::npos ? std::string() : fileName.substr(0, cut);
    if (!folder.empty() && !platform::createDirectories(folder))
        throw EInOutError("Could not create the folder of file " + fileName);
    std::array<std::uint8_t, kParamSupportCacheFileSize> bytes{};
    putInt32(bytes.data(), kParamSupportCacheFormat);
    std::memcpy(bytes.data() + 4, &record, sizeof record);
    writeFileReplacing(fileName, bytes.data(), bytes.size());
}

bool TrySaveRemoteParamSupportCache(const std::string &fileName,
                                    const RemoteParamSupportType &record) noexcept
{
    try {
        SaveRemoteParamSupportCache(fileName, record);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace tbx
