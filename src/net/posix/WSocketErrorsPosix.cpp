// SPDX-License-Identifier: GPL-3.0-or-later
// The one translation of errno and getaddrinfo codes into Windows Sockets numbers.
#include "net/WSocketErrors.h"

#include <netdb.h>

#include <cerrno>

namespace {

// The one table from errno to the Windows Sockets numbers. EBADF reads as "not a socket",
// which is what Windows reports for a closed handle; EPIPE is what a send meets after the
// peer reset the connection, so it counts as a reset.
constexpr int kErrnoMap[][2] = {
    {EINTR, 10004},        {EBADF, 10038},          {EACCES, 10013},        {EPERM, 10013},
    {EFAULT, 10014},       {EINVAL, 10022},         {EMFILE, 10024},        {ENFILE, 10024},
    {EWOULDBLOCK, 10035},  {EAGAIN, 10035},         {EINPROGRESS, 10036},   {EALREADY, 10037},
    {ENOTSOCK, 10038},     {EDESTADDRREQ, 10039},   {EMSGSIZE, 10040},      {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},
    {EPFNOSUPPORT, 10046}, {EAFNOSUPPORT, 10047},   {EADDRINUSE, 10048},    {EADDRNOTAVAIL, 10049},
    {ENETDOWN, 10050},     {ENETUNREACH, 10051},    {ENETRESET, 10052},     {ECONNABORTED, 10053},
    {ECONNRESET, 10054},   {EPIPE, 10054},          {ENOBUFS, 10055},       {ENOMEM, 10055},
    {EISCONN, 10056},      {ENOTCONN, 10057},       {ESHUTDOWN, 10058},     {ETOOMANYREFS, 10059},
    {ETIMEDOUT, 10060},    {ECONNREFUSED, 10061},   {ELOOP, 10062},         {ENAMETOOLONG, 10063},
    {EHOSTDOWN, 10064},    {EHOSTUNREACH, 10065},   {ENOTEMPTY, 10066},     {EUSERS, 10068},
    {EDQUOT, 10069},       {ESTALE, 10070},         {EREMOTE, 10071},
};

}  // namespace

int WinSockErrorFromErrno(int err) {
    for (const auto& m : kErrnoMap)
        if (m[0] == err) return m[1];
    return err;
}

int WinSockErrorFromLookup(int eaiCode, int err) {
    switch (eaiCode) {
        case 0: return 0;
        case EAI_NONAME: return WSAHOST_NOT_FOUND;
        case EAI_AGAIN: return WSATRY_AGAIN;
        case EAI_FAIL: return WSANO_RECOVERY;
#ifdef EAI_NODATA
        case EAI_NODATA: return WSANO_DATA;
#endif
#ifdef EAI_ADDRFAMILY
        case EAI_ADDRFAMILY: return WSANO_DATA;
#endif
        case EAI_MEMORY: return 10055;
        case EAI_SYSTEM: return WinSockErrorFromErrno(err);
        default: return WSANO_RECOVERY;
    }
}
