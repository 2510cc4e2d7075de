#include <cerrno>
#include <cstdio>
#include <new>
#include <system_error>

#include "cli/CliRunner.h"

int main(int argc, char** argv)
{
    try {
        return tabulex::run_cli(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
    } catch (const std::bad_alloc&) {
        // What the run could not do within the memory there is ends it with the reason, not
        // with an abort.
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", std::generic_category().message(ENOMEM).c_str());
        return tabulex::CliSourceFailed;
    }
}
