#include "sdk/EdsRef.h"

#include "platform/Errors.h"

namespace tbx::sdk {

EdsBaseRef *EdsRef::receive()
{
    if (library_ == nullptr)
        throw EAssertionFailed("An SDK reference cannot be received without the library it belongs to");
    reset();
    return &ref_;
}

void EdsRef::reset(EdsBaseRef ref) noexcept
{
    EdsBaseRef old = std::exchange(ref_, ref);
    if (old == nullptr || library_ == nullptr || !library_->isLoaded())
        return;
    // The new count is of no interest; a failure (0xFFFFFFFF) leaves nothing for us to do.
    library_->entryPoints().EdsRelease(old);
}

} // namespace tbx::sdk
