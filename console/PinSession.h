// SPDX-License-Identifier: BSD-3-Clause
// PinSession: the secure PIN exchange over the console's session, in plain
// C++. It turns the parameter window's structure text and the command text
// into the request, makes the one control call on a worker thread while the
// window side waits and paints, and concludes the exchange by the session's
// one exchange rule. The window side (CPinExchange) only shows windows and
// pumps messages meanwhile.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string_view>
#include <thread>

#include "features/PinWorker.h"

class ConsoleSession;

class PinSession {
public:
    explicit PinSession(ConsoleSession& session) : m_session(session) {}
    ~PinSession();  // waits for a running worker, unless it was left behind
    PinSession(const PinSession&) = delete;
    PinSession& operator=(const PinSession&) = delete;

    // The request of one operation from its request text. False when it
    // holds more than the request buffer: nothing is to be sent, and the
    // status line says so.
    bool Prepare(std::string_view requestText);
    // Starts the worker on the prepared request; the status line says that
    // the reader holds the exchange.
    void Start(DWORD controlCode, std::size_t answerSize);
    // True from Start to the join (or to a worker left behind).
    bool Running() const { return m_worker.joinable(); }
    // The worker has its answer or its failure: time to join.
    bool Answered() const;
    // Waits for the worker and takes its result as the last result.
    PcscResult Join();
    // The console closes while the reader still holds the call: the worker
    // goes on alone with its own block, and the session's link is not to be
    // used again (a release would wait for the call).
    void LeaveBehind();
    bool LeftBehind() const { return m_leftBehind; }

    const std::uint8_t* Answer() const { return m_block->answer.data(); }
    unsigned AnswerLength() const { return static_cast<unsigned>(m_block->returned); }
    // The request's first byte: the keypad's time-out in seconds (0: the reader's own).
    std::uint8_t KeypadTimeOut() const { return m_block->requestLength > 0 ? m_block->request[0] : 0; }
    // How long a closing console waits for the reader at most: a reader
    // driver gives up on the pad at max(90 s, bTimeOut + 10 s); a little
    // more, and the reader is not answering at all.
    std::chrono::milliseconds CloseWaitLimit() const;

    // The exchange's record, shown text and store by the session's one
    // rule; the status line keeps what the exchange (or its key loop) left.
    void Conclude(std::string_view logName, PcscResult result);

private:
    ConsoleSession& m_session;
    std::shared_ptr<PinWorkerParams> m_block = std::make_shared<PinWorkerParams>();
    std::thread m_worker;
    bool m_leftBehind = false;
};
