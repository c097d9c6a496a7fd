// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/MaskedEdit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include "widgets/QtText.h"

CMaskedEdit::CMaskedEdit(QWidget* parent) : QPlainTextEdit(parent) {
    setUndoRedoEnabled(false);
    setTabChangesFocus(true);
    setOverwriteMode(true);
    setAcceptDrops(false);
    // Letters, digits and blanks in a fixed-pitch font need no shaping: glyph
    // by glyph they look the same, and every change lays out the whole mask.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleStrategy(QFont::PreferNoShaping);
    setFont(font);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &CMaskedEdit::SnapCursor);
    // Anything that changed the document behind the mask's back (a drag
    // moving text out, an input method) is put back to the mask's text.
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_syncing && toPlainText() != ToQString(m_mask.Text())) ShowText(m_mask.NormalizeCursor(CursorPosition()));
    });
}

void CMaskedEdit::SetMask(std::string_view mask) {
    m_mask.SetMask(mask);
    ShowText(m_mask.FirstEditable());
    emit TextEdited();
}

void CMaskedEdit::SetHexGroups(int groups) { SetMask(MakeHexMask(groups)); }

std::string CMaskedEdit::GetText() const { return m_mask.Text(); }

void CMaskedEdit::SetText(std::string_view cp1252Text) {
    m_mask.SetText(cp1252Text);
    ShowText(m_mask.FirstEditable());
    emit TextEdited();
}

void CMaskedEdit::ClearText() {
    m_mask.Clear();
    ShowText(m_mask.FirstEditable());
    emit TextEdited();
}

int CMaskedEdit::CursorPosition() const { return textCursor().position(); }

void CMaskedEdit::SetCursorPosition(int pos) {
    MoveCursor(m_mask.NormalizeCursor(pos < 0 ? 0 : static_cast<std::size_t>(pos)), false);
}

void CMaskedEdit::ShowText(std::size_t cursor) {
    m_syncing = true;
    const QString wanted = ToQString(m_mask.Text());
    const QString shown = toPlainText();
    if (wanted != shown) {
        // Replace only the span that differs, so the view keeps its scrolling.
        qsizetype first = 0;
        while (first < wanted.size() && first < shown.size() && wanted[first] == shown[first]) ++first;
        qsizetype tailWanted = wanted.size(), tailShown = shown.size();
        while (tailWanted > first && tailShown > first && wanted[tailWanted - 1] == shown[tailShown - 1]) {
            --tailWanted;
            --tailShown;
        }
        QTextCursor edit(document());
        edit.setPosition(static_cast<int>(first));
        edit.setPosition(static_cast<int>(tailShown), QTextCursor::KeepAnchor);
        edit.insertText(wanted.mid(first, tailWanted - first));
    }
    KeepShaping();
    QTextCursor c = textCursor();
    // Placing the cursor also shows the caret at once in a focused field.
    if (hasFocus() || c.hasSelection() || c.position() != static_cast<int>(cursor)) {
        c.setPosition(static_cast<int>(cursor));
        setTextCursor(c);
    } else {
        // The cursor is already there: only bring it into view, as placing it would.
        ensureCursorVisible();
    }
    m_syncing = false;
}

void CMaskedEdit::KeepShaping() {
    // The whole mask is one paragraph of several hundred characters. Without
    // a cache its layout drops the shaped glyphs after every layout, and the
    // cursor placement and the next paint shape the whole paragraph again.
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (QTextLayout* layout = block.layout()) layout->setCacheEnabled(true);
    }
}

bool CMaskedEdit::SelectionRange(std::size_t& from, std::size_t& to) const {
    QTextCursor c = textCursor();
    if (!c.hasSelection()) return false;
    from = static_cast<std::size_t>(c.selectionStart());
    to = static_cast<std::size_t>(c.selectionEnd());
    return true;
}

void CMaskedEdit::MoveCursor(std::size_t pos, bool keepAnchor) {
    QTextCursor c = textCursor();
    c.setPosition(static_cast<int>(pos), keepAnchor ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
    m_syncing = true;
    setTextCursor(c);
    m_syncing = false;
    ensureCursorVisible();
}

void CMaskedEdit::SnapCursor() {
    if (m_syncing) return;
    QTextCursor c = textCursor();
    if (c.hasSelection()) return;
    const std::size_t pos = static_cast<std::size_t>(c.position());
    const std::size_t snapped = m_mask.NormalizeCursor(pos);
    if (snapped != pos) MoveCursor(snapped, false);
}

void CMaskedEdit::CutSelection() {
    std::size_t from = 0, to = 0;
    if (isReadOnly() || !SelectionRange(from, to)) return;
    copy();
    ShowText(m_mask.ClearRange(from, to));
    emit TextEdited();
}

void CMaskedEdit::PasteText(const QString& text) {
    if (isReadOnly()) return;
    // A field holds a few hundred digits; a huge clipboard is not converted whole.
    constexpr qsizetype kMaxPasted = 1 << 16;
    std::size_t from = 0, to = 0;
    std::size_t cursor = static_cast<std::size_t>(CursorPosition());
    if (SelectionRange(from, to)) cursor = m_mask.ClearRange(from, to);
    ShowText(m_mask.Paste(cursor, FromQString(text.left(kMaxPasted))));
    emit TextEdited();
}

void CMaskedEdit::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool shift = (event->modifiers() & Qt::ShiftModifier) != 0;
    std::size_t from = 0, to = 0;
    const bool selected = SelectionRange(from, to);
    const std::size_t cursor = static_cast<std::size_t>(CursorPosition());

    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        emit EnterPressed();
        event->accept();
        return;
    }
    if (event == QKeySequence::Copy) {
        copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        selectAll();
        return;
    }
    if (isReadOnly()) {
        // Only moves, copying and Enter above and below; nothing is edited.
        switch (key) {
            case Qt::Key_Left: MoveCursor(m_mask.CursorLeft(cursor), shift); return;
            case Qt::Key_Right: MoveCursor(m_mask.CursorRight(cursor), shift); return;
            case Qt::Key_Home: MoveCursor(m_mask.FirstEditable(), shift); return;
            case Qt::Key_End: MoveCursor(m_mask.EndOfInput(), shift); return;
            default: QPlainTextEdit::keyPressEvent(event); return;
        }
    }
    if (event == QKeySequence::Cut) {
        CutSelection();
        return;
    }
    if (event == QKeySequence::Paste) {
        PasteText(QApplication::clipboard()->text());
        return;
    }
    if (event == QKeySequence::Undo || event == QKeySequence::Redo) return;

    switch (key) {
        case Qt::Key_Backspace:
            ShowText(selected ? m_mask.ClearRange(from, to) : m_mask.Backspace(cursor));
            emit TextEdited();
            return;
        case Qt::Key_Delete:
            ShowText(selected ? m_mask.ClearRange(from, to) : m_mask.Delete(cursor));
            emit TextEdited();
            return;
        case Qt::Key_Left:
            MoveCursor(m_mask.CursorLeft(cursor), shift);
            return;
        case Qt::Key_Right:
            MoveCursor(m_mask.CursorRight(cursor), shift);
            return;
        case Qt::Key_Home:
            MoveCursor(m_mask.FirstEditable(), shift);
            return;
        case Qt::Key_End:
            MoveCursor(m_mask.EndOfInput(), shift);
            return;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            // Line moves and focus moves change no text; the cursor is
            // snapped off any literal afterwards.
            QPlainTextEdit::keyPressEvent(event);
            return;
        case Qt::Key_Escape:
            event->ignore();
            return;
        default:
            break;
    }

    const QString text = event->text();
    if (text.isEmpty() || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0) {
        event->ignore();
        return;
    }
    std::size_t pos = selected ? m_mask.ClearRange(from, to) : cursor;
    const std::size_t start = pos;
    for (QChar ch : text) {
        if (ch.unicode() < 0x80) pos = m_mask.Type(pos, static_cast<char>(ch.unicode()));
    }
    if (selected || pos != start) {
        ShowText(pos);
        emit TextEdited();
    }
    event->accept();
}

void CMaskedEdit::inputMethodEvent(QInputMethodEvent* event) {
    // Only committed text counts; it is typed as keys would be.
    const QString text = event->commitString();
    if (!text.isEmpty() && !isReadOnly()) {
        std::size_t pos = static_cast<std::size_t>(CursorPosition());
        std::size_t from = 0, to = 0;
        if (SelectionRange(from, to)) pos = m_mask.ClearRange(from, to);
        for (QChar ch : text)
            if (ch.unicode() < 0x80) pos = m_mask.Type(pos, static_cast<char>(ch.unicode()));
        ShowText(pos);
        emit TextEdited();
    }
    event->accept();
}

void CMaskedEdit::mouseReleaseEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseReleaseEvent(event);
    // A field of blanks has no words to place a click by: the text layout
    // puts it at the end of a line, where typing would go nowhere. A plain
    // click goes to where typing can go on; a drag keeps its selection.
    if (event->button() == Qt::LeftButton && !textCursor().hasSelection()) {
        MoveCursor(m_mask.ClickPosition(static_cast<std::size_t>(CursorPosition())), false);
        return;
    }
    SnapCursor();
}

void CMaskedEdit::focusInEvent(QFocusEvent* event) {
    QPlainTextEdit::focusInEvent(event);
    SnapCursor();
}

void CMaskedEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu(event->pos());
    // The standard entries that cut, delete or undo would remove characters of
    // the mask; they are routed through the mask or dropped.
    for (QAction* action : menu->actions()) {
        const QString name = action->objectName();
        if (name == QLatin1String("edit-undo") || name == QLatin1String("edit-redo")) {
            menu->removeAction(action);
        } else if (name == QLatin1String("edit-cut")) {
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this, &CMaskedEdit::CutSelection);
        } else if (name == QLatin1String("edit-delete")) {
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this, [this] {
                std::size_t from = 0, to = 0;
                if (SelectionRange(from, to)) {
                    ShowText(m_mask.ClearRange(from, to));
                    emit TextEdited();
                }
            });
        }
    }
    menu->exec(event->globalPos());
    delete menu;
}

bool CMaskedEdit::canInsertFromMimeData(const QMimeData* source) const { return source != nullptr && source->hasText(); }

void CMaskedEdit::insertFromMimeData(const QMimeData* source) {
    if (source != nullptr && source->hasText()) PasteText(source->text());
}

QMimeData* CMaskedEdit::createMimeDataFromSelection() const {
    auto* data = new QMimeData;
    data->setText(textCursor().selectedText());
    return data;
}
