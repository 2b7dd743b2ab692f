#pragma once
// The day-and-hour slot table DIASHORAST, built from a template's hour
// list. Both runs rebuild it: the import as its last step, the export
// before it reads the solution.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tvi {

// Checks that every line of the hour list reads as numbers at the places
// the slot table takes them from (order in characters 1-2, times hh:mm in
// 7-11 and 15-19). Throws Error with "'%s' no es un valor entero válido"
// for the first text that does not read, before anything is written.
// Lines are UTF-8; positions count the characters of the line.
void checkHourList(const std::vector<std::string>& hours);

// Deletes and re-creates DIASHORAST in `folder`: seven rows per line of the
// hour list (hour by hour, Monday to Sunday). Day names are Castilian when
// `language` is exactly "CASTELLANO", Valencian otherwise. `plantilla` and
// `language` are UTF-8. The hour list is checked first (as checkHourList),
// so a line that does not read leaves the previous table untouched.
void crearDiasHoras(const std::filesystem::path& folder, const std::vector<std::string>& hours,
                    const std::string& plantilla, const std::string& language);

// The integer reading the slot table uses, as the users' earlier tables were
// read. Accepted: leading blanks (the character 32 only); then one optional
// sign "+" or "-"; then either decimal digits, or hexadecimal digits after a
// prefix "$", "x", "X", "0x" or "0X". Nothing may follow the digits (a
// trailing blank fails), at least one digit is needed, and the value must
// fit 32 bits (hexadecimal values up to FFFFFFFF wrap to negative, so "$FFFFFFFF"
// reads -1). So " 8", "08", "+8" and "-8" read, and "$A" and "x1" read 10
// and 1; "", " ", "8 ", "8a", "1.5" and "--8" do not.
// Throws Error "'%s' no es un valor entero válido" with `text` in place of
// %s (the slot table's readings show the piece of the line they cut).
std::int32_t readInteger(std::string_view text);

}  // namespace tvi
