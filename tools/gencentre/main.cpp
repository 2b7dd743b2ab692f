// gencentre: writes a seeded ITACA centre.
//
//   gencentre [--seed N] [--profile primaria|secundaria] [--scale N]
//             [--no-bulk] [--indent] [-o FILE]
//
// Without -o the document goes to standard output. A summary of what was
// written goes to standard error.

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "gencentre/generator.h"

namespace {

int usage(const char* message) {
  std::cerr << "gencentre: " << message << "\n"
            << "uso: gencentre [--seed N] [--profile primaria|secundaria] [--scale N] [--no-bulk] [--indent] [-o ARCHIVO]\n";
  return 2;
}

bool number(const std::string& text, unsigned long long& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::strtoull(text.c_str(), nullptr, 10);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  tvi::gen::CentreOptions options;
  std::string output;
  const std::vector<std::string> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
    unsigned long long n = 0;
    if (a == "--seed") {
      const std::string* v = value();
      if (!v || !number(*v, n)) return usage("--seed necesita un número");
      options.seed = n;
    } else if (a == "--scale") {
      const std::string* v = value();
      if (!v || !number(*v, n) || n < 1 || n > 1000) return usage("--scale necesita un número de 1 a 1000");
      options.scale = static_cast<int>(n);
    } else if (a == "--profile") {
      const std::string* v = value();
      if (v && *v == "primaria") options.profile = tvi::gen::Profile::Primary;
      else if (v && *v == "secundaria") options.profile = tvi::gen::Profile::LargeSecondary;
      else return usage("--profile es primaria o secundaria");
    } else if (a == "--no-bulk") {
      options.bulk = false;
    } else if (a == "--indent") {
      options.oneLine = false;
    } else if (a == "-o") {
      const std::string* v = value();
      if (!v) return usage("-o necesita un archivo");
      output = *v;
    } else if (a == "--help" || a == "-h") {
      usage("centros ITACA de prueba, reproducibles por semilla");
      return 0;
    } else {
      return usage(("opción desconocida: " + a).c_str());
    }
  }
  try {
    const tvi::gen::CentreSummary s =
        output.empty() ? tvi::gen::writeCentre(std::cout, options) : tvi::gen::writeCentreFile(output, options);
    std::cerr << "plantillas " << s.templates << ", docentes " << s.teachers << ", aulas " << s.rooms
              << ", cursos " << s.courses << ", grupos " << s.groups << ", contenidos " << s.subjects
              << ", ocupaciones " << s.occupations << ", horarios_grupo " << s.classSessions << " ("
              << s.classSessionsFirst << " de la plantilla " << s.firstTemplate << "), horarios_ocupaciones "
              << s.occupationSessions << ", alumnos " << s.pupils << ", bytes " << s.bytes << "\n";
  } catch (const std::exception& e) {
    std::cerr << "gencentre: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
