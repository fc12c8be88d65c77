// Helpers shared by the platform tests: the versioned fixture library, scratch folders, files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tbx::test {

/// The fixture library built beside the tests (version 3.14.15.9265, exports tbxFixtureAnswer).
std::string fixturePath();

/// A fresh, empty folder removed again by the destructor.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    const std::filesystem::path &path() const { return path_; }
    /// \a name inside the folder, as the platform layer takes it.
    std::string file(const std::string &name) const;

private:
    std::filesystem::path path_;
};

std::vector<std::uint8_t> readBytes(const std::string &path);
void writeBytes(const std::string &path, const std::vector<std::uint8_t> &bytes);

} // namespace tbx::test
