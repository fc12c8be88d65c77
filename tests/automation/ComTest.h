// Helpers of the COM test suites: apartment set-up, references, names and message pumping.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "automation/ComSupport.h"

namespace tbx::test {

using automation::ComRef;

inline constexpr const wchar_t *kProgId = L"TetherboxActiveXXControl1.TetherboxActiveXX";

/// A single-threaded apartment for the calling thread.
class Apartment {
public:
    Apartment() { hr_ = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~Apartment()
    {
        if (SUCCEEDED(hr_))
            CoUninitialize();
    }
    Apartment(const Apartment &) = delete;
    Apartment &operator=(const Apartment &) = delete;
    HRESULT result() const { return hr_; }

private:
    HRESULT hr_;
};

/// An owned BSTR.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring &text) : s_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(s_); }
    Bstr(const Bstr &) = delete;
    Bstr &operator=(const Bstr &) = delete;
    BSTR get() const { return s_; }
    BSTR *put()
    {
        SysFreeString(s_);
        s_ = nullptr;
        return &s_;
    }
    std::wstring text() const { return s_ ? std::wstring(s_, SysStringLen(s_)) : std::wstring(); }

private:
    BSTR s_ = nullptr;
};

inline std::string narrow(const std::wstring &text)
{
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

/// The text of the registry value \p name (default value when null) of HKCR\\\p key; empty
/// with \p found false when the key or the value is missing.
inline std::wstring classesValue(const std::wstring &key, const wchar_t *name = nullptr, bool *found = nullptr,
                                 HKEY root = HKEY_CLASSES_ROOT, REGSAM view = 0)
{
    if (found != nullptr)
        *found = false;
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &h) != ERROR_SUCCESS)
        return {};
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    DWORD type = 0;
    LSTATUS status = RegQueryValueExW(h, name, nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size);
    RegCloseKey(h);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return {};
    if (found != nullptr)
        *found = true;
    return buffer;
}

inline bool classesKeyExists(const std::wstring &key, HKEY root = HKEY_CLASSES_ROOT, REGSAM view = 0)
{
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

inline std::wstring guidText(REFGUID guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

/// Pumps the thread's messages until \p done answers true or \p timeout passes; returns done().
/// The generous default only matters on a loaded machine: it ends as soon as done() holds.
/// Events of the control arrive through window-message timers, so this is how a test waits.
inline bool pumpUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout = std::chrono::seconds(30))
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<long long>(left.count(), 50)),
                                  QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

} // namespace tbx::test
