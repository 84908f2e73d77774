// SPDX-License-Identifier: GPL-3.0-or-later
// A core file without POSIX headers.
#include <string>
#include "net/WSocket.h"
