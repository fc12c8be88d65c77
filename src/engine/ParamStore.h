// The two files in which shooting parameters are kept.
//
// Camera remote parameter file (52 bytes, little-endian): a signed 32-bit record length, always 48,
// then the RemoteParamsType record byte for byte, padding included.
//
// Probe cache file (359 bytes, little-endian): a signed 32-bit format number, always 326, then the
// RemoteParamSupportType record. A file with any other format number is treated as absent, so the
// driver probes the camera again and rewrites it.
//
// Both files are written under a temporary name in the same folder and then renamed over the
// target, so a reader never finds a stored file empty or half written.
#pragma once

#include "engine/CamDefines.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tbx {

inline constexpr std::int32_t kRemoteParamsRecordLength = 48;
inline constexpr std::size_t kRemoteParamsFileSize = 4 + sizeof(RemoteParamsType);
inline constexpr std::int32_t kParamSupportCacheFormat = 326;
inline constexpr std::size_t kParamSupportCacheFileSize = 4 + sizeof(RemoteParamSupportType);

static_assert(sizeof(RemoteParamsType) == 48);
static_assert(sizeof(RemoteParamSupportType) == 355);
static_assert(kRemoteParamsFileSize == 52);
static_assert(kParamSupportCacheFileSize == 359);

// ---------------------------------------------------------------------------------------------
// Camera remote parameter file
// ---------------------------------------------------------------------------------------------

/// The 52 bytes of a parameter file holding \a params.
std::array<std::uint8_t, kRemoteParamsFileSize> EncodeRemoteParamsFile(const RemoteParamsType &params);

/// The record of a parameter file's content; empty when the content is shorter than 52 bytes or
/// does not start with the record length 48. Bytes after the record are ignored.
std::optional<RemoteParamsType> DecodeRemoteParamsFile(std::span<const std::uint8_t> content);

/// Reads the parameter file \a fileName. Raises EInOutError when the file cannot be opened or
/// read, and ECamException "Camera remote parameters file <name> is of invalid data format.
/// Please create a new file." when its content is not a parameter record.
RemoteParamsType ReadRemoteParamsFile(const std::string &fileName);

/// Stores \a params in the parameter file \a fileName, replacing an existing file only once the
/// new content is complete. Raises EInOutError when the file cannot be written; an existing file
/// is then left as it was.
void WriteRemoteParamsFile(const std::string &fileName, const RemoteParamsType &params);

// ---------------------------------------------------------------------------------------------
// Probe cache file
// ---------------------------------------------------------------------------------------------

/// Reads the probe cache file \a fileName into \a record. Returns true only when the file starts
/// with format number 326 and all 355 bytes of the table were read; otherwise (missing file, other
/// format number, short file, read error) returns false and leaves \a record untouched.
bool LoadRemoteParamSupportCache(const std::string &fileName, RemoteParamSupportType &record) noexcept;

/// Writes \a record to the probe cache file \a fileName, creating every missing folder of its
/// path. Raises EInOutError naming the file when it cannot be written; an existing file is then
/// left as it was.
void SaveRemoteParamSupportCache(const std::string &fileName, const RemoteParamSupportType &record);

/// SaveRemoteParamSupportCache for callers whose work must not fail because the cache could not be
/// stored (a driver's RemoteStart): returns false instead of raising.
bool TrySaveRemoteParamSupportCache(const std::string &fileName,
                                    const RemoteParamSupportType &record) noexcept;

} // namespace tbx
