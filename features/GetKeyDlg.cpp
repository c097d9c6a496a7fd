// SPDX-License-Identifier: BSD-3-Clause
#include "features/GetKeyDlg.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "widgets/QtText.h"
#include "features/KeypadDisplay.h"
#include "readerlink/ResultText.h"

using namespace features;

CGetKeyDlg::CGetKeyDlg(QWidget* parent, CReaderLink* link, DWORD code, Report report)
    : CFeatureWindow(parent, link, code, std::move(report), QStringLiteral("GET KEY"), 950, 450) {
    auto* form = new QFormLayout;
    m_key = MakeField(QString(), 16, true);
    m_keyCode = MakeField(QString(), 0, true);
    m_timeOut = new QSpinBox(this);
    m_timeOut->setRange(0, 255);
    m_timeOut->setValue(5);
    PaintField(m_timeOut);
    form->addRow(QStringLiteral("Key"), m_key);
    form->addRow(QStringLiteral("Key Code"), m_keyCode);
    form->addRow(QStringLiteral("Time Out"), m_timeOut);
    static_cast<QBoxLayout*>(layout())->addLayout(form);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    layout()->addWidget(m_ok);
    connect(m_ok, &QPushButton::clicked, this, &CGetKeyDlg::ReadKeys);
}

PcscResult CGetKeyDlg::ReadKeys() {
    // A press while a read runs (queued, or the default button's Enter)
    // would start a second read inside the first, which then resumes with
    // its old time out over the inner one's fields.
    if (LoopRunning()) return static_cast<PcscResult>(KEEP_STATUS_TEXT);
    LoopScope loop(*this);
    m_ok->setEnabled(false);
    m_key->clear();
    m_keyCode->clear();
    const std::vector<std::uint8_t> request = GetKeyRequest(static_cast<std::uint8_t>(m_timeOut->value()));
    PcscResult result = 0;
    for (;;) {
        std::uint8_t key = 0;
        DWORD returned = 0;
        result = Exchange(Code(), request, &key, 1, &returned);
        if (result != 0) {
            // The fields keep the last key read; the failure is not a key.
            ReportResult(result);
            break;
        }
        m_key->setText(ToQString(GetKeyText(key)));
        m_keyCode->setText(ToQString(GetKeyCodeText(key)));
        update();
        if (!PauseBetweenPolls(50) || GetKeyLoopEnds(key, result)) break;
    }
    m_ok->setEnabled(true);
    return result;
}
