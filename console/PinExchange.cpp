// SPDX-License-Identifier: BSD-3-Clause
#include "console/PinExchange.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <algorithm>

#include "carddata/HexCodec.h"
#include "console/ConsoleSession.h"
#include "features/ControlCodes.h"
#include "features/ModifyPinDlg.h"
#include "features/PinPromptDlg.h"
#include "features/VerifyPinDlg.h"
#include "widgets/MaskedEdit.h"
#include "widgets/MessagePump.h"

namespace {

// After starting the worker the window thread waits this long before it
// looks at the worker again.
constexpr int kWorkerStartWaitMs = 500;

// While the worker runs, the console's own input is dropped: a button press
// dispatched by the waiting loop would start a second exchange on the link
// the worker is using (a second PIN try on the card). Painting, moving and
// closing go on, and the busy cursor tells that the console waits.
class ConsoleInputBlock : public QObject {
public:
    explicit ConsoleInputBlock(QWidget* console) : m_console(console) {
        qApp->installEventFilter(this);
        QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    ~ConsoleInputBlock() override {
        QApplication::restoreOverrideCursor();
        qApp->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel: {
            auto* widget = qobject_cast<QWidget*>(watched);
            return widget != nullptr && widget->window() == m_console;
        }
        default:
            return false;
        }
    }

private:
    QWidget* m_console;
};

// Marks an operation as running for as long as it is on the stack.
class ExchangeMark {
public:
    explicit ExchangeMark(bool& flag) : m_flag(flag) { m_flag = true; }
    ~ExchangeMark() { m_flag = false; }
    ExchangeMark(const ExchangeMark&) = delete;
    ExchangeMark& operator=(const ExchangeMark&) = delete;

private:
    bool& m_flag;
};

}  // namespace

CPinExchange::CPinExchange(ConsoleSession& session, PinConsole console)
    : m_session(session), m_console(std::move(console)), m_pin(session) {}

CPinExchange::~CPinExchange() {
    // The windows may outlive this object by a moment (the console deletes
    // its children after its members): they must not call back into it.
    if (CVerifyPinDlg* verify = VerifyWindow()) verify->SetOnClosed(nullptr);
    if (CModifyPinDlg* modify = ModifyWindow()) modify->SetOnClosed(nullptr);
}

DWORD CPinExchange::VendorVerifyCode() { return features::ControlCode(features::kVendorVerifyPinN); }
DWORD CPinExchange::VendorModifyCode() { return features::ControlCode(features::kVendorModifyPinN); }

CVerifyPinDlg* CPinExchange::VerifyWindow() const { return static_cast<CVerifyPinDlg*>(m_verifyWindow.data()); }
CModifyPinDlg* CPinExchange::ModifyWindow() const { return static_cast<CModifyPinDlg*>(m_modifyWindow.data()); }

template <class Window>
Window* CPinExchange::OpenWindow(QPointer<QWidget>& slot) {
    if (auto* open = static_cast<Window*>(slot.data())) return open;
    auto* window = new Window(m_console.window);
    slot = window;
    window->SetOnClosed([this, &slot] {
        slot = nullptr;
        if (m_onWindowState) m_onWindowState(false);
    });
    window->ShowAtPlace();
    if (m_onWindowState) m_onWindowState(true);
    return window;
}

CVerifyPinDlg* CPinExchange::OpenVerifyWindow() { return OpenWindow<CVerifyPinDlg>(m_verifyWindow); }

CModifyPinDlg* CPinExchange::OpenModifyWindow() { return OpenWindow<CModifyPinDlg>(m_modifyWindow); }

void CPinExchange::CloseWindows() {
    if (m_verifyWindow) m_verifyWindow->close();
    if (m_modifyWindow) m_modifyWindow->close();
}

void CPinExchange::DestroyWindows() {
    delete m_verifyWindow.data();
    delete m_modifyWindow.data();
}

int CPinExchange::VerifyPinPcscV2(DWORD controlCode) {
    if (m_busy || m_exchanging) return 0;  // a press while one runs is ignored
    CVerifyPinDlg* window = OpenVerifyWindow();
    if (window == nullptr) return -1;
    window->BuildPcscText();
    const VerifyPinFields fields = window->ReadFields();
    return PcscExchange(controlCode, window->StructureText(), kLogVerifyPinPcsc, "01",
                        fields.entryValidationCondition, fields.pinMaxExtraDigit);
}

int CPinExchange::ModifyPinPcscV2(DWORD controlCode) {
    if (m_busy || m_exchanging) return 0;  // a press while one runs is ignored
    CModifyPinDlg* window = OpenModifyWindow();
    if (window == nullptr) return -1;
    window->BuildPcscText();
    const ModifyPinFields fields = window->ReadFields();
    return PcscExchange(controlCode, window->StructureText(), kLogModifyPinPcsc, fields.numberMessage,
                        fields.entryValidationCondition, fields.pinMaxExtraDigit);
}

int CPinExchange::VerifyPinVendor() {
    if (m_busy || m_exchanging) return 0;  // a press while one runs is ignored
    CVerifyPinDlg* window = OpenVerifyWindow();
    if (window == nullptr) return -1;
    window->BuildVendorText();
    return VendorExchange(VendorVerifyCode(), window->StructureText(), kLogVerifyPinVendor);
}

int CPinExchange::ModifyPinVendor() {
    if (m_busy || m_exchanging) return 0;  // a press while one runs is ignored
    CModifyPinDlg* window = OpenModifyWindow();
    if (window == nullptr) return -1;
    window->BuildVendorText();
    return VendorExchange(VendorModifyCode(), window->StructureText(), kLogModifyPinVendor);
}

int CPinExchange::PcscExchange(DWORD controlCode, const std::string& structureText, std::string_view logName,
                               const std::string& entriesText, const std::string& validationText,
                               const std::string& maxExtraText) {
    m_session.SetCommandText(m_console.readCommand());
    if (!m_pin.Prepare(PcscRequestText(structureText, m_session.CommandText()))) {
        Refused();
        return 0;
    }
    const ExchangeMark mark(m_exchanging);
    // The reader holds the call for the whole PIN entry: sent from the
    // worker, so the window keeps painting and a click meanwhile is dropped.
    const PcscResult result = RunWorker(controlCode, kPcscPinAnswerSize, 0);
    if (m_closeAfterJoin) {
        // The console is to close: no key loop after this exchange.
        Finish(logName, result);
        CloseAfterJoin();
        return 0;
    }
    if (result == SCARD_S_SUCCESS && m_keyLoop && m_isStartCode && m_isStartCode(controlCode)) {
        const CHexCodec codec;
        std::uint8_t entries[kPinRequestCapacity] = {};
        std::uint8_t validation[kPinRequestCapacity] = {};
        unsigned count = 0;
        codec.HexToBytes(entriesText, entries, sizeof entries, count);
        codec.HexToBytes(validationText, validation, sizeof validation, count);
        const std::array<std::uint8_t, 2> maxExtra = Word16WireBytes(maxExtraText);
        m_keyLoop(entries[0], validation[0], maxExtra.data());  // leaves its own result in the console
    }
    Finish(logName, result);
    return 0;
}

int CPinExchange::VendorExchange(DWORD controlCode, const std::string& structureText, std::string_view logName) {
    m_session.SetCommandText(m_console.readCommand());
    if (!m_pin.Prepare(VendorRequestText(structureText, m_session.CommandText()))) {
        Refused();
        return 0;
    }
    const ExchangeMark mark(m_exchanging);
    auto* prompt = new CPinPromptDlg(m_console.window);
    prompt->show();
    prompt->HidePinField();

    const PcscResult result = RunWorker(controlCode, kVendorPinAnswerSize, kWorkerStartWaitMs);
    delete prompt;
    Finish(logName, result);
    CloseAfterJoin();
    return 0;
}

PcscResult CPinExchange::RunWorker(DWORD controlCode, std::size_t answerSize, int startWaitMs) {
    PcscResult result = 0;
    {
        ConsoleInputBlock block(m_console.window);
        m_pin.Start(controlCode, answerSize);
        m_busy = true;
        m_console.refresh();
        if (startWaitMs > 0) DelayMs(startWaitMs);
        while (!m_pin.Answered()) {
            if (CloseWaitOver()) {
                // The reader had the keypad's time and more: the console
                // closes without its answer.
                m_pin.LeaveBehind();
                break;
            }
            // The program is quitting: wait for the worker, within the same limit.
            if (!PumpMessages() && !m_closeDeadline) m_closeDeadline = std::chrono::steady_clock::now() + m_pin.CloseWaitLimit();
            DelayMs(1);
        }
        if (m_pin.LeftBehind()) {
            result = static_cast<PcscResult>(SCARD_E_TIMEOUT);
            m_session.SetLastResult(result);
        } else {
            result = m_pin.Join();
        }
        m_busy = false;
        // Clicks that came in while the reader answered are dropped here,
        // not handled as new presses once the block is gone.
        PumpMessages();
    }
    return result;
}

void CPinExchange::CloseWhenDone(std::function<void()> close) {
    m_closeAfterJoin = std::move(close);
    if (!m_closeDeadline) m_closeDeadline = std::chrono::steady_clock::now() + m_pin.CloseWaitLimit();
}

bool CPinExchange::CloseWaitOver() const {
    return m_closeDeadline && std::chrono::steady_clock::now() >= *m_closeDeadline;
}

void CPinExchange::CloseAfterJoin() {
    m_closeDeadline.reset();
    if (!m_closeAfterJoin) return;
    std::function<void()> close = std::move(m_closeAfterJoin);
    m_closeAfterJoin = nullptr;
    close();
}

void CPinExchange::Finish(std::string_view logName, PcscResult result) {
    // The console was closed during the key loop: its log is shut and its
    // window gone; there is no one left to show the answer to.
    if (m_console.closing()) return;
    m_pin.Conclude(logName, result);
    m_console.refresh();
}

void CPinExchange::Refused() { m_console.refresh(); }
