// SPDX-License-Identifier: BSD-3-Clause
#include "features/PinExchange.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <algorithm>

#include "carddata/HexCodec.h"
#include "features/ControlCodes.h"
#include "features/ModifyPinDlg.h"
#include "features/PinPromptDlg.h"
#include "features/VerifyPinDlg.h"
#include "readerlink/ResultText.h"
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

CPinExchange::CPinExchange(PinConsole console) : m_console(std::move(console)) {}

CPinExchange::~CPinExchange() {
    if (m_worker.joinable()) m_worker.join();
    // The windows may outlive this object by a moment (the console deletes
    // its children after its members): they must not call back into it.
    if (m_verifyWindow) m_verifyWindow->SetOnClosed(nullptr);
    if (m_modifyWindow) m_modifyWindow->SetOnClosed(nullptr);
}

DWORD CPinExchange::VendorVerifyCode() { return features::ControlCode(features::kVendorVerifyPinN); }
DWORD CPinExchange::VendorModifyCode() { return features::ControlCode(features::kVendorModifyPinN); }

CVerifyPinDlg* CPinExchange::VerifyWindow() const { return m_verifyWindow; }
CModifyPinDlg* CPinExchange::ModifyWindow() const { return m_modifyWindow; }

CVerifyPinDlg* CPinExchange::OpenVerifyWindow() {
    if (m_verifyWindow) return m_verifyWindow;
    m_verifyWindow = new CVerifyPinDlg(m_console.window);
    m_verifyWindow->SetOnClosed([this] {
        m_verifyWindow = nullptr;
        if (m_onWindowState) m_onWindowState(false);
    });
    m_verifyWindow->ShowAtPlace();
    if (m_onWindowState) m_onWindowState(true);
    return m_verifyWindow;
}

CModifyPinDlg* CPinExchange::OpenModifyWindow() {
    if (m_modifyWindow) return m_modifyWindow;
    m_modifyWindow = new CModifyPinDlg(m_console.window);
    m_modifyWindow->SetOnClosed([this] {
        m_modifyWindow = nullptr;
        if (m_onWindowState) m_onWindowState(false);
    });
    m_modifyWindow->ShowAtPlace();
    if (m_onWindowState) m_onWindowState(true);
    return m_modifyWindow;
}

void CPinExchange::CloseWindows() {
    if (m_verifyWindow) m_verifyWindow->close();
    if (m_modifyWindow) m_modifyWindow->close();
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
    const std::string requestText = PcscRequestText(structureText, m_console.readCommand());
    m_request = ConvertPinRequest(requestText);
    if (m_request.tooLong) {
        Refuse((requestText.size() + 1) / 2);
        return 0;
    }
    const ExchangeMark mark(m_exchanging);
    // The reader holds the call for the whole PIN entry: sent from the
    // worker, so the window keeps painting and a click meanwhile is dropped.
    const PcscResult result = RunWorker(controlCode, kPcscPinAnswerSize, 0);
    const DWORD returned = m_params.returned;
    m_console.setResult(result);
    if (m_closeAfterJoin) {
        // The console is to close: no key loop after this exchange.
        Finish(logName, result, m_answer.data(), std::min<unsigned>(returned, kPcscPinAnswerSize));
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
    Finish(logName, result, m_answer.data(), std::min<unsigned>(returned, kPcscPinAnswerSize));
    return 0;
}

int CPinExchange::VendorExchange(DWORD controlCode, const std::string& structureText, std::string_view logName) {
    const std::string requestText = VendorRequestText(structureText, m_console.readCommand());
    m_request = ConvertPinRequest(requestText);
    if (m_request.tooLong) {
        Refuse((requestText.size() + 1) / 2);
        return 0;
    }
    const ExchangeMark mark(m_exchanging);
    auto* prompt = new CPinPromptDlg(m_console.window);
    prompt->show();
    prompt->HidePinField();

    const PcscResult result = RunWorker(controlCode, kVendorPinAnswerSize, kWorkerStartWaitMs);
    delete prompt;
    Finish(logName, result, m_answer.data(), std::min<unsigned>(m_params.returned, kVendorPinAnswerSize));
    CloseAfterJoin();
    return 0;
}

PcscResult CPinExchange::RunWorker(DWORD controlCode, DWORD answerSize, int startWaitMs) {
    m_console.setResult(0);
    m_console.showStatus(std::string(kPinExchangeRunningText));
    m_console.refresh();
    {
        ConsoleInputBlock block(m_console.window);
        StartPinWorker(controlCode, answerSize, startWaitMs);
        while (m_params.done.load() == 0 && m_params.result.load() == 0) {
            if (!PumpMessages()) break;  // the program is quitting: only wait for the worker
            DelayMs(1);
        }
        JoinPinWorker();
        // Clicks that came in while the reader answered are dropped here,
        // not handled as new presses once the block is gone.
        PumpMessages();
    }
    m_console.setResult(m_params.result.load());
    return m_params.result.load();
}

void CPinExchange::CloseAfterJoin() {
    if (!m_closeAfterJoin) return;
    std::function<void()> close = std::move(m_closeAfterJoin);
    m_closeAfterJoin = nullptr;
    close();
}

void CPinExchange::StartPinWorker(DWORD controlCode, DWORD answerSize, int startWaitMs) {
    m_params.done.store(0);
    m_params.reader = m_console.link;
    m_params.controlCode = controlCode;
    m_params.request = m_request.bytes.data();
    m_params.requestLength = m_request.count;
    m_params.answer = m_answer.data();
    m_params.answerSize = answerSize;
    m_params.returned = 0;
    m_params.result.store(0);
    m_busy = true;
    m_worker = std::thread([this] { PinWorker(m_params); });
    if (startWaitMs > 0) DelayMs(startWaitMs);
}

void CPinExchange::JoinPinWorker() {
    m_params.done.store(1);
    if (m_worker.joinable()) m_worker.join();
    m_busy = false;
}

void CPinExchange::Finish(std::string_view logName, PcscResult result, const std::uint8_t* answer, unsigned count) {
    // The console was closed during the key loop: its log is shut and its
    // window gone; there is no one left to show the answer to.
    if (m_console.closing()) return;
    m_console.conclude(logName, result, answer, count);
    m_console.refresh();
}

void CPinExchange::Refuse(std::size_t byteCount) {
    m_console.showStatus(PinRequestTooLongText(byteCount));
    m_console.refresh();
}
