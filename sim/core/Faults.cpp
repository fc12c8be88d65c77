#include "Faults.h"

namespace tbx::sim {

void Faults::inject(const std::string &entryPoint, std::uint32_t code, std::int32_t count)
{
    std::lock_guard lock(mutex_);
    if (count == 0 || count < kAlways) {
        faults_.erase(entryPoint);
        return;
    }
    faults_[entryPoint] = Fault{code, count};
}

void Faults::clear()
{
    std::lock_guard lock(mutex_);
    faults_.clear();
}

std::optional<std::uint32_t> Faults::take(const std::string &entryPoint)
{
    std::lock_guard lock(mutex_);
    auto it = faults_.find(entryPoint);
    if (it == faults_.end())
        return std::nullopt;
    std::uint32_t code = it->second.code;
    if (it->second.remaining != kAlways && --it->second.remaining <= 0)
        faults_.erase(it);
    return code;
}

bool Faults::armed(const std::string &entryPoint) const
{
    std::lock_guard lock(mutex_);
    return faults_.count(entryPoint) != 0;
}

} // namespace tbx::sim
