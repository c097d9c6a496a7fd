// SPDX-License-Identifier: BSD-3-Clause
// CConsoleDlg: the main window of cardbench (dialog 102). It owns the reader
// link, the status line, the reader list, the status tree and every button of
// the console. The window's PC/SC state lives in which controls are enabled
// and visible; there is no state variable.
#pragma once

#include <QDialog>
#include <QFont>
#include <QHash>
#include <QPointer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "console/ConsoleSession.h"
#include "console/ConsoleTexts.h"
#include "features/Attributes.h"
#include "features/ControlCodes.h"
#include "readerlink/ReaderLink.h"
#include "scripts/LogFile.h"
#include "scripts/CommandPlayer.h"

class QAbstractButton;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QRadioButton;
class QSystemTrayIcon;
class QToolButton;
class CStatusTree;
class CReaderWatcher;
class CDropDownButton;
class CMarkupTip;
class CMaskedEdit;
class CCommandFileDlg;
class CPinExchange;
class CFeatureWindow;

class CConsoleDlg : public QDialog {
    Q_OBJECT

public:
    explicit CConsoleDlg(QWidget* parent = nullptr);
    ~CConsoleDlg() override;

    // The control with a dialog-template identifier (-1: the "Command Name" label).
    QWidget* Control(int id) const { return m_controls.value(id); }
    // A command of the system menu or of a drop-down menu, by its identifier.
    QAction* MenuCommand(int id) const { return m_commands.value(id); }
    QMenu* SystemMenu() const { return m_systemMenu; }

    // The path chosen for the command-file window, kept until that window exists.
    const std::string& CommandFilePath() const { return m_commandFilePath; }
    // The command-file window (null only while it is being replaced).
    CCommandFileDlg* CommandFileWindow() const;
    bool PlayerRunning() const { return m_playerRunning; }
    bool PlayCommands() const { return m_playCommands; }
    bool StopRequested() const { return m_stopPlayer; }

    // The console's data and exchanges.
    ConsoleSession& Session() { return m_session; }
    const ConsoleSession& Session() const { return m_session; }

    // The feature window of a kind that the current selection opened, or
    // null; KeyHistoryWindow is "Get Key Pressed", which follows a PIN start.
    const QPointer<QWidget>& FeatureWindowOf(features::FeatureWindow window) const;
    const QPointer<QWidget>& KeyHistoryWindow() const { return m_keyHistoryWindow; }
    bool FeatureWindowOpen() const { return m_featureWindowOpen; }

    // Runs a system-menu command (identifier with the low four bits cleared).
    void OnSysCommand(unsigned command);

    // Escape never closes the window: it asks a running command player to
    // stop. The players read m_stopPlayer between commands and clear it when
    // they start.
    void StopPlayer() { m_stopPlayer = true; }

    // Where start-up reads the screen width for its resolution warning
    // (default: the primary screen); null restores the default.
    using ScreenWidthSource = int (*)();
    static void SetScreenWidthSource(ScreenWidthSource source);

signals:
    // Emitted from the watcher thread; delivered queued on the window thread.
    void readersChanged();

public slots:
    void reject() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Start-up and construction (ConsoleDlg.cpp).
    void BuildControls();
    void BuildMenus();
    void BuildSystemMenu();
    void BuildTrayIcon();
    void RegisterToolTips();
    void SetCommandMask();
    void SetStartUpState();
    static int PrimaryScreenWidth();
    void ReadOsVersion();
    // Pushes the window data: status line, response (unless withResponse is false), command name.
    void RefreshWindow(bool withResponse = true);
    void ShowResponse(const QString& response);
    void ApplyControlChanges(console::ConnectionStep step);
    void SetEnabled(std::initializer_list<int> ids, bool enabled);
    void SetVisible(std::initializer_list<int> ids, bool visible);
    bool IsEnabled(int id) const;

    // Connection workflow (ConsoleConnect.cpp).
    void OnEstablishContext();
    void OnConnect();
    void OnColdReset();
    void OnWarmReset();
    void OnDisconnect();
    void OnReleaseContext();
    void OnSelectReader(int index);
    void OnShareExclusive();
    void OnShareShared();
    void OnShareDirect();
    // Exclusive or shared: the other card-sharing box and direct are unchecked
    // and both protocols offered again.
    void ShareCard(DWORD mode, QCheckBox* otherMode);
    void OnProtocolT0();
    void OnProtocolT1();
    void OnOptimal();
    void OnDefault();
    void OnCommandChanged();
    void OnReadersChanged();
    void ShowConnectState(DWORD protocols);
    // Shows what a step of the workflow did: the reader list, the control
    // changes, the options and the status.
    void ShowConnection(const ConnectionOutcome& outcome);
    void ShowReleased(const ConnectionOutcome& outcome);
    void FillReaderList(const ConnectionOutcome& outcome);
    void RegisterDeviceNotification();
    bool ContextEstablished() const;

    // Steps of connect that other parts of the console provide.
    void ReleaseFeatureList();
    // The fixed controls and the reader's features; the code "SCardControl"
    // sends becomes that of the entry the list shows.
    void FillControlList();

    // Control codes, reader features and attributes (ConsoleFeatures.cpp).
    void OnControlSelected(int index);
    void SendControlCommand();
    void CloseFeatureWindows();
    void ClearExchangeFields();
    void ReadStandardAttribute(std::uint32_t attrId, features::AttributeForm form);
    void ReadVendorAttribute(unsigned tag, features::AttributeForm form);
    // The feature windows (ConsoleFeatureWindows.cpp): each opener binds its
    // window to the reader link and the code it is given.
    void OpenFeatureWindow(features::FeatureWindow window, DWORD code);
    void OpenKeyHistoryWindow(DWORD code);
    void CloseFeatureWindow(QPointer<QWidget>& window);
    // Keeps an opened window in its slot, shown and placed; its destruction
    // clears m_featureWindowOpen. The PIN windows use it too.
    void KeepFeatureWindow(QPointer<QWidget>& slot, CFeatureWindow* window);
    // How a feature window reports a result: the console's status line.
    std::function<void(PcscResult, std::string_view)> FeatureReport();
    void CloseAllFeatureWindows();
    void DestroyFeatureWindows();
    // The PIN windows and exchanges (ConsolePin.cpp).
    CPinExchange& PinExchange();
    bool PinExchangeBusy() const;  // a vendor PIN exchange waits for its worker
    void RunKeyLoop(std::uint8_t entries, std::uint8_t validation, const std::uint8_t* maxExtra);

    // Exchange log (ConsoleExchange.cpp): opened at Establish, closed at Release.
    void OnLogFailure(LogFailure failure);
    // A box for the first failure of each cause since the log was opened; a
    // long play on a failing log opens one, not one per record.
    void ShowLogFailure(LogFailure failure);

    // Card status (ConsoleStatus.cpp).
    void OnStatus();
    void ShowStatus(const StatusOutcome& outcome);

    // Exchange (ConsoleExchange.cpp).
    void OnTransmitButton();
    void OnPlayCommandsCheck();
    void OnResponseFormat();
    void OnControlButton();
    void OnAttributeMenuAboutToOpen();
    void OnAttributeCommand(int command);
    void TransmitCommand();

    // System menu and tray (ConsoleSysMenu.cpp).
    void OnAbout();
    void OnUseLogFile();
    void OnOpenCommandFile();
    void OnCreateCommandFile();
    void OnParseAtr();
    void OnHideToolTips();
    void OnTrayActivated(int reason);
    void HideToTray();
    void RestoreFromTray();
    void SetUseLogFileEnabled(bool enabled);
    void CloseWindow();

    // Command files and the players (ConsoleScripts.cpp).
    void ConnectCommandFile();
    void OpenCommandFileWindow(const std::string& path, const std::string& name);
    void DestroyCommandFileWindow();  // saves its file first
    void EnsureCommandFileWindow();
    void OnCommandFileChosen(const QString& chosen);
    void OnShowCommandFile();
    bool CommandFileWindowShown() const;
    bool ConfirmCreateCommandFile(const QString& chosen);
    void OnAddCommand();
    void OnCommandNameChange();
    void ShowChosenCommand(int index);
    bool LoadChosenCommand(int index);  // name and command into their fields
    bool CardConnectionOpen() const;
    // True while a player, an Enter exchange or a PIN exchange runs: every
    // entry to an exchange (button, Enter, menu command) waits for it.
    bool ExchangeBusy() const;
    void OnCommandFieldEnter();
    void TransmitOnce();
    void RepeatCommand();
    void PlayCommandFile();
    void RunPlayer(unsigned (*player)(const PlayerHooks&));

private:
    // The window's own state; the console's data is the session's.
    ConsoleSession m_session{[this](LogFailure failure) { OnLogFailure(failure); }};
    int m_osMajorVersion = 0;
    bool m_toolTipsShown = true;
    bool m_playCommands = false;
    bool m_stopPlayer = false;  // set by Escape (StopPlayer)

    // The windows one selection opened.
    bool m_featureWindowOpen = false;
    QPointer<QWidget> m_keyHistoryWindow;       // "Get Key Pressed"
    QPointer<QWidget> m_getKeyPressedWindow;    // "GetKey"
    QPointer<QWidget> m_getKeyWindow;           // "GET KEY"
    QPointer<QWidget> m_writeDisplayWindow;     // the message window
    QPointer<QWidget> m_displayPropertiesWindow;
    QPointer<QWidget> m_pinPropertiesWindow;
    QPointer<QWidget> m_speMessageWindow;
    std::unique_ptr<CPinExchange> m_pinExchange;  // the PIN windows and worker; declared after m_session: ends before it

    unsigned m_logFailuresShown = 0;  // one bit per LogFailure cause
    std::unique_ptr<CReaderWatcher> m_hDevNotify;  // the reader-arrival registration
    QHash<int, QWidget*> m_controls;
    QHash<int, QAction*> m_commands;
    QMenu* m_systemMenu = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QPointer<CCommandFileDlg> m_commandFileWindow;
    bool m_commandFileWindowExists = false;
    bool m_commandFileWindowHiddenToTray = false;
    bool m_playerRunning = false;
    std::string m_commandFilePath;
    bool m_closing = false;
    QFont m_versionFont;
    static ScreenWidthSource m_screenWidthSource;

    // Typed views of the controls used most.
    QLineEdit* m_statusLine = nullptr;
    QComboBox* m_readerList = nullptr;
    CMaskedEdit* m_commandField = nullptr;
    CDropDownButton* m_reconnectButton = nullptr;
    CDropDownButton* m_attributesButton = nullptr;
    CMarkupTip* m_toolTip = nullptr;
    QPlainTextEdit* m_responseField = nullptr;
    QLineEdit* m_commandNameField = nullptr;
    CStatusTree* m_statusTree = nullptr;
    QCheckBox* m_shareExclusive = nullptr;
    QCheckBox* m_shareShared = nullptr;
    QCheckBox* m_shareDirect = nullptr;
    QCheckBox* m_protocolT0 = nullptr;
    QCheckBox* m_protocolT1 = nullptr;
    QRadioButton* m_optimal = nullptr;
    QRadioButton* m_default = nullptr;
    QCheckBox* m_playCommandsBox = nullptr;
};
