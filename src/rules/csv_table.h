// A CSV file read as the table a form's external instance holds.
#pragma once

#include <string_view>

#include "base/result.h"
#include "tree/document.h"

namespace tolvar {

// The rows of comma-separated text as a document: a "root" element holding
// one "item" per row after the header, each holding one element per column,
// named by the header and holding the cell's text. This is the table both
// form engines build from an attached CSV file.
//
// Fields follow RFC 4180: a field in double quotes may hold commas, line
// breaks and "" for one double quote; lines end in CRLF or LF; a leading
// byte order mark is skipped. Empty lines are skipped, and a row shorter
// than the header has empty cells.
//
// Fails with "line {n}: {reason}" for a quoted field never closed, text
// after a closing quote, a double quote inside an unquoted field, a row
// longer than the header, no header, or a column name that is no element
// name (which no path could reach).
Result<XmlDocument> read_csv_table(std::string_view text);

}  // namespace tolvar
