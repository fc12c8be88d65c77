// The PTP driver's tables.
#include "PrFake.h"

#include <gtest/gtest.h>

namespace tbx {
namespace {

using namespace prsdk;

TEST(PrTablesTest, EveryCameraValueReadsBackAsTheValueItsCodeWrites)
{
    for (const PrProperty &property : kProperties) {
        SCOPED_TRACE(property.code);
        for (const drivers::CodeRow &row : property.rows) {
            const std::uint8_t code = codeOfValue(property, static_cast<std::uint32_t>(row.camera));
            EXPECT_EQ(code, row.code);
            // Two white-balance values share a code; writing it gives the first of them.
            EXPECT_EQ(codeOfValue(property, valueOfCode(property, code)), code);
            EXPECT_LT(code, property.kind == RemoteParamWhiteBalanceSetting ? 17 : 64);
            if (property.lowSevenBits) {
                EXPECT_EQ(valueOfCode(property, static_cast<std::uint8_t>(code + 128)), valueOfCode(property, code));
            }
        }
        EXPECT_EQ(codeOfValue(property, 0xFFFFu), 0);
        EXPECT_EQ(findProperty(property.code), &property);
    }
    EXPECT_EQ(findProperty(0xD007), findProperty(0xD006));
    EXPECT_EQ(valueOfCode(*findProperty(0xD017), 9), 127u);
    EXPECT_EQ(valueOfCode(*findProperty(0xD041), 2), 0u);
    EXPECT_EQ(valueOfCode(*findProperty(0xD00B), 3), 255u);
    EXPECT_EQ(valueOfCode(*findProperty(0xD01D), 41), 0xFFFFu);
}

TEST(PrTablesTest, EveryParameterIsProbedOnce)
{
    for (const PrProperty &property : kProperties)
        EXPECT_EQ(std::count_if(std::begin(kProbeSteps), std::end(kProbeSteps),
                                [&](const ProbeStep &step) { return step.property == property.code; }),
                  1)
            << property.code;
}

TEST(PrTablesTest, CaptureTransferByModeAndKind)
{
    const std::uint16_t expected[3][3] = {{1, 2, 3}, {0, 0, 0}, {4, 8, 12}};
    for (int mode = 0; mode < 3; ++mode)
        for (int kind = 0; kind < 3; ++kind)
            EXPECT_EQ(captureTransferSetting(ReleaseModeType(mode), ReleaseDataKindType(kind)).value_or(0),
                      expected[mode][kind]);
}

} // namespace
} // namespace tbx
