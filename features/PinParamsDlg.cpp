// SPDX-License-Identifier: BSD-3-Clause
#include "features/PinParamsDlg.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QVBoxLayout>

#include "widgets/DialogUnits.h"
#include "widgets/QtText.h"
#include "features/PinRequests.h"

CPinParamsDlg::CPinParamsDlg(std::string_view title, std::string_view group, const std::vector<Row>& rows,
                             QWidget* parent)
    : QDialog(parent), m_structureText(kUnbuiltStructureText) {
    // Closing (the close box, Escape, or the console) ends the window: the
    // owner hears of it at once, so a window of the same kind can open
    // while this one is still being deleted.
    connect(this, &QDialog::finished, this, [this] {
        if (m_onClosed) {
            std::function<void()> onClosed = std::move(m_onClosed);
            m_onClosed = nullptr;
            onClosed();
        }
        deleteLater();
    });
    setWindowTitle(ToQString(title));
    setModal(false);
    auto* box = new QGroupBox(ToQString(group), this);
    auto* form = new QFormLayout(box);
    QPalette fieldPalette;
    fieldPalette.setColor(QPalette::Base, RgbColour(kFieldRgb));
    for (const Row& row : rows) {
        auto* field = new QLineEdit(ToQString(row.defaultText), box);
        field->setPalette(fieldPalette);
        field->setObjectName(ToQString(row.label));
        form->addRow(ToQString(row.label), field);
        m_fields.push_back(field);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
}

std::vector<std::string> CPinParamsDlg::FieldTexts() const {
    std::vector<std::string> texts;
    texts.reserve(m_fields.size());
    for (const QLineEdit* field : m_fields) texts.push_back(FromQString(field->text()));
    return texts;
}

void CPinParamsDlg::ShowAtPlace() {
    adjustSize();
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen) {
        // Measured from the window's far corner; a screen smaller than the
        // margins still keeps the window's top left corner on it.
        const QRect area = screen->geometry();
        const QSize frame = frameGeometry().size();
        const int x = std::max(area.left(), area.right() + 1 - frame.width() - kPinWindowRightMargin);
        const int y = std::max(area.top(), area.bottom() + 1 - frame.height() - kPinWindowBottomMargin);
        move(x, y);
    }
    show();
    // In front, like every feature window: lowered, it could open wholly
    // behind the console, and its fields are what the next press sends.
    raise();
}
