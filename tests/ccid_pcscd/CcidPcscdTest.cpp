// SPDX-License-Identifier: BSD-3-Clause
// What the console sends, through the real serial CCID driver and a private
// pcscd, to the emulated serial CCID PIN pad (simreader/ccid-serial). The
// driver parses the part 10 requests itself and turns them into CCID Secure
// commands, so a request the console builds wrongly fails here even where
// our own simulated reader would accept it. The keypad scripts of
// simreader/scenarios/ccid.scn are consumed in the order of the steps below.
#include <gtest/gtest.h>

#include <PCSC/reader.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "features/ControlCodes.h"
#include "features/PinRequests.h"
#include "readerlink/ReaderLink.h"

namespace {

using ByteVec = std::vector<std::uint8_t>;

constexpr char kReader[] = "Bench CCID PinPad 00 00";
constexpr char kSimReader[] = "TAV Bench PinPad 00 00";  // our simulated PIN pad beside it

std::string Trace()
{
    const char* dir = std::getenv("SIMREADER_STATE_DIR");
    std::ifstream in(std::string(dir ? dir : ".") + "/trace-ccid.log");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ByteVec Bytes(const PinRequestBytes& r)
{
    return ByteVec(r.bytes.begin(), r.bytes.begin() + r.count);
}

// The console's requests, from the windows' default fields.
ByteVec VerifyRequest(std::string_view apdu)
{
    return Bytes(ConvertPinRequest(PcscRequestText(BuildPcscVerifyText(VerifyPinFields{}), apdu)));
}

ByteVec ModifyRequest(std::string_view apdu)
{
    return Bytes(ConvertPinRequest(PcscRequestText(BuildPcscModifyText(ModifyPinFields{}), apdu)));
}

constexpr std::string_view kVerifyApdu = "00 20 00 01 04 FF FF FF FF";
constexpr std::string_view kModifyApdu = "00 24 00 01 0C FF FF FF FF FF FF FF FF FF FF FF FF";

class CcidPinPad : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr), SCARD_S_SUCCESS);
        ASSERT_EQ(link.ListReaders(nullptr), SCARD_S_SUCCESS);
        ASSERT_STREQ(link.ReaderName(0), kReader);
        DWORD proto = 0;
        ASSERT_EQ(link.Connect(kReader, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &proto),
                  SCARD_S_SUCCESS);
        ASSERT_EQ(proto, static_cast<DWORD>(SCARD_PROTOCOL_T0));
        ByteVec list;
        ASSERT_EQ(Control(CM_IOCTL_GET_FEATURE_REQUEST, {}, list, 255), SCARD_S_SUCCESS);
        features.Parse(list.data(), list.size());
    }
    void TearDown() override
    {
        link.Disconnect(SCARD_LEAVE_CARD);
        link.ReleaseContext();
    }
    std::uint32_t Control(DWORD code, const ByteVec& in, ByteVec& out, DWORD size = 512)
    {
        out.assign(size, 0);
        DWORD n = 0;
        const std::uint32_t rv = static_cast<std::uint32_t>(
            link.Control(code, in.empty() ? nullptr : in.data(), static_cast<DWORD>(in.size()), out.data(), size, &n));
        out.resize(rv == SCARD_S_SUCCESS ? n : 0);
        return rv;
    }
    CReaderLink link;
    features::FeatureTable features;
};

TEST_F(CcidPinPad, ConnectAnswersTheAtrAndExchangesAnApdu)
{
    char name[128];
    DWORD nameLength = sizeof name, state = 0, protocol = 0, atrLength = 33;
    std::uint8_t atr[33];
    ASSERT_EQ(link.Status(name, &nameLength, &state, &protocol, atr, &atrLength), SCARD_S_SUCCESS);
    EXPECT_EQ(ByteVec(atr, atr + atrLength), (ByteVec{0x3B, 0x06, 0x43, 0x43, 0x49, 0x44, 0x50, 0x50}));

    const ByteVec challenge = {0x00, 0x84, 0x00, 0x00, 0x08};
    std::uint8_t answer[258];
    DWORD n = sizeof answer;
    ASSERT_EQ(link.Transmit(challenge.data(), static_cast<DWORD>(challenge.size()), answer, &n), SCARD_S_SUCCESS);
    EXPECT_EQ(ByteVec(answer, answer + n),
              (ByteVec{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x90, 0x00}));
}

// The driver reports, for its serial PIN-pad model, direct verify and modify,
// the PIN properties and the TLV properties; the console names each.
TEST_F(CcidPinPad, FeaturesAndPropertiesTheDriverReports)
{
    // Codes are the driver's own: used as reported.
    for (std::uint8_t tag : {FEATURE_VERIFY_PIN_DIRECT, FEATURE_MODIFY_PIN_DIRECT, FEATURE_IFD_PIN_PROPERTIES,
                             FEATURE_GET_TLV_PROPERTIES})
        EXPECT_NE(features.CodeOf(tag), 0u) << int(tag);
    EXPECT_EQ(features.CodeOf(FEATURE_VERIFY_PIN_START), 0u);
    EXPECT_FALSE(features.m_keyPollingSupported);
    for (const features::FeatureEntry& e : features.m_featureList) {
        EXPECT_EQ(e.length, 4) << int(e.tag);
        EXPECT_EQ(features::FeatureName(e.tag).rfind("FEATURE_", 0), 0u) << int(e.tag);
    }
    EXPECT_EQ(features::FeatureName(FEATURE_GET_TLV_PROPERTIES), "FEATURE_GET_TLV_PROPERTIES");

    // The "Pin Properties" window reads wLcdLayout, bEntryValidationCondition
    // and bTimeOut2 from a 24-byte answer: this model has no display and
    // validates with the enter key.
    ByteVec pin;
    ASSERT_EQ(Control(features.CodeOf(FEATURE_IFD_PIN_PROPERTIES), {}, pin, 24), SCARD_S_SUCCESS);
    EXPECT_EQ(pin, (ByteVec{0x00, 0x00, 0x02, 0x00}));

    // TLV properties: tag, length, value, back to back to the last byte.
    ByteVec tlv;
    ASSERT_EQ(Control(features.CodeOf(FEATURE_GET_TLV_PROPERTIES), {}, tlv, 255), SCARD_S_SUCCESS);
    std::vector<std::uint8_t> tags;
    std::size_t at = 0;
    while (at + 2 <= tlv.size()) {
        tags.push_back(tlv[at]);
        at += 2u + tlv[at + 1];
    }
    EXPECT_EQ(at, tlv.size());
    for (std::uint8_t tag : {PCSCv2_PART10_PROPERTY_wLcdLayout, PCSCv2_PART10_PROPERTY_bTimeOut2,
                             PCSCv2_PART10_PROPERTY_sFirmwareID, PCSCv2_PART10_PROPERTY_dwMaxAPDUDataSize})
        EXPECT_NE(std::find(tags.begin(), tags.end(), tag), tags.end()) << int(tag);
}

// Verify and modify with the console's default fields, then the pad's cancel
// and timeout: each answer as the driver reports it, and what reached the card.
TEST_F(CcidPinPad, SecurePinRequestsPassTheDriversChecks)
{
    const std::uint32_t verify = features.CodeOf(FEATURE_VERIFY_PIN_DIRECT);
    const std::uint32_t modify = features.CodeOf(FEATURE_MODIFY_PIN_DIRECT);
    ByteVec broken = VerifyRequest(kVerifyApdu);
    ASSERT_EQ(broken.size(), 19u + 9u);
    broken[15] = 8;  // ulDataLength one short of the APDU
    struct Step {
        const char* name;
        std::uint32_t code;
        ByteVec request;
        std::uint32_t result;
        ByteVec answer;
    } steps[] = {
        {"VerifyRightPin", verify, VerifyRequest(kVerifyApdu), SCARD_S_SUCCESS, {0x90, 0x00}},
        {"VerifyWrongPin", verify, VerifyRequest(kVerifyApdu), SCARD_S_SUCCESS, {0x63, 0xC2}},
        // The driver refuses it before the pad: no keypad script is used.
        {"LengthFieldDisagrees", verify, broken, static_cast<std::uint32_t>(SCARD_E_UNSUPPORTED_FEATURE), {}},
        {"NewPinBeforeTheChange", verify, VerifyRequest(kVerifyApdu), SCARD_S_SUCCESS, {0x63, 0xC2}},
        {"ModifyOldNewConfirm", modify, ModifyRequest(kModifyApdu), SCARD_S_SUCCESS, {0x90, 0x00}},
        {"NewPinAfterTheChange", verify, VerifyRequest(kVerifyApdu), SCARD_S_SUCCESS, {0x90, 0x00}},
        {"CancelOnThePad", verify, VerifyRequest(kVerifyApdu), SCARD_S_SUCCESS, {0x64, 0x01}},
        {"TimeoutOnThePad", verify, VerifyRequest(kVerifyApdu), SCARD_S_SUCCESS, {0x64, 0x00}},
        // The maker's own code, which the console sends before any choice in
        // the control list, is not one this driver knows.
        {"VendorVerifyCode", SCARD_CTL_CODE(2058), VerifyRequest(kVerifyApdu),
         static_cast<std::uint32_t>(SCARD_E_UNSUPPORTED_FEATURE), {}},
    };
    for (const Step& s : steps) {
        ByteVec out;
        EXPECT_EQ(Control(s.code, s.request, out), s.result) << s.name;
        EXPECT_EQ(out, s.answer) << s.name;
    }
    const std::string trace = Trace();
    EXPECT_NE(trace.find("PinTransmit 00 20 00 01 04 31 32 33 34\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("PinTransmit 00 24 00 01 0C 31 32 33 34 FF FF FF FF 35 36 37 38\n"), std::string::npos)
        << trace;
    EXPECT_NE(trace.find("PinPad 64 01"), std::string::npos) << trace;

    // The refusal is the driver's own check of ulDataLength.
    const char* log = std::getenv("PCSCD_LOG");
    std::ifstream in(log ? log : "");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("SecurePINVerify() Wrong lengths: 27 28"), std::string::npos);
}

// A structure the driver turns down gets the same code from our simulated
// PIN pad beside it: a console that handles one handles the other.
TEST_F(CcidPinPad, ABadStructureGetsTheSameCodeFromBothReaders)
{
    CReaderLink sim;
    ASSERT_EQ(sim.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr), SCARD_S_SUCCESS);
    DWORD proto = 0;
    ASSERT_EQ(sim.Connect(kSimReader, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &proto),
              SCARD_S_SUCCESS);
    std::uint8_t list[255];
    DWORD n = 0;
    ASSERT_EQ(sim.Control(CM_IOCTL_GET_FEATURE_REQUEST, nullptr, 0, list, sizeof list, &n), SCARD_S_SUCCESS);
    features::FeatureTable simFeatures;
    simFeatures.Parse(list, n);

    ByteVec lengthDisagrees = VerifyRequest(kVerifyApdu);
    lengthDisagrees[15] = 10;
    ModifyPinFields fourMessages;
    fourMessages.numberMessage = "04";
    const struct {
        const char* name;
        std::uint8_t feature;
        ByteVec request;
    } cases[] = {
        {"LengthFieldDisagrees", FEATURE_VERIFY_PIN_DIRECT, lengthDisagrees},
        {"NoWholeCommandHeader", FEATURE_VERIFY_PIN_DIRECT, VerifyRequest("00 20 00")},
        {"FourMessages", FEATURE_MODIFY_PIN_DIRECT,
         Bytes(ConvertPinRequest(PcscRequestText(BuildPcscModifyText(fourMessages), kModifyApdu)))},
    };
    for (const auto& c : cases) {
        ByteVec out;
        EXPECT_EQ(Control(features.CodeOf(c.feature), c.request, out),
                  static_cast<std::uint32_t>(SCARD_E_UNSUPPORTED_FEATURE)) << c.name;
        out.assign(512, 0);
        n = 0;
        const auto simResult = static_cast<std::uint32_t>(sim.Control(
            simFeatures.CodeOf(c.feature), c.request.data(), static_cast<DWORD>(c.request.size()), out.data(),
            static_cast<DWORD>(out.size()), &n));
        EXPECT_EQ(simResult, static_cast<std::uint32_t>(SCARD_E_UNSUPPORTED_FEATURE)) << c.name;
        EXPECT_EQ(n, 0u) << c.name;
    }
    sim.Disconnect(SCARD_LEAVE_CARD);
    sim.ReleaseContext();
}

// Removing and inserting the card: the emulator tells the driver on the line,
// and the driver's slot status tells pcscd.
TEST_F(CcidPinPad, CardRemovalAndInsertionReachPcscd)
{
    const char* ctl = std::getenv("PCSCD_CTL");
    ASSERT_NE(ctl, nullptr);
    ASSERT_EQ(std::system((std::string(ctl) + " remove-card ccid 'Bench CCID PinPad'").c_str()), 0);
    std::uint8_t answer[16];
    DWORD n = sizeof answer;
    const std::uint8_t select[] = {0x00, 0xA4, 0x04, 0x00};
    EXPECT_EQ(link.Transmit(select, sizeof select, answer, &n), static_cast<PcscResult>(SCARD_W_REMOVED_CARD));
    ASSERT_EQ(std::system((std::string(ctl) + " insert-card ccid 'Bench CCID PinPad'").c_str()), 0);
    link.Disconnect(SCARD_LEAVE_CARD);
    DWORD proto = 0;
    ASSERT_EQ(link.Connect(kReader, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0, &proto), SCARD_S_SUCCESS);
    n = sizeof answer;
    ASSERT_EQ(link.Transmit(select, sizeof select, answer, &n), SCARD_S_SUCCESS);
    EXPECT_EQ(ByteVec(answer, answer + n), (ByteVec{0x90, 0x00}));
}

}  // namespace
