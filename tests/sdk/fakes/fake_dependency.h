// A library that the "unloadable" stand-in links against and that the tests keep out of every
// search path, so that loading the stand-in fails on its missing dependency.
#pragma once

#if defined(_WIN32)
#define TBX_FAKE_DEPENDENCY_API extern "C" __declspec(dllexport)
#else
#define TBX_FAKE_DEPENDENCY_API extern "C" __attribute__((visibility("default")))
#endif

TBX_FAKE_DEPENDENCY_API unsigned tbxFakeDependency();
