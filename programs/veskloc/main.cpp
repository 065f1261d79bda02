// veskloc: prints where the system's programs and the time-stamp daemon's pid
// file are installed (see locationsTool.h).
#include <iostream>

#include "locationsTool.h"

int main(int argc, char* argv[]) { return veskloc::runLocationsTool(argc, argv, std::cout, std::cerr); }
