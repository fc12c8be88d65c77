// A stand-in for CDSDK.DLL with nothing behind it, for the loader tests: it exports every entry
// point of the SDK's export list (CDGetSound left out when TBX_FAKE_WITHOUT_SOUND is defined) and
// carries the file version given by TBX_FAKE_MAJOR/MINOR/RELEASE/BUILD. Entry points answer
// 0xFA00 + their position in the binding list, except the two the tests call with arguments.
#include "fake_export.h"
#include "sdk/CDTypes.h"
#include "sdk/CdExports.h"

using namespace tbx::sdk;

namespace {

/// The position of each entry point in the binding list, from 1.
enum Position : unsigned {
    kBeforeFirst,
#define TBX_FAKE_POSITION(name, kind, x86Bytes, result, parameters) k##name,
    TBX_CDSDK_EXPORTS(TBX_FAKE_POSITION)
#undef TBX_FAKE_POSITION
};

} // namespace

// The generic definitions of the functions written out below go under other names, and so does
// the one this library leaves out; none of those is exported.
#define CDMakeImageItem CDMakeImageItem_generic
#define CDGetReleaseControlFaculty CDGetReleaseControlFaculty_generic
#ifdef TBX_FAKE_WITHOUT_SOUND
#define CDGetSound CDGetSound_left_out
#endif
#define TBX_FAKE_DEFINE(name, kind, x86Bytes, result, parameters)                                                      \
    TBX_FAKE_API result TBX_STDCALL name parameters { return fakeResult(k##name); }
TBX_CDSDK_EXPORTS(TBX_FAKE_DEFINE)
#undef TBX_FAKE_DEFINE
#undef CDMakeImageItem
#undef CDGetReleaseControlFaculty

/// Checks that the medium passed by value and the 16-bit format after it arrive intact.
TBX_FAKE_API CdError TBX_STDCALL CDMakeImageItem(CdStgMedium StgMedium, CdImageFormat Format, CdHImageItem *phImgItem)
{
    if (phImgItem == nullptr || StgMedium.Type != 0 || StgMedium.u.lpszFileName == nullptr)
        return 0x0C000060;
    *phImgItem = StgMedium.u.lpszFileName[0] == 'T' && Format == 0x1234 ? 0x5A5A5A50u : 0;
    return 0;
}

/// Answers the source handle back as the faculty, so the tests see both arguments arrive.
TBX_FAKE_API CdError TBX_STDCALL CDGetReleaseControlFaculty(CdHSource hSource, CdReleaseControlFaculty *pFaculty)
{
    if (pFaculty == nullptr)
        return 0x0C000060;
    *pFaculty = hSource | 0x40000000u;
    return 0;
}
