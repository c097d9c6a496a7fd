// SPDX-License-Identifier: BSD-3-Clause
// Opening the feature windows a choice in the control list asks for. Each is
// bound to the console's reader link and its feature's code, and reports its
// results through the console's status line.
#include "console/ConsoleDlg.h"
#include "console/PinExchange.h"
#include "features/DisplayPropertiesDlg.h"
#include "features/GetKeyDlg.h"
#include "features/GetKeyPressedDlg.h"
#include "features/KeyHistoryDlg.h"
#include "features/PinPropertiesDlg.h"
#include "features/SpeMessageDlg.h"
#include "features/WriteDisplayDlg.h"

using namespace features;

void CConsoleDlg::KeepFeatureWindow(QPointer<QWidget>& slot, CFeatureWindow* window) {
    slot = window;
    // Closing any feature window lets the next selection open its own. The
    // flag is cleared as the window closes: its deferred deletion would come
    // after the next selection had set the flag for its own windows.
    connect(window, &CFeatureWindow::Closed, this, [this] { m_featureWindowOpen = false; });
    window->ShowPlaced();
}

std::function<void(PcscResult, std::string_view)> CConsoleDlg::FeatureReport() {
    return [this](PcscResult result, std::string_view text) {
        if (!text.empty()) m_session.SetStatusText(std::string(text));
        m_session.SetLastResult(result);
        RefreshWindow();
    };
}

void CConsoleDlg::OpenFeatureWindow(FeatureWindow window, DWORD code) {
    const CFeatureWindow::Report report = FeatureReport();
    switch (window) {
    case FeatureWindow::VerifyPin:
        PinExchange().OpenVerifyWindow();
        break;
    case FeatureWindow::ModifyPin:
        PinExchange().OpenModifyWindow();
        break;
    case FeatureWindow::GetKeyPressed:
        KeepFeatureWindow(m_getKeyPressedWindow, new CGetKeyPressedDlg(this, &m_session.Link(), code, report));
        break;
    case FeatureWindow::GetKey:
        KeepFeatureWindow(m_getKeyWindow, new CGetKeyDlg(this, &m_session.Link(), code, report));
        break;
    case FeatureWindow::SpeMessage:
        KeepFeatureWindow(m_speMessageWindow, new CSpeMessageDlg(this, &m_session.Link(), code, report));
        break;
    case FeatureWindow::PinProperties: {
        auto* properties = new CPinPropertiesDlg(this, &m_session.Link(), code, report);
        KeepFeatureWindow(m_pinPropertiesWindow, properties);
        properties->ReadPinProperties();
        break;
    }
    case FeatureWindow::DisplayProperties: {
        auto* properties = new CDisplayPropertiesDlg(this, &m_session.Link(), code, report);
        KeepFeatureWindow(m_displayPropertiesWindow, properties);
        properties->ReadDisplayProperties();
        break;
    }
    case FeatureWindow::WriteDisplay: {
        auto* display = new CWriteDisplayDlg(this, &m_session.Link(), code, m_session.Features().CodeOf(kIfdDisplayProperties), report);
        KeepFeatureWindow(m_writeDisplayWindow, display);
        display->ReadDisplayLimits();
        break;
    }
    case FeatureWindow::None:
        break;
    }
}

void CConsoleDlg::OpenKeyHistoryWindow(DWORD code) {
    KeepFeatureWindow(m_keyHistoryWindow, new CKeyHistoryDlg(this, &m_session.Link(), code, FeatureReport()));
}

void CConsoleDlg::CloseAllFeatureWindows() {
    // Every window goes, a running loop after its poll in progress.
    if (m_pinExchange) m_pinExchange->CloseWindows();
    for (QPointer<QWidget>* window : {&m_keyHistoryWindow, &m_getKeyPressedWindow, &m_getKeyWindow, &m_writeDisplayWindow,
                                      &m_displayPropertiesWindow, &m_pinPropertiesWindow, &m_speMessageWindow}) {
        CloseFeatureWindow(*window);
    }
}

void CConsoleDlg::DestroyFeatureWindows() {
    // The console's own destruction: the windows go now, while the console
    // they report to is still whole. No loop runs by then: the console's
    // modal loop returns only once every handler below it has returned.
    if (m_pinExchange) m_pinExchange->DestroyWindows();
    for (QPointer<QWidget>* window : {&m_keyHistoryWindow, &m_getKeyPressedWindow, &m_getKeyWindow, &m_writeDisplayWindow,
                                      &m_displayPropertiesWindow, &m_pinPropertiesWindow, &m_speMessageWindow}) {
        delete window->data();
    }
    m_featureWindowOpen = false;
}

const QPointer<QWidget>& CConsoleDlg::FeatureWindowOf(FeatureWindow window) const {
    static const QPointer<QWidget> kNone;
    switch (window) {
    case FeatureWindow::None: return kNone;
    case FeatureWindow::VerifyPin: return m_pinExchange ? m_pinExchange->VerifyWindowPointer() : kNone;
    case FeatureWindow::ModifyPin: return m_pinExchange ? m_pinExchange->ModifyWindowPointer() : kNone;
    case FeatureWindow::GetKeyPressed: return m_getKeyPressedWindow;
    case FeatureWindow::PinProperties: return m_pinPropertiesWindow;
    case FeatureWindow::SpeMessage: return m_speMessageWindow;
    case FeatureWindow::WriteDisplay: return m_writeDisplayWindow;
    case FeatureWindow::GetKey: return m_getKeyWindow;
    case FeatureWindow::DisplayProperties: return m_displayPropertiesWindow;
    }
    return kNone;
}
