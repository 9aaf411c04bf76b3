#include "support/memory.h"

#include <cstdlib>

#include "support/error.h"
#include "support/messages.h"

void* mem_calloc(std::size_t count, std::size_t size) {
    std::size_t bytes = 0;
    if (__builtin_mul_overflow(count, size, &bytes) || bytes > mem_block_limit)
        error_exit(msg_block_too_large);
    // calloc may answer a request of 0 bytes with null; one byte keeps the
    // promise that the result is never null.
    void* block = std::calloc(bytes ? bytes : 1, 1);
    if (!block) error_exit(msg_no_memory);
    return block;
}

void mem_free(void* block) { std::free(block); }
