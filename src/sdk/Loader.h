// Loading of the camera maker's SDK libraries at run time. Every binding (one per vendor library)
// describes its companion files, its library file and its entry points in a BindingDescription;
// a Binding object holds the module-wide state (library handle, loaded flag) and loads on first
// use. Nothing of a vendor library is linked at build time.
#pragma once

#include "platform/Platform.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <type_traits>

namespace tbx::sdk {

namespace detail {
class UnloadChain;
}

/// Checks that the file at \p path carries exactly the file version major.minor.release.build.
/// \param path the full file name, folder already joined.
/// \throws EInOutError "<path> could not be found" when the file is missing, or
///   "<path> is of incorrect file version. Please update the redist files from TTetherbox zip-file"
///   when its version differs in any part (older and newer alike) or cannot be read.
void CheckFileVersion(const std::string &path, std::uint16_t major, std::uint16_t minor,
                      std::uint16_t build, std::uint16_t release);

/// A file that must sit beside a vendor library with an exact file version.
struct CompanionFile {
    const char *fileName;
    platform::FileVersion version;
};

/// One entry point of a binding: its exact export name and the function that stores the
/// looked-up address into the binding's typed variable (nullptr empties the variable).
struct EntryPoint {
    const char *exportName;
    void (*assign)(void *symbol);
};

/// The EntryPoint::assign of one typed variable: \p Member of the binding's table \p Table.
/// Example: {"EdsOpenSession", bindEntryPoint<gEntryPoints, &EdsEntryPoints::EdsOpenSession>}.
template <auto &Table, auto Member>
void bindEntryPoint(void *symbol)
{
    using Function = std::remove_reference_t<decltype(Table.*Member)>;
    static_assert(std::is_pointer_v<Function> && std::is_function_v<std::remove_pointer_t<Function>>,
                  "an entry-point variable is a function pointer");
    Table.*Member = reinterpret_cast<Function>(symbol);
}

/// Everything that differs between the bindings.
struct BindingDescription {
    /// The binding's source name, quoted in the message for a missing entry point.
    const char *unitName;
    /// The library file loaded after the companion checks.
    const char *libraryFileName;
    /// True when the load failure message quotes the full path rather than the bare file name.
    bool loadErrorNamesFolder;
    /// Checked in this order before the library is loaded.
    std::span<const CompanionFile> companions;
    /// Bound in this order after the library is loaded; every one must be exported.
    std::span<const EntryPoint> entryPoints;
};

/// The process error mode in force while a library loads: no dialog for a missing file.
inline constexpr unsigned kSemNoOpenFileErrorBox = 0x8000;

/// The message for an entry point that a library does not export: \p number is its 1-based
/// position in the binding's list ("Assertion failure (EDSDK, line 7)").
std::string missingEntryPointMessage(const char *unitName, int number);

/// The loading state of one vendor library.
///
/// load() checks the companion files, loads the library and binds every entry point; after a
/// success it returns at once. Any failure leaves nothing loaded and every entry point empty, so a
/// later load() starts over from the companion checks (and fails the same way while the
/// installation is unchanged).
///
/// \context Thread-safe: loads are serialised by one lock per binding; entry-point variables are
/// written only while the binding is not loaded, and isLoaded() publishes them.
class Binding {
public:
    explicit Binding(const BindingDescription &description);
    ~Binding();
    Binding(const Binding &) = delete;
    Binding &operator=(const Binding &) = delete;

    /// Loads the library from \p folder (empty: the system's search order and the current
    /// directory for the companion checks). Returns at once when already loaded.
    /// \throws EInOutError for a missing or wrong companion file or a library that fails to load,
    ///   EAssertionFailed for an entry point the library does not export.
    void load(const std::string &folder);

    /// True once load() has succeeded, until the unload chain runs.
    bool isLoaded() const { return loaded_.load(std::memory_order_acquire); }

    /// \throws EAssertionFailed ("Assertion failure (<unit>, line 0)") when not loaded, so that no
    ///   empty entry point is ever called.
    void requireLoaded() const;

    const BindingDescription &description() const { return description_; }

private:
    friend class detail::UnloadChain;
    /// Frees the library and empties every entry point (the binding's unload step).
    void unload();
    void clearEntryPoints() const;

    const BindingDescription description_;
    mutable std::mutex mutex_;
    std::atomic<bool> loaded_{false};
    platform::DynamicLibrary library_;
};

/// Runs the unload steps of every loaded binding, most recently loaded first, and empties the
/// chain. Runs by itself when the module unloads (static destruction); tests call it to start
/// from a clean state.
void runUnloadChain();

} // namespace tbx::sdk
