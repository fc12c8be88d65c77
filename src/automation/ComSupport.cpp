#include "automation/ComSupport.h"

#include "automation/Identity.h"
#include "platform/Errors.h"

namespace tbx::automation {

std::string controlText(BSTR text)
{
    const UINT length = text ? SysStringLen(text) : 0;
    const int n = static_cast<int>(length < kMaxControlString ? length : kMaxControlString);
    if (n == 0)
        return {};
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, n, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::string controlPath(BSTR text, const char *parameter, const char *method)
{
    const UINT length = text ? SysStringLen(text) : 0;
    const std::string where = std::string("Parameter ") + parameter + " in method " + method;
    if (length > kMaxControlString)
        throw ECamException(where + " must not be longer than 255 characters");
    if (length == 0)
        return {};
    const int n = static_cast<int>(length);
    BOOL lossy = FALSE;
    int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, n, nullptr, 0, nullptr, &lossy);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, n, out.data(), bytes, nullptr, &lossy);
    if (lossy || bytes == 0 || out.find('\0') != std::string::npos)
        throw ECamException(where + " holds characters that cannot be used in a file name here");
    if (out.size() > kMaxControlString)
        throw ECamException(where + " must not be longer than 255 characters");
    return out;
}

std::wstring wideText(const std::string &text)
{
    if (text.empty())
        return {};
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

BSTR hostText(const std::string &text)
{
    std::wstring wide = wideText(text);
    BSTR out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (out == nullptr)
        throw OleError(E_OUTOFMEMORY, "Out of memory");
    return out;
}

HRESULT reportError(HRESULT hr, const std::string &description)
{
    ICreateErrorInfo *create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        std::wstring text = wideText(description);
        create->SetGUID(kIID);
        create->SetSource(const_cast<LPOLESTR>(kProgId));
        create->SetDescription(const_cast<LPOLESTR>(text.c_str()));
        create->SetHelpContext(0);
        IErrorInfo *info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void **>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    return hr;
}

} // namespace tbx::automation
