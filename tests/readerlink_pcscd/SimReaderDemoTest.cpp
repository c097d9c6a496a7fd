// SPDX-License-Identifier: BSD-3-Clause
// The demo scenario presents itself as one of the maker's PIN-pad readers and
// carries a card that answers a few useful commands.
#include <gtest/gtest.h>

#include <PCSC/reader.h>

#include <string>
#include <vector>

#include "PcscdBench.h"
#include "readerlink/ReaderLink.h"

namespace {

using bench::Bytes;
using ByteVec = std::vector<std::uint8_t>;

class Demo : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr), SCARD_S_SUCCESS);
        link.SetMaxReaders(10);
        ASSERT_EQ(link.ListReaders(nullptr), SCARD_S_SUCCESS);
        ASSERT_EQ(link.GetReaderCount(), 1);
        DWORD active = 0;
        ASSERT_EQ(link.Connect(link.ReaderName(0), SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0, &active), SCARD_S_SUCCESS);
    }
    void TearDown() override
    {
        link.Disconnect(SCARD_UNPOWER_CARD);
        link.ReleaseContext();
    }
    CReaderLink link;
};

TEST_F(Demo, ManufacturerNameFromTheVendorAttributeContainsTav)
{
    const std::uint8_t request[4] = {0x90, 0x01, 0x07, 0x00};  // 0x00070190, little-endian
    char out[256] = {};
    DWORD returned = 0;
    ASSERT_EQ(link.Control(SCARD_CTL_CODE(2049), request, 4, out, 255, &returned), SCARD_S_SUCCESS);
    ASSERT_GT(returned, 0u);
    EXPECT_NE(std::string(out).find("TAV"), std::string::npos) << out;
}

TEST_F(Demo, FeatureListHasSixByteBigEndianRecords)
{
    std::uint8_t out[255];
    DWORD returned = 0;
    ASSERT_EQ(link.Control(CM_IOCTL_GET_FEATURE_REQUEST, nullptr, 0, out, sizeof out, &returned), SCARD_S_SUCCESS);
    ASSERT_EQ(returned % 6, 0u);
    std::vector<int> tags;
    for (DWORD i = 0; i < returned; i += 6) {
        EXPECT_EQ(out[i + 1], 4);
        std::uint32_t code = (std::uint32_t(out[i + 2]) << 24) | (out[i + 3] << 16) | (out[i + 4] << 8) | out[i + 5];
        EXPECT_EQ(code, 0x42330000u + out[i]);
        tags.push_back(out[i]);
    }
    EXPECT_EQ(tags, (std::vector<int>{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x0A, 0x0C, 0x0F, 0x10, 0x11}));
}

TEST_F(Demo, CardDialogueWithGetResponseAndWrongLength)
{
    ByteVec fci = Bytes({0x6F, 0x1A, 0x84, 0x07, 0xA0, 0x00, 0x00, 0x00, 0x03, 0x10, 0x10, 0xA5, 0x0F, 0x50, 0x0A});
    for (char ch : std::string("BENCH DEMO"))
        fci.push_back(static_cast<std::uint8_t>(ch));
    for (int b : {0x87, 0x01, 0x01, 0x90, 0x00})
        fci.push_back(static_cast<std::uint8_t>(b));
    ByteVec card = {};
    for (char ch : std::string("TAV BENCH CARD 1"))
        card.push_back(static_cast<std::uint8_t>(ch));
    card.push_back(0x90);
    card.push_back(0x00);

    struct Step {
        ByteVec apdu;
        ByteVec answer;
    } dialogue[] = {
        {Bytes({0x00, 0xA4, 0x04, 0x00, 0x07, 0xA0, 0x00, 0x00, 0x00, 0x03, 0x10, 0x10}), Bytes({0x61, 0x1C})},
        {Bytes({0x00, 0xC0, 0x00, 0x00, 0x10}), Bytes({0x6C, 0x1C})},
        {Bytes({0x00, 0xC0, 0x00, 0x00, 0x1C}), fci},
        {Bytes({0x00, 0xA4, 0x00, 0x00, 0x02, 0x3F, 0x00}), Bytes({0x90, 0x00})},
        {Bytes({0x00, 0xA4, 0x00, 0x00, 0x02, 0x2F, 0x00}), Bytes({0x90, 0x00})},
        {Bytes({0x00, 0xA4, 0x00, 0x00, 0x02, 0x2F, 0x01}), Bytes({0x6A, 0x82})},
        {Bytes({0x00, 0xB0, 0x00, 0x00, 0x00}), Bytes({0x6C, 0x10})},
        {Bytes({0x00, 0xB0, 0x00, 0x00, 0x10}), card},
        {Bytes({0x00, 0x20, 0x00, 0x01, 0x04, 0x31, 0x32, 0x33, 0x35}), Bytes({0x63, 0xC2})},
        {Bytes({0x00, 0x20, 0x00, 0x01, 0x04, 0x31, 0x32, 0x33, 0x34}), Bytes({0x90, 0x00})},
        {Bytes({0x80, 0xCA, 0x9F, 0x7F, 0x00}), Bytes({0x6D, 0x00})},
    };
    for (const Step& s : dialogue) {
        std::uint8_t rx[258];
        DWORD len = sizeof rx;
        ASSERT_EQ(link.Transmit(s.apdu.data(), static_cast<DWORD>(s.apdu.size()), rx, &len), SCARD_S_SUCCESS);
        EXPECT_EQ(ByteVec(rx, rx + len), s.answer) << "command " << &s - dialogue;
    }
}

TEST_F(Demo, StandardAttributesTheConsoleReads)
{
    struct Case {
        DWORD id;
        std::size_t length;
    } cases[] = {
        {SCARD_ATTR_VENDOR_IFD_SERIAL_NO, 13}, {SCARD_ATTR_MAX_IFSD, 4},        {SCARD_ATTR_MAX_CLK, 4},
        {SCARD_ATTR_MAX_DATA_RATE, 4},         {SCARD_ATTR_DEFAULT_CLK, 4},     {SCARD_ATTR_DEFAULT_DATA_RATE, 4},
        {SCARD_ATTR_VENDOR_NAME, 4},           {SCARD_ATTR_VENDOR_IFD_TYPE, 13}, {SCARD_ATTR_VENDOR_IFD_VERSION, 4},
        {SCARD_ATTR_CURRENT_BWT, 4},           {SCARD_ATTR_CURRENT_CWT, 4},     {SCARD_ATTR_CURRENT_W, 4},
        {SCARD_ATTR_CURRENT_IFSC, 4},          {SCARD_ATTR_CURRENT_IFSD, 4},    {SCARD_ATTR_CHANNEL_ID, 4},
    };
    for (const Case& c : cases) {
        std::uint8_t buf[MAX_BUFFER_SIZE];  // pcsc-lite refuses longer lengths
        DWORD len = sizeof buf;
        EXPECT_EQ(link.GetAttrib(c.id, buf, &len), SCARD_S_SUCCESS) << std::hex << c.id;
        EXPECT_EQ(len, c.length) << std::hex << c.id;
    }
}

}  // namespace
