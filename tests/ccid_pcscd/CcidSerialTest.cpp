// SPDX-License-Identifier: BSD-3-Clause
// The emulated serial CCID PIN pad without pcscd: its serial framing under
// hostile input, and its firmware's answers to the CCID messages the serial
// CCID driver sends.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "CcidPinPad.h"
#include "ScenarioParser.h"
#include "SerialFrames.h"

namespace {

using ccidserial::Bytes;
using Event = ccidserial::SerialFrameReader::Event;

Bytes Message(std::uint8_t type, const Bytes& data, std::uint8_t slot = 0)
{
    Bytes m = {type, static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(data.size() >> 8), 0, 0,
               slot, 0x07, 0, 0, 0};
    m.insert(m.end(), data.begin(), data.end());
    return m;
}

Bytes Cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<Event> FeedAll(ccidserial::SerialFrameReader& r, const Bytes& line, std::size_t chunk)
{
    std::vector<Event> events;
    for (std::size_t at = 0; at < line.size(); at += chunk) {
        r.Feed(line.data() + at, std::min(chunk, line.size() - at));
        for (Event e = r.Next(); e != Event::None; e = r.Next())
            events.push_back(e);
    }
    return events;
}

TEST(CcidSerialLine, FramesUnderHostileInput)
{
    const Bytes status = ccidserial::WrapFrame(Message(0x65, {}));
    Bytes badSum = status;
    badSum.back() ^= 0x01;
    Bytes overlong = ccidserial::WrapFrame(Message(0x6F, {}));
    overlong[2 + 3] = 0x10;  // dwLength 0x100000
    struct Case {
        const char* name;
        Bytes line;
        std::vector<Event> events;
    } cases[] = {
        {"OneFrame", status, {Event::Frame}},
        {"NoiseBeforeSync", Cat({0x00, 0xFF, 0x50}, status), {Event::Frame}},
        {"SyncWithoutAck", Cat({0x03, 0x15}, status), {Event::Frame}},
        {"WrongChecksumThenGoodFrame", Cat(badSum, status), {Event::BadChecksum, Event::Frame}},
        {"LengthNoFrameCanHave", overlong, {Event::Overlong}},
        {"LargestFrame", ccidserial::WrapFrame(Message(0x6F, Bytes(ccidserial::kMaxMessage - 10, 0x03))),
         {Event::Frame}},
        {"OneByteTooLarge", ccidserial::WrapFrame(Message(0x6F, Bytes(ccidserial::kMaxMessage - 9, 0x00))),
         {Event::Overlong}},
        {"TruncatedFrame", Bytes(status.begin(), status.end() - 1), {}},
    };
    for (const Case& c : cases)
        for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{512}}) {
            ccidserial::SerialFrameReader r;
            EXPECT_EQ(FeedAll(r, c.line, chunk), c.events) << c.name << " in chunks of " << chunk;
        }

    ccidserial::SerialFrameReader r;
    FeedAll(r, status, 3);
    EXPECT_EQ(r.Message(), Message(0x65, {}));
    EXPECT_EQ(r.Raw(), status);
}

TEST(CcidSerialLine, EchoOfAnEscapeIsItsHeaderOnly)
{
    EXPECT_EQ(ccidserial::EchoOf(Message(0x6B, Bytes(165, 0x20))), ccidserial::WrapFrame(Message(0x6B, {})));
    const Bytes xfr = Message(0x6F, {0x00, 0xA4, 0x04, 0x00});
    EXPECT_EQ(ccidserial::EchoOf(xfr), ccidserial::WrapFrame(xfr));
}

class CcidFirmware : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/ccid-fw-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        m_dir = dir;
        m_card = m_dir + "/card";
        std::FILE* f = std::fopen(m_card.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
        const std::string text = "card-file " + m_card +
                                 "\ncold-atr => 3B 02 14 50\n"
                                 "apdu 00 20 00 01 04 31 32 33 34 => 90 00\n"
                                 "apdu 00 20 => 63 C1\n"
                                 "keypad => 1234 enter | 12 cancel | 12 timeout\n";
        simreader::Scenario s;
        std::string error;
        ASSERT_TRUE(simreader::ParseScenario(text, m_dir + "/t.scn", s, error)) << error;
        m_pad = std::make_unique<ccidserial::CcidPinPad>(s, "");
        m_pad->sleep = [](unsigned) {};
    }
    void TearDown() override
    {
        ::unlink(m_card.c_str());
        ::rmdir(m_dir.c_str());
    }
    // bMessageType, bStatus, bError and the data of an answer.
    struct Reply {
        std::uint8_t type, status, error;
        Bytes data;
        bool operator==(const Reply&) const = default;
    };
    Reply Ask(const Bytes& m)
    {
        const Bytes a = m_pad->Handle(m);
        EXPECT_GE(a.size(), 10u);
        EXPECT_EQ(a.size() - 10, static_cast<std::size_t>(a[1] | a[2] << 8));
        EXPECT_EQ(a[6], m[6]);  // bSeq comes back
        return {a[0], a[7], a[8], Bytes(a.begin() + 10, a.end())};
    }
    std::string m_dir, m_card;
    std::unique_ptr<ccidserial::CcidPinPad> m_pad;
};

// CCID verify structure after bPINOperation: ASCII, a 4-byte block, 4 digits,
// the enter key, then the APDU.
const Bytes kVerify = {0x00, 0x00, 0x82, 0x04, 0x00, 0x04, 0x04, 0x02, 0x01, 0x09, 0x04, 0x00, 0x00, 0x00, 0x00,
                       0x00, 0x20, 0x00, 0x01, 0x04, 0xFF, 0xFF, 0xFF, 0xFF};

TEST_F(CcidFirmware, AnswersInTheOrderTheDriverAsks)
{
    const Bytes shortVerify(kVerify.begin(), kVerify.begin() + 10);
    struct Step {
        const char* name;
        Bytes message;
        Reply reply;
    } steps[] = {
        {"SlotStatusBeforePower", Message(0x65, {}), {0x81, 0x01, 0x00, {}}},
        {"FirmwareVersion", Message(0x6B, {0x02}),
         {0x83, 0x01, 0x00, Bytes(std::begin(ccidserial::kFirmwareText), std::end(ccidserial::kFirmwareText) - 1)}},
        {"NoFirmwareFeatures", Message(0x6B, {0x6A}), {0x83, 0x41, 0x00, {}}},
        {"OtherEscapeTaken", Message(0x6B, {0x01, 0x01, 0x01}), {0x83, 0x01, 0x00, {}}},
        {"TransferUnpowered", Message(0x6F, {0x00, 0x84, 0x00, 0x00, 0x08}), {0x80, 0x41, 0xFE, {}}},
        {"PowerOn", Message(0x62, {}), {0x80, 0x00, 0x00, {0x3B, 0x02, 0x14, 0x50}}},
        {"SecondSlot", Message(0x65, {}, 1), {0x81, 0x40, 0x05, {}}},
        {"UnknownCommand", Message(0x71, {}), {0x81, 0x40, 0x00, {}}},
        {"SetParametersEchoed", Message(0x61, {0x11, 0x00, 0x00, 0x0A, 0x00}),
         {0x82, 0x00, 0x00, {0x11, 0x00, 0x00, 0x0A, 0x00}}},
        {"TransferToTheCard", Message(0x6F, {0x00, 0x20, 0x00, 0x02}), {0x80, 0x00, 0x00, {0x63, 0xC1}}},
        {"VerifyPinTyped", Message(0x69, kVerify), {0x80, 0x00, 0x00, {0x90, 0x00}}},
        {"VerifyCancelled", Message(0x69, kVerify), {0x80, 0x40, 0xEF, {}}},
        {"VerifyTimedOut", Message(0x69, kVerify), {0x80, 0x40, 0xF0, {}}},
        {"StructureCutShort", Message(0x69, shortVerify), {0x80, 0x40, 0x0B, {}}},
        {"UnknownPinOperation", Message(0x69, Cat({0x04}, Bytes(kVerify.begin() + 1, kVerify.end()))),
         {0x80, 0x40, 0x00, {}}},
        {"PowerOff", Message(0x63, {}), {0x81, 0x01, 0x00, {}}},
    };
    for (const Step& s : steps)
        EXPECT_EQ(Ask(s.message), s.reply) << s.name;
}

TEST_F(CcidFirmware, CardRemovalIsNoticedOnce)
{
    EXPECT_EQ(m_pad->PresenceChange(), -1);
    ASSERT_EQ(::unlink(m_card.c_str()), 0);
    EXPECT_EQ(m_pad->PresenceChange(), 0);
    EXPECT_EQ(m_pad->PresenceChange(), -1);
    EXPECT_EQ(Ask(Message(0x65, {})), (Reply{0x81, 0x02, 0x00, {}}));
    EXPECT_EQ(Ask(Message(0x62, {})), (Reply{0x80, 0x42, 0xFE, {}}));
}

}  // namespace
