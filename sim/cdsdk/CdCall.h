// What every exported entry point of the legacy stand-in shares: the per-call wrapper (call log,
// faults, lock, the refusal before CDStartSDK) and the export macro. The entry points are split
// as the driver uses them: session and properties, collection, remote control.
#pragma once

#include "Call.h"
#include "CdLibrary.h"
#include "sdk/CdExports.h"

#if defined(_WIN32)
#define TBX_CD_EXPORT // exported through the generated .def file
#else
#define TBX_CD_EXPORT __attribute__((visibility("default")))
#endif

namespace tbx::sim::cd {

/// One entry-point call of the legacy stand-in (see SdkCall); handles are logged in hexadecimal.
class Call : public SdkCall {
public:
    explicit Call(const char *name) : SdkCall(library(), name) {}
    Call &handle(CdHandle h) { return hex(h); }
    Call &hex(std::uint32_t value)
    {
        args().hex(value);
        return *this;
    }
    Call &dec(std::int64_t value)
    {
        args().dec(value);
        return *this;
    }
    Call &udec(std::uint64_t value)
    {
        args().udec(value);
        return *this;
    }
    Call &ptr(const void *p, const char *what = "out")
    {
        SdkCall::ptr(p, what);
        return *this;
    }
};

/// Reads the next value of \p hEnum into \p out (kEnumEnd at the end).
CdError nextValue(CdHEnum hEnum, std::uint32_t &out);
/// The three calls every enumeration of \p kind shares, logged as \p name: its count, its next
/// value (a handle or a 32-bit value), its release.
CdError enumCount(const char *name, CdHEnum hEnum, Kind kind, CdUInt32 *pCount);
CdError enumNext(const char *name, CdHEnum hEnum, Kind kind, CdUInt32 *pOut);
CdError enumRelease(const char *name, CdHEnum hEnum, Kind kind);
/// The open source behind \p hSource, ready to answer; \p error says why not.
SourceObject *readySource(CdHSource hSource, CdError &error);
/// Starts an enumeration of \p values on the source's camera (kNotSupported when the camera's
/// enumerations cannot start).
CdError startValues(CdHSource hSource, std::vector<std::uint32_t> values, std::uint32_t elementSize, CdHEnum *phEnum);

} // namespace tbx::sim::cd

using namespace tbx::sdk;

// Every definition is checked against the export list's declaration of the same name.
#define TBX_SIM_CD_DECLARE(name, kind, x86Bytes, result, parameters)                                                   \
    extern "C" TBX_CD_EXPORT result TBX_STDCALL name parameters;
TBX_CDSDK_EXPORTS(TBX_SIM_CD_DECLARE)
#undef TBX_SIM_CD_DECLARE

#define CDAPI extern "C" TBX_CD_EXPORT tbx::sdk::CdError TBX_STDCALL
