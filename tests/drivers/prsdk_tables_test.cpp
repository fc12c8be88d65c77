// The PTP driver's tables and dataset readers.
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

TEST(PrDatasetsTest, DeviceListReadsOnlyTheRecordsThatAreThere)
{
    prtest::Bytes reply;
    prtest::put(reply, 1000000, 4);
    reply.resize(4 + 2 * sizeof(sdk::PrDeviceInfoTable) + 5);
    EXPECT_EQ(readDeviceList(reply).size(), 2u);
    reply.resize(3);
    EXPECT_THROW(readDeviceList(reply), ECamException);
}

TEST(PrDatasetsTest, DatasetsCutShortAreRefusedAtEveryLength)
{
    const prtest::Bytes info = prtest::deviceInfo({0x9008, 0x900B}, {0xD006, 0xD02A});
    EXPECT_EQ(readDeviceInfo(info).properties.size(), 2u);
    for (std::size_t size = 0; size < info.size(); ++size)
        EXPECT_THROW(readDeviceInfo(std::span(info).first(size)), ECamException) << size;

    const prtest::Bytes desc = prtest::propertyDesc(0xD01C, 2, 72, {0, 64, 72});
    EXPECT_EQ(readPropertyDesc(desc, 2).values.size(), 3u);
    for (std::size_t size = 0; size < desc.size(); ++size)
        EXPECT_THROW(readPropertyDesc(std::span(desc).first(size), 2), ECamException) << size;
}

TEST(PrDatasetsTest, OnlyAnEnumerationIsReadAsAList)
{
    prtest::Bytes desc = prtest::propertyDesc(0xD008, 1, 1, {}, 0);
    prtest::put(desc, 0xFFFF, 2); // a count after a form without one
    EXPECT_TRUE(readPropertyDesc(desc, 1).values.empty());
}

} // namespace
} // namespace tbx
