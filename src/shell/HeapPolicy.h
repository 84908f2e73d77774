// SPDX-License-Identifier: GPL-3.0-or-later
// KeepLargeBlocksReturnable: the allocator policy that keeps a long evening's memory flat.
#pragma once

// The chat views' documents hold their text in one buffer of a few MB that is made anew each
// time the view's cap drops old lines. glibc raises its threshold for giving such blocks
// their own mapping to the size of the last one freed, after which they come from the heap
// and the pages they leave stay with the process: resident memory creeps up over an evening
// of a busy channel (300,000 lines: 3.5 MB more than after 100,000). A fixed threshold keeps
// every large block in its own mapping, returned to the system when it is freed. Call once,
// first thing in main; on a C library without the knob it does nothing.
void KeepLargeBlocksReturnable();

// The threshold chosen: glibc's own starting value, no longer allowed to rise.
inline constexpr int LargeBlockBytes = 128 * 1024;
