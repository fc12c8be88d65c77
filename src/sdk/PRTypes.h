// Records of the PTP SDK (PRSDK.DLL), declared with 1-byte packing as its own headers declare
// them, with their sizes and offsets checked for the 32- and the 64-bit build.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace tbx::sdk {

#pragma pack(push, 1)

/// One camera of PR_GetDeviceList (prDeviceInfoTable).
struct PrDeviceInfoTable {
    char16_t DeviceInternalName[512];
    char16_t ModelName[32];
    std::uint16_t Generation; ///< sub-generation in the high byte
    std::uint32_t Reserved1;
    std::uint32_t ModelID;
    std::uint16_t Reserved2;
    std::uint16_t PortType; ///< 1 WIA, 2 STI
    std::uint32_t Reserved3;
};

/// The transfer progress record handed to the transfer callback (prProgress): percentage at
/// byte 8, block length at byte 16, block address at byte 28.
struct PrProgress {
    std::int32_t Message; ///< 1 data header, 2 data, 4 termination
    std::int32_t Status;
    std::uint32_t PercentComplete;
    std::uint32_t Offset;
    std::uint32_t Length;
    std::uint32_t Reserved;
    std::uint32_t ResLength;
    const std::uint8_t *Data;
};

/// The reply of PR_GetDeviceList (prDeviceList): a count, then that many camera records. Declared
/// with room for one record, as the SDK declares it; a reply holds as many as its size says.
struct PrDeviceList {
    std::uint32_t NumList;
    PrDeviceInfoTable DeviceInfo[1];
};

/// One library's version (prVerInfo): its full path and its version text ("1, 1, 0, 20").
struct PrVerInfo {
    char16_t ModuleName[512];
    char16_t Version[32];
};

/// The reply of PR_GetDllsVersion (prDllsVerInfo): a count, then that many versions.
struct PrDllsVerInfo {
    std::uint32_t Entry;
    PrVerInfo VerInfo[1];
};

#pragma pack(pop)

static_assert(sizeof(PrDeviceInfoTable) == 1106);
static_assert(offsetof(PrDeviceInfoTable, ModelName) == 1024);
static_assert(offsetof(PrDeviceInfoTable, Generation) == 1088);
static_assert(offsetof(PrDeviceInfoTable, ModelID) == 1094);
static_assert(offsetof(PrDeviceInfoTable, PortType) == 1100);
static_assert(offsetof(PrDeviceInfoTable, Reserved3) == 1102);

static_assert(sizeof(PrDeviceList) == 4 + 1106);
static_assert(offsetof(PrDeviceList, DeviceInfo) == 4);
static_assert(sizeof(PrVerInfo) == 1088);
static_assert(offsetof(PrVerInfo, Version) == 1024);
static_assert(sizeof(PrDllsVerInfo) == 4 + 1088);

static_assert(offsetof(PrProgress, PercentComplete) == 8);
static_assert(offsetof(PrProgress, Offset) == 12);
static_assert(offsetof(PrProgress, Length) == 16);
static_assert(offsetof(PrProgress, ResLength) == 24);
static_assert(offsetof(PrProgress, Data) == 28);
static_assert(sizeof(PrProgress) == 28 + sizeof(void *)); // 32 on 32-bit, 36 on 64-bit builds

/// A copy of a PTP event container as the PTP SDK reports it to the event callback: length,
/// container type, event code, transaction id, then up to three parameters. The engine keeps
/// copies of those that announce an object for transfer.
struct PtpEventRecord {
    static constexpr std::size_t kSize = 412;
    static constexpr std::size_t kCodeOffset = 6;
    static constexpr std::size_t kObjectOffset = 12;
    static constexpr std::size_t kParameterOffset = 16;
    static constexpr std::size_t kHeaderSize = 12; ///< length, type, code, transaction id

    std::array<std::uint8_t, kSize> Bytes{};

    /// Copies a container from the SDK, trusting only its own length field: at most 412 bytes
    /// are read and the rest stays zero. Empty for a null pointer or a container shorter than
    /// its header.
    static std::optional<PtpEventRecord> fromContainer(const void *data);

    std::uint32_t length() const { return u32(0); }
    std::uint16_t eventCode() const;
    std::uint32_t objectHandle() const { return u32(kObjectOffset); }
    /// The 32-bit value at byte 16 (the battery level of a battery event).
    std::uint32_t parameter() const { return u32(kParameterOffset); }

private:
    std::uint32_t u32(std::size_t offset) const;
};

} // namespace tbx::sdk
