// The value heap. Every block that a value owns comes from here; a refused request, or one larger
// than a 32-bit signed count can describe, ends the program with the memory report.
#pragma once

#include <cstdint>

namespace lumaclip {

void* AllocateBlock(int64_t bytes);
// Keeps the block's contents up to the smaller of the two sizes.
void* ResizeBlock(void* block, int64_t bytes);
void ReleaseBlock(void* block) noexcept;

}  // namespace lumaclip
