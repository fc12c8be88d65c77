// Fuzz target: the EOS driver reading what the camera and its SDK answer. The driver runs
// against ScriptedEdsdk (built as EDSDK.dll beside the target), whose answers are the fuzz input:
//
//   bytes 0..7  the operations to run after enumerating and connecting, one per byte
//               (operation = byte % 16, 15 runs nothing; some take an argument from byte / 16)
//   the rest    the SDK's answers, in the order the driver asks (see ScriptedEdsdk.cpp)
//
// Besides the sanitizers' findings, every input must leave the SDK with no reference held and
// none released twice, every text must fit the SDK buffer it came from, and every count must
// stay within what the record and the reply hold.
#include "FuzzTarget.h"

#include "drivers/eos/TEDSDK.h"
#include "platform/Errors.h"
#include "platform/Platform.h"
#include "sdk/EDSDK.h"

#include <algorithm>
#include <optional>
#include <string>
#include <type_traits>

#ifndef TBX_FUZZ_EDSDK_DIR
#error "TBX_FUZZ_EDSDK_DIR must name the folder of the scripted EDSDK.dll"
#endif

namespace {

using namespace tbx;

constexpr std::size_t kOperations = 8;

/// The scripted library's own control functions.
struct Script {
    void (*start)(const std::uint8_t *script, std::size_t size) = nullptr;
    std::uint32_t (*liveReferences)() = nullptr;
    std::uint32_t (*badReleases)() = nullptr;
    sdk::EdsBaseRef (*newItem)() = nullptr;
};

const Script &script()
{
    static platform::VirtualClock clock; // the driver's retries and settling times cost nothing
    static std::optional<platform::DynamicLibrary> library;
    static const Script s = [] {
        platform::setClock(&clock);
        sdk::LoadEDSDK(TBX_FUZZ_EDSDK_DIR);
        // The library the binding loaded: opening it again gives the same instance.
        library = platform::DynamicLibrary::open(std::string(TBX_FUZZ_EDSDK_DIR) + "/EDSDK.dll");
        TBX_FUZZ_EXPECT(library.has_value());
        Script found;
        const auto bind = [](auto &function, const char *name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(library->symbol(name));
        };
        bind(found.start, "TbxScripted_Start");
        bind(found.liveReferences, "TbxScripted_LiveReferences");
        bind(found.badReleases, "TbxScripted_BadReleases");
        bind(found.newItem, "TbxScripted_NewItem");
        TBX_FUZZ_EXPECT(found.start && found.liveReferences && found.badReleases && found.newItem);
        return found;
    }();
    return s;
}

/// Runs one driver call. A camera's refusal is an ECamException, and an unwritable file an
/// EInOutError; an internal assertion or any other exception leaving the driver is a fault. With
/// TBX_FUZZ_VERBOSE set, the refusals are printed: that shows how far a seed gets.
template <class Call>
void guarded(Call &&call)
{
    static const bool verbose = std::getenv("TBX_FUZZ_VERBOSE") != nullptr;
    try {
        call();
    } catch (const EAssertionFailed &e) {
        std::fprintf(stderr, "internal assertion: %s\n", e.what());
        tbx::fuzz::fail("no internal assertion may fail on a camera's answers", __FILE__, __LINE__);
    } catch (const Exception &e) {
        if (verbose)
            std::fprintf(stderr, "refused: %s\n", e.what());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "unexpected exception: %s\n", e.what());
        tbx::fuzz::fail("only camera and file failures may leave the driver", __FILE__, __LINE__);
    }
}

/// Passes \p value through, printing it with TBX_FUZZ_VERBOSE set.
const std::string &report(const char *what, const std::string &value)
{
    if (std::getenv("TBX_FUZZ_VERBOSE") != nullptr)
        std::fprintf(stderr, "%s: \"%s\"\n", what, value.c_str());
    return value;
}

/// A text read from an SDK buffer of \p capacity bytes: never longer, never with a zero inside.
void expectText(const std::string &text, std::size_t capacity)
{
    TBX_FUZZ_EXPECT(text.size() <= capacity);
    TBX_FUZZ_EXPECT(text.find('\0') == std::string::npos);
}

void expectAFInfo(const AFFocusInfoType &info)
{
    TBX_FUZZ_EXPECT(info.NrOfFrames >= 0 && info.NrOfFrames <= kAFFocusFrameCount);
    for (int i = 0; i < kAFFocusFrameCount; ++i) {
        const AFFocusFrameType &f = info.Frames[i];
        TBX_FUZZ_EXPECT(f.Valid == (i < info.NrOfFrames ? 1 : 0));
        if (i < info.NrOfFrames)
            TBX_FUZZ_EXPECT(f.Selected <= 1 && f.JustFocus <= 1);
    }
}

void runOperation(eos::TEDSDK &driver, std::uint8_t op)
{
    const Script &s = script();
    switch (op % 16) {
    case 0:
        guarded([&] { expectText(report("firmware", driver.ReadFirmwareVersion()), 32); });
        break;
    case 1:
        guarded([&] { expectText(report("body ID", driver.GetBodyID()), 2001); });
        break;
    case 2:
        guarded([&] {
            AFFocusInfoType info;
            driver.GetViewfinderAFInfo(info);
            report("AF frames", std::to_string(info.NrOfFrames));
            expectAFInfo(info);
        });
        break;
    case 3:
        guarded([&] {
            RemoteParamsType params;
            driver.GetRemoteParams(params);
            report("ISO code", std::to_string(params.ISO));
        });
        break;
    case 4:
        guarded([&] { driver.SetViewfinderAFMode(static_cast<std::uint8_t>(op / 16)); });
        break;
    case 5:
        guarded([&] { TBX_FUZZ_EXPECT(driver.GetViewfinderAFMode() <= 5); });
        break;
    case 6:
        guarded([&] {
            RemoteStartInfoType info;
            driver.RemoteStart(ReleaseModeOnlyToPC, ReleaseDataKindTakeOnlyPicture, info, 0, nullptr, "", true);
            // The probe only ever marks values as supported.
            const auto *flags = reinterpret_cast<const std::uint8_t *>(&info.ParamSupport);
            const auto *end = flags + sizeof info.ParamSupport;
            TBX_FUZZ_EXPECT(std::all_of(flags, end, [](std::uint8_t f) { return f <= 1; }));
            report("supported values", std::to_string(std::count(flags, end, 1)));
        });
        break;
    case 7:
        guarded([&] {
            ImageListType list;
            driver.OpenCameraCollection("", true, list);
            for (const ImageDataType &entry : list) {
                expectText(report("card item", entry.Name), sdk::EDS_MAX_NAME);
                if (entry.Thumbnail)
                    TBX_FUZZ_EXPECT(entry.Thumbnail->size() >= 2 && (*entry.Thumbnail)[0] == 0xFF &&
                                    (*entry.Thumbnail)[1] == 0xD8);
            }
        });
        break;
    case 8: {
        void *item = s.newItem();
        guarded([&] { expectText(report("item", driver.ObjectFileName(item)), sdk::EDS_MAX_NAME); });
        driver.ReleaseObject(item);
        break;
    }
    case 9:
        driver.RegisterCardItem(s.newItem()); // the driver owns it from here
        break;
    case 10:
        guarded([&] {
            JpegBlob jpeg;
            ViewfinderPositionType metadata;
            driver.DownloadViewfinderFrame(jpeg, metadata);
            report("frame bytes", std::to_string(jpeg.size()));
        });
        break;
    case 11:
        guarded([&] { driver.GetNumberOfAvailableShots(); });
        guarded([&] { driver.GetDepthOfFieldPreview(); });
        break;
    case 12:
        guarded([&] {
            StringList names;
            driver.EnumerateCameras(names);
        });
        break;
    case 13: // the picture of an object event, or its thumbnail
        driver.RegisterTransferItem(s.newItem());
        guarded([&] {
            driver.RemoteGetPicture("IMG_0001.JPG", (op / 16) % 2, nullptr, 0);
            report("downloaded", "IMG_0001.JPG");
        });
        break;
    case 14: // a card item announced earlier (operation 9), deleted afterwards when op / 16 is odd
        guarded([&] {
            driver.RemoteGetCFPicture("IMG_0002.JPG", (op / 16) % 2 != 0, 0);
            report("downloaded", "IMG_0002.JPG");
        });
        break;
    default:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Script &s = script();
    const std::size_t ops = std::min(size, kOperations);
    s.start(data + ops, size - ops);
    {
        eos::TEDSDK driver(sdk::EdsdkLibrary());
        CameraRecordList records;
        driver.Attach(0, records, EngineHooks{});
        guarded([&] { driver.StartSDK(TBX_FUZZ_EDSDK_DIR); });
        guarded([&] {
            StringList names;
            driver.EnumerateCameras(names);
            TBX_FUZZ_EXPECT(names.size() == records.size());
            for (const std::string &name : names)
                expectText(name, sdk::EDS_MAX_NAME);
        });
        guarded([&] {
            ConnectInfoType info;
            driver.Connect(ConnectCallbacks{}, 0, info, 0);
            expectText(info.CameraModelName, sdk::EDS_MAX_NAME);
            expectText(info.OwnerName, 256);
        });
        for (std::size_t i = 0; i < ops; ++i)
            runOperation(driver, data[i]);
        guarded([&] { driver.EndSDK(); });
    }
    // Every reference the SDK handed out went back, once.
    TBX_FUZZ_EXPECT(s.liveReferences() == 0);
    TBX_FUZZ_EXPECT(s.badReleases() == 0);
    s.start(nullptr, 0);
    return 0;
}

// ---- Seeds: a camera answering as a camera does -------------------------------------------------

namespace tbx::fuzz {

namespace {

constexpr std::uint8_t kNothing = 15;

/// Builds a script of answers, remembering where the counts and sizes are.
class Answers {
public:
    explicit Answers(std::initializer_list<std::uint8_t> operations)
    {
        b_.assign(kOperations, kNothing);
        std::copy(operations.begin(), operations.end(), b_.begin());
    }
    Answers &ok()
    {
        b_.push_back(0);
        return *this;
    }
    Answers &failure(std::uint8_t which = 0)
    {
        b_.push_back(static_cast<std::uint8_t>(0xF0 + which));
        return *this;
    }
    Answers &word(std::uint32_t v, bool isCountOrSize = false)
    {
        if (isCountOrSize)
            fields_.push_back(Field{b_.size(), 4, false});
        appendLe(b_, v, 4);
        return *this;
    }
    Answers &u32(std::uint32_t v) { return ok().word(v); }
    /// An EdsRead that answers truthfully.
    Answers &read()
    {
        b_.push_back(0);
        b_.push_back(0);
        return *this;
    }
    Answers &text(const std::string &t, std::size_t capacity)
    {
        const std::size_t at = b_.size();
        b_.resize(at + capacity, 0);
        std::memcpy(&b_[at], t.data(), std::min(t.size(), capacity));
        return *this;
    }
    Answers &zeros(std::size_t n)
    {
        b_.resize(b_.size() + n, 0);
        return *this;
    }
    Answers &deviceInfo(const std::string &description, std::uint32_t subType)
    {
        ok().text("USB:SCRIPTED-0001", sdk::EDS_MAX_NAME).text(description, sdk::EDS_MAX_NAME);
        return word(subType).word(0);
    }
    Answers &enumerateAndConnect(std::uint32_t subType = 1)
    {
        ok();                      // camera list
        ok().word(1, true);        // one camera
        ok();                      // the camera
        deviceInfo("Canon EOS 90D", subType);
        deviceInfo("Canon EOS 90D", subType);
        ok().text("Studio 3", 256); // owner
        return u32(80);            // battery
    }
    Answers &directoryItem(const std::string &name, bool folder, std::uint64_t fileSize = 0)
    {
        ok();
        appendLe(b_, fileSize, 8);
        word(folder ? 1 : 0).word(0).word(0);
        text(name, sdk::EDS_MAX_NAME);
        return word(0x3801).word(0).zeros(4); // format, time, tail padding
    }
    /// A JPEG as the SDK streams it: length, then the bytes.
    Answers &jpeg(std::size_t bodyBytes)
    {
        fields_.push_back(Field{b_.size(), 2, false});
        appendLe(b_, 4 + bodyBytes, 2);
        b_.push_back(0xFF);
        b_.push_back(0xD8);
        for (std::size_t i = 0; i < bodyBytes; ++i)
            b_.push_back(static_cast<std::uint8_t>(i * 7));
        b_.push_back(0xFF);
        b_.push_back(0xD9);
        return *this;
    }
    Answers &propertyDesc(std::initializer_list<std::int32_t> values)
    {
        ok().word(3).word(1);
        word(static_cast<std::uint32_t>(values.size()), true);
        for (std::int32_t v : values)
            word(static_cast<std::uint32_t>(v));
        return zeros(4 * (128 - values.size()));
    }
    Seed seed(const char *name) const { return Seed{name, b_, fields_}; }

private:
    Bytes b_;
    std::vector<Field> fields_;
};

} // namespace

std::vector<Seed> seeds()
{
    std::vector<Seed> out;

    out.push_back(Answers({0, 1, 11, 5})
                      .enumerateAndConnect()
                      .ok().text("3.7.1", 32)
                      .ok().text("083021000123", 2001)
                      .u32(312).u32(0)   // available shots, depth-of-field preview off
                      .u32(2)            // live-view AF mode
                      .seed("texts"));

    // An AF block smaller than the usual one (9 points), as older libraries report it.
    {
        Answers a({2});
        a.enumerateAndConnect().ok().word(sdk::kEdsDataType_FocusInfo).word(20 + 9 * 32 + 4, true).ok();
        a.word(0).word(0).word(6000).word(4000).word(9, true);
        for (std::uint32_t i = 0; i < 9; ++i)
            a.word(1).word(i == 4 ? 1 : 0).word(i == 4 ? 1 : 0).word(1000 + 1000 * (i % 3)).word(1000 + 1000 * (i / 3))
                .word(200).word(200).word(0);
        a.word(0);
        out.push_back(a.seed("af-info"));
    }

    // Shooting parameters of a newer camera: device info, the image quality, then each value.
    {
        Answers a({3, 4 + 16 * 3});
        a.enumerateAndConnect().deviceInfo("Canon EOS 90D", 1).u32(0x00130F0F);
        for (std::uint32_t v : {3u, 0x48u, 0x60u, 0u, 9u}) // exposure mode .. white balance
            a.u32(v);
        a.u32(5200).ok().word(2).word(static_cast<std::uint32_t>(-1)); // temperature, shift
        for (std::uint32_t v : {0u, 0u, 3u, 1u, 0x48u})    // AF mode .. ISO
            a.u32(v);
        a.u32(0x81).ok().word(2).word(3).word(0x7FFFFFFF).word(0x7FFFFFFF).word(0xFFFFFFFF).word(0xFFFFFFFF)
            .word(0).word(0);
        a.propertyDesc({0, 2, 3, 4});
        out.push_back(a.seed("remote-params"));
    }

    // Remote start with a probe of a newer camera: descriptions of every parameter.
    {
        Answers a({6});
        a.enumerateAndConnect().deviceInfo("Canon EOS 90D", 1).u32(2).u32(0); // output device, power zoom
        a.deviceInfo("Canon EOS 90D", 1).u32(0x00130F0F);                       // snapshot
        for (int i = 0; i < 10; ++i)
            a.u32(0);
        a.deviceInfo("Canon EOS 90D", 1).propertyDesc({0x00130F0F, 0x00100F0F, 0x01130F0F});
        a.propertyDesc({1, 2, 3, 6}).propertyDesc({0x20, 0x28, 0x30, 0x58}).propertyDesc({0x48, 0x50, 0x60});
        a.propertyDesc({0, 3, 5, 0xFD}).propertyDesc({0, 1, 2, 9}).ok().word(2).word(0).propertyDesc({0, 1, 3});
        a.propertyDesc({0, 2}).propertyDesc({0, 1}).propertyDesc({1, 3}).propertyDesc({1, 2})
            .propertyDesc({0x48, 0x50, 0x58, 0x60});
        a.ok().zeros(32);
        out.push_back(a.seed("probe"));
    }

    // The card: DCIM/100CANON with a JPEG (and its thumbnail) and a movie.
    {
        Answers a({7});
        a.enumerateAndConnect().ok().word(1, true).ok(); // one volume
        a.ok().word(1, true).ok().directoryItem("DCIM", true);
        a.ok().word(1, true).ok().directoryItem("100CANON", true);
        a.ok().word(2, true);
        a.ok().directoryItem("IMG_0001.JPG", false, 1'200'000);
        a.ok().ok().jpeg(60).ok().ok().read().read(); // stream, thumbnail, seek, length, read, read to the end
        a.ok().directoryItem("MVI_0002.MP4", false, 3'000'000);
        out.push_back(a.seed("collection"));
    }

    out.push_back(
        Answers({8, 9}).enumerateAndConnect().directoryItem("IMG_0042.CR3", false, 1'500'000).seed("object-name"));

    // One live-view frame with its metadata.
    {
        Answers a({10});
        a.enumerateAndConnect().ok().ok().ok().jpeg(200);
        a.ok().word(100).word(80).ok().word(100).word(80).word(512).word(340);
        a.ok().word(0).word(0).ok().word(6000).word(4000);
        for (int h = 0; h < 4; ++h) {
            a.ok();
            for (std::uint32_t level = 0; level < 256; ++level)
                a.word(level * 3 % 97);
        }
        a.u32(1).u32(0).u32(0).u32(0).ok().ok();
        out.push_back(a.seed("live-view"));
    }
    // Downloads: a remote picture, then a card picture that is deleted afterwards.
    out.push_back(Answers({13 + 16, 9, 14 + 16})
                      .enumerateAndConnect()
                      .ok().directoryItem("IMG_0001.JPG", false, 1'200'000).ok().ok() // file, info, download, done
                      .ok().directoryItem("IMG_0002.JPG", false, 900'000).ok().ok().ok()
                      .seed("downloads"));
    return out;
}

} // namespace tbx::fuzz
