// SPDX-License-Identifier: BSD-3-Clause
#include "features/PinRequests.h"

#include <cstdio>
#include <cctype>

#include "carddata/HexCodec.h"

std::string Word16WireText(std::string_view typed)
{
    if (typed.empty() || typed.size() > 4)
        return std::string(typed);
    unsigned value = 0;
    for (char c : typed) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::string(typed);
        value = value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                                       ? c - '0'
                                                       : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10);
    }
    char text[5];
    std::snprintf(text, sizeof text, "%02X%02X", value & 0xFFu, (value >> 8) & 0xFFu);
    return text;
}

std::array<std::uint8_t, 2> Word16WireBytes(std::string_view typed)
{
    std::array<std::uint8_t, 2> bytes{};
    unsigned count = 0;
    CHexCodec().PackedHexToBytes(Word16WireText(typed), bytes.data(), bytes.size(), count);
    return bytes;
}

std::string BuildPcscVerifyText(const VerifyPinFields& f)
{
    // bTimerOut2 and bTeoPrologue are not offered to the user: always zero.
    return f.timeOut + "00" + f.formatString + f.pinBlockString + f.pinLengthFormat + Word16WireText(f.pinMaxExtraDigit) +
           f.entryValidationCondition + f.numberMessage + Word16WireText(f.langId) + f.msgIndex + "000000";
}

std::string BuildVendorVerifyText(const VerifyPinFields& f)
{
    return f.timeOut + f.formatString + f.pinBlockString + f.pinLengthFormat + Word16WireText(f.pinMaxExtraDigit) +
           f.entryValidationCondition + f.numberMessage + Word16WireText(f.langId) + f.msgIndex;
}

std::string BuildPcscModifyText(const ModifyPinFields& f)
{
    return f.timeOut + "00" + f.formatString + f.pinBlockString + f.pinLengthFormat + f.insertionOffsetOld +
           f.insertionOffsetNew + Word16WireText(f.pinMaxExtraDigit) + f.confirmPin + f.entryValidationCondition +
           f.numberMessage + Word16WireText(f.langId) + f.msgIndex + f.msgIndex2 + f.msgIndex3 + "000000";
}

std::string BuildVendorModifyText(const ModifyPinFields& f)
{
    // The maker's layout puts the new PIN's offset before the old one's.
    return f.timeOut + f.formatString + f.pinBlockString + f.pinLengthFormat + f.insertionOffsetNew +
           f.insertionOffsetOld + Word16WireText(f.pinMaxExtraDigit) + f.confirmPin + f.entryValidationCondition +
           f.numberMessage + Word16WireText(f.langId) + f.msgIndex;
}

std::string WithoutBlanks(std::string_view commandText)
{
    std::string out;
    out.reserve(commandText.size());
    for (char c : commandText)
        if (c != ' ' && c != '\t')
            out.push_back(c);
    return out;
}

std::string DataLengthText(std::uint32_t count)
{
    const std::uint32_t swapped = (count >> 24) | ((count >> 8) & 0xFF00u) | ((count << 8) & 0xFF0000u) | (count << 24);
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(swapped));
    return text;
}

PinRequestBytes ConvertPinRequest(std::string_view requestText)
{
    PinRequestBytes r;
    // Refuse before converting: the codec stops quietly at the buffer's end,
    // and a cut request would reach the reader as a different request.
    if ((requestText.size() + 1) / 2 > kPinRequestCapacity) {
        r.tooLong = true;
        return r;
    }
    CHexCodec().PackedHexToBytes(requestText, r.bytes.data(), r.bytes.size(), r.count);
    return r;
}

unsigned ApduByteCount(std::string_view commandText)
{
    const std::string packed = WithoutBlanks(commandText);
    return static_cast<unsigned>((packed.size() + 1) / 2);
}

std::string PcscRequestText(const std::string& structureText, std::string_view commandText)
{
    return structureText + DataLengthText(ApduByteCount(commandText)) + WithoutBlanks(commandText);
}

std::string VendorRequestText(const std::string& structureText, std::string_view commandText)
{
    return structureText + WithoutBlanks(commandText);
}

std::string PinRequestTooLongText(std::size_t byteCount)
{
    return "Request of " + std::to_string(byteCount) + " bytes refused: at most " +
           std::to_string(kPinRequestCapacity) + " bytes can be sent.";
}
