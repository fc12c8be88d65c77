// Ownership of the references that an EOS-style SDK hands out (camera lists, cameras, volumes,
// items, streams, live-view images): each is released exactly once, on every path out of a
// scope, by the library that made it.
#pragma once

#include "sdk/EdsLibrary.h"

#include <utility>

namespace tbx::sdk {

/// Owns one reference of a library and gives it back with that library's EdsRelease when it
/// goes.
///
/// Nothing is released once the library has been unloaded (the library freed its objects then).
/// \context Not thread-safe; one owner at a time, like a std::unique_ptr.
class EdsRef {
public:
    /// Holds nothing and belongs to no library (a target to move a reference into).
    EdsRef() = default;
    /// Takes over \p ref of \p library, which the caller owns (a count of 1 from a Get/Create
    /// call); with no \p ref, an empty owner ready to receive() one of \p library.
    explicit EdsRef(const EdsLibrary &library, EdsBaseRef ref = nullptr) noexcept
        : library_(&library), ref_(ref)
    {
    }
    ~EdsRef() { reset(); }

    EdsRef(EdsRef &&other) noexcept : library_(other.library_), ref_(other.release()) {}
    EdsRef &operator=(EdsRef &&other) noexcept
    {
        if (this != &other) {
            reset();
            library_ = other.library_;
            ref_ = other.release();
        }
        return *this;
    }
    EdsRef(const EdsRef &) = delete;
    EdsRef &operator=(const EdsRef &) = delete;

    EdsBaseRef get() const noexcept { return ref_; }
    explicit operator bool() const noexcept { return ref_ != nullptr; }
    /// The library the reference belongs to (null for an owner of no library).
    const EdsLibrary *library() const noexcept { return library_; }

    /// Releases what is held and returns the slot for an out-parameter, as in
    /// `eds.EdsGetCameraList(list.receive())`.
    /// \throws EAssertionFailed for an owner of no library, which could not give it back.
    EdsBaseRef *receive();

    /// Gives up ownership without releasing (for example after EdsDeleteDirectoryItem, which
    /// releases the item itself).
    EdsBaseRef release() noexcept { return std::exchange(ref_, nullptr); }

    /// Releases what is held and takes over \p ref of the same library.
    void reset(EdsBaseRef ref = nullptr) noexcept;

private:
    const EdsLibrary *library_ = nullptr;
    EdsBaseRef ref_ = nullptr;
};

} // namespace tbx::sdk
