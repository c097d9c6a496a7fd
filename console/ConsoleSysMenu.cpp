// SPDX-License-Identifier: BSD-3-Clause
// The system menu, the About box, the notification-area icon and closing.
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

#include "carddata/HexCodec.h"
#include "console/ParseAtrDlg.h"
#include "console/ConsoleDlg.h"
#include "console/StatusTree.h"
#include "console/ConsoleTexts.h"
#include "widgets/QtText.h"
#include "console/ReaderWatcher.h"
#include "scripts/CommandFileDlg.h"
#include "console/PinExchange.h"
#include "features/PinRequests.h"
#include "readerlink/ResultText.h"
#include "widgets/MarkupTip.h"

using namespace console;

void CConsoleDlg::BuildSystemMenu() {
    // The desktop's own window menu cannot be extended from here, so the
    // window carries its own: right click on the window, or the tray icon's
    // menu. It starts with the usual window commands.
    m_systemMenu = new QMenu(this);
    m_systemMenu->setObjectName(QStringLiteral("systemMenu"));
    m_systemMenu->addAction(tr("Minimize"), this, [this] { setWindowState(windowState() | Qt::WindowMinimized); });
    m_systemMenu->addAction(tr("Close"), this, &CConsoleDlg::reject);
    if (LoadString(IDS_ABOUTBOX).empty()) return;
    for (const SysMenuEntry& entry : SystemMenuEntries()) {
        if (entry.command == 0) {
            m_systemMenu->addSeparator();
            continue;
        }
        QAction* action = m_systemMenu->addAction(ToQString(LoadString(entry.stringId)));
        action->setData(static_cast<int>(entry.command));
        action->setObjectName(QString::number(entry.command));
        const unsigned command = entry.command;
        connect(action, &QAction::triggered, this, [this, command] { OnSysCommand(command); });
        m_commands.insert(static_cast<int>(entry.command), action);
    }
    m_commands.value(IDM_USE_LOG_FILE)->setCheckable(true);
    m_commands.value(IDM_HIDE_TOOLTIPS)->setCheckable(true);
}

void CConsoleDlg::OnSysCommand(unsigned command) {
    // The players' menu commands are whole identifiers, not system commands.
    if (command == ID_TRANSMIT) return RepeatCommand();
    if (command == ID_PLAY_COMMANDS) return PlayCommandFile();
    switch (command & 0xFFF0u) {
    case IDM_ABOUTBOX: OnAbout(); break;
    case IDM_USE_LOG_FILE: OnUseLogFile(); break;
    case IDM_OPEN_COMMAND_FILE: OnOpenCommandFile(); break;
    case IDM_CREATE_COMMAND_FILE: OnCreateCommandFile(); break;
    case IDM_SHOW_COMMAND_FILE: OnShowCommandFile(); break;
    case IDM_PARSE_ATR: OnParseAtr(); break;
    case IDM_HIDE_TOOLTIPS: OnHideToolTips(); break;
    default: break;
    }
}

void CConsoleDlg::contextMenuEvent(QContextMenuEvent* event) { m_systemMenu->popup(event->globalPos()); }

void CConsoleDlg::OnAbout() {
    // Dialog 100: the program icon, the version line and OK.
    QDialog about(this);
    about.setObjectName(QStringLiteral("100"));
    about.setWindowTitle(ToQString(kAboutCaption));
    auto* layout = new QVBoxLayout(&about);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(&about);
    icon->setPixmap(windowIcon().pixmap(32, 32));
    auto* version = new QLineEdit(ToQString(LoadString(IDS_VERSION)), &about);
    version->setReadOnly(true);
    version->setMinimumWidth(version->fontMetrics().horizontalAdvance(version->text()) + 16);
    row->addWidget(icon);
    row->addWidget(version);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &about);
    connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
    layout->addWidget(buttons);
    about.exec();
}

void CConsoleDlg::OnUseLogFile() {
    QAction* item = m_commands.value(IDM_USE_LOG_FILE);
    // The action toggled itself when it was chosen from the menu; a command
    // arriving otherwise toggles it here.
    if (sender() != item) item->setChecked(!item->isChecked());
    m_session.SetLogEnabled(item->isChecked());
}

void CConsoleDlg::SetUseLogFileEnabled(bool enabled) {
    if (QAction* item = m_commands.value(IDM_USE_LOG_FILE)) item->setEnabled(enabled);
}

void CConsoleDlg::OnOpenCommandFile() {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("phb"));
    dialog.setNameFilter(QStringLiteral("*.phb"));
    dialog.selectFile(QStringLiteral("*.phb"));
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        // The command-file window is replaced by one for the chosen file.
        OnCommandFileChosen(dialog.selectedFiles().first());
    }
    activateWindow();
}

void CConsoleDlg::OnCreateCommandFile() {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("phb"));
    dialog.setNameFilter(QStringLiteral("*.phb"));
    dialog.selectFile(QStringLiteral("*.phb"));
    // Asks before overwriting; a new file is what the user asked for.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() &&
        ConfirmCreateCommandFile(dialog.selectedFiles().first())) {
        OnCommandFileChosen(dialog.selectedFiles().first());
    }
    activateWindow();
}

void CConsoleDlg::OnParseAtr() {
    // A typed ATR is decoded as if a card had answered it; no card is involved.
    CParseAtrDlg dialog(this);
    if (dialog.exec() != QDialog::Accepted) return;
    const std::string typed = dialog.AtrText();
    std::array<std::uint8_t, ConsoleSession::kAtrSize> atr{};
    unsigned count = 0;
    CHexCodec().HexToBytes(typed, atr.data(), atr.size(), count);
    m_session.SetAtr(atr.data(), count, typed);
    // As after a connect, the tree takes the picture's place.
    SetVisible({IDC_PICTURE_CARD}, false);
    m_statusTree->setVisible(true);
    m_statusTree->raise();
    // The field's untyped positions would make the root a line of blanks
    // wider than the tree; the session's ATR text keeps them, as typed.
    std::string_view root = m_session.AtrText();
    while (!root.empty() && root.back() == ' ') root.remove_suffix(1);
    m_statusTree->FillStatusTree(root, m_session.Atr().data(), m_session.AtrLength());
}

void CConsoleDlg::OnHideToolTips() {
    QAction* item = m_commands.value(IDM_HIDE_TOOLTIPS);
    if (sender() != item) item->setChecked(!item->isChecked());
    m_toolTipsShown = !item->isChecked();
    m_toolTip->SetEnabled(m_toolTipsShown);
}

void CConsoleDlg::BuildTrayIcon() {
    m_tray = new QSystemTrayIcon(windowIcon(), this);
    m_tray->setToolTip(ToQString(kTrayTip));
    m_tray->setContextMenu(m_systemMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { OnTrayActivated(reason); });
    m_tray->show();
}

void CConsoleDlg::OnTrayActivated(int reason) {
    if (reason == QSystemTrayIcon::DoubleClick) RestoreFromTray();
}

void CConsoleDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !(windowState() & Qt::WindowMinimized)) return;
    // Minimising hides the window behind the tray icon. Without a tray the
    // window stays minimised as usual, or nothing could bring it back.
    if (m_tray && QSystemTrayIcon::isSystemTrayAvailable()) QTimer::singleShot(0, this, &CConsoleDlg::HideToTray);
}

void CConsoleDlg::HideToTray() {
    hide();
    // A command-file window the user closed stays closed when the console comes back.
    m_commandFileWindowHiddenToTray = m_commandFileWindow && m_commandFileWindow->isVisible();
    if (m_commandFileWindow) m_commandFileWindow->hide();
}

void CConsoleDlg::RestoreFromTray() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    if (m_commandFileWindow && m_commandFileWindowHiddenToTray) m_commandFileWindow->show();
    m_commandFileWindowHiddenToTray = false;
}

void CConsoleDlg::reject() { CloseWindow(); }

void CConsoleDlg::keyPressEvent(QKeyEvent* event) {
    // A dialog closes on Escape; the console closes only through "Exit", the
    // window's close button and the tray menu.
    if (event->matches(QKeySequence::Cancel)) {
        StopPlayer();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CConsoleDlg::CloseWindow() {
    if (PinExchangeBusy()) {
        // The worker still uses the link: close once it has ended, and say so.
        m_pinExchange->CloseWhenDone([this] { CloseWindow(); });
        m_session.SetStatusText(std::string(kCloseAfterPinText));
        m_session.SetLastResult(static_cast<PcscResult>(KEEP_STATUS_TEXT));
        RefreshWindow();
        return;
    }
    if (m_closing) return;
    m_closing = true;
    ReleaseFeatureList();
    CloseAllFeatureWindows();
    m_session.EndAtClose(m_pinExchange && m_pinExchange->WorkerLeftBehind());
    if (m_tray) m_tray->hide();
    if (m_hDevNotify) m_hDevNotify->Stop();
    DestroyCommandFileWindow();
    QDialog::reject();
}
