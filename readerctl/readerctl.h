// SPDX-License-Identifier: BSD-3-Clause
/*
 * readerctl: firmware download and maintenance of the reader over its USB HID
 * boot interface.
 *
 * Every function finds the reader afresh (any of its product ids), so the
 * caller never opens or selects a device, and the reader may leave the bus
 * and come back between calls (it does after a reset). Every function
 * returns a 16-bit status word: 0 on success, one of the library's codes
 * below, 0x53F9 / 0x52F8 when a download / maintenance transfer failed, or
 * the reader's own answer status (byte 1 high, byte 2 low).
 *
 * A call whose exchange fails (transfer failed or the reader refused) drops
 * the device; the next call finds it again. A reader answer shorter than its
 * feature report counts as a failed transfer. No function dereferences a
 * null pointer: where it needs an area and gets none it returns
 * StatusBadArgument without sending anything. The maintenance functions may be
 * called at any time and leave the download state alone.
 *
 * The library keeps one device and one download state per process and has
 * no locks: never call it from two threads at once. It never prints, logs
 * or ends the process.
 */
#ifndef READERCTL_H
#define READERCTL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(READERCTL_BUILD)
#define READERCTL_API __attribute__((visibility("default")))
#else
#define READERCTL_API
#endif

enum {
    StatusOk = 0x0000,         /* the reader answered with status 00 00 */
    StatusNotStarted = 0xA001, /* Download while the download is not started */
    StatusNoDownload = 0xA002, /* EndDownload with no download in progress */
    StatusNoDevice = 0xA003,   /* no reader on the bus */
    StatusNoMemory = 0xA004,   /* the image cannot be held in memory */
    StatusFileOpen = 0xA005,   /* the image file cannot be opened or read, or
                                  is not a regular file */
    StatusBadArgument = 0xA006 /* a null pointer where an area is needed;
                                  nothing is sent */
};

/* Start a download. When the reader is not in its boot loader it is reset
 * into it and leaves the bus for a while; the library offers no wait, and a
 * Download before it is back fails at block 0. After such a reset the result
 * is the status of the version query that decided it (0 when it went
 * through). On success the download state is "started". */
READERCTL_API uint16_t StartDownload(void);

/* Send the image file `path` (raw bytes) in 256-byte blocks numbered from 0;
 * the last block is padded with 0xFF. Needs the state "started" (else
 * StatusNotStarted, also for a second Download after blocks were sent).
 * Only a regular file is an image: a missing file, a null path, a directory,
 * a FIFO or a device node gives StatusFileOpen at once (nothing blocks) and
 * leaves the state as it was, so a corrected Download may follow. A block
 * refused after three attempts closes the device and returns the reader's
 * status, or 0x53F9 (also when the reader answered 00 00 with a wrong echo
 * or length). When every block is acknowledged the result is 0, also after
 * an earlier failed attempt; an empty file sends nothing and returns 0. */
READERCTL_API uint16_t Download(const char* path);

/* Finish the download: on success the reader is reset into its new firmware
 * and the state returns to idle. StatusNoDownload when no download was
 * started; on any other failure the state is kept. */
READERCTL_API uint16_t EndDownload(void);

/* Send the reset frame (no answer is read) to the reader found afresh.
 * StatusNoDevice when no reader is found; 0x52F8 when the frame could not
 * be written; otherwise the status word of the previous call, which a reset
 * does not change. Every reset (also the ones StartDownload and EndDownload
 * send) drops the device, so the next call finds it again after its
 * restart. */
READERCTL_API uint16_t ResetDevice(void);

/* Read the firmware version into `version`, an area of at least 30 bytes.
 * On success *length receives the number of bytes copied (not
 * zero-terminated): the reader's length byte, cut to 30 and to what its
 * answer frame holds. Never more than 30 bytes are written, whatever the
 * reader claims. On failure neither output is written. Both pointers are
 * required (else StatusBadArgument). */
READERCTL_API uint16_t GetFirmVersion(uint16_t* length, uint8_t* version);

/* Read `count` (low 8 bits) EEPROM bytes from `address` (low 8 bits) into
 * `data`, which must hold `count` bytes. Count 0 sends the request and
 * writes nothing (`data` may then be null); on failure `data` is not
 * written. */
READERCTL_API uint16_t ReadEEPROM(uint32_t address, uint32_t count, uint8_t* data);

/* Write `count` (low 8 bits) bytes of `data` to the EEPROM at `address`
 * (low 8 bits). `data` may be null only when the count is 0. */
READERCTL_API uint16_t WriteEEPROM(uint32_t address, uint32_t count, const uint8_t* data);

/* Set the reader's interface switch to `value` (low 8 bits); what the
 * values mean is the reader's. */
READERCTL_API uint16_t SwitchInterface(uint32_t value);

/* Read the reader's interface switch into *value (required); on failure
 * *value is not written. */
READERCTL_API uint16_t ReadSwitchInterface(uint8_t* value);

#ifdef __cplusplus
}
#endif

#endif /* READERCTL_H */
