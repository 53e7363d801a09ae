// CSV text to the item table: RFC 4180 quoting, line ends, and refusals
// that name the line.
#include <gtest/gtest.h>

#include <string>

#include "rules/csv_table.h"

namespace tolvar {
namespace {

struct CsvCase {
  const char* name;
  std::string text;
  // The table without the XML declaration, or "error: " and the message.
  std::string expected;
};

std::string table_or_error(std::string_view text) {
  Result<XmlDocument> table = read_csv_table(text);
  if (!table.ok()) return "error: " + table.error();
  std::string written = write_xml(table.value());
  return written.substr(written.find("?>") + 2);
}

class CsvTableTest : public ::testing::TestWithParam<CsvCase> {};

TEST_P(CsvTableTest, ReadsRowsOrNamesTheLine) {
  EXPECT_EQ(table_or_error(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, CsvTableTest,
    ::testing::Values(
        CsvCase{"plain", "name,price\napple,3\npear,5\n",
                "<root><item><name>apple</name><price>3</price></item>"
                "<item><name>pear</name><price>5</price></item></root>"},
        CsvCase{"crlf_and_no_final_line_end", "k,v\r\na,1\r\nb,2",
                "<root><item><k>a</k><v>1</v></item><item><k>b</k><v>2</v></item></root>"},
        CsvCase{"byte_order_mark", "\xEF\xBB\xBFk\nx\n", "<root><item><k>x</k></item></root>"},
        CsvCase{"quoted_comma_quote_and_line_break", "k,v\n\"a,b\",\"say \"\"hi\"\"\nthere\"\n",
                "<root><item><k>a,b</k><v>say &quot;hi&quot;\nthere</v></item></root>"},
        CsvCase{"empty_quoted_and_trailing_empty_field", "a,b,c\n\"\",x,\n",
                "<root><item><a/><b>x</b><c/></item></root>"},
        CsvCase{"spaces_and_lone_cr_are_text", "k\n a \r b\n",
                "<root><item><k> a \r b</k></item></root>"},
        CsvCase{"empty_lines_skipped_short_row_padded", "\nk,v\n\nx\n\n",
                "<root><item><k>x</k><v/></item></root>"},
        CsvCase{"header_only", "k,v\n", "<root/>"},
        CsvCase{"unicode_column_name", "prénom\nÉlise\n",
                "<root><item><prénom>Élise</prénom></item></root>"},
        CsvCase{"empty_file", "", "error: line 1: no header row naming the columns"},
        CsvCase{"quote_never_closed", "k,v\na,1\nb,\"2\n3\n",
                "error: line 3: a field in double quotes is never closed"},
        CsvCase{"text_after_closing_quote", "k\n\"a\nb\"c\n",
                "error: line 3: text after the closing double quote of a field"},
        CsvCase{"quote_inside_plain_field", "k,v\na,1\nb,x\"y\n",
                "error: line 3: a double quote inside a field that does not start with one — "
                "write the field in double quotes and the quote as \"\""},
        CsvCase{"row_longer_than_header", "k,v\na,1\n\"multi\nline\",2,3\n",
                "error: line 3: 3 fields, but the header names only 2 columns"},
        CsvCase{"column_name_with_space", "\nname key,v\n",
                "error: line 2: the column name \"name key\" is not an element name, so no "
                "expression can reach its cells — name columns with letters, digits, '_', '-' "
                "and '.', starting with a letter or '_'"},
        CsvCase{"column_name_starting_with_digit", "k,1st\n",
                "error: line 1: the column name \"1st\" is not an element name, so no "
                "expression can reach its cells — name columns with letters, digits, '_', '-' "
                "and '.', starting with a letter or '_'"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tolvar
