#pragma once
// The command line `transvelmar`: the same runs as the window, answered by
// options instead of dialogs.
//
// Exit status: 0 success, 1 a run failed (message on stderr), 2 a usage
// error, 3 an input file missing.

#include <iosfwd>
#include <string>
#include <vector>

namespace tvi::cli {

int run(const std::vector<std::string>& args);
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tvi::cli
