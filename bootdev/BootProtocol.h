// SPDX-License-Identifier: BSD-3-Clause
// Frames of the reader's boot and maintenance interface. Both directions ride
// on feature reports of the device's feature report length; multi-byte fields
// are little-endian except the answer status (high byte first).
#pragma once

#include <cstddef>
#include <cstdint>

namespace bootproto {

inline constexpr std::size_t kReportBufferSize = 512;

// Request: report id, two header bytes, command code, payload length, payload.
struct RequestHeader {
    std::uint8_t reportId;
    std::uint8_t header1;
    std::uint8_t header2;
    std::uint8_t command;
    std::uint8_t payloadLength[2];  // little-endian
};
static_assert(sizeof(RequestHeader) == 6);
static_assert(offsetof(RequestHeader, command) == 3);
static_assert(offsetof(RequestHeader, payloadLength) == 4);

// Answer: report id, status (byte 1 high), data length, data.
struct AnswerHeader {
    std::uint8_t reportId;
    std::uint8_t status[2];      // big-endian: byte 1 is the high byte
    std::uint8_t dataLength[2];  // little-endian
};
static_assert(sizeof(AnswerHeader) == 5);
static_assert(offsetof(AnswerHeader, status) == 1);
static_assert(offsetof(AnswerHeader, dataLength) == 3);

inline constexpr std::size_t kRequestPayloadOffset = sizeof(RequestHeader);  // 6
inline constexpr std::size_t kAnswerDataOffset = sizeof(AnswerHeader);       // 5

inline constexpr std::size_t kBlockSize = 256;

// Data packet payload: block number then one block of the image.
struct DataPacketPayload {
    std::uint8_t blockNumber[4];  // little-endian
    std::uint8_t block[kBlockSize];
};
static_assert(sizeof(DataPacketPayload) == 260);

// The largest frame this protocol builds: a data packet.
inline constexpr std::size_t kDataPacketFrameLength = kRequestPayloadOffset + sizeof(DataPacketPayload);
static_assert(kDataPacketFrameLength == 266);
// Write EEPROM with count 255 ends at byte 8 + 255 = 263, inside that.
static_assert(kRequestPayloadOffset + 2 + 255 <= kDataPacketFrameLength);

// Feature report lengths a BootDevice accepts: a data packet must fit in one
// report and a report must fit in the buffer.
inline constexpr std::size_t kMinFeatureReportLength = kDataPacketFrameLength;
inline constexpr std::size_t kMaxFeatureReportLength = kReportBufferSize;

enum class Header : std::uint8_t { Download, Maintenance };
inline constexpr std::uint8_t kDownloadHeader[2] = {0x53, 0xF9};
inline constexpr std::uint8_t kMaintenanceHeader[2] = {0x52, 0xF8};

// Command codes under the download header.
inline constexpr std::uint8_t kStartDownload = 0x00;
inline constexpr std::uint8_t kDataPacket = 0x01;
inline constexpr std::uint8_t kEndDownload = 0x02;
// Command codes under the maintenance header.
inline constexpr std::uint8_t kReadEeprom = 0x00;
inline constexpr std::uint8_t kWriteEeprom = 0x01;
inline constexpr std::uint8_t kGetFirmVersion = 0x02;
inline constexpr std::uint8_t kReadSwitch = 0x03;
inline constexpr std::uint8_t kSwitchInterface = 0x04;
inline constexpr std::uint8_t kReset = 0x05;

// End download refused with this code in its answer data means a bad
// image signature (the 32-bit value -2, little-endian).
inline constexpr std::uint8_t kBadSignature[4] = {0xFE, 0xFF, 0xFF, 0xFF};

// A device running its boot loader begins its version text with this.
inline constexpr char kBootString[] = "Corvane_Lyra_Boot";
inline constexpr std::size_t kBootStringLength = sizeof(kBootString) - 1;
static_assert(kBootStringLength == 17);

// Whether a version text is a boot loader's: it begins with the boot string,
// letters compared ignoring case (the library's reading).
bool IsBootVersion(const std::uint8_t* version, std::size_t length);

// Room the library's boot check gives the version text.
inline constexpr std::size_t kBootCheckVersionRoom = 30;

// Build a request in `buffer` (kReportBufferSize bytes): zero-fill, header,
// command, payload length and payload. The payload is cut to what the buffer
// holds.
void BuildRequest(std::uint8_t* buffer, Header header, std::uint8_t command, const std::uint8_t* payload,
                  std::size_t payloadLength);

// Status word of an answer (or of a request left in the buffer): byte 1 high.
inline std::uint16_t StatusWord(const std::uint8_t* buffer) {
    return static_cast<std::uint16_t>(buffer[1] << 8 | buffer[2]);
}
inline std::uint16_t AnswerDataLength(const std::uint8_t* buffer) {
    return static_cast<std::uint16_t>(buffer[3] | buffer[4] << 8);
}

inline void PutLe32(std::uint8_t* to, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) to[i] = static_cast<std::uint8_t>(value >> (8 * i));
}
inline std::uint32_t GetLe32(const std::uint8_t* from) {
    return static_cast<std::uint32_t>(from[0]) | static_cast<std::uint32_t>(from[1]) << 8 |
           static_cast<std::uint32_t>(from[2]) << 16 | static_cast<std::uint32_t>(from[3]) << 24;
}

}  // namespace bootproto
