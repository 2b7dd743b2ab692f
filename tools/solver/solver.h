#pragma once
// A stand-in for Velmaran's solver. From the tables an import left in a
// folder it writes SOLUC.DBF, the solved timetable that the export reads:
// every session of every ASIGT row (HORAS of them) placed in a free slot of
// DIASHORAST's Monday-to-Friday week, by greedy first fit, so that no
// teacher, group or room is in two places at once. A class row of ASIGT
// (CTAREA differs from CASIG) gives SOLUC rows with TAREA = CTAREA, an
// occupation row gives rows with TAREA = ASIG.
//
// Sessions of one row go to days the row does not use yet when it can, so
// that a class is spread over the week. A session that finds no free slot
// is left out and counted. Rows without a subject or occupation code
// (CASIG empty) cannot be placed and are counted apart.
//
// With `withSkips` the solution also carries rows the export has to pass
// over (unknown group, subject, occupation, teacher or hour; DIA 0; HORA 0),
// each marked with the report kind the export gives it, spread between the
// placed rows.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace tvi {

struct SolveOptions {
  bool withSkips = false;
};

// One row of SOLUC. Texts are Windows-1252, as in the tables.
struct SolucEntry {
  std::string asig, tarea;
  int dia = 0;
  double hora = 0;
  std::string codgrupo, prof, aula;
  int asigtRecNo = 0;              // the ASIGT row placed; 0 for a row to skip
  int session = 0;                 // 1-based session of that row
  const char* skipKind = nullptr;  // the export's report kind of a row to skip
};

struct SolveSummary {
  std::filesystem::path soluc;      // the file written
  std::size_t asigtRows = 0;
  std::size_t slots = 0;            // day-and-hour slots of days 1 to 5
  std::size_t sessionsWanted = 0;   // HORAS of the rows with a code
  std::size_t classSessions = 0;    // placed
  std::size_t occupationSessions = 0;
  std::size_t unplaced = 0;         // sessions no free slot could take
  std::size_t rowsWithoutCode = 0;  // ASIGT rows with CASIG empty
  std::size_t skipRows = 0;
  std::vector<SolucEntry> rows;     // SOLUC's rows in physical order
};

// Reads DIASHORAST and ASIGT (and, for the rows to skip, GRUPOST, ASIGNOMT
// and PROFT) in `tablesFolder` and replaces SOLUC there. Throws Error.
SolveSummary solve(const std::filesystem::path& tablesFolder, const SolveOptions& options = {});

// The rows as UTF-8 text, one per line, fields separated by tabs, after a
// header line: ASIG TAREA DIA HORA CODGRUPO PROF AULA. For the programs
// that write SOLUC with other dBase engines.
void writeListing(const std::filesystem::path& file, const std::vector<SolucEntry>& rows);

}  // namespace tvi
