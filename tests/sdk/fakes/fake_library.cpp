// A small library with three exports and a file version, for the generic loader tests. The
// second export is left out when TBX_FAKE_WITHOUT_SECOND is defined.
#include "platform/VersionNote.h"

#if defined(_WIN32)
#define TBX_FAKE_API extern "C" __declspec(dllexport)
#else
#define TBX_FAKE_API extern "C" __attribute__((visibility("default")))
#endif

TBX_ELF_VERSION_NOTE(TBX_FAKE_MAJOR, TBX_FAKE_MINOR, TBX_FAKE_RELEASE, TBX_FAKE_BUILD);

TBX_FAKE_API int FakeFirst()
{
    return 1;
}

#ifndef TBX_FAKE_WITHOUT_SECOND
TBX_FAKE_API int FakeSecond()
{
    return 2;
}
#endif

TBX_FAKE_API int FakeThird()
{
    return 3;
}
