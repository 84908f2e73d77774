// SPDX-License-Identifier: GPL-3.0-or-later
// The chat logs' folder on Linux: under the user's data folder.
#include "chat/ChatLog.h"

#include <cstdlib>

std::string SystemChatLogFolder() { return ChatLogFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")); }
