#include "export/export_run.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "common/error.h"
#include "common/text.h"
#include "export/full_codes.h"
#include "export/local_time.h"
#include "import/chooser.h"
#include "import/dias_horas.h"
#include "tables/catalogue.h"
#include "tables/table.h"

namespace tvi {
namespace fs = std::filesystem;

// One SOLUC row as the passes read it; texts stay in the table's ANSI.
struct SolucRow {
  int recNo = 0;
  std::string asig, tarea;
  std::int32_t dia = 0;
  double hora = 0;
  std::string horaText;
  std::string codgrupo, prof, aula;
  bool classRow = false;

  std::string describe() const {
    std::string text = "Fila " + std::to_string(recNo) + " de SOLUC (ASIG \"" + fromAnsi(asig) +
                       "\", TAREA \"" + fromAnsi(tarea) + "\", DIA " + std::to_string(dia) +
                       ", HORA \"" + fromAnsi(horaText) + "\"";
    if (classRow) text += ", CODGRUPO \"" + fromAnsi(codgrupo) + "\"";
    text += ", PROF \"" + fromAnsi(prof) + "\"";
    if (classRow) text += ", AULA \"" + fromAnsi(aula) + "\"";
    return text + ")";
  }
};

namespace {

constexpr const char* kAviso =
    "Deberá Abrir el fichero XML de ITACA,\r\ndesde el cual realizó la Importación a Velmaran";
constexpr const char* kNoExiste = "No existe archivo XML o Solución.";
constexpr const char* kFinalizado = "Proceso finalizado";

// The order in which the run opens (and closes) its tables.
constexpr std::array<TableId, 8> kOpenOrder = {
    TableId::SOLUC,   TableId::GRUPOST,  TableId::CURSOST,    TableId::PROFT,
    TableId::AULAT,   TableId::ASIGNOMT, TableId::DIASHORAST, TableId::ASIGT};

std::string pathText(const fs::path& path) {
  const auto u8 = path.u8string();
  return std::string(u8.begin(), u8.end());
}

const char* dayLetter(std::int32_t dia) {
  static constexpr std::array<const char*, 7> kLetters = {"L", "M", "X", "J", "V", "S", "D"};
  return dia >= 1 && dia <= 7 ? kLetters[static_cast<std::size_t>(dia - 1)] : "";
}

// SOLUC names groups, subjects, occupations, teachers and rooms by their
// short codes; an empty code names none of them, even where a table holds
// a record whose code came out empty.
bool findByCode(Table& table, const char* field, const std::string& code) {
  return !code.empty() && table.locate(field, code);
}

void setAttr(pugi::xml_node node, const char* name, const std::string& value) {
  node.append_attribute(name).set_value(value.c_str());
}


void readDayAndHour(Table& soluc, SolucRow& row) {
  row.recNo = soluc.recNo();
  row.dia = soluc.asInteger("DIA");
  row.hora = soluc.asFloat("HORA");
  row.horaText = soluc.asString("HORA");
}

// Runs a cleanup when the scope is left, by a failure too.
template <class F>
class OnExit {
 public:
  explicit OnExit(F f) : f_(std::move(f)) {}
  ~OnExit() { f_(); }
  OnExit(const OnExit&) = delete;
  OnExit& operator=(const OnExit&) = delete;

 private:
  F f_;
};

}  // namespace

// The main window's eight table components, in the order they are opened.
struct ExportRun::Tables {
  std::array<std::unique_ptr<Table>, kOpenOrder.size()> inOrder;

  Table& wwTableSoluc() { return *inOrder[0]; }
  Table& wwTableGrupos() { return *inOrder[1]; }
  Table& wwTableProfesor() { return *inOrder[3]; }
  Table& wwTableAulas() { return *inOrder[4]; }
  Table& wwTableNomAsg() { return *inOrder[5]; }
  Table& wwTableTramos() { return *inOrder[6]; }
  Table& wwTableAsig() { return *inOrder[7]; }

  // A failure part-way leaves the rest to the Table destructors.
  void closeAll() {
    for (auto& table : inOrder) {
      if (table && table->isOpen()) table->close();
    }
  }
  ~Tables() {
    for (auto& table : inOrder) {
      if (!table) continue;
      try {
        if (table->isOpen()) table->close();
      } catch (...) {
        // Closing after a failure must not hide the failure itself.
      }
    }
  }
};

ExportRun::ExportRun(WindowState& window, Interaction& ui, Report& report)
    : window_(window), ui_(ui), report_(report) {}

ExportRun::~ExportRun() = default;

void ExportRun::openTables() {
  closeTables();
  auto tables = std::make_unique<Tables>();
  for (std::size_t i = 0; i < kOpenOrder.size(); ++i) {
    tables->inOrder[i] = bindTable(window_.tablesFolder, kOpenOrder[i], true);
    tables->inOrder[i]->open();
  }
  tables_ = std::move(tables);
}

void ExportRun::closeTables() {
  if (!tables_) return;
  auto tables = std::move(tables_);
  tables->closeAll();
}

bool ExportRun::tablesOpen() const { return tables_ != nullptr; }

bool ExportRun::skippedForZero(const SolucRow& row) {
  if (row.dia == 0) {
    skip(soluc_kind::DiaCero, row.describe(), "DIA es 0");
    return true;
  }
  if (row.hora == 0) {
    skip(soluc_kind::HoraCero, row.describe(), "HORA es 0");
    return true;
  }
  return false;
}

void ExportRun::skip(const char* kind, const std::string& row, const std::string& why) {
  ++summary_.filasSaltadas;
  report_.add(kind, row + ": " + why + "; no se escribe.");
}

Outcome ExportRun::run() {
  report_.clear();
  summary_ = {};
  DocXML = Document();

  ui_.message(kAviso);
  if (auto chosen = ui_.openXmlFile()) window_.FFicheroXML = *chosen;

  std::error_code ec;
  const bool xmlThere =
      !window_.FFicheroXML.empty() && fs::is_regular_file(window_.FFicheroXML, ec);
  if (!xmlThere || !tableExists(window_.tablesFolder, TableId::SOLUC)) {
    ui_.message(kNoExiste);
    if (window_.hostMode()) window_.ResultadoTransformacion = -1;
    return Outcome::MissingInput;
  }

  std::optional<Document> loaded;
  {
    ChooserModel chooser(2, window_.language, window_.FFicheroXML, window_.tablesFolder);
    ui_.showChooser(chooser);
    window_.FPlantilla = chooser.FPlantilla;
    window_.ListBoxPlanti = chooser.hours;
    // The chooser has just parsed the file; the run takes that document
    // over instead of parsing the whole file a second time.
    loaded = chooser.takeLoadedDocument();
  }  // releases the chooser's hold on DIASHORAST

  // The document is read and checked before the slot table is rebuilt, so
  // that a file that cannot be exported leaves every table as it was.
  DocXML = loaded ? std::move(*loaded) : Document::load(window_.FFicheroXML);
  if (!DocXML.selectSingle("/centro")) {
    throw Error("El fichero " + pathText(window_.FFicheroXML) +
                " no es un documento de ITACA: le falta el elemento raíz \"centro\".");
  }
  fullCodes_ = std::make_unique<FullCodes>(DocXML);

  checkHourList(window_.ListBoxPlanti);
  crearDiasHoras(window_.tablesFolder, window_.ListBoxPlanti, window_.FPlantilla,
                 window_.language);

  {
    BusyCursor busy(ui_);
    OnExit closeOnFailure([this] { tables_.reset(); });
    openTables();
    buildDocument();
    closeTables();

    const fs::path output = exportOutputPath(window_.FFicheroXML);
    DocXML.save(output);
    output_ = output;
  }

  report_.setCount("filas_soluc", summary_.filasSoluc);
  report_.setCount("horario_grupo", summary_.horariosGrupo);
  report_.setCount("horario_ocupacion", summary_.horariosOcupacion);
  report_.setCount("filas_saltadas", summary_.filasSaltadas);

  window_.ResultadoTransformacion = 1;
  ui_.message(kFinalizado);
  return Outcome::Finished;
}

void ExportRun::buildDocument() {
  pugi::xml_node input = DocXML.selectSingle("/centro");
  const std::string codigo = attr(input, "codigo");
  const std::string denominacion = attr(input, "denominacion");
  const std::string curso = attr(input, "curso");
  const std::string version = attr(input, "version");

  // Declaration, comments and processing instructions around the root stay.
  DocXML.dom().remove_child(input);
  pugi::xml_node centro = DocXML.dom().append_child("centro");
  setAttr(centro, "codigo", codigo);
  setAttr(centro, "denominacion", denominacion);
  setAttr(centro, "curso", curso);
  setAttr(centro, "fecha_exportacion", fechaExportacion(localNow()));
  setAttr(centro, "version", version);

  DocXML.selectSingle("/centro").append_child("horarios_grupo");
  EscribirHorariosGrupo(DocXML.selectSingle("/centro/horarios_grupo"));
  DocXML.selectSingle("/centro").append_child("horarios_ocupaciones");
  EscribirHorariosOcupaciones(DocXML.selectSingle("/centro/horarios_ocupaciones"));
}

const FullCodes& ExportRun::fullCodes() const {
  static const FullCodes none;
  return fullCodes_ ? *fullCodes_ : none;
}

void ExportRun::EscribirHorariosGrupo(pugi::xml_node collection) {
  if (!tables_) throw Error("Las tablas de Velmaran no están abiertas.");
  const FullCodes& codes = fullCodes();
  Table& soluc = tables_->wwTableSoluc();
  Table& grupos = tables_->wwTableGrupos();
  Table& nomAsg = tables_->wwTableNomAsg();
  Table& asig = tables_->wwTableAsig();
  Table& profesor = tables_->wwTableProfesor();
  Table& aulas = tables_->wwTableAulas();
  Table& tramos = tables_->wwTableTramos();

  for (soluc.first(); !soluc.eof(); soluc.next()) {
    SolucRow row;
    row.asig = soluc.asString("ASIG");
    row.tarea = soluc.asString("TAREA");
    if (row.asig == row.tarea) continue;  // an occupation: the other pass
    row.classRow = true;
    readDayAndHour(soluc, row);
    row.codgrupo = soluc.asString("CODGRUPO");
    row.prof = soluc.asString("PROF");
    row.aula = soluc.asString("AULA");
    ++summary_.filasSoluc;

    if (skippedForZero(row)) continue;
    const char* letra = dayLetter(row.dia);

    if (!findByCode(grupos, "ABREV", row.codgrupo)) {
      skip(soluc_kind::GrupoDesconocido, row.describe(),
           "el grupo \"" + fromAnsi(row.codgrupo) + "\" no está en GRUPOST");
      continue;
    }
    const std::string grupo = grupos.asString("CLAVE");
    const std::string cursoGrupo = grupos.asString("CLAVECURSO");
    const std::string ensenanza = grupos.asString("ENSENANZA");

    if (!findByCode(nomAsg, "COD", row.asig)) {
      skip(soluc_kind::ContenidoDesconocido, row.describe(),
           "la asignatura \"" + fromAnsi(row.asig) + "\" no está en ASIGNOMT");
      continue;
    }
    // Subjects of different courses that share a name share one COD, and
    // ASIGNOMT keeps the ITACA code of the first of them only; the class's
    // own row in ASIGT knows the code of its course.
    std::string contenido;
    if (asig.locate("CGRUP;CASIG;CPROF", {row.codgrupo, row.asig, row.prof}) ||
        asig.locate("CGRUP;CASIG", {row.codgrupo, row.asig})) {
      contenido = asig.asString("ASIG_ITACA");
    } else {
      contenido = nomAsg.asString("ABREV_ITACA");
    }

    const bool teacherKnown = findByCode(profesor, "ABREV", row.prof);
    const std::string docente = teacherKnown ? profesor.asString("DNI") : std::string();
    const bool roomKnown = findByCode(aulas, "ABREV", row.aula);
    const std::string aula = roomKnown ? aulas.asString("ABREV_ITACA") : std::string();

    if (!tramos.locate("HORA", row.horaText)) {
      skip(soluc_kind::HoraDesconocida, row.describe(),
           "la hora \"" + fromAnsi(row.horaText) + "\" no está en DIASHORAST");
      continue;
    }

    pugi::xml_node record = collection.append_child("horario_grupo");
    setAttr(record, "plantilla", window_.FPlantilla);
    setAttr(record, "dia_semana", letra);
    setAttr(record, "sesion_orden", std::to_string(tramos.asInteger("SESION_ORDEN")));
    setAttr(record, "hora_desde", fromAnsi(tramos.asString("HORADESDE")));
    setAttr(record, "hora_hasta", fromAnsi(tramos.asString("HORAHASTA")));
    setAttr(record, "grupo", codes.restore(FullCodes::Grupo, grupo));
    setAttr(record, "ensenanza", codes.restore(FullCodes::Ensenanza, ensenanza));
    setAttr(record, "curso", codes.restore(FullCodes::Curso, cursoGrupo));
    setAttr(record, "contenido", codes.restore(FullCodes::Contenido, contenido, cursoGrupo));
    setAttr(record, "docente", codes.restore(FullCodes::Docente, docente));
    setAttr(record, "aula", codes.restore(FullCodes::Aula, aula));
    setAttr(record, "idioma", "");
    ++summary_.horariosGrupo;

    if (!teacherKnown) {
      report_.add(soluc_kind::SinDocente,
                  row.describe() + ": " +
                      (row.prof.empty() ? std::string("no tiene profesor")
                                        : "el profesor \"" + fromAnsi(row.prof) +
                                              "\" no está en PROFT") +
                      "; se escribe con \"docente\" vacío.");
    }
    if (!roomKnown) {
      report_.add(soluc_kind::SinAula,
                  row.describe() + ": " +
                      (row.aula.empty() ? std::string("no tiene aula")
                                        : "el aula \"" + fromAnsi(row.aula) + "\" no está en AULAT") +
                      "; se escribe con \"aula\" vacía.");
    }
  }
}

void ExportRun::EscribirHorariosOcupaciones(pugi::xml_node collection) {
  if (!tables_) throw Error("Las tablas de Velmaran no están abiertas.");
  const FullCodes& codes = fullCodes();
  Table& soluc = tables_->wwTableSoluc();
  Table& nomAsg = tables_->wwTableNomAsg();
  Table& profesor = tables_->wwTableProfesor();
  Table& tramos = tables_->wwTableTramos();

  for (soluc.first(); !soluc.eof(); soluc.next()) {
    SolucRow row;
    row.asig = soluc.asString("ASIG");
    row.tarea = soluc.asString("TAREA");
    if (row.asig != row.tarea) continue;  // a class: the group pass
    readDayAndHour(soluc, row);
    row.prof = soluc.asString("PROF");
    ++summary_.filasSoluc;

    if (skippedForZero(row)) continue;
    const char* letra = dayLetter(row.dia);

    if (!findByCode(nomAsg, "COD", row.asig)) {
      skip(soluc_kind::OcupacionDesconocida, row.describe(),
           "la ocupación \"" + fromAnsi(row.asig) + "\" no está en ASIGNOMT");
      continue;
    }
    const std::string ocupacion = nomAsg.asString("ABREV_ITACA");

    if (!findByCode(profesor, "ABREV", row.prof)) {
      skip(soluc_kind::DocenteDesconocido, row.describe(),
           "el profesor \"" + fromAnsi(row.prof) + "\" no está en PROFT");
      continue;
    }
    const std::string docente = profesor.asString("DNI");
    const std::string ensenanza = profesor.asString("ENSENANZA");

    if (!tramos.locate("HORA", row.horaText)) {
      skip(soluc_kind::HoraDesconocida, row.describe(),
           "la hora \"" + fromAnsi(row.horaText) + "\" no está en DIASHORAST");
      continue;
    }

    pugi::xml_node record = collection.append_child("horario_ocupacion");
    setAttr(record, "plantilla", window_.FPlantilla);
    setAttr(record, "dia_semana", letra);
    setAttr(record, "sesion_orden", std::to_string(tramos.asInteger("SESION_ORDEN")));
    setAttr(record, "hora_desde", fromAnsi(tramos.asString("HORADESDE")));
    setAttr(record, "hora_hasta", fromAnsi(tramos.asString("HORAHASTA")));
    setAttr(record, "docente", codes.restore(FullCodes::Docente, docente));
    setAttr(record, "ensenanza", codes.restore(FullCodes::EnsenanzaDocente, ensenanza));
    setAttr(record, "ocupacion", codes.restore(FullCodes::Ocupacion, ocupacion));
    ++summary_.horariosOcupacion;
  }
}

fs::path exportOutputPath(const fs::path& input) {
  fs::path name = fs::path(u8"ResultadoVelmar");
  name += input.filename();
  return input.parent_path() / name;
}

std::string fechaExportacion(const std::tm& local) {
  char text[80];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", local.tm_mday,
                local.tm_mon + 1, local.tm_year + 1900, local.tm_hour, local.tm_min,
                local.tm_sec);
  return text;
}

}  // namespace tvi
