// SPDX-License-Identifier: BSD-3-Clause
#include "console/PinSession.h"

#include <algorithm>
#include <string>

#include "console/ConsoleSession.h"

namespace {
constexpr std::chrono::seconds kDriverPinWaitFloor{90};
constexpr std::chrono::seconds kDriverPinWaitMargin{10};
constexpr std::chrono::seconds kCloseWaitSlack{5};
}  // namespace

PinSession::~PinSession() {
    if (m_worker.joinable()) m_worker.join();
}

bool PinSession::Prepare(std::string_view requestText) {
    const PinRequestBytes request = ConvertPinRequest(requestText);
    if (request.tooLong) {
        m_session.ShowInStatusLine(PinRequestTooLongText((requestText.size() + 1) / 2));
        return false;
    }
    // A fresh block each time: one left behind may still be written.
    m_block = std::make_shared<PinWorkerParams>();
    std::copy_n(request.bytes.begin(), request.count, m_block->request.begin());
    m_block->requestLength = request.count;
    return true;
}

void PinSession::Start(DWORD controlCode, std::size_t answerSize) {
    m_session.SetLastResult(0);
    m_session.ShowInStatusLine(std::string(kPinExchangeRunningText));
    m_block->card = m_session.Link().CardHandle();
    m_block->controlCode = controlCode;
    m_block->answerSize = static_cast<DWORD>(std::min(answerSize, m_block->answer.size()));
    m_leftBehind = false;
    m_worker = std::thread([block = m_block] { PinWorker(*block); });
}

bool PinSession::Answered() const { return m_block->done.load() != 0 || m_block->result.load() != 0; }

PcscResult PinSession::Join() {
    m_block->done.store(1);
    if (m_worker.joinable()) m_worker.join();
    const PcscResult result = m_block->result.load();
    m_session.SetLastResult(result);
    return result;
}

void PinSession::LeaveBehind() {
    if (!m_worker.joinable()) return;
    m_worker.detach();
    m_leftBehind = true;
}

std::chrono::milliseconds PinSession::CloseWaitLimit() const {
    const std::chrono::seconds driverWait =
        std::max(kDriverPinWaitFloor, std::chrono::seconds(KeypadTimeOut()) + kDriverPinWaitMargin);
    return driverWait + kCloseWaitSlack;
}

void PinSession::Conclude(std::string_view logName, PcscResult result) {
    const PcscResult shown = m_session.LastResult();
    m_session.Conclude(ExchangePath::SecurePin, logName, result, m_block->answer.data(), AnswerLength());
    m_session.SetLastResult(shown);
}
