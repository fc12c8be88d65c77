// Fuzz target: the scenario text of the simulated EOS library, which host developers write by
// hand and hand over through TbxSim_LoadScenario (or TBX_SIM_SCENARIO). The stand-in is loaded
// from the build's redist folder as a host loads it.
#include "FuzzTarget.h"

#include "platform/Platform.h"

#include <optional>
#include <string>

#include "../../sim/TbxSimControl.h"

#ifndef TBX_FUZZ_REDIST_DIR
#error "TBX_FUZZ_REDIST_DIR must name the folder of the simulated EDSDK.dll"
#endif

namespace {

struct Sim {
    TbxSim_LoadScenario_t load = nullptr;
    TbxSim_AttachCamera_t attach = nullptr;
    TbxSim_Reset_t reset = nullptr;
    TbxSim_GetLastError_t lastError = nullptr;
};

const Sim &sim()
{
    static std::optional<tbx::platform::DynamicLibrary> library;
    static const Sim s = [] {
        library = tbx::platform::DynamicLibrary::open(std::string(TBX_FUZZ_REDIST_DIR) + "/EDSDK.dll");
        TBX_FUZZ_EXPECT(library.has_value());
        Sim found;
        found.load = reinterpret_cast<TbxSim_LoadScenario_t>(library->symbol("TbxSim_LoadScenario"));
        found.attach = reinterpret_cast<TbxSim_AttachCamera_t>(library->symbol("TbxSim_AttachCamera"));
        found.reset = reinterpret_cast<TbxSim_Reset_t>(library->symbol("TbxSim_Reset"));
        found.lastError = reinterpret_cast<TbxSim_GetLastError_t>(library->symbol("TbxSim_GetLastError"));
        TBX_FUZZ_EXPECT(found.load && found.attach && found.reset && found.lastError);
        return found;
    }();
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The text ends at its first zero, as a C string does.
    std::string text(reinterpret_cast<const char *>(data), size);
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    // Anything else is a file name, which the library would open: not what this target is for.
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos || text[first] != '{')
        return 0;
    // A rejected text says where and why (asked without a buffer: "buffer too small" with the
    // size the text needs).
    const auto expectReason = [] {
        std::uint32_t needed = 0;
        TBX_FUZZ_EXPECT(sim().lastError(nullptr, 0, &needed) == TBXSIM_BUFFER_SMALL && needed > 1);
    };
    const std::uint32_t loaded = sim().load(text.c_str());
    TBX_FUZZ_EXPECT(loaded == TBXSIM_OK || loaded == TBXSIM_SCENARIO);
    if (loaded == TBXSIM_SCENARIO)
        expectReason();
    // The same text as one camera to plug in; a camera that was added goes again with a reset.
    const std::uint32_t attached = sim().attach(text.c_str());
    TBX_FUZZ_EXPECT(attached == TBXSIM_OK || attached == TBXSIM_SCENARIO || attached == TBXSIM_BAD_ARGUMENT);
    if (attached == TBXSIM_OK)
        TBX_FUZZ_EXPECT(sim().reset() == TBXSIM_OK);
    else
        expectReason();
    return 0;
}

namespace tbx::fuzz {

std::vector<Seed> seeds()
{
    const auto camera = [](const char *name, const std::string &json) {
        TBX_FUZZ_EXPECT(sim().attach(json.c_str()) == TBXSIM_OK && sim().reset() == TBXSIM_OK);
        return Seed{name, Bytes(json.begin(), json.end()), {}, true};
    };
    const auto seed = [](const char *name, const std::string &json) {
        TBX_FUZZ_EXPECT(sim().load(json.c_str()) == TBXSIM_OK);
        return Seed{name, Bytes(json.begin(), json.end()), {}, true};
    };
    return {
        seed("documented", R"({
  "eventDelivery": "thread",
  "callLogLimit": 100000,
  "cameras": [
    {
      "id": "booth", "family": "EOS", "description": "Canon EOS 90D", "portName": "USB:SIM-EOS-0001",
      "subType": 1, "attached": true, "ownerName": "Photo booth 3", "bodyId": "083021000123",
      "firmware": "1.1.1", "battery": 80, "lens": "EF-S18-135mm f/3.5-5.6 IS USM", "saveTo": "host",
      "clock": "2026-06-01T14:00:00", "powerZoom": false,
      "picture": { "width": 1200, "height": 800 },
      "liveView": { "width": 640, "height": 424, "quality": 75, "notReadyFrames": 1 },
      "release": { "afFailure": false, "rawSize": 1500000, "movieSize": 3000000,
                   "filePrefix": "IMG_", "moviePrefix": "MVI_", "folder": "DCIM/100CANON" },
      "properties": {
        "ISOSpeed": 72,
        "0x405": { "value": 48, "allowed": [40, 43, 45, 48, 51, 53, 56] },
        "WhiteBalanceShift": [2, -1],
        "Artist": "Jane Doe"
      },
      "volumes": [
        { "label": "SD1", "storageType": "SD", "capacity": 32000000000, "writeProtected": false,
          "items": [
            { "folder": "DCIM", "items": [
              { "folder": "100CANON", "items": [
                { "file": "IMG_0001.JPG", "time": "2026-05-30T10:15:00" },
                { "file": "IMG_0002.CR2", "size": 2000000 },
                { "file": "MVI_0003.MP4" }
              ] }
            ] }
          ] }
      ]
    }
  ]
})"),
        seed("two-cameras", R"({"eventDelivery": "getEvent", "cameras": [
  {"id": "a", "subType": 0, "battery": "AC", "saveTo": 3, "volumes": [],
   "properties": {"0x7777": {"type": "Int32_Array", "value": [1, 2, 3], "range": [0, 9], "writable": true},
                  "OwnerName": {"value": "x", "maxSize": 32}, "Evf_AFMode": {"value": 2, "offered": false}}},
  {"id": "b", "attached": false, "powerZoom": true,
   "volumes": [{"storageType": 2, "items": [{"file": "A.JPG", "size": 9000, "width": 64, "height": 48,
                                             "readOnly": true}]}]}]})"),
        seed("empty", R"({"cameras": []})"),
        camera("one-camera", R"({"id": "plugged", "description": "Canon EOS R6", "subType": 1, "battery": 49,
                      "properties": {"AFMode": 3, "0x405": {"value": 48, "allowed": [40, 48]}},
                      "volumes": [{"label": "CF1", "storageType": "CFast", "capacity": 64000000000,
                                   "items": [{"folder": "DCIM", "items": [{"file": "IMG_0001.CR3"}]}]}]})"),
    };
}

} // namespace tbx::fuzz
