// SPDX-License-Identifier: BSD-3-Clause
#include "scripts/CommandFileDlg.h"

#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QScreen>
#include <QSignalBlocker>

#include <filesystem>

#include "widgets/QtText.h"
#include "scripts/CommandFileTexts.h"
#include "widgets/DialogUnits.h"
#include "widgets/DropDownButton.h"
#include "widgets/KitImages.h"
#include "widgets/SteadyScrollBar.h"

using namespace scripts;

namespace {

std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

// A whole number in the loop range, or 0.
unsigned LoopValue(const QString& text) {
    bool ok = false;
    const unsigned value = text.trimmed().toUInt(&ok);
    return ok && value >= kMinLoopCount && value <= kMaxLoopCount ? value : 0;
}

}  // namespace

CCommandFileDlg::CCommandFileDlg(const std::string& path, const std::string& name, QWidget* parent)
    : QDialog(parent), m_fileName(name), m_filePath(AbsolutePath(path)) {
    setObjectName(QStringLiteral("103"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(false);
    if (parent) setFont(parent->font());
    BuildControls();
}

void CCommandFileDlg::BuildControls() {
    const DialogBaseUnits base = BaseUnitsOf(font());
    resize(DialogXToPixels(kCommandFileWidthDu, base.x), DialogYToPixels(kCommandFileHeightDu, base.y));

    m_nameList = new QListWidget(this);
    m_nameList->setObjectName(QString::number(IDC_NAME_LIST));
    m_nameList->setGeometry(DialogRectToPixels(kNameListRect, base));
    m_nameList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_nameList->setUniformItemSizes(true);  // one line each: long files lay out at once
    UseSteadyScrollBar(m_nameList);         // a play moves the selection row by row
    QPalette listPalette = m_nameList->palette();
    const QColor field = RgbColour(kFieldRgb);
    listPalette.setColor(QPalette::Base, field);
    listPalette.setColor(QPalette::Text, Qt::black);
    m_nameList->setPalette(listPalette);

    m_valueList = new QListWidget(this);
    m_valueList->setObjectName(QString::number(IDC_VALUE_LIST));
    m_valueList->setGeometry(DialogRectToPixels(kNameListRect, base));
    m_valueList->setUniformItemSizes(true);
    m_valueList->hide();

    auto* label = new QLabel(ToQString(kLoopLabel), this);
    label->setGeometry(DialogRectToPixels(kLoopLabelRect, base));

    m_loopField = new QLineEdit(this);
    m_loopField->setObjectName(QString::number(IDC_LOOP_COUNT));
    m_loopField->setGeometry(DialogRectToPixels(kLoopFieldRect, base));

    m_deleteButton = new CIconButton(this);
    m_deleteButton->setObjectName(QString::number(IDC_DELETE_COMMAND));
    m_deleteButton->setGeometry(DialogRectToPixels(kDeleteRect, base));
    m_deleteButton->SetImage(KitIcon(KitImage::DeleteCommandIcon));
    m_deleteButton->setToolTip(ToQString(kDeleteToolTip));

    // A click on the entry already selected chooses it again.
    connect(m_nameList, &QListWidget::currentRowChanged, this, &CCommandFileDlg::OnSelectCommand);
    connect(m_nameList, &QListWidget::itemClicked, this, &CCommandFileDlg::OnSelectCommand);
    connect(m_deleteButton, &QAbstractButton::clicked, this, &CCommandFileDlg::OnDeleteCommand);
    connect(m_loopField, &QLineEdit::textEdited, this, &CCommandFileDlg::OnLoopChanged);
    connect(m_loopField, &QLineEdit::editingFinished, this, &CCommandFileDlg::OnLoopEditingFinished);
}

void CCommandFileDlg::Start() {
    // The name as the file system has it, not as a cp1252 text.
    setWindowTitle(QFile::decodeName(QByteArray::fromStdString(m_fileName)));
    Place();
    show();
    lower();
    LoadCommandFile();
    m_loopCount = 1;
    PushLoopCount();
}

void CCommandFileDlg::Place() {
    // At the top right of the screen.
    const QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->geometry().width() : width();
    const QSize client = size();
    // The position is the frame's, so the title bar stays on the screen.
    resize(client.width() - kWidthTrim, client.height() + kHeightExtra);
    move(screenWidth - client.width() - kRightMargin, kTopMargin);
}

void CCommandFileDlg::LoadCommandFile() {
    m_loadFailure = m_list.Load(m_filePath);
    FillLists();
    ShowFailure(m_loadFailure);
}

void CCommandFileDlg::FillLists() {
    QStringList names;
    QStringList texts;
    names.reserve(static_cast<qsizetype>(m_list.Size()));
    texts.reserve(static_cast<qsizetype>(m_list.Size()));
    for (const CommandEntry& entry : m_list.Entries()) {
        names.append(ToQString(entry.name));
        texts.append(ToQString(entry.text));
    }
    const QSignalBlocker block(m_nameList);
    m_nameList->clear();
    m_valueList->clear();
    m_nameList->addItems(names);
    m_valueList->addItems(texts);
    SelectRow(m_list.Empty() ? -1 : 0);
}

void CCommandFileDlg::ShowFailure(FileFailure failure) {
    if (failure == FileFailure::None) return;
    const QString caption = parentWidget() ? parentWidget()->windowTitle() : windowTitle();
    QMessageBox::warning(this, caption, ToQString(LogFailureText(failure)));
}

void CCommandFileDlg::AddEntry(const std::string& name, const std::string& text) {
    const auto index = static_cast<int>(m_list.Add(name, text));
    const CommandEntry& entry = m_list.At(static_cast<std::size_t>(index));
    {
        const QSignalBlocker block(m_nameList);
        m_nameList->insertItem(index, ToQString(entry.name));
        m_valueList->insertItem(index, ToQString(entry.text));
    }
    SelectRow(0);
    PushLoopCount();
    activateWindow();
}

FileFailure CCommandFileDlg::SaveCommandFile() {
    // The list of a file that could not be read holds only what the user
    // added: writing it would lose the file's own commands.
    if (m_loadFailure != FileFailure::None && (m_list.Empty() || !ConfirmOverwriteUnread())) {
        return FileFailure::None;
    }
    const FileFailure failure = m_list.Save(m_filePath);
    ShowFailure(failure);
    return failure;
}

bool CCommandFileDlg::ConfirmOverwriteUnread() {
    const QString caption = parentWidget() ? parentWidget()->windowTitle() : windowTitle();
    const QString question =
        ToQString(kOverwriteUnreadPrompt).arg(QFile::decodeName(QByteArray::fromStdString(m_fileName)));
    return QMessageBox::question(this, caption, question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

int CCommandFileDlg::SelectedIndex() const { return m_nameList->currentRow(); }

void CCommandFileDlg::SelectRow(int row) {
    const QSignalBlocker block(m_nameList);
    m_nameList->setCurrentRow(row);
    if (row < 0) m_nameList->clearSelection();
}

PlayPosition CCommandFileDlg::Position() const {
    PlayPosition position;
    position.count = static_cast<int>(m_list.Size());
    position.selected = SelectedIndex();
    position.loopCount = m_loopCount;
    position.startIndex = m_startIndex;
    return position;
}

void CCommandFileDlg::SetPosition(const PlayPosition& position, bool show) {
    if (position.selected != SelectedIndex()) SelectRow(position.selected);
    m_loopCount = position.loopCount;
    // The count is on the screen before the player's next exchange starts,
    // which runs no events until it has its answer.
    if (show && PushLoopCount()) m_loopField->repaint();
}

bool CCommandFileDlg::PushLoopCount() {
    // A player pushes at every step; the field is only touched when its count changes.
    const QString text = QString::number(m_loopCount);
    if (m_loopField->text() == text) return false;
    m_loopField->setText(text);
    return true;
}

void CCommandFileDlg::OnSelectCommand() {
    const int index = SelectedIndex();
    if (index < 0 || index >= static_cast<int>(m_list.Size())) return;
    m_startIndex = index;
    emit CommandChosen(index);
}

void CCommandFileDlg::OnDeleteCommand() {
    const int index = SelectedIndex();
    if (index < 0 || index >= static_cast<int>(m_list.Size())) return;
    m_list.Remove(static_cast<std::size_t>(index));
    {
        const QSignalBlocker block(m_nameList);
        delete m_nameList->takeItem(index);
        delete m_valueList->takeItem(index);
    }
    SelectRow(-1);
}

void CCommandFileDlg::OnLoopChanged() {
    const QString text = m_loopField->text();
    if (text.trimmed().isEmpty()) return;  // still being typed; judged when the field is left
    const unsigned value = LoopValue(text);
    if (value != 0) {
        m_loopCount = value;
        return;
    }
    QMessageBox::warning(this, windowTitle(),
                         ToQString(kRangeMessage).arg(kMinLoopCount).arg(kMaxLoopCount));
    PushLoopCount();
}

void CCommandFileDlg::OnLoopEditingFinished() {
    if (!m_loopField->text().trimmed().isEmpty()) return;
    QMessageBox::warning(this, windowTitle(),
                         ToQString(kRangeMessage).arg(kMinLoopCount).arg(kMaxLoopCount));
    PushLoopCount();
}

void CCommandFileDlg::reject() { hide(); }

void CCommandFileDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
