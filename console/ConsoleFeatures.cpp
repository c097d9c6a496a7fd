// Connect steps and controls whose behaviour comes with the reader-control
// work (control codes, part 10 features, reader attributes). Each has one
// call site here so that work plugs in without touching the workflow.

#include "console/ConsoleDlg.h"
#include "console/ConsoleTexts.h"
#include "widgets/DropDownButton.h"

using namespace console;

void CConsoleDlg::ReleaseFeatureList() {
    // No feature table is kept yet.
}

void CConsoleDlg::FillControlList() {
    // The control-code list (1015) is filled by the control-code work.
}

bool CConsoleDlg::DiscoverFeatures() {
    // Feature discovery is not built yet: nothing was discovered, so the
    // reader list keeps its plain names.
    return false;
}

void CConsoleDlg::ReadMakerName() {
    // The vendor "Manufacturer Name" read (tag 400) comes with the attribute
    // work; until then no reader is taken for one of the maker's.
}

void CConsoleDlg::OnControlButton() {
    // "SCardControl" runs the control-code exchange of the control-code work.
}

void CConsoleDlg::OnAttributeMenuAboutToOpen() {
    // The vendor entries are read through the maker's control code, which
    // only the maker's readers answer.
    m_attributesButton->SetMakerReader(m_makerReader);
}

void CConsoleDlg::OnAttributeCommand(int command) {
    // The attribute reads come with the attribute work.
    (void)command;
}
