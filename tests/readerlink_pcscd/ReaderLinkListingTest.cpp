// SPDX-License-Identifier: BSD-3-Clause
// Listing twelve simulated readers through the link's ten-slot table.
#include <gtest/gtest.h>

#include <PCSC/winscard.h>

#include <cstdio>
#include <string>
#include <vector>

#include "readerlink/ReaderLink.h"

namespace {

std::vector<std::string> DaemonOrder()
{
    SCARDCONTEXT ctx = 0;
    std::vector<std::string> names;
    if (SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &ctx) != SCARD_S_SUCCESS)
        return names;
    char buf[4096];
    DWORD len = sizeof buf;
    if (SCardListReaders(ctx, nullptr, buf, &len) == SCARD_S_SUCCESS)
        for (DWORD off = 0; off < len && buf[off];) {
            names.emplace_back(buf + off);
            off += static_cast<DWORD>(names.back().size()) + 1;
        }
    SCardReleaseContext(ctx);
    return names;
}

TEST(ReaderLinkListing, TwelveReadersWithLimitTenAndLower)
{
    std::vector<std::string> all = DaemonOrder();
    ASSERT_EQ(all.size(), 12u);
    for (int i = 0; i < 12; ++i) {
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, "Bench Sim Reader %02d ", i + 1);
        EXPECT_EQ(all[i].rfind(prefix, 0), 0u) << all[i];
    }

    struct Case {
        int setLimit;  // 0: do not call SetMaxReaders before this listing
        int count;
    } cases[] = {
        {10, 10},  // the console's limit: the first ten in the daemon's order
        {0, 10},   // the count is the next limit
        {3, 3},
        {0, 3},
        {-5, 3},   // ignored limits keep the last count
        {12, 10},  // the table has ten slots
        {10, 10},
    };
    CReaderLink link;
    ASSERT_EQ(link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr), SCARD_S_SUCCESS);
    for (const Case& c : cases) {
        if (c.setLimit != 0)
            link.SetMaxReaders(c.setLimit);
        ASSERT_EQ(link.ListReaders(nullptr), SCARD_S_SUCCESS);
        ASSERT_EQ(link.GetReaderCount(), c.count) << "limit " << c.setLimit;
        for (int i = 0; i < c.count && i < kReaderSlots; ++i)
            EXPECT_EQ(link.ReaderName(i), all[i]) << "slot " << i;
    }
    link.ReleaseContext();
}

}  // namespace
