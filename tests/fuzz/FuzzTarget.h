// What every fuzz target in this folder provides besides the libFuzzer entry point: its seed
// inputs, built in code from valid files and replies, so that the deterministic driver
// (FuzzMain.cpp) and a long libFuzzer run start from inputs that reach deep into the parser.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace tbx::fuzz {

using Bytes = std::vector<std::uint8_t>;

/// A size or count field of a seed, which the driver sets to the values that break parsers
/// (0, 1, the largest signed and the largest unsigned value of its width).
struct Field {
    std::size_t offset = 0;
    unsigned width = 4; ///< 2 or 4 bytes
    bool bigEndian = false;
};

/// One valid input and the places in it worth breaking on purpose.
struct Seed {
    std::string name;
    Bytes bytes;
    std::vector<Field> fields;
    /// Text (JSON and the like): no binary words to break, and cutting it at a sample of
    /// places says as much as cutting it everywhere.
    bool text = false;
};

/// The seeds of the target linked into this program.
std::vector<Seed> seeds();

/// Writes \p all as files "seed-<name>" into \p dir (created when missing); false when a file
/// could not be written. libFuzzer runs start from such a folder (see docs/fuzzing.md).
bool writeSeeds(const std::vector<Seed> &all, const std::string &dir);

// ---- Helpers for building seeds ----------------------------------------------------------------

inline void putLe(Bytes &b, std::size_t at, std::uint64_t value, unsigned width)
{
    if (b.size() < at + width)
        b.resize(at + width);
    for (unsigned i = 0; i < width; ++i)
        b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline void appendLe(Bytes &b, std::uint64_t value, unsigned width)
{
    putLe(b, b.size(), value, width);
}

/// The little-endian number of \p width bytes (at most 4) at \p p.
inline std::uint32_t readLe(const std::uint8_t *p, unsigned width)
{
    std::uint32_t v = 0;
    for (unsigned i = 0; i < width; ++i)
        v |= std::uint32_t{p[i]} << (8 * i);
    return v;
}

/// Stops the run, naming the broken expectation. Used for what must hold for every input (a
/// parser that accepted garbage, or refused what it must accept); libFuzzer and the
/// deterministic driver both report an abort with the input that caused it.
[[noreturn]] inline void fail(const char *what, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: fuzz expectation failed: %s\n", file, line, what);
    std::abort();
}

} // namespace tbx::fuzz

#define TBX_FUZZ_EXPECT(cond)                                                                     \
    do {                                                                                          \
        if (!(cond))                                                                              \
            ::tbx::fuzz::fail(#cond, __FILE__, __LINE__);                                         \
    } while (0)
