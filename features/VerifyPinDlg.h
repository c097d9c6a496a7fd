// SPDX-License-Identifier: BSD-3-Clause
// CVerifyPinDlg: the "Verify Pin Value" window, the parameters of a secure
// PIN verification.
#pragma once

#include "features/PinParamsDlg.h"
#include "features/PinRequests.h"

class CVerifyPinDlg : public CPinParamsDlg {
    Q_OBJECT

public:
    explicit CVerifyPinDlg(QWidget* parent = nullptr);

    VerifyPinFields ReadFields() const;
    // Build the structure text of the part 10 layout or the maker's.
    void BuildPcscText() { SetStructureText(BuildPcscVerifyText(ReadFields())); }
    void BuildVendorText() { SetStructureText(BuildVendorVerifyText(ReadFields())); }
};
