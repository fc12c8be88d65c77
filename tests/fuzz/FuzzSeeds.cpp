// Seed files for both ways of running a target. Under libFuzzer, setting TBX_FUZZ_SEED_DIR writes
// the target's seeds into that folder before the run starts, so a corpus folder named both there
// and on the command line starts from them.
#include "FuzzTarget.h"

#include <filesystem>
#include <fstream>
#include <iostream>

namespace tbx::fuzz {

bool writeSeeds(const std::vector<Seed> &all, const std::string &dir)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    for (const Seed &s : all) {
        std::ofstream out(std::filesystem::path(dir) / ("seed-" + s.name), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(s.bytes.data()), static_cast<std::streamsize>(s.bytes.size()));
        out.close();
        if (!out) {
            std::cerr << "cannot write seed " << s.name << " to " << dir << "\n";
            return false;
        }
    }
    std::cerr << all.size() << " seeds written to " << dir << "\n";
    return true;
}

} // namespace tbx::fuzz

#ifdef TBX_FUZZ_WITH_LIBFUZZER
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (const char *dir = std::getenv("TBX_FUZZ_SEED_DIR"))
        return tbx::fuzz::writeSeeds(tbx::fuzz::seeds(), dir) ? 0 : 1;
    return 0;
}
#endif
