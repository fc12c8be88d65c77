// tbx: drives a camera from the command line through the control.
#include "Cli.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv, argv + argc);
    return tbx::cli::run(args, std::cin, std::cout, std::cerr);
}
