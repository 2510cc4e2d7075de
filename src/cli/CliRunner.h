#pragma once
#include <cstdio>
#include <string>
#include <vector>

namespace tabulex {

/// Exit statuses of the batch command.
enum TCliStatus : int { CliOk = 0, CliSourceFailed = 1, CliUsage = 2 };

/// Runs the batch command on `args` (without the program name), writing results to `out`
/// and messages to `err`. Returns the exit status.
int run_cli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace tabulex
