// SPDX-License-Identifier: BSD-3-Clause
#include "features/DisplayPropertiesDlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include <array>

#include "widgets/QtText.h"
#include "features/KeypadDisplay.h"

using namespace features;

CDisplayPropertiesDlg::CDisplayPropertiesDlg(QWidget* parent, CReaderLink* link, DWORD code, Report report)
    : CFeatureWindow(parent, link, code, std::move(report), QStringLiteral("Display Properties"), 975, 450) {
    QGridLayout* grid = nullptr;
    AddGroup(QStringLiteral("Parameters"), grid);
    // Room for any byte the reader reports (up to 255).
    m_characters = MakeField(QStringLiteral("xx"), 3);
    m_lines = MakeField(QStringLiteral("xx"), 3);
    grid->addWidget(new QLabel(QStringLiteral("Lcd Max Characters"), this), 0, 0);
    grid->addWidget(m_characters, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Lcd Max Lines"), this), 1, 0);
    grid->addWidget(m_lines, 1, 1);
}

void CDisplayPropertiesDlg::ReadDisplayProperties() {
    std::array<std::uint8_t, kDisplayPropertiesAnswerSize> answer{};
    DWORD returned = 0;
    const PcscResult result = Exchange(Code(), {}, answer.data(), answer.size(), &returned);
    if (result == 0) {
        const DisplayPropertiesText text =
            DisplayPropertiesOf(answer.data(), std::min<std::size_t>(returned, answer.size()));
        m_characters->setText(ToQString(text.characters));
        m_lines->setText(ToQString(text.lines));
    }
    ReportResult(result);
}
