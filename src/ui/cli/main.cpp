#include <iostream>
#include <string>
#include <vector>

#include "ui/cli/cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  return dt::cli::Run(args, std::cout, std::cerr);
}
