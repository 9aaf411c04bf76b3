// Helpers shared by the tests: scratch folders, whole-file reads, and runs of
// the real lumerak program as a child process.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testkit {

// A fresh empty folder below the system's temporary folder, removed with its
// contents when the object goes out of scope.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Changes the current folder for the lifetime of the object (the database
// lives in the current folder).
class InDir {
public:
    explicit InDir(const std::string& dir);
    ~InDir();
    InDir(const InDir&) = delete;
    InDir& operator=(const InDir&) = delete;

private:
    std::string previous_;
};

struct RunResult {
    int status = -1;  // exit status, or 128 + signal number
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs lumerak with `args` in folder `dir` with TZ set to `tz`.
RunResult run_lumerak(const std::vector<std::string>& args, const std::string& dir,
                      const std::string& tz = "Europe/Berlin");

// Runs lumerak as above with standard error joined to standard output, as
// a terminal or `2>&1` into a file sees them: `out` holds both in the order
// written, `err` is empty.
RunResult run_lumerak_joined(const std::vector<std::string>& args, const std::string& dir);

// Runs `body` in a forked child with standard output and standard error
// captured; the child exits with status 0 when `body` returns. For code that
// ends the process (error reports) and must be checked byte for byte.
RunResult run_in_child(const std::function<void()>& body);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);
bool file_exists(const std::string& path);
// The names in a folder, hidden ones too, sorted.
std::vector<std::string> read_folder_names(const std::string& dir);
// Overwrites the 32-bit value at byte `offset` of an existing file (a record
// link, for example); false when the file cannot be written.
bool write_int32_at(const std::string& path, long offset, std::int32_t value);
// Copies a file of the project's tests/data folder into `dir`; returns the copy's path.
std::string copy_test_data(const std::string& name, const std::string& dir);
// Path of a file in the project's tests/data folder.
std::string test_data_path(const std::string& name);
// Splits a text into lines (without their newlines).
std::vector<std::string> lines_of(const std::string& text);

}  // namespace testkit
