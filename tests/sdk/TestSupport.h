// Shared helpers of the SDK-layer tests: where the test libraries live and the current folder
// for a test's lifetime.
#pragma once

#include "Failure.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tbx::sdk::test {

/// A folder of test libraries built beside the tests (see CMakeLists.txt).
inline std::string fixture(const std::string &folder)
{
    return std::string(TBX_SDK_FIXTURES) + "/" + folder;
}

/// \p folder joined with \p file the way the loader joins them.
inline std::string joined(const std::string &folder, const std::string &file)
{
    return folder + platform::kDirSeparator + file;
}

using tbx::test::failureOf;

/// Makes \p folder the current directory for the lifetime of the object.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string &folder) : saved_(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~CurrentDirectory() { std::filesystem::current_path(saved_); }
    CurrentDirectory(const CurrentDirectory &) = delete;
    CurrentDirectory &operator=(const CurrentDirectory &) = delete;

private:
    std::filesystem::path saved_;
};

inline const std::string kIncorrectVersionTail =
    " is of incorrect file version. Please update the redist files from TTetherbox zip-file";

} // namespace tbx::sdk::test
