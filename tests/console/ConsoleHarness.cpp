// SPDX-License-Identifier: BSD-3-Clause
#include "ConsoleHarness.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "widgets/QtText.h"
#include "readerlink/PcscApi.h"

using namespace console;

namespace harness {

namespace {

std::mutex g_lock;
std::vector<PcscCall> g_calls;
std::thread::id g_windowThread;

// Only the window's calls are recorded; the reader watcher's thread has
// its own context and business.
void Record(PcscCall call) {
    if (std::this_thread::get_id() != g_windowThread) return;
    std::lock_guard lock(g_lock);
    g_calls.push_back(std::move(call));
}

const PcscApi& Real() { return DefaultPcscApi(); }

LONG RecEstablish(DWORD scope, LPCVOID r1, LPCVOID r2, LPSCARDCONTEXT ctx) {
    Record({"EstablishContext", static_cast<std::uint32_t>(scope)});
    return Real().EstablishContext(scope, r1, r2, ctx);
}
LONG RecRelease(SCARDCONTEXT ctx) {
    Record({"ReleaseContext"});
    return Real().ReleaseContext(ctx);
}
LONG RecList(SCARDCONTEXT ctx, LPCSTR groups, LPSTR readers, LPDWORD length) {
    if (readers) Record({"ListReaders"});
    return Real().ListReaders(ctx, groups, readers, length);
}
LONG RecConnect(SCARDCONTEXT ctx, LPCSTR reader, DWORD share, DWORD protocols, LPSCARDHANDLE card,
                LPDWORD active) {
    Record({"Connect", static_cast<std::uint32_t>(share), static_cast<std::uint32_t>(protocols), 0,
            reader ? reader : ""});
    return Real().Connect(ctx, reader, share, protocols, card, active);
}
LONG RecReconnect(SCARDHANDLE card, DWORD share, DWORD protocols, DWORD init, LPDWORD active) {
    Record({"Reconnect", static_cast<std::uint32_t>(share), static_cast<std::uint32_t>(protocols),
            static_cast<std::uint32_t>(init)});
    return Real().Reconnect(card, share, protocols, init, active);
}
LONG RecDisconnect(SCARDHANDLE card, DWORD disposition) {
    Record({"Disconnect", 0, 0, static_cast<std::uint32_t>(disposition)});
    return Real().Disconnect(card, disposition);
}
LONG RecStatus(SCARDHANDLE card, LPSTR name, LPDWORD nameLength, LPDWORD state, LPDWORD protocol, LPBYTE atr,
               LPDWORD atrLength) {
    Record({"Status"});
    return Real().Status(card, name, nameLength, state, protocol, atr, atrLength);
}
LONG RecTransmit(SCARDHANDLE card, const SCARD_IO_REQUEST* sendPci, LPCBYTE send, DWORD sendLength,
                 SCARD_IO_REQUEST* recvPci, LPBYTE recv, LPDWORD recvLength) {
    Record({"Transmit", static_cast<std::uint32_t>(sendLength)});
    return Real().Transmit(card, sendPci, send, sendLength, recvPci, recv, recvLength);
}
LONG RecControl(SCARDHANDLE card, DWORD code, LPCVOID in, DWORD inLength, LPVOID out, DWORD outSize,
                LPDWORD returned) {
    Record({"Control", static_cast<std::uint32_t>(code)});
    return Real().Control(card, code, in, inLength, out, outSize, returned);
}
LONG RecGetAttrib(SCARDHANDLE card, DWORD attr, LPBYTE buffer, LPDWORD length) {
    Record({"GetAttrib", static_cast<std::uint32_t>(attr)});
    return Real().GetAttrib(card, attr, buffer, length);
}
// The watcher's calls are not the window's: passed through unrecorded.
LONG RecGetStatusChange(SCARDCONTEXT ctx, DWORD timeout, SCARD_READERSTATE* states, DWORD count) {
    return Real().GetStatusChange(ctx, timeout, states, count);
}
LONG RecCancel(SCARDCONTEXT ctx) { return Real().Cancel(ctx); }

const PcscApi kRecording = {RecEstablish, RecRelease,  RecList,    RecConnect,   RecReconnect,       RecDisconnect,
                            RecStatus,    RecTransmit, RecControl, RecGetAttrib, RecGetStatusChange, RecCancel};

}  // namespace

RecordingPcsc::RecordingPcsc() {
    g_windowThread = std::this_thread::get_id();
    Clear();
    SetPcscApi(&kRecording);
}

RecordingPcsc::~RecordingPcsc() { SetPcscApi(nullptr); }

std::vector<PcscCall> RecordingPcsc::Calls() const {
    std::lock_guard lock(g_lock);
    return g_calls;
}

std::vector<PcscCall> RecordingPcsc::Calls(const std::string& name) const {
    std::vector<PcscCall> out;
    for (const PcscCall& call : Calls()) {
        if (call.name == name) out.push_back(call);
    }
    return out;
}

void RecordingPcsc::Clear() {
    std::lock_guard lock(g_lock);
    g_calls.clear();
}

namespace {

struct Expectation {
    int id;
    const char* what;
    // -1: not checked in that state; 0/1 expected. Order: no context, context, card.
    int enabled[3];
    int visible[3];
};

// The state table of the connection workflow. The transmit, play, control
// and add-command controls follow the command field while a card is
// connected; they are checked with an empty field.
const Expectation kStateTable[] = {
    {IDC_ESTABLISH, "SCardEstablishContext", {1, 0, 0}, {1, 1, 1}},
    {IDC_RELEASE, "SCardReleaseContext", {0, 1, 1}, {1, 1, 1}},
    {IDC_CONNECT, "SCardConnect", {0, 1, 0}, {1, 1, 1}},
    {IDC_RECONNECT, "SCardReconnect", {0, 0, 1}, {1, 1, 1}},
    {IDC_WARM_RESET, "Warm Reset", {0, 0, 1}, {0, 0, 0}},
    {IDC_COLD_RESET, "Cold Reset", {0, 0, 1}, {0, 0, 0}},
    {IDC_STATUS, "SCardStatus", {0, 0, 1}, {1, 1, 1}},
    {IDC_DISCONNECT, "SCardDisconnect", {0, 0, 1}, {1, 1, 1}},
    {IDC_TRANSMIT, "SCardTransmit", {0, 0, 0}, {1, 1, 1}},
    {IDC_PLAY_COMMANDS, "Play Commands", {0, 0, 0}, {1, 1, 1}},
    {IDC_CONTROL, "SCardControl", {0, 0, -1}, {1, 1, 1}},  // connected: follows the field and the list
    {IDC_ADD_COMMAND, "add command", {0, 0, 0}, {0, 0, 1}},
    {IDC_EXIT, "Exit", {1, 1, 1}, {1, 1, 1}},
    {IDC_READER_LIST, "reader list", {-1, -1, -1}, {-1, 1, 1}},
    {IDC_READER_LABEL, "reader label", {-1, -1, -1}, {-1, 1, 1}},
    {IDC_SHARE_EXCLUSIVE, "Share Exclusive", {-1, -1, -1}, {0, 1, 1}},
    {IDC_SHARE_SHARED, "Share Shared", {-1, -1, -1}, {0, 1, 1}},
    {IDC_SHARE_DIRECT, "Share Direct", {-1, -1, -1}, {0, 1, 1}},
    {IDC_PROTOCOL_T0, "Protocol T=0", {-1, -1, -1}, {0, 1, 1}},
    {IDC_PROTOCOL_T1, "Protocol T=1", {-1, -1, -1}, {0, 1, 1}},
    {IDC_OPTIMAL, "Optimal", {-1, -1, -1}, {0, 1, 1}},
    {IDC_DEFAULT, "Default", {-1, -1, -1}, {0, 1, 1}},
    {IDC_COMMAND_NAME, "command name", {-1, -1, -1}, {0, 0, 1}},
    {IDC_COMMAND_NAME_LABEL, "command name label", {-1, -1, -1}, {0, 0, 1}},
    {IDC_COMMAND, "command field", {-1, -1, -1}, {0, 0, 1}},
    {IDC_RESPONSE, "response field", {-1, -1, -1}, {0, 0, 1}},
    {IDC_CONTROL_CODES, "control codes", {-1, -1, -1}, {0, 0, 1}},
    {IDC_ATTRIBUTES, "attributes button", {-1, -1, -1}, {0, 0, 1}},
    {IDC_PICTURE_CARD, "picture 1040", {-1, -1, -1}, {1, 1, 0}},
};

}  // namespace

std::string StateMismatches(const CConsoleDlg& dlg, WindowState state) {
    const int column = static_cast<int>(state);
    std::ostringstream out;
    for (const Expectation& e : kStateTable) {
        const QWidget* widget = dlg.Control(e.id);
        if (!widget) {
            out << e.what << ": missing\n";
            continue;
        }
        if (e.enabled[column] >= 0 && widget->isEnabled() != (e.enabled[column] == 1)) {
            out << e.what << ": " << (widget->isEnabled() ? "enabled" : "disabled") << "\n";
        }
        // isHidden: the window itself is not shown in these tests.
        if (e.visible[column] >= 0 && widget->isHidden() == (e.visible[column] == 1)) {
            out << e.what << ": " << (widget->isHidden() ? "hidden" : "shown") << "\n";
        }
    }
    const QAction* useLog = dlg.MenuCommand(IDM_USE_LOG_FILE);
    if (!useLog) {
        out << "Use Log File: missing\n";
    } else if (useLog->isEnabled() != (state == WindowState::NoContext)) {
        out << "Use Log File: " << (useLog->isEnabled() ? "enabled" : "greyed") << "\n";
    }
    return out.str();
}

QAbstractButton* Button(const CConsoleDlg& dlg, int id) { return qobject_cast<QAbstractButton*>(dlg.Control(id)); }

QComboBox* ReaderList(const CConsoleDlg& dlg) { return qobject_cast<QComboBox*>(dlg.Control(IDC_READER_LIST)); }

void Click(CConsoleDlg& dlg, int controlId) {
    QAbstractButton* button = Button(dlg, controlId);
    // A user cannot press a disabled or hidden control; neither may a test.
    if (button && button->isEnabled() && !button->isHidden()) button->click();
    QCoreApplication::processEvents();
}

void Command(CConsoleDlg& dlg, int commandId) {
    if (QAction* action = dlg.MenuCommand(commandId); action && action->isEnabled()) action->trigger();
    QCoreApplication::processEvents();
}

void ChooseReader(CConsoleDlg& dlg, int index) {
    QComboBox* list = ReaderList(dlg);
    list->setCurrentIndex(index);
    emit list->activated(index);
    QCoreApplication::processEvents();
}

std::string StatusLine(const CConsoleDlg& dlg) {
    return FromQString(qobject_cast<QLineEdit*>(dlg.Control(IDC_STATUS_LINE))->text());
}

void EstablishAndConnect(CConsoleDlg& dlg, int reader) {
    Click(dlg, console::IDC_ESTABLISH);
    ASSERT_EQ(StateMismatches(dlg, WindowState::ContextEstablished), "") << StatusLine(dlg);
    ChooseReader(dlg, reader);
    Click(dlg, console::IDC_CONNECT);
    ASSERT_EQ(StateMismatches(dlg, WindowState::CardConnected), "") << StatusLine(dlg);
}

bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    return true;
}

}  // namespace harness
