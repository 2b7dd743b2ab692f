#include "solver/solver.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <set>
#include <string_view>
#include <unordered_set>

#include "common/error.h"
#include "common/text.h"
#include "export/export_run.h"
#include "tables/catalogue.h"
#include "tables/table.h"

namespace tvi {
namespace fs = std::filesystem;

namespace {

constexpr int kWorkingDays = 5;

struct Slot {
  int dia;
  int hora;
};

struct Assignment {
  int recNo;
  std::string casig, cprof, cgrup, caula, ctarea;
  long sessions;
};

int readNumber(const std::string& text) {
  const std::string t = trimmed(text);
  int value = 0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (ec != std::errc() || end != t.data() + t.size()) {
    throw Error("'" + fromAnsi(t) + "' no es un valor entero válido");
  }
  return value;
}

// Hours of the working days, as DIASHORAST numbers them (position in the
// template's list); every day has the same hours.
std::vector<int> readHours(const fs::path& folder) {
  auto tramos = bindTable(folder, TableId::DIASHORAST, false);
  tramos->open();
  std::set<int> hours;
  for (tramos->first(); !tramos->eof(); tramos->next()) {
    const int dia = readNumber(tramos->asString("DIA"));
    if (dia >= 1 && dia <= kWorkingDays) hours.insert(readNumber(tramos->asString("HORA")));
  }
  tramos->close();
  return {hours.begin(), hours.end()};
}

std::vector<Assignment> readAssignments(const fs::path& folder) {
  auto asig = bindTable(folder, TableId::ASIGT, false);
  asig->open();
  std::vector<Assignment> rows;
  for (asig->first(); !asig->eof(); asig->next()) {
    rows.push_back({asig->recNo(), asig->asString("CASIG"), asig->asString("CPROF"),
                    asig->asString("CGRUP"), asig->asString("CAULA"), asig->asString("CTAREA"),
                    std::lround(asig->asFloat("HORAS"))});
  }
  asig->close();
  return rows;
}

std::set<std::string> readCodes(const fs::path& folder, TableId id, const char* field) {
  auto table = bindTable(folder, id, false);
  table->open();
  std::set<std::string> codes;
  for (table->first(); !table->eof(); table->next()) codes.insert(table->asString(field));
  table->close();
  return codes;
}

// A short code that no record of a table carries.
std::string unknownCode(const std::set<std::string>& taken) {
  for (int n = 1;; ++n) {
    std::string code = "#" + std::to_string(n);
    if (!taken.count(code)) return code;
  }
}

// Who is busy when: teachers, groups, rooms and the assignment itself.
class Occupancy {
 public:
  bool isFree(const Assignment& a, const Slot& s) const {
    return !busy_.count(key('A', std::to_string(a.recNo), s)) &&
           (a.cprof.empty() || !busy_.count(key('P', a.cprof, s))) &&
           (a.cgrup.empty() || !busy_.count(key('G', a.cgrup, s))) &&
           (a.caula.empty() || !busy_.count(key('R', a.caula, s)));
  }
  void take(const Assignment& a, const Slot& s) {
    busy_.insert(key('A', std::to_string(a.recNo), s));
    if (!a.cprof.empty()) busy_.insert(key('P', a.cprof, s));
    if (!a.cgrup.empty()) busy_.insert(key('G', a.cgrup, s));
    if (!a.caula.empty()) busy_.insert(key('R', a.caula, s));
  }

 private:
  static std::string key(char kind, const std::string& code, const Slot& s) {
    return std::string(1, kind) + code + '\x1f' + std::to_string(s.dia) + '.' +
           std::to_string(s.hora);
  }
  std::unordered_set<std::string> busy_;
};

// First fit, beginning the week on a day that moves with the row and the
// session, and first among the days the row has not used yet.
bool place(const Assignment& a, long session, const std::vector<int>& hours,
           std::vector<bool>& dayUsed, Occupancy& occupancy, Slot& slot) {
  const int start = static_cast<int>((a.recNo + session) % kWorkingDays);
  for (int pass = 0; pass < 2; ++pass) {
    for (int offset = 0; offset < kWorkingDays; ++offset) {
      const int dia = (start + offset) % kWorkingDays + 1;
      if (pass == 0 && dayUsed[static_cast<std::size_t>(dia)]) continue;
      for (int hora : hours) {
        const Slot candidate{dia, hora};
        if (occupancy.isFree(a, candidate)) {
          occupancy.take(a, candidate);
          dayUsed[static_cast<std::size_t>(dia)] = true;
          slot = candidate;
          return true;
        }
      }
    }
  }
  return false;
}

// Rows for the export to pass over, made from placed rows of each kind.
std::vector<SolucEntry> rowsToSkip(const fs::path& folder, const std::vector<SolucEntry>& placed,
                                   const std::vector<int>& hours) {
  const SolucEntry* clase = nullptr;
  const SolucEntry* ocupacion = nullptr;
  for (const auto& row : placed) {
    if (!clase && row.asig != row.tarea) clase = &row;
    if (!ocupacion && row.asig == row.tarea) ocupacion = &row;
  }
  const auto groups = readCodes(folder, TableId::GRUPOST, "ABREV");
  const auto subjects = readCodes(folder, TableId::ASIGNOMT, "COD");
  const auto teachers = readCodes(folder, TableId::PROFT, "ABREV");
  const int noHour = hours.empty() ? 1 : hours.back() + 1;

  std::vector<SolucEntry> rows;
  auto add = [&rows](const SolucEntry* from, const char* kind, auto change) {
    if (!from) return;
    SolucEntry row = *from;
    row.asigtRecNo = 0;
    row.session = 0;
    row.skipKind = kind;
    change(row);
    rows.push_back(row);
  };
  add(clase, soluc_kind::GrupoDesconocido, [&](SolucEntry& r) { r.codgrupo = unknownCode(groups); });
  add(clase, soluc_kind::ContenidoDesconocido, [&](SolucEntry& r) { r.asig = unknownCode(subjects); });
  add(clase, soluc_kind::HoraDesconocida, [&](SolucEntry& r) { r.hora = noHour; });
  add(clase, soluc_kind::DiaCero, [](SolucEntry& r) { r.dia = 0; });
  add(clase, soluc_kind::HoraCero, [](SolucEntry& r) { r.hora = 0; });
  add(ocupacion, soluc_kind::DocenteDesconocido, [&](SolucEntry& r) { r.prof = unknownCode(teachers); });
  add(ocupacion, soluc_kind::OcupacionDesconocida, [&](SolucEntry& r) {
    r.asig = unknownCode(subjects);
    r.tarea = r.asig;
  });
  add(ocupacion, soluc_kind::HoraDesconocida, [&](SolucEntry& r) { r.hora = noHour; });
  add(ocupacion, soluc_kind::DiaCero, [](SolucEntry& r) { r.dia = 0; });
  add(ocupacion, soluc_kind::HoraCero, [](SolucEntry& r) { r.hora = 0; });
  return rows;
}

std::string numberText(double value) {
  if (value == std::floor(value)) return std::to_string(static_cast<long long>(value));
  return std::to_string(value);
}

void writeSoluc(const fs::path& folder, const std::vector<SolucEntry>& rows) {
  std::error_code ec;
  fs::remove(tableFile(folder, TableId::SOLUC), ec);
  fs::remove(indexFile(folder, TableId::SOLUC), ec);

  Table soluc(folder, "SOLUC", true);
  soluc.clearFields();
  soluc.addField({"ASIG", FieldType::Character, 4});
  soluc.addField({"TAREA", FieldType::Character, 4});
  soluc.addField({"DIA", FieldType::Integer, 4});
  soluc.addField({"HORA", FieldType::Float, 8});
  soluc.addField({"CODGRUPO", FieldType::Character, 4});
  soluc.addField({"PROF", FieldType::Character, 4});
  soluc.addField({"AULA", FieldType::Character, 4});
  soluc.addField({"DIHO", FieldType::Character, 10});
  soluc.addField({"NSESION", FieldType::Integer, 4});
  soluc.addField({"FIJA", FieldType::Logical, 1});
  soluc.create();
  soluc.open();
  for (const auto& row : rows) {
    soluc.append();
    soluc.setString("ASIG", row.asig);
    soluc.setString("TAREA", row.tarea);
    soluc.setInteger("DIA", row.dia);
    soluc.setFloat("HORA", row.hora);
    soluc.setString("CODGRUPO", row.codgrupo);
    soluc.setString("PROF", row.prof);
    soluc.setString("AULA", row.aula);
    soluc.setString("DIHO", std::to_string(row.dia) + numberText(row.hora));
    soluc.setInteger("NSESION", row.session);
    soluc.setBool("FIJA", false);
    soluc.post();
  }
  soluc.close();
}

}  // namespace

SolveSummary solve(const fs::path& tablesFolder, const SolveOptions& options) {
  SolveSummary summary;
  const std::vector<int> hours = readHours(tablesFolder);
  const std::vector<Assignment> assignments = readAssignments(tablesFolder);
  summary.asigtRows = assignments.size();
  summary.slots = hours.size() * kWorkingDays;

  Occupancy occupancy;
  std::vector<SolucEntry> placed;
  for (const auto& a : assignments) {
    if (a.casig.empty()) {
      ++summary.rowsWithoutCode;
      continue;
    }
    const bool isClass = a.ctarea != a.casig;
    std::vector<bool> dayUsed(kWorkingDays + 1, false);
    for (long session = 0; session < a.sessions; ++session) {
      ++summary.sessionsWanted;
      Slot slot{};
      if (!place(a, session, hours, dayUsed, occupancy, slot)) {
        ++summary.unplaced;
        continue;
      }
      SolucEntry row;
      row.asig = a.casig;
      row.tarea = isClass ? a.ctarea : a.casig;
      row.dia = slot.dia;
      row.hora = slot.hora;
      row.codgrupo = a.cgrup;
      row.prof = a.cprof;
      row.aula = a.caula;
      row.asigtRecNo = a.recNo;
      row.session = static_cast<int>(session + 1);
      placed.push_back(row);
      ++(isClass ? summary.classSessions : summary.occupationSessions);
    }
  }

  if (options.withSkips) {
    const std::vector<SolucEntry> skips = rowsToSkip(tablesFolder, placed, hours);
    summary.skipRows = skips.size();
    // Spread between the placed rows, so both passes meet them mid-table.
    const std::size_t step = std::max<std::size_t>(1, placed.size() / (skips.size() + 1));
    std::size_t next = 0;
    for (std::size_t i = 0; i < placed.size() || next < skips.size(); ++i) {
      if (i < placed.size()) summary.rows.push_back(placed[i]);
      if (next < skips.size() && (i + 1) % step == 0) summary.rows.push_back(skips[next++]);
    }
  } else {
    summary.rows = std::move(placed);
  }

  writeSoluc(tablesFolder, summary.rows);
  summary.soluc = tableFile(tablesFolder, TableId::SOLUC);
  return summary;
}

void writeListing(const fs::path& file, const std::vector<SolucEntry>& rows) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) throw Error("No se puede escribir el fichero " + file.string() + ".");
  out << "ASIG\tTAREA\tDIA\tHORA\tCODGRUPO\tPROF\tAULA\n";
  for (const auto& row : rows) {
    out << fromAnsi(row.asig) << '\t' << fromAnsi(row.tarea) << '\t' << row.dia << '\t'
        << numberText(row.hora) << '\t' << fromAnsi(row.codgrupo) << '\t' << fromAnsi(row.prof)
        << '\t' << fromAnsi(row.aula) << '\n';
  }
  if (!out.flush()) throw Error("No se puede escribir el fichero " + file.string() + ".");
}

}  // namespace tvi
