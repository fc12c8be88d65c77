// Fuzz target: the camera remote parameter file a host loads with RemoteLoadCameraRemoteParams,
// read from disk through the same function the engine uses.
#include "FuzzTarget.h"
#include "TempFile.h"

#include "engine/ParamStore.h"
#include "platform/Errors.h"

#include <span>

namespace {

tbx::fuzz::ScratchFile &scratch()
{
    static tbx::fuzz::ScratchFile file("params.bin");
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace tbx;
    const bool valid = size >= kRemoteParamsFileSize &&
                       static_cast<std::int32_t>(fuzz::readLe(data, 4)) == kRemoteParamsRecordLength;

    const auto decoded = DecodeRemoteParamsFile(std::span<const std::uint8_t>(data, size));
    TBX_FUZZ_EXPECT(decoded.has_value() == valid);
    if (decoded) {
        // The record is the file's bytes, and writing it back gives the same 52 bytes.
        TBX_FUZZ_EXPECT(std::memcmp(&*decoded, data + 4, sizeof *decoded) == 0);
        const auto encoded = EncodeRemoteParamsFile(*decoded);
        TBX_FUZZ_EXPECT(std::memcmp(encoded.data(), data, encoded.size()) == 0);
    }

    scratch().write(data, size);
    try {
        const RemoteParamsType read = ReadRemoteParamsFile(scratch().path());
        TBX_FUZZ_EXPECT(valid && std::memcmp(&read, data + 4, sizeof read) == 0);
    } catch (const ECamException &e) {
        TBX_FUZZ_EXPECT(!valid);
        TBX_FUZZ_EXPECT(std::string(e.what()) == "Camera remote parameters file " + scratch().path() +
                                                     " is of invalid data format. Please create a new file.");
    }
    return 0;
}

namespace tbx::fuzz {

std::vector<Seed> seeds()
{
    // Files as the engine writes them.
    RemoteParamsType typical{};
    typical.CompQuality = 3;
    typical.ImageSize = 1;
    typical.WhiteBalanceSetting = 13;
    typical.WhiteBalanceKelvin = 5200;
    typical.WBShiftEnabled = 1;
    typical.AmberBlue = 0xFE;
    typical.PictureStyleEnabled = 1;
    typical.Av = 12;
    typical.Tv = 30;
    typical.ISO = 9;
    RemoteParamsType empty{};
    std::vector<Seed> out;
    for (const auto &[name, params] : {std::pair{"typical", typical}, std::pair{"empty", empty}}) {
        WriteRemoteParamsFile(scratch().path(), params);
        Bytes bytes = scratch().read();
        TBX_FUZZ_EXPECT(bytes.size() == kRemoteParamsFileSize);
        // The record length, and the 32-bit colour temperature inside the record.
        out.push_back(Seed{name, std::move(bytes), {{0, 4}, {4 + 16, 4}}});
    }
    return out;
}

} // namespace tbx::fuzz
