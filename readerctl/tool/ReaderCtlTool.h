// SPDX-License-Identifier: BSD-3-Clause
// The readerctl program's commands over one BootDevice (the library's
// reading of answers), pinned to the reader the user chose. One handler per
// command; each returns the program's exit status.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "bootdev/BootDevice.h"
#include "readerctl/tool/BusWatch.h"
#include "readerctl/tool/ToolArguments.h"
#include "readerctl/tool/ToolReport.h"

class ReaderCtlTool {
public:
    // Backend and watch must outlive the tool.
    ReaderCtlTool(const ToolOptions& options, HidBackend& backend, BusWatch& watch, ToolReport& report);

    int Run();

    // Images above this are refused before any reader is touched.
    static constexpr std::uint64_t kMaxImageSize = std::uint64_t{256} << 20;

private:
    int OnList();
    int OnVersion();
    int OnReset();
    int OnSwitch();
    int OnEepromRead();
    int OnEepromWrite();
    int OnDownload();

    // The present interfaces with our vendor id and one of our product ids.
    std::vector<HidInterfaceInfo> Readers();
    void ListReaders(const std::vector<HidInterfaceInfo>& readers);
    // Chooses the reader (--device, or the only one); kToolOk when chosen.
    int Select();
    // The reader's version text and whether it is its boot loader's.
    bool ReadVersion(std::string& text, bool& boot);
    // Reports the device's refusal; the exit status for it.
    int Refused(const std::string& what);
    // After a reset: waits for the chosen reader to leave `oldPath` and come
    // back (at its bus location), openable, within --wait seconds.
    std::optional<HidInterfaceInfo> WaitForReturn(const std::string& oldPath);
    bool SameReader(const HidInterfaceInfo& info) const;

    const ToolOptions& m_options;
    HidBackend& m_backend;
    BusWatch& m_watch;
    ToolReport& m_report;
    BootDevice m_device;
    HidInterfaceInfo m_reader;
    std::vector<std::string> m_otherPaths;  // the other readers present at the choice
};
