#pragma once
// The Velmaran-to-ITACA run: SOLUC and the other tables back into an ITACA
// document, written as "ResultadoVelmar" + the input's file name beside it.
//
// The run asks for the ITACA file of the earlier import, lets the person
// confirm the template in the chooser (export mode), rebuilds DIASHORAST
// for it, and writes a document that keeps the input's top-level nodes
// other than the root, and whose new root "centro" carries the input's
// identification, the export time and the two timetable collections.
//
// Guarantees beyond the plain sequence of steps:
// - a file that does not load, or has no root "centro", or an hour list
//   that does not read as numbers, stops the run before any table is
//   touched;
// - the eight tables are closed and the busy cursor restored on every path
//   out of the run, failures included;
// - the output is saved atomically (no partial file, an earlier output
//   stays whole when the save fails); the input file is never written;
// - an ITACA code that the tables hold cut to their field's width is
//   written whole when the input document holds exactly one code it fits
//   (see FullCodes).

#include <cstddef>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include <pugixml.hpp>

#include "app/interaction.h"
#include "app/outcome.h"
#include "app/window_state.h"
#include "common/report.h"
#include "itaca/document.h"

namespace tvi {

class Table;
struct SolucRow;
class FullCodes;

// Report kinds of the SOLUC rows the export passes over (skipped), and of
// the class rows written with an empty teacher or room. Stable identifiers:
// the solver stand-in and the tests name the rows they expect by them.
namespace soluc_kind {
inline constexpr const char* DiaCero = "soluc_dia_cero";
inline constexpr const char* HoraCero = "soluc_hora_cero";
inline constexpr const char* GrupoDesconocido = "soluc_grupo_desconocido";
inline constexpr const char* ContenidoDesconocido = "soluc_contenido_desconocido";
inline constexpr const char* OcupacionDesconocida = "soluc_ocupacion_desconocida";
inline constexpr const char* DocenteDesconocido = "soluc_docente_desconocido";
inline constexpr const char* HoraDesconocida = "soluc_hora_desconocida";
// Not skips: the class record is written with "docente" or "aula" empty.
inline constexpr const char* SinDocente = "soluc_clase_sin_docente";
inline constexpr const char* SinAula = "soluc_clase_sin_aula";
}  // namespace soluc_kind

class ExportRun {
 public:
  ExportRun(WindowState& window, Interaction& ui, Report& report);
  ~ExportRun();
  ExportRun(const ExportRun&) = delete;
  ExportRun& operator=(const ExportRun&) = delete;

  // The whole run behind the right button. Throws Error on a failure;
  // MissingInput when the XML file or SOLUC.DBF is not there (after the
  // message "No existe archivo XML o Solución."; -1 in the flag in host mode).
  Outcome run();

  // The output file of the last finished run.
  const std::filesystem::path& outputPath() const { return output_; }

  // What the last run wrote. A row is skipped when neither pass writes it;
  // each row is counted once, by the pass it belongs to.
  struct Summary {
    std::size_t filasSoluc = 0;
    std::size_t horariosGrupo = 0;
    std::size_t horariosOcupacion = 0;
    std::size_t filasSaltadas = 0;
  };
  const Summary& summary() const { return summary_; }

  // The two passes. Each walks SOLUC from its first row and appends one
  // record per usable row of its kind to `collection` ("horarios_grupo",
  // "horarios_ocupaciones"): class rows are those whose ASIG differs from
  // TAREA, occupation rows the others. They need the tables open.
  void EscribirHorariosGrupo(pugi::xml_node collection);
  void EscribirHorariosOcupaciones(pugi::xml_node collection);

  // The eight tables, opened exclusively in the order SOLUC, GRUPOST,
  // CURSOST, PROFT, AULAT, ASIGNOMT, DIASHORAST, ASIGT; closed in the same
  // order. A failure while opening closes those opened before it.
  void openTables();
  void closeTables();
  bool tablesOpen() const;

  Document DocXML;

 private:
  struct Tables;
  void buildDocument();
  void skip(const char* kind, const std::string& row, const std::string& why);
  // True (and reported) when a SOLUC row's DIA or HORA is 0; both passes
  // pass over such a row.
  bool skippedForZero(const SolucRow& row);
  const FullCodes& fullCodes() const;

  WindowState& window_;
  Interaction& ui_;
  Report& report_;
  std::filesystem::path output_;
  Summary summary_;
  std::unique_ptr<Tables> tables_;
  std::unique_ptr<FullCodes> fullCodes_;
};

// "ResultadoVelmar" + file name, in the input's folder.
std::filesystem::path exportOutputPath(const std::filesystem::path& input);

// "fecha_exportacion": "dd/mm/yyyy hh:mm:ss" of a broken-down local time.
std::string fechaExportacion(const std::tm& local);

}  // namespace tvi
