#include "automation/Registration.h"

#include "automation/Identity.h"
#include "automation/Module.h"

#include <oleauto.h>

#include <string>

namespace tbx::automation {
namespace {

std::wstring guidText(REFGUID guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring clsidKey() { return L"CLSID\\" + guidText(kCLSID); }

/// Creates \p path under HKEY_CLASSES_ROOT with \p value as its default value (none when null).
LSTATUS setKey(const std::wstring &path, const wchar_t *value, const wchar_t *name = nullptr)
{
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                      nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    if (value != nullptr) {
        status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value),
                                static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
    return status;
}

/// Removes \p path under HKEY_CLASSES_ROOT with everything below it; a missing key is no error.
LSTATUS deleteTree(const std::wstring &path)
{
    LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

/// True when the other bitness of this module has its class registered.
bool otherBitnessRegistered()
{
#ifdef _WIN64
    const REGSAM other = KEY_WOW64_32KEY;
#else
    const REGSAM other = KEY_WOW64_64KEY;
#endif
    HKEY key = nullptr;
    const std::wstring path = L"Software\\Classes\\" + clsidKey() + L"\\InprocServer32";
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | other, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

HRESULT fromStatus(LSTATUS status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

} // namespace

HRESULT registerServer()
{
    const std::wstring path = modulePath();
    if (path.empty())
        return HRESULT_FROM_WIN32(GetLastError());
    const std::wstring clsid = clsidKey();
    const std::wstring misc = std::to_wstring(kMiscStatus);
    const std::wstring version = std::to_wstring(kLibMajor) + L"." + std::to_wstring(kLibMinor);
    const std::wstring bitmap = path + L",1";
    const std::wstring libid = guidText(kLibID);
    const std::wstring classId = guidText(kCLSID);
    struct Entry {
        std::wstring key;
        const wchar_t *value;
        const wchar_t *name;
    };
    const Entry entries[] = {
        {clsid, kClassDescription, nullptr},
        {clsid + L"\\InprocServer32", path.c_str(), nullptr},
        {clsid + L"\\InprocServer32", L"Apartment", L"ThreadingModel"},
        {clsid + L"\\ProgID", kProgId, nullptr},
        {clsid + L"\\TypeLib", libid.c_str(), nullptr},
        {clsid + L"\\Version", version.c_str(), nullptr},
        {clsid + L"\\MiscStatus", L"0", nullptr},
        {clsid + L"\\MiscStatus\\1", misc.c_str(), nullptr},
        {clsid + L"\\ToolboxBitmap32", bitmap.c_str(), nullptr},
        {clsid + L"\\Control", nullptr, nullptr},
        {clsid + L"\\Verb", nullptr, nullptr},
        {kProgId, kClassDescription, nullptr},
        {std::wstring(kProgId) + L"\\Clsid", classId.c_str(), nullptr},
    };
    for (const Entry &e : entries) {
        LSTATUS status = setKey(e.key, e.value, e.name);
        if (status != ERROR_SUCCESS) {
            unregisterServer();
            return fromStatus(status);
        }
    }
    ITypeLib *lib = typeLibrary();
    if (lib == nullptr) {
        unregisterServer();
        return TYPE_E_CANTLOADLIBRARY;
    }
    std::wstring libPath = path; // RegisterTypeLib takes a writable string
    HRESULT hr = RegisterTypeLib(lib, libPath.data(), nullptr);
    if (FAILED(hr))
        unregisterServer();
    return hr;
}

HRESULT unregisterServer()
{
    HRESULT result = fromStatus(deleteTree(clsidKey()));
    const std::wstring libKey = L"TypeLib\\" + guidText(kLibID);
    wchar_t lcid[16];
    wsprintfW(lcid, L"%x", kLibLcid);
    const std::wstring ownPath = libKey + L"\\" + std::to_wstring(kLibMajor) + L"." + std::to_wstring(kLibMinor) +
                                 L"\\" + lcid + L"\\" + (kSysKind == SYS_WIN64 ? L"win64" : L"win32");
    HKEY probe = nullptr;
    const bool libRegistered = RegOpenKeyExW(HKEY_CLASSES_ROOT, ownPath.c_str(), 0, KEY_READ, &probe) == ERROR_SUCCESS;
    if (probe != nullptr)
        RegCloseKey(probe);
    if (otherBitnessRegistered()) {
        // Only this bitness's path of the type library goes; the rest serves the other one.
        deleteTree(ownPath);
        return result;
    }
    LSTATUS status = deleteTree(kProgId);
    if (status != ERROR_SUCCESS && SUCCEEDED(result))
        result = fromStatus(status);
    if (libRegistered) {
        HRESULT hr = UnRegisterTypeLib(kLibID, kLibMajor, kLibMinor, kLibLcid, kSysKind);
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    }
    // The library's key itself, once nothing is left in it.
    RegDeleteKeyW(HKEY_CLASSES_ROOT, libKey.c_str());
    return result;
}

} // namespace tbx::automation
