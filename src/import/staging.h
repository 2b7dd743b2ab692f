#pragma once
// All-or-nothing replacement of the seven tables an import rebuilds.
//
// The steps build the new tables in a staging folder inside the tables
// folder (every step reads only tables that earlier steps of the same run
// wrote, so they run unchanged there). Only when the last step has
// finished are the live tables replaced, together, their .MDX files
// removed; when a replacement fails halfway, the previous files are put
// back. A run that fails before that point leaves every live table exactly
// as it was.

#include <filesystem>
#include <string>
#include <vector>

#include "tables/catalogue.h"

namespace tvi {

class StagedTables {
 public:
  // Creates a fresh staging folder inside `liveFolder` (which must exist).
  explicit StagedTables(std::filesystem::path liveFolder);
  // Removes the staging folder and whatever it still holds.
  ~StagedTables();
  StagedTables(const StagedTables&) = delete;
  StagedTables& operator=(const StagedTables&) = delete;

  const std::filesystem::path& folder() const { return staging_; }

  // Throws Error naming the first of the seven live tables that another
  // program holds (an exclusive lock on each existing file is tried).
  static void checkNotInUse(const std::filesystem::path& liveFolder);

  // Replaces the live tables by the staged ones. On failure the live
  // folder is put back as it was and Error is thrown.
  void commit();

 private:
  struct Move {
    std::filesystem::path from, to;
  };
  void undo(const std::vector<Move>& done);

  std::filesystem::path live_;
  std::filesystem::path staging_;
};

}  // namespace tvi
