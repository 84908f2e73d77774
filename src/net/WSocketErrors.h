// SPDX-License-Identifier: GPL-3.0-or-later
// Platform error codes translated to the Windows Sockets numbers the connection reports.
#pragma once

// errno -> 100xx (0 stays 0; a code without a counterpart is passed on unchanged).
int WinSockErrorFromErrno(int err);
// getaddrinfo result (and errno for EAI_SYSTEM) -> 11001..11004 or 100xx.
int WinSockErrorFromLookup(int eaiCode, int err);

constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINVAL = 10022;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOTCONN = 10057;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;
