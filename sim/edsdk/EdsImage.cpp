// The companion file that the EOS binding checks beside the SDK library. The stand-in SDK does
// its image work itself, so this library only carries the file version.
#include "platform/VersionNote.h"

TBX_ELF_VERSION_NOTE(13, 10, 0, 0);

extern "C" {
#if defined(_WIN32)
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
    unsigned TbxSim_EdsImageVersion(void)
{
    return (13u << 24) | (10u << 16);
}
}
