#include "sdk/PtpDatasets.h"

#include "TestSupport.h"
#include "platform/Errors.h"

#include <cstring>
#include <initializer_list>
#include <vector>

namespace tbx::sdk {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put(Bytes &b, std::uint64_t v, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

PrDeviceInfoTable camera(std::u16string_view name)
{
    PrDeviceInfoTable device{};
    std::memcpy(device.ModelName, name.data(), std::min(name.size(), std::size(device.ModelName)) * 2);
    device.ModelID = 0x3150000;
    return device;
}

Bytes deviceList(std::uint32_t count, std::initializer_list<PrDeviceInfoTable> devices, std::size_t extra = 0)
{
    Bytes b;
    put(b, count, 4);
    for (const PrDeviceInfoTable &device : devices) {
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(&device);
        b.insert(b.end(), bytes, bytes + sizeof device);
    }
    b.resize(b.size() + extra, 0xEE);
    return b;
}

TEST(PtpDeviceList, ReadsTheRecordsThatTheCountTheLimitAndTheReplyAllAllow)
{
    const Bytes two = deviceList(2, {camera(u"PowerShot A"), camera(u"PowerShot B")});
    const auto read = ReadPtpDeviceList(two);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(PtpModelName(read[1]), "PowerShot B");
    EXPECT_EQ(std::memcmp(&read[0], two.data() + 4, sizeof(PrDeviceInfoTable)), 0); // copied unchanged

    // A count of 10^6 in a reply of three records, and half a record more.
    EXPECT_EQ(ReadPtpDeviceList(deviceList(1000000, {camera(u"a"), camera(u"b"), camera(u"c")}, 600)).size(), 3u);
    // Fewer claimed than sent.
    EXPECT_EQ(ReadPtpDeviceList(deviceList(1, {camera(u"a"), camera(u"b")})).size(), 1u);
    EXPECT_TRUE(ReadPtpDeviceList(deviceList(0, {})).empty());
    // Never more than 100, however many the reply holds.
    Bytes many = deviceList(150, {});
    many.resize(4 + 120 * sizeof(PrDeviceInfoTable));
    EXPECT_EQ(ReadPtpDeviceList(many).size(), kPtpMaxDevices);
    EXPECT_EQ(kPtpDeviceListBufferSize, 110604u);

    for (std::size_t cut = 0; cut < 4; ++cut)
        EXPECT_THROW(ReadPtpDeviceList(Bytes(two.begin(), two.begin() + static_cast<std::ptrdiff_t>(cut))),
                     ECamException);
}

TEST(PtpDeviceList, ModelNameStopsAtTheFirstZeroOrAfter32Units)
{
    EXPECT_EQ(PtpModelName(camera(u"Canon PowerShot G9")), "Canon PowerShot G9");
    EXPECT_EQ(PtpModelName(camera(u"0123456789abcdef0123456789ABCDEF-too-long")), "0123456789abcdef0123456789ABCDEF");
    EXPECT_EQ(PtpModelName(camera(u"IXUS \u00b5 \xd83d\xdcf7")), "IXUS \xc2\xb5 \xf0\x9f\x93\xb7");
    EXPECT_EQ(PtpTextToUtf8(std::u16string(1, char16_t(0xDC00))), "\xef\xbf\xbd"); // unpaired
}

/// A device information dataset built by hand, field by field.
Bytes handBuiltDeviceInfo()
{
    Bytes b;
    put(b, 100, 2); // standard version
    put(b, 11, 4);  // vendor extension id
    put(b, 100, 2); // vendor extension version
    put(b, 3, 1);   // description: "ab" and its terminator
    put(b, 'a', 2);
    put(b, 'b', 2);
    put(b, 0, 2);
    put(b, 0, 2); // functional mode
    put(b, 3, 4); // operations
    for (int op : {0x1001, 0x9008, 0x900B})
        put(b, static_cast<std::uint64_t>(op), 2);
    put(b, 1, 4); // events
    put(b, 0xC008, 2);
    put(b, 2, 4); // properties
    put(b, 0xD02A, 2);
    put(b, 0xD006, 2);
    put(b, 0, 4); // capture formats
    put(b, 1, 4); // image formats
    put(b, 0x3801, 2);
    for (int i = 0; i < 3; ++i)
        put(b, 0, 1); // manufacturer, model, device version empty
    put(b, 2, 1);     // serial number "7"
    put(b, '7', 2);
    put(b, 0, 2);
    return b;
}

TEST(PtpDeviceInfo, ReadsEveryFieldAndRefusesEveryCut)
{
    const Bytes bytes = handBuiltDeviceInfo();
    const PtpDeviceInfo info = ReadPtpDeviceInfo(bytes);
    EXPECT_EQ(info.VendorExtensionID, 11u);
    EXPECT_EQ(info.VendorExtensionDesc, u"ab");
    EXPECT_EQ(info.OperationsSupported, (std::vector<std::uint16_t>{0x1001, 0x9008, 0x900B}));
    EXPECT_EQ(info.EventsSupported, (std::vector<std::uint16_t>{0xC008}));
    EXPECT_TRUE(info.supportsOperation(0x900B));
    EXPECT_FALSE(info.supportsOperation(0x9014));
    EXPECT_TRUE(info.listsProperty(0xD006));
    EXPECT_FALSE(info.listsProperty(0xD007));
    EXPECT_TRUE(info.CaptureFormats.empty());
    EXPECT_EQ(info.SerialNumber, u"7");
    EXPECT_EQ(WritePtpDeviceInfo(info), bytes);

    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        // A heap block of exactly the cut size, so a read past it is caught by the sanitizers.
        const Bytes part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_THROW(ReadPtpDeviceInfo(part), ECamException) << "cut at " << cut;
    }
}

TEST(PtpDeviceInfo, AnArrayCountBeyondTheReplyIsRefusedBeforeAllocating)
{
    Bytes bytes = handBuiltDeviceInfo();
    const std::size_t operations = 2 + 4 + 2 + 7 + 2;
    for (std::uint32_t count : {100u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        std::memcpy(bytes.data() + operations, &count, 4);
        try {
            ReadPtpDeviceInfo(bytes);
            ADD_FAILURE() << count;
        } catch (const ECamException &error) {
            EXPECT_STREQ(error.what(), "The camera's device information (59 bytes) is shorter than its contents claim");
        }
    }
}

PtpPropDesc enumeration(std::uint16_t type, std::vector<std::uint64_t> values)
{
    PtpPropDesc desc;
    desc.PropertyCode = 0xD008;
    desc.DataType = type;
    desc.GetSet = 1;
    desc.FactoryDefault = values.front();
    desc.Current = values.back();
    desc.FormFlag = 2;
    desc.Values = std::move(values);
    return desc;
}

TEST(PtpPropDesc, ReadsBothFormsInTheSizeOfTheirType)
{
    // Built by hand: 0xD02A, UINT16, read/write, default 0, current 40, range 0..120 step 8.
    Bytes range;
    for (auto [v, size] : std::initializer_list<std::pair<std::uint64_t, std::size_t>>{
             {0xD02A, 2}, {4, 2}, {1, 1}, {0, 2}, {40, 2}, {1, 1}, {0, 2}, {120, 2}, {8, 2}})
        put(range, v, size);
    const PtpPropDesc zoom = ReadPtpPropDesc(range);
    EXPECT_EQ(zoom.form(), PtpForm::Range);
    EXPECT_EQ(zoom.Current, 40u);
    EXPECT_EQ(zoom.Maximum, 120u);
    EXPECT_TRUE(zoom.Values.empty());
    EXPECT_TRUE(zoom.allows(16));
    EXPECT_FALSE(zoom.allows(17));
    EXPECT_FALSE(zoom.allows(128));
    EXPECT_EQ(WritePtpPropDesc(zoom), range);

    for (std::uint16_t type : {kPtpTypeUInt8, kPtpTypeInt16, kPtpTypeUInt32, kPtpTypeUInt64}) {
        SCOPED_TRACE(type);
        const PtpPropDesc written = enumeration(type, {0, 1, 2, 7});
        const Bytes bytes = WritePtpPropDesc(written);
        EXPECT_EQ(bytes.size(), 2 + 2 + 1 + PtpValueSize(type) * 6 + 1 + 2);
        const PtpPropDesc read = ReadPtpPropDesc(bytes);
        EXPECT_EQ(read.Values, written.Values);
        EXPECT_EQ(read.Current, 7u);
        EXPECT_TRUE(read.allows(7));
        EXPECT_FALSE(read.allows(3));
    }
}

TEST(PtpPropDesc, ListsAreReadOnlyForTheEnumerationForm)
{
    // A description without a form, or with a flag the system does not know, followed by bytes
    // that would read as a huge list: nothing after the flag is read.
    for (int flag : {0, 3, 0xFF}) {
        PtpPropDesc desc = enumeration(kPtpTypeUInt8, {1});
        desc.FormFlag = static_cast<std::uint8_t>(flag);
        Bytes bytes = WritePtpPropDesc(desc);
        put(bytes, 0xFFFF, 2);
        const PtpPropDesc read = ReadPtpPropDesc(bytes);
        EXPECT_EQ(read.form(), PtpForm::None);
        EXPECT_TRUE(read.Values.empty());
        EXPECT_TRUE(read.allows(200));
    }
}

TEST(PtpPropDesc, RefusesCountsBeyondTheReplyEveryCutAndTypesWithoutASize)
{
    for (const PtpPropDesc &desc : {enumeration(kPtpTypeUInt16, {5, 6, 7}), [] {
                                        PtpPropDesc d = enumeration(kPtpTypeUInt16, {0});
                                        d.FormFlag = 1;
                                        d.Maximum = 9;
                                        return d;
                                    }()}) {
        const Bytes bytes = WritePtpPropDesc(desc);
        for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
            const Bytes part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
            EXPECT_THROW(ReadPtpPropDesc(part), ECamException) << "cut at " << cut;
        }
    }

    Bytes claimsMore = WritePtpPropDesc(enumeration(kPtpTypeUInt16, {5, 6, 7}));
    claimsMore[2 + 2 + 1 + 2 + 2 + 1] = 4; // four values, three sent
    EXPECT_THROW(ReadPtpPropDesc(claimsMore), ECamException);

    Bytes text = WritePtpPropDesc(enumeration(kPtpTypeUInt8, {1}));
    text[2] = 0xFF; // a string property
    text[3] = 0xFF;
    try {
        ReadPtpPropDesc(text);
        ADD_FAILURE();
    } catch (const ECamException &error) {
        EXPECT_STREQ(error.what(),
                     "The camera's property description of 0xD008 has a data type the system cannot read");
    }
}

TEST(PtpReply, NeverReachesPastTheBuffer)
{
    const Bytes buffer(16);
    EXPECT_EQ(PtpReply(buffer, 10).size(), 10u);
    EXPECT_EQ(PtpReply(buffer, 16).size(), 16u);
    EXPECT_EQ(PtpReply(buffer, 0xFFFFFFFF).size(), 16u);
}

} // namespace
} // namespace tbx::sdk
