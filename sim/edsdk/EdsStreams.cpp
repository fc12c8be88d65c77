// Streams of the EOS stand-in: memory, a caller's buffer, files and the caller's callbacks.
#include <algorithm>
#include <cstring>

#include "EdsObjects.h"

namespace tbx::sim::eds {

namespace {

constexpr EdsSeekOrigin kSeekCur = 0;
constexpr EdsSeekOrigin kSeekBegin = 1;
constexpr EdsSeekOrigin kSeekEnd = 2;

bool fileSeek(std::FILE *file, std::uint64_t position)
{
#if defined(_WIN32)
    return _fseeki64(file, static_cast<long long>(position), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}

} // namespace

const char *kindName(Kind kind)
{
    switch (kind) {
    case Kind::List:
        return "list";
    case Kind::Camera:
        return "camera";
    case Kind::Volume:
        return "volume";
    case Kind::Item:
        return "item";
    case Kind::Stream:
        return "stream";
    case Kind::Evf:
        return "evf";
    case Kind::Image:
        return "image";
    }
    return "object";
}

StreamObject::~StreamObject()
{
    if (file != nullptr)
        std::fclose(file);
}

EdsError StreamObject::write(const void *data, std::uint64_t size, std::uint64_t *written)
{
    if (written != nullptr)
        *written = 0;
    if (!writable)
        return kStreamWriteError;
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    switch (type) {
    case Type::Memory: {
        if (position + size > (1ull << 31))
            return kMemAllocFailed;
        const auto end = static_cast<std::size_t>(position + size);
        if (memory.size() < end)
            memory.resize(end);
        std::memcpy(memory.data() + position, bytes, static_cast<std::size_t>(size));
        position = end;
        if (written != nullptr)
            *written = size;
        return kOk;
    }
    case Type::Fixed: {
        if (position >= fixedSize && size > 0)
            return kStreamEndOfStream;
        const std::uint64_t n = std::min(size, fixedSize - position);
        std::memcpy(fixed + position, bytes, static_cast<std::size_t>(n));
        position += n;
        if (written != nullptr)
            *written = n;
        return n < size ? kStreamEndOfStream : kOk;
    }
    case Type::File: {
        if (!fileSeek(file, position))
            return kFileSeekError;
        const std::size_t n = std::fwrite(bytes, 1, static_cast<std::size_t>(size), file);
        position += n;
        fileLength = std::max(fileLength, position);
        if (written != nullptr)
            *written = n;
        return n == size ? kOk : kFileWriteError;
    }
    case Type::User: {
        std::uint64_t done = 0;
        while (done < size) {
            const auto chunk = static_cast<EdsUInt32>(std::min<std::uint64_t>(size - done, 1u << 30));
            EdsUInt32 n = 0;
            const EdsError e = user.write(user.context, chunk, bytes + done, &n);
            done += std::min(n, chunk);
            if (e != kOk) {
                if (written != nullptr)
                    *written = done;
                return e;
            }
            if (n == 0)
                break;
        }
        if (written != nullptr)
            *written = done;
        return done == size ? kOk : kStreamWriteError;
    }
    }
    return kInternalError;
}

EdsError StreamObject::read(void *data, std::uint64_t size, std::uint64_t *got)
{
    if (got != nullptr)
        *got = 0;
    if (!readable)
        return kStreamReadError;
    auto *bytes = static_cast<std::uint8_t *>(data);
    switch (type) {
    case Type::Memory:
    case Type::Fixed: {
        const std::uint64_t total = type == Type::Memory ? memory.size() : fixedSize;
        const std::uint8_t *base = type == Type::Memory ? memory.data() : fixed;
        const std::uint64_t n = position >= total ? 0 : std::min(size, total - position);
        if (n > 0)
            std::memcpy(bytes, base + position, static_cast<std::size_t>(n));
        position += n;
        if (got != nullptr)
            *got = n;
        return kOk;
    }
    case Type::File: {
        if (!fileSeek(file, position))
            return kFileSeekError;
        const std::size_t n = std::fread(bytes, 1, static_cast<std::size_t>(size), file);
        position += n;
        if (got != nullptr)
            *got = n;
        return n < size && std::ferror(file) ? kFileReadError : kOk;
    }
    case Type::User: {
        const auto chunk = static_cast<EdsUInt32>(std::min<std::uint64_t>(size, 1u << 30));
        EdsUInt32 n = 0;
        const EdsError e = user.read(user.context, chunk, bytes, &n);
        if (got != nullptr)
            *got = std::min(n, chunk);
        return e;
    }
    }
    return kInternalError;
}

EdsError StreamObject::length(std::uint64_t *out)
{
    switch (type) {
    case Type::Memory:
        *out = memory.size();
        return kOk;
    case Type::Fixed:
        *out = fixedSize;
        return kOk;
    case Type::File:
        *out = fileLength;
        return kOk;
    case Type::User: {
        EdsUInt32 n = 0;
        const EdsError e = user.getLength(user.context, &n);
        *out = n;
        return e;
    }
    }
    return kInternalError;
}

EdsError StreamObject::seek(std::int64_t offset, EdsSeekOrigin origin)
{
    if (type == Type::User) {
        if (offset < INT32_MIN || offset > INT32_MAX)
            return kStreamSeekError;
        return user.seek(user.context, static_cast<EdsInt32>(offset), origin);
    }
    std::uint64_t total = 0;
    length(&total);
    std::int64_t base = 0;
    if (origin == kSeekCur)
        base = static_cast<std::int64_t>(position);
    else if (origin == kSeekEnd)
        base = static_cast<std::int64_t>(total);
    else if (origin != kSeekBegin)
        return kInvalidParameter;
    const std::int64_t target = base + offset;
    if (target < 0)
        return kStreamSeekError;
    // Fixed buffers cannot grow; memory and files may be positioned past their end.
    if (type == Type::Fixed && static_cast<std::uint64_t>(target) > fixedSize)
        return kStreamSeekError;
    position = static_cast<std::uint64_t>(target);
    return kOk;
}

EdsError StreamObject::replace(const std::vector<std::uint8_t> &bytes)
{
    if (type == Type::Memory) {
        memory = bytes;
        position = 0;
        return kOk;
    }
    std::uint64_t written = 0;
    return write(bytes.data(), bytes.size(), &written);
}

EdsError StreamObject::readAll(std::vector<std::uint8_t> &out)
{
    const std::uint64_t saved = position;
    std::uint64_t total = 0;
    EdsError e = length(&total);
    if (e != kOk)
        return e;
    if (total > (1ull << 30))
        return kMemAllocFailed;
    e = seek(0, kSeekBegin);
    if (e != kOk)
        return e;
    out.resize(static_cast<std::size_t>(total));
    std::uint64_t done = 0;
    while (done < total) {
        std::uint64_t got = 0;
        e = read(out.data() + done, total - done, &got);
        if (e != kOk)
            break;
        if (got == 0)
            break;
        done += got;
    }
    out.resize(static_cast<std::size_t>(done));
    if (type != Type::User)
        position = saved;
    else
        seek(static_cast<std::int64_t>(saved), kSeekBegin);
    return e;
}

} // namespace tbx::sim::eds
