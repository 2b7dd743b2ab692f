// solver --tables DIR [--with-skips] [--listing FILE]
//
// Writes SOLUC.DBF into the tables folder from the tables an import left
// there, as Velmaran would after solving the timetable.

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "common/error.h"
#include "solver/solver.h"
#include "tables/catalogue.h"

namespace {

constexpr const char* kUsage =
    "Uso: solver --tables DIR [--with-skips] [--listing FICHERO]\n"
    "  --tables DIR          carpeta de las tablas de Velmaran (por omisión la habitual)\n"
    "  --with-skips          añade filas que la exportación debe descartar\n"
    "  --listing FICHERO     escribe también las filas de SOLUC como texto (UTF-8, tabuladores)\n";

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string tables;
  std::string listing;
  tvi::SolveOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--with-skips") {
      options.withSkips = true;
    } else if ((arg == "--tables" || arg == "--listing") && i + 1 < args.size()) {
      (arg == "--tables" ? tables : listing) = args[++i];
    } else {
      std::cerr << "solver: opción no reconocida: " << arg << "\n" << kUsage;
      return 2;
    }
  }

  try {
    const auto folder = tvi::resolveTablesFolder(tables);
    const tvi::SolveSummary s = tvi::solve(folder, options);
    if (!listing.empty()) tvi::writeListing(listing, s.rows);
    std::cout << "SOLUC escrita: " << s.soluc.string() << "\n"
              << "  filas de ASIGT: " << s.asigtRows << " (sin código: " << s.rowsWithoutCode
              << ")\n"
              << "  huecos de lunes a viernes: " << s.slots << "\n"
              << "  sesiones colocadas: " << s.classSessions << " de clase, "
              << s.occupationSessions << " de ocupación; sin hueco: " << s.unplaced << "\n"
              << "  filas a descartar: " << s.skipRows << "\n";
    return 0;
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
}
