#include "sdk/PSG7XMK2SDK.h"

#include "sdk/EdsErrors.h"
#include "sdk/Loader.h"

#include <iterator>
#include <string_view>

namespace tbx::sdk {

namespace {

/// The entry-point variables: written only by the binding while PSG7XMK2SDK.DLL is not loaded.
EdsEntryPoints gEntryPoints;

template <auto Member>
constexpr auto bindTo = &bindEntryPoint<gEntryPoints, Member>;

constexpr CompanionFile kCompanions[] = {
    {"PSG7XMK2SDK.dll", {1, 0, 1, 1}},
};

/// One row of an export list as the checks below compare them.
struct ExportRow {
    std::string_view name;
    unsigned ordinal;
    unsigned x86Bytes;
};

constexpr ExportRow kEdsRows[] = {
#define TBX_PS_EDS_ROW(name, ordinal, x86Bytes, result, parameters) {#name, ordinal, x86Bytes},
    TBX_EDSDK_EXPORTS(TBX_PS_EDS_ROW)
#undef TBX_PS_EDS_ROW
};

constexpr ExportRow kPsRows[] = {
#define TBX_PS_ROW(name, ordinal, x86Bytes) {#name, ordinal, x86Bytes},
    TBX_PSSDK_EXPORTS(TBX_PS_ROW)
#undef TBX_PS_ROW
};

/// True when every generation-2 row is an EOS row with the same ordinal and argument bytes,
/// taken in the EOS list's order.
constexpr bool FollowsEdsList()
{
    std::size_t next = 0;
    for (const ExportRow &row : kPsRows) {
        while (next < std::size(kEdsRows) && kEdsRows[next].name != row.name)
            ++next;
        if (next == std::size(kEdsRows) || kEdsRows[next].ordinal != row.ordinal ||
            kEdsRows[next].x86Bytes != row.x86Bytes || row.ordinal == 0)
            return false;
        ++next;
    }
    return true;
}
static_assert(FollowsEdsList(), "the generation-2 list is the EOS list's rows, in its order");
static_assert(kPsEntryPointCount == 45);

// Binding order; the position (from 1) is the number quoted when an export is missing. Every
// entry point is exported under its plain name.
constexpr EntryPoint kEntryPoints[] = {
#define TBX_PS_BINDING(name, ordinal, x86Bytes) {#name, bindTo<&EdsEntryPoints::name>},
    TBX_PSSDK_EXPORTS(TBX_PS_BINDING)
#undef TBX_PS_BINDING
};

Binding &binding()
{
    static Binding instance(BindingDescription{
        "PSG7XMK2SDK", "PSG7XMK2SDK.DLL", /*loadErrorNamesFolder=*/false, kCompanions, kEntryPoints});
    return instance;
}

// Created during static initialisation, before any load can join the unload chain (see EDSDK.cpp).
[[maybe_unused]] const bool gBindingCreated = (binding(), true);

} // namespace

void LoadPSG7XMK2SDK(const std::string &folder)
{
    binding().load(folder);
}

bool IsPSG7XMK2SDKLoaded()
{
    return binding().isLoaded();
}

const EdsEntryPoints &Ps()
{
    binding().requireLoaded();
    return gEntryPoints;
}

const char *PsExportName(int index)
{
    if (index < 0 || index >= kPsEntryPointCount)
        return nullptr;
    return kEntryPoints[index].exportName;
}

const BindingDescription &PsBindingDescription()
{
    return binding().description();
}

SdkErrorTable PsErrorTexts()
{
    return EdsErrorTexts();
}

std::string_view PsErrorText(EdsError code)
{
    return LookupErrorText(PsErrorTexts(), code);
}

void RaiseOnPsError(std::string_view label, EdsError code)
{
    RaiseOnSdkError(PsErrorTexts(), label, code);
}

} // namespace tbx::sdk
