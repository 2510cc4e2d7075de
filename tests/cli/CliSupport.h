#pragma once
// What the batch command's tests share: files put down and read back, and runs of the command,
// in this process or as a process of its own with a resource limit.
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "cli/CliRunner.h"

namespace tabulex::testing {

inline std::string slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void spit(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Exit status and what the command wrote.
struct CliRun {
    int status;
    std::string out;
    std::string err;
};

inline std::string drain(std::FILE* file)
{
    std::string text;
    std::fflush(file);
    std::rewind(file);
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
    std::fclose(file);
    return text;
}

inline CliRun runCli(const std::vector<std::string>& args)
{
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = run_cli(args, out, err);
    return {status, drain(out), drain(err)};
}

// Runs the built tabulex-cli (beside the test executable) with `resource` limited to `limit`
// bytes: RLIMIT_FSIZE makes every write past the limit fail with "File too large", as a full
// disk would fail it, without needing a file system of its own. A signal ends it with -1.
inline CliRun runCliProcess(const std::vector<std::string>& args, int resource, rlim_t limit)
{
    const std::filesystem::path program =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tabulex-cli";
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(::fileno(out), 1);
        ::dup2(::fileno(err), 2);
        const rlimit bound{limit, limit};
        ::setrlimit(resource, &bound);
        std::signal(SIGXFSZ, SIG_IGN);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, drain(out), drain(err)};
}

}  // namespace tabulex::testing
