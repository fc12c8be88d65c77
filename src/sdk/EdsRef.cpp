#include "sdk/EdsRef.h"

namespace tbx::sdk {

void EdsRef::reset(EdsBaseRef ref) noexcept
{
    EdsBaseRef old = std::exchange(ref_, ref);
    if (old == nullptr || !IsEDSDKLoaded())
        return;
    // The new count is of no interest; a failure (0xFFFFFFFF) leaves nothing for us to do.
    Eds().EdsRelease(old);
}

} // namespace tbx::sdk
