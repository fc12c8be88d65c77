// Helpers of the COM layer: an owning interface reference, conversions between automation and
// control types, and the guard that turns every exception into a failed call with error info.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "automation/Module.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace tbx::automation {

/// An owning reference to a COM interface.
template <class T>
class ComRef {
public:
    ComRef() = default;
    /// Takes over \p p without AddRef.
    explicit ComRef(T *p) noexcept : p_(p) {}
    ComRef(const ComRef &o) noexcept : p_(o.p_) { if (p_) p_->AddRef(); }
    ComRef(ComRef &&o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComRef &operator=(ComRef o) noexcept { std::swap(p_, o.p_); return *this; }
    ~ComRef() { if (p_) p_->Release(); }
    /// A new reference to \p p (AddRef).
    static ComRef share(T *p) noexcept { if (p) p->AddRef(); return ComRef(p); }

    T *get() const noexcept { return p_; }
    T *operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    /// For out parameters: releases the current reference first.
    T **put() noexcept { reset(); return &p_; }
    void reset() noexcept { if (p_) std::exchange(p_, nullptr)->Release(); }
    /// Hands the reference to the caller.
    T *detach() noexcept { return std::exchange(p_, nullptr); }

private:
    T *p_ = nullptr;
};

/// Counts the live objects of this module (see canUnload()).
struct ModuleObjectCount {
    static void add() { addObject(); }
    static void release() { releaseObject(); }
};

/// Reference counting and QueryInterface of a module object with one interface (besides
/// IUnknown). Counts as a live object of its module (through \p Count) while it exists.
template <class Interface, const IID &InterfaceId, class Count = ModuleObjectCount>
class SingleInterfaceObject : public Interface {
public:
    SingleInterfaceObject(const SingleInterfaceObject &) = delete;
    SingleInterfaceObject &operator=(const SingleInterfaceObject &) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
    {
        if (object == nullptr)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == InterfaceId) {
            *object = static_cast<Interface *>(this);
            this->AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0)
            delete this;
        return static_cast<ULONG>(n);
    }

protected:
    SingleInterfaceObject() { Count::add(); }
    virtual ~SingleInterfaceObject() { Count::release(); }

private:
    LONG refs_ = 1;
};

/// A failure carrying an OLE error code of its own (for example from an OLE call the object made).
class OleError : public std::runtime_error {
public:
    OleError(HRESULT hr, const std::string &message) : std::runtime_error(message), hr_(hr) {}
    HRESULT code() const noexcept { return hr_; }

private:
    HRESULT hr_;
};

/// Longest string the control keeps.
inline constexpr std::size_t kMaxControlString = 255;

/// A host string for the control: cut at 255 characters, then converted to the control's code
/// page (characters it cannot represent become '?').
std::string controlText(BSTR text);
/// A file or folder name for the control: refused (ECamException naming \p parameter and
/// \p method) when longer than 255 characters or when a character does not survive the
/// conversion, since a cut or altered name would name another file.
std::string controlPath(BSTR text, const char *parameter, const char *method);
/// A control string for the host. Raises OleError(E_OUTOFMEMORY) when no BSTR can be made.
BSTR hostText(const std::string &text);
/// UTF-16 of a message in the control's code page.
std::wstring wideText(const std::string &text);

inline bool controlFlag(VARIANT_BOOL value) noexcept { return value != 0; }
inline VARIANT_BOOL hostFlag(bool value) noexcept { return value ? VARIANT_TRUE : VARIANT_FALSE; }

/// Sets the thread's error info (source: the program identifier) and returns \p hr.
HRESULT reportError(HRESULT hr, const std::string &description);

/// Runs \p body; any exception becomes a failed call with error info. On success the thread's
/// error info is cleared, so a host never reads a stale description.
template <class Body>
HRESULT guarded(Body &&body) noexcept
{
    try {
        body();
        SetErrorInfo(0, nullptr);
        return S_OK;
    } catch (const OleError &e) {
        return reportError(e.code() < 0 ? e.code() : E_UNEXPECTED, e.what());
    } catch (const std::bad_alloc &) {
        return reportError(E_OUTOFMEMORY, "Out of memory");
    } catch (const std::exception &e) {
        return reportError(E_UNEXPECTED, e.what());
    } catch (...) {
        return reportError(E_UNEXPECTED, "Unexpected failure");
    }
}

/// As guarded(), for a member with a result: E_POINTER without error info when \p out is null.
template <class T, class Body>
HRESULT guardedOut(T *out, Body &&body) noexcept
{
    if (out == nullptr)
        return E_POINTER;
    return guarded([&] { *out = body(); });
}

} // namespace tbx::automation
