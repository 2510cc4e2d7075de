#pragma once
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace tabulex {

/// Exit statuses of the batch command.
enum TCliStatus : int { CliOk = 0, CliSourceFailed = 1, CliUsage = 2 };

/// The message for a source whose bytes hold a NUL, which ends its listing early:
/// "PATH: NUL byte at offset N ends the listing" (N counted from 0); empty when there is none.
std::string nul_byte_message(const std::string& path, std::string_view bytes);

/// Runs the batch command on `args` (without the program name), writing results to `out`
/// and messages to `err`. Returns the exit status.
int run_cli(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace tabulex
