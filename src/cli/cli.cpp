#include "cli/cli.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>

#include "app/interaction.h"
#include "app/window_state.h"
#include "common/error.h"
#include "common/report.h"
#include "common/text.h"
#include "export/export_run.h"
#include "import/chooser.h"
#include "import/import_run.h"
#include "itaca/document.h"
#include "tables/catalogue.h"
#include "tables/table.h"

namespace fs = std::filesystem;

namespace tvi::cli {
namespace {

constexpr const char* kVersion = "transvelmar 1.0.0";

constexpr const char* kUsageText =
    "Uso:\n"
    "  transvelmar templates FICHERO.xml [--language TEXTO]\n"
    "  transvelmar import FICHERO.xml [--tables DIR] [--template CODIGO] [--language TEXTO]\n"
    "                     [--all-templates] [--keep-unused] [--report FICHERO.json]\n"
    "  transvelmar export FICHERO.xml [--tables DIR] [--template CODIGO] [--language TEXTO]\n"
    "                     [--report FICHERO.json]\n"
    "  transvelmar show TABLA|FICHERO.DBF [--tables DIR]\n"
    "  transvelmar --help | --version\n"
    "\n"
    "  --language  texto del idioma: val = \"VALENCIÁ\" (por defecto), cas = \"CASTELLANO\",\n"
    "              o el texto exacto que tendría el desplegable de idioma.\n"
    "  --tables    carpeta de las tablas de Velmaran (si no, TRANSVELMAR_TABLES o C:\\QTEMP).\n"
    "  --all-templates  importar los datos de todas las plantillas (respuesta \"Sí\").\n"
    "  --keep-unused    no quitar grupos y profesores sin clases (respuesta \"No\").\n"
    "\n"
    "Estado de salida: 0 correcto, 1 fallo del proceso, 2 error de uso, 3 falta un archivo.\n";

enum Exit { kOk = 0, kFailed = 1, kUsage = 2, kMissing = 3 };

// A mistake in how the program was called; the message goes to stderr and
// the program exits with status 2.
struct UsageError {
  std::string message;
};

struct Options {
  std::string command;
  std::vector<std::string> positional;
  std::optional<std::string> tables, templateCode, language, report;
  bool allTemplates = false;
  bool keepUnused = false;
};

// Which options each command accepts; anything else is a usage error.
const std::map<std::string, std::vector<std::string>>& acceptedOptions() {
  static const std::map<std::string, std::vector<std::string>> table = {
      {"templates", {"--language"}},
      {"show", {"--tables"}},
      {"import",
       {"--tables", "--template", "--language", "--all-templates", "--keep-unused", "--report"}},
      {"export", {"--tables", "--template", "--language", "--report"}},
  };
  return table;
}

bool takesValue(const std::string& option) {
  return option != "--all-templates" && option != "--keep-unused";
}

Options parse(const std::vector<std::string>& args) {
  Options o;
  if (args.empty()) throw UsageError{"falta la orden"};
  o.command = args[0];
  auto accepted = acceptedOptions().find(o.command);
  if (accepted == acceptedOptions().end()) throw UsageError{"orden desconocida: " + o.command};
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0) {
      o.positional.push_back(a);
      continue;
    }
    std::string name = a, value;
    bool inlineValue = false;
    if (auto eq = a.find('='); eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      inlineValue = true;
    }
    const auto& allowed = accepted->second;
    if (std::find(allowed.begin(), allowed.end(), name) == allowed.end())
      throw UsageError{"opción desconocida para " + o.command + ": " + name};
    if (takesValue(name)) {
      if (!inlineValue) {
        if (i + 1 >= args.size()) throw UsageError{"falta el valor de " + name};
        value = args[++i];
      }
      if (name == "--tables") o.tables = value;
      else if (name == "--template") o.templateCode = value;
      else if (name == "--language") o.language = value;
      else if (name == "--report") o.report = value;
    } else {
      if (inlineValue) throw UsageError{name + " no lleva valor"};
      if (name == "--all-templates") o.allTemplates = true;
      else o.keepUnused = true;
    }
  }
  if (o.positional.size() != 1)
    throw UsageError{o.command + " necesita exactamente un " +
                     (o.command == "show" ? "nombre de tabla o fichero" : "fichero XML")};
  return o;
}

// "val" and "cas" stand for the two items of the language combo; any other
// text is taken exactly as the combo would hold it.
std::string languageText(const std::optional<std::string>& given) {
  if (!given) return kValenciano;
  if (*given == "val") return kValenciano;
  if (*given == "cas") return kCastellano;
  return *given;
}

bool contains(const std::vector<std::string>& list, const std::string& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

// Answers the runs' dialogs from the options, and keeps the messages to
// print once the run is over.
class CliInteraction : public Interaction {
 public:
  CliInteraction(const Options& o, fs::path file) : o_(o), file_(std::move(file)) {}

  std::optional<fs::path> openXmlFile() override { return file_; }

  void showChooser(ChooserModel& chooser) override {
    chooser.FormActivate();
    if (!chooser.lastError.empty()) throw Error(chooser.lastError);
    chooser_shown_ = true;
    const bool exportMode = chooser.tag() == 2;
    if (o_.templateCode) {
      if (!contains(chooser.codes, *o_.templateCode))
        throw UsageError{"la plantilla " + *o_.templateCode + " no está en el archivo.\n" +
                         listingWithDescriptions(chooser)};
      chooser.codeText = *o_.templateCode;
    } else if (exportMode && contains(chooser.codes, chooser.codeText)) {
      // The template the slot table was built with, as the dialog proposes.
    } else if (exportMode && chooser.codes.size() == 1) {
      chooser.codeText = chooser.codes.front();
    } else {
      throw UsageError{"el archivo tiene varias plantillas: indique una con --template.\n" +
                       listingWithDescriptions(chooser)};
    }
    chooser.ComboBoxPlantillaChange();
    if (!chooser.lastError.empty()) throw Error(chooser.lastError);
    chooser.BitBtnContinuarClick();
    chooser.FormClose();
  }

  Answer confirm(const std::string& text) override {
    // Two questions: whether to take every template (step of the group
    // timetables) and whether to remove groups and teachers without classes.
    if (text == ImportRun::pruneQuestion())
      return o_.keepUnused ? Answer::No : Answer::Si;
    return o_.allTemplates ? Answer::Si : Answer::No;
  }

  void message(const std::string& text) override {
    // The export's opening notice asks for the file; the command line was
    // already given it.
    if (text.rfind("Deberá Abrir el fichero XML", 0) == 0) return;
    messages_.push_back(text);
  }
  void setBusy(bool) override {}

  void templateSettled(const std::string& code) override {
    if (o_.templateCode && !chooser_shown_ && code != *o_.templateCode)
      throw UsageError{"el archivo tiene una sola plantilla, " + code +
                       ", distinta de la indicada (" + *o_.templateCode + ")."};
  }

  const std::vector<std::string>& messages() const { return messages_; }

 private:
  // Codes with their descriptions, in the language of the run.
  static std::string listingWithDescriptions(ChooserModel& chooser) {
    std::ostringstream out;
    out << "Plantillas del archivo:\n";
    for (const auto& code : chooser.codes) {
      chooser.codeText = code;
      chooser.ComboBoxPlantillaChange();
      out << "  " << code << "  " << chooser.labelNombre << "\n";
    }
    return out.str();
  }

  const Options& o_;
  fs::path file_;
  bool chooser_shown_ = false;
  std::vector<std::string> messages_;
};

void writeReport(const Options& o, const Report& report, const std::string& run) {
  if (!o.report) return;
  std::ofstream out(*o.report, std::ios::binary | std::ios::trunc);
  out << report.toJson(run);
  if (!out) throw Error("No se ha podido escribir el informe " + *o.report + ".");
}

void printCounts(std::ostream& out, const Report& report) {
  for (const auto& [what, n] : report.counts()) out << "  " << what << ": " << n << "\n";
  if (!report.items().empty())
    out << "  elementos omitidos (véase el informe): " << report.items().size() << "\n";
}

// Prints the messages of a run: the last one ("Proceso finalizado") after
// the summary.
int finish(std::ostream& out, std::ostream& err, const CliInteraction& ui, Outcome outcome,
           const std::function<void()>& summary) {
  const auto& messages = ui.messages();
  if (outcome == Outcome::MissingInput) {
    for (const auto& m : messages) err << m << "\n";
    return kMissing;
  }
  summary();
  for (const auto& m : messages) out << m << "\n";
  return kOk;
}

// Runs an import or an export as the window would, answered by the
// options; the report is written whatever the outcome.
template <typename Run, typename Summary>
int runConversion(const Options& o, std::ostream& out, std::ostream& err, const char* name,
                  Summary printSummary) {
  WindowState window;
  window.language = languageText(o.language);
  window.tablesFolder = resolveTablesFolder(o.tables.value_or(""));
  CliInteraction ui(o, o.positional[0]);
  Report report;
  Run run(window, ui, report);
  Outcome outcome;
  try {
    outcome = run.run();
  } catch (...) {
    try { writeReport(o, report, name); } catch (...) {}
    throw;
  }
  writeReport(o, report, name);
  return finish(out, err, ui, outcome, [&] {
    printSummary(run, window);
    printCounts(out, report);
  });
}

int commandImport(const Options& o, std::ostream& out, std::ostream& err) {
  return runConversion<ImportRun>(o, out, err, "import",
                                  [&](const ImportRun&, const WindowState& window) {
    out << "Tablas escritas en " << window.tablesFolder.string() << " (plantilla "
        << window.FPlantilla << "):\n";
  });
}

int commandExport(const Options& o, std::ostream& out, std::ostream& err) {
  return runConversion<ExportRun>(o, out, err, "export",
                                  [&](const ExportRun& run, const WindowState& window) {
    out << "Archivo escrito: " << run.outputPath().string() << " (plantilla "
        << window.FPlantilla << ")\n";
  });
}

// Each template with its shift, description and hour list, as the chooser
// would show them.
int commandTemplates(const Options& o, std::ostream& out) {
  const fs::path file = o.positional[0];
  if (!fs::exists(file)) throw MissingFile("No existe archivo");
  ChooserModel chooser(0, languageText(o.language), file, {});
  chooser.FormActivate();
  if (!chooser.lastError.empty()) throw Error(chooser.lastError);
  const auto codes = chooser.codes;
  for (const auto& code : codes) {
    chooser.codeText = code;
    chooser.hours.clear();
    chooser.ComboBoxPlantillaChange();
    if (!chooser.lastError.empty()) throw Error(chooser.lastError);
    out << "Plantilla " << code << "\n"
        << "  Turno: " << chooser.labelTurno << "\n"
        << "  Horario: " << chooser.labelNombre << "\n"
        << "  Horas (" << chooser.hours.size() << "):\n";
    for (const auto& h : chooser.hours) out << "    " << h << "\n";
  }
  if (codes.empty()) out << "El archivo no tiene plantillas horarias.\n";
  return kOk;
}

std::string csvField(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// The records not deleted of a table, as CSV in UTF-8.
int commandShow(const Options& o, std::ostream& out) {
  const std::string& what = o.positional[0];
  fs::path folder, name;
  std::string ext = fs::path(what).extension().string();
  if (what.find('/') != std::string::npos || what.find('\\') != std::string::npos ||
      ansiEqualNoCase(ext, ".dbf")) {
    fs::path p(what);
    folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
    name = p.filename();
  } else {
    folder = resolveTablesFolder(o.tables.value_or(""));
    name = what;
  }
  Table table(folder, name.string(), false);
  if (!fs::exists(table.file())) throw MissingFile("No existe la tabla " + table.file().string());
  table.open();
  const auto& fields = table.fields();
  for (std::size_t i = 0; i < fields.size(); ++i)
    out << (i ? "," : "") << csvField(fields[i].name);
  out << "\n";
  for (table.first(); !table.eof(); table.next()) {
    for (std::size_t i = 0; i < fields.size(); ++i)
      out << (i ? "," : "") << csvField(fromAnsi(table.asString(fields[i].name)));
    out << "\n";
  }
  table.close();
  return kOk;
}

}  // namespace

int run(const std::vector<std::string>& args) { return run(args, std::cout, std::cerr); }

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
    out << kUsageText;
    return kOk;
  }
  if (!args.empty() && args[0] == "--version") {
    out << kVersion << "\n";
    return kOk;
  }
  try {
    Options o = parse(args);
    if (o.command == "templates") return commandTemplates(o, out);
    if (o.command == "show") return commandShow(o, out);
    if (o.command == "import") return commandImport(o, out, err);
    return commandExport(o, out, err);
  } catch (const UsageError& e) {
    err << "transvelmar: " << e.message << "\n";
    if (e.message.find("Plantillas del archivo") == std::string::npos) err << kUsageText;
    return kUsage;
  } catch (const MissingFile& e) {
    err << e.what() << "\n";
    return kMissing;
  } catch (const std::exception& e) {
    err << e.what() << "\n";
    return kFailed;
  }
}

}  // namespace tvi::cli
