// Connect steps and controls whose behaviour comes with the reader-control
// work (control codes, part 10 features, reader attributes). Each has one
// call site here so that work plugs in without touching the workflow.

#include <algorithm>
#include <array>

#include "console/ConsoleDlg.h"
#include "console/ConsoleTexts.h"
#include "console/VendorAttribute.h"
#include "readerlink/ResultText.h"
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

void CConsoleDlg::ReadVendorAttribute(unsigned tag) {
    std::array<std::uint8_t, kVendorAnswerSize> answer{};
    DWORD returned = 0;
    const std::array<std::uint8_t, 4> request = VendorAttributeRequest(tag);
    m_lastResult = m_reader.Control(VendorGetAttributeCode(), request.data(), static_cast<DWORD>(request.size()),
                                    answer.data(), static_cast<DWORD>(answer.size()), &returned);
    if (m_lastResult != SCARD_S_SUCCESS) {
        // Other makers' readers do not know the code: their PC/SC name
        // stands in for the value, and the read counts as done.
        const char* name = m_reader.ReaderName(m_selectedReader);
        std::copy_n(name, std::min<std::size_t>(answer.size(), kReaderNameSize), answer.begin());
        m_lastResult = SCARD_S_SUCCESS;
    }
    const std::string value = AttributeText(answer.data(), answer.size());
    if (m_logEnabled) ShowLogFailure(m_logFile.WriteRecord("SCardControl", m_commandText, value));
    m_statusText = value;
    m_lastResult = static_cast<PcscResult>(KEEP_STATUS_TEXT);
    StoreResponse(answer.data(), std::min<unsigned>(returned, static_cast<unsigned>(answer.size())));
    RefreshWindow();
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
