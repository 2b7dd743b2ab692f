#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "import/chooser.h"
#include "import/import_run.h"

namespace tvifuzz {

namespace {

struct ScratchFolder {
  fs::path path;
  ScratchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    path = fs::path(tmp && *tmp ? tmp : "/tmp") / ("tvi-fuzz-" + std::to_string(::getpid()));
    std::error_code ec;
    fs::remove_all(path, ec);
    fs::create_directories(path);
  }
  ~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

}  // namespace

const fs::path& scratch() {
  static ScratchFolder folder;
  return folder.path;
}

void writeBytes(const fs::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) fail("cannot write " + file.string());
}

std::string readBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::map<std::string, std::string> folderContents(const fs::path& folder) {
  std::map<std::string, std::string> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file())
      files[name] = readBytes(entry.path());
    else
      files[name + "/"] = {};
  }
  return files;
}

void fail(const std::string& what) {
  std::fprintf(stderr, "\n*** invariant broken: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

void SteadyPerson::showChooser(tvi::ChooserModel& chooser) {
  chooser.FormActivate();
  chooser.BitBtnContinuarClick();
  chooser.FormClose();
}

tvi::Interaction::Answer SteadyPerson::confirm(const std::string& text) {
  return text == tvi::ImportRun::pruneQuestion() ? answer9 : answer7;
}

fs::path smallCentre() { return fs::path(TVI_SOURCE_DIR) / "fuzz" / "centres" / "centro_pequeno.xml"; }

}  // namespace tvifuzz
