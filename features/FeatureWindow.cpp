// SPDX-License-Identifier: BSD-3-Clause
#include "features/FeatureWindow.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

#include "features/KeypadDisplay.h"
#include "readerlink/ResultText.h"
#include "widgets/MessagePump.h"

namespace {
// The fields' colour: red 0xBD, green 0xBD, blue 0xB7.
const QColor kFieldColour(0xBD, 0xBD, 0xB7);
}  // namespace

CFeatureWindow::CFeatureWindow(QWidget* parent, CReaderLink* link, DWORD code, Report report, const QString& title,
                               int dx, int dy)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_link(link), m_code(code), m_report(std::move(report)), m_dx(dx), m_dy(dy) {
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    new QVBoxLayout(this);
}

void CFeatureWindow::ShowPlaced(int screenWidth, int screenHeight) {
    if (screenWidth <= 0 || screenHeight <= 0) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
        screenWidth = area.width();
        screenHeight = area.height();
    }
    adjustSize();
    const QSize client = sizeHint();
    const features::WindowPlace place =
        features::PlaceFeatureWindow(screenWidth, screenHeight, client.width(), client.height(), m_dx, m_dy);
    // The formula's size is a little narrower than the layout wants at
    // times: never below what the fields need.
    resize(std::max(place.width, minimumSizeHint().width()), std::max(place.height, minimumSizeHint().height()));
    move(place.x, place.y);
    show();
    // In front of the console: at the bottom of the order the placement
    // formula puts some windows wholly behind it. The console keeps the
    // focus, so arrowing through the control list goes on.
    raise();
}

void CFeatureWindow::reject() { close(); }

PcscResult CFeatureWindow::Exchange(DWORD code, const std::vector<std::uint8_t>& input, std::uint8_t* answer,
                                    std::size_t answerSize, DWORD* returned) {
    *returned = 0;
    std::fill(answer, answer + answerSize, std::uint8_t{0});
    if (m_link == nullptr) return NO_HANDLE;
    return m_link->Control(code, input.empty() ? nullptr : input.data(), static_cast<DWORD>(input.size()), answer,
                           static_cast<DWORD>(answerSize), returned);
}

void CFeatureWindow::ReportResult(PcscResult result) {
    if (!m_report) return;
    m_report(m_link ? result : static_cast<PcscResult>(KEEP_STATUS_TEXT), {});
}

void CFeatureWindow::ReportText(std::string_view text) {
    if (m_report) m_report(static_cast<PcscResult>(KEEP_STATUS_TEXT), text);
}

bool CFeatureWindow::PauseBetweenPolls(int ms) {
    DelayMs(ms);
    if (!PumpMessages()) m_stopRequested = true;
    return !m_stopRequested;
}

CFeatureWindow::LoopScope::LoopScope(CFeatureWindow& window) : m_window(window) { ++m_window.m_loopDepth; }

CFeatureWindow::LoopScope::~LoopScope() {
    if (--m_window.m_loopDepth == 0 && m_window.m_deleteAfterLoop) m_window.deleteLater();
}

void CFeatureWindow::closeEvent(QCloseEvent* event) {
    m_stopRequested = true;
    if (m_loopDepth > 0) {
        // The loop still runs on this window's stack: hide now, go when it ends.
        m_deleteAfterLoop = true;
        hide();
        event->ignore();
        emit Closed();
        return;
    }
    // Not the dialog's own handling, which rejects, and rejecting closes here.
    event->accept();
    emit Closed();
}

QGroupBox* CFeatureWindow::AddGroup(const QString& title, QGridLayout*& grid) {
    auto* group = new QGroupBox(title, this);
    grid = new QGridLayout(group);
    layout()->addWidget(group);
    return group;
}

QLineEdit* CFeatureWindow::MakeField(const QString& text, int maxLength, bool readOnly) {
    auto* field = new QLineEdit(text, this);
    if (maxLength > 0) field->setMaxLength(maxLength);
    field->setReadOnly(readOnly);
    PaintField(field);
    return field;
}

void CFeatureWindow::PaintField(QWidget* field) {
    QPalette p = field->palette();
    p.setColor(QPalette::Base, kFieldColour);
    p.setColor(QPalette::Text, Qt::black);
    field->setPalette(p);
}
