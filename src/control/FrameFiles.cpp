#include "control/FrameFiles.h"

#include "platform/Platform.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>

namespace tbx {

namespace {

std::uint32_t drawBase()
{
    static std::mutex mutex;
    static std::mt19937 generator = [] {
        std::random_device device;
        const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
        std::seed_seq seed{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32), device()};
        return std::mt19937(seed);
    }();
    std::uniform_int_distribution<std::uint32_t> range(0, FrameFiles::kBaseRange - 1);
    std::lock_guard lock(mutex);
    return range(generator);
}

/// True when nothing of that name is there any more (or it was never there).
bool removeEntry(const std::filesystem::path &path)
{
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec)))
        return true;
    std::filesystem::remove(path, ec);
    return !ec && !std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

} // namespace

FrameFiles::FrameFiles() : base_(drawBase()) {}

std::string FrameFiles::nameOf(int slot) const
{
    return directory_ + platform::kDirSeparator + std::to_string(base_ + static_cast<std::uint32_t>(slot)) + ".jpg";
}

std::string FrameFiles::takeNextName()
{
    std::string name = nameOf(counter_);
    if (++counter_ >= kNames)
        counter_ = 0;
    return name;
}

bool FrameFiles::write(const std::string &fileName, std::span<const std::uint8_t> data)
{
    try {
        std::ofstream out(platform::hostPath(fileName), std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out.write(reinterpret_cast<const char *>(data.data()), static_cast<std::streamsize>(data.size()));
        out.close();
        return !out.fail();
    } catch (...) {
        return false;
    }
}

int FrameFiles::removeAll() const
{
    std::int64_t waited = 0;
    int leftBehind = 0;
    for (int slot = 0; slot < kNames; ++slot) {
        const std::filesystem::path path = platform::hostPath(nameOf(slot));
        bool gone = removeEntry(path);
        while (!gone && waited < kDeleteBudgetMs) {
            platform::sleepMs(kDeleteRetryMs);
            waited += kDeleteRetryMs;
            gone = removeEntry(path);
        }
        if (!gone)
            ++leftBehind;
    }
    return leftBehind;
}

} // namespace tbx
