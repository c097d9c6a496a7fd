// The secure PIN windows and exchanges ("Verify Pin Value", "Modify Pin
// Value", the vendor worker). Their place in the console until they are
// built: the control list and "SCardControl" already route here.
#include "console/ConsoleDlg.h"

void CConsoleDlg::OpenVerifyPinWindow() {}

void CConsoleDlg::OpenModifyPinWindow() {}

int CConsoleDlg::VerifyPinVendor() { return -1; }

int CConsoleDlg::ModifyPinVendor() { return -1; }

int CConsoleDlg::VerifyPinPcscV2(DWORD code) {
    (void)code;
    return -1;
}

int CConsoleDlg::ModifyPinPcscV2(DWORD code) {
    (void)code;
    return -1;
}
