// SPDX-License-Identifier: BSD-3-Clause
// The command-file window's entry points in the main window, the add button,
// the "Command Name" field and the two command players.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>

#include <functional>

#include "console/ConsoleDlg.h"
#include "console/ConsoleTexts.h"
#include "widgets/QtText.h"
#include "scripts/CommandFile.h"
#include "scripts/CommandFileDlg.h"
#include "scripts/CommandFileTexts.h"
#include "scripts/CommandPlayer.h"
#include "carddata/MaskData.h"
#include "widgets/MaskedEdit.h"

using namespace console;

namespace {

// While a player runs, Escape in any of the program's windows asks it to stop
// after the exchange in progress and goes no further.
class PlayerEscapeFilter : public QObject {
public:
    explicit PlayerEscapeFilter(std::function<void()> stop) : m_stop(std::move(stop)) { qApp->installEventFilter(this); }
    ~PlayerEscapeFilter() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) return false;
        if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape) return false;
        m_stop();
        return true;
    }

private:
    std::function<void()> m_stop;
};

}  // namespace

CCommandFileDlg* CConsoleDlg::CommandFileWindow() const { return m_commandFileWindow; }

void CConsoleDlg::ConnectCommandFile() {
    connect(qobject_cast<QAbstractButton*>(Control(IDC_ADD_COMMAND)), &QAbstractButton::clicked, this,
            &CConsoleDlg::OnAddCommand);
    connect(m_commandNameField, &QLineEdit::textEdited, this, &CConsoleDlg::OnCommandNameChange);
}

void CConsoleDlg::OpenCommandFileWindow(const std::string& path, const std::string& name) {
    DestroyCommandFileWindow();
    m_commandFilePath = path;
    m_commandFileWindow = new CCommandFileDlg(path, name, this);
    m_commandFileWindowExists = true;
    connect(m_commandFileWindow, &CCommandFileDlg::CommandChosen, this, &CConsoleDlg::ShowChosenCommand);
    m_commandFileWindow->Start();
}

void CConsoleDlg::DestroyCommandFileWindow() {
    if (!m_commandFileWindow) return;
    // The window is gone for the main window before its file is written.
    m_commandFileWindowExists = false;
    SetEnabled({IDC_ADD_COMMAND}, false);
    CCommandFileDlg* window = m_commandFileWindow;
    m_commandFileWindow = nullptr;
    window->hide();
    window->SaveCommandFile();
    delete window;
}

void CConsoleDlg::EnsureCommandFileWindow() {
    if (m_commandFileWindowExists && m_commandFileWindow) return;
    const std::string name(kDefaultCommandFile);
    OpenCommandFileWindow(name, name);
}

void CConsoleDlg::OnCommandFileChosen(const QString& chosen) {
    // The file dialogs make the chosen folder the current one; the window
    // keeps the file's full path, so every file goes back where it was read.
    // Paths stay the file system's bytes: a cp1252 path names another file.
    const QFileInfo file(chosen);
    QDir::setCurrent(file.absolutePath());
    OpenCommandFileWindow(QFile::encodeName(file.absoluteFilePath()).toStdString(),
                          QFile::encodeName(file.fileName()).toStdString());
}

void CConsoleDlg::OnShowCommandFile() {
    EnsureCommandFileWindow();
    m_commandFileWindow->show();
    m_commandFileWindow->raise();
    m_commandFileWindow->activateWindow();
}

bool CConsoleDlg::CommandFileWindowShown() const { return m_commandFileWindow && m_commandFileWindow->isVisible(); }

bool CConsoleDlg::ConfirmCreateCommandFile(const QString& chosen) {
    if (QFileInfo::exists(chosen)) return true;  // the file dialog asked about overwriting
    const QString question = ToQString(scripts::kCreatePrompt).arg(QFileInfo(chosen).fileName());
    return QMessageBox::question(this, ToQString(kDialogCaption), question, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

void CConsoleDlg::OnCommandNameChange() {
    if (m_commandFileWindowExists && m_commandFileWindow) return;
    EnsureCommandFileWindow();
    m_commandNameField->setFocus();
}

void CConsoleDlg::OnAddCommand() {
    EnsureCommandFileWindow();
    m_session.SetCommandName(FromQString(m_commandNameField->text()));
    m_session.SetCommandText(m_commandField->GetText());
    // A field with nothing typed holds only the mask's blanks.
    if (!m_session.CommandName().empty() && !m_commandField->MaskData().IsEmpty()) {
        m_commandFileWindow->AddEntry(m_session.CommandName(), m_session.CommandText());
    }
    // Typing goes on in the command field, whichever window the add raised.
    activateWindow();
    m_commandField->setFocus();
}

bool CConsoleDlg::CardConnectionOpen() const { return !IsEnabled(IDC_CONNECT) && IsEnabled(IDC_RECONNECT); }

void CConsoleDlg::ShowChosenCommand(int index) {
    if (!LoadChosenCommand(index)) return;
    if (CardConnectionOpen()) {
        SetEnabled({IDC_TRANSMIT, IDC_PLAY_COMMANDS, IDC_CONTROL}, true);
        RefreshWindow();
    }
}

bool CConsoleDlg::LoadChosenCommand(int index) {
    if (!m_commandFileWindow) return false;
    const CCommandList& list = m_commandFileWindow->List();
    if (index < 0 || static_cast<std::size_t>(index) >= list.Size()) return false;
    const CommandEntry& entry = list.At(static_cast<std::size_t>(index));
    m_session.SetCommandName(entry.name);
    const QString name = ToQString(m_session.CommandName());
    if (m_commandNameField->text() != name) m_commandNameField->setText(name);
    // The field gets the stored command's bytes in its own spacing, so the
    // mask neither shifts nor drops a digit of a packed or oddly spaced text.
    m_commandField->SetText(CommandFieldText(entry.text, COMMAND_MASK_GROUPS));
    return true;
}

bool CConsoleDlg::ExchangeBusy() const { return m_playerRunning || PinExchangeBusy(); }

void CConsoleDlg::OnCommandFieldEnter() {
    if (ExchangeBusy()) return;  // Enter during a play sends nothing in between
    m_session.SetLastResult(0);
    TransmitOnce();
}

void CConsoleDlg::TransmitOnce() {
    // Counted as a player: its pause runs events, and a press then must wait too.
    m_playerRunning = true;
    TransmitCommand();
    m_playerRunning = false;
}

void CConsoleDlg::RepeatCommand() {
    if (ExchangeBusy()) return;  // a press while playing starts no second player
    m_session.SetLastResult(0);
    // The loop count of a closed command-file window is not the user's to see.
    if (!CommandFileWindowShown()) return TransmitOnce();
    RunPlayer(&::RepeatCommand);
}

void CConsoleDlg::PlayCommandFile() {
    if (ExchangeBusy()) return;
    // A play walks only a list the user sees: a closed window comes back
    // first, and the play starts from it at the next press.
    if (!CommandFileWindowShown()) return OnShowCommandFile();
    RunPlayer(&::PlayCommandFile);
}

void CConsoleDlg::RunPlayer(unsigned (*player)(const PlayerHooks&)) {
    m_playerRunning = true;
    m_stopPlayer = false;
    PlayerEscapeFilter escape([this] { StopPlayer(); });
    // The window may be replaced or closed while the player pumps messages.
    const QPointer<CCommandFileDlg> window = m_commandFileWindow;
    PlayerHooks hooks;
    hooks.readPosition = [window](PlayPosition& position) {
        if (!window) return false;
        position = window->Position();
        return true;
    };
    hooks.writePosition = [window](const PlayPosition& position, bool show) {
        if (window) window->SetPosition(position, show);
    };
    // The exchange that follows pushes the window's data at once.
    hooks.load = [this](int index) {
        if (LoadChosenCommand(index) && CardConnectionOpen()) SetEnabled({IDC_TRANSMIT, IDC_PLAY_COMMANDS, IDC_CONTROL}, true);
    };
    hooks.transmit = [this] {
        TransmitCommand();
        return static_cast<PlayerResult>(m_session.LastResult());
    };
    hooks.stopRequested = [this] { return m_stopPlayer || m_closing; };
    player(hooks);
    m_playerRunning = false;
    m_stopPlayer = false;
}
