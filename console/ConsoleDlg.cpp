// SPDX-License-Identifier: BSD-3-Clause
// Construction, start-up, refresh and painting of the main window.
#include "console/ConsoleDlg.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "console/ConsoleTexts.h"
#include "widgets/QtText.h"
#include "console/ReaderWatcher.h"
#include "console/StatusTree.h"
#include "console/PinExchange.h"
#include "widgets/DialogUnits.h"
#include "widgets/DropDownButton.h"
#include "widgets/KitImages.h"
#include "widgets/MarkupTip.h"
#include "widgets/MaskedEdit.h"
#include "readerlink/ResultText.h"

using namespace console;

namespace {

// Any major version above 4 takes the branch with the reader watcher.
constexpr int kModernOsMajorVersion = 5;

QFont DialogFont() {
    QFont font(ToQString(kDialogFont));
    font.setPointSize(kDialogFontPoints);
    return font;
}

// Whether setText(text) followed by placing the cursor at cursor would leave
// the field as it is: same text, that cursor, no selection, nothing to undo.
bool LineShows(const QLineEdit* field, const QString& text, qsizetype cursor) {
    return field->text() == text && field->cursorPosition() == cursor && !field->hasSelectedText() &&
           !field->isUndoAvailable() && !field->isRedoAvailable() && !field->isModified();
}

}  // namespace

CConsoleDlg::CConsoleDlg(QWidget* parent) : QDialog(parent) {
    ReadOsVersion();
    setObjectName(QStringLiteral("102"));
    setWindowTitle(ToQString(kDialogCaption));
    // A system menu and a minimize box, no maximize box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(DialogFont());

    const DialogBaseUnits base = BaseUnitsOf(font());
    setFixedSize(DialogXToPixels(kDialogWidthDu, base.x), DialogYToPixels(kDialogHeightDu, base.y));
    BuildControls();

    // Start-up, in its order.
    BuildSystemMenu();
    setWindowIcon(KitIcon(KitImage::AppIcon));
    if (m_screenWidthSource() < kMinimalScreenWidth) {
        QMessageBox::information(this, ToQString(kDialogCaption), ToQString(kNarrowScreenWarning));
    }
    BuildMenus();
    RegisterToolTips();
    ConnectCommandFile();
    if (!m_commandFileWindowExists) EnsureCommandFileWindow();
    m_versionFont = QFont(ToQString(kVersionFont));
    m_versionFont.setPixelSize(kVersionFontPixels);
    m_versionFont.setBold(true);
    BuildTrayIcon();
    SetCommandMask();
    SetStartUpState();

    connect(this, &CConsoleDlg::readersChanged, this, &CConsoleDlg::OnReadersChanged, Qt::QueuedConnection);
}

int CConsoleDlg::PrimaryScreenWidth() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    // No screen to measure: nothing to warn about.
    return screen ? screen->geometry().width() : kMinimalScreenWidth;
}

CConsoleDlg::ScreenWidthSource CConsoleDlg::m_screenWidthSource = &CConsoleDlg::PrimaryScreenWidth;

void CConsoleDlg::SetScreenWidthSource(ScreenWidthSource source) {
    m_screenWidthSource = source ? source : &CConsoleDlg::PrimaryScreenWidth;
}

CConsoleDlg::~CConsoleDlg() {
    DestroyFeatureWindows();
    DestroyCommandFileWindow();
    if (m_hDevNotify) m_hDevNotify->Stop();
}

void CConsoleDlg::ReadOsVersion() {
    // The reader watcher and the re-list after a disconnect belong to systems
    // above major version 4. Every Linux the console runs on has what they
    // need (the resource manager's reader-change notification), so the
    // console always takes that branch; the kernel's version plays no part.
    m_osMajorVersion = kModernOsMajorVersion;
}

void CConsoleDlg::BuildControls() {
    const DialogBaseUnits base = BaseUnitsOf(font());
    const QPalette fieldPalette = [this] {
        QPalette p = palette();
        p.setColor(QPalette::Base, RgbColour(kFieldRgb));
        p.setColor(QPalette::Text, Qt::black);
        return p;
    }();

    for (const ControlSpec& entry : ConsoleControls()) {
        const QString text = ToQString(entry.text);
        QWidget* widget = nullptr;
        switch (entry.kind) {
        case ControlKind::PushButton: {
            auto* button = new QPushButton(text, this);
            button->setAutoDefault(false);
            widget = button;
            break;
        }
        case ControlKind::DropDownButton:
        case ControlKind::DropDownIconButton: {
            auto* button = new CDropDownButton(this);
            button->setText(text);
            widget = button;
            break;
        }
        case ControlKind::IconButton:
            widget = new CIconButton(this);
            break;
        case ControlKind::CheckBox:
            widget = new QCheckBox(text, this);
            break;
        case ControlKind::RadioButtonFirst:
        case ControlKind::RadioButton:
            // Radio buttons of one parent form one exclusive group.
            widget = new QRadioButton(text, this);
            break;
        case ControlKind::Label:
            widget = new QLabel(text, this);
            break;
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(text, this);
            edit->setPalette(fieldPalette);
            widget = edit;
            break;
        }
        case ControlKind::EditMultiUpper: {
            auto* edit = new CMaskedEdit(this);
            edit->setPalette(fieldPalette);
            widget = edit;
            break;
        }
        case ControlKind::EditMultiScroll: {
            auto* edit = new QPlainTextEdit(this);
            edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            edit->setReadOnly(true);
            edit->setPalette(fieldPalette);
            widget = edit;
            break;
        }
        case ControlKind::DropDownList: {
            auto* combo = new QComboBox(this);
            combo->setInsertPolicy(QComboBox::InsertAtBottom);
            widget = combo;
            break;
        }
        case ControlKind::Tree:
            widget = new CStatusTree(this);
            break;
        case ControlKind::Picture: {
            auto* picture = new QLabel(this);
            picture->setAlignment(Qt::AlignCenter);
            widget = picture;
            break;
        }
        }

        QRect rect = DialogRectToPixels(entry.rect, base);
        if (entry.kind == ControlKind::DropDownList) {
            // The template height is that of the dropped list; the closed box
            // takes the height its font needs.
            rect.setHeight(widget->sizeHint().height());
        }
        widget->setGeometry(rect);
        widget->setObjectName(QString::number(entry.id));
        widget->setProperty("controlId", entry.id);
        widget->setVisible(entry.visible);
        widget->setEnabled(entry.enabled);
        m_controls.insert(entry.id, widget);
    }

    m_statusLine = qobject_cast<QLineEdit*>(Control(IDC_STATUS_LINE));
    m_statusLine->setReadOnly(true);
    m_readerList = qobject_cast<QComboBox*>(Control(IDC_READER_LIST));
    m_commandField = qobject_cast<CMaskedEdit*>(Control(IDC_COMMAND));
    m_reconnectButton = qobject_cast<CDropDownButton*>(Control(IDC_RECONNECT));
    m_attributesButton = qobject_cast<CDropDownButton*>(Control(IDC_ATTRIBUTES));
    m_responseField = qobject_cast<QPlainTextEdit*>(Control(IDC_RESPONSE));
    m_commandNameField = qobject_cast<QLineEdit*>(Control(IDC_COMMAND_NAME));
    m_statusTree = qobject_cast<CStatusTree*>(Control(IDC_STATUS_TREE));
    m_shareExclusive = qobject_cast<QCheckBox*>(Control(IDC_SHARE_EXCLUSIVE));
    m_shareShared = qobject_cast<QCheckBox*>(Control(IDC_SHARE_SHARED));
    m_shareDirect = qobject_cast<QCheckBox*>(Control(IDC_SHARE_DIRECT));
    m_protocolT0 = qobject_cast<QCheckBox*>(Control(IDC_PROTOCOL_T0));
    m_protocolT1 = qobject_cast<QCheckBox*>(Control(IDC_PROTOCOL_T1));
    m_optimal = qobject_cast<QRadioButton*>(Control(IDC_OPTIMAL));
    m_default = qobject_cast<QRadioButton*>(Control(IDC_DEFAULT));
    m_playCommandsBox = qobject_cast<QCheckBox*>(Control(IDC_PLAY_COMMANDS));

    auto* cardPicture = qobject_cast<QLabel*>(Control(IDC_PICTURE_CARD));
    cardPicture->setPixmap(
        KitPixmap(KitImage::CardAndReader).scaled(cardPicture->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    auto* logoPicture = qobject_cast<QLabel*>(Control(IDC_PICTURE_LOGO));
    logoPicture->setPixmap(
        KitPixmap(KitImage::Logo).scaled(logoPicture->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));

    // One handler per control.
    auto onClick = [this](int id, void (CConsoleDlg::*handler)()) {
        connect(qobject_cast<QAbstractButton*>(Control(id)), &QAbstractButton::clicked, this, handler);
    };
    onClick(IDC_EXIT, &CConsoleDlg::reject);
    onClick(IDC_ESTABLISH, &CConsoleDlg::OnEstablishContext);
    onClick(IDC_CONNECT, &CConsoleDlg::OnConnect);
    onClick(IDC_WARM_RESET, &CConsoleDlg::OnWarmReset);
    onClick(IDC_COLD_RESET, &CConsoleDlg::OnColdReset);
    onClick(IDC_STATUS, &CConsoleDlg::OnStatus);
    onClick(IDC_TRANSMIT, &CConsoleDlg::OnTransmitButton);
    onClick(IDC_PLAY_COMMANDS, &CConsoleDlg::OnPlayCommandsCheck);
    onClick(IDC_CONTROL, &CConsoleDlg::OnControlButton);
    onClick(IDC_DISCONNECT, &CConsoleDlg::OnDisconnect);
    onClick(IDC_RELEASE, &CConsoleDlg::OnReleaseContext);
    onClick(IDC_SHARE_EXCLUSIVE, &CConsoleDlg::OnShareExclusive);
    onClick(IDC_SHARE_SHARED, &CConsoleDlg::OnShareShared);
    onClick(IDC_SHARE_DIRECT, &CConsoleDlg::OnShareDirect);
    onClick(IDC_PROTOCOL_T0, &CConsoleDlg::OnProtocolT0);
    onClick(IDC_PROTOCOL_T1, &CConsoleDlg::OnProtocolT1);
    onClick(IDC_OPTIMAL, &CConsoleDlg::OnOptimal);
    onClick(IDC_DEFAULT, &CConsoleDlg::OnDefault);
    onClick(IDC_RESPONSE_FORMAT, &CConsoleDlg::OnResponseFormat);
    connect(m_readerList, &QComboBox::activated, this, &CConsoleDlg::OnSelectReader);
    connect(qobject_cast<QComboBox*>(Control(IDC_CONTROL_CODES)), &QComboBox::activated, this,
            &CConsoleDlg::OnControlSelected);
    connect(m_commandField, &CMaskedEdit::TextEdited, this, &CConsoleDlg::OnCommandChanged);
}

void CConsoleDlg::BuildMenus() {
    // The tooltip control, the icon buttons and the two drop-down menus.
    m_toolTip = new CMarkupTip(this);
    m_toolTip->SetDelayTime(kToolTipDelayMs);
    m_toolTip->SetDisplayTime(kToolTipDisplayMs);
    m_reconnectButton->SetImage(KitIcon(KitImage::ReconnectIcon));
    m_attributesButton->SetImage(KitIcon(KitImage::AttributesIcon));
    qobject_cast<CIconButton*>(Control(IDC_ADD_COMMAND))->SetImage(KitIcon(KitImage::AddCommandIcon));
    qobject_cast<CIconButton*>(Control(IDC_RESPONSE_FORMAT))->SetImage(KitIcon(KitImage::ResponseFormatIcon));

    const QList<QIcon> resetImages = ResetMenuImages();
    auto image = [](const QList<QIcon>& images, int index) { return index < images.size() ? images[index] : QIcon(); };
    for (const MenuEntry& entry : ReconnectMenu()) {
        const int index = entry.command == ID_COLD_RESET ? RESET_IMAGE_COLD : RESET_IMAGE_WARM;
        m_commands.insert(entry.command, m_reconnectButton->Menu()->AddItem(entry.command, entry.text,
                                                                           image(resetImages, index)));
    }
    const QList<QIcon> attributeImages = AttributeMenuImages();
    for (const MenuEntry& entry : AttributeMenu()) {
        const int index = entry.vendor ? ATTRIBUTE_IMAGE_VENDOR : ATTRIBUTE_IMAGE_STANDARD;
        m_commands.insert(entry.command, m_attributesButton->Menu()->AddItem(entry.command, entry.text,
                                                                            image(attributeImages, index),
                                                                            entry.vendor));
    }
    for (QAction* action : m_commands) action->setObjectName(QString::number(action->data().toInt()));

    // The reconnect button's opening notice needs no answer.
    connect(m_reconnectButton, &CDropDownButton::CommandChosen, this, [this](int command) {
        if (command == ID_COLD_RESET) OnColdReset();
        if (command == ID_WARM_RESET) OnWarmReset();
    });
    connect(m_attributesButton, &CDropDownButton::MenuAboutToOpen, this, &CConsoleDlg::OnAttributeMenuAboutToOpen);
    connect(m_attributesButton, &CDropDownButton::CommandChosen, this, &CConsoleDlg::OnAttributeCommand);
}

void CConsoleDlg::SetCommandMask() {
    // Enter in the command field runs one exchange.
    m_commandField->SetHexGroups(COMMAND_MASK_GROUPS);
    connect(m_commandField, &CMaskedEdit::EnterPressed, this, &CConsoleDlg::OnCommandFieldEnter);
}

void CConsoleDlg::RegisterToolTips() {
    for (const ToolTipSpec& tip : ConsoleToolTips()) {
        if (QWidget* widget = Control(tip.controlId)) m_toolTip->Attach(widget, tip.text);
    }
    m_toolTip->SetEnabled(m_toolTipsShown);
}

void CConsoleDlg::SetStartUpState() {
    ApplyControlChanges(ConnectionStep::StartUp);
    // The options start from the start values while still hidden.
    m_shareExclusive->setChecked(true);
    m_protocolT0->setChecked(true);
    m_protocolT1->setChecked(true);
    m_optimal->setChecked(true);
}

void CConsoleDlg::ApplyControlChanges(ConnectionStep step) {
    for (const ControlChange& change : ControlChanges(step)) {
        for (int id : change.ids) {
            QWidget* widget = Control(id);
            if (!widget) continue;
            switch (change.action) {
            case ControlAction::Enable: widget->setEnabled(true); break;
            case ControlAction::Disable: widget->setEnabled(false); break;
            case ControlAction::Show: widget->setVisible(true); break;
            case ControlAction::Hide: widget->setVisible(false); break;
            }
        }
    }
}

void CConsoleDlg::SetEnabled(std::initializer_list<int> ids, bool enabled) {
    for (int id : ids) {
        if (QWidget* widget = Control(id)) widget->setEnabled(enabled);
    }
}

void CConsoleDlg::SetVisible(std::initializer_list<int> ids, bool visible) {
    for (int id : ids) {
        if (QWidget* widget = Control(id)) widget->setVisible(visible);
    }
}

bool CConsoleDlg::IsEnabled(int id) const {
    const QWidget* widget = Control(id);
    return widget && widget->isEnabled();
}

void CConsoleDlg::RefreshWindow(bool withResponse) {
    // A player refreshes twice per command, mostly with the texts already
    // shown; a control is only touched when the push would change it, as
    // every touch lays it out and repaints it.
    const QString status = ToQString(m_session.StatusLineText());
    if (!LineShows(m_statusLine, status, 0)) {
        m_statusLine->setText(status);
        m_statusLine->setCursorPosition(0);
    }
    if (withResponse) ShowResponse(ToQString(m_session.ResponseText()));
    const QString name = ToQString(m_session.CommandName());
    if (!LineShows(m_commandNameField, name, name.size())) m_commandNameField->setText(name);
}

void CConsoleDlg::ShowResponse(const QString& response) {
    if (m_responseField->toPlainText() != response) m_responseField->setPlainText(response);
}

void CConsoleDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    const QFontMetrics metrics(m_versionFont);
    const int top = height() - metrics.height();
    // Most repaints are of a control that changed (a player's every step),
    // far from the version line at the bottom.
    if (event->rect().bottom() < top) return;
    const QString version = ToQString(LoadString(IDS_VERSION));
    const QRect line(0, top, metrics.horizontalAdvance(version) + 1, metrics.height());
    if (!event->rect().intersects(line)) return;
    QPainter painter(this);
    painter.setFont(m_versionFont);
    painter.setPen(Qt::black);
    painter.drawText(line, Qt::AlignLeft | Qt::AlignTop, version);
}
