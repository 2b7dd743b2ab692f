#include "cli/cli.h"

#include <iostream>

namespace tvi::cli {

int run(const std::vector<std::string>& args) { return run(args, std::cout, std::cerr); }

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  (void)args;
  (void)out;
  err << "transvelmar: sin implementar\n";
  return 2;
}

}  // namespace tvi::cli
