// SPDX-License-Identifier: BSD-3-Clause
// The production backend on whatever machine runs the tests: it must fail
// safe on nodes that are not hidraw devices.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "bootdev/HidapiBackend.h"

namespace {

TEST(HidapiBackend, NonHidNodesGiveNoUsableReportLength) {
    std::unique_ptr<HidBackend> backend = MakeHidapiBackend();
    for (const HidInterfaceInfo& info : backend->Enumerate()) EXPECT_FALSE(info.path.empty());

    EXPECT_EQ(backend->Open("/nonexistent/hidraw0"), nullptr);

    // Nodes that are not hidraw devices are refused before hidapi sees them
    // (its open crashes on them).
    const std::string path = testing::TempDir() + "not_hid_" + std::to_string(::getpid());
    std::ofstream(path) << "plain";
    EXPECT_EQ(backend->Open(path), nullptr);
    EXPECT_EQ(backend->Open("/dev/null"), nullptr);
    ::unlink(path.c_str());
}

}  // namespace
