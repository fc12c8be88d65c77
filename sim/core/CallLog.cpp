#include "CallLog.h"

#include <cstdio>
#include <cstring>

namespace tbx::sim {

void CallLog::add(std::string line)
{
    std::lock_guard lock(mutex_);
    lines_.push_back(std::move(line));
    while (lines_.size() > limit_) {
        lines_.pop_front();
        ++dropped_;
    }
}

void CallLog::clear()
{
    std::lock_guard lock(mutex_);
    lines_.clear();
    dropped_ = 0;
}

std::string CallLog::text() const
{
    std::lock_guard lock(mutex_);
    std::string out;
    for (const auto &line : lines_) {
        out += line;
        out += '\n';
    }
    return out;
}

std::vector<std::string> CallLog::lines() const
{
    std::lock_guard lock(mutex_);
    return {lines_.begin(), lines_.end()};
}

std::size_t CallLog::dropped() const
{
    std::lock_guard lock(mutex_);
    return dropped_;
}

void CallLog::setLimit(std::size_t limit)
{
    std::lock_guard lock(mutex_);
    limit_ = limit == 0 ? 1 : limit;
    while (lines_.size() > limit_) {
        lines_.pop_front();
        ++dropped_;
    }
}

std::size_t CallLog::limit() const
{
    std::lock_guard lock(mutex_);
    return limit_;
}

std::string hexText(std::uint32_t value)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(value));
    return buf;
}

void CallLine::sep()
{
    if (!first_)
        text_ += ", ";
    first_ = false;
}

CallLine &CallLine::raw(const std::string &text)
{
    sep();
    text_ += text;
    return *this;
}

CallLine &CallLine::hex(std::uint32_t value)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", static_cast<unsigned>(value));
    return raw(buf);
}

CallLine &CallLine::dec(std::int64_t value) { return raw(std::to_string(value)); }

CallLine &CallLine::udec(std::uint64_t value) { return raw(std::to_string(value)); }

CallLine &CallLine::str(const char *text)
{
    if (text == nullptr)
        return raw("null");
    std::string quoted = "\"";
    // Cut long texts: the log is for reading, not for carrying data.
    std::size_t n = strnlen(text, 300);
    quoted.append(text, n > 256 ? 256 : n);
    if (n > 256)
        quoted += "...";
    quoted += '"';
    return raw(quoted);
}

CallLine &CallLine::ptr(const void *p, const char *what) { return raw(p == nullptr ? "null" : what); }

CallLine &CallLine::data(const void *bytes, std::size_t size, bool isText)
{
    if (bytes == nullptr)
        return raw("null");
    const auto *b = static_cast<const unsigned char *>(bytes);
    if (isText) {
        std::string text(reinterpret_cast<const char *>(b), strnlen(reinterpret_cast<const char *>(b), size));
        return str(text.c_str());
    }
    std::string out = "{";
    std::size_t words = size / 4;
    for (std::size_t i = 0; i < words && i < 8; ++i) {
        std::int32_t w;
        std::memcpy(&w, b + i * 4, 4);
        if (i)
            out += ' ';
        out += std::to_string(w);
    }
    if (words > 8)
        out += " ...";
    if (words == 0) {
        for (std::size_t i = 0; i < size; ++i) {
            if (i)
                out += ' ';
            out += std::to_string(b[i]);
        }
    }
    out += '}';
    return raw(out);
}

std::string CallLine::finish(std::uint32_t result) const { return text_ + ") -> " + hexText(result); }

} // namespace tbx::sim
