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
 * the device; the next call finds it again. The maintenance functions may be
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
    StatusFileOpen = 0xA005    /* the image file cannot be opened or read */
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
 * StatusFileOpen leaves the state as it was, so a corrected Download may
 * follow. A block refused after three attempts closes the device and
 * returns the reader's status, or 0x53F9 (also when the reader answered
 * 00 00 with a wrong echo or length). An empty file sends nothing and
 * returns the current status word. */
READERCTL_API uint16_t Download(const char* path);

/* Finish the download: on success the reader is reset into its new firmware
 * and the state returns to idle. StatusNoDownload when no download was
 * started; on any other failure the state is kept. */
READERCTL_API uint16_t EndDownload(void);

/* Send the reset frame (no answer is read). StatusNoDevice when no reader is
 * found; otherwise the status word of the previous call, which a reset does
 * not change. */
READERCTL_API uint16_t ResetDevice(void);

/* Read the firmware version. On success *length receives the number of bytes
 * copied to `version` (not zero-terminated): the reader's length byte, cut to
 * what its answer frame holds. At most 255 bytes are ever written; reader
 * versions are shorter than 30. On failure neither output is written. */
READERCTL_API uint16_t GetFirmVersion(uint16_t* length, uint8_t* version);

/* Read `count` (low 8 bits) EEPROM bytes from `address` (low 8 bits) into
 * `data`, which must hold `count` bytes. Count 0 sends the request and
 * writes nothing; on failure `data` is not written. */
READERCTL_API uint16_t ReadEEPROM(uint32_t address, uint32_t count, uint8_t* data);

/* Write `count` (low 8 bits) bytes of `data` to the EEPROM at `address`
 * (low 8 bits). A null `data` writes no bytes (count 0 is sent). */
READERCTL_API uint16_t WriteEEPROM(uint32_t address, uint32_t count, const uint8_t* data);

/* Set the reader's interface switch to `value` (low 8 bits); what the
 * values mean is the reader's. */
READERCTL_API uint16_t SwitchInterface(uint32_t value);

/* Read the reader's interface switch into *value; on failure *value is not
 * written. */
READERCTL_API uint16_t ReadSwitchInterface(uint8_t* value);

#ifdef __cplusplus
}
#endif

#endif /* READERCTL_H */
