// SPDX-License-Identifier: BSD-3-Clause
#include "features/ModifyPinDlg.h"

namespace {

std::vector<CPinParamsDlg::Row> Rows() {
    const ModifyPinFields defaults;
    std::vector<CPinParamsDlg::Row> rows;
    for (const auto& row : kModifyPinRows) rows.push_back({row.label, defaults.*row.member});
    return rows;
}

}  // namespace

CModifyPinDlg::CModifyPinDlg(QWidget* parent) : CPinParamsDlg(kModifyPinTitle, kModifyPinGroup, Rows(), parent) {}

ModifyPinFields CModifyPinDlg::ReadFields() const {
    ModifyPinFields fields;
    const std::vector<std::string> texts = FieldTexts();
    for (std::size_t i = 0; i < std::size(kModifyPinRows) && i < texts.size(); ++i)
        fields.*kModifyPinRows[i].member = texts[i];
    return fields;
}
