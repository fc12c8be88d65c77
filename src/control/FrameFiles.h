// The live-view frame files of one control: a directory, a random base number drawn once per
// control, and a counter that rotates the names through base+0 .. base+100.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tbx {

/// \context Not synchronised: the control guards it with its frame lock.
class FrameFiles {
public:
    static constexpr int kNames = 101;          ///< names base+0 .. base+100
    static constexpr std::uint32_t kBaseRange = 100000000; ///< bases 0 .. 99999999
    static constexpr std::int64_t kDeleteBudgetMs = 2000;
    static constexpr std::int64_t kDeleteRetryMs = 100;

    /// Draws the base from a generator that is seeded once per process, so controls created in
    /// the same clock tick still get different bases.
    FrameFiles();

    std::uint32_t base() const { return base_; }
    int counter() const { return counter_; }
    const std::string &directory() const { return directory_; }
    void setDirectory(std::string directory) { directory_ = std::move(directory); }
    /// True once a directory was given (an empty one would put the files in the root).
    bool hasDirectory() const { return !directory_.empty(); }

    /// The file name of name slot \p slot (0..100): directory, separator, base + slot, ".jpg".
    std::string nameOf(int slot) const;
    /// The name for the next frame; advances the rotation.
    std::string takeNextName();

    /// Creates or replaces \p fileName with \p data. False when the file could not be written
    /// completely (nothing is raised; the file is closed in any case).
    static bool write(const std::string &fileName, std::span<const std::uint8_t> data);

    /// Deletes every name slot of the current directory. A name that exists but cannot be deleted
    /// is retried every 100 ms while the waiting of this whole call stays below 2000 ms; after
    /// that every remaining name gets one attempt. Returns the number of names left behind.
    int removeAll() const;

private:
    std::string directory_;
    std::uint32_t base_ = 0;
    int counter_ = 0;
};

} // namespace tbx
