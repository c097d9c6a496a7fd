// SPDX-License-Identifier: BSD-3-Clause
// Helpers for driving the console's control list and attribute menu the way
// a user does, against the private pcscd with the demo PIN pad (reader 0)
// and the plain reader (reader 1) of conf-features.
#pragma once

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QTest>

#include <string>
#include <vector>

#include "../console/ConsoleHarness.h"
#include "widgets/QtText.h"
#include "readerlink/ResultText.h"
#include "widgets/MaskedEdit.h"

namespace fharness {

inline constexpr char kDemoReader[] = "TAV Bench PinPad 00 00";
inline constexpr char kPlainReader[] = "Plain Sim Reader 01 00";

inline std::string ResultText(std::uint32_t code) {
    std::string text;
    GetResultText(code, text);
    return text;
}

inline QComboBox* ControlList(const CConsoleDlg& dlg) {
    return qobject_cast<QComboBox*>(dlg.Control(console::IDC_CONTROL_CODES));
}

inline std::vector<std::string> ControlTexts(const CConsoleDlg& dlg) {
    std::vector<std::string> texts;
    for (int i = 0; i < ControlList(dlg)->count(); ++i) texts.push_back(::FromQString(ControlList(dlg)->itemText(i)));
    return texts;
}

// Opens the control list and clicks the entry with this text (any case).
// Returns false when the list has no such entry.
inline bool ChooseControl(CConsoleDlg& dlg, const std::string& text) {
    QComboBox* list = ControlList(dlg);
    const int index = list->findText(::ToQString(text), Qt::MatchFixedString);
    if (index < 0) return false;
    list->showPopup();
    QAbstractItemView* view = list->view();
    const QModelIndex item = view->model()->index(index, 0);
    view->scrollTo(item);
    QCoreApplication::processEvents();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(item).center());
    QCoreApplication::processEvents();
    return list->currentIndex() == index;
}

inline CMaskedEdit* CommandField(const CConsoleDlg& dlg) {
    return qobject_cast<CMaskedEdit*>(dlg.Control(console::IDC_COMMAND));
}

inline void TypeCommand(CConsoleDlg& dlg, const std::string& keys) {
    CommandField(dlg)->ClearText();
    QTest::keyClicks(CommandField(dlg), ::ToQString(keys));
}

inline std::string Response(const CConsoleDlg& dlg) {
    return ::FromQString(qobject_cast<QPlainTextEdit*>(dlg.Control(console::IDC_RESPONSE))->toPlainText());
}

}  // namespace fharness
