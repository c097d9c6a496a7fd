// SPDX-License-Identifier: BSD-3-Clause
#include "console/ConsoleSession.h"

#include <algorithm>
#include <vector>

#include "carddata/HexCodec.h"
#include "features/VendorAttribute.h"
#include "readerlink/ResultText.h"

using namespace features;

const std::string& ConsoleSession::StatusLineText() {
    GetResultText(static_cast<std::uint32_t>(m_lastResult), m_statusText);
    return m_statusText;
}

void ConsoleSession::ShowInStatusLine(std::string text) {
    m_statusText = std::move(text);
    m_lastResult = static_cast<PcscResult>(KEEP_STATUS_TEXT);
}

void ConsoleSession::ClearTexts() {
    m_commandName.clear();
    m_commandText.clear();
    m_responseText.clear();
}

void ConsoleSession::StoreResponse(const std::uint8_t* bytes, unsigned count) {
    m_responseBytes.fill(0);
    count = bytes ? std::min<unsigned>(count, static_cast<unsigned>(m_responseBytes.size())) : 0;
    if (count > 0) std::copy_n(bytes, count, m_responseBytes.begin());
    m_responseLength = count;
    m_responseIsHex = true;
}

void ConsoleSession::ToggleResponseFormat() {
    const CHexCodec codec;
    m_responseIsHex = !m_responseIsHex;
    m_responseText = m_responseIsHex ? codec.BytesToHex(m_responseLength, m_responseBytes.data())
                                     : codec.BytesToAscii(m_responseLength, m_responseBytes.data());
}

void ConsoleSession::OpenLog() {
    if (m_logEnabled) ReportLogFailure(m_logFile.OpenLog());
}

void ConsoleSession::CloseLog() {
    if (m_logEnabled) m_logFile.CloseLog();
}

void ConsoleSession::EndAtClose(bool contextHeldByWorker) {
    if (!contextHeldByWorker) m_reader.ReleaseContext();
    if (m_logFile.IsOpen()) m_logFile.CloseLog();
}

void ConsoleSession::ReportLogFailure(LogFailure failure) const {
    if (failure != LogFailure::None && m_reportLogFailure) m_reportLogFailure(failure);
}

const ExchangeOutcome& ConsoleSession::Conclude(ExchangePath path, std::string_view operation, PcscResult result,
                                                const std::uint8_t* answer, unsigned answerLength,
                                                std::string_view value) {
    return ConcludeAs(m_commandText, path, operation, result, answer, answerLength, value);
}

const ExchangeOutcome& ConsoleSession::ConcludeAs(std::string_view command, ExchangePath path,
                                                  std::string_view operation, PcscResult result,
                                                  const std::uint8_t* answer, unsigned answerLength,
                                                  std::string_view value) {
    m_outcome = ConcludeExchange(path, operation, command, result, answer, answerLength, Log(), value);
    m_lastResult = result;
    ReportLogFailure(m_outcome.logFailure);
    if (m_outcome.showsResponse) {
        if (m_outcome.toStatusLine) {
            ShowInStatusLine(m_outcome.shownText);
            if (m_outcome.clearsResponse) m_responseText.clear();
        } else {
            m_responseText = m_outcome.shownText;
        }
    }
    if (m_outcome.stored) StoreResponse(m_outcome.answer.data(), m_outcome.answerLength);
    return m_outcome;
}

const ExchangeOutcome& ConsoleSession::Transmit(std::string_view commandText) {
    m_commandText = std::string(commandText);
    m_outcome = ExchangeCommandText(m_reader, m_commandText, Log());
    m_lastResult = m_outcome.result;
    ReportLogFailure(m_outcome.logFailure);
    m_responseText = m_outcome.shownText;
    StoreResponse(m_outcome.answer.data(), m_outcome.answerLength);
    return m_outcome;
}

bool ConsoleSession::SendControl(std::string_view commandText) {
    m_commandText = std::string(commandText);
    std::vector<std::uint8_t> input;
    if (!ControlInput(m_commandText, input)) {
        // More than the input buffer holds: nothing goes to the reader, and
        // the previous answer is not this command's.
        ShowInStatusLine(std::string(kCommandTooLong));
        m_responseText.clear();
        return false;
    }
    std::array<std::uint8_t, kControlAnswerSize> answer{};
    DWORD returned = 0;
    const PcscResult result =
        m_reader.Control(m_controlCode, input.empty() ? nullptr : input.data(), static_cast<DWORD>(input.size()),
                         answer.data(), static_cast<DWORD>(answer.size()), &returned);
    Conclude(ExchangePath::Control, "SCardControl", result, answer.data(),
             static_cast<unsigned>(std::min<std::size_t>(returned, answer.size())));
    return true;
}

void ConsoleSession::ReadStandardAttribute(std::uint32_t attrId, AttributeForm form) {
    std::array<std::uint8_t, 512> answer{};
    DWORD length = static_cast<DWORD>(std::min(answer.size(), StandardAnswerSize()));
    const PcscResult result = m_reader.GetAttrib(attrId, answer.data(), &length);
    const std::string value =
        result == SCARD_S_SUCCESS ? FormatAttribute(form, answer.data(), answer.size(), length) : std::string();
    ConcludeAs(StandardAttributeName(attrId), ExchangePath::StandardAttribute, "SCardGetAttrib", result,
               answer.data(), length, value);
}

void ConsoleSession::ReadVendorAttribute(unsigned tag, AttributeForm form) {
    std::array<std::uint8_t, kVendorAnswerSize> answer{};
    DWORD returned = 0;
    const std::array<std::uint8_t, 4> request = VendorAttributeRequest(tag);
    const PcscResult result = m_reader.Control(VendorGetAttributeCode(), request.data(),
                                               static_cast<DWORD>(request.size()), answer.data(),
                                               static_cast<DWORD>(answer.size()), &returned);
    if (result != SCARD_S_SUCCESS) {
        // Other makers' readers do not know the code: their PC/SC name
        // stands in for the value, and the read counts as done.
        const char* name = m_reader.ReaderName(m_selectedReader);
        std::copy_n(name, std::min<std::size_t>(answer.size(), kReaderNameSize), answer.begin());
    }
    const std::size_t count = std::min<std::size_t>(returned, answer.size());
    const std::string value = FormatAttribute(form, answer.data(), answer.size(), count);
    ConcludeAs(VendorAttributeName(tag), ExchangePath::VendorAttribute, "SCardControl", SCARD_S_SUCCESS,
               answer.data(), static_cast<unsigned>(count), value);
}

bool ConsoleSession::ReadStatus() {
    DWORD nameLength = kReaderNameSize;
    DWORD state = 0;
    DWORD protocol = 0;
    DWORD atrLength = static_cast<DWORD>(m_atr.size());
    m_lastResult = m_reader.Status(m_reader.ReaderName(m_selectedReader), &nameLength, &state, &protocol,
                                   m_atr.data(), &atrLength);
    if (m_lastResult != SCARD_S_SUCCESS) return false;
    if (m_shareMode == SCARD_SHARE_DIRECT) return true;
    // The resource manager reports the length it has; never read past the copy.
    const unsigned count = std::min<unsigned>(atrLength, static_cast<unsigned>(m_atr.size()));
    m_atrText = CHexCodec().BytesToHex(count, m_atr.data());
    m_atrLength = count;
    return true;
}

void ConsoleSession::LogStatus() {
    // The record holds the text without its last space.
    const std::string_view atr(m_atrText.data(), m_atrLength > 0 ? 3 * m_atrLength - 1 : 0);
    Conclude(ExchangePath::Status, "", m_lastResult, m_atr.data(), m_atrLength, atr);
}

void ConsoleSession::SetAtr(const std::uint8_t* bytes, unsigned count, std::string text) {
    count = bytes ? std::min<unsigned>(count, static_cast<unsigned>(m_atr.size())) : 0;
    m_atr.fill(0);
    if (count > 0) std::copy_n(bytes, count, m_atr.begin());
    m_atrLength = count;
    m_atrText = std::move(text);
}

bool ConsoleSession::DiscoverFeatures() {
    m_lastResult = m_features.Read(m_reader);
    if (m_lastResult != SCARD_S_SUCCESS) return false;
    m_featureCount = m_features.Count();
    return true;
}

void ConsoleSession::ReleaseFeatures() { m_features.Release(); }
