// SPDX-License-Identifier: BSD-3-Clause
// Drives CConsoleDlg the way a user does (clicks, menu commands, reader
// choices) against the private pcscd, and records what the window asks of the
// resource manager: a pass-through table on the PC/SC seam that logs each
// call's arguments and forwards it to pcsc-lite unchanged.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "console/ConsoleDlg.h"
#include "console/ConsoleTexts.h"

namespace harness {

struct PcscCall {
    PcscCall(std::string name_ = {}, std::uint32_t a_ = 0, std::uint32_t b_ = 0, std::uint32_t c_ = 0,
             std::string reader_ = {})
        : name(std::move(name_)), a(a_), b(b_), c(c_), reader(std::move(reader_)) {}
    std::string name;  // "Connect", "Reconnect", ...
    std::uint32_t a, b, c;  // share mode, protocols, initialization / disposition
    std::string reader;
};

// Installs the recording table for its lifetime.
class RecordingPcsc {
public:
    RecordingPcsc();
    ~RecordingPcsc();
    std::vector<PcscCall> Calls() const;
    // The calls of one name, in order.
    std::vector<PcscCall> Calls(const std::string& name) const;
    void Clear();
};

// The three states of the window and the controls that belong to them.
enum class WindowState { NoContext, ContextEstablished, CardConnected };
// Compares every control of the state table; returns the differences, one per line.
std::string StateMismatches(const CConsoleDlg& dlg, WindowState state);

// Clicks the control if a user could: enabled and not hidden.
void Click(CConsoleDlg& dlg, int controlId);
void Command(CConsoleDlg& dlg, int commandId);
void ChooseReader(CConsoleDlg& dlg, int index);
std::string StatusLine(const CConsoleDlg& dlg);
// "SCardEstablishContext", the reader chosen, "SCardConnect": a failed
// assertion where the window does not reach the state each click leads to.
void EstablishAndConnect(CConsoleDlg& dlg, int reader = 0);
QAbstractButton* Button(const CConsoleDlg& dlg, int id);
QComboBox* ReaderList(const CConsoleDlg& dlg);
// Processes queued events until the predicate holds or the time is up.
bool WaitFor(const std::function<bool()>& done, int ms = 15000);

}  // namespace harness
