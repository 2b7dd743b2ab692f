// tvi-bench: import and export times, peak memory and their floors over
// seeded centres, in one run, printed as a table.
//
//   tvi-bench [--sizes primaria,grande,10x] [--reps N] [--work DIR] [--keep]
//
// For each centre: the import (ImportRun::run, the first template, "No" to
// taking every template, "Sí" to removing what has no classes), then the
// solver stand-in, then the export (ExportRun::run). Every measurement runs
// in a process of its own, so each peak of memory is that run's alone.
//
// The floor of a run is what no converter can avoid: parsing the file with
// pugixml alone (load_file, with the options the document service uses)
// plus writing the bytes the run produces with plain buffered writes (the
// seven tables of the import; the output document and the slot table of
// the export). Each repetition measures all of them once, so that a run
// and its floor meet the same load of the machine; the figures are the best
// of the repetitions, in wall-clock time and in processor time (which
// other programs on a busy machine disturb less).

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include <pugixml.hpp>

#include "app/interaction.h"
#include "app/window_state.h"
#include "child_process.h"
#include "common/error.h"
#include "common/report.h"
#include "export/export_run.h"
#include "gencentre/generator.h"
#include "import/chooser.h"
#include "import/import_run.h"
#include "solver/solver.h"
#include "tables/catalogue.h"

namespace fs = std::filesystem;
using tvibench::ChildResult;
using tvibench::runInChild;

namespace {

// The document service's parse options (declaration, comments, processing
// instructions and the document type kept for the save).
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration |
                                   pugi::parse_pi | pugi::parse_comments | pugi::parse_doctype;

struct SizeSpec {
  const char* key;
  const char* label;
  tvi::gen::Profile profile;
  int scale;
  int reps;
};

const std::vector<SizeSpec> kSizes = {
    {"primaria", "Primaria", tvi::gen::Profile::Primary, 1, 5},
    {"grande", "Secundaria grande", tvi::gen::Profile::LargeSecondary, 1, 5},
    {"10x", "Secundaria x10", tvi::gen::Profile::LargeSecondary, 10, 3},
};

// Targets.
constexpr double kMaxRunToFloor = 1.5;   // large centre, import and export
constexpr double kMaxGrowth = 12.0;      // 10x against the large centre
constexpr double kMaxPeakToFile = 4.0;   // import peak memory / input size

double seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

template <class F>
double timed(F&& f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  return seconds(std::chrono::steady_clock::now() - t0);
}

// What a person does in the runs, always the same way.
class BenchInteraction : public tvi::Interaction {
 public:
  explicit BenchInteraction(fs::path file) : file_(std::move(file)) {}
  std::optional<fs::path> openXmlFile() override { return file_; }
  void showChooser(tvi::ChooserModel& chooser) override {
    chooser.FormActivate();
    if (!chooser.lastError.empty()) throw tvi::Error(chooser.lastError);
    chooser.BitBtnContinuarClick();
    chooser.FormClose();
  }
  Answer confirm(const std::string& text) override {
    return text == tvi::ImportRun::allTemplatesQuestion() ? Answer::No : Answer::Si;
  }
  void message(const std::string&) override {}
  void setBusy(bool) override {}

 private:
  fs::path file_;
};

std::string readFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("no se puede leer " + file.string());
  std::ostringstream s;
  s << in.rdbuf();
  return std::move(s).str();
}

// Writes each buffer to a file of the scratch folder with stdio, as a
// program that already had every byte would.
double writePlainly(const std::vector<std::string>& contents, const fs::path& scratch) {
  fs::create_directories(scratch);
  return timed([&] {
    for (std::size_t i = 0; i < contents.size(); ++i) {
      const fs::path file = scratch / ("salida" + std::to_string(i));
      std::FILE* f = std::fopen(file.string().c_str(), "wb");
      if (!f) throw std::runtime_error("no se puede crear " + file.string());
      const bool ok = std::fwrite(contents[i].data(), 1, contents[i].size(), f) == contents[i].size();
      if (std::fclose(f) != 0 || !ok) throw std::runtime_error("no se puede escribir " + file.string());
    }
  });
}

struct Best {
  double seconds = 0;
  double cpuSeconds = 0;  // the least processor time of the repetitions
  long peakKiB = 0;
  long startKiB = 0;  // the process's resident size before the work
  bool any = false;
  void add(const ChildResult& r) {
    if (!r.ok) throw std::runtime_error(r.error);
    if (!any || r.seconds < seconds) seconds = r.seconds;
    if (!any || r.cpuSeconds < cpuSeconds) cpuSeconds = r.cpuSeconds;
    peakKiB = std::max(peakKiB, r.peakKiB);
    startKiB = std::max(startKiB, r.startKiB);
    any = true;
  }
  // What the work itself added to the process at its peak.
  long addedKiB() const { return peakKiB - startKiB; }
};


struct Figures {
  const SizeSpec* size = nullptr;
  std::uint64_t fileBytes = 0;
  double generate = 0;
  Best import, exportRun, parse, writeTables, writeExport;
  double importFloor() const { return parse.seconds + writeTables.seconds; }
  double exportFloor() const { return parse.seconds + writeExport.seconds; }
};

Figures measure(const SizeSpec& size, const fs::path& work, int repsOverride) {
  const int reps = repsOverride > 0 ? repsOverride : size.reps;
  Figures fig;
  fig.size = &size;
  const fs::path folder = work / size.key;
  const fs::path tables = folder / "tablas";
  const fs::path input = folder / "centro.xml";
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(tables);

  std::cerr << "[" << size.key << "] generando el centro..." << std::endl;
  const ChildResult generated = runInChild([&] {
    tvi::gen::CentreOptions options;
    options.profile = size.profile;
    options.scale = size.scale;
    options.bulk = true;
    options.oneLine = true;
    return timed([&] { tvi::gen::writeCentreFile(input, options); });
  });
  if (!generated.ok) throw std::runtime_error(generated.error);
  fig.generate = generated.seconds;
  fig.fileBytes = fs::file_size(input);

  const auto importOnce = [&] {
    tvi::WindowState window;
    window.tablesFolder = tables;
    BenchInteraction ui(input);
    tvi::Report report;
    tvi::ImportRun run(window, ui, report);
    tvi::Outcome outcome{};
    const double s = timed([&] { outcome = run.run(); });
    if (outcome != tvi::Outcome::Finished) throw std::runtime_error("la importación no terminó");
    return s;
  };
  const auto exportOnce = [&] {
    tvi::WindowState window;
    window.tablesFolder = tables;
    BenchInteraction ui(input);
    tvi::Report report;
    tvi::ExportRun run(window, ui, report);
    tvi::Outcome outcome{};
    const double s = timed([&] { outcome = run.run(); });
    if (outcome != tvi::Outcome::Finished) throw std::runtime_error("la exportación no terminó");
    return s;
  };
  const auto parseOnce = [&] {
    pugi::xml_document doc;
    pugi::xml_parse_result result;
    const double s = timed([&] { result = doc.load_file(input.c_str(), kParseOptions, pugi::encoding_utf8); });
    if (!result) throw std::runtime_error(std::string("pugixml: ") + result.description());
    return s;
  };
  const auto writeTablesOnce = [&] {
    std::vector<std::string> contents;
    for (tvi::TableId id : tvi::importedTables()) contents.push_back(readFile(tvi::tableFile(tables, id)));
    return writePlainly(contents, folder / "suelo");
  };
  const auto writeExportOnce = [&] {
    std::vector<std::string> contents{readFile(tvi::exportOutputPath(input)),
                                      readFile(tvi::tableFile(tables, tvi::TableId::DIASHORAST))};
    return writePlainly(contents, folder / "suelo");
  };

  // A first import gives the solver its tables, and the solution serves
  // every export after it (each import rebuilds the same tables).
  std::cerr << "[" << size.key << "] importación y solución..." << std::endl;
  fig.import.add(runInChild(importOnce));
  const ChildResult solved = runInChild([&] { return timed([&] { tvi::solve(tables); }); });
  if (!solved.ok) throw std::runtime_error(solved.error);

  // Each repetition measures everything once, so that a run and its floor
  // meet the same load on the machine.
  for (int rep = 1; rep <= reps; ++rep) {
    std::cerr << "[" << size.key << "] repetición " << rep << " de " << reps << "..." << std::endl;
    fig.parse.add(runInChild(parseOnce));
    if (rep > 1) fig.import.add(runInChild(importOnce));
    fig.writeTables.add(runInChild(writeTablesOnce));
    fig.exportRun.add(runInChild(exportOnce));
    fig.writeExport.add(runInChild(writeExportOnce));
  }
  return fig;
}

double mib(double bytes) { return bytes / (1024.0 * 1024.0); }

std::string fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

// Widths count characters, not the bytes of their UTF-8.
std::string pad(const std::string& s, std::size_t width, bool left = false) {
  const auto chars = static_cast<std::size_t>(
      std::count_if(s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
  if (chars >= width) return s;
  const std::string fill(width - chars, ' ');
  return left ? s + fill : fill + s;
}

using Row = std::vector<std::string>;

// One table: a header row, a rule, the rows; the first column left-aligned.
void printRows(const std::vector<std::pair<const char*, std::size_t>>& columns,
               const std::vector<Row>& rows) {
  const auto format = [&](const Row& cells) {
    std::string line;
    for (std::size_t i = 0; i < columns.size(); ++i)
      line += pad(cells[i], columns[i].second, i == 0) + (i + 1 < columns.size() ? " " : "");
    return line;
  };
  Row header;
  for (const auto& c : columns) header.push_back(c.first);
  const std::string top = format(header);
  std::cout << top << "\n" << std::string(top.size(), '-') << "\n";
  for (const Row& r : rows) std::cout << format(r) << "\n";
}

// A clock for the tables and targets: wall-clock time (what a person
// waits) or processor time (what a busy machine disturbs less).
struct Clock {
  const char* title;
  double Best::*field;
  double run(const Best& b) const { return b.*field; }
  double importFloor(const Figures& f) const { return run(f.parse) + run(f.writeTables); }
  double exportFloor(const Figures& f) const { return run(f.parse) + run(f.writeExport); }
};

const Clock kClocks[] = {{"tiempo real", &Best::seconds}, {"tiempo de procesador", &Best::cpuSeconds}};

void printTable(const std::vector<Figures>& all) {
  std::vector<Row> rows;
  for (const Clock& clock : kClocks) {
    std::cout << "Segundos de " << clock.title
              << " (el mejor de las repeticiones; suelo = análisis con pugixml + escritura plana "
                 "de los mismos bytes)\n";
    rows.clear();
    for (const Figures& f : all) {
      const double fi = clock.importFloor(f), fe = clock.exportFloor(f);
      rows.push_back({f.size->label, fixed(mib(static_cast<double>(f.fileBytes)), 1),
                      fixed(clock.run(f.import), 3), fixed(fi, 3), fixed(clock.run(f.import) / fi, 2),
                      fixed(clock.run(f.exportRun), 3), fixed(fe, 3),
                      fixed(clock.run(f.exportRun) / fe, 2)});
    }
    printRows({{"centro", 18}, {"MB", 7}, {"import", 8}, {"suelo", 8}, {"ratio", 6},
               {"export", 8}, {"suelo", 8}, {"ratio", 6}},
              rows);
    std::cout << "\n";
  }

  std::cout << "Memoria (MB; pico = memoria residente máxima del proceso, añadido = pico menos la "
               "del proceso al empezar)\n";
  rows.clear();
  for (const Figures& f : all) {
    const double fileMiB = mib(static_cast<double>(f.fileBytes));
    rows.push_back({f.size->label, fixed(fileMiB, 1), fixed(f.import.peakKiB / 1024.0, 1),
                    fixed(f.import.peakKiB / 1024.0 / fileMiB, 2),
                    fixed(f.import.addedKiB() / 1024.0, 1),
                    fixed(f.import.addedKiB() / 1024.0 / fileMiB, 2),
                    fixed(f.exportRun.peakKiB / 1024.0, 1), fixed(f.parse.peakKiB / 1024.0, 1),
                    fixed(f.parse.peakKiB / 1024.0 / fileMiB, 2)});
  }
  printRows({{"centro", 18}, {"MB", 7}, {"pico imp", 9}, {"x arch", 7}, {"añadido", 8},
             {"x arch", 7}, {"pico exp", 9}, {"DOM solo", 9}, {"x arch", 7}},
            rows);

  std::cout << "\nDesglose del suelo y del resto\n";
  for (const Figures& f : all)
    std::cout << "  " << pad(f.size->label, 18, true) << " análisis " << fixed(f.parse.seconds, 3)
              << " s, tablas " << fixed(f.writeTables.seconds, 3) << " s, documento exportado "
              << fixed(f.writeExport.seconds, 3) << " s; generación del centro "
              << fixed(f.generate, 2) << " s\n";
}

const Figures* find(const std::vector<Figures>& all, const char* key) {
  for (const Figures& f : all)
    if (std::string(f.size->key) == key) return &f;
  return nullptr;
}

void printTargets(const std::vector<Figures>& all) {
  std::cout << "\nObjetivos\n";
  const auto verdict = [](bool met) { return met ? "cumplido" : "NO cumplido"; };
  const auto line = [&](const std::string& what, double value, double limit) {
    std::cout << "  " << pad(what, 66, true) << pad(fixed(value, 2), 6) << " <= "
              << pad(fixed(limit, 1), 4) << "  " << verdict(value <= limit) << "\n";
  };
  const Figures* large = find(all, "grande");
  const Figures* big = find(all, "10x");
  for (const Clock& clock : kClocks) {
    const std::string by = std::string(" (") + clock.title + ")";
    if (large) {
      line("importación grande / su suelo" + by, clock.run(large->import) / clock.importFloor(*large),
           kMaxRunToFloor);
      line("exportación grande / su suelo" + by,
           clock.run(large->exportRun) / clock.exportFloor(*large), kMaxRunToFloor);
    }
    if (large && big) {
      line("importación x10 / grande" + by, clock.run(big->import) / clock.run(large->import), kMaxGrowth);
      line("exportación x10 / grande" + by, clock.run(big->exportRun) / clock.run(large->exportRun),
           kMaxGrowth);
      line("suelo x10 / grande, como referencia" + by,
           clock.importFloor(*big) / clock.importFloor(*large), kMaxGrowth);
    }
  }
  for (const Figures& f : all)
    line(std::string("pico de memoria de la importación / archivo, ") + f.size->label,
         f.import.peakKiB * 1024.0 / static_cast<double>(f.fileBytes), kMaxPeakToFile);
}

int usage(const std::string& message) {
  std::cerr << "tvi-bench: " << message << "\n"
            << "uso: tvi-bench [--sizes primaria,grande,10x] [--reps N] [--work CARPETA] [--keep]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<const SizeSpec*> chosen;
  int reps = 0;
  fs::path work = "bench-work";
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--sizes" && hasValue) {
      std::stringstream list(argv[++i]);
      for (std::string key; std::getline(list, key, ',');) {
        auto it = std::find_if(kSizes.begin(), kSizes.end(), [&](const SizeSpec& s) { return key == s.key; });
        if (it == kSizes.end()) return usage("tamaño desconocido: " + key);
        chosen.push_back(&*it);
      }
    } else if (a == "--reps" && hasValue) {
      reps = std::atoi(argv[++i]);
      if (reps < 1) return usage("--reps necesita un número positivo");
    } else if (a == "--work" && hasValue) {
      work = argv[++i];
    } else if (a == "--keep") {
      keep = true;
    } else if (a == "--help" || a == "-h") {
      usage("tiempos y memoria de la importación y la exportación");
      return 0;
    } else {
      return usage("opción desconocida: " + a);
    }
  }
  if (chosen.empty())
    for (const SizeSpec& s : kSizes) chosen.push_back(&s);

  try {
    fs::create_directories(work);
    std::vector<Figures> all;
    for (const SizeSpec* size : chosen) {
      all.push_back(measure(*size, work, reps));
      if (!keep) {
        std::error_code ec;
        fs::remove_all(work / size->key, ec);
      }
    }
    printTable(all);
    printTargets(all);
  } catch (const std::exception& e) {
    std::cerr << "tvi-bench: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
