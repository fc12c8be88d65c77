// The PowerShot generation-2 stand-in PSG7XMK2SDK.DLL: the EOS stand-in's export bodies over the
// generation-2 family. Like the vendor's library it also finds EOS cameras, which the driver
// passes over; the generation-2 family comes first, the family of a camera attached later.
// The one file is also the companion the binding checks (file version 1.0.1.1).
#include "EosLibrary.h"
#include "EosProfile.h"
#include "platform/VersionNote.h"

TBX_ELF_VERSION_NOTE(1, 0, 1, 1);

namespace tbx::sim::eds {

EosLibrary &library()
{
    static EosLibrary instance({&gen2Profile(), &eosProfile()}, LibraryTraits{kPropGen2Clock, kGen2FocusInfoSize});
    return instance;
}

} // namespace tbx::sim::eds
