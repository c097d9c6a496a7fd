// SPDX-License-Identifier: BSD-3-Clause
// CPinExchange: the window side of the console's secure PIN operations. It
// owns the "Verify Pin Value" and "Modify Pin Value" windows, reads their
// structure, and while PinSession's worker holds the reader it keeps the
// console painting with its input dropped; the maker's way shows the
// "PIN Code" prompt meanwhile, the part 10 way follows the keys after a
// _START code.
#pragma once

#include <QPointer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "console/PinSession.h"

class QWidget;
class CVerifyPinDlg;
class CModifyPinDlg;
class ConsoleSession;

// What the exchanges need of the console window.
struct PinConsole {
    QWidget* window = nullptr;                 // parent of the PIN windows; its input is dropped during an exchange
    std::function<std::string()> readCommand;  // the command field's text
    std::function<void()> refresh;
    std::function<bool()> closing;  // the console was closed meanwhile: nothing left to show to
};

class CPinExchange {
public:
    CPinExchange(ConsoleSession& session, PinConsole console);
    ~CPinExchange();

    CPinExchange(const CPinExchange&) = delete;
    CPinExchange& operator=(const CPinExchange&) = delete;

    // The four operations; 0, or -1 when the parameter window is not there.
    int VerifyPinPcscV2(DWORD controlCode);
    int ModifyPinPcscV2(DWORD controlCode);
    int VerifyPinVendor();
    int ModifyPinVendor();

    // True while the worker holds the reader: no second exchange may start,
    // and the console may not close, meanwhile.
    bool Busy() const { return m_busy; }
    // The console asked to close during the exchange: close it after the
    // join, or once the reader had its time without answering.
    void CloseWhenDone(std::function<void()> close);
    // The reader never answered and the console closed: the link is not to be used.
    bool WorkerLeftBehind() const { return m_pin.LeftBehind(); }

    // The parameter windows, opened on demand with their defaults.
    CVerifyPinDlg* VerifyWindow() const;
    CModifyPinDlg* ModifyWindow() const;
    // As the console's other feature windows are kept.
    const QPointer<QWidget>& VerifyWindowPointer() const { return m_verifyWindow; }
    const QPointer<QWidget>& ModifyWindowPointer() const { return m_modifyWindow; }
    CVerifyPinDlg* OpenVerifyWindow();
    CModifyPinDlg* OpenModifyWindow();
    void CloseWindows();
    void DestroyWindows();
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
    // Opens a parameter window in its slot, or gives the open one.
    template <class Window>
    Window* OpenWindow(QPointer<QWidget>& slot);
    // One control call on the worker while the window thread pumps its
    // messages with the console's input blocked; returns the call's result.
    PcscResult RunWorker(DWORD controlCode, std::size_t answerSize, int startWaitMs);
    bool CloseWaitOver() const;
    void CloseAfterJoin();  // a close the console asked for meanwhile
    // Shows the answer, logs the exchange and refreshes the console.
    void Finish(std::string_view logName, PcscResult result);
    void Refused();

    ConsoleSession& m_session;
    PinConsole m_console;
    PinSession m_pin;
    QPointer<QWidget> m_verifyWindow;
    QPointer<QWidget> m_modifyWindow;
    std::function<void(bool)> m_onWindowState;
    std::function<bool(DWORD)> m_isStartCode;
    KeyLoop m_keyLoop;

    bool m_busy = false;
    bool m_exchanging = false;  // an operation is on the stack (its key loop or worker wait pumps messages)
    std::function<void()> m_closeAfterJoin;
    std::optional<std::chrono::steady_clock::time_point> m_closeDeadline;
};
