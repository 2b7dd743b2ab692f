#pragma once
// What the reliability tests share: a centre imported into a scratch tables
// folder, the runs driven by a steady person, byte-for-byte snapshots of
// folders, the checks a message shown to a person must pass, and folders on
// a file system of their own (read-only, or nearly full).

#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/interaction.h"
#include "app/window_state.h"
#include "common/report.h"
#include "support/test_support.h"

namespace reliability {

namespace fs = std::filesystem;

// Every entry under a folder, by path relative to it: a file with its
// bytes, a folder as "name/" with nothing. Printed by name, size and a
// digest of the bytes, so a failed comparison stays readable.
struct Snapshot {
  std::map<std::string, std::string> files;
  bool operator==(const Snapshot&) const = default;
  void erase(const std::string& name) { files.erase(name); }
  const std::string& at(const std::string& name) const { return files.at(name); }
};
void PrintTo(const Snapshot& snapshot, std::ostream* os);
Snapshot snapshot(const fs::path& folder);

// Picks `file` in the file dialog, takes the chooser's first template (the
// proposed one in export mode) with "Continuar", keeps to that template at
// step 7 and removes groups and teachers without classes at step 9.
class SteadyPerson : public tvi::Interaction {
 public:
  std::optional<fs::path> file;
  std::vector<std::string> messages;

  std::optional<fs::path> openXmlFile() override { return file; }
  void showChooser(tvi::ChooserModel& chooser) override;
  Answer confirm(const std::string& text) override;
  void message(const std::string& text) override { messages.push_back(text); }
  void setBusy(bool) override {}
};

// How a run ended: finished, the input missing, or the message it failed
// with (a tvi::Error; anything else fails the test).
struct RunResult {
  bool finished = false;
  bool missingInput = false;
  std::string error;
  std::vector<std::string> messages;  // the plain messages shown
};
RunResult runImport(const fs::path& xml, const fs::path& tables,
                    const std::string& language = "VALENCIÁ");
RunResult runExport(const fs::path& xml, const fs::path& tables);

// The shipped sample, imported with its first template into <dir>/QTEMP,
// solved by the stand-in (SOLUC written) when asked, its file copied into
// <dir>/itaca.
struct SampleCentre {
  tvitest::TempDir dir;
  fs::path xml() const { return dir / "itaca" / "centro_ejemplo.xml"; }
  fs::path tables() const { return dir / "QTEMP"; }
  fs::path output() const;  // where the export writes
  explicit SampleCentre(bool solved = false);
};

// The sample's bytes.
std::string sampleBytes();

// A message is fit to show: Spanish (none of the system's English texts,
// no bare error number), names `names` (a file or a table), and tells the
// person what to do. Failures are reported with `context`.
void expectNamesAndAdvises(const std::string& message, const std::string& names,
                           const std::string& context);
// Only the first part: Spanish and no bare error number.
void expectSpanish(const std::string& message, const std::string& context);

// A folder on a file system of its own, in a mount namespace private to
// this test process, so nothing outside it sees the mount and it goes when
// the process ends. Root ignores permission bits; a read-only or full file
// system stops it all the same. Where the machine does not allow mounting,
// available() is false and the tests use the table engine's simulated
// failures instead.
class OwnFileSystem {
 public:
  static bool available();

  // A tmpfs of `bytes` at `folder` (created when missing).
  static OwnFileSystem tmpfs(const fs::path& folder, std::size_t bytes);
  // `folder` itself, as it stands, seen read-only from now on.
  static OwnFileSystem readOnly(const fs::path& folder);

  OwnFileSystem(OwnFileSystem&& other) noexcept : folder_(std::move(other.folder_)) { other.folder_.clear(); }
  OwnFileSystem& operator=(OwnFileSystem&&) = delete;
  ~OwnFileSystem();

  // Fills the file system until about `leave` bytes remain free.
  void fillLeaving(std::size_t leave);

 private:
  explicit OwnFileSystem(fs::path folder) : folder_(std::move(folder)) {}
  fs::path folder_;
};

}  // namespace reliability
