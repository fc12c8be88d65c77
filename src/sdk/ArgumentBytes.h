// What a 32-bit __stdcall function pops: the bindings check each entry point's declared
// parameters against the argument bytes of the vendor's import library, in every build.
#pragma once

#include <cstddef>
#include <type_traits>

namespace tbx::sdk {

/// The bytes a parameter of type \p T takes on the 32-bit stack: whole 4-byte slots, a pointer
/// one. A binding specialises it for a record passed by value that holds a pointer.
template <class T>
inline constexpr unsigned kX86ParameterBytes = std::is_pointer_v<T> ? 4u
                                                                    : (static_cast<unsigned>(sizeof(T)) + 3u) / 4u * 4u;

template <class Function>
struct X86ArgumentBytes;

template <class... Parameters>
struct X86ArgumentBytes<void(Parameters...)> {
    static constexpr unsigned value = (0u + ... + kX86ParameterBytes<Parameters>);
};

} // namespace tbx::sdk
