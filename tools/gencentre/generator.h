#pragma once
// Seeded ITACA centres for the end-to-end tests and the benchmarks.
//
// The same options give the same bytes on every platform (our own random
// numbers, no std:: distributions). The document is written as it is made,
// never held whole, so a centre of hundreds of megabytes goes straight to a
// file.
//
// A centre carries the collisions real exports have:
//   - teachers with the same initials (one stem shared by more than ten,
//     past the number 9), and initials that differ only in letter case;
//   - teachers without second surname;
//   - rooms whose codes share their first four characters (more than ten
//     at scale 1, past 99 from scale 2), rooms without code, and codes that
//     differ only in letter case;
//   - group codes that give the same short code (a stem shared past 10);
//   - subjects of different courses sharing a name, subject codes longer
//     than ten characters, codes that differ only in letter case;
//   - an occupation named exactly like a subject, occupation codes sharing
//     their last three characters;
//   - sessions without room, sessions with an empty teacher, sessions whose
//     teacher is in no "docente", sessions whose subject is in no
//     "contenido";
//   - several templates, with group and occupation sessions in each, one
//     of them with more than nine sessions a day listed out of order;
//   - teachers and groups without classes in the first template.
// With bulk it also carries what a real export holds besides: pupils, their
// families and their absences, which the converter never reads.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>

namespace tvi::gen {

enum class Profile {
  Primary,         // about 22 teachers, 12 groups, 600 class sessions
  LargeSecondary,  // about 250 teachers, 130 groups, 10,000 class sessions,
                   // 2,000 occupation sessions; with bulk 2,000 pupils (~35 MB)
};

struct CentreOptions {
  std::uint64_t seed = 1;
  Profile profile = Profile::LargeSecondary;
  int scale = 1;         // multiplies every count (10 for the growth check)
  bool bulk = true;      // pupils, families and absences
  bool oneLine = true;   // everything on one line, as ITACA writes it
};

// What was written, for tests and the benchmark's table.
struct CentreSummary {
  std::size_t templates = 0;
  std::size_t teachers = 0;
  std::size_t rooms = 0;
  std::size_t courses = 0;
  std::size_t groups = 0;
  std::size_t subjects = 0;
  std::size_t occupations = 0;
  std::size_t classSessions = 0;          // horario_grupo, all templates
  std::size_t classSessionsFirst = 0;     // of the first template
  std::size_t occupationSessions = 0;     // horario_ocupacion, all templates
  std::size_t pupils = 0;
  std::uint64_t bytes = 0;
  std::string firstTemplate;              // "codigo" of the first template
};

CentreSummary writeCentre(std::ostream& out, const CentreOptions& options);

// Straight to a file (created or replaced). Throws std::runtime_error when
// the file cannot be written.
CentreSummary writeCentreFile(const std::filesystem::path& file, const CentreOptions& options);

// The whole document in memory (small centres, tests).
std::string centreText(const CentreOptions& options, CentreSummary* summary = nullptr);

}  // namespace tvi::gen
