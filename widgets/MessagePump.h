// SPDX-License-Identifier: BSD-3-Clause
// The one message pump and the one delay of the console's windows. Long
// actions (players, key polling, PIN exchanges) call them between steps to
// keep every window alive and to pace themselves.
#pragma once

#include <functional>

// Processes every waiting event of the window thread, then runs the idle
// work until it reports none left. A quit request met on the way stops the
// pumping and is posted again, so the loop that owns the program still sees
// it; the function then returns false. Returns true otherwise.
bool PumpMessages();

// Waits ms milliseconds by polling an elapsed timer. Events are not
// processed meanwhile: the callers pump before they wait.
void DelayMs(int ms);

// The idle work run after the waiting events: called until it returns false
// (bounded, so a handler that always has work cannot hang the pump). An empty
// function removes it.
void SetIdleHandler(std::function<bool()> idle);
