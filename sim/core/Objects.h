// The objects a simulated library hands to the host as references. Every object is reference
// counted and known to the library's table, so that a stale or foreign pointer is refused
// instead of followed.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace tbx::sim {

struct SimObject {
    SimObject() = default;
    virtual ~SimObject() = default;
    SimObject(const SimObject &) = delete;
    SimObject &operator=(const SimObject &) = delete;

    /// The kind of object as the call log names it ("camera", "stream", ...).
    virtual const char *kindName() const = 0;
    /// The objects this one holds a reference on; released with it.
    virtual std::vector<SimObject *> held() const { return {}; }

    std::uint32_t refs = 1;
    std::uint32_t serial = 0;
};

/// The live objects of one library. Not thread-safe: use it under the library lock.
class ObjectTable {
public:
    ObjectTable() = default;
    ~ObjectTable() { freeAll(); }
    ObjectTable(const ObjectTable &) = delete;
    ObjectTable &operator=(const ObjectTable &) = delete;

    /// Takes \a object into the table with the next serial number.
    template <class T>
    T *adopt(T *object)
    {
        object->serial = ++serial_;
        live_.insert(object);
        return object;
    }
    /// The live object behind a reference the host passed in; nullptr for anything else.
    SimObject *find(const void *ref) const;
    /// "kind#serial" of a reference, "null" or "invalid": for the call log.
    std::string describe(const void *ref) const;
    /// Drops one reference; frees the object (and releases what it holds) at zero. Returns the
    /// new count.
    std::uint32_t release(SimObject *object);
    /// Frees every object regardless of its count (the SDK is ended).
    void freeAll();
    std::uint32_t liveCount() const { return static_cast<std::uint32_t>(live_.size()); }
    /// The first live object for which \a match is true, or nullptr.
    template <class Match>
    SimObject *findIf(Match &&match) const
    {
        for (SimObject *o : live_)
            if (match(*o))
                return o;
        return nullptr;
    }

private:
    std::set<SimObject *> live_;
    std::uint32_t serial_ = 0;
};

/// The reference value of an object, as the host sees it.
inline void *referenceOf(SimObject *object) { return object; }

} // namespace tbx::sim
