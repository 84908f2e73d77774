// SPDX-License-Identifier: GPL-3.0-or-later
// Sizes, status texts and message texts of the datagram socket TNMUDP.
#pragma once

#include <cstddef>

namespace nmconst {

// Received datagrams longer than this are reported as failed receipts (byte count -1).
inline constexpr std::size_t kReceiveBufferSize = 2048;
// Payloads longer than this are refused: a peer with our receive buffer could not take them.
inline constexpr std::size_t kSendBufferSize = 2048;
// Receive buffer asked of the kernel, which may grant less: replies to a burst of status
// queries queue here until the loop reads them.
inline constexpr int kRequestedReceiveBuffer = 2 * 1024 * 1024;
// Datagrams handled per readiness report, so that a flood cannot starve timers and other sockets.
inline constexpr int kMaxDatagramsPerTurn = 64;
// How long one pump of the loop may wait during a name lookup before re-checking termination.
inline constexpr int kLookupPumpMs = 100;

inline constexpr const char* kStatusInitializing = "Initializing Winsock";
inline constexpr int kLevelInitializing = 8;
inline constexpr const char* kStatusSending = "Sending Data";
inline constexpr int kLevelSending = 2;
inline constexpr const char* kStatusCheckingError = "Checking Error In Error Manager";
inline constexpr int kLevelCheckingError = 16;
inline constexpr const char* kStatusErrorText = "Looking Up Error Message";
inline constexpr int kLevelErrorText = 8;

inline constexpr const char* kUnknownError = "Unknown Error No. ";
inline constexpr const char* kInvalidStream = "Invalid stream";
inline constexpr const char* kNullRemoteAddress = "Null Remote Address";
inline constexpr const char* kHostLookupCanceled = "Host Lookup Canceled";
inline constexpr const char* kStreamWriteError = "Stream write error";

}  // namespace nmconst
