// SPDX-License-Identifier: BSD-3-Clause
// CStatusTree: the status tree of the main window (control 1039) and of the
// "Parse ATR" preview. It only copies the nodes that BuildStatusTree arranged:
// texts, images and order all come from the core.
#pragma once

#include <QIcon>
#include <QTreeWidget>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "carddata/AtrAnalyser.h"

class CStatusTree : public QTreeWidget {
    Q_OBJECT
public:
    // Item data role holding the node's image index (StatusTreeImage).
    static constexpr int ImageRole = Qt::UserRole + 1;

    explicit CStatusTree(QWidget* parent = nullptr);

    // Replaces every item with the nodes of root, scrolls the root to the
    // top and expands the root only.
    void FillTree(const AtrTreeNode& root);
    // The same for an ATR: atrText at the root, the decoding of atr below.
    void FillStatusTree(std::string_view atrText, const std::uint8_t* atr, std::size_t length);

    // Image 0 to 3 of the tree's image list (16 by 16); a null icon outside.
    static QIcon StatusImage(int index);

private:
    void AddChildren(QTreeWidgetItem* parent, const AtrTreeNode& node);
};
