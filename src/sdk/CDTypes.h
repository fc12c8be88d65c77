// Types and records of the legacy SDK (CDSDK.DLL), declared with 1-byte packing as its own headers
// declare them, with their sizes and offsets checked for the 32- and the 64-bit build, and the
// readers that take texts and values out of them without reading past a field's end.
#pragma once

#include "platform/CallingConvention.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tbx::sdk {

// ---------------------------------------------------------------------------------------------
// Basic types: every handle and context is a 32-bit number, whatever the build's pointer size
// ---------------------------------------------------------------------------------------------

using CdVoid = void;
using CdChar = char;
using CdUInt8 = std::uint8_t;
using CdUInt16 = std::uint16_t;
using CdUInt32 = std::uint32_t;
using CdInt32 = std::int32_t;
using CdBoolean = CdUInt16;

/// Result of every entry point: 0 is success; the low 16 bits are the error id.
using CdError = CdUInt32;
using CdContext = CdUInt32;
using CdEventID = CdUInt32;
using CdReleaseEventID = CdUInt32;
using CdTime = CdUInt32; ///< seconds since 1970-01-01 00:00:00 UTC

using CdHandle = CdUInt32;
using CdHSource = CdHandle;
using CdHEnum = CdHandle;
using CdHItem = CdHandle;
using CdHVolume = CdHItem;
using CdHFolder = CdHItem;
using CdHImageItem = CdHItem;
using CdHImageData = CdHandle;

using CdDevicePropertyID = CdUInt32;
using CdRelCamSettingID = CdUInt32;
using CdReleaseControlFaculty = CdUInt32;
using CdProgressOption = CdUInt32;
using CdProgressStatus = CdUInt32;
using CdEnumItemOption = CdUInt32;
using CdRelViewfinderOutput = CdUInt32;

// The 16-bit values travel in a 4-byte argument slot each.
using CdRelDataKind = CdUInt16;
using CdCompQuality = CdUInt16;
using CdImageSize = CdUInt16;
using CdImageFormat = CdUInt16;
using CdShootingMode = CdUInt16;
using CdDriveMode = CdUInt16;
using CdRemoteSetAv = CdUInt16;
using CdRemoteSetTv = CdUInt16;
using CdCompensation = CdUInt16;
using CdWBLightSrc = CdUInt16;
using CdAFDistance = CdUInt16;
using CdFlashMode = CdUInt16;

/// A volume name (cdVolName).
using CdVolName = CdChar[64];

// ---------------------------------------------------------------------------------------------
// Callbacks (all __stdcall on 32-bit Windows)
// ---------------------------------------------------------------------------------------------

/// Camera events: the event word, its data and size, the context given at registration.
typedef CdUInt32 TBX_STDCALL CdEventCallbackFunction(CdEventID EventID, const CdVoid *pData, CdUInt32 DataSize,
                                                     CdContext Context);
/// Release events, of the same shape.
typedef CdUInt32 TBX_STDCALL CdReleaseEventCallbackFunction(CdReleaseEventID EventID, const CdVoid *pData,
                                                            CdUInt32 DataSize, CdContext Context);
/// Transfer progress in percent; a result of 5 (operation cancelled) cancels the transfer.
typedef CdUInt32 TBX_STDCALL CdProgressCallbackFunction(CdUInt32 Progress, CdProgressStatus Status, CdContext Context);
/// One viewfinder frame (format 0 JPEG, 1 BMP).
typedef CdUInt32 TBX_STDCALL CdViewfinderCallbackFunction(CdVoid *pBuf, CdUInt32 Size, CdUInt32 Format,
                                                          CdContext Context);

// ---------------------------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------------------------

struct CdStream; // stream callbacks of a memory destination; this system only writes files

#pragma pack(push, 1)

/// The version record of CDStartSDK and CDGetSDKVersion (cdVersionInfo).
struct CdVersionInfo {
    CdUInt16 Size; ///< 40
    CdUInt16 MajorVersion;
    CdUInt16 MinorVersion;
    CdUInt16 ReleaseVersion;
    CdChar chVersion[32];
};

/// One camera of the source enumeration (cdSourceInfo); the STI variant of the port union.
struct CdSourceInfo {
    std::uint32_t SurceType; ///< 0 invalid, 1 host, 2 camera (spelled as in the SDK)
    std::uint32_t rsrvd;
    char Name[64]; ///< the model name (ANSI)
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

/// An item of a volume (cdItemInfo): a folder, an image item or a file.
struct CdItemInfo {
    CdUInt32 Type; ///< 1 folder, 2 image item, 3 file
    CdUInt32 Attributes;
    CdTime TimeStamp;
    CdChar Name[512];
    CdUInt32 Size;
    CdUInt32 numThumbnail;
    CdUInt32 numPicture;
    CdUInt32 numMovie;
    CdUInt32 numSound;
};

/// One data stream of an image item (cdImageDataInfo).
struct CdImageDataInfo {
    CdUInt32 DataType;
    CdUInt32 Attributes;
    CdUInt32 DataSize; ///< kilobytes
    CdTime TimeStamp;
    CdChar FileName[512];
};

/// Where the library writes image data (cdStgMedium): kind 0 names a file by its ANSI path.
struct CdStgMedium {
    CdUInt32 Type; ///< 0 file, 1 stream
    union {
        const CdChar *lpszFileName;
        CdStream *pStream;
    } u;
};

/// One released picture of CDGetReleasedData (cdReleaseImageInfo).
struct CdReleaseImageInfo {
    std::uint32_t SequenceID;
    std::uint32_t DataType; ///< 0x10 thumbnail, 0x20 picture, 0x30 sound, 0x40 movie, ...
    std::uint8_t Format;
    std::uint32_t DataSize;
    char FileName[2];
};

/// One device property of the property enumeration (cdDevicePropertyStruct).
struct CdDevicePropertyStruct {
    CdDevicePropertyID DevPropID;
    CdUInt32 Access;
    CdUInt32 DataSize;
    CdUInt32 rsrvd;
};

/// One release-camera setting of the setting enumeration (cdRelCamSettingStruct).
struct CdRelCamSettingStruct {
    CdRelCamSettingID SettingID;
    CdUInt32 Access;
    CdUInt32 rsrvd;
};

/// An image size the camera offers (cdImageSizeSpec).
struct CdImageSizeSpec {
    CdImageSize ImageSize;
    CdUInt32 Width;
    CdUInt32 Height;
    CdChar SizeName[64];
};

/// A rectangle (cdRect), sides in this order.
struct CdRect {
    CdInt32 Left;
    CdInt32 Right;
    CdInt32 Top;
    CdInt32 Bottom;
};

struct CdURational {
    CdUInt32 Numerator;
    CdUInt32 Denominator;
};

/// The parameter of a camera or release event: a 32-bit value behind the event's data pointer
/// (the image count of a release, the error kind of a hardware reset, ...).
struct CdEventParam {
    std::uint32_t Value;
};

#pragma pack(pop)

static_assert(sizeof(CdVersionInfo) == 40);
static_assert(offsetof(CdVersionInfo, chVersion) == 8);

static_assert(sizeof(CdSourceInfo) == 400);
static_assert(offsetof(CdSourceInfo, Name) == 8);
static_assert(offsetof(CdSourceInfo, NameInOS) == 72);
static_assert(offsetof(CdSourceInfo, PortType) == 136);
static_assert(offsetof(CdSourceInfo, DeviceInternalName) == 144);

static_assert(sizeof(CdVolumeInfo) == 84);
static_assert(offsetof(CdVolumeInfo, TotalSpace) == 4);
static_assert(offsetof(CdVolumeInfo, FreeSpace) == 12);
static_assert(offsetof(CdVolumeInfo, Name) == 20);

static_assert(sizeof(CdItemInfo) == 544);
static_assert(offsetof(CdItemInfo, Name) == 12);
static_assert(offsetof(CdItemInfo, Size) == 524);
static_assert(offsetof(CdItemInfo, numSound) == 540);

static_assert(sizeof(CdImageDataInfo) == 528);
static_assert(offsetof(CdImageDataInfo, FileName) == 16);

// The file name is a pointer: 8 bytes in the 32-bit build the vendor ships, 12 in a 64-bit one.
static_assert(offsetof(CdStgMedium, u) == 4);
static_assert(sizeof(CdStgMedium) == 4 + sizeof(void *));

static_assert(sizeof(CdReleaseImageInfo) == 15);
static_assert(offsetof(CdReleaseImageInfo, Format) == 8);
static_assert(offsetof(CdReleaseImageInfo, DataSize) == 9);
static_assert(offsetof(CdReleaseImageInfo, FileName) == 13);

static_assert(sizeof(CdDevicePropertyStruct) == 16);
static_assert(sizeof(CdRelCamSettingStruct) == 12);
static_assert(sizeof(CdImageSizeSpec) == 74);
static_assert(offsetof(CdImageSizeSpec, SizeName) == 10);
static_assert(sizeof(CdRect) == 16);
static_assert(sizeof(CdURational) == 8);
static_assert(sizeof(CdEventParam) == 4);

// ---------------------------------------------------------------------------------------------
// Readers
// ---------------------------------------------------------------------------------------------

/// The single-byte text of a fixed-size field: up to its first zero byte, its end (a field the
/// library filled to the brim has no terminator) or \p maxChars characters, whichever comes first.
std::string CdFieldText(std::span<const char> field, std::size_t maxChars = SIZE_MAX);

/// The model name of a device record (bytes 8 to 71).
std::string CdModelName(const CdSourceInfo &source);
/// The name of a device record shown in the enumeration list (bytes 72 to 135).
std::string CdListName(const CdSourceInfo &source);
/// The name of an item (from byte 12, at most 512 characters).
std::string CdItemName(const CdItemInfo &item);

/// True when a volume reports neither total nor free space: no card, or one the camera cannot
/// use. The spaces are the two 64-bit values at bytes 4 and 12.
bool CdVolumeWithoutSpace(const CdVolumeInfo &volume);

/// The 32-bit value behind an event's or a property's data: empty for a null pointer or fewer
/// than 4 bytes.
std::optional<CdUInt32> CdDataValue(const CdVoid *data, CdUInt32 size);

} // namespace tbx::sdk
