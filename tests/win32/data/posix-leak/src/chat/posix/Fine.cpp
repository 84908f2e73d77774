// SPDX-License-Identifier: GPL-3.0-or-later
// Allowed: a POSIX back end.
#include <sys/socket.h>
