#include "EosProfile.h"

#include <cstring>
#include <utility>

#include "EdsTypes.h"

namespace tbx::sim::eds {

namespace {

struct Named {
    const char *name;
    EdsUInt32 id;
};

constexpr Named kPropertyNames[] = {
    {"ProductName", kPropProductName},
    {"OwnerName", kPropOwnerName},
    {"MakerName", kPropMakerName},
    {"DateTime", kPropDateTime},
    {"FirmwareVersion", kPropFirmwareVersion},
    {"BatteryLevel", kPropBatteryLevel},
    {"SaveTo", kPropSaveTo},
    {"CurrentStorage", kPropCurrentStorage},
    {"CurrentFolder", kPropCurrentFolder},
    {"BatteryQuality", kPropBatteryQuality},
    {"BodyIDEx", kPropBodyIdEx},
    {"ImageQuality", kPropImageQuality},
    {"FocusInfo", kPropFocusInfo},
    {"WhiteBalance", kPropWhiteBalance},
    {"ColorTemperature", kPropColorTemperature},
    {"WhiteBalanceShift", kPropWhiteBalanceShift},
    {"ColorSpace", kPropColorSpace},
    {"PictureStyle", kPropPictureStyle},
    {"PictureStyleDesc", kPropPictureStyleDesc},
    {"AEMode", kPropAeMode},
    {"DriveMode", kPropDriveMode},
    {"ISOSpeed", kPropIsoSpeed},
    {"MeteringMode", kPropMeteringMode},
    {"AFMode", kPropAfMode},
    {"Av", kPropAv},
    {"Tv", kPropTv},
    {"ExposureCompensation", kPropExposureCompensation},
    {"AvailableShots", kPropAvailableShots},
    {"Bracket", kPropBracket},
    {"LensName", kPropLensName},
    {"LensStatus", kPropLensStatus},
    {"Artist", kPropArtist},
    {"Copyright", kPropCopyright},
    {"AEModeSelect", kPropAeModeSelect},
    {"PowerZoom_Speed", kPropPowerZoomSpeed},
    {"Evf_OutputDevice", kPropEvfOutputDevice},
    {"Evf_Mode", kPropEvfMode},
    {"Evf_WhiteBalance", kPropEvfWhiteBalance},
    {"Evf_ColorTemperature", kPropEvfColorTemperature},
    {"Evf_DepthOfFieldPreview", kPropEvfDepthOfFieldPreview},
    {"Evf_Zoom", kPropEvfZoom},
    {"Evf_ZoomPosition", kPropEvfZoomPosition},
    {"Evf_AFMode", kPropEvfAfMode},
    {"Record", kPropRecord},
    {"UTCTime", kPropUtcTime},
    {"TimeZone", kPropTimeZone},
    {"SummerTimeSetting", kPropSummerTimeSetting},
};

constexpr Named kTypeNames[] = {
    {"Bool", kTypeBool},     {"String", kTypeString},          {"Int32", kTypeInt32},
    {"UInt32", kTypeUInt32}, {"ByteBlock", kTypeByteBlock},    {"Point", kTypePoint},
    {"Rect", kTypeRect},     {"Int32_Array", kTypeInt32Array}, {"UInt32_Array", kTypeUInt32Array},
};

std::vector<std::uint8_t> wordsOf(std::initializer_list<std::int32_t> values)
{
    std::vector<std::uint8_t> out(values.size() * 4);
    std::size_t at = 0;
    for (std::int32_t v : values) {
        std::memcpy(out.data() + at, &v, 4);
        at += 4;
    }
    return out;
}

// Exposure codes in third stops: a full stop is 8 units, its thirds are at +3 and +5.
std::vector<std::int32_t> thirds(std::int32_t first, std::int32_t last)
{
    std::vector<std::int32_t> out;
    for (std::int32_t stop = first; stop <= last; stop += 8)
        for (std::int32_t third : {0, 3, 5})
            if (stop + third <= last)
                out.push_back(stop + third);
    return out;
}

std::vector<std::uint8_t> styleDesc(std::int32_t contrast, std::uint32_t sharpness, std::int32_t saturation,
                                    std::int32_t colorTone, std::uint32_t filter, std::uint32_t toning)
{
    EdsPictureStyleDesc d{contrast, sharpness, saturation, colorTone, filter, toning, 2, 2};
    std::vector<std::uint8_t> out(sizeof d);
    std::memcpy(out.data(), &d, sizeof d);
    return out;
}

void eosDefaults(Camera &c)
{
    c.description = "Canon EOS 90D";
    c.portName = "USB:SIM-EOS-0001";
    c.subType = 1;
    auto &p = c.properties;
    p[kPropProductName] = Property::string(kTypeString, "Canon EOS 90D", 32, false);
    p[kPropOwnerName] = Property::string(kTypeString, "", 32, true);
    p[kPropMakerName] = Property::string(kTypeString, "Canon", 32, false);
    p[kPropDateTime] = Property::block(kTypeTime, std::vector<std::uint8_t>(sizeof(EdsTime)), false);
    p[kPropFirmwareVersion] = Property::string(kTypeString, "1.1.1", 32, false);
    p[kPropBatteryLevel] = Property::u32(kTypeUInt32, 80, false);
    p[kPropBatteryQuality] = Property::u32(kTypeUInt32, 3, false);
    p[kPropSaveTo] = Property::u32(kTypeUInt32, kSaveToCamera).list({1, 2, 3}, false);
    p[kPropCurrentStorage] = Property::string(kTypeString, "SD", 32, false);
    p[kPropCurrentFolder] = Property::string(kTypeString, "100CANON", 32, false);
    p[kPropBodyIdEx] = Property::string(kTypeString, "083021000123", 32, false);
    p[kPropImageQuality] = Property::u32(kTypeUInt32, 0x0013FF0F)
                               .list({0x0013FF0F, 0x0012FF0F, 0x0113FF0F, 0x0112FF0F, 0x0E13FF0F, 0x0E12FF0F,
                                      0x0F13FF0F, 0x0064FF0F, 0x0164FF0F, 0x00640013, 0x00640012, 0x00640113,
                                      0x00640E13});
    p[kPropFocusInfo] = Property::block(kTypeFocusInfo, std::vector<std::uint8_t>(sizeof(EdsFocusInfo)), false);
    p[kPropWhiteBalance] = Property::i32(kTypeInt32, 0).list({0, 1, 2, 3, 4, 5, 6, 8, 9});
    p[kPropColorTemperature] = Property::u32(kTypeUInt32, 5200);
    p[kPropColorTemperature].range = std::make_pair(2500, 10000);
    p[kPropWhiteBalanceShift] = Property::block(kTypeInt32Array, wordsOf({0, 0}), true);
    p[kPropWhiteBalanceShift].range = std::make_pair(-9, 9);
    p[kPropColorSpace] = Property::u32(kTypeUInt32, 1).list({1, 2});
    p[kPropPictureStyle] = Property::u32(kTypeUInt32, 0x81)
                               .list({0x87, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x88, 0x21, 0x22, 0x23});
    {
        Property desc = Property::block(kTypePictureStyleDesc, styleDesc(0, 4, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF), true);
        for (std::int32_t style : {0x87, 0x81, 0x82, 0x83, 0x84, 0x86, 0x88, 0x21, 0x22, 0x23})
            desc.byParam[style] = styleDesc(0, style == 0x82 ? 3 : 4, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF);
        desc.byParam[0x85] = styleDesc(0, 4, 0x7FFFFFFF, 0x7FFFFFFF, 0, 0);
        p[kPropPictureStyleDesc] = desc;
    }
    p[kPropAeMode] = Property::u32(kTypeUInt32, 3).list({0, 1, 2, 3, 4, 9, 22});
    p[kPropAeModeSelect] = Property::u32(kTypeUInt32, 3).list({0, 1, 2, 3, 4, 9, 22});
    p[kPropDriveMode] = Property::u32(kTypeUInt32, 0).list({0, 1, 4, 5, 16, 17});
    p[kPropIsoSpeed] = Property::u32(kTypeUInt32, 0x48)
                           .list({0, 0x40, 0x48, 0x4B, 0x4D, 0x50, 0x53, 0x55, 0x58, 0x5B, 0x5D, 0x60, 0x63, 0x65, 0x68,
                                  0x6B, 0x6D, 0x70, 0x78});
    p[kPropMeteringMode] = Property::u32(kTypeUInt32, 3).list({1, 3, 4, 5});
    p[kPropAfMode] = Property::u32(kTypeUInt32, 0).list({0, 1, 2});
    p[kPropAv] = Property::u32(kTypeUInt32, 0x30).list(thirds(0x28, 0x50));
    {
        auto tv = thirds(0x10, 0x98);
        tv.insert(tv.begin(), 0x0C);
        p[kPropTv] = Property::u32(kTypeUInt32, 0x68).list(tv);
    }
    {
        // -5 to +5 in third stops: negative values are the byte's two's complement.
        std::vector<std::int32_t> compensation;
        for (std::int32_t v : thirds(-40, 40))
            compensation.push_back(v & 0xFF);
        p[kPropExposureCompensation] = Property::u32(kTypeUInt32, 0).list(compensation);
    }
    p[kPropAvailableShots] = Property::u32(kTypeUInt32, 0, false);
    p[kPropBracket] = Property::u32(kTypeUInt32, 0xFFFFFFFF, false);
    p[kPropLensName] = Property::string(kTypeString, "EF-S18-135mm f/3.5-5.6 IS USM", 64, false);
    p[kPropLensStatus] = Property::u32(kTypeUInt32, 1, false);
    p[kPropArtist] = Property::string(kTypeString, "", 64, true);
    p[kPropCopyright] = Property::string(kTypeString, "", 64, true);
    p[kPropPowerZoomSpeed] = Property::u32(kTypeUInt32, 1); // offered only with the power-zoom adapter
    p[kPropPowerZoomSpeed].range = std::make_pair(0, 100);
    p[kPropEvfOutputDevice] = Property::u32(kTypeUInt32, 0);
    p[kPropEvfOutputDevice].range = std::make_pair(0, 3);
    p[kPropEvfMode] = Property::u32(kTypeUInt32, 0).list({0, 1}, false);
    p[kPropEvfWhiteBalance] = Property::i32(kTypeInt32, 0).list({0, 1, 2, 3, 4, 5, 6, 8, 9});
    p[kPropEvfColorTemperature] = Property::u32(kTypeUInt32, 5200);
    p[kPropEvfColorTemperature].range = std::make_pair(2500, 10000);
    p[kPropEvfDepthOfFieldPreview] = Property::u32(kTypeUInt32, 0).list({0, 1}, false);
    p[kPropEvfZoom] = Property::u32(kTypeUInt32, 1).list({1, 5, 10});
    p[kPropEvfZoomPosition] = Property::block(kTypePoint, wordsOf({0, 0}), true);
    p[kPropEvfAfMode] = Property::u32(kTypeUInt32, 1).list({0, 1, 2});
    p[kPropRecord] = Property::u32(kTypeUInt32, 0).list({0, 4}, false);
    Property utc = Property::block(kTypeTime, std::vector<std::uint8_t>(sizeof(EdsTime)), false);
    utc.unlockKey = 0x51DD2696;
    p[kPropUtcTime] = utc;
    Property zone = Property::u32(kTypeUInt32, 0);
    zone.unlockKey = 0x00FA71F7;
    p[kPropTimeZone] = zone;
    Property summer = Property::u32(kTypeUInt32, 0).list({0, 1}, false);
    summer.unlockKey = 0x09780670;
    p[kPropSummerTimeSetting] = summer;
    c.volumes.push_back(std::make_shared<Volume>());
}

// Older bodies (device sub-type 0) pack the image quality without the 0xFF0F filler, use RAW
// format 2, and offer no list of values: hosts find them by trying.
void eosSettle(Camera &c, bool qualityGiven)
{
    if (c.subType != 0 || qualityGiven)
        return;
    Property *quality = c.property(kPropImageQuality);
    if (quality == nullptr)
        return;
    quality->setU32(0x00130000);
    quality->list({0x00130000, 0x00120000, 0x01130000, 0x01120000, 0x02130000, 0x02120000, 0x00240000, 0x00240013,
                   0x00240012, 0x00240113},
                  false);
}

std::uint32_t eosFormat(const Item &item)
{
    switch (item.kind) {
    case ItemKind::Jpeg:
        return kFormatJpeg;
    case ItemKind::Raw: {
        const auto dot = item.name.rfind('.');
        const std::string ext = dot == std::string::npos ? "" : item.name.substr(dot + 1);
        return ext == "CR3" || ext == "cr3" ? kFormatCr3 : kFormatCr2;
    }
    case ItemKind::Movie:
        return kFormatMp4;
    default:
        return kFormatUnknown;
    }
}

std::uint32_t eosStorage(const std::string &name)
{
    if (name == "CF")
        return 1;
    if (name == "SD")
        return 2;
    if (name == "HD")
        return 4;
    if (name == "CFast")
        return 5;
    if (name == "CFe")
        return 7;
    return 0;
}

template <std::size_t N>
std::optional<std::uint32_t> lookup(const Named (&table)[N], const std::string &name)
{
    for (const auto &entry : table)
        if (name == entry.name)
            return entry.id;
    return std::nullopt;
}

// A large-sensor compact: fixed zoom lens (property 0x600, 0 to 20), a clock set through property
// 0x16, a smaller focus-information block, and only the settings such a camera offers (no
// picture styles, white-balance shift, power-zoom adapter or movie recording through the SDK).
void gen2Defaults(Camera &c)
{
    eosDefaults(c);
    c.description = "Canon PowerShot G7 X Mark II";
    c.portName = "USB:SIM-PS2-0001";
    c.subType = 1;
    auto &p = c.properties;
    for (EdsUInt32 absent : {kPropPictureStyle, kPropPictureStyleDesc, kPropWhiteBalanceShift, kPropPowerZoomSpeed,
                             kPropRecord, kPropLensName, kPropUtcTime, kPropTimeZone, kPropSummerTimeSetting,
                             kPropEvfDepthOfFieldPreview, kPropColorTemperature, kPropEvfColorTemperature})
        p.erase(absent);
    p[kPropProductName] = Property::string(kTypeString, "Canon PowerShot G7 X Mark II", 32, false);
    p[kPropOwnerName] = Property::string(kTypeString, "", 32, true);
    p[kPropFirmwareVersion] = Property::string(kTypeString, "1.0.1", 32, false);
    p[kPropBatteryLevel] = Property::u32(kTypeUInt32, 100, false);
    // The library has no save-to setting for the host: every picture goes to the card and to the
    // computer.
    p[kPropSaveTo] = Property::u32(kTypeUInt32, kSaveToBoth).list({kSaveToBoth}, false);
    p[kPropCurrentFolder] = Property::string(kTypeString, "100___01", 32, false);
    p[kPropBodyIdEx] = Property::string(kTypeString, "PS2-000123", 32, false);
    p[kPropImageQuality] = Property::u32(kTypeUInt32, 0x0013FF0F)
                               .list({0x0013FF0F, 0x0012FF0F, 0x0513FF0F, 0x0512FF0F, 0x0613FF0F, 0x0612FF0F,
                                      0x0213FF0F, 0x0212FF0F, 0x0024FF0F, 0x00240013});
    p[kPropWhiteBalance] = Property::i32(kTypeInt32, 0).list({0, 1, 2, 3, 4, 6, 9});
    p[kPropEvfWhiteBalance] = Property::i32(kTypeInt32, 0).list({0, 1, 2, 3, 4, 6, 9});
    p[kPropColorSpace] = Property::u32(kTypeUInt32, 1).list({1});
    p[kPropAeMode] = Property::u32(kTypeUInt32, 0).list({0, 1, 2, 3, 9, 12, 22, 23, 25});
    p[kPropAeModeSelect] = Property::u32(kTypeUInt32, 0).list({0, 1, 2, 3, 9, 12, 22, 23, 25});
    p[kPropDriveMode] = Property::u32(kTypeUInt32, 0).list({0, 1, 7, 16, 17});
    p[kPropIsoSpeed] = Property::u32(kTypeUInt32, 0).list({0,    0x4B, 0x4D, 0x50, 0x53, 0x55, 0x58, 0x5B,
                                                           0x5D, 0x60, 0x63, 0x65, 0x68, 0x6B, 0x6D, 0x70,
                                                           0x73, 0x75, 0x78, 0x7B, 0x7D, 0x80});
    p[kPropMeteringMode] = Property::u32(kTypeUInt32, 3).list({1, 3, 5});
    p[kPropAfMode] = Property::u32(kTypeUInt32, 0).list({0, 1, 3});
    {
        auto av = thirds(0x20, 0x48); // f/2 to f/11, after the lens's widest f/1.8
        av.insert(av.begin(), 0x1D);
        p[kPropAv] = Property::u32(kTypeUInt32, 0x1D).list(av);
    }
    p[kPropTv] = Property::u32(kTypeUInt32, 0x68).list(thirds(0x10, 0x88));
    {
        std::vector<std::int32_t> compensation;
        for (std::int32_t v : thirds(-24, 24))
            compensation.push_back(v & 0xFF);
        p[kPropExposureCompensation] = Property::u32(kTypeUInt32, 0).list(compensation);
    }
    p[kPropEvfZoom] = Property::u32(kTypeUInt32, 1).list({1, 5, 10});
    p[kPropGen2Clock] = Property::block(kTypeTime, std::vector<std::uint8_t>(sizeof(EdsTime)), false);
    p[kPropFocusInfo] = Property::block(kTypeFocusInfo, std::vector<std::uint8_t>(kGen2FocusInfoSize), false);
    p[kPropGen2Zoom] = Property::u32(kTypeUInt32, 0);
    p[kPropGen2Zoom].range = std::make_pair(0, 20);
}

constexpr Named kGen2PropertyNames[] = {
    {"Zoom", kPropGen2Zoom},
    {"Clock", kPropGen2Clock},
};

} // namespace

const FamilyProfile &gen2Profile()
{
    static const FamilyProfile profile{
        "PowerShot generation 2",
        gen2Defaults,
        [](const std::string &name) {
            auto id = lookup(kGen2PropertyNames, name);
            return id ? id : lookup(kPropertyNames, name);
        },
        [](const std::string &name) { return lookup(kTypeNames, name); },
        eosFormat,
        eosStorage,
        nullptr,
    };
    return profile;
}

const FamilyProfile &eosProfile()
{
    static const FamilyProfile profile{
        "EOS",
        eosDefaults,
        [](const std::string &name) { return lookup(kPropertyNames, name); },
        [](const std::string &name) { return lookup(kTypeNames, name); },
        eosFormat,
        eosStorage,
        eosSettle,
    };
    return profile;
}

} // namespace tbx::sim::eds
