// Support shared by the fuzzing harnesses: each input runs in a fresh private
// folder, and an error report, which ends the real program, returns to the
// harness instead. What the ended process would have left behind (open
// tables, streams, heap blocks) is released before the next input, and a
// command that returns normally must leave nothing open.
#pragma once

#include <cstddef>
#include <cstdint>

// Creates the private folder, in memory (/dev/shm) where the system has it,
// else below the temporary folder; it is removed when the process ends
// normally.
void fuzz_make_private_folder();

// Makes the emptied private folder the current folder for one input, so that
// it starts without a database; fuzz_end_input returns to the folder the
// fuzzer works in (corpus and artifact paths may be relative to it).
void fuzz_begin_input();
void fuzz_end_input();

// Writes `size` bytes of `data` into the file `name` of the current folder.
void fuzz_write_file(const char* name, const std::uint8_t* data, std::size_t size);

// Runs one command. Returns true when it returned normally, false when it
// ended with an error report; after an error the engine's write-back has run
// as it would before the process ends, and the command's tables, streams and
// blocks are released. A command that returns normally but leaves a table,
// a stream or a heap block behind is a fault: the harness aborts.
bool fuzz_run_command(const char* what, void (*command)(void*), void* argument);
