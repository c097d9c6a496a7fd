// SPDX-License-Identifier: BSD-3-Clause
// The command players' stepping rules, without any window: which command
// plays next, how the lap and repetition counts run down, and where each lap
// starts again. The console's window and cardbench-run both drive them.
//
// RepeatCommand sends the command field loopCount times. PlayCommandFile
// sends the list from the selected command to the last, lap after lap; the
// first lap starts at the selection, every later lap at startIndex (the
// command the user chose last). Either stops after the first exchange that
// fails, or after the exchange in progress when a stop is requested.
#pragma once

#include <cstdint>
#include <functional>

using PlayerResult = std::int32_t;  // a PC/SC result code: 0 goes on, anything else stops

// The command-file window's side of a play.
struct PlayPosition {
    int count = 0;          // commands in the list
    int selected = -1;      // selected command, -1 for none
    unsigned loopCount = 1; // laps or repetitions still to run, this one included
    int startIndex = 0;     // where every lap after the first begins
};

struct NextCommandStep {
    int load = -1;      // the command to send now; -1: none (empty list or no selection)
    bool more = false;  // whether another command follows this one
};

// One step of NextCommand: the command to load now, and the selection and
// loop count moved on. Never names an index outside the list.
NextCommandStep NextCommand(PlayPosition& position);

// What a player needs of the windows (or of a program without one).
struct PlayerHooks {
    // The list's current position; false when the list is gone.
    std::function<bool(PlayPosition&)> readPosition;
    // Takes the new position; show: also show it (the "Loop :" field).
    std::function<void(const PlayPosition&, bool show)> writePosition;
    // Puts command index into the command field.
    std::function<void(int index)> load;
    // One exchange of the command field; its result.
    std::function<PlayerResult()> transmit;
    // True once the user asked the player to stop.
    std::function<bool()> stopRequested;
};

// Both return the number of exchanges made.
unsigned RepeatCommand(const PlayerHooks& hooks);
unsigned PlayCommandFile(const PlayerHooks& hooks);
