#include "import/dias_horas.h"

#include <array>

#include "app/window_state.h"
#include "common/error.h"
#include "common/text.h"
#include "tables/catalogue.h"
#include "tables/table.h"

namespace tvi {

namespace {

struct DayNames {
  const char* castellano;
  const char* valenciano;
};

constexpr std::array<DayNames, 7> kDays{{
    {"Lunes", "Dilluns"},
    {"Martes", "Dimarts"},
    {"Miércoles", "Dimecres"},
    {"Jueves", "Dijous"},
    {"Viernes", "Divendres"},
    {"Sábado", "Dissabte"},
    {"Domingo", "Diumenge"},
}};

// One line of the hour list, read at its fixed places (1-based positions,
// ANSI so that one character is one byte).
struct Slot {
  std::string from;  // characters 7-11
  std::string to;    // characters 15-19
  int minutes = 0;
  int order = 0;     // characters 1-2
};

std::string piece(const std::string& line, std::size_t position, std::size_t length) {
  return position - 1 < line.size() ? line.substr(position - 1, length) : std::string();
}

bool parseInteger(std::string_view text, std::int32_t& out) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == n) return false;
  std::uint64_t value = 0;
  for (; i < n; ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFull) return false;
  }
  if (hex) {
    const auto bits = static_cast<std::uint32_t>(value);
    out = static_cast<std::int32_t>(negative ? 0u - bits : bits);
    return true;
  }
  if (value > (negative ? 2147483648ull : 2147483647ull)) return false;
  out = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(value))
                 : static_cast<std::int32_t>(value);
  return true;
}

Error notAnInteger(const std::string& utf8) {
  return Error("'" + utf8 + "' no es un valor entero válido");
}

// A piece cut from an ANSI line; the message shows it as UTF-8 again.
int readPiece(const std::string& ansi) {
  std::int32_t value = 0;
  if (!parseInteger(ansi, value)) throw notAnInteger(fromAnsi(ansi));
  return value;
}

// The readings happen in the order the slot is cut (start, end, the four
// number pairs, then the order), so the first failing text is the one a
// person sees.
Slot readSlot(const std::string& utf8Line) {
  const std::string line = toAnsi(utf8Line);
  Slot slot;
  slot.from = piece(line, 7, 5);
  slot.to = piece(line, 15, 5);
  const int fromHours = readPiece(piece(line, 7, 2));
  const int fromMinutes = readPiece(piece(line, 10, 2));
  const int toHours = readPiece(piece(line, 15, 2));
  const int toMinutes = readPiece(piece(line, 18, 2));
  slot.minutes = (60 * toHours + toMinutes) - (60 * fromHours + fromMinutes);
  slot.order = readPiece(piece(line, 1, 2));
  return slot;
}

}  // namespace

std::int32_t readInteger(std::string_view text) {
  std::int32_t value = 0;
  if (!parseInteger(text, value)) throw notAnInteger(std::string(text));
  return value;
}

void checkHourList(const std::vector<std::string>& hours) {
  for (const std::string& line : hours) readSlot(line);
}

void crearDiasHoras(const std::filesystem::path& folder, const std::vector<std::string>& hours,
                    const std::string& plantilla, const std::string& language) {
  // Every line is read before the old table goes: a bad line must not leave
  // Velmaran a half-written week.
  std::vector<Slot> slots;
  slots.reserve(hours.size());
  for (const std::string& line : hours) slots.push_back(readSlot(line));

  const bool castellano = language == kCastellano;
  const std::string code = toAnsi(plantilla);

  recreateTable(folder, TableId::DIASHORAST);
  auto table = bindTable(folder, TableId::DIASHORAST, false);
  table->open();
  for (std::size_t k = 1; k <= slots.size(); ++k) {
    const Slot& slot = slots[k - 1];
    for (int d = 1; d <= 7; ++d) {
      const DayNames& day = kDays[static_cast<std::size_t>(d - 1)];
      table->append();
      table->setString("DIHO", std::to_string(d) + std::to_string(k));
      table->setString("DIA", std::to_string(d));
      table->setString("TEXTODIA", toAnsi(castellano ? day.castellano : day.valenciano));
      table->setString("HORA", std::to_string(k));
      table->setString("TEXTOHOR", std::to_string(slot.order));
      table->setString("HORADESDE", slot.from);
      table->setString("HORAHASTA", slot.to);
      table->setString("MINUTOS", std::to_string(slot.minutes));
      table->setInteger("SESION_ORDEN", slot.order);
      table->setString("PLANTILLA", code);
      table->post();
    }
  }
  table->close();
}

}  // namespace tvi
