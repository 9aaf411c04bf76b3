// Zeroed heap blocks of at most 64 KB. mem_calloc never returns null: a block
// above the limit ends the program with message 2, an exhausted heap with
// message 3.
#pragma once

#include <cstddef>

inline constexpr std::size_t mem_block_limit = 65536;

void* mem_calloc(std::size_t count, std::size_t size);
void mem_free(void* block);
