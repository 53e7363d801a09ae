// RFC 4180 records, read in one pass, into the item table of an instance.
#include "rules/csv_table.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "base/unicode.h"
#include "rules/element_path.h"

namespace tolvar {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

Failure at_line(std::size_t line, std::string_view reason) {
  return fail("line " + std::to_string(line) + ": " + std::string(reason));
}

// Hands out one record at a time. Each character is looked at a bounded
// number of times, so a file costs time linear in its length.
class RecordReader {
 public:
  explicit RecordReader(std::string_view text) : text_(text) {
    if (text_.starts_with(kByteOrderMark)) pos_ = kByteOrderMark.size();
  }

  bool at_end() const { return pos_ >= text_.size(); }
  // The line the next record starts on, counted from 1.
  std::size_t line() const { return line_; }

  // Reads the next record's fields; fails on the line where the fault is.
  Status next(std::vector<std::string>& fields) {
    fields.clear();
    while (true) {
      fields.emplace_back();
      Status field = at('"') ? quoted_field(fields.back()) : plain_field(fields.back());
      if (!field.ok()) return field;
      if (!at(',')) break;
      ++pos_;
    }
    end_line();
    return Done{};
  }

 private:
  bool at(char c) const { return pos_ < text_.size() && text_[pos_] == c; }
  bool at_line_end() const {
    return pos_ >= text_.size() || text_[pos_] == '\n' ||
           text_.substr(pos_).starts_with("\r\n");
  }
  void end_line() {
    if (at('\r')) ++pos_;
    if (at('\n')) {
      ++pos_;
      ++line_;
    }
  }

  // Up to the next comma or line end. A lone CR is text, as RFC 4180 ends
  // lines only with CRLF.
  Status plain_field(std::string& field) {
    while (!at_line_end() && !at(',')) {
      const std::size_t stop = std::min(text_.find_first_of(",\n\"\r", pos_), text_.size());
      field.append(text_.substr(pos_, stop - pos_));
      pos_ = stop;
      if (at('"')) {
        return at_line(line_, "a double quote inside a field that does not start with one — "
                              "write the field in double quotes and the quote as \"\"");
      }
      if (at('\r') && !at_line_end()) field.push_back(text_[pos_++]);
    }
    return Done{};
  }

  // From the opening quote to its closing twin, which a comma or a line end
  // must follow.
  Status quoted_field(std::string& field) {
    const std::size_t opened_on = line_;
    ++pos_;
    while (true) {
      const std::size_t quote = text_.find('"', pos_);
      if (quote == std::string_view::npos) {
        return at_line(opened_on, "a field in double quotes is never closed");
      }
      const std::string_view run = text_.substr(pos_, quote - pos_);
      line_ += static_cast<std::size_t>(std::count(run.begin(), run.end(), '\n'));
      field.append(run);
      pos_ = quote + 1;
      if (!at('"')) break;
      field.push_back('"');
      ++pos_;
    }
    if (!at(',') && !at_line_end()) {
      return at_line(line_, "text after the closing double quote of a field");
    }
    return Done{};
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
};

bool is_empty_line(const std::vector<std::string>& fields) {
  return fields.size() == 1 && fields.front().empty();
}

Status check_column_names(const std::vector<std::string>& names, std::size_t line) {
  for (const std::string& name : names) {
    if (!is_ncname(name)) {
      return at_line(line, "the column name " + quote_text(name) +
                               " is not an element name, so no expression can reach its "
                               "cells — name columns with letters, digits, '_', '-' and '.', "
                               "starting with a letter or '_'");
    }
  }
  return Done{};
}

void add_row(XmlDocument& table, const std::vector<std::string>& names,
             const std::vector<std::string>& cells) {
  const NodeId item = table.new_element("item");
  table.append_child(table.root, item);
  for (std::size_t column = 0; column < names.size(); ++column) {
    const std::string_view text = column < cells.size() ? cells[column] : std::string_view();
    table.append_child(item, table.new_element(names[column], text));
  }
}

}  // namespace

Result<XmlDocument> read_csv_table(std::string_view text) {
  RecordReader reader(text);
  std::vector<std::string> names;
  while (!reader.at_end() && (names.empty() || is_empty_line(names))) {
    const std::size_t line = reader.line();
    Status read = reader.next(names);
    if (!read.ok()) return read.failure();
    if (is_empty_line(names)) continue;
    Status named = check_column_names(names, line);
    if (!named.ok()) return named.failure();
  }
  if (names.empty() || is_empty_line(names)) {
    return at_line(reader.line(), "no header row naming the columns");
  }

  XmlDocument table;
  table.root = table.new_element("root");
  std::vector<std::string> cells;
  while (!reader.at_end()) {
    const std::size_t line = reader.line();
    Status read = reader.next(cells);
    if (!read.ok()) return read.failure();
    if (is_empty_line(cells)) continue;
    if (cells.size() > names.size()) {
      return at_line(line, std::to_string(cells.size()) + " fields, but the header names only " +
                               std::to_string(names.size()) + " columns");
    }
    add_row(table, names, cells);
  }
  table.renumber();
  return table;
}

}  // namespace tolvar
