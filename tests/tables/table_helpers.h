#pragma once
// Helpers of the table tests: small tables to create, and hand-built dBase
// files in the layouts other programs write.

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/error.h"
#include "tables/table.h"

namespace tvitest {

// Creates `folder/name.DBF` with the given fields and opens nothing.
inline void createTable(const std::filesystem::path& folder, const std::string& name,
                        const std::vector<tvi::FieldDef>& fields) {
  tvi::Table t(folder, name, true);
  for (const auto& f : fields) t.addField(f);
  t.create();
}

// The message of the tvi::Error that `action` throws ("" when none).
inline std::string errorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const tvi::Error& e) {
    return e.what();
  }
  return {};
}

// One field of a hand-built file: name, type code, size byte, decimals byte.
struct RawField {
  std::string name;
  char type;
  int size;
  int decimals = 0;
};

// A dBase file as another program writes it: `descriptorSize` 32 (dBase
// III/IV, FoxPro) or 48 (level 7); `records` are whole records, deletion
// flag first; `afterTerminator` extra header bytes (the Visual FoxPro
// backlink); `endMarker` the trailing 0x1A.
inline std::string buildDbf(unsigned char version, const std::vector<RawField>& fields,
                            const std::vector<std::string>& records, int descriptorSize = 32,
                            std::size_t afterTerminator = 0, bool endMarker = true) {
  const std::size_t start = descriptorSize == 48 ? 68 : 32;
  const std::size_t headerLength = start + descriptorSize * fields.size() + 1 + afterTerminator;
  // FoxPro keeps the high byte of a wide character field's width in its
  // decimals byte.
  const bool foxPro = version == 0x30 || version == 0xF5;
  std::size_t recordLength = 1;
  for (const auto& f : fields) {
    recordLength += static_cast<std::size_t>(f.size);
    if (foxPro && f.type == 'C') recordLength += 256u * static_cast<std::size_t>(f.decimals);
  }
  std::string h(headerLength, '\0');
  h[0] = static_cast<char>(version);
  h[1] = 124;
  h[2] = 1;
  h[3] = 31;
  const auto count = static_cast<std::uint32_t>(records.size());
  std::memcpy(&h[4], &count, 4);  // the tests run on little-endian machines
  h[8] = static_cast<char>(headerLength & 0xFF);
  h[9] = static_cast<char>(headerLength >> 8);
  h[10] = static_cast<char>(recordLength & 0xFF);
  h[11] = static_cast<char>(recordLength >> 8);
  if (descriptorSize == 48) std::memcpy(&h[32], "DBWINWE0", 8);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    char* d = &h[start + descriptorSize * i];
    std::memcpy(d, fields[i].name.data(), fields[i].name.size());
    const std::size_t typeAt = descriptorSize == 48 ? 32 : 11;
    d[typeAt] = fields[i].type;
    d[typeAt + 1 + (descriptorSize == 48 ? 0 : 4)] = static_cast<char>(fields[i].size);
    d[typeAt + 2 + (descriptorSize == 48 ? 0 : 4)] = static_cast<char>(fields[i].decimals);
  }
  h[start + descriptorSize * fields.size()] = 0x0D;
  std::string out = h;
  for (const auto& r : records) out += r;
  if (endMarker) out += '\x1A';
  return out;
}

// Bytes of integers and doubles as the layouts store them.
inline std::string le32(std::uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}
inline std::string be32(std::uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[3 - i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}
inline std::string be64(std::uint64_t v) {
  return be32(static_cast<std::uint32_t>(v >> 32)) + be32(static_cast<std::uint32_t>(v));
}
inline std::string le64(std::uint64_t v) {
  return le32(static_cast<std::uint32_t>(v)) + le32(static_cast<std::uint32_t>(v >> 32));
}
inline std::uint64_t bitsOf(double d) {
  std::uint64_t u;
  std::memcpy(&u, &d, 8);
  return u;
}

}  // namespace tvitest
