// Shared helpers of the SDK-layer tests: where the test libraries live and how to expect an
// exception with an exact message.
#pragma once

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

/// The message of the exception of type \p E that \p action raises; fails the test when it raises
/// nothing or something else.
template <typename E, typename Action>
std::string messageOf(Action &&action)
{
    try {
        action();
    } catch (const E &error) {
        return error.what();
    } catch (const std::exception &other) {
        ADD_FAILURE() << "unexpected exception: " << other.what();
        return {};
    }
    ADD_FAILURE() << "no exception";
    return {};
}

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
