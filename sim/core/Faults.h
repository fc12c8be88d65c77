// Fault injection: any entry point of a simulated library can be made to return a chosen code
// once, a number of times, or always.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace tbx::sim {

class Faults {
public:
    static constexpr std::int32_t kAlways = -1;

    /// Arms \a entryPoint to return \a code for the next \a count calls (kAlways: until cleared;
    /// 0 removes the fault). A new call for the same entry point replaces the earlier one.
    void inject(const std::string &entryPoint, std::uint32_t code, std::int32_t count);
    void clear();
    /// The code the call to \a entryPoint must return now, if a fault is armed for it. Consumes
    /// one count.
    std::optional<std::uint32_t> take(const std::string &entryPoint);
    bool armed(const std::string &entryPoint) const;

private:
    struct Fault {
        std::uint32_t code = 0;
        std::int32_t remaining = 0;
    };
    mutable std::mutex mutex_;
    std::map<std::string, Fault, std::less<>> faults_;
};

} // namespace tbx::sim
