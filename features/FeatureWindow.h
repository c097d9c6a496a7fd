// SPDX-License-Identifier: BSD-3-Clause
// CFeatureWindow: what every keypad and display window shares. It is a
// modeless window bound to the console's reader link and one control code,
// placed near the screen's bottom-right corner, with its fields on the
// console's field colour. A window's polling loop survives the window being
// closed under it: the close is honoured after the poll in progress.
#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "readerlink/ReaderLink.h"

class QGridLayout;
class QGroupBox;
class QLineEdit;

class CFeatureWindow : public QDialog {
    Q_OBJECT
public:
    // Sets the console's last result and refreshes the console; with
    // KEEP_STATUS_TEXT a text that is not empty replaces the status line's.
    using Report = std::function<void(PcscResult, std::string_view text)>;

    CFeatureWindow(QWidget* parent, CReaderLink* link, DWORD code, Report report, const QString& title, int dx,
                   int dy);

    DWORD Code() const { return m_code; }
    bool LoopRunning() const { return m_loopDepth > 0; }
    // Placed by the window formula on a screen of this size (the primary
    // screen's when not given) and shown in front of the console.
    void ShowPlaced(int screenWidth = 0, int screenHeight = 0);

signals:
    // Emitted as the window closes, before its deferred deletion: whoever
    // tracks open windows must know at once, not when the object goes.
    void Closed();

public slots:
    void reject() override;  // Escape closes the window as its close button does

protected:
    // One Control exchange with the bound reader; without a link it fails
    // with NO_HANDLE and the answer stays zero.
    PcscResult Exchange(DWORD code, const std::vector<std::uint8_t>& input, std::uint8_t* answer,
                        std::size_t answerSize, DWORD* returned);
    // The console shows the result in its status line (KEEP_STATUS_TEXT
    // when the window has no link).
    void ReportResult(PcscResult result);
    // The console's status line says text instead of a result's.
    void ReportText(std::string_view text);
    bool HasLink() const { return m_link != nullptr; }

    // Between two polls: wait, let every window work, and tell whether the
    // loop may go on (false once the window was closed).
    bool PauseBetweenPolls(int ms);
    // Marks a loop as running for its scope.
    class LoopScope {
    public:
        explicit LoopScope(CFeatureWindow& window);
        ~LoopScope();
    private:
        CFeatureWindow& m_window;
    };
    bool StopRequested() const { return m_stopRequested; }

    // Layout helpers: a group with a grid, a field on the field colour.
    QGroupBox* AddGroup(const QString& title, QGridLayout*& grid);
    QLineEdit* MakeField(const QString& text, int maxLength = 0, bool readOnly = false);
    void PaintField(QWidget* field);

    void closeEvent(QCloseEvent* event) override;

private:
    CReaderLink* m_link;
    DWORD m_code;
    Report m_report;
    int m_dx;
    int m_dy;
    int m_loopDepth = 0;
    bool m_stopRequested = false;
    bool m_deleteAfterLoop = false;
};
