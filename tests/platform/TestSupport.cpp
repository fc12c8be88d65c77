#include "TestSupport.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tbx::test {

std::string fixturePath()
{
#ifdef _WIN32
    // Beside the test executable; a Unix path baked in at build time means nothing to Wine.
    char exe[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string path(exe, n);
    return path.substr(0, path.find_last_of("\\/") + 1) + "VersionedFixture.dll";
#else
    return TBX_FIXTURE_PATH;
#endif
}

} // namespace tbx::test
