// Ownership of the references that EDSDK.DLL hands out (camera lists, cameras, volumes, items,
// streams, live-view images): each is released exactly once, on every path out of a scope.
#pragma once

#include "sdk/EDSDK.h"

#include <utility>

namespace tbx::sdk {

/// Owns one reference of the library and gives it back with EdsRelease when it goes.
///
/// Nothing is released once the library has been unloaded (the library freed its objects then).
/// \context Not thread-safe; one owner at a time, like a std::unique_ptr.
class EdsRef {
public:
    EdsRef() = default;
    /// Takes over \p ref, which the caller owns (a count of 1 from a Get/Create call).
    explicit EdsRef(EdsBaseRef ref) noexcept : ref_(ref) {}
    ~EdsRef() { reset(); }

    EdsRef(EdsRef &&other) noexcept : ref_(other.release()) {}
    EdsRef &operator=(EdsRef &&other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    EdsRef(const EdsRef &) = delete;
    EdsRef &operator=(const EdsRef &) = delete;

    EdsBaseRef get() const noexcept { return ref_; }
    explicit operator bool() const noexcept { return ref_ != nullptr; }

    /// Releases what is held and returns the slot for an out-parameter, as in
    /// `Eds().EdsGetCameraList(list.receive())`.
    EdsBaseRef *receive() noexcept
    {
        reset();
        return &ref_;
    }

    /// Gives up ownership without releasing (for example after EdsDeleteDirectoryItem, which
    /// releases the item itself).
    EdsBaseRef release() noexcept { return std::exchange(ref_, nullptr); }

    /// Releases what is held and takes over \p ref.
    void reset(EdsBaseRef ref = nullptr) noexcept;

private:
    EdsBaseRef ref_ = nullptr;
};

} // namespace tbx::sdk
