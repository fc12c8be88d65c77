#include "Scratch.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tbx::test {

namespace fs = std::filesystem;

namespace {

unsigned long processId()
{
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(::getpid());
#endif
}

} // namespace

ScratchFolder::ScratchFolder(const std::string &prefix, const fs::path &root)
{
    static std::atomic<unsigned> count{0};
    path_ = (root.empty() ? fs::temp_directory_path() : root) /
            (prefix + "-" + std::to_string(processId()) + "-" + std::to_string(count++));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::vector<std::uint8_t> readBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string &path, const std::vector<std::uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

} // namespace tbx::test
