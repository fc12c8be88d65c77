// The about box: a small modal dialog without owner, laid out in pixels at 96 dots per inch.
#include "automation/Module.h"
#include "automation/TetherboxActiveXX.h"

#include <cstring>

namespace tbx::automation {
namespace {

constexpr int kClientWidth = 267;
constexpr int kClientHeight = 127;

/// Shows the control's glyph like a flat speed button: the bitmap on the button face.
LRESULT CALLBACK glyphProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    if (auto bitmap = static_cast<HBITMAP>(LoadImageW(moduleInstance(), L"TTETHERBOXACTIVEX", IMAGE_BITMAP, 0, 0, 0))) {
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BITMAP info{};
        GetObjectW(bitmap, sizeof info, &info);
        TransparentBlt(dc, (r.right - 16) / 2, (r.bottom - 16) / 2, 16, 16, memory, 0, 0, info.bmWidth,
                       info.bmHeight, GetPixel(memory, 0, info.bmHeight - 1));
        SelectObject(memory, old);
        DeleteDC(memory);
        DeleteObject(bitmap);
    }
    EndPaint(hwnd, &ps);
    return 0;
}

struct AboutState {
    HFONT bold = nullptr;
    HFONT normal = nullptr;
};

HWND child(HWND parent, const wchar_t *cls, const wchar_t *text, DWORD style, int x, int y, int w, int h, int id,
           HFONT font)
{
    HWND hwnd = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), moduleInstance(), nullptr);
    if (hwnd != nullptr && font != nullptr)
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return hwnd;
}

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *state = reinterpret_cast<AboutState *>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        state = reinterpret_cast<AboutState *>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
        SetWindowTextW(dialog, L"About");
        RECT frame{0, 0, kClientWidth, kClientHeight};
        AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)));
        const int w = frame.right - frame.left, h = frame.bottom - frame.top;
        SetWindowPos(dialog, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2,
                     w, h, SWP_NOZORDER);
        state->bold = CreateFontW(-13, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
        state->normal = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        static const wchar_t glyphClass[] = L"TetherboxAboutGlyph";
        WNDCLASSW wc{};
        wc.lpfnWndProc = glyphProc;
        wc.hInstance = moduleInstance();
        wc.lpszClassName = glyphClass;
        RegisterClassW(&wc); // fails harmlessly when already registered
        child(dialog, glyphClass, L"", 0, 48, 16, 23, 22, 100, nullptr);
        child(dialog, L"STATIC", L"TetherboxActiveXX", SS_LEFT, 80, 16, 180, 16, 101, state->bold);
        child(dialog, L"STATIC", L"Description", SS_LEFT, 80, 34, 180, 16, 102, state->normal);
        child(dialog, L"STATIC", L"Camera remote control for EOS and PowerShot cameras", SS_LEFT, 56, 72, 205, 16,
              103, state->normal);
        HWND ok = child(dialog, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 96, 96, 75, 25, IDOK, state->normal);
        SetFocus(ok);
        return FALSE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        EndDialog(dialog, IDOK);
        return TRUE;
    case WM_DESTROY:
        if (state != nullptr && state->bold != nullptr) {
            DeleteObject(state->bold);
            state->bold = nullptr;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

void showAboutBox()
{
    // An empty dialog template; the controls are placed in pixels when it opens.
    struct alignas(DWORD) Template {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } tpl{};
    tpl.header.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    tpl.header.cx = 100;
    tpl.header.cy = 50;
    AboutState state;
    INT_PTR result = DialogBoxIndirectParamW(moduleInstance(), &tpl.header, nullptr, aboutProc,
                                             reinterpret_cast<LPARAM>(&state));
    if (state.bold != nullptr)
        DeleteObject(state.bold);
    if (result == -1)
        throw OleError(HRESULT_FROM_WIN32(GetLastError()), "The about box could not be shown");
}

} // namespace tbx::automation
