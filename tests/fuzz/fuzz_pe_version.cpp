// Fuzz target: the reader of the VS_VERSIONINFO resource of a PE image, which checks the genuine
// SDK libraries (and any file a host names as one) on every platform.
#include "FuzzTarget.h"
#include "PeImage.h"
#include "VersionCheck.h"

#include "platform/Platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto version = tbx::platform::peFileVersion(data, size);
    tbx::fuzz::expectVersionFromInput(data, size, version);
    // Only an image that starts like one is read.
    if (version)
        TBX_FUZZ_EXPECT(size >= 64 && data[0] == 'M' && data[1] == 'Z');
    return 0;
}

namespace tbx::fuzz {

std::vector<Seed> seeds()
{
    using test::PeImage;
    using test::PeShape;
    struct Variant {
        const char *name;
        PeShape shape;
    };
    std::vector<Variant> variants = {
        {"pe32", PeShape{}},
        {"pe32plus", PeShape{.pe32Plus = true, .major = 13, .minor = 10, .release = 20, .build = 0}},
        {"other-types-first", PeShape{.major = 2, .minor = 14, .release = 20, .build = 4, .namedTypesBefore = 2,
                                      .idTypesBefore = 3}},
    };
    std::vector<Seed> out;
    for (const Variant &v : variants) {
        const PeImage image(v.shape);
        // The reader must accept what a linker writes, with the version the resource holds.
        const auto read = platform::peFileVersion(image.bytes.data(), image.bytes.size());
        TBX_FUZZ_EXPECT(read && (*read == platform::FileVersion{v.shape.major, v.shape.minor, v.shape.release,
                                                                 v.shape.build}));
        const auto &l = image.layout;
        out.push_back(Seed{v.name, image.bytes,
                           {
                               {0x3C, 4},                           // e_lfanew
                               {l.peHeader + 6, 2},                 // section count
                               {l.peHeader + 20, 2},                // optional header size
                               {image.rvaCountField(), 4},          // data directory count
                               {image.resourceDirectoryEntry(), 4}, // resource RVA
                               {image.sectionField(8), 4},          // section virtual size
                               {image.sectionField(12), 4},         // section RVA
                               {image.sectionField(16), 4},         // section raw size
                               {image.sectionField(20), 4},         // section raw offset
                               {l.resourceRoot + 12, 2},            // named type count
                               {l.resourceRoot + 14, 2},            // id type count
                               {l.nameDirectory + 14, 2},
                               {l.nameDirectory + 20, 4},           // offset of the language directory
                               {l.languageDirectory + 14, 2},
                               {l.languageDirectory + 20, 4},       // offset of the data entry
                               {l.dataEntry, 4},                    // data RVA
                               {l.dataEntry + 4, 4},                // data size
                               {l.versionBlock, 2},                 // wLength
                               {l.versionBlock + 2, 2},             // wValueLength
                           }});
    }
    return out;
}

} // namespace tbx::fuzz
