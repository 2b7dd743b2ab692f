#pragma once
// What must hold in the tables after a restricted import (the question of
// step 7 answered "No", the pruning answered "Sí"), checked against the
// document independently of how the steps got there.

#include <filesystem>
#include <string>

#include "itaca/document.h"

namespace importtest {

struct ImportFacts {
  std::size_t classSessions = 0;       // horario_grupo of the template whose class exists
  std::size_t occupationSessions = 0;  // horario_ocupacion of the template
};

// Adds a GoogleTest failure for every invariant broken. `language` is the
// language text the run used (UTF-8).
ImportFacts checkImportInvariants(const tvi::Document& doc, const std::filesystem::path& tables,
                                  const std::string& plantilla, const std::string& language);

}  // namespace importtest
