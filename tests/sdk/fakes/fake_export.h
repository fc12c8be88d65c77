// What the SDK fakes share: how an entry point is exported, and the result every call answers
// unless a fake writes it by hand (0xFA00 + its position in the binding list; a fake built to
// need a missing dependency takes the base from that dependency, so that it cannot load).
#pragma once

#include "platform/VersionNote.h"

#ifdef TBX_FAKE_NEEDS_DEPENDENCY
#include "fake_dependency.h"
#endif

#if defined(_WIN32)
#define TBX_FAKE_API extern "C" // exported by name through the generated .def file
#else
#define TBX_FAKE_API extern "C" __attribute__((visibility("default")))
#endif

TBX_ELF_VERSION_NOTE(TBX_FAKE_MAJOR, TBX_FAKE_MINOR, TBX_FAKE_RELEASE, TBX_FAKE_BUILD);

namespace {

inline unsigned fakeResult(unsigned position)
{
#ifdef TBX_FAKE_NEEDS_DEPENDENCY
    return tbxFakeDependency() + position;
#else
    return 0xFA00u + position;
#endif
}

} // namespace
