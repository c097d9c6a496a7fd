// SPDX-License-Identifier: BSD-3-Clause
// The firmware loader's own texts (code page 1252), kept in the core so the
// loader's window holds no text table. BootDevice writes the ones its
// commands produce through its log callback; the window uses the rest.
#pragma once

namespace loadertext {

inline constexpr char kNoDevice[] = "Unable to Transmit command : no HID device found.";
inline constexpr char kCantWrite[] = "Transmit command --> ERROR Can't write to device";
inline constexpr char kCantReadAck[] = "Transmit command --> Can't read the ACK from the device";
inline constexpr char kStartFail[] = "Start Download command --> FAIL";
inline constexpr char kStartNotReady[] = "Start Download --> ERROR, the device is not ready !";
inline constexpr char kStartSuccess[] = "START DOWNLOAD SUCCESS";
inline constexpr char kBootCheckVersionFail[] = "Get version command --> FAIL";
// "Version  --> %s": the version text follows (two blanks before the arrow).
inline constexpr char kVersionPrefix[] = "Version  --> ";
inline constexpr char kGetVersionFail[] = "Get Version command --> FAIL";
inline constexpr char kResetNoDevice[] = "Unable to reset device : no HID device found.";
inline constexpr char kResetSent[] = "Reset sent to device";
inline constexpr char kNotStarted[] = "Send Download Packet --> ERROR you must start the download first !";
inline constexpr char kFileOpen[] = "ERROR open file to download";
inline constexpr char kNoMemory[] = "Not enough memory Temp Buffer Download\n";
inline constexpr char kInProgress[] = "...Download in progress...";
inline constexpr char kSendCantWrite[] = "Send Data --> Unable to write to device";
inline constexpr char kSendCantRead[] = "Send Data --> Unable to read from device";
inline constexpr char kSendNotOk[] = "SEND DATA --> HID ANSWER NOT OK";
inline constexpr char kSendBadLength[] = "SEND DATA --> PAYLOAD LENGTH INCORRECT";
inline constexpr char kFailAtOffset[] = "Download fail at Offset: ";
inline constexpr char kDownloadSuccess[] = "DOWNLOAD SUCCESS";
inline constexpr char kDownloadFail[] = "DOWNLOAD FAIL";
inline constexpr char kEndNoDownload[] = "End Download --> ERROR no download in progess!";
inline constexpr char kEndNoDevice[] = "End Download --> ERROR no device detected !!";
inline constexpr char kEndFail[] = "End Download command --> FAIL";
inline constexpr char kEndRefused[] = "END DOWNLOAD --> FAIL";
inline constexpr char kEndBadSignature[] = "END DOWNLOAD --> Bad signature";
inline constexpr char kDeviceRemoved[] = "Download ERROR --> Device Removed!!!!";
inline constexpr char kUnregisterFailed[] = "Error : unable to unregister the notification";

// Not in the original loader: a matching device whose feature report length
// cannot carry a data packet, or overflows the report buffer, is refused.
// Not in the original loader either: the reader reset into its boot loader
// has not come back within the wait; what usually keeps it from being seen.
inline constexpr char kReaderNotBack[] = "Reader not back after reset: check its udev rule and /dev/hidraw permissions";
inline constexpr char kBadReportLengthPrefix[] = "HID device refused --> unusable feature report length: ";

}  // namespace loadertext
