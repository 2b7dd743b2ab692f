#include "import/staging.h"

#include <random>
#include <system_error>

#include "common/error.h"
#include "itaca/atomic_file.h"
#include "tables/file_io.h"

namespace fs = std::filesystem;

namespace tvi {

namespace {

std::string shown(const fs::path& p) {
  const std::u8string text = p.u8string();
  return std::string(text.begin(), text.end());
}

// Hidden, and named so that it cannot be taken for one of Velmaran's tables.
constexpr const char* kStagingPrefix = ".transvelmar-nuevas-";

}  // namespace

StagedTables::StagedTables(fs::path liveFolder) : live_(std::move(liveFolder)) {
  std::random_device rd;
  std::mt19937_64 gen(rd());
  for (int attempt = 0; attempt < 50; ++attempt) {
    fs::path candidate = live_ / (kStagingPrefix + std::to_string(gen() % 1000000000ULL));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      staging_ = candidate;
      return;
    }
    if (ec) {
      throw Error("No se puede escribir en la carpeta de las tablas «" + shown(live_) +
                  "» (" + fileErrorReason(ec) +
                  "). Compruebe que tiene permiso de escritura y espacio libre en el disco. "
                  "No se ha modificado ninguna tabla.");
    }
  }
  throw Error("No se puede crear una carpeta de trabajo en «" + shown(live_) +
              "». No se ha modificado ninguna tabla.");
}

StagedTables::~StagedTables() {
  std::error_code ec;
  fs::remove_all(staging_, ec);
}

void StagedTables::checkNotInUse(const fs::path& liveFolder) {
  for (TableId id : importedTables()) {
    const fs::path file = tableFile(liveFolder, id);
    std::error_code ec;
    if (!fs::exists(file, ec)) continue;
    try {
      auto lock = fileio::LockedFile::openExisting(file, fileio::LockMode::Exclusive);
      lock.close();
    } catch (const fileio::FileIoError& e) {
      if (e.kind() == fileio::FailureKind::NotFound) continue;
      const std::string name = tableDef(id).name;
      if (e.kind() == fileio::FailureKind::Locked)
        throw Error("La tabla " + name + " está en uso por otro programa. Cierre Velmaran (u otro "
                    "programa que la tenga abierta) y vuelva a intentarlo. No se ha modificado "
                    "ninguna tabla.");
      throw Error("No se puede abrir la tabla " + name + " («" + shown(file) + "»): " +
                  e.reason() + ". No se ha modificado ninguna tabla.");
    }
  }
}

void StagedTables::commit() {
  checkNotInUse(live_);

  const fs::path previous = staging_ / "anteriores";
  std::error_code ec;
  fs::create_directory(previous, ec);
  if (ec)
    throw Error("No se puede escribir en la carpeta de las tablas «" + shown(live_) + "» (" +
                fileErrorReason(ec) + "). No se ha modificado ninguna tabla.");

  // Every rename done so far, so that a failure can walk them back.
  std::vector<Move> done;
  auto move = [&](const fs::path& from, const fs::path& to) {
    std::error_code moveError;
    fs::rename(from, to, moveError);
    if (moveError) {
      undo(done);
      throw Error("No se han podido sustituir las tablas de «" + shown(live_) + "» (" +
                  fileErrorReason(moveError) +
                  "). Se han dejado las tablas anteriores tal como estaban; compruebe que tiene "
                  "permiso de escritura en la carpeta y vuelva a intentarlo.");
    }
    done.push_back({from, to});
  };

  for (TableId id : importedTables()) {
    const std::string name = tableDef(id).name;
    // The live files of this table, whatever the case of their names.
    for (const char* ext : {".DBF", ".MDX"}) {
      for (const fs::path& old : fileio::findAllNoCase(live_, name + ext))
        move(old, previous / old.filename());
    }
    move(tableFile(staging_, id), live_ / (name + ".DBF"));
  }
}

void StagedTables::undo(const std::vector<Move>& done) {
  for (auto it = done.rbegin(); it != done.rend(); ++it) {
    std::error_code ec;
    fs::rename(it->to, it->from, ec);
  }
}

}  // namespace tvi
