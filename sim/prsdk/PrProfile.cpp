// The "PowerShot" family as the scenario reader sees it: the PTP property codes by name, the PTP
// data types, and a camera's default properties with the values it accepts.
#include "PrProfile.h"

#include <cstring>

#include "sdk/PtpDatasets.h"

namespace tbx::sim::pr {

namespace {

using namespace tbx::sdk;

struct Named {
    const char *name;
    std::uint32_t id;
};

constexpr Named kPropertyNames[] = {
    {"BatteryKind", 0xD002},
    {"BatteryStatus", 0xD003},
    {"CompQuality", 0xD006},
    {"FullViewFileFormat", 0xD007},
    {"ImageSize", 0xD008},
    {"SelfTimer", 0xD009},
    {"StrobeSetting", 0xD00A},
    {"Beep", 0xD00B},
    {"ExposureMode", 0xD00C},
    {"DriveMode", 0xD00E},
    {"MLWeiMode", 0xD010},
    {"AFDistance", 0xD011},
    {"FocusPointSetting", 0xD012},
    {"WBSetting", 0xD013},
    {"Contrast", 0xD017},
    {"ColorGain", 0xD018},
    {"Sharpness", 0xD019},
    {"ISO", 0xD01C},
    {"Av", 0xD01D},
    {"Tv", 0xD01E},
    {"ExposureComp", 0xD01F},
    {"FlashComp", 0xD020},
    {"CaptureTransferMode", 0xD029},
    {"ZoomPos", 0xD02A},
    {"FirmwareVersion", 0xD031},
    {"OwnerName", 0xD033},
    {"CameraTime", 0xD034},
    {"CameraOutput", 0xD036},
    {"EZoomStartPos", 0xD03D},
    {"PhotoEffect", 0xD040},
    {"AFLight", 0xD041},
    {"Operation_InitiateReleaseControl", kOperationBase + 0x9008},
    {"Operation_ViewFinder", kOperationBase + 0x900B},
    {"Operation_FocusLock", kOperationBase + 0x9014},
};

constexpr Named kTypeNames[] = {
    {"Int8", kPtpTypeInt8},   {"UInt8", kPtpTypeUInt8},   {"Int16", kPtpTypeInt16},   {"UInt16", kPtpTypeUInt16},
    {"Int32", kPtpTypeInt32}, {"UInt32", kPtpTypeUInt32}, {"String", kPtpTypeString},
};

void add(Camera &camera, std::uint32_t id, std::uint32_t type, std::int32_t value, std::vector<std::int32_t> allowed,
         bool writable = true)
{
    Property p = Property::i32(type, value, writable);
    if (!allowed.empty())
        p.list(std::move(allowed));
    camera.properties[id] = p;
}

void defaults(Camera &camera)
{
    camera.description = "Canon PowerShot G9";
    camera.release.filePrefix = "IMG_";
    camera.release.folder = "DCIM/100CANON";
    add(camera, 0xD002, kPtpTypeUInt16, 2, {}, false);
    add(camera, 0xD003, kPtpTypeUInt16, 1, {}, false);
    add(camera, 0xD006, kPtpTypeUInt8, 3, {1, 2, 3, 5});
    add(camera, 0xD007, kPtpTypeUInt8, 1, {1, 2});
    add(camera, 0xD008, kPtpTypeUInt8, 0, {0, 1, 2, 3});
    add(camera, 0xD009, kPtpTypeUInt16, 0, {0, 20, 100});
    add(camera, 0xD00A, kPtpTypeUInt8, 1, {0, 1, 2, 3, 4});
    add(camera, 0xD00B, kPtpTypeUInt8, 1, {0, 1});
    add(camera, 0xD00C, kPtpTypeUInt8, 1, {0, 1, 2, 3, 4});
    add(camera, 0xD00E, kPtpTypeUInt8, 0, {0, 1, 2});
    add(camera, 0xD010, kPtpTypeUInt8, 3, {0, 1, 3});
    add(camera, 0xD011, kPtpTypeUInt8, 1, {1, 3, 7});
    add(camera, 0xD012, kPtpTypeUInt16, 0x3001, {0x1000, 0x1001, 0x3000, 0x3001});
    add(camera, 0xD013, kPtpTypeUInt8, 0, {0, 1, 2, 3, 4, 5, 6});
    add(camera, 0xD017, kPtpTypeInt8, 0, {-1, 0, 1});
    add(camera, 0xD018, kPtpTypeInt8, 0, {-1, 0, 1});
    add(camera, 0xD019, kPtpTypeInt8, 0, {-1, 0, 1});
    add(camera, 0xD01C, kPtpTypeUInt16, 0, {0, 0x48, 0x50, 0x58, 0x60});
    add(camera, 0xD01D, kPtpTypeUInt16, 0x20, {0x18, 0x1B, 0x1D, 0x20, 0x23, 0x25, 0x28});
    add(camera, 0xD01E, kPtpTypeUInt16, 0x50, {0x48, 0x4B, 0x4D, 0x50, 0x53, 0x55, 0x58});
    add(camera, 0xD01F, kPtpTypeUInt8, 0x18,
        {0x08, 0x0B, 0x0D, 0x10, 0x13, 0x15, 0x18, 0x1B, 0x1D, 0x20, 0x23, 0x25, 0x28});
    add(camera, 0xD020, kPtpTypeUInt8, 0x18, {0x10, 0x18, 0x20});
    add(camera, 0xD029, kPtpTypeUInt16, 2, {1, 2, 3, 4, 8, 10, 12});
    add(camera, 0xD02A, kPtpTypeUInt16, 0, {});
    camera.properties[0xD02A].range = std::make_pair(0, 120);
    camera.properties[0xD031] = Property::string(kPtpTypeString, "1.00", 32, false);
    camera.properties[0xD033] = Property::string(kPtpTypeString, "", kOwnerNameCapacity, true);
    add(camera, 0xD034, kPtpTypeUInt32, 0, {});
    add(camera, 0xD036, kPtpTypeUInt8, 1, {1, 2, 3});
    add(camera, 0xD03D, kPtpTypeUInt16, 100, {}, false);
    add(camera, 0xD040, kPtpTypeUInt16, 0, {0, 1, 2, 3, 4, 5});
    add(camera, 0xD041, kPtpTypeUInt16, 0, {0, 1});
    for (std::uint32_t operation : {0x9008u, 0x900Bu, 0x9014u})
        add(camera, kOperationBase + operation, kPtpTypeUInt8, 1, {}, false);
}

std::optional<std::uint32_t> lookup(const Named *begin, const Named *end, const std::string &name)
{
    for (const Named *n = begin; n != end; ++n)
        if (name == n->name)
            return n->id;
    return std::nullopt;
}

} // namespace

const FamilyProfile &ptpProfile()
{
    static const FamilyProfile profile{
        "PowerShot",
        defaults,
        [](const std::string &name) { return lookup(std::begin(kPropertyNames), std::end(kPropertyNames), name); },
        [](const std::string &name) { return lookup(std::begin(kTypeNames), std::end(kTypeNames), name); },
        [](const Item &item) -> std::uint32_t {
            switch (item.kind) {
            case ItemKind::Jpeg:
                return 0x3801;
            case ItemKind::Raw:
                return 0xB101;
            case ItemKind::Folder:
                return 0x3001;
            default:
                return 0x3000;
            }
        },
        [](const std::string &) -> std::uint32_t { return 2; },
        [](Camera &camera, bool) {
            if (camera.portName.empty())
                camera.portName = "\\\\?\\usb#vid_04a9&pid_sim#" + camera.id;
        },
    };
    return profile;
}

} // namespace tbx::sim::pr
