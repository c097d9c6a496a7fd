// SPDX-License-Identifier: BSD-3-Clause
#include "console/StatusTree.h"

#include <QHeaderView>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <array>

#include "carddata/StatusTreeNodes.h"
#include "widgets/QtText.h"

namespace {

constexpr int kImageSize = 16;

// A smart card seen from the front: body and contact plate.
void DrawCard(QPainter& p, const QColor& body) {
    p.setPen(QPen(body.darker(160), 1));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(0.5, 2.5, 15, 11), 2, 2);
    p.setPen(QPen(QColor(120, 90, 20), 1));
    p.setBrush(QColor(230, 190, 80));
    p.drawRect(QRectF(2.5, 5.5, 5, 4));
    p.drawLine(QPointF(5, 5.5), QPointF(5, 9.5));
}

QPixmap DrawImage(int index) {
    QPixmap pixmap(kImageSize, kImageSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    switch (index) {
        case kImageRoot:  // a plain card: an ATR not accepted, or the historical bytes
            DrawCard(p, QColor(176, 190, 210));
            break;
        case kImageGroup: {  // a folder for T0, TA, TB, TC, TD
            p.setPen(QPen(QColor(150, 110, 20), 1));
            p.setBrush(QColor(245, 200, 90));
            QPainterPath folder;
            folder.moveTo(1.5, 3.5);
            folder.lineTo(6.5, 3.5);
            folder.lineTo(8.0, 5.0);
            folder.lineTo(14.5, 5.0);
            folder.lineTo(14.5, 13.5);
            folder.lineTo(1.5, 13.5);
            folder.closeSubpath();
            p.drawPath(folder);
            p.setBrush(QColor(252, 222, 130));
            p.drawRect(QRectF(1.5, 6.5, 13, 7));
            break;
        }
        case kImageLine:  // a bullet for one decoded line
            p.setPen(QPen(QColor(30, 60, 120), 1));
            p.setBrush(QColor(70, 120, 200));
            p.drawEllipse(QRectF(4.5, 4.5, 7, 7));
            break;
        case kImageRootPass:  // the card with a green tick: the ATR passes the rules
            DrawCard(p, QColor(150, 210, 160));
            p.setPen(QPen(QColor(0, 120, 40), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({QPointF(8.5, 8.5), QPointF(10.5, 11.0), QPointF(14.5, 5.0)}));
            break;
        default:
            break;
    }
    return pixmap;
}

QString NodeText(const AtrTreeNode& node) { return node.utf8 ? Utf8ToQString(node.text) : ToQString(node.text); }

}  // namespace

CStatusTree::CStatusTree(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    setIconSize(QSize(kImageSize, kImageSize));
    setUniformRowHeights(true);
    // Long lines scroll sideways instead of being cut short.
    setTextElideMode(Qt::ElideNone);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

QIcon CStatusTree::StatusImage(int index) {
    static const std::array<QIcon, 4> images = [] {
        std::array<QIcon, 4> icons;
        for (int i = 0; i < 4; ++i) {
            // The same image when selected: no highlighted variant.
            const QPixmap pixmap = DrawImage(i);
            icons[i].addPixmap(pixmap, QIcon::Normal);
            icons[i].addPixmap(pixmap, QIcon::Selected);
        }
        return icons;
    }();
    if (index < 0 || index >= static_cast<int>(images.size())) return {};
    return images[index];
}

void CStatusTree::AddChildren(QTreeWidgetItem* parent, const AtrTreeNode& node) {
    for (const AtrTreeNode& child : node.children) {
        auto* item = new QTreeWidgetItem(parent, QStringList(NodeText(child)));
        item->setIcon(0, StatusImage(child.image));
        item->setData(0, ImageRole, child.image);
        AddChildren(item, child);
    }
}

void CStatusTree::FillTree(const AtrTreeNode& root) {
    clear();
    auto* rootItem = new QTreeWidgetItem(this, QStringList(NodeText(root)));
    rootItem->setIcon(0, StatusImage(root.image));
    rootItem->setData(0, ImageRole, root.image);
    AddChildren(rootItem, root);
    collapseAll();
    rootItem->setExpanded(true);
    scrollToItem(rootItem, QAbstractItemView::PositionAtTop);
}

void CStatusTree::FillStatusTree(std::string_view atrText, const std::uint8_t* atr, std::size_t length) {
    FillTree(BuildStatusTree(atrText, atr, length));
}
