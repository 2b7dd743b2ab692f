#pragma once
// The day-and-hour slot table DIASHORAST, built from a template's hour
// list. Both runs rebuild it: the import as its last step, the export
// before it reads the solution.

#include <filesystem>
#include <string>
#include <vector>

namespace tvi {

// Checks that every line of the hour list reads as numbers at the places
// the slot table takes them from (order in characters 1-2, times hh:mm in
// 7-11 and 15-19). Throws Error with "'%s' no es un valor entero válido"
// for the first text that does not read, before anything is written.
void checkHourList(const std::vector<std::string>& hours);

// Deletes and re-creates DIASHORAST in `folder`: seven rows per line of the
// hour list (hour by hour, Monday to Sunday). Day names are Castilian when
// `language` is exactly "CASTELLANO", Valencian otherwise. `plantilla` and
// `language` are UTF-8.
void crearDiasHoras(const std::filesystem::path& folder, const std::vector<std::string>& hours,
                    const std::string& plantilla, const std::string& language);

}  // namespace tvi
