// Readers of what the PTP SDK (PRSDK.DLL) hands over as raw little-endian bytes: the device list,
// the PTP device information and device property descriptions, and the camera records' model
// names. Every reader takes the bytes the SDK said it returned, never more than the buffer it was
// given, and checks each count against the bytes left before it reads or allocates; a reply that
// does not hold what it claims is refused with ECamException and a message naming the dataset.
#pragma once

#include "sdk/PRTypes.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tbx::sdk {

/// The most cameras the system reads from one device list, and the buffer that holds them.
inline constexpr std::size_t kPtpMaxDevices = 100;
inline constexpr std::size_t kPtpDeviceListBufferSize = 4 + kPtpMaxDevices * sizeof(PrDeviceInfoTable);

/// The cameras of a PR_GetDeviceList reply: min(its count, kPtpMaxDevices, the whole records the
/// reply holds), copied unchanged, in reply order.
/// \param reply the bytes the SDK reports as returned (at most the buffer it was given).
/// \throws ECamException when the reply is too short to hold its count.
std::vector<PrDeviceInfoTable> ReadPtpDeviceList(std::span<const std::uint8_t> reply);

/// The model name of a camera record (UTF-16 at byte 1024, at most 32 units, up to the first
/// zero) as UTF-8.
std::string PtpModelName(const PrDeviceInfoTable &device);

/// A UTF-16 text as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string PtpTextToUtf8(std::u16string_view text);

/// The PTP device information dataset (the reply of PR_GetDeviceInfo).
struct PtpDeviceInfo {
    std::uint16_t StandardVersion = 0;
    std::uint32_t VendorExtensionID = 0;
    std::uint16_t VendorExtensionVersion = 0;
    std::u16string VendorExtensionDesc;
    std::uint16_t FunctionalMode = 0;
    std::vector<std::uint16_t> OperationsSupported;
    std::vector<std::uint16_t> EventsSupported;
    std::vector<std::uint16_t> DevicePropertiesSupported;
    std::vector<std::uint16_t> CaptureFormats;
    std::vector<std::uint16_t> ImageFormats;
    std::u16string Manufacturer;
    std::u16string Model;
    std::u16string DeviceVersion;
    std::u16string SerialNumber;

    bool supportsOperation(std::uint16_t code) const;
    friend bool operator==(const PtpDeviceInfo &, const PtpDeviceInfo &) = default;
    bool listsProperty(std::uint16_t code) const;
};

/// Reads a device information dataset front to back.
/// \throws ECamException when a field, a string or an array count runs past the reply.
PtpDeviceInfo ReadPtpDeviceInfo(std::span<const std::uint8_t> reply);

/// The form of a property description's allowed values.
enum class PtpForm : std::uint8_t { None = 0, Range = 1, Enumeration = 2 };

/// The PTP data types of the integer properties: INT8 (1) to UINT64 (8).
inline constexpr std::uint16_t kPtpTypeInt8 = 0x0001;
inline constexpr std::uint16_t kPtpTypeUInt8 = 0x0002;
inline constexpr std::uint16_t kPtpTypeInt16 = 0x0003;
inline constexpr std::uint16_t kPtpTypeUInt16 = 0x0004;
inline constexpr std::uint16_t kPtpTypeInt32 = 0x0005;
inline constexpr std::uint16_t kPtpTypeUInt32 = 0x0006;
inline constexpr std::uint16_t kPtpTypeInt64 = 0x0007;
inline constexpr std::uint16_t kPtpTypeUInt64 = 0x0008;

/// The bytes of one value of an integer data type; 0 for any other type (arrays, strings).
std::size_t PtpValueSize(std::uint16_t dataType);

/// A device property description (the reply of PR_GetDevicePropDesc). Values are kept as the
/// unsigned number of their bytes; a signed type's value is not sign-extended.
struct PtpPropDesc {
    std::uint16_t PropertyCode = 0;
    std::uint16_t DataType = 0;
    std::uint8_t GetSet = 0; ///< 0 read-only, 1 read/write
    std::uint64_t FactoryDefault = 0;
    std::uint64_t Current = 0;
    std::uint8_t FormFlag = 0; ///< as sent; see form()
    /// Range form only.
    std::uint64_t Minimum = 0;
    std::uint64_t Maximum = 0;
    std::uint64_t Step = 0;
    /// Enumeration form only.
    std::vector<std::uint64_t> Values;

    PtpForm form() const;
    friend bool operator==(const PtpPropDesc &, const PtpPropDesc &) = default;
    bool allows(std::uint64_t value) const;
};

/// Reads a property description of an integer type. The allowed values are read as a range or a
/// list only when the form flag says so; any other flag reads as no form.
/// \throws ECamException for a data type that is not an integer, or when a value or the list
///   count runs past the reply.
PtpPropDesc ReadPtpPropDesc(std::span<const std::uint8_t> reply);

/// The bytes of \p info as a device information dataset (what a camera answers).
std::vector<std::uint8_t> WritePtpDeviceInfo(const PtpDeviceInfo &info);

/// The bytes of \p desc as a property description with values of PtpValueSize(desc.DataType)
/// bytes: the range for the range form, the list for the enumeration form, nothing more for any
/// other form flag.
std::vector<std::uint8_t> WritePtpPropDesc(const PtpPropDesc &desc);

/// The reply bytes of a call that reported \p reported bytes in a buffer of \p buffer bytes:
/// never more than the buffer holds, whatever the SDK claims.
inline std::span<const std::uint8_t> PtpReply(std::span<const std::uint8_t> buffer, std::uint64_t reported)
{
    return buffer.first(reported < buffer.size() ? static_cast<std::size_t>(reported) : buffer.size());
}

} // namespace tbx::sdk
