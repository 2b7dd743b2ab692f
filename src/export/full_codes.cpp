#include "export/full_codes.h"

#include <algorithm>

#include "common/text.h"
#include "tables/catalogue.h"

namespace tvi {

namespace {

struct Source {
  FullCodes::Kind kind;
  const char* path;  // the input's items of that kind
  const char* attr;  // and the attribute holding the code
  TableId table;     // the field the export reads it from
  const char* field;
};

constexpr Source kSources[] = {
    {FullCodes::Grupo, "/centro/grupos/grupo", "codigo", TableId::GRUPOST, "CLAVE"},
    {FullCodes::Curso, "/centro/cursos/curso", "codigo", TableId::GRUPOST, "CLAVECURSO"},
    {FullCodes::Ensenanza, "/centro/grupos/grupo", "ensenanza", TableId::GRUPOST, "ENSENANZA"},
    {FullCodes::Contenido, "/centro/contenidos/contenido", "codigo", TableId::ASIGT, "ASIG_ITACA"},
    {FullCodes::Docente, "/centro/docentes/docente", "documento", TableId::PROFT, "DNI"},
    {FullCodes::EnsenanzaDocente, "/centro/docentes/docente", "ensenanza", TableId::PROFT,
     "ENSENANZA"},
    {FullCodes::Aula, "/centro/aulas/aula", "codigo", TableId::AULAT, "ABREV_ITACA"},
    {FullCodes::Ocupacion, "/centro/ocupaciones/ocupacion", "codigo", TableId::ASIGNOMT,
     "ABREV_ITACA"},
};

std::size_t fieldWidth(TableId table, const char* field) {
  for (const FieldDef& f : tableDef(table).fields) {
    if (f.name == field) return static_cast<std::size_t>(f.width);
  }
  return 0;
}

}  // namespace

FullCodes::FullCodes(const Document& doc) {
  const std::size_t courseWidth = fieldWidth(TableId::GRUPOST, "CLAVECURSO");
  for (const Source& source : kSources) {
    Codes& codes = codes_[source.kind];
    codes.width = fieldWidth(source.table, source.field);
    for (const pugi::xml_node& item : doc.select(source.path)) {
      const std::string full = attr(item, source.attr);
      const std::string ansi = toAnsi(full);
      if (codes.width == 0 || ansi.size() <= codes.width) continue;
      auto& candidates = codes.byPrefix[ansi.substr(0, codes.width)];
      const bool known = std::any_of(candidates.begin(), candidates.end(),
                                     [&](const Candidate& c) { return c.full == full; });
      if (source.kind == Contenido) {
        candidates.push_back({full, leftAnsi(toAnsi(attr(item, "curso")), courseWidth)});
      } else if (!known) {
        candidates.push_back({full, {}});
      }
    }
  }
}

std::string FullCodes::restore(Kind kind, const std::string& ansi, const std::string& course) const {
  const Codes& codes = codes_[kind];
  if (codes.width == 0 || ansi.size() < codes.width) return fromAnsi(ansi);
  const auto it = codes.byPrefix.find(ansi);
  if (it == codes.byPrefix.end()) return fromAnsi(ansi);

  // Subjects of the group's course first; any course when none is.
  for (const bool sameCourse : {kind == Contenido, false}) {
    std::vector<const Candidate*> fitting;
    for (const Candidate& c : it->second) {
      if (sameCourse && c.course != course) continue;
      if (std::none_of(fitting.begin(), fitting.end(),
                       [&](const Candidate* f) { return f->full == c.full; }))
        fitting.push_back(&c);
    }
    if (fitting.size() == 1) return fitting.front()->full;
    if (!fitting.empty()) break;  // several fit: none is sure
  }
  return fromAnsi(ansi);
}

}  // namespace tvi
