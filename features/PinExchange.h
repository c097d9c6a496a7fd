// SPDX-License-Identifier: BSD-3-Clause
// CPinExchange: the console's secure PIN operations. Both ways send the
// request from a worker thread while the window keeps dispatching its
// messages (the reader holds the call for the whole PIN entry); the maker's
// way shows the "PIN Code" prompt meanwhile, the part 10 way follows the keys
// after a _START code. It owns the
// "Verify Pin Value" and "Modify Pin Value" windows.
#pragma once

#include <QPointer>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "features/PinRequests.h"
#include "features/PinWorker.h"
#include "readerlink/ReaderLink.h"

class QWidget;
class CVerifyPinDlg;
class CModifyPinDlg;
class CPinPromptDlg;

// What the exchanges need of the console: its window, its reader link, its
// command text and result, and the one place an exchange's outcome is shown
// and logged. The console's session stands behind these.
struct PinConsole {
    QWidget* window = nullptr;  // parent of the PIN windows; its input is dropped during an exchange
    CReaderLink* link = nullptr;
    std::function<std::string()> readCommand;      // the command field's text, kept as the command text
    std::function<void(PcscResult)> setResult;     // the last result
    std::function<void(std::string)> showStatus;   // a text of its own in the status line
    // Shows the answer (or the failure text) and writes the log record; the
    // status line keeps what the exchange left there.
    std::function<void(std::string_view logName, PcscResult, const std::uint8_t* answer, unsigned count)> conclude;
    std::function<void()> refresh;
    std::function<bool()> closing;  // the console was closed meanwhile: nothing left to show to
};

class CPinExchange {
public:
    explicit CPinExchange(PinConsole console);
    ~CPinExchange();  // waits for a running worker: it uses the reader link

    CPinExchange(const CPinExchange&) = delete;
    CPinExchange& operator=(const CPinExchange&) = delete;

    // The four operations; 0, or -1 when the parameter window is not there.
    int VerifyPinPcscV2(DWORD controlCode);
    int ModifyPinPcscV2(DWORD controlCode);
    int VerifyPinVendor();
    int ModifyPinVendor();

    // True from the start of an exchange's worker to its join: no second
    // exchange may start, and the console may not close, meanwhile.
    bool Busy() const { return m_busy; }
    // The console asked to close during the exchange: close it after the join.
    void CloseWhenDone(std::function<void()> close) { m_closeAfterJoin = std::move(close); }

    // The parameter windows, opened on demand with their defaults.
    CVerifyPinDlg* VerifyWindow() const;
    CModifyPinDlg* ModifyWindow() const;
    CVerifyPinDlg* OpenVerifyWindow();
    CModifyPinDlg* OpenModifyWindow();
    void CloseWindows();
    // Told when a parameter window opens (true) or closes (false): the
    // console's window-open flag.
    void SetOnWindowState(std::function<void(bool open)> onState) { m_onWindowState = std::move(onState); }

    // When the _START code just succeeded: the key loop of the "Get Key
    // Pressed" window (entries, validation byte, the two wPINMaxExtraDigit
    // bytes). Unset: no key loop.
    using KeyLoop = std::function<void(std::uint8_t entries, std::uint8_t validation, const std::uint8_t* maxExtra)>;
    void SetKeyLoop(std::function<bool(DWORD controlCode)> isStartCode, KeyLoop loop) {
        m_isStartCode = std::move(isStartCode);
        m_keyLoop = std::move(loop);
    }

    // The vendor codes of the two maker's-way operations.
    static DWORD VendorVerifyCode();
    static DWORD VendorModifyCode();

private:
    int PcscExchange(DWORD controlCode, const std::string& structureText, std::string_view logName,
                     const std::string& entriesText, const std::string& validationText,
                     const std::string& maxExtraText);
    int VendorExchange(DWORD controlCode, const std::string& structureText, std::string_view logName);
    // One control call on the worker while the window thread pumps its
    // messages with the console's input blocked; returns the call's result.
    PcscResult RunWorker(DWORD controlCode, DWORD answerSize, int startWaitMs);
    void StartPinWorker(DWORD controlCode, DWORD answerSize, int startWaitMs);
    void JoinPinWorker();
    void CloseAfterJoin();  // a close the console asked for meanwhile
    // Shows the answer, logs the exchange and refreshes the console.
    void Finish(std::string_view logName, PcscResult result, const std::uint8_t* answer, unsigned count);
    // A request that does not fit its buffer: refused, nothing sent.
    void Refuse(std::size_t byteCount);

    PinConsole m_console;
    QPointer<CVerifyPinDlg> m_verifyWindow;
    QPointer<CModifyPinDlg> m_modifyWindow;
    std::function<void(bool)> m_onWindowState;
    std::function<bool(DWORD)> m_isStartCode;
    KeyLoop m_keyLoop;

    PinWorkerParams m_params;
    PinRequestBytes m_request;
    std::array<std::uint8_t, 512> m_answer{};
    std::thread m_worker;
    bool m_busy = false;
    bool m_exchanging = false;  // an operation is on the stack (its key loop or worker wait pumps messages)
    std::function<void()> m_closeAfterJoin;
};
