// Fuzz target: the records the legacy library fills (device record, item information, volume
// information) and the data behind its events and properties. The input is what the library left
// in the record, however little of it; the readers must take no byte from past a field's end and
// nothing past the data's size.
#include "FuzzTarget.h"

#include "sdk/CDTypes.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

using namespace tbx::sdk;

/// \p record filled with the input's first bytes and a fill byte after them (no zeros to stop at).
template <class Record>
Record filled(const std::uint8_t *data, std::size_t size)
{
    Record record;
    std::memset(&record, 'Z', sizeof record);
    std::memcpy(&record, data, std::min(size, sizeof record));
    return record;
}

/// The text is the field's bytes up to the first zero, never longer than the field or \p limit.
void expectPrefix(const std::string &text, const char *field, std::size_t fieldSize, std::size_t limit = SIZE_MAX)
{
    const std::size_t allowed = std::min(fieldSize, limit);
    TBX_FUZZ_EXPECT(text.size() <= allowed);
    TBX_FUZZ_EXPECT(std::memcmp(text.data(), field, text.size()) == 0);
    TBX_FUZZ_EXPECT(text.find('\0') == std::string::npos);
    TBX_FUZZ_EXPECT(text.size() == allowed || field[text.size()] == '\0');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto source = filled<CdSourceInfo>(data, size);
    expectPrefix(CdModelName(source), source.Name, sizeof source.Name);
    expectPrefix(CdListName(source), source.NameInOS, sizeof source.NameInOS);

    const auto item = filled<CdItemInfo>(data, size);
    expectPrefix(CdItemName(item), item.Name, sizeof item.Name);

    const auto volume = filled<CdVolumeInfo>(data, size);
    TBX_FUZZ_EXPECT(CdVolumeWithoutSpace(volume) == (volume.TotalSpace == 0 && volume.FreeSpace == 0));

    // A property buffer of exactly the input's size, read as the owner name of at most 32
    // characters, and as event data of that size.
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    expectPrefix(CdFieldText(bytes, 32), bytes.data(), size, 32);
    const auto value = CdDataValue(size == 0 ? nullptr : data, static_cast<CdUInt32>(size));
    TBX_FUZZ_EXPECT(value.has_value() == (size >= 4));
    if (value)
        TBX_FUZZ_EXPECT(*value == tbx::fuzz::readLe(data, 4));
    return 0;
}

namespace tbx::fuzz {

std::vector<Seed> seeds()
{
    Bytes device(400, 0);
    putLe(device, 0, 2, 4);
    std::memcpy(device.data() + 8, "Canon PowerShot G5", 18);
    std::memcpy(device.data() + 72, "PowerShot G5 on USB", 19);
    putLe(device, 136, 3, 4);
    Bytes itemInfo(544, 0);
    putLe(itemInfo, 0, 2, 4);
    std::memcpy(itemInfo.data() + 12, "IMG_0001.JPG", 12);
    putLe(itemInfo, 524, 1234567, 4);
    Bytes volumeInfo(84, 0);
    putLe(volumeInfo, 4, 1 << 20, 4);
    putLe(volumeInfo, 12, 1 << 19, 4);
    Bytes battery;
    appendLe(battery, 0x30000004, 4);
    return {
        {"device-record", device, {{0, 4}, {136, 4}}},
        {"item-info", itemInfo, {{0, 4}, {524, 4}}},
        {"volume-info", volumeInfo, {{4, 4}, {12, 4}}},
        {"battery", battery, {{0, 4}}},
    };
}

} // namespace tbx::fuzz
