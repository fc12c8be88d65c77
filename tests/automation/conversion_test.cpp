// Conversions between automation and control types, and the guard that turns exceptions into
// failed calls with error info.
#include "ComTest.h"
#include "Failure.h"

#include "platform/Errors.h"

namespace tbx::test {
namespace {

using namespace tbx::automation;

TEST(ConversionTest, TextIsCutAt255CharactersAndPathsAreRefusedInstead)
{
    Bstr longText(std::wstring(300, L'a'));
    EXPECT_EQ(controlText(longText.get()), std::string(255, 'a'));
    EXPECT_EQ(controlText(nullptr), "");
    EXPECT_EQ(failureOf([&] { controlPath(longText.get(), "FileName", "RemoteGetPicture"); }),
              "Parameter FileName in method RemoteGetPicture must not be longer than 255 characters");
    Bstr longest(L"C:\\" + std::wstring(252, L'p'));
    EXPECT_EQ(controlPath(longest.get(), "FileName", "GetPicture").size(), 255u);
    Bstr oneMore(L"C:\\" + std::wstring(253, L'p'));
    EXPECT_NE(failureOf([&] { controlPath(oneMore.get(), "TempDir", "OpenCameraCollection"); }), "");
}

TEST(ConversionTest, CharactersOutsideTheCodePageBecomeQuestionMarksInTextButRefusePaths)
{
    Bstr text(L"Owner \u4E2D");
    EXPECT_EQ(controlText(text.get()), "Owner ?");
    EXPECT_EQ(failureOf([&] { controlPath(text.get(), "PictureDirectory", "RemoteStartViewfinder"); }),
              "Parameter PictureDirectory in method RemoteStartViewfinder holds characters that cannot be used in "
              "a file name here");
    Bstr embeddedNul(std::wstring(L"C:\\a\0b", 6));
    EXPECT_NE(failureOf([&] { controlPath(embeddedNul.get(), "FileName", "OpenRAWObject"); }), "");
}

TEST(ConversionTest, HostTextAndFlagsRoundTrip)
{
    BSTR s = hostText("C:\\Bilder\\\xE9t\xE9.jpg"); // code page 1252 text
    EXPECT_EQ(std::wstring(s, SysStringLen(s)), L"C:\\Bilder\\\u00E9t\u00E9.jpg");
    SysFreeString(s);
    EXPECT_TRUE(controlFlag(1));
    EXPECT_TRUE(controlFlag(VARIANT_TRUE));
    EXPECT_FALSE(controlFlag(0));
    EXPECT_EQ(hostFlag(true), VARIANT_TRUE);
    EXPECT_EQ(hostFlag(false), VARIANT_FALSE);
}

TEST(ConversionTest, GuardTurnsExceptionsIntoErrorInfoAndClearsItOnSuccess)
{
    auto description = [] {
        ComRef<IErrorInfo> info;
        if (GetErrorInfo(0, info.put()) != S_OK || !info)
            return std::wstring(L"<none>");
        Bstr text, source;
        info->GetDescription(text.put());
        info->GetSource(source.put());
        EXPECT_EQ(source.text(), kProgId);
        return text.text();
    };
    EXPECT_EQ(guarded([] { throw ECamException("Camera not in remote mode"); }), E_UNEXPECTED);
    EXPECT_EQ(description(), L"Camera not in remote mode");
    EXPECT_EQ(guarded([] { throw OleError(E_ACCESSDENIED, "denied"); }), E_ACCESSDENIED);
    EXPECT_EQ(description(), L"denied");
    // A positive code is no failure: the call still fails, as E_UNEXPECTED.
    EXPECT_EQ(guarded([] { throw OleError(S_FALSE, "odd"); }), E_UNEXPECTED);
    EXPECT_EQ(guarded([] { throw 42; }), E_UNEXPECTED);
    EXPECT_EQ(description(), L"Unexpected failure");
    EXPECT_EQ(guarded([] { throw ECamException("stale"); }), E_UNEXPECTED);
    EXPECT_EQ(guarded([] {}), S_OK);
    EXPECT_EQ(description(), L"<none>");
    LONG *nowhere = nullptr;
    EXPECT_EQ(guardedOut(nowhere, [] { return LONG{1}; }), E_POINTER);
}

} // namespace
} // namespace tbx::test
