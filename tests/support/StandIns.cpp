#include "StandIns.h"

#include <map>
#include <memory>
#include <mutex>

namespace tbx::test {

std::string redistFolder() { return TBX_REDIST_DIR; }

const sim::ControlClient &standIn(const std::string &file)
{
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<const sim::ControlClient>> clients;
    const std::lock_guard<std::mutex> lock(mutex);
    auto &client = clients[file];
    if (!client)
        client = std::make_unique<const sim::ControlClient>(redistFolder() + "/" + file);
    return *client;
}

} // namespace tbx::test
