// Thread-safe record of every entry-point call of a simulated SDK library, so that a test can
// say "wrote property 0x402 with 64 and nothing else".
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace tbx::sim {

/// One line per call: "Name(arg, arg, ...) -> 0x0000ABCD". The log keeps at most limit() lines;
/// older lines are dropped first and counted in dropped().
class CallLog {
public:
    void add(std::string line);
    void clear();
    /// All lines joined with '\n' (a trailing '\n' after each line).
    std::string text() const;
    std::vector<std::string> lines() const;
    std::size_t dropped() const;
    void setLimit(std::size_t limit);
    std::size_t limit() const;

private:
    mutable std::mutex mutex_;
    std::deque<std::string> lines_;
    std::size_t limit_ = 100000;
    std::size_t dropped_ = 0;
};

/// Builds one call-log line. Arguments are appended in call order.
class CallLine {
public:
    explicit CallLine(const char *name) : text_(name) { text_ += '('; }
    CallLine &raw(const std::string &text);
    CallLine &hex(std::uint32_t value);
    CallLine &dec(std::int64_t value);
    CallLine &udec(std::uint64_t value);
    /// A text argument, quoted; nullptr is written as "null".
    CallLine &str(const char *text);
    /// An output or callback pointer: "out"/"fn"/"ctx" or "null".
    CallLine &ptr(const void *p, const char *what = "out");
    /// A block of property data: up to 8 words, in decimal for words, quoted for strings.
    CallLine &data(const void *bytes, std::size_t size, bool isText);
    std::string finish(std::uint32_t result) const;

private:
    void sep();
    std::string text_;
    bool first_ = true;
};

std::string hexText(std::uint32_t value);

} // namespace tbx::sim
