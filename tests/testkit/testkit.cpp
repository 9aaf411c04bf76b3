#include "tests/testkit/testkit.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testkit {

ScratchDir::ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "lumerak-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

InDir::InDir(const std::string& dir) : previous_(fs::current_path().string()) {
    fs::current_path(dir);
}

InDir::~InDir() { fs::current_path(previous_); }

namespace {

RunResult run_program(const std::vector<std::string>& args, const std::string& dir,
                      const std::string& tz, bool joined) {
    ScratchDir capture;
    const std::string out_path = capture.file("out");
    const std::string err_path = capture.file("err");
    RunResult result;
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0 || chdir(dir.c_str()) != 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(joined ? out : err, 2);
        setenv("TZ", tz.c_str(), 1);
        std::vector<char*> argv;
        std::string program = LUMERAK_BIN;
        argv.push_back(program.data());
        std::vector<std::string> copies = args;
        for (auto& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    if (WIFEXITED(wstatus))
        result.status = WEXITSTATUS(wstatus);
    else if (WIFSIGNALED(wstatus))
        result.status = 128 + WTERMSIG(wstatus);
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    return result;
}

}  // namespace

RunResult run_lumerak(const std::vector<std::string>& args, const std::string& dir,
                      const std::string& tz) {
    return run_program(args, dir, tz, false);
}

RunResult run_lumerak_joined(const std::vector<std::string>& args, const std::string& dir) {
    return run_program(args, dir, "Europe/Berlin", true);
}

RunResult run_in_child(const std::function<void()>& body) {
    ScratchDir capture;
    const std::string out_path = capture.file("out");
    const std::string err_path = capture.file("err");
    std::fflush(nullptr);
    RunResult result;
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0) _exit(126);
        dup2(out, 1);
        dup2(err, 2);
        body();
        std::exit(0);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    if (WIFEXITED(wstatus))
        result.status = WEXITSTATUS(wstatus);
    else if (WIFSIGNALED(wstatus))
        result.status = 128 + WTERMSIG(wstatus);
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    return result;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_file(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

bool file_exists(const std::string& path) { return fs::exists(path); }

std::vector<std::string> read_folder_names(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

bool write_int32_at(const std::string& path, long offset, std::int32_t value) {
    std::FILE* f = std::fopen(path.c_str(), "r+b");
    if (!f) return false;
    const bool written =
        std::fseek(f, offset, SEEK_SET) == 0 && std::fwrite(&value, sizeof value, 1, f) == 1;
    return std::fclose(f) == 0 && written;
}

std::string test_data_path(const std::string& name) {
    return std::string(LUMERAK_SOURCE_DIR) + "/tests/data/" + name;
}

std::string copy_test_data(const std::string& name, const std::string& dir) {
    const std::string target = dir + "/" + name;
    fs::copy_file(test_data_path(name), target, fs::copy_options::overwrite_existing);
    return target;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

}  // namespace testkit
