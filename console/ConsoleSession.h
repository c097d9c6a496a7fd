// SPDX-License-Identifier: BSD-3-Clause
// ConsoleSession: the console's state and exchanges behind CConsoleDlg, in
// plain C++. It owns the reader link, the exchange log, the last result and
// the status text, the command and response texts, the last-response store,
// the ATR and its text, the feature table and the control code, and the
// connection options. Every exchange ends in ConcludeExchange, the one rule
// for the shown text, the log record and the store; a failed log write is
// reported through the callback (the window shows a box), before the
// exchange's texts replace the old ones.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "console/ConsoleConnection.h"
#include "features/Attributes.h"
#include "features/ControlCodes.h"
#include "readerlink/ReaderLink.h"
#include "scripts/CommandExchange.h"
#include "scripts/LogFile.h"

class ConsoleSession {
public:
    using LogFailureReport = std::function<void(LogFailure)>;

    explicit ConsoleSession(LogFailureReport report = {}) : m_reportLogFailure(std::move(report)) {}
    ConsoleSession(const ConsoleSession&) = delete;
    ConsoleSession& operator=(const ConsoleSession&) = delete;

    CReaderLink& Link() { return m_reader; }
    const CReaderLink& Link() const { return m_reader; }

    // The status line shows the text of the last result (KEEP_STATUS_TEXT:
    // the status text as it is).
    PcscResult LastResult() const { return m_lastResult; }
    void SetLastResult(PcscResult result) { m_lastResult = result; }
    const std::string& StatusText() const { return m_statusText; }
    void SetStatusText(std::string text) { m_statusText = std::move(text); }
    // The status line's text: that of the last result, or the status text
    // as it is after KEEP_STATUS_TEXT.
    const std::string& StatusLineText();
    // A text of its own in the status line, kept over the refresh.
    void ShowInStatusLine(std::string text);

    const std::string& CommandText() const { return m_commandText; }
    void SetCommandText(std::string text) { m_commandText = std::move(text); }
    const std::string& CommandName() const { return m_commandName; }
    void SetCommandName(std::string name) { m_commandName = std::move(name); }
    const std::string& ResponseText() const { return m_responseText; }
    void SetResponseText(std::string text) { m_responseText = std::move(text); }
    // Empties the command name, the command text and the response text.
    void ClearTexts();

    // The last-response store: the bytes of the last stored answer, shown as
    // spaced hexadecimal or as characters.
    static constexpr std::size_t kStoreSize = 512;
    const std::array<std::uint8_t, kStoreSize>& ResponseBytes() const { return m_responseBytes; }
    unsigned ResponseLength() const { return m_responseLength; }
    bool ResponseIsHex() const { return m_responseIsHex; }
    void StoreResponse(const std::uint8_t* bytes, unsigned count);
    // "Ascii/Hexa": the store's other form into the response text.
    void ToggleResponseFormat();

    // The exchange log, opened at establish and closed at release when logging is on.
    bool LogEnabled() const { return m_logEnabled; }
    void SetLogEnabled(bool enabled) { m_logEnabled = enabled; }
    void OpenLog();
    void CloseLog();
    // The window closes: the context goes, a card connection with it (the
    // result is not shown), and a log left open is closed whatever logging
    // says now. A context a PIN worker still holds (the reader never
    // answered) is left to the program's end: its release would wait for the
    // worker, and the resource manager drops both when the program ends.
    void EndAtClose(bool contextHeldByWorker);
    CLogFile* Log() { return m_logEnabled ? &m_logFile : nullptr; }
    void ReportLogFailure(LogFailure failure) const;

    // Concludes an exchange by the one rule: the response text (or the
    // status line), the log record under operation with the command text,
    // the store, and the last result.
    const ExchangeOutcome& Conclude(ExchangePath path, std::string_view operation, PcscResult result,
                                    const std::uint8_t* answer, unsigned answerLength, std::string_view value = {});
    const ExchangeOutcome& LastOutcome() const { return m_outcome; }
    // The same with a command text of the exchange's own (an attribute read
    // names the attribute, not the command field).
    const ExchangeOutcome& ConcludeAs(std::string_view command, ExchangePath path, std::string_view operation,
                                      PcscResult result, const std::uint8_t* answer, unsigned answerLength,
                                      std::string_view value = {});

    // The APDU of a command text ("SCardTransmit").
    const ExchangeOutcome& Transmit(std::string_view commandText);
    // "SCardControl" with the command text as input, to the current control code.
    // False when the text holds more than the input buffer: nothing was sent.
    bool SendControl(std::string_view commandText);
    void ReadStandardAttribute(std::uint32_t attrId, features::AttributeForm form);
    // Through the vendor attribute control code; other makers' readers give
    // their PC/SC name instead.
    void ReadVendorAttribute(unsigned tag, features::AttributeForm form);
    // "SCardStatus" of the selected reader: the ATR and its text (not in
    // direct mode). False when the card is gone.
    bool ReadStatus();
    // The status record of the ATR read.
    void LogStatus();

    // The card's ATR as the last status (or the typed ATR) gave it.
    static constexpr std::size_t kAtrSize = 200;
    const std::array<std::uint8_t, kAtrSize>& Atr() const { return m_atr; }
    unsigned AtrLength() const { return m_atrLength; }
    const std::string& AtrText() const { return m_atrText; }
    void SetAtr(const std::uint8_t* bytes, unsigned count, std::string text);

    // The reader's part 10 features and the code "SCardControl" sends.
    features::FeatureTable& Features() { return m_features; }
    const features::FeatureTable& Features() const { return m_features; }
    std::uint8_t FeatureCount() const { return m_featureCount; }
    // Asks the reader for its features; false when the request failed.
    bool DiscoverFeatures();
    void ReleaseFeatures();
    void ClearFeatureCount() { m_featureCount = 0; }
    DWORD ControlCode() const { return m_controlCode; }
    void SetControlCode(DWORD code) { m_controlCode = code; }

    // The connection workflow, one operation per button; each stores its
    // results in the last result and says what the window shows.
    // "SCardEstablishContext": a context, the reader list, the log opened.
    ConnectionOutcome Establish();
    // A new context and a new reader list (a reader came or went, or after
    // a disconnect).
    ConnectionOutcome RefreshReaders();
    // "SCardConnect" to the selected reader; shownReader is the reader
    // list's selected entry as shown, which the features relabel.
    ConnectionOutcome Connect(std::string_view shownReader);
    // "Cold Reset" (SCARD_UNPOWER_CARD) or "Warm Reset" (SCARD_RESET_CARD).
    ConnectionOutcome Reset(DWORD initialization);
    // "SCardStatus": the ATR read and recorded; a failure means the card is gone.
    StatusOutcome Status();
    // "SCardDisconnect"; reList: the reader list follows arrivals again.
    ConnectionOutcome Disconnect(bool reList);
    // "SCardReleaseContext".
    ConnectionOutcome Release();
    // A reader chosen in the list; unless a connect is possible there, the
    // context is released first (the outcome then is the release's).
    std::optional<ConnectionOutcome> ChooseReader(int slot, bool connectable);

    // Connection options and the chosen reader.
    DWORD ShareMode() const { return m_shareMode; }
    void SetShareMode(DWORD mode) { m_shareMode = mode; }
    DWORD PreferredProtocols() const { return m_preferredProtocols; }
    void SetPreferredProtocols(DWORD protocols) { m_preferredProtocols = protocols; }
    // A protocol box (or the parameter choice's bit) checked or cleared.
    void ChoosePreferred(DWORD bit, bool chosen) {
        m_preferredProtocols = chosen ? (m_preferredProtocols | bit) : (m_preferredProtocols & ~bit);
    }
    int SelectedReader() const { return m_selectedReader; }
    void SetSelectedReader(int slot) { m_selectedReader = slot; }
    bool MakerReader() const { return m_makerReader; }
    void SetMakerReader(bool maker) { m_makerReader = maker; }
    bool FollowDeviceChanges() const { return m_followDeviceChanges; }
    void SetFollowDeviceChanges(bool follow) { m_followDeviceChanges = follow; }

private:
    // Sets the reader limit and lists the readers into the outcome.
    void ListReaders(ConnectionOutcome& outcome);

    LogFailureReport m_reportLogFailure;
    CReaderLink m_reader;
    CLogFile m_logFile;
    bool m_logEnabled = false;
    PcscResult m_lastResult = 0;
    std::string m_statusText;
    std::string m_commandText;
    std::string m_commandName;
    std::string m_responseText;
    std::array<std::uint8_t, kStoreSize> m_responseBytes{};
    unsigned m_responseLength = 0;
    bool m_responseIsHex = true;
    ExchangeOutcome m_outcome;
    std::array<std::uint8_t, kAtrSize> m_atr{};
    unsigned m_atrLength = 0;
    std::string m_atrText;
    features::FeatureTable m_features;
    std::uint8_t m_featureCount = 0;
    DWORD m_controlCode = features::ControlCode(features::kVendorVerifyPinN);
    DWORD m_shareMode = SCARD_SHARE_EXCLUSIVE;
    DWORD m_preferredProtocols = SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1;
    int m_selectedReader = 0;
    // Names of the last listing; 0 after a failed one. The link keeps its
    // limit and old names when a listing fails, so its count is no guide then.
    int m_listedReaders = 0;
    bool m_makerReader = false;
    bool m_followDeviceChanges = true;
};
