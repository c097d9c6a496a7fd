// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "readerlink/ResultText.h"

namespace {

// The described codes and their texts as stored bytes (cp1252).
const std::map<std::uint32_t, std::string> kDescribed = {
    {0x00000000, "OK"},
    {0x00000001, "The application is not interested in this reader"},
    {0x00000008, "Reader is unavailable for use"},
    {0x00000010, "No card in the reader"},
    {0x00000020, "Card present in the reader"},
    {0x00000080, "Reader used by another application in exclusive mode"},
    {0x80100001, "An internal consistency check failed."},
    {0x80100002, "The action was cancelled by an SCardCancel request."},
    {0x80100003, "The supplied handle was invalid."},
    {0x80100004, "One or more of the supplied parameters could not be properly interpreted."},
    {0x80100005, "Registry startup information is missing or invalid."},
    {0x80100006, "Not enough memory available to complete this command."},
    {0x80100007, "An internal consistency timer has expired."},
    {0x80100008, "The data buffer to receive returned data is too small for the returned data."},
    {0x80100009, "The specified reader name is not recognized."},
    {0x8010000A, "The user-specified timeout value has expired."},
    {0x8010000B, "The card cannot be accessed because of other connections outstanding."},
    {0x8010000C, "The operation requires a smart card, but no smart card is currently in the device."},
    {0x8010000D, "The specified card name is not recognized."},
    {0x8010000E, "The system could not dispose of the media in the requested manner."},
    {0x8010000F, "The requested protocols are incompatible with the protocol currently in use with the card."},
    {0x80100010, "The reader or card is not ready to accept commands."},
    {0x80100011, "One or more of the supplied parameters\x92 values could not be properly interpreted."},
    {0x80100012, "The action was cancelled by the system presumably to log off or shut down."},
    {0x80100013, "An internal communications error has been detected."},
    {0x80100014, "An internal error has been detected but the source is unknown."},
    {0x80100015, "An ATR obtained from the registry is not a valid ATR string."},
    {0x80100016, "An attempt was made to end a non-existent transaction."},
    {0x80100017, "The specified reader is not currently available for use."},
    {0x80100019, "The PCI Receive buffer was too small."},
    {0x8010001A, "The reader driver does not meet minimal requirements for support."},
    {0x8010001B, "The reader driver didn't produce a unique reader name."},
    {0x8010001C, "The smart card does not meet minimal requirements for support."},
    {0x8010001D, "The Smart card resource manager is not running."},
    {0x8010001E, "The Smart card resource manager has shut down."},
    {0x80100065, "The reader cannot communicate with the card due to ATR configuration conflicts."},
    {0x80100066, "The card is not responding to a reset."},
    {0x80100067, "Power has been removed from the card so that further communication is not possible."},
    {0x80100068, "The card has been reset so any shared state information is invalid."},
    {0x80100069, "The card has been removed so that further communication is not possible."},
};

TEST(ResultText, EveryDescribedCodeGivesItsExactText) {
    for (const auto& [code, expected] : kDescribed) {
        std::string text = "previous";
        EXPECT_EQ(GetResultText(code, text), 0) << std::hex << code;
        EXPECT_EQ(text, expected) << std::hex << code;
    }
}

TEST(ResultText, UnknownCodesAreFormattedInUpperCaseHexWithoutLeadingZeros) {
    const std::map<std::uint32_t, std::string> unknown = {
        {0x80100018, "80100018"}, {0xFFFFFFFF, "FFFFFFFF"}, {0x8010002E, "8010002E"},
        {0x8010001F, "8010001F"}, {0x80100064, "80100064"}, {0x8010006A, "8010006A"},
        {5, "5"},                 {0x80100000, "80100000"}, {0x00000040, "40"},
    };
    for (const auto& [code, digits] : unknown) {
        std::string text;
        EXPECT_EQ(GetResultText(code, text), 1) << digits;
        EXPECT_EQ(text, "Unknow Error : " + digits + "h (Not described in Smart Card Error Codes)");
    }
    // Every code outside the table is unknown: scan the neighbourhood of the dense ranges.
    for (std::uint32_t code = 0x80100000; code < 0x80100080; ++code) {
        std::string text;
        EXPECT_EQ(GetResultText(code, text), kDescribed.count(code) ? 0 : 1) << std::hex << code;
    }
}

TEST(ResultText, KeepStatusTextLeavesTheTextAlone) {
    std::string text = "OK";
    EXPECT_EQ(GetResultText(KEEP_STATUS_TEXT, text), 0);
    EXPECT_EQ(text, "OK");
    text = "Vendor: something";
    EXPECT_EQ(GetResultText(KEEP_STATUS_TEXT, text), 0);
    EXPECT_EQ(text, "Vendor: something");
}

TEST(ResultText, TextIsAssignedNotAppended) {
    std::string text = "a long earlier text that must disappear";
    GetResultText(0, text);
    EXPECT_EQ(text, "OK");
}

}  // namespace
