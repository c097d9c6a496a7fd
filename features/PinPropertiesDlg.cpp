// SPDX-License-Identifier: BSD-3-Clause
#include "features/PinPropertiesDlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include <array>

#include "widgets/QtText.h"
#include "features/KeypadDisplay.h"

using namespace features;

CPinPropertiesDlg::CPinPropertiesDlg(QWidget* parent, CReaderLink* link, DWORD code, Report report)
    : CFeatureWindow(parent, link, code, std::move(report), QStringLiteral("Pin Properties"), 975, 450) {
    QGridLayout* grid = nullptr;
    AddGroup(QStringLiteral("Properties"), grid);
    m_layout = MakeField(QStringLiteral("xx_xx"));
    m_characters = MakeField(QStringLiteral("xx"));
    m_lines = MakeField(QStringLiteral("xx"));
    m_validation = MakeField(QStringLiteral("xx"));
    m_timeOut = MakeField(QString());
    const std::pair<const char*, QLineEdit*> rows[] = {{"Lcd Layout", m_layout},
                                                        {"Lcd Max Characters", m_characters},
                                                        {"Lcd Max Lines", m_lines},
                                                        {"Entry Validation Condition", m_validation},
                                                        {"Time Out", m_timeOut}};
    int row = 0;
    for (const auto& [label, field] : rows) {
        grid->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0);
        grid->addWidget(field, row++, 1);
    }
}

void CPinPropertiesDlg::ReadPinProperties() {
    std::array<std::uint8_t, kPinPropertiesAnswerSize> answer{};
    DWORD returned = 0;
    const PcscResult result = Exchange(Code(), {}, answer.data(), answer.size(), &returned);
    if (result == 0) {
        const PinPropertiesText text = PinPropertiesOf(answer.data(), std::min<std::size_t>(returned, answer.size()));
        m_layout->setText(ToQString(text.layout));
        m_validation->setText(ToQString(text.validation));
        m_timeOut->setText(ToQString(text.timeOut));
    }
    ReportResult(result);
}

void CPinPropertiesDlg::RereadPinProperties() {
    std::array<std::uint8_t, kPinPropertiesAnswerSize> answer{};
    DWORD returned = 0;
    if (Exchange(Code(), {}, answer.data(), answer.size(), &returned) != 0) return;
    const PinPropertiesText text =
        RereadPinPropertiesOf(answer.data(), std::min<std::size_t>(returned, answer.size()));
    m_layout->setText(ToQString(text.layout));
    m_characters->setText(ToQString(text.characters));
    m_lines->setText(ToQString(text.lines));
    m_validation->setText(ToQString(text.validation));
    m_timeOut->setText(ToQString(text.timeOut));
}

void CPinPropertiesDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        RereadPinProperties();
        return;
    }
    CFeatureWindow::keyPressEvent(event);
}
