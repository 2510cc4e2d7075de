#include "app/Program.h"

int main(int argc, char** argv)
{
    return tabulex::run_program(argc, argv);
}
