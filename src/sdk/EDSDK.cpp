#include "sdk/EDSDK.h"

#include "sdk/ArgumentBytes.h"
#include "sdk/Loader.h"

#include <iterator>
#include <type_traits>

namespace tbx::sdk {

namespace {

/// The entry-point variables: written only by the binding while EDSDK.DLL is not loaded.
EdsEntryPoints gEntryPoints;

template <auto Member>
constexpr auto bindTo = &bindEntryPoint<gEntryPoints, Member>;

constexpr CompanionFile kCompanions[] = {
    {"EDSDK.DLL", {13, 10, 20, 0}},
    {"EdsImage.dll", {13, 10, 0, 0}},
};

// Each declaration pops what the vendor's 32-bit import library says, on every platform.
#define TBX_EDS_CHECK_BYTES(name, ordinal, x86Bytes, result, parameters)                            \
    static_assert(X86ArgumentBytes<void parameters>::value == x86Bytes, #name " pops " #x86Bytes " bytes");
TBX_EDSDK_EXPORTS(TBX_EDS_CHECK_BYTES)
#undef TBX_EDS_CHECK_BYTES

// Binding order; the position (from 1) is the number quoted when an export is missing.
constexpr EntryPoint kEntryPoints[] = {
#define TBX_EDS_BINDING(name, ordinal, x86Bytes, result, parameters)                                \
    {TBX_EDSDK_EXPORT_NAME(name, ordinal, x86Bytes), bindTo<&EdsEntryPoints::name>},
    TBX_EDSDK_EXPORTS(TBX_EDS_BINDING)
#undef TBX_EDS_BINDING
};
static_assert(std::size(kEntryPoints) == kEdsEntryPointCount);
static_assert(sizeof(EdsEntryPoints) == kEdsEntryPointCount * sizeof(void (*)()),
              "every entry-point variable has a row in the binding list");

Binding &binding()
{
    static Binding instance(BindingDescription{
        "EDSDK", "EDSDK.DLL", /*loadErrorNamesFolder=*/true, kCompanions, kEntryPoints});
    return instance;
}

// Created during static initialisation, before any load can join the unload chain, so that the
// chain (created by the first load) is destroyed, and frees the library, before the binding.
[[maybe_unused]] const bool gBindingCreated = (binding(), true);

} // namespace

void LoadEDSDK(const std::string &folder)
{
    binding().load(folder);
}

bool IsEDSDKLoaded()
{
    return binding().isLoaded();
}

const EdsEntryPoints &Eds()
{
    binding().requireLoaded();
    return gEntryPoints;
}

const char *EdsExportName(int index)
{
    if (index < 0 || index >= kEdsEntryPointCount)
        return nullptr;
    return kEntryPoints[index].exportName;
}

const BindingDescription &EdsBindingDescription()
{
    return binding().description();
}

} // namespace tbx::sdk
