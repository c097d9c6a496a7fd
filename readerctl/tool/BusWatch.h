// SPDX-License-Identifier: BSD-3-Clause
// Where the readerctl program hears HID interfaces arriving and leaving while
// it waits for a reader to restart: udev in production, the simulated bus in
// tests.
#pragma once

#include <chrono>
#include <optional>
#include <string>

class BusWatch {
public:
    struct Event {
        bool arrival = false;  // false: removal
        std::string path;      // the device node
    };

    virtual ~BusWatch() = default;

    // Starts listening; events from then on are kept until read. False when
    // the bus cannot be watched.
    virtual bool Start() = 0;
    // The next event, waiting at most `timeout` for one; nothing when none came.
    virtual std::optional<Event> Next(std::chrono::milliseconds timeout) = 0;
};
