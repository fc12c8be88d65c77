// The deterministic fuzz driver, linked with each target when the build has no libFuzzer. It runs
// the target's seeds, the files of any corpus folders given, and then structured mutations of
// every one of them drawn from a fixed-seed generator, so a run is the same on every machine:
//
//   1. the input itself and its truncations (every length for small binary inputs);
//   2. every size and count field the seed names, and for small inputs every aligned 16- and
//      32-bit word (not in text), set to 0, 1, the largest signed and the largest unsigned
//      value, and to its own value one and four off;
//   3. up to --mutations random mutations per input (bit flips, byte values, inserted, deleted
//      and repeated bytes, truncations, interesting words), round-robin over the inputs until
//      the --budget-ms time budget is spent.
//
// Each input is handed over in a heap block of exactly its size, so the address sanitizer
// catches a read one byte past the end. When an input aborts the run, it is written to
// "fuzz-crash-<target>.bin" in the working folder; run the target with that file as argument
// to replay it.
//
// Usage: fuzz_<target> [--mutations N] [--budget-ms MS] [--write-seeds DIR] [corpus dir|file]...
// Plain files are replayed once each and nothing else runs.
#include "FuzzTarget.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

extern "C" void __sanitizer_set_death_callback(void (*callback)(void)) __attribute__((weak));

namespace tbx::fuzz {
namespace {

// ---- Keeping the input that failed -------------------------------------------------------------

// Written before each input runs; read by the crash handlers, which may only make plain
// system calls.
const std::uint8_t *gCurrent = nullptr;
std::size_t gCurrentSize = 0;
char gCrashFile[512] = "fuzz-crash.bin";

void saveCurrentInput()
{
    if (gCurrent == nullptr)
        return;
    const int fd = ::open(gCrashFile, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return;
    std::size_t done = 0;
    while (done < gCurrentSize) {
        const ssize_t n = ::write(fd, gCurrent + done, gCurrentSize - done);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    static const char note[] = "\nfuzz: the failing input was written to ";
    [[maybe_unused]] ssize_t ignored = ::write(2, note, sizeof note - 1);
    ignored = ::write(2, gCrashFile, std::strlen(gCrashFile));
    ignored = ::write(2, "\n", 1);
    gCurrent = nullptr;
}

extern "C" void onFatalSignal(int signal)
{
    saveCurrentInput();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void installCrashHandlers(const std::string &target)
{
    std::snprintf(gCrashFile, sizeof gCrashFile, "fuzz-crash-%s.bin", target.c_str());
    if (__sanitizer_set_death_callback != nullptr)
        __sanitizer_set_death_callback(saveCurrentInput);
    for (int s : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL})
        std::signal(s, onFatalSignal);
}

// ---- Running one input -------------------------------------------------------------------------

std::uint64_t gInputsRun = 0;

void runOne(const Bytes &input)
{
    // Exactly the input's size: no slack behind it for an overread to hide in.
    // (An empty input gets a block of no bytes: a valid pointer that must not be read.)
    std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[input.size()]);
    std::copy(input.begin(), input.end(), block.get());
    gCurrent = block.get();
    gCurrentSize = input.size();
    LLVMFuzzerTestOneInput(block.get(), input.size());
    gCurrent = nullptr;
    ++gInputsRun;
}

// ---- Deterministic mutations -------------------------------------------------------------------

/// splitmix64: the same numbers everywhere, unlike the standard library's distributions.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    /// A number below \p bound (0 when \p bound is 0).
    std::size_t below(std::size_t bound) { return bound == 0 ? 0 : static_cast<std::size_t>(next() % bound); }

private:
    std::uint64_t state_;
};

constexpr std::uint32_t kInteresting32[] = {0, 1, 0x7FFFFFFFu, 0xFFFFFFFFu};
constexpr std::uint16_t kInteresting16[] = {0, 1, 0x7FFF, 0xFFFF};
constexpr std::uint8_t kInteresting8[] = {0, 1, 0x7F, 0x80, 0xFF};
constexpr std::size_t kEveryLengthUpTo = 2048;
constexpr std::size_t kEveryWordUpTo = 1024;
constexpr std::size_t kSampledTruncations = 128;

void putWord(Bytes &b, const Field &f, std::uint32_t value)
{
    for (unsigned i = 0; i < f.width; ++i) {
        const unsigned shift = f.bigEndian ? 8 * (f.width - 1 - i) : 8 * i;
        b[f.offset + i] = static_cast<std::uint8_t>(value >> shift);
    }
}

std::uint32_t getWord(const Bytes &b, const Field &f)
{
    std::uint32_t v = 0;
    for (unsigned i = 0; i < f.width; ++i) {
        const unsigned shift = f.bigEndian ? 8 * (f.width - 1 - i) : 8 * i;
        v |= std::uint32_t{b[f.offset + i]} << shift;
    }
    return v;
}

/// The extreme values of the field, and its own value one and four off either way (the
/// boundaries a size check gets wrong).
void runFieldValues(const Bytes &input, const Field &f)
{
    if (f.offset + f.width > input.size())
        return;
    Bytes b = input;
    const std::uint32_t own = getWord(input, f);
    std::vector<std::uint32_t> values = {own - 1, own + 1, own - 4, own + 4};
    if (f.width == 2)
        values.insert(values.end(), std::begin(kInteresting16), std::end(kInteresting16));
    else
        values.insert(values.end(), std::begin(kInteresting32), std::end(kInteresting32));
    for (std::uint32_t v : values) {
        putWord(b, f, v);
        runOne(b);
    }
}

/// Phases 1 and 2 for one input.
void runSystematic(const Seed &seed)
{
    const Bytes &in = seed.bytes;
    runOne(in);
    if (in.size() <= kEveryLengthUpTo && !seed.text) {
        for (std::size_t n = 0; n < in.size(); ++n)
            runOne(Bytes(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(n)));
    } else {
        for (std::size_t i = 0; i < kSampledTruncations; ++i)
            runOne(Bytes(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(in.size() * i / kSampledTruncations)));
    }
    for (const Field &f : seed.fields) {
        runFieldValues(in, f);
        // Cut right inside the field too.
        for (unsigned k = 1; k < f.width && f.offset + k <= in.size(); ++k)
            runOne(Bytes(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(f.offset + k)));
    }
    if (in.size() <= kEveryWordUpTo && !seed.text) {
        for (std::size_t at = 0; at + 4 <= in.size(); at += 4)
            runFieldValues(in, Field{at, 4, false});
        for (std::size_t at = 0; at + 2 <= in.size(); at += 2)
            runFieldValues(in, Field{at, 2, false});
    }
}

/// One random change of \p b.
void mutateOnce(Bytes &b, Random &rng, const Seed &seed)
{
    switch (rng.below(9)) {
    case 0: // flip a bit
        if (!b.empty())
            b[rng.below(b.size())] ^= static_cast<std::uint8_t>(1u << rng.below(8));
        break;
    case 1: // a random byte
        if (!b.empty())
            b[rng.below(b.size())] = static_cast<std::uint8_t>(rng.next());
        break;
    case 2: // an interesting byte
        if (!b.empty())
            b[rng.below(b.size())] = kInteresting8[rng.below(std::size(kInteresting8))];
        break;
    case 3: { // an interesting word anywhere, either byte order
        if (b.size() < 4)
            break;
        const Field f{rng.below(b.size() - 3), rng.below(2) ? 4u : 2u, rng.below(4) == 0};
        putWord(b, f, f.width == 4 ? kInteresting32[rng.below(4)] : kInteresting16[rng.below(4)]);
        break;
    }
    case 4: { // a named field: an interesting value, or its own value a little off
        if (seed.fields.empty())
            break;
        const Field &f = seed.fields[rng.below(seed.fields.size())];
        if (f.offset + f.width > b.size())
            break;
        if (rng.below(2) != 0)
            putWord(b, f, f.width == 4 ? kInteresting32[rng.below(4)] : kInteresting16[rng.below(4)]);
        else
            putWord(b, f, getWord(b, f) + static_cast<std::uint32_t>(rng.below(65)) - 32u);
        break;
    }
    case 5: { // insert bytes
        const std::size_t at = rng.below(b.size() + 1);
        const std::size_t n = 1 + rng.below(16);
        Bytes extra(n);
        for (auto &x : extra)
            x = static_cast<std::uint8_t>(rng.next());
        b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), extra.begin(), extra.end());
        break;
    }
    case 6: { // delete bytes
        if (b.empty())
            break;
        const std::size_t at = rng.below(b.size());
        const std::size_t n = 1 + rng.below(std::min<std::size_t>(16, b.size() - at));
        b.erase(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n));
        break;
    }
    case 7: { // repeat a piece somewhere else
        if (b.empty())
            break;
        const std::size_t from = rng.below(b.size());
        const std::size_t n = 1 + rng.below(std::min<std::size_t>(64, b.size() - from));
        const Bytes piece(b.begin() + static_cast<std::ptrdiff_t>(from),
                          b.begin() + static_cast<std::ptrdiff_t>(from + n));
        const std::size_t to = rng.below(b.size() + 1);
        b.insert(b.begin() + static_cast<std::ptrdiff_t>(to), piece.begin(), piece.end());
        break;
    }
    default: // truncate
        b.resize(rng.below(b.size() + 1));
        break;
    }
}

// ---- Command line ------------------------------------------------------------------------------

struct Options {
    std::uint64_t mutations = 2000;
    std::int64_t budgetMs = 2000;
    std::string writeSeeds;
    std::vector<std::string> corpusDirs;
    std::vector<std::string> replayFiles;
};

Bytes readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

[[noreturn]] void usage(const char *program)
{
    std::cerr << "usage: " << program
              << " [--mutations N] [--budget-ms MS] [--write-seeds DIR] [corpus dir|input file]...\n";
    std::exit(2);
}

Options parse(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                usage(argv[0]);
            return argv[++i];
        };
        try {
            if (arg == "--mutations")
                o.mutations = std::stoull(value());
            else if (arg == "--budget-ms")
                o.budgetMs = std::stoll(value());
            else if (arg == "--write-seeds")
                o.writeSeeds = value();
            else if (arg.starts_with("--"))
                usage(argv[0]);
            else if (std::filesystem::is_directory(argv[i]))
                o.corpusDirs.emplace_back(argv[i]);
            else if (std::filesystem::is_regular_file(argv[i]))
                o.replayFiles.emplace_back(argv[i]);
            // A corpus folder that does not exist (yet) holds no inputs.
        } catch (const std::exception &) {
            usage(argv[0]);
        }
    }
    return o;
}

} // namespace
} // namespace tbx::fuzz

int main(int argc, char **argv)
{
    using namespace tbx::fuzz;
    const Options options = parse(argc, argv);
    const std::string target = std::filesystem::path(argv[0]).filename().string();
    installCrashHandlers(target);

    std::vector<Seed> inputs = seeds();
    if (!options.writeSeeds.empty())
        return writeSeeds(inputs, options.writeSeeds) ? 0 : 1;
    if (!options.replayFiles.empty()) {
        for (const std::string &file : options.replayFiles) {
            std::cout << "replaying " << file << "\n";
            runOne(readFile(file));
        }
        return 0;
    }
    // Corpus files are of the same kind as the target's own seeds.
    const bool text = !inputs.empty() && inputs.front().text;
    for (const std::string &dir : options.corpusDirs) {
        std::vector<std::filesystem::path> files;
        for (const auto &entry : std::filesystem::directory_iterator(dir))
            if (entry.is_regular_file())
                files.push_back(entry.path());
        std::sort(files.begin(), files.end()); // directory order differs between machines
        for (const auto &f : files)
            inputs.push_back(Seed{f.filename().string(), readFile(f), {}, text});
    }
    if (inputs.empty()) {
        std::cerr << target << ": no seeds and no corpus\n";
        return 1;
    }

    const auto start = std::chrono::steady_clock::now();
    auto spentMs = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    };
    for (const Seed &s : inputs)
        runSystematic(s);
    const std::uint64_t systematic = gInputsRun;

    Random rng(0x7B0C5EEDull);
    std::uint64_t round = 0;
    for (; round < options.mutations && spentMs() < options.budgetMs; ++round) {
        for (const Seed &s : inputs) {
            Bytes b = s.bytes;
            const std::size_t changes = 1 + rng.below(4);
            for (std::size_t c = 0; c < changes; ++c)
                mutateOnce(b, rng, s);
            runOne(b);
        }
    }
    std::cout << target << ": " << inputs.size() << " seeds, " << systematic << " systematic inputs, " << round
              << " rounds of random mutations (" << gInputsRun - systematic << " inputs) in " << spentMs()
              << " ms\n";
    return 0;
}
