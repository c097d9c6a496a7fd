// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "carddata/CardList.h"
#include "carddata/HexCodec.h"
#include "console/ParseAtrDlg.h"
#include "console/StatusTree.h"
#include "widgets/MaskedEdit.h"
#include "widgets/QtText.h"

namespace {

int Image(const QTreeWidgetItem* item) { return item->data(0, CStatusTree::ImageRole).toInt(); }

std::vector<QString> ChildTexts(const QTreeWidgetItem* item) {
    std::vector<QString> texts;
    for (int i = 0; i < item->childCount(); ++i) texts.push_back(item->child(i)->text(0));
    return texts;
}

const std::string kSampleList = BENCHKIT_SOURCE_DIR "/tests/carddata/data/card_list_sample.txt";

TEST(StatusTree, ShowsTheDecodedAtrWithOnlyTheRootExpanded) {
    SetSharedCardListPath(kSampleList);
    CStatusTree tree;
    tree.resize(406, 105);  // control 1039 at the console's font
    tree.show();
    const std::uint8_t atr[200] = {0x3B, 0xE2, 0x00, 0x00, 0x81, 0x31, 0x20, 0x45, 0x01, 0x02};
    tree.FillStatusTree("3B E2 00 00 81 31 20 45 01 02 ", atr, sizeof atr);

    ASSERT_EQ(tree.topLevelItemCount(), 1);
    const QTreeWidgetItem* root = tree.topLevelItem(0);
    EXPECT_EQ(root->text(0), "3B E2 00 00 81 31 20 45 01 02 ");
    EXPECT_EQ(Image(root), kImageRootPass);
    EXPECT_EQ(ChildTexts(root),
              (std::vector<QString>{"T0", "TA", "TB", "TC", "TD", "Card names", "ATR soundness"}));
    EXPECT_TRUE(root->isExpanded());
    for (int i = 0; i < root->childCount(); ++i) {
        EXPECT_FALSE(root->child(i)->isExpanded()) << i;
        EXPECT_EQ(Image(root->child(i)), kImageGroup);
    }
    const QTreeWidgetItem* t0 = root->child(0);
    EXPECT_EQ(ChildTexts(t0), (std::vector<QString>{"ATR with 2 Historical Byte(s) ", "01 02 "}));
    EXPECT_EQ(Image(t0->child(0)), kImageLine);
    EXPECT_EQ(Image(t0->child(1)), kImageRoot);
    EXPECT_EQ(ChildTexts(t0->child(1)), (std::vector<QString>{"\x01\x02"}));
    EXPECT_EQ(ChildTexts(root->child(1)),
              (std::vector<QString>{"[TA1] Absent. Default Value are Fi= 372 Di= 1 ", "[TA3] T=1 IFSD=32 "}));
    EXPECT_EQ(ChildTexts(root->child(3)), (std::vector<QString>{"[TC1] Extra GuardTime : 0 "}));
    EXPECT_EQ(ChildTexts(root->child(4)),
              (std::vector<QString>{"Protocole reference on TD1 is T=1 ", "Protocole reference on TD2 is T=1 "}));
    EXPECT_EQ(tree.itemAt(2, 2), root);  // the root is the first visible item
    EXPECT_EQ(root->icon(0).cacheKey(), CStatusTree::StatusImage(kImageRootPass).cacheKey());

    // A refill replaces everything; a failing ATR gets the plain root image.
    const std::uint8_t failing[] = {0x3B, 0x20, 0x01};
    tree.FillStatusTree("3B 20 01 ", failing, sizeof failing);
    ASSERT_EQ(tree.topLevelItemCount(), 1);
    EXPECT_EQ(Image(tree.topLevelItem(0)), kImageRoot);
    EXPECT_EQ(ChildTexts(tree.topLevelItem(0)->child(2)), (std::vector<QString>{"[TB1] =1 "}));
}

TEST(StatusTree, LongLinesScrollInsteadOfBeingCut) {
    CStatusTree tree;
    tree.resize(200, 105);
    tree.show();
    const std::uint8_t atr[] = {0x3B, 0x9F, 0x96, 0x80, 0x1F, 0xC7, 0x80, 0x31, 0xE0, 0x73, 0xFE, 0x21,
                                0x1B, 0x63, 0x3A, 0x20, 0x4E, 0x83, 0x00, 0x90, 0x00, 0x31};
    tree.FillStatusTree("3B 9F 96 80 1F C7 80 31 E0 73 FE 21 1B 63 3A 20 4E 83 00 90 00 31 ", atr, sizeof atr);
    QTreeWidgetItem* ta = tree.topLevelItem(0)->child(1);
    ASSERT_EQ(ta->childCount(), 2);  // TA1 and TA3
    const QTreeWidgetItem* ta3 = ta->child(1);
    EXPECT_EQ(ta->child(0)->text(0), "[TA1] Di = 32  Fi = 512");
    ASSERT_EQ(ta3->text(0), "[TA3] Clock Stop : C0 and Class Indicator U : 07 ");
    tree.expandAll();
    QTest::qWait(1);
    const int needed = tree.fontMetrics().horizontalAdvance(ta3->text(0));
    EXPECT_GE(tree.header()->sectionSize(0), needed);
    EXPECT_GT(tree.horizontalScrollBar()->maximum(), 0);
}

TEST(StatusTree, FourDistinctImages) {
    std::vector<QImage> images;
    for (int i = 0; i < 4; ++i) {
        const QIcon icon = CStatusTree::StatusImage(i);
        ASSERT_FALSE(icon.isNull()) << i;
        images.push_back(icon.pixmap(16, 16).toImage());
        EXPECT_EQ(images.back().size(), QSize(16, 16));
        EXPECT_EQ(images.back().pixelColor(0, 0).alpha(), 0) << i;  // transparent background
    }
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j) EXPECT_NE(images[i], images[j]) << i << " " << j;
    EXPECT_TRUE(CStatusTree::StatusImage(4).isNull());
}

// The dialog run as the main window runs it, with no context and no card:
// typed text, "Parse", then the text's bytes decoded into the tree.
TEST(ParseAtrDialog, TypedAtrFillsTheTreeWithoutACard) {
    CParseAtrDlg dialog(nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Parse ATR");
    EXPECT_EQ(dialog.AtrField()->GetText().size(), 239u);  // 80 groups and the fixed spaces between them
    QTimer::singleShot(0, &dialog, [&] {
        QTest::keyClicks(dialog.AtrField(), "3b0214");
        QTest::keyClicks(dialog.AtrField(), "50");
        dialog.findChild<QPushButton*>("1")->click();
    });
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    const std::string text = dialog.AtrText();
    ASSERT_EQ(text.size(), 239u);
    EXPECT_EQ(text.substr(0, 12), "3B 02 14 50 ");
    EXPECT_EQ(text.find_first_not_of(' ', 12), std::string::npos);

    std::array<std::uint8_t, 200> atr{};
    unsigned count = 0;
    CHexCodec().HexToBytes(text, atr.data(), atr.size(), count);
    EXPECT_EQ(count, 4u);
    CStatusTree tree;
    tree.FillStatusTree(text, atr.data(), atr.size());
    const QTreeWidgetItem* root = tree.topLevelItem(0);
    EXPECT_EQ(root->text(0), ToQString(text));  // the typed text unchanged, blanks included
    EXPECT_EQ(Image(root), kImageRootPass);
    EXPECT_EQ(root->child(0)->child(1)->text(0), "14 50 ");
    EXPECT_EQ(root->child(0)->child(1)->child(0)->text(0), QString("\x14P"));
}

TEST(ParseAtrDialog, ExitAndEnter) {
    {
        CParseAtrDlg dialog(nullptr);
        QTimer::singleShot(0, &dialog, [&] {
            QTest::keyClicks(dialog.AtrField(), "3B00");
            dialog.findChild<QPushButton*>("2")->click();
        });
        EXPECT_EQ(dialog.exec(), QDialog::Rejected);
        EXPECT_EQ(dialog.AtrText(), "");
    }
    CParseAtrDlg dialog(nullptr);
    QTimer::singleShot(0, &dialog, [&] {
        QTest::keyClicks(dialog.AtrField(), "3B00");
        QTest::keyClick(dialog.AtrField(), Qt::Key_Return);
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.AtrText().substr(0, 6), "3B 00 ");
}

// The two nodes after the groups, filled from an ATR typed into the "Parse
// ATR" dialog with real key presses and a click on "Parse": the card's names
// from a test list, and the ATR's soundness from its real (typed) length.
struct TypedAtrCase {
    const char* name;
    const char* keys;
    std::vector<QString> cardNames;
    std::vector<QString> soundness;
};

class TypedAtr : public ::testing::TestWithParam<TypedAtrCase> {
protected:
    void TearDown() override { SetSharedCardListPath(kSystemCardListPath); }
};

TEST_P(TypedAtr, TreeShowsCardNamesAndSoundness) {
    const TypedAtrCase& c = GetParam();
    SetSharedCardListPath(kSampleList);
    CParseAtrDlg dialog(nullptr);
    QTimer::singleShot(0, &dialog, [&] {
        QTest::keyClicks(dialog.AtrField(), c.keys);
        auto* parse = dialog.findChild<QPushButton*>("1");
        QTest::mouseClick(parse, Qt::LeftButton, {}, parse->rect().center());
    });
    ASSERT_EQ(dialog.exec(), QDialog::Accepted);
    std::array<std::uint8_t, 200> atr{};
    unsigned count = 0;
    CHexCodec().HexToBytes(dialog.AtrText(), atr.data(), atr.size(), count);

    CStatusTree tree;
    tree.resize(406, 105);
    tree.show();
    tree.FillStatusTree(dialog.AtrText(), atr.data(), count);
    const QTreeWidgetItem* root = tree.topLevelItem(0);
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->childCount(), 7);
    EXPECT_EQ(root->child(0)->text(0), "T0");
    EXPECT_EQ(root->child(4)->text(0), "TD");
    const QTreeWidgetItem* names = root->child(5);
    const QTreeWidgetItem* soundness = root->child(6);
    EXPECT_EQ(names->text(0), "Card names");
    EXPECT_EQ(soundness->text(0), "ATR soundness");
    EXPECT_EQ(ChildTexts(names), c.cardNames);
    EXPECT_EQ(ChildTexts(soundness), c.soundness);
    for (const QTreeWidgetItem* node : {names, soundness}) {
        EXPECT_EQ(Image(node), kImageGroup);
        EXPECT_FALSE(node->isExpanded());
        for (int i = 0; i < node->childCount(); ++i) EXPECT_EQ(Image(node->child(i)), kImageLine);
    }
    // The root stays the first visible item.
    EXPECT_EQ(tree.itemAt(2, 2), root);
}

INSTANTIATE_TEST_SUITE_P(
    StatusTree, TypedAtr,
    ::testing::Values(
        TypedAtrCase{"DemoCard",
                     "3B888001544156204445" "4D4F69",
                     {"Bench kit demo card (simulated reader)", "https://example.invalid/demo-card",
                      "Demo family, any TCK"},
                     {"TCK required: T=1 offered", "TCK = 69, exclusive-or of T0 to TCK = 00: correct",
                      "complete: 13 bytes announced, 13 present"}},
        TypedAtrCase{"DemoCardWrongTck",
                     "3b888001544156204445" "4d4f68",
                     {"Bench kit demo card (simulated reader)", "Demo family, any TCK"},
                     {"TCK required: T=1 offered", "TCK = 68, exclusive-or of T0 to TCK = 01: wrong, TCK should be 69",
                      "complete: 13 bytes announced, 13 present"}},
        // Letters outside code page 1252 reach the tree unchanged; an
        // ill-formed byte of the list shows as U+FFFD.
        TypedAtrCase{"UnicodeNames", "3B024751", {"Karta polska: \u0119 \u010C \u0131", "Bad byte \uFFFD kept"},
                     {"TCK not required: only T=0 offered", "TCK absent", "complete: 4 bytes announced, 4 present"}},
        TypedAtrCase{"TruncatedUnknown", "3B8880015441",
                     {"Not in the card list"},
                     {"TCK required: T=1 offered", "TCK absent although required",
                      "truncated: 13 bytes announced, 6 present"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
