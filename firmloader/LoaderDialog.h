// SPDX-License-Identifier: BSD-3-Clause
// LoaderDialog: the firmware loader's one window. It builds its controls from
// the template table, forwards each click to the LoaderSession and shows the
// session's log lines, message boxes and block counter.
#pragma once

#include <QDialog>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

#include "firmloader/LoaderSession.h"

class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class HidBackend;
class DeviceWatch;

class LoaderDialog : public QDialog {
    Q_OBJECT
public:
    LoaderDialog(HidBackend& backend, DeviceWatch& watch, QWidget* parent = nullptr);
    ~LoaderDialog() override;

    // The log list's lines in order (cp1252), for whoever drives the window.
    QStringList LogLines() const;

    // What ends the program when the image cannot be held in memory; by
    // default the process ends at once.
    void SetExitHandler(std::function<void(int code)> handler) { m_exitHandler = std::move(handler); }

    // How long the reader may stay away after the reset that sends it into
    // its boot loader before the log says what to check.
    static constexpr std::chrono::milliseconds kReturnWarningDelay{15000};
    void SetReturnWarningDelay(std::chrono::milliseconds delay);

public slots:
    // Exit, the close box and Escape: a running download stops after the
    // block being sent; the window closes when the click that started it
    // has returned.
    void reject() override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void BuildControls();
    void AppendLog(const std::string& line);
    void ShowMessageBox(const std::string& text);
    void ShowProgress(std::size_t sent, std::size_t total);
    void ShowSending(bool sending);
    void WaitForReturn(bool waiting);

    void OnBrowse();
    void OnDownload();
    void OnGetVersion();
    void OnAbout();

    DeviceWatch& m_watch;
    std::unique_ptr<LoaderSession> m_session;
    QLineEdit* m_pathBox = nullptr;
    QListWidget* m_logList = nullptr;
    QProgressBar* m_progress = nullptr;
    QTimer m_returnTimer;
    std::function<void(int)> m_exitHandler;
};
