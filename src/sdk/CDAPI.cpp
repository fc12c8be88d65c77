#include "sdk/CDAPI.h"

#include "sdk/ArgumentBytes.h"
#include "sdk/EdsErrors.h"

#include <algorithm>
#include <iterator>

namespace tbx::sdk {

// CDMakeImageItem takes a storage medium by value: two slots in the 32-bit library, whatever the
// size of the pointer inside it in this build.
template <>
inline constexpr unsigned kX86ParameterBytes<CdStgMedium> = 8;

namespace {

/// The entry-point variables: written only by the binding while CDSDK.DLL is not loaded.
CdEntryPoints gEntryPoints;

template <auto Member>
constexpr auto bindTo = &bindEntryPoint<gEntryPoints, Member>;

constexpr CompanionFile kCompanions[] = {
#define TBX_CD_COMPANION(file, major, minor, release, build) {file, {major, minor, release, build}},
    TBX_CDSDK_COMPANIONS(TBX_CD_COMPANION)
#undef TBX_CD_COMPANION
};
static_assert(std::size(kCompanions) == 12);

// Each declaration pops what the vendor's 32-bit import library says, on every platform.
#define TBX_CD_CHECK_BYTES(name, kind, x86Bytes, result, parameters)                                                   \
    static_assert(X86ArgumentBytes<void parameters>::value == x86Bytes, #name " pops " #x86Bytes " bytes");
TBX_CDSDK_EXPORTS(TBX_CD_CHECK_BYTES)
#undef TBX_CD_CHECK_BYTES

// Binding order; the position (from 1) is the number quoted when an export is missing.
constexpr EntryPoint kEntryPoints[] = {
#define TBX_CD_BINDING(name, kind, x86Bytes, result, parameters)                                                       \
    {TBX_CDSDK_EXPORT_NAME(name, kind, x86Bytes), bindTo<&CdEntryPoints::name>},
    TBX_CDSDK_EXPORTS(TBX_CD_BINDING)
#undef TBX_CD_BINDING
};
static_assert(std::size(kEntryPoints) == 153 && kCdEntryPointCount == 153);
static_assert(sizeof(CdEntryPoints) == kCdEntryPointCount * sizeof(void (*)()),
              "every entry-point variable has a row in the binding list");

Binding &binding()
{
    static Binding instance(
        BindingDescription{"CDAPI", "CDSDK.DLL", /*loadErrorNamesFolder=*/false, kCompanions, kEntryPoints});
    return instance;
}

// Created during static initialisation, before any load can join the unload chain (see EDSDK.cpp).
[[maybe_unused]] const bool gBindingCreated = (binding(), true);

/// The last code of the legacy library's texts; the EOS library's table goes on past it.
constexpr std::uint16_t kLastCdErrorCode = 0x00F4;

/// "_Name@8" without its decoration; any other label as it is.
std::string_view Undecorated(std::string_view label)
{
    const std::size_t at = label.rfind('@');
    if (label.size() < 3 || label.front() != '_' || at == std::string_view::npos || at + 1 == label.size() ||
        !std::all_of(label.begin() + static_cast<std::ptrdiff_t>(at) + 1, label.end(),
                     [](char c) { return c >= '0' && c <= '9'; }))
        return label;
    return label.substr(1, at - 1);
}

} // namespace

void LoadCDSDK(const std::string &folder) { binding().load(folder); }

bool IsCDSDKLoaded() { return binding().isLoaded(); }

const CdEntryPoints &Cd()
{
    binding().requireLoaded();
    return gEntryPoints;
}

const char *CdExportName(int index)
{
    if (index < 0 || index >= kCdEntryPointCount)
        return nullptr;
    return kEntryPoints[index].exportName;
}

const BindingDescription &CdBindingDescription() { return binding().description(); }

std::span<const CompanionFile> CdCompanionFiles() { return kCompanions; }

SdkErrorTable CdErrorTexts()
{
    static const SdkErrorTable table = [] {
        const SdkErrorTable eos = EdsErrorTexts();
        const auto end = std::upper_bound(eos.begin(), eos.end(), kLastCdErrorCode,
                                          [](std::uint16_t code, const SdkErrorText &row) { return code < row.code; });
        return eos.first(static_cast<std::size_t>(end - eos.begin()));
    }();
    return table;
}

std::string_view CDErrorText(CdError code) { return LookupErrorText(CdErrorTexts(), code); }

void RaiseOnCDError(std::string_view label, CdError code) { RaiseOnSdkError(CdErrorTexts(), Undecorated(label), code); }

} // namespace tbx::sdk
