// SPDX-License-Identifier: BSD-3-Clause
// The first secure PIN path a new user takes, against the demo PIN pad of the
// run command: choose FEATURE_VERIFY_PIN_DIRECT, type the card's VERIFY
// template, press "SCardControl"; the pad's user types the demo PIN.
#include <QTest>

#include <gtest/gtest.h>

#include "../readerlink_pcscd/PcscdBench.h"
#include "FeatureHarness.h"

using namespace console;
using namespace harness;
using namespace fharness;

namespace {

TEST(DemoPin, VerifyDirectWithTheDemoPinGives9000) {
    bench::TraceWatch trace{"trace-demo.log"};
    CConsoleDlg dlg;
    dlg.show();
    Click(dlg, IDC_ESTABLISH);
    ChooseReader(dlg, 0);
    Click(dlg, IDC_CONNECT);
    ASSERT_EQ(StateMismatches(dlg, WindowState::CardConnected), "") << StatusLine(dlg);
    ASSERT_TRUE(ChooseControl(dlg, "FEATURE_VERIFY_PIN_DIRECT"));
    TypeCommand(dlg, "00 20 00 01 04 00 00 00 00");
    QAbstractButton* control = Button(dlg, IDC_CONTROL);
    QTest::mouseClick(control, Qt::LeftButton, {}, control->rect().center());
    QCoreApplication::processEvents();
    EXPECT_EQ(Response(dlg), "90 00 ");
    EXPECT_EQ(StatusLine(dlg), ResultText(SCARD_S_SUCCESS));
    bool pinReachedTheCard = false;
    for (const std::string& call : trace.Calls())
        pinReachedTheCard = pinReachedTheCard || call == "PinTransmit 00 20 00 01 04 31 32 33 34";
    EXPECT_TRUE(pinReachedTheCard);
    dlg.reject();
}

}  // namespace
