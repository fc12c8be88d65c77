// The stand-in's exports, declared from the SDK's one export list with the stand-in's own types
// (EdsTypes.h): a definition whose parameters or result differ from the list does not compile.
#pragma once

#include "EdsTypes.h"
#include "sdk/EdsdkExports.h"

#define TBX_SIM_EDS_DECLARE(name, ordinal, x86Bytes, result, parameters)                                               \
    extern "C" TBX_EDS_EXPORT result TBX_EDS_CALL name parameters;
TBX_EDSDK_EXPORTS(TBX_SIM_EDS_DECLARE)
#undef TBX_SIM_EDS_DECLARE
