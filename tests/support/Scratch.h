// Scratch folders of the tests, and whole-file reads and writes in them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tbx::test {

/// A fresh, empty folder in \p root (by default the system's temporary folder), removed with all
/// it holds by the destructor. Its name carries \p prefix, the process id (test runs of other
/// build folders at the same time stay apart) and a count within the process.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string &prefix = "tbx-test", const std::filesystem::path &root = {});
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    const std::filesystem::path &path() const { return path_; }
    /// \p name inside the folder, as the code under test takes a path.
    std::string file(const std::string &name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

/// The whole content of the file at \p path; throws std::runtime_error when it cannot be read.
std::vector<std::uint8_t> readBytes(const std::string &path);
/// Replaces the content of the file at \p path; throws std::runtime_error when it cannot be written.
void writeBytes(const std::string &path, const std::vector<std::uint8_t> &bytes);

} // namespace tbx::test
