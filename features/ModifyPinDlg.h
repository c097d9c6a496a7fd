// SPDX-License-Identifier: BSD-3-Clause
// CModifyPinDlg: the "Modify Pin Value" window, the parameters of a secure
// PIN change.
#pragma once

#include "features/PinParamsDlg.h"
#include "features/PinRequests.h"

class CModifyPinDlg : public CPinParamsDlg {
    Q_OBJECT

public:
    explicit CModifyPinDlg(QWidget* parent = nullptr);

    ModifyPinFields ReadFields() const;
    // Build the structure text of the part 10 layout or the maker's.
    void BuildPcscText() { SetStructureText(BuildPcscModifyText(ReadFields())); }
    void BuildVendorText() { SetStructureText(BuildVendorModifyText(ReadFields())); }
};
