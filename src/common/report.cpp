#include "common/report.h"

#include <cstdio>

#include "common/text.h"

namespace tvi {

namespace {

// A JSON string literal. Text is UTF-8; a malformed byte (a value taken
// from a document that lied about its encoding) becomes U+FFFD so the
// output stays valid JSON for any reader.
void appendJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (std::size_t pos = 0; pos < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[pos]);
    if (c >= 0x80) {
      const Utf8Step step = decodeUtf8(text, pos);
      if (step.valid)
        out.append(text.substr(pos, step.length));
      else
        out += "\\ufffd";
      pos += step.length;
      continue;
    }
    ++pos;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

}  // namespace

void Report::clear() {
  counts_.clear();
  items_.clear();
}

void Report::setCount(const std::string& what, std::size_t n) {
  for (auto& entry : counts_) {
    if (entry.first == what) {
      entry.second = n;
      return;
    }
  }
  counts_.emplace_back(what, n);
}

void Report::add(std::string kind, std::string detail) {
  items_.push_back({std::move(kind), std::move(detail)});
}

std::string Report::toJson(const std::string& run) const {
  std::string out = "{\n  \"run\": ";
  appendJsonString(out, run);
  out += ",\n  \"counts\": {";
  for (std::size_t i = 0; i < counts_.size(); ++i) {
    out += i ? ",\n    " : "\n    ";
    appendJsonString(out, counts_[i].first);
    out += ": " + std::to_string(counts_[i].second);
  }
  out += counts_.empty() ? "}" : "\n  }";
  out += ",\n  \"passed_over\": [";
  for (std::size_t i = 0; i < items_.size(); ++i) {
    out += i ? ",\n    {\"kind\": " : "\n    {\"kind\": ";
    appendJsonString(out, items_[i].kind);
    out += ", \"detail\": ";
    appendJsonString(out, items_[i].detail);
    out += "}";
  }
  out += items_.empty() ? "]" : "\n  ]";
  out += "\n}\n";
  return out;
}

std::vector<std::string> Report::lines() const {
  std::vector<std::string> out;
  out.reserve(items_.size());
  for (const auto& item : items_) out.push_back(item.detail);
  return out;
}

}  // namespace tvi
