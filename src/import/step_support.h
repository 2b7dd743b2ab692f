#pragma once
// Small helpers shared by the conversion steps (not part of the run's
// interface).

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "common/report.h"
#include "common/text.h"
#include "itaca/document.h"
#include "tables/table.h"

namespace tvi::steps {

// An attribute as the steps use it: trimmed, then in the tables' code page.
inline std::string ansiAttr(pugi::xml_node node, const char* name) {
  return toAnsi(attr(node, name));
}

// «text» for a report line, from ANSI text.
inline std::string inQuotes(const std::string& ansi) { return "«" + fromAnsi(ansi) + "»"; }

// Writes `value` into `field` when the field holds nothing but characters
// 0 to 32; otherwise the field keeps what it holds.
inline void fillIfEmpty(Table& table, std::string_view field, const std::string& value) {
  if (trimmed(table.asString(field)).empty()) table.setString(field, value);
}

// The value of `valueField` in the first record whose `keyField` equals
// `key`; empty when there is none. An empty ITACA key names nothing: it
// must not find a record that merely lacks the key.
inline std::string lookup(Table& table, std::string_view keyField, const std::string& key,
                          std::string_view valueField) {
  if (key.empty() || !table.locate(keyField, key)) return {};
  return table.asString(valueField);
}

// Things passed over per session, gathered by what they concern so that a
// report says "3 sesiones" once instead of three lines.
class SessionTally {
 public:
  void note(const char* kind, const std::string& key, const std::string& detail) {
    auto [it, fresh] = index_.try_emplace(std::string(kind) + '\x1f' + key, entries_.size());
    if (fresh)
      entries_.push_back({kind, detail, 1});
    else
      ++entries_[it->second].count;
  }
  void flushInto(Report& report) {
    for (const Entry& e : entries_)
      report.add(e.kind, e.detail + " (" + std::to_string(e.count) +
                             (e.count == 1 ? " sesión)." : " sesiones)."));
    entries_.clear();
    index_.clear();
  }

 private:
  struct Entry {
    std::string kind;
    std::string detail;
    std::size_t count;
  };
  std::vector<Entry> entries_;
  std::unordered_map<std::string, std::size_t> index_;
};

}  // namespace tvi::steps
