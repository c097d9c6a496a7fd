// Opening the feature windows a choice in the control list asks for.
#include "console/ConsoleDlg.h"

using namespace features;

void CConsoleDlg::OpenFeatureWindow(FeatureWindow window, DWORD code) {
    (void)code;
    switch (window) {
    case FeatureWindow::VerifyPin:
        OpenVerifyPinWindow();
        break;
    case FeatureWindow::ModifyPin:
        OpenModifyPinWindow();
        break;
    case FeatureWindow::GetKeyPressed:
    case FeatureWindow::PinProperties:
    case FeatureWindow::SpeMessage:
    case FeatureWindow::WriteDisplay:
    case FeatureWindow::GetKey:
    case FeatureWindow::DisplayProperties:
    case FeatureWindow::None:
        break;
    }
}

void CConsoleDlg::OpenKeyHistoryWindow(DWORD code) { (void)code; }
