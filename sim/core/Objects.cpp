#include "Objects.h"

namespace tbx::sim {

SimObject *ObjectTable::find(const void *ref) const
{
    auto *o = static_cast<SimObject *>(const_cast<void *>(ref));
    return o != nullptr && live_.count(o) != 0 ? o : nullptr;
}

std::string ObjectTable::describe(const void *ref) const
{
    if (ref == nullptr)
        return "null";
    const SimObject *o = find(ref);
    if (o == nullptr)
        return "invalid";
    return std::string(o->kindName()) + "#" + std::to_string(o->serial);
}

std::uint32_t ObjectTable::release(SimObject *object)
{
    if (object->refs > 1)
        return --object->refs;
    object->refs = 0;
    live_.erase(object);
    for (SimObject *held : object->held())
        if (held != nullptr && live_.count(held) != 0)
            release(held);
    delete object;
    return 0;
}

void ObjectTable::freeAll()
{
    for (SimObject *o : live_)
        delete o;
    live_.clear();
}

} // namespace tbx::sim
