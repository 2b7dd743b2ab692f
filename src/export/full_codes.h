#pragma once
// ITACA codes longer than the table fields that hold them.
//
// The import stores each ITACA code cut to its field's width (a subject code
// of 13 characters keeps 10 in ASIG_ITACA), and the export reads them back
// from the tables. Written as read, such a code names nothing in ITACA. The
// input document of the export, the file the data were imported from, still
// holds every code whole: a value that fills its field is looked up among
// the input's codes that are longer than the field and begin with it, and
// when exactly one fits it is written whole. Shorter values, values that
// match no longer code, and values that several codes fit are written as
// read.

#include <array>
#include <string>
#include <unordered_map>
#include <vector>

#include "itaca/document.h"

namespace tvi {

class FullCodes {
 public:
  // The kinds of code, each with the field that may cut it.
  enum Kind { Grupo, Curso, Ensenanza, Contenido, Docente, EnsenanzaDocente, Aula, Ocupacion };

  // Collects the long codes of `doc` (before its root is replaced).
  explicit FullCodes(const Document& doc);
  FullCodes() = default;

  // The code to write for `ansi`, a value read from the kind's field, as
  // UTF-8. For subjects, `course` (the group's CLAVECURSO, ANSI) chooses
  // among subjects of different courses that begin alike.
  std::string restore(Kind kind, const std::string& ansi, const std::string& course = {}) const;

 private:
  struct Candidate {
    std::string full;    // UTF-8, as the document has it
    std::string course;  // ANSI, cut as CLAVECURSO cuts it (subjects only)
  };
  struct Codes {
    std::size_t width = 0;
    std::unordered_map<std::string, std::vector<Candidate>> byPrefix;  // ANSI prefix
  };
  std::array<Codes, 8> codes_;
};

}  // namespace tvi
