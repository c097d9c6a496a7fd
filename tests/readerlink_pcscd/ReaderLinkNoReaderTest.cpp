// SPDX-License-Identifier: BSD-3-Clause
// A resource manager with no reader at all.
#include <gtest/gtest.h>

#include <cstring>

#include "readerlink/ReaderLink.h"

namespace {

TEST(ReaderLinkNoReader, ListingLeavesTableAndLimitAlone)
{
    CReaderLink link;
    ASSERT_EQ(link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr), SCARD_S_SUCCESS);
    std::strcpy(link.ReaderName(0), "left over");
    link.SetMaxReaders(10);
    PcscResult rv = link.ListReaders(nullptr);
    // pcsc-lite reports an empty list as an error, which the link passes on.
    EXPECT_EQ(static_cast<std::uint32_t>(rv), 0x8010002Eu);  // SCARD_E_NO_READERS_AVAILABLE
    EXPECT_EQ(link.GetReaderCount(), 10);
    EXPECT_STREQ(link.ReaderName(0), "left over");
    DWORD active = 0;
    EXPECT_EQ(static_cast<std::uint32_t>(link.Connect("Bench Sim Reader 00 00", SCARD_SHARE_SHARED, 3, &active)),
              0x80100009u);  // SCARD_E_UNKNOWN_READER
    EXPECT_EQ(link.ReleaseContext(), SCARD_S_SUCCESS);
}

}  // namespace
