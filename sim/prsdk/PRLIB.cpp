// The companion file that the PTP binding checks beside the SDK library. The stand-in SDK does
// all its work itself, so this library only carries the file version.
#include "platform/VersionNote.h"

TBX_ELF_VERSION_NOTE(1, 1, 0, 12);

extern "C" {
#if defined(_WIN32)
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
    unsigned TbxSim_PrLibVersion(void)
{
    return (1u << 24) | (1u << 16) | 12u;
}
}
