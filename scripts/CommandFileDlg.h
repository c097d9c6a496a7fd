// SPDX-License-Identifier: BSD-3-Clause
// CCommandFileDlg: the command-file window (dialog 103). A modeless window of
// the main window showing the command names of one file in order, with the
// "Loop :" count of the players and a delete button. The list itself is a
// CCommandList; the two list boxes show its names and (hidden) its texts.
// The file is read when the window starts and written back to the same
// place when the main window lets it go (SaveCommandFile).
#pragma once

#include <QDialog>

#include <string>

#include "scripts/CommandFile.h"
#include "scripts/CommandPlayer.h"

class QLineEdit;
class QListWidget;
class CIconButton;

class CCommandFileDlg : public QDialog {
    Q_OBJECT

public:
    // path: the file as chosen (made absolute here, so a later change of the
    // current directory cannot move it); name: its name without folder. Both
    // are the file system's bytes, never converted.
    CCommandFileDlg(const std::string& path, const std::string& name, QWidget* parent = nullptr);

    // Places and shows the window, then loads the file (a failure shows its box).
    void Start();

    const std::string& FileName() const { return m_fileName; }
    const std::string& FilePath() const { return m_filePath; }
    const CCommandList& List() const { return m_list; }

    // Adds one command at its sorted place, selects the first entry.
    void AddEntry(const std::string& name, const std::string& text);
    // Rewrites the file from the list; a failure shows its box. Returns it.
    // A file that could not be read is never written unless the user added
    // commands and agrees to replace it.
    FileFailure SaveCommandFile();
    // Why the file could not be read (None: read, or not there yet).
    FileFailure LoadFailure() const { return m_loadFailure; }

    // The players' view of the window: list size, selection, loop count and lap start.
    PlayPosition Position() const;
    // Takes a position from a player; show: the "Loop :" field shows the count.
    void SetPosition(const PlayPosition& position, bool show);
    int SelectedIndex() const;

    unsigned m_loopCount = 1;
    int m_startIndex = 0;

signals:
    // The user chose command index: the main window loads it (name and text).
    void CommandChosen(int index);

public slots:
    // The window stays for its file; closing it only hides it.
    void reject() override;

protected:
    // Escape leaves the window where it is (it stops a running player).
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildControls();
    void Place();
    void LoadCommandFile();
    void OnSelectCommand();
    void OnDeleteCommand();
    void OnLoopChanged();
    void OnLoopEditingFinished();
    // Shows m_loopCount in the "Loop :" field; true when its text changed.
    bool PushLoopCount();
    bool ConfirmOverwriteUnread();
    void SelectRow(int row);  // without telling OnSelectCommand
    void FillLists();
    void ShowFailure(FileFailure failure);

    std::string m_fileName;
    std::string m_filePath;
    CCommandList m_list;
    FileFailure m_loadFailure = FileFailure::None;
    QListWidget* m_nameList = nullptr;
    QListWidget* m_valueList = nullptr;
    QLineEdit* m_loopField = nullptr;
    CIconButton* m_deleteButton = nullptr;
};
