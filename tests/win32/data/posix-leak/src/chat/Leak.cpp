// SPDX-License-Identifier: GPL-3.0-or-later
// A core file that includes a POSIX header outside posix/.
#include <unistd.h>
