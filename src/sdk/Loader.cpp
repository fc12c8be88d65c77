#include "sdk/Loader.h"

#include "platform/Errors.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

namespace tbx::sdk {

namespace {

std::string incorrectVersionMessage(const std::string &path)
{
    return path + " is of incorrect file version. " + "Please update the redist files from TTetherbox " +
           "zip-file";
}

/// Puts the process error mode back when loading ends, successfully or not.
class ErrorModeGuard {
public:
    explicit ErrorModeGuard(unsigned mode) : saved_(platform::setErrorMode(mode)) {}
    ~ErrorModeGuard() { platform::setErrorMode(saved_); }
    ErrorModeGuard(const ErrorModeGuard &) = delete;
    ErrorModeGuard &operator=(const ErrorModeGuard &) = delete;

private:
    unsigned saved_;
};

} // namespace

namespace detail {

/// The chain of unload steps: one per loaded binding, run most recently registered first.
class UnloadChain {
public:
    ~UnloadChain() { runAll(); }

    void add(Binding *binding)
    {
        std::lock_guard lock(mutex_);
        steps_.push_back(binding);
    }

    void remove(Binding *binding)
    {
        std::lock_guard lock(mutex_);
        steps_.erase(std::remove(steps_.begin(), steps_.end(), binding), steps_.end());
    }

    void runAll()
    {
        // The chain's lock is not held while a step runs: a step takes its binding's lock, and a
        // binding that loads holds its own lock when it joins the chain.
        while (Binding *binding = takeLast())
            binding->unload();
    }

private:
    /// Takes the most recent step off the chain; nullptr when the chain is empty.
    Binding *takeLast()
    {
        std::lock_guard lock(mutex_);
        if (steps_.empty())
            return nullptr;
        Binding *binding = steps_.back();
        steps_.pop_back();
        return binding;
    }

    std::mutex mutex_;
    std::vector<Binding *> steps_;
};

} // namespace detail

namespace {

detail::UnloadChain &unloadChain()
{
    static detail::UnloadChain chain;
    return chain;
}

} // namespace

void CheckFileVersion(const std::string &path, std::uint16_t major, std::uint16_t minor,
                      std::uint16_t build, std::uint16_t release)
{
    const std::optional<std::string> found = platform::findFile(path);
    if (!found)
        throw EInOutError(path + " could not be found");

    // A file whose version information cannot be read, or whose fixed part is missing or cut
    // short, is not the file we expect: it is reported like a wrong version and nothing of it is
    // used.
    const std::optional<platform::FileVersion> version = platform::fileVersion(*found);
    if (!version)
        throw EInOutError(incorrectVersionMessage(path));

    // Exact match in every part: a newer file is as wrong as an older one.
    if (version->major != major || version->minor != minor || version->release != release ||
        version->build != build)
        throw EInOutError(incorrectVersionMessage(path));
}

std::string missingEntryPointMessage(const char *unitName, int number)
{
    char text[160];
    std::snprintf(text, sizeof text, "%s (%s, line %d)", "Assertion failure", unitName, number);
    return text;
}

Binding::Binding(const BindingDescription &description) : description_(description) {}

Binding::~Binding()
{
    // A static binding outlives the chain (the chain is created on the first load, so it is
    // destroyed earlier, and it runs every step then); a binding that goes away while loaded
    // leaves the chain and unloads here.
    if (!isLoaded())
        return;
    unloadChain().remove(this);
    unload();
}

void Binding::load(const std::string &folder)
{
    const std::string prefix = folder.empty() ? std::string() : folder + platform::kDirSeparator;

    std::lock_guard lock(mutex_);
    if (loaded_.load(std::memory_order_relaxed))
        return;

    for (const CompanionFile &companion : description_.companions)
        CheckFileVersion(prefix + companion.fileName, companion.version.major,
                         companion.version.minor, companion.version.build, companion.version.release);

    const ErrorModeGuard errorMode(kSemNoOpenFileErrorBox);

    const std::string libraryPath = prefix + description_.libraryFileName;
    std::optional<platform::DynamicLibrary> library = platform::DynamicLibrary::open(libraryPath);
    if (!library || !library->isOpen())
        throw EInOutError((description_.loadErrorNamesFolder ? libraryPath
                                                             : std::string(description_.libraryFileName)) +
                          " could not be loaded");

    int number = 0;
    for (const EntryPoint &entry : description_.entryPoints) {
        ++number;
        void *symbol = library->symbol(entry.exportName);
        if (symbol == nullptr) {
            // Leave nothing half bound: no entry point may point into a library we give back,
            // and the next load() must check and fail again rather than return at once.
            clearEntryPoints();
            library->close();
            throw EAssertionFailed(missingEntryPointMessage(description_.unitName, number));
        }
        entry.assign(symbol);
    }

    library_ = std::move(*library);
    loaded_.store(true, std::memory_order_release);
    unloadChain().add(this);
}

void Binding::requireLoaded() const
{
    if (!isLoaded())
        throw EAssertionFailed(missingEntryPointMessage(description_.unitName, 0));
}

void Binding::clearEntryPoints() const
{
    for (const EntryPoint &entry : description_.entryPoints)
        entry.assign(nullptr);
}

void Binding::unload()
{
    std::lock_guard lock(mutex_);
    loaded_.store(false, std::memory_order_release);
    clearEntryPoints();
    library_.close();
}

void runUnloadChain()
{
    unloadChain().runAll();
}

} // namespace tbx::sdk
