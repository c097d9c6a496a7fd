// SPDX-License-Identifier: BSD-3-Clause
#include "carddata/StatusTreeNodes.h"

#include "carddata/AtrSoundness.h"
#include "carddata/CardList.h"

AtrTreeNode BuildStatusTree(std::string_view atrText, const std::uint8_t* atr, std::size_t length) {
    AtrTreeNode root = BuildAtrTree(atrText, atr, length);
    AtrTreeNode names;
    if (CardNamesNode(SharedCardList(), atr, length, names)) root.children.push_back(std::move(names));
    root.children.push_back(AtrSoundnessNode(atr, length));
    return root;
}
