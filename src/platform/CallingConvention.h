// The calling convention of the vendor SDKs' entry points and callbacks: stdcall on 32-bit
// Windows (the callee pops its arguments), the platform's only convention everywhere else.
// Header-only and free of other includes, so SDK bindings and callback shapes can use it.
#pragma once

#if defined(_WIN32) && !defined(_WIN64)
#define TBX_STDCALL __stdcall
#else
#define TBX_STDCALL
#endif
