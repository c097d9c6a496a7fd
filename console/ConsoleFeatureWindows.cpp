// Opening the feature windows a choice in the control list asks for. Each is
// bound to the console's reader link and its feature's code, and reports its
// results through the console's status line.
#include "console/ConsoleDlg.h"
#include "features/DisplayPropertiesDlg.h"
#include "features/GetKeyDlg.h"
#include "features/GetKeyPressedDlg.h"
#include "features/KeyHistoryDlg.h"
#include "features/PinPropertiesDlg.h"
#include "features/SpeMessageDlg.h"
#include "features/WriteDisplayDlg.h"

using namespace features;

namespace {

template <class Window>
Window* Keep(CConsoleDlg& console, QPointer<QWidget>& slot, Window* window, bool& openFlag) {
    slot = window;
    // Closing any feature window lets the next selection open its own.
    QObject::connect(window, &QObject::destroyed, &console, [&openFlag] { openFlag = false; });
    window->ShowPlaced();
    return window;
}

}  // namespace

void CConsoleDlg::OpenFeatureWindow(FeatureWindow window, DWORD code) {
    const CFeatureWindow::Report report = [this](PcscResult result) {
        m_lastResult = result;
        RefreshWindow();
    };
    switch (window) {
    case FeatureWindow::VerifyPin:
        OpenVerifyPinWindow();
        break;
    case FeatureWindow::ModifyPin:
        OpenModifyPinWindow();
        break;
    case FeatureWindow::GetKeyPressed:
        Keep(*this, m_getKeyPressedWindow, new CGetKeyPressedDlg(this, &m_reader, code, report), m_featureWindowOpen);
        break;
    case FeatureWindow::GetKey:
        Keep(*this, m_getKeyWindow, new CGetKeyDlg(this, &m_reader, code, report), m_featureWindowOpen);
        break;
    case FeatureWindow::SpeMessage:
        Keep(*this, m_speMessageWindow, new CSpeMessageDlg(this, &m_reader, code, report), m_featureWindowOpen);
        break;
    case FeatureWindow::PinProperties:
        Keep(*this, m_pinPropertiesWindow, new CPinPropertiesDlg(this, &m_reader, code, report), m_featureWindowOpen)
            ->ReadPinProperties();
        break;
    case FeatureWindow::DisplayProperties:
        Keep(*this, m_displayPropertiesWindow, new CDisplayPropertiesDlg(this, &m_reader, code, report),
             m_featureWindowOpen)
            ->ReadDisplayProperties();
        break;
    case FeatureWindow::WriteDisplay:
        Keep(*this, m_writeDisplayWindow,
             new CWriteDisplayDlg(this, &m_reader, code, m_features.CodeOf(kIfdDisplayProperties), report),
             m_featureWindowOpen)
            ->ReadDisplayLimits();
        break;
    case FeatureWindow::None:
        break;
    }
}

void CConsoleDlg::OpenKeyHistoryWindow(DWORD code) {
    Keep(*this, m_keyHistoryWindow,
         new CKeyHistoryDlg(this, &m_reader, code,
                            [this](PcscResult result) {
                                m_lastResult = result;
                                RefreshWindow();
                            }),
         m_featureWindowOpen);
}

void CConsoleDlg::CloseAllFeatureWindows() {
    // The console goes: every window goes with it, a running loop after its
    // poll in progress.
    for (QPointer<QWidget>* window :
         {&m_verifyPinWindow, &m_modifyPinWindow, &m_keyHistoryWindow, &m_getKeyPressedWindow, &m_getKeyWindow,
          &m_writeDisplayWindow, &m_displayPropertiesWindow, &m_pinPropertiesWindow, &m_speMessageWindow}) {
        CloseFeatureWindow(*window);
    }
}
