// How the drivers ask a camera again when it refuses a call because it is busy.
#pragma once

#include "platform/Platform.h"

namespace tbx::drivers {

/// How many more tries follow a refused call, and how long each waits before it starts.
struct RetryPolicy {
    int retries;
    platform::Millis periodMs;
};

/// A shutter press against a camera that is busy: 25 more tries, 200 ms apart.
inline constexpr RetryPolicy kBusyShutterRetry{25, 200};
/// A camera that is busy switching modes: 5 more tries, a second apart.
inline constexpr RetryPolicy kPatientRetry{5, 1000};

/// Runs \p attempt until it answers true: once at once, then once after each wait of \p policy.
/// False when every try was refused.
template <class Attempt>
bool retry(const RetryPolicy &policy, Attempt &&attempt)
{
    if (attempt())
        return true;
    for (int i = 0; i < policy.retries; ++i) {
        platform::sleepMs(policy.periodMs);
        if (attempt())
            return true;
    }
    return false;
}

} // namespace tbx::drivers
