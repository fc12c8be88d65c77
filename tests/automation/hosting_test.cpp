// The control in a container: Wine's ATL window hosts it and activates it in place, a container
// draws it through IViewObject, and the about box opens and closes.
#include "ClientSupport.h"

namespace tbx::test {
namespace {

using AtlAxWinInitFn = BOOL(WINAPI *)();
using AtlAxGetControlFn = HRESULT(WINAPI *)(HWND, IUnknown **);

struct HostingTest : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(apartment.result()));
        atl = LoadLibraryW(L"atl.dll");
        ASSERT_NE(atl, nullptr);
        auto init = reinterpret_cast<AtlAxWinInitFn>(reinterpret_cast<void *>(GetProcAddress(atl, "AtlAxWinInit")));
        getControl = reinterpret_cast<AtlAxGetControlFn>(reinterpret_cast<void *>(GetProcAddress(atl, "AtlAxGetControl")));
        ASSERT_TRUE(init && getControl);
        ASSERT_TRUE(init());
        top = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr, nullptr,
                              nullptr);
        ASSERT_NE(top, nullptr);
    }
    void TearDown() override
    {
        if (top != nullptr)
            DestroyWindow(top);
        pumpUntil([] { return false; }, std::chrono::milliseconds(20));
    }
    Apartment apartment;
    HMODULE atl = nullptr;
    AtlAxGetControlFn getControl = nullptr;
    HWND top = nullptr;
};

TEST_F(HostingTest, AtlContainerActivatesTheControlInPlaceAsA32By32ChildWindow)
{
    HWND host = CreateWindowExW(0, L"AtlAxWin", kProgId, WS_CHILD | WS_VISIBLE, 10, 10, 200, 100, top, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(host, nullptr);
    pumpUntil([] { return false; }, std::chrono::milliseconds(100));
    ComRef<IUnknown> unknown;
    ASSERT_EQ(getControl(host, unknown.put()), S_OK);
    ComRef<IOleInPlaceObject> inPlace;
    ASSERT_EQ(unknown->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void **>(inPlace.put())), S_OK);
    HWND window = nullptr;
    ASSERT_EQ(inPlace->GetWindow(&window), S_OK);
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(GetParent(window), host);
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    EXPECT_STREQ(cls, L"TTetherboxActiveX");
    RECT r{};
    GetClientRect(window, &r);
    EXPECT_EQ(r.right - r.left, 32);
    EXPECT_EQ(r.bottom - r.top, 32);

    // Still a working control, and resizing the host keeps it at its size.
    ComRef<ITetherboxActiveXX> vt;
    ASSERT_EQ(unknown->QueryInterface(IID_ITetherboxActiveXX, reinterpret_cast<void **>(vt.put())), S_OK);
    FLOAT version = 0;
    EXPECT_EQ(vt->get_Version(&version), S_OK);
    EXPECT_EQ(vt->Paint(), S_OK);
    SetWindowPos(host, nullptr, 0, 0, 300, 200, SWP_NOZORDER);
    pumpUntil([] { return false; }, std::chrono::milliseconds(20));
    GetClientRect(window, &r);
    EXPECT_EQ(r.right - r.left, 32);

    ComRef<IOleObject> ole;
    ASSERT_EQ(unknown->QueryInterface(IID_IOleObject, reinterpret_cast<void **>(ole.put())), S_OK);
    DWORD misc = 0;
    ASSERT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_EQ(misc, 0x20191u);
    ole.reset();
    vt.reset();
    inPlace.reset();
    unknown.reset();
    DestroyWindow(host);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(HostingTest, ContainerDrawsTheBitmapThroughTheViewObject)
{
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(kProgId, &clsid), S_OK);
    ComRef<IViewObject2> view;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IViewObject2,
                               reinterpret_cast<void **>(view.put())),
              S_OK);
    SIZEL extent{};
    ASSERT_EQ(view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &extent), S_OK);
    EXPECT_EQ(extent.cx, 847); // 32 pixels at 96 dpi in HIMETRIC
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 64, 64);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, 64, 64};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    RECTL bounds{16, 16, 48, 48};
    ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0), S_OK);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(GetPixel(dc, 16, 16), face) << "background at the corner";
    EXPECT_EQ(GetPixel(dc, 8, 8), RGB(255, 255, 255)) << "nothing outside the bounds";
    int bitmapPixels = 0;
    for (int y = 19; y < 43; ++y)
        for (int x = 19; x < 43; ++x)
            bitmapPixels += GetPixel(dc, x, y) != face ? 1 : 0;
    EXPECT_GT(bitmapPixels, 50) << "the bitmap is drawn at (3, 3)";
    EXPECT_LT(bitmapPixels, 24 * 24) << "its key colour is transparent";
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0),
              DV_E_DVASPECT);
}

struct AboutSeen {
    bool found = false;
    RECT client{};
    std::wstring okText;
};
AboutSeen g_about;

void CALLBACK closeAbout(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND about = FindWindowW(nullptr, L"About");
    if (about == nullptr)
        return;
    KillTimer(nullptr, id);
    g_about.found = true;
    GetClientRect(about, &g_about.client);
    wchar_t text[16] = {};
    GetWindowTextW(GetDlgItem(about, IDOK), text, 16);
    g_about.okText = text;
    SendMessageW(about, WM_COMMAND, IDOK, 0);
}

TEST_F(HostingTest, AboutBoxIsModalWithItsLayoutAndClosesWithOk)
{
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(kProgId, &clsid), S_OK);
    ComRef<ITetherboxActiveXX> vt;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITetherboxActiveXX,
                               reinterpret_cast<void **>(vt.put())),
              S_OK);
    UINT_PTR timer = SetTimer(nullptr, 0, 50, closeAbout);
    ASSERT_NE(timer, 0u);
    EXPECT_EQ(vt->AboutBox(), S_OK);
    KillTimer(nullptr, timer);
    ASSERT_TRUE(g_about.found);
    EXPECT_EQ(g_about.client.right, 267);
    EXPECT_EQ(g_about.client.bottom, 127);
    EXPECT_EQ(g_about.okText, L"OK");
}

} // namespace
} // namespace tbx::test
