#pragma once
// What the fuzz targets share: a scratch folder per process, whole-file
// reads and writes, a person who answers every question the same way, and
// a check that stops the fuzzer with a message.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "app/interaction.h"

namespace tvifuzz {

namespace fs = std::filesystem;

// A folder of this process under $TMPDIR (scripts/fuzz points it at its
// own scratch folder), removed when the process ends normally.
const fs::path& scratch();

void writeBytes(const fs::path& file, std::string_view bytes);
std::string readBytes(const fs::path& file);

// Every entry of a folder by name, with its bytes (a subfolder as "name/",
// without contents).
std::map<std::string, std::string> folderContents(const fs::path& folder);

// An invariant broken: prints it and aborts, so libFuzzer keeps the input.
[[noreturn]] void fail(const std::string& what);

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Picks `file` in the file dialog, takes the chooser's first template (or
// the one it proposes) with "Continuar", and answers every question with
// `answer7` (keep to the template) or `answer9` (remove unused).
class SteadyPerson : public tvi::Interaction {
 public:
  std::optional<fs::path> file;
  Answer answer7 = Answer::No;
  Answer answer9 = Answer::Si;

  std::optional<fs::path> openXmlFile() override { return file; }
  void showChooser(tvi::ChooserModel& chooser) override;
  Answer confirm(const std::string& text) override;
  void message(const std::string&) override {}
  void setBusy(bool) override {}
};

// The shipped small centre the import and export targets start from.
fs::path smallCentre();

}  // namespace tvifuzz
