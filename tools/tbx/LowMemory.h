// Memory whose address fits in 32 bits, for hosts that take live-view frames as 32-bit
// addresses in a 64-bit process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#elif defined(__linux__)
#include <sys/mman.h>
#endif

namespace tbx {

/// A block below 4 GiB, or an empty one (data() == nullptr) where none can be had.
class LowMemoryBlock {
public:
    explicit LowMemoryBlock(std::size_t size) : size_(size)
    {
        if (sizeof(void *) == 4) {
            data_ = static_cast<std::uint8_t *>(std::malloc(size));
            return;
        }
#if defined(_WIN32)
        for (std::uintptr_t at = 0x10000000; at < 0xF0000000u && data_ == nullptr; at += 0x01000000)
            data_ = static_cast<std::uint8_t *>(
                VirtualAlloc(reinterpret_cast<void *>(at), size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
#elif defined(__linux__) && defined(MAP_32BIT)
        void *p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
        data_ = p == MAP_FAILED ? nullptr : static_cast<std::uint8_t *>(p);
#endif
        if (data_ != nullptr && reinterpret_cast<std::uintptr_t>(data_) + size > 0xFFFFFFFFu) {
            release();
            data_ = nullptr;
        }
    }
    ~LowMemoryBlock() { release(); }
    LowMemoryBlock(const LowMemoryBlock &) = delete;
    LowMemoryBlock &operator=(const LowMemoryBlock &) = delete;

    std::uint8_t *data() const { return data_; }
    std::size_t size() const { return data_ != nullptr ? size_ : 0; }

private:
    void release()
    {
        if (data_ == nullptr)
            return;
        if (sizeof(void *) == 4) {
            std::free(data_);
            return;
        }
#if defined(_WIN32)
        VirtualFree(data_, 0, MEM_RELEASE);
#elif defined(__linux__) && defined(MAP_32BIT)
        munmap(data_, size_);
#endif
    }

    std::uint8_t *data_ = nullptr;
    std::size_t size_ = 0;
};

/// True when this platform can place a LowMemoryBlock.
inline bool lowMemoryAvailable()
{
    return LowMemoryBlock(4096).data() != nullptr;
}

} // namespace tbx
