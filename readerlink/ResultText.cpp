// SPDX-License-Identifier: BSD-3-Clause
#include "readerlink/ResultText.h"

#include <array>
#include <cstdio>

namespace {

struct CodeText {
    std::uint32_t code;
    const char* text;
};

// Reader states and success, looked up one by one.
constexpr std::array<CodeText, 6> kSingleCodes{{
    {0x00000000u, "OK"},
    {0x00000001u, "The application is not interested in this reader"},
    {0x00000008u, "Reader is unavailable for use"},
    {0x00000010u, "No card in the reader"},
    {0x00000020u, "Card present in the reader"},
    {0x00000080u, "Reader used by another application in exclusive mode"},
}};

// 0x80100001 to 0x8010001E, by index; nullptr where the code is not described.
constexpr std::array<const char*, 0x1E> kErrorTexts{{
    "An internal consistency check failed.",
    "The action was cancelled by an SCardCancel request.",
    "The supplied handle was invalid.",
    "One or more of the supplied parameters could not be properly interpreted.",
    "Registry startup information is missing or invalid.",
    "Not enough memory available to complete this command.",
    "An internal consistency timer has expired.",
    "The data buffer to receive returned data is too small for the returned data.",
    "The specified reader name is not recognized.",
    "The user-specified timeout value has expired.",
    "The card cannot be accessed because of other connections outstanding.",
    "The operation requires a smart card, but no smart card is currently in the device.",
    "The specified card name is not recognized.",
    "The system could not dispose of the media in the requested manner.",
    "The requested protocols are incompatible with the protocol currently in use with the card.",
    "The reader or card is not ready to accept commands.",
    "One or more of the supplied parameters\x92 values could not be properly interpreted.",
    "The action was cancelled by the system presumably to log off or shut down.",
    "An internal communications error has been detected.",
    "An internal error has been detected but the source is unknown.",
    "An ATR obtained from the registry is not a valid ATR string.",
    "An attempt was made to end a non-existent transaction.",
    "The specified reader is not currently available for use.",
    nullptr,  // 0x80100018 SCARD_P_SHUTDOWN is not described
    "The PCI Receive buffer was too small.",
    "The reader driver does not meet minimal requirements for support.",
    "The reader driver didn't produce a unique reader name.",
    "The smart card does not meet minimal requirements for support.",
    "The Smart card resource manager is not running.",
    "The Smart card resource manager has shut down.",
}};

// The card warnings 0x80100065 to 0x80100069, by index.
constexpr std::array<const char*, 5> kWarningTexts{{
    "The reader cannot communicate with the card due to ATR configuration conflicts.",
    "The card is not responding to a reset.",
    "Power has been removed from the card so that further communication is not possible.",
    "The card has been reset so any shared state information is invalid.",
    "The card has been removed so that further communication is not possible.",
}};

const char* DescribedText(std::uint32_t code) {
    for (const CodeText& entry : kSingleCodes)
        if (entry.code == code) return entry.text;
    if (code >= 0x80100001u && code <= 0x8010001Eu) return kErrorTexts[code - 0x80100001u];
    if (code >= 0x80100065u && code <= 0x80100069u) return kWarningTexts[code - 0x80100065u];
    return nullptr;
}

}  // namespace

int GetResultText(std::uint32_t code, std::string& text) {
    if (code == KEEP_STATUS_TEXT) return 0;
    if (const char* described = DescribedText(code)) {
        text = described;
        return 0;
    }
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "Unknow Error : %Xh (Not described in Smart Card Error Codes)",
                  static_cast<unsigned>(code));
    text = buffer;
    return 1;
}
