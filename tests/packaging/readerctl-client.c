// SPDX-License-Identifier: BSD-3-Clause
/* Built against an installed readerctl (its header and pkg-config file) by
 * the install and package tests: calls the library in states whose status
 * word is documented, with no reader on the bus. */
#include <readerctl.h>
#include <stdio.h>

static uint16_t download_missing(void) { return Download("/nonexistent/image.bin"); }
static uint16_t end_download(void) { return EndDownload(); }
static uint16_t reset_device(void) { return ResetDevice(); }
static uint16_t start_download(void) { return StartDownload(); }
static uint16_t firm_version(void) {
    uint16_t length = 0x5A5A;
    uint8_t version[30];
    uint16_t status = GetFirmVersion(&length, version);
    /* outputs stay unwritten on failure */
    return (status != StatusOk && length != 0x5A5A) ? 0xFFFF : status;
}

int main(void) {
    /* In this order: each case starts from the state the previous ones left. */
    static const struct {
        const char* call;
        uint16_t (*run)(void);
        uint16_t expected;
    } cases[] = {
        {"Download before StartDownload", download_missing, 0xA001},
        {"EndDownload right after loading", end_download, 0xA002},
        {"ResetDevice without a reader", reset_device, 0xA003},
        {"StartDownload without a reader", start_download, 0xA003},
        {"GetFirmVersion without a reader", firm_version, 0xA003},
    };
    int failures = 0;
    for (unsigned i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        uint16_t got = cases[i].run();
        if (got != cases[i].expected) {
            fprintf(stderr, "%s: status %04X, expected %04X\n", cases[i].call, got, cases[i].expected);
            ++failures;
        }
    }
    if (failures == 0) printf("readerctl-client: %u calls as documented\n", (unsigned)(sizeof cases / sizeof cases[0]));
    return failures == 0 ? 0 : 1;
}
