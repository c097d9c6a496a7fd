// The card-status step: SCardStatus, the ATR and the status tree.

#include "carddata/HexCodec.h"
#include "console/ConsoleDlg.h"
#include "console/ConsoleTexts.h"
#include "console/StatusTree.h"

using namespace console;

void CConsoleDlg::OnStatus() {
    DWORD nameLength = kReaderNameSize;
    DWORD state = 0;
    DWORD protocol = 0;
    DWORD atrLength = static_cast<DWORD>(m_atr.size());
    m_lastResult = m_reader.Status(m_reader.ReaderName(m_selectedReader), &nameLength, &state, &protocol,
                                   m_atr.data(), &atrLength);
    if (m_lastResult != SCARD_S_SUCCESS) {
        // The card went away (or was reset by someone else): back to where a
        // new connect is possible; "SCardDisconnect" keeps its state. The
        // handle stays until then, so an attribute read reports the removal.
        m_reader.MarkCardGone();
        ShowCommandArea(false);
        m_statusTree->setVisible(false);
        SetEnabled({IDC_CONNECT}, true);
        SetEnabled({IDC_RECONNECT, IDC_COLD_RESET, IDC_WARM_RESET, IDC_STATUS, IDC_TRANSMIT, IDC_PLAY_COMMANDS,
                    IDC_CONTROL, IDC_RESPONSE_FORMAT},
                   false);
        RefreshWindow();
        return;
    }
    if (m_shareMode == SCARD_SHARE_DIRECT) {
        RefreshWindow();
        return;
    }
    // The resource manager reports the length it has; never read past the copy.
    const unsigned count = std::min<unsigned>(atrLength, static_cast<unsigned>(m_atr.size()));
    m_statusTree->setVisible(true);
    m_statusTree->raise();  // above picture 1040, which may still be shown
    m_atrText = CHexCodec().BytesToHex(count, m_atr.data());
    m_atrLength = count;
    FillStatusTree();
    if (m_logEnabled) {
        const std::string_view atr(m_atrText.data(), count > 0 ? 3 * count - 1 : 0);
        ShowLogFailure(m_logFile.WriteShortRecord("SCardStatus Request", atr));
    }
    RefreshWindow();
}

void CConsoleDlg::FillStatusTree() { m_statusTree->FillStatusTree(m_atrText, m_atr.data(), m_atrLength); }
