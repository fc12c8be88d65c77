// The generation-2 driver's conversion tables against the EOS driver's: the generation-2 library
// reports the EOS values, so each of its rows must be the EOS row for that camera value.
#include "drivers/eos/EdsTables.h"
#include "drivers/pssdk/PsTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <span>

namespace tbx {
namespace {

using drivers::CodeRow;

TEST(PsTablesTest, EveryRowIsTheEosRowForItsCameraValue)
{
    struct Pair {
        const char *name;
        std::span<const CodeRow> ps;
        std::span<const CodeRow> eos;
    };
    const Pair pairs[] = {
        {"exposure modes", pssdk::kExposureModes, eos::kExposureModes},
        {"exposure compensations", pssdk::kExposureCompensations, eos::kExposureCompensations},
        {"white balances", pssdk::kWhiteBalances, eos::kWhiteBalances},
        {"AF modes", pssdk::kAFModes, eos::kAFModes},
        {"drive modes", pssdk::kDriveModes, eos::kDriveModes},
        {"metering modes", pssdk::kMeteringModes, eos::kMeteringModes},
        {"colour spaces", pssdk::kColorSpaces, eos::kColorSpaces},
        {"ISO speeds", pssdk::kISOSpeeds, eos::kISOSpeeds},
        {"image sizes", pssdk::kImageSizes, eos::kImageSizes},
        {"compressions", pssdk::kCompressions, eos::kCompressions},
    };
    for (const Pair &pair : pairs) {
        SCOPED_TRACE(pair.name);
        for (const CodeRow &row : pair.ps) {
            const auto eosRow = std::ranges::find(pair.eos, row.camera, &CodeRow::camera);
            ASSERT_NE(eosRow, pair.eos.end()) << "camera value " << row.camera << " is not an EOS value";
            EXPECT_EQ(int(eosRow->code), int(row.code)) << "camera value " << row.camera;
        }
    }
    // The colour-temperature code is the one the shared white-balance logic looks for.
    EXPECT_NE(std::ranges::find(pssdk::kWhiteBalances, eos::kWhiteBalanceKelvinCode, &CodeRow::code),
              std::end(pssdk::kWhiteBalances));
}

} // namespace
} // namespace tbx
