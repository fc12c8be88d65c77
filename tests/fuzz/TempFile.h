// A scratch file for targets whose parser reads files, in a scratch folder removed at exit.
#pragma once

#include "FuzzTarget.h"
#include "Scratch.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

namespace tbx::fuzz {

class ScratchFile {
public:
    explicit ScratchFile(const std::string &name) : dir_("tbx-fuzz-" + name, scratchRoot()), path_(dir_.file(name)) {}

    const std::string &path() const { return path_; }

    /// Replaces the file's content with \p size bytes at \p data.
    void write(const std::uint8_t *data, std::size_t size) const
    {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        if (size > 0)
            out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
        out.close();
        TBX_FUZZ_EXPECT(!out.fail());
    }

    Bytes read() const
    {
        std::ifstream in(path_, std::ios::binary);
        return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

private:
    /// Memory-backed when the system has such a folder: thousands of small files per second on
    /// a disk would spend the time budget on the disk instead of on the parser.
    static std::filesystem::path scratchRoot()
    {
        std::error_code ec;
        if (std::getenv("TMPDIR") == nullptr && std::filesystem::is_directory("/dev/shm", ec) &&
            ::access("/dev/shm", W_OK) == 0)
            return "/dev/shm";
        return std::filesystem::temp_directory_path();
    }

    test::ScratchFolder dir_;
    std::string path_;
};

} // namespace tbx::fuzz
