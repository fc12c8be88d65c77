// Records of the legacy SDK (CDSDK.DLL), declared with 1-byte packing as its own headers declare
// them, with their sizes and offsets checked for the 32- and the 64-bit build.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tbx::sdk {

#pragma pack(push, 1)

/// One camera of the source enumeration (cdSourceInfo); the STI variant of the port union.
struct CdSourceInfo {
    std::uint32_t SurceType; ///< 0 invalid, 1 host, 2 camera (spelled as in the SDK)
    std::uint32_t rsrvd;
    char Name[64];     ///< the model name (ANSI)
    char NameInOS[64];
    std::uint32_t PortType; ///< 0 none, 3 STI, 4 WIA
    std::uint32_t DataType;
    char16_t DeviceInternalName[128];
};

/// A storage volume of the camera (cdVolumeInfo); the spaces are in kilobytes.
struct CdVolumeInfo {
    std::uint16_t HWtype;
    std::uint16_t isRemoveable;
    std::uint64_t TotalSpace;
    std::uint64_t FreeSpace;
    char Name[64];
};

/// One released picture of CDGetReleasedData (cdReleaseImageInfo).
struct CdReleaseImageInfo {
    std::uint32_t SequenceID;
    std::uint32_t DataType; ///< 0x10 thumbnail, 0x20 picture, 0x30 sound, 0x40 movie, ...
    std::uint8_t Format;
    std::uint32_t DataSize;
    char FileName[2];
};

/// The parameter of a camera or release event: a 32-bit value behind the event's data pointer
/// (the image count of a release, the error kind of a hardware reset, ...).
struct CdEventParam {
    std::uint32_t Value;
};

#pragma pack(pop)

static_assert(sizeof(CdSourceInfo) == 400);
static_assert(offsetof(CdSourceInfo, Name) == 8);
static_assert(offsetof(CdSourceInfo, NameInOS) == 72);
static_assert(offsetof(CdSourceInfo, PortType) == 136);
static_assert(offsetof(CdSourceInfo, DeviceInternalName) == 144);

static_assert(sizeof(CdVolumeInfo) == 84);
static_assert(offsetof(CdVolumeInfo, TotalSpace) == 4);
static_assert(offsetof(CdVolumeInfo, FreeSpace) == 12);
static_assert(offsetof(CdVolumeInfo, Name) == 20);

static_assert(sizeof(CdReleaseImageInfo) == 15);
static_assert(offsetof(CdReleaseImageInfo, Format) == 8);
static_assert(offsetof(CdReleaseImageInfo, DataSize) == 9);
static_assert(offsetof(CdReleaseImageInfo, FileName) == 13);

static_assert(sizeof(CdEventParam) == 4);

} // namespace tbx::sdk
