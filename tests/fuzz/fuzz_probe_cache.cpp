// Fuzz target: the probe cache file the EOS driver reads at RemoteStart instead of probing the
// camera again, read from disk through the same function the driver uses.
#include "FuzzTarget.h"
#include "TempFile.h"

#include "engine/ParamStore.h"

namespace {

tbx::fuzz::ScratchFile &scratch()
{
    static tbx::fuzz::ScratchFile file("Canon EOS 90D Mode2");
    return file;
}

constexpr std::uint8_t kUntouched = 0x5A;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace tbx;
    const bool valid = size >= kParamSupportCacheFileSize &&
                       static_cast<std::int32_t>(fuzz::readLe(data, 4)) == kParamSupportCacheFormat;

    scratch().write(data, size);
    RemoteParamSupportType record;
    std::memset(static_cast<void *>(&record), kUntouched, sizeof record);
    const bool loaded = LoadRemoteParamSupportCache(scratch().path(), record);
    TBX_FUZZ_EXPECT(loaded == valid);
    if (loaded) {
        TBX_FUZZ_EXPECT(std::memcmp(&record, data + 4, sizeof record) == 0);
    } else {
        // A refused file leaves the caller's table as it was, so the driver probes instead.
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(&record);
        for (std::size_t i = 0; i < sizeof record; ++i)
            TBX_FUZZ_EXPECT(bytes[i] == kUntouched);
    }
    return 0;
}

namespace tbx::fuzz {

std::vector<Seed> seeds()
{
    // Caches as the driver stores them after a probe.
    RemoteParamSupportType probed{};
    for (int code : {1, 2, 3, 5})
        probed.mark(RemoteParamCompQuality, code);
    for (int code = 1; code <= 27; ++code)
        probed.mark(RemoteParamISO, code);
    for (int code = 1; code <= 40; ++code)
        probed.mark(RemoteParamAv, code);
    probed.WhiteBalanceShift = 1;
    probed.PictureStyle = 1;
    RemoteParamSupportType nothing{};
    std::vector<Seed> out;
    for (const auto &[name, record] : {std::pair{"probed", probed}, std::pair{"nothing", nothing}}) {
        SaveRemoteParamSupportCache(scratch().path(), record);
        Bytes bytes = scratch().read();
        TBX_FUZZ_EXPECT(bytes.size() == kParamSupportCacheFileSize);
        out.push_back(Seed{name, std::move(bytes), {{0, 4}}});
    }
    return out;
}

} // namespace tbx::fuzz
