// SPDX-License-Identifier: BSD-3-Clause
#include "features/VerifyPinDlg.h"

namespace {

std::vector<CPinParamsDlg::Row> Rows() {
    const VerifyPinFields defaults;
    std::vector<CPinParamsDlg::Row> rows;
    for (const auto& row : kVerifyPinRows) rows.push_back({row.label, defaults.*row.member});
    return rows;
}

}  // namespace

CVerifyPinDlg::CVerifyPinDlg(QWidget* parent) : CPinParamsDlg(kVerifyPinTitle, kVerifyPinGroup, Rows(), parent) {}

VerifyPinFields CVerifyPinDlg::ReadFields() const {
    VerifyPinFields fields;
    const std::vector<std::string> texts = FieldTexts();
    for (std::size_t i = 0; i < std::size(kVerifyPinRows) && i < texts.size(); ++i)
        fields.*kVerifyPinRows[i].member = texts[i];
    return fields;
}
