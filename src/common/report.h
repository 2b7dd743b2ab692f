#pragma once
// What a run did, and item by item what it passed over without a word.
// Coordinators ask "where did my class go?": the report answers it. The
// command line writes it as JSON; the window shows its lines on request.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace tvi {

struct ReportItem {
  std::string kind;    // stable identifier, e.g. "sesion_sin_clase"
  std::string detail;  // Spanish text for a person, UTF-8
};

class Report {
 public:
  void clear();
  // Sets (or replaces) a count: records per table, records written per kind.
  void setCount(const std::string& what, std::size_t n);
  void add(std::string kind, std::string detail);

  const std::vector<std::pair<std::string, std::size_t>>& counts() const { return counts_; }
  const std::vector<ReportItem>& items() const { return items_; }

  // {"run": ..., "counts": {...}, "passed_over": [{"kind":..,"detail":..}]}
  std::string toJson(const std::string& run) const;
  // One line per item, for the window's details box.
  std::vector<std::string> lines() const;

 private:
  std::vector<std::pair<std::string, std::size_t>> counts_;
  std::vector<ReportItem> items_;
};

}  // namespace tvi
