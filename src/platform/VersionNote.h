// Stamps a file version into an ELF shared library or executable, the way a VERSIONINFO resource
// stamps a PE file, so that tbx::platform::fileVersion() can check our own libraries on POSIX.
//
// Self-contained on purpose: any C or C++ file of any target (the simulated SDK libraries too)
// may include it without linking anything of ours.
//
// Usage, once per library, at namespace (file) scope of one of its source files:
//
//     #include "platform/VersionNote.h"
//     TBX_ELF_VERSION_NOTE(2, 14, 20, 4);
//
// The four arguments must be integer literals (or macros that expand to integer literals), each
// within 0..65535: they are handed to the assembler, not to the compiler.
//
// Note format (section ".note.tbxversion", section type SHT_NOTE, flags "a" so that the linker
// places it in a PT_NOTE segment and keeps it in shared libraries):
//
//     offset size  field
//          0    4  namesz = 11                 \  in the byte order of the ELF file,
//          4    4  descsz = 52                  > like every ELF note header
//          8    4  type   = 1                  /
//         12   12  name   = "TBXVERSION\0" padded with one zero byte to 12
//         24   52  desc   = VS_FIXEDFILEINFO, always little-endian:
//                     +0  dwSignature        0xFEEF04BD
//                     +4  dwStrucVersion     0x00010000
//                     +8  dwFileVersionMS    major << 16 | minor
//                    +12  dwFileVersionLS    release << 16 | build
//                    +16  dwProductVersionMS same as dwFileVersionMS
//                    +20  dwProductVersionLS same as dwFileVersionLS
//                    +24  dwFileFlagsMask    0
//                    +28  dwFileFlags        0
//                    +32  dwFileOS           0x00040004 (VOS_NT_WINDOWS32)
//                    +36  dwFileType         2 (VFT_DLL)
//                    +40  dwFileSubtype      0
//                    +44  dwFileDateMS       0
//                    +48  dwFileDateLS       0
//
// On Windows (PE files carry a VERSIONINFO resource instead) the macro emits nothing.
#pragma once

#if defined(__cplusplus)
#define TBX_VERSION_NOTE_ASSERT_(cond, msg) static_assert(cond, msg)
#else
#define TBX_VERSION_NOTE_ASSERT_(cond, msg) _Static_assert(cond, msg)
#endif

#define TBX_VERSION_NOTE_STR2_(x) #x
#define TBX_VERSION_NOTE_STR_(x) TBX_VERSION_NOTE_STR2_(x)

// Four little-endian bytes of a 32-bit assembler expression.
#define TBX_VERSION_NOTE_LE32_(expr)                                                            \
    ".byte (" expr ") & 0xFF, ((" expr ") >> 8) & 0xFF, ((" expr ") >> 16) & 0xFF, ((" expr     \
    ") >> 24) & 0xFF\n"

// "(hi << 16) | lo" as an assembler expression.
#define TBX_VERSION_NOTE_PAIR_(hi, lo)                                                          \
    "((" TBX_VERSION_NOTE_STR_(hi) ") << 16) | (" TBX_VERSION_NOTE_STR_(lo) ")"

#define TBX_VERSION_NOTE_CHECK_(major, minor, release, build)                                   \
    TBX_VERSION_NOTE_ASSERT_((major) >= 0 && (major) <= 0xFFFF && (minor) >= 0 &&                \
                                 (minor) <= 0xFFFF && (release) >= 0 && (release) <= 0xFFFF &&   \
                                 (build) >= 0 && (build) <= 0xFFFF,                              \
                             "version parts are 16-bit")

#if defined(_WIN32) || !defined(__ELF__)
#define TBX_ELF_VERSION_NOTE(major, minor, release, build)                                      \
    TBX_VERSION_NOTE_CHECK_(major, minor, release, build)
#else
#define TBX_ELF_VERSION_NOTE(major, minor, release, build)                                      \
    TBX_VERSION_NOTE_CHECK_(major, minor, release, build);                                      \
    __asm__(".pushsection .note.tbxversion,\"a\",%note\n"                                        \
            ".balign 4\n"                                                                        \
            ".4byte 11\n"                                                                        \
            ".4byte 52\n"                                                                        \
            ".4byte 1\n"                                                                         \
            ".asciz \"TBXVERSION\"\n"                                                            \
            ".balign 4\n"                                                                        \
            TBX_VERSION_NOTE_LE32_("0xFEEF04BD")                                                 \
            TBX_VERSION_NOTE_LE32_("0x00010000")                                                 \
            TBX_VERSION_NOTE_LE32_(TBX_VERSION_NOTE_PAIR_(major, minor))                         \
            TBX_VERSION_NOTE_LE32_(TBX_VERSION_NOTE_PAIR_(release, build))                       \
            TBX_VERSION_NOTE_LE32_(TBX_VERSION_NOTE_PAIR_(major, minor))                         \
            TBX_VERSION_NOTE_LE32_(TBX_VERSION_NOTE_PAIR_(release, build))                       \
            TBX_VERSION_NOTE_LE32_("0")                                                          \
            TBX_VERSION_NOTE_LE32_("0")                                                          \
            TBX_VERSION_NOTE_LE32_("0x00040004")                                                 \
            TBX_VERSION_NOTE_LE32_("2")                                                          \
            TBX_VERSION_NOTE_LE32_("0")                                                          \
            TBX_VERSION_NOTE_LE32_("0")                                                          \
            TBX_VERSION_NOTE_LE32_("0")                                                          \
            ".balign 4\n"                                                                        \
            ".popsection\n")
#endif
