#pragma once
// The one kind of failure a run raises. Its message is the text a person
// sees (Spanish, UTF-8), shown as it stands by every front end.

#include <stdexcept>
#include <string>

namespace tvi {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// An input file (the ITACA document, SOLUC) that is not there. The fronts
// tell it apart from other failures (exit status 3 on the command line).
class MissingFile : public Error {
 public:
  using Error::Error;
};

}  // namespace tvi
