// SPDX-License-Identifier: BSD-3-Clause
// The console's window against the emulated serial CCID PIN pad behind the
// real serial CCID driver: real clicks and typing, the driver's feature list
// in the control list, and a secure PIN verify with the window's default
// fields (the keypad scripts of simreader/scenarios/ccid.scn, in order:
// the right PIN, then a wrong one).
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

#include "../readerlink_pcscd/PcscdBench.h"
#include "FeatureHarness.h"
#include "features/VerifyPinDlg.h"

using namespace console;
using namespace harness;
using namespace fharness;

namespace {

const char kVerifyApdu[] = "00 20 00 01 04 FF FF FF FF";

void Press(CConsoleDlg& dlg, int id)
{
    QAbstractButton* button = Button(dlg, id);
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    QCoreApplication::processEvents();
}

TEST(CcidConsole, VerifyThroughTheRealDriver)
{
    bench::TraceWatch trace{"trace-ccid.log"};
    CConsoleDlg dlg;
    dlg.show();
    ASSERT_NO_FATAL_FAILURE(EstablishAndConnect(dlg));
    EXPECT_EQ(FromQString(ReaderList(dlg)->itemText(0)), "Bench CCID PinPad 00 00 PCSC V2 with 4 Feature(s)");
    const std::vector<std::string> controls = ControlTexts(dlg);
    for (const char* name : {"FEATURE_VERIFY_PIN_DIRECT", "FEATURE_MODIFY_PIN_DIRECT", "FEATURE_IFD_PIN_PROP",
                             "FEATURE_GET_TLV_PROPERTIES"})
        EXPECT_NE(std::find(controls.begin(), controls.end(), name), controls.end()) << name;

    ASSERT_TRUE(ChooseControl(dlg, "FEATURE_VERIFY_PIN_DIRECT"));
    TypeCommand(dlg, kVerifyApdu);
    Press(dlg, IDC_CONTROL);
    EXPECT_EQ(Response(dlg), "90 00 ");
    EXPECT_EQ(StatusLine(dlg), ResultText(SCARD_S_SUCCESS));
    Press(dlg, IDC_CONTROL);
    EXPECT_EQ(Response(dlg), "63 C2 ");
    std::vector<std::string> sent;
    for (const std::string& call : trace.Calls())
        if (call.rfind("PinTransmit", 0) == 0)
            sent.push_back(call);
    EXPECT_EQ(sent, (std::vector<std::string>{"PinTransmit 00 20 00 01 04 31 32 33 34",
                                              "PinTransmit 00 20 00 01 04 39 39 39 39"}));
    dlg.reject();
    QCoreApplication::processEvents();
}

}  // namespace
