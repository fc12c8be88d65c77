// Dynamic libraries and file lookup: the vendor libraries' names mix cases, so on POSIX the last
// component of a path is matched without regard to case.
#include "TestSupport.h"

#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>

using tbx::platform::DynamicLibrary;
using tbx::platform::fileExists;
using tbx::platform::findFile;
using tbx::test::ScratchFolder;

namespace {

int callAnswer(const DynamicLibrary &library)
{
    using Answer = int (*)();
    void *symbol = library.symbol("tbxFixtureAnswer");
    if (!symbol)
        return -1;
    Answer answer = nullptr;
    static_assert(sizeof answer == sizeof symbol);
    std::memcpy(&answer, &symbol, sizeof answer);
    return answer();
}

} // namespace

TEST(DynamicLibrary, OpensLooksUpAndCloses)
{
    auto library = DynamicLibrary::open(tbx::test::fixturePath());
    ASSERT_TRUE(library) << DynamicLibrary::lastError();
    EXPECT_TRUE(DynamicLibrary::lastError().empty());
    EXPECT_EQ(callAnswer(*library), 42);
    EXPECT_EQ(library->symbol("tbxFixtureQuestion"), nullptr);
    EXPECT_EQ(library->symbol("TBXFIXTUREANSWER"), nullptr) << "symbols are exact";

    DynamicLibrary moved = std::move(*library);
    EXPECT_FALSE(library->isOpen());
    EXPECT_EQ(library->symbol("tbxFixtureAnswer"), nullptr);
    EXPECT_EQ(callAnswer(moved), 42);
    moved.close();
    EXPECT_FALSE(moved.isOpen());
    EXPECT_EQ(moved.symbol("tbxFixtureAnswer"), nullptr);
}

TEST(DynamicLibrary, MissingOrUnloadableFilesGiveNothingAndAReason)
{
    ScratchFolder dir;
    EXPECT_FALSE(DynamicLibrary::open(dir.file("NoSuchLibrary.dll")));
    EXPECT_FALSE(DynamicLibrary::lastError().empty());
    tbx::test::writeBytes(dir.file("Garbage.dll"), std::vector<std::uint8_t>(256, 0xCC));
    EXPECT_FALSE(DynamicLibrary::open(dir.file("Garbage.dll")));
    EXPECT_FALSE(DynamicLibrary::lastError().empty());
}

TEST(FindFile, ExistingFilesAndNotDirectories)
{
    ScratchFolder dir;
    tbx::test::writeBytes(dir.file("Present.dat"), {1});
    std::filesystem::create_directory(dir.path() / "Folder.dll");
    EXPECT_EQ(findFile(dir.file("Present.dat")), dir.file("Present.dat"));
    EXPECT_TRUE(fileExists(dir.file("Present.dat")));
    EXPECT_FALSE(fileExists(dir.file("Folder.dll")));
    EXPECT_FALSE(fileExists(dir.file("Absent.dat")));
    EXPECT_FALSE(fileExists(""));
    EXPECT_FALSE(findFile(dir.file("Nowhere") + "/Present.dat"));
}

#ifndef _WIN32

TEST(FindFile, LastComponentMatchesWithoutRegardToCase)
{
    ScratchFolder dir;
    tbx::test::writeBytes(dir.file("EdsImage.DLL"), {1});
    EXPECT_EQ(findFile(dir.file("EDSIMAGE.dll")), dir.file("EdsImage.DLL"));
    EXPECT_TRUE(fileExists(dir.file("edsimage.dll")));
    // Only the last component: the folders must be spelt as they are.
    const std::string folder = dir.path().filename().string();
    std::string shouted = dir.path().parent_path().string() + "/";
    for (char c : folder)
        shouted += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_FALSE(fileExists(shouted + "/EdsImage.DLL"));
    // A directory that matches by case is not a file.
    std::filesystem::create_directory(dir.path() / "edsimage.dl");
    EXPECT_FALSE(fileExists(dir.file("EDSIMAGE.DL")));
}

TEST(FindFile, NamesDifferingOnlyInCaseResolveTheSameWayEveryTime)
{
    ScratchFolder dir;
    tbx::test::writeBytes(dir.file("sdk.dll"), {1});
    tbx::test::writeBytes(dir.file("SDK.DLL"), {2});
    tbx::test::writeBytes(dir.file("Sdk.dll"), {3});
    // Exact spellings win; otherwise the first name in byte order.
    EXPECT_EQ(findFile(dir.file("Sdk.dll")), dir.file("Sdk.dll"));
    EXPECT_EQ(findFile(dir.file("sDK.dll")), dir.file("SDK.DLL"));
}

TEST(DynamicLibrary, OpensAFileWhoseNameDiffersInCase)
{
    ScratchFolder dir;
    std::filesystem::copy_file(tbx::test::fixturePath(), dir.path() / "PSG7XMK2SDK.DLL");
    auto library = DynamicLibrary::open(dir.file("psg7xmk2sdk.dll"));
    ASSERT_TRUE(library) << DynamicLibrary::lastError();
    EXPECT_EQ(callAnswer(*library), 42);
    EXPECT_EQ(tbx::platform::fileVersion(dir.file("Psg7xMk2Sdk.Dll")),
              (tbx::platform::FileVersion{3, 14, 15, 9265}));

    // A bare name means the current folder, not the loader's search path.
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    auto relative = DynamicLibrary::open("Psg7xMk2Sdk.dll");
    std::filesystem::current_path(cwd);
    ASSERT_TRUE(relative) << DynamicLibrary::lastError();
    EXPECT_EQ(callAnswer(*relative), 42);
}

#endif // !_WIN32
