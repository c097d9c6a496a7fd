// SPDX-License-Identifier: BSD-3-Clause
// The card-status step: SCardStatus, the ATR and the status tree.

#include "console/ConsoleDlg.h"
#include "console/ConsoleTexts.h"
#include "console/StatusTree.h"

using namespace console;

void CConsoleDlg::OnStatus() {
    ShowStatus(m_session.Status());
    RefreshWindow();
}

void CConsoleDlg::ShowStatus(const StatusOutcome& outcome) {
    for (ConnectionStep step : outcome.steps) ApplyControlChanges(step);
    if (!outcome.showsTree) return;
    m_statusTree->setVisible(true);
    m_statusTree->raise();  // above picture 1040, which may still be shown
    m_statusTree->FillStatusTree(m_session.AtrText(), m_session.Atr().data(), m_session.AtrLength());
}
