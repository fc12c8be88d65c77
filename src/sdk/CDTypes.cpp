#include "sdk/CDTypes.h"

#include "sdk/LeReader.h"

#include <algorithm>

namespace tbx::sdk {

std::string CdFieldText(std::span<const char> field, std::size_t maxChars)
{
    const std::span<const char> allowed = field.first(std::min(field.size(), maxChars));
    const auto end = std::find(allowed.begin(), allowed.end(), '\0');
    return std::string(allowed.begin(), end);
}

std::string CdModelName(const CdSourceInfo &source) { return CdFieldText(source.Name); }

std::string CdListName(const CdSourceInfo &source) { return CdFieldText(source.NameInOS); }

std::string CdItemName(const CdItemInfo &item) { return CdFieldText(item.Name); }

bool CdVolumeWithoutSpace(const CdVolumeInfo &volume) { return volume.TotalSpace == 0 && volume.FreeSpace == 0; }

std::optional<CdUInt32> CdDataValue(const CdVoid *data, CdUInt32 size)
{
    if (data == nullptr || size < sizeof(CdUInt32))
        return std::nullopt;
    return LeReader(data, sizeof(CdUInt32)).u32();
}

} // namespace tbx::sdk
