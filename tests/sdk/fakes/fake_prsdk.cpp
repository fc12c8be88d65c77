// A stand-in for PRSDK.DLL with nothing behind it, for the loader tests: it exports the entry
// points of the SDK's export list, each answering 0xFA00 + its position in the binding list, and
// carries the file version given by TBX_FAKE_MAJOR/MINOR/RELEASE/BUILD. A build that must lack an
// export renames it on the command line (-DPR_RC_GetChangedReleaseParamesList=...), and its .def
// file leaves it out.
#include "fake_export.h"
#include "sdk/PRAPI.h"

using namespace tbx::sdk;

namespace {

/// The position of each entry point in the binding list, from 1.
enum Position : unsigned {
    kBeforeFirst,
#define TBX_FAKE_POSITION(name, ordinal, x86Bytes, result, parameters) k##name,
    TBX_PRSDK_EXPORTS(TBX_FAKE_POSITION)
#undef TBX_FAKE_POSITION
};

} // namespace

#define TBX_FAKE_DEFINE(name, ordinal, x86Bytes, result, parameters)                                                   \
    TBX_FAKE_API result TBX_STDCALL name parameters { return fakeResult(k##name); }
TBX_PRSDK_EXPORTS(TBX_FAKE_DEFINE)
