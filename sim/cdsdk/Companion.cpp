// One of the helper files the legacy binding checks beside the stand-in (cdDcd.dll, CDPROC.exe,
// ...): the stand-in does their work itself, so each only carries its file version, given by
// TBX_COMPANION_MAJOR/MINOR/RELEASE/BUILD.
#include "platform/VersionNote.h"

TBX_ELF_VERSION_NOTE(TBX_COMPANION_MAJOR, TBX_COMPANION_MINOR, TBX_COMPANION_RELEASE, TBX_COMPANION_BUILD);

extern "C" {
#if defined(_WIN32)
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
    unsigned TbxSim_CompanionVersion(void)
{
    return (TBX_COMPANION_MAJOR << 24u) | (TBX_COMPANION_MINOR << 16) | (TBX_COMPANION_RELEASE << 8) |
           TBX_COMPANION_BUILD;
}
}
