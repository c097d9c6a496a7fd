// SPDX-License-Identifier: BSD-3-Clause
// The card-status step: SCardStatus, the ATR and the status tree.

#include "carddata/HexCodec.h"
#include "console/ConsoleDlg.h"
#include "console/ConsoleTexts.h"
#include "console/StatusTree.h"

using namespace console;

void CConsoleDlg::OnStatus() {
    if (!m_session.ReadStatus()) {
        // The card went away (or was reset by someone else): back to where a
        // new connect is possible; "SCardDisconnect" keeps its state. The
        // handle stays until then, so an attribute read reports the removal.
        m_session.Link().MarkCardGone();
        ApplyControlChanges(ConnectionStep::CardGone);
        ApplyControlChanges(ConnectionStep::StatusFailed);
        RefreshWindow();
        return;
    }
    if (m_session.ShareMode() == SCARD_SHARE_DIRECT) {
        RefreshWindow();
        return;
    }
    m_statusTree->setVisible(true);
    m_statusTree->raise();  // above picture 1040, which may still be shown
    FillStatusTree();
    m_session.LogStatus();
    RefreshWindow();
}

void CConsoleDlg::FillStatusTree() {
    m_statusTree->FillStatusTree(m_session.AtrText(), m_session.Atr().data(), m_session.AtrLength());
}
