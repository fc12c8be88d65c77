// One entry-point call of a simulated library: its call-log line, the fault check, the library
// lock and the SDK's own refusal (a call before the SDK is started, say).
#pragma once

#include <mutex>

#include "CallLog.h"
#include "Library.h"

namespace tbx::sim {

class SdkCall {
public:
    SdkCall(SimLibrary &library, const char *name) : name_(name), line_(name), lib_(library) { lib_.ensureLoaded(); }

    /// Logs a reference argument as "kind#serial", "null" or "invalid".
    SdkCall &ref(const void *r)
    {
        std::lock_guard lock(lib_.mutex());
        line_.raw(lib_.objects().describe(r));
        return *this;
    }
    SdkCall &ptr(const void *p, const char *what = "out")
    {
        line_.ptr(p, what);
        return *this;
    }
    CallLine &args() { return line_; }

    /// Answers an injected fault, or the library's refusal, or runs \a body under the lock; logs
    /// the line with the result.
    template <class Body>
    auto run(Body &&body) -> decltype(body())
    {
        using Result = decltype(body());
        Result result;
        if (auto fault = lib_.faults().take(name_)) {
            result = static_cast<Result>(*fault);
        } else {
            std::lock_guard lock(lib_.mutex());
            if (auto refused = lib_.refusal(name_))
                result = static_cast<Result>(*refused);
            else
                result = body();
        }
        lib_.callLog().add(line_.finish(static_cast<std::uint32_t>(result)));
        return result;
    }

private:
    const char *name_;
    CallLine line_;
    SimLibrary &lib_;
};

} // namespace tbx::sim
