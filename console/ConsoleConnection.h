// SPDX-License-Identifier: BSD-3-Clause
// What a step of the connection workflow hands back to the window: the
// result, the control changes in the order they apply, the reader names to
// list and the options to show. The session decides; the window only shows.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "console/ConsoleTexts.h"
#include "readerlink/ReaderLink.h"

// The status step that connect, reset and "SCardStatus" run.
struct StatusOutcome {
    bool read = false;       // the card answered
    bool showsTree = false;  // its ATR goes into the status tree (not in direct mode)
    std::vector<console::ConnectionStep> steps;  // the card is gone: back to connectable
};

struct ConnectionOutcome {
    PcscResult result = 0;   // of the step's own call (what the status line shows)
    bool succeeded = false;
    // The reader list is emptied and, when names are given, refilled.
    bool listsReaders = false;
    std::vector<std::string> readers;
    int selectedReader = 0;
    // Applied in order; the options are shown between the two groups, as
    // the order decides which control keeps the focus.
    std::vector<console::ConnectionStep> steps;
    std::optional<DWORD> shownProtocols;  // the options shown for this mask
    std::vector<console::ConnectionStep> stepsAfter;
    bool featuresFound = false;           // the control list takes the reader's features
    std::optional<StatusOutcome> status;  // connect and reset read the card's status
    bool makerReader = false;
};
