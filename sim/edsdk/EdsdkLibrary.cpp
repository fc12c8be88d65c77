// The EOS stand-in EDSDK.DLL: the shared export bodies over the EOS family.
#include "EosLibrary.h"
#include "EosProfile.h"
#include "platform/VersionNote.h"

TBX_ELF_VERSION_NOTE(13, 10, 20, 0);

namespace tbx::sim::eds {

EosLibrary &library()
{
    static EosLibrary instance({&eosProfile()}, LibraryTraits{kPropDateTime, sizeof(EdsFocusInfo)});
    return instance;
}

} // namespace tbx::sim::eds
