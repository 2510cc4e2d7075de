#include <cstdio>

#include "cli/CliRunner.h"

int main(int argc, char** argv)
{
    return tabulex::run_cli(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
}
