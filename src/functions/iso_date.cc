#include "functions/iso_date.h"

#include <charconv>

#include "base/unicode.h"

namespace tolvar {
namespace {

// Cuts a text at each separator in turn; nothing once the text is used up.
class Pieces {
 public:
  Pieces(std::string_view text, char separator) : rest_(text), separator_(separator) {}

  std::optional<std::string_view> next() {
    if (done_) return std::nullopt;
    std::size_t cut = rest_.find(separator_);
    if (cut == std::string_view::npos) {
      done_ = true;
      return rest_;
    }
    std::string_view piece = rest_.substr(0, cut);
    rest_.remove_prefix(cut + 1);
    return piece;
  }

 private:
  std::string_view rest_;
  char separator_;
  bool done_ = false;
};

// An optional "+" and decimal digits only; nothing on any other text or on
// overflow. A leading digit keeps from_chars from taking a sign of its own.
template <class T>
std::optional<T> read_digits(std::string_view piece) {
  if (!piece.empty() && piece.front() == '+') piece.remove_prefix(1);
  if (piece.empty() || piece.front() < '0' || piece.front() > '9') return std::nullopt;
  T value{};
  const char* end = piece.data() + piece.size();
  auto [stop, error] = std::from_chars(piece.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

std::uint32_t field_or_zero(std::optional<std::string_view> piece) {
  if (!piece) return 0;
  return read_digits<std::uint32_t>(*piece).value_or(0);
}

std::optional<IsoDateTime> read_date_part(std::string_view text) {
  Pieces pieces(text, '-');
  auto year_text = pieces.next();
  auto month_text = pieces.next();
  auto day_text = pieces.next();
  if (!day_text) return std::nullopt;
  auto year = read_digits<std::int64_t>(*year_text);
  auto month = read_digits<std::uint32_t>(*month_text);
  auto day = read_digits<std::uint32_t>(*day_text);
  if (!year || !month || !day) return std::nullopt;
  if (*month < 1 || *month > 12 || *day < 1 || *day > 31) return std::nullopt;
  IsoDateTime date;
  date.year = *year;
  date.month = *month;
  date.day = *day;
  return date;
}

void read_seconds(std::string_view seconds, IsoDateTime& date) {
  std::size_t dot = seconds.find('.');
  date.second = field_or_zero(seconds.substr(0, dot));
  if (dot == std::string_view::npos) return;
  // "5" means 500 ms: the fraction is right-padded to three digits.
  std::string_view fraction = seconds.substr(dot + 1, 3);
  char padded[3] = {'0', '0', '0'};
  fraction.copy(padded, fraction.size());
  date.millisecond = field_or_zero(std::string_view(padded, 3));
}

// The zone is dropped, never applied: "+05:00", "Z" and "-05:00" all go.
void read_time_part(std::string_view time, IsoDateTime& date) {
  time = time.substr(0, time.find_first_of("+Zz"));
  if (std::size_t minus = time.rfind('-'); minus != std::string_view::npos) {
    time = time.substr(0, minus);
  }
  Pieces pieces(time, ':');
  date.hour = field_or_zero(pieces.next());
  date.minute = field_or_zero(pieces.next());
  if (auto seconds = pieces.next()) read_seconds(*seconds, date);
}

void append_padded(std::string& out, std::uint64_t value, std::size_t width) {
  char digits[20];
  auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
  std::size_t length = static_cast<std::size_t>(end - digits);
  if (length < width) out.append(width - length, '0');
  out.append(digits, length);
}

// Unsigned magnitude so that the most negative year prints too.
void append_year(std::string& out, std::int64_t year) {
  std::uint64_t magnitude = static_cast<std::uint64_t>(year);
  if (year < 0) {
    out += '-';
    magnitude = 0 - magnitude;
  }
  append_padded(out, magnitude, 4);
}

void append_short_year(std::string& out, std::int64_t year) {
  std::int64_t remainder = year % 100;
  if (remainder < 0) remainder += 100;
  append_padded(out, static_cast<std::uint64_t>(remainder), 2);
}

struct FieldCode {
  char32_t code;
  std::uint32_t IsoDateTime::*field;
  std::size_t width;  // zero-padded to this many digits; 0 for no padding
};

constexpr FieldCode kFieldCodes[] = {
    {U'm', &IsoDateTime::month, 2},  {U'n', &IsoDateTime::month, 0},
    {U'd', &IsoDateTime::day, 2},    {U'e', &IsoDateTime::day, 0},
    {U'H', &IsoDateTime::hour, 2},   {U'h', &IsoDateTime::hour, 0},
    {U'M', &IsoDateTime::minute, 2}, {U'S', &IsoDateTime::second, 2},
    {U'3', &IsoDateTime::millisecond, 3},
};

Status append_code(const IsoDateTime& date, char32_t code, std::string& out) {
  for (const FieldCode& entry : kFieldCodes) {
    if (entry.code == code) {
      append_padded(out, date.*entry.field, entry.width);
      return Done{};
    }
  }
  switch (code) {
    case U'Y': append_year(out, date.year); return Done{};
    case U'y': append_short_year(out, date.year); return Done{};
    case U'%': out += '%'; return Done{};
    default: break;
  }
  std::string shown = "%";
  append_utf8(shown, code);
  if (code == U'a' || code == U'b') {
    return fail(shown + " names a day or month in the form's language, and this evaluator has none"
                        " — it will not guess one");
  }
  return fail("unknown date format code " + shown);
}

}  // namespace

std::optional<IsoDateTime> parse_iso_date(std::string_view text) {
  text = trim_white(text);
  std::size_t cut = text.find_first_of("T ");
  auto date = read_date_part(text.substr(0, cut));
  if (date && cut != std::string_view::npos) read_time_part(text.substr(cut + 1), *date);
  return date;
}

Result<std::string> format_date(const IsoDateTime& date, std::string_view format) {
  std::string out;
  out.reserve(format.size() + 16);
  std::size_t pos = 0;
  while (true) {
    std::size_t percent = format.find('%', pos);
    if (percent == std::string_view::npos) {
      out.append(format.substr(pos));
      return out;
    }
    out.append(format.substr(pos, percent - pos));
    pos = percent + 1;
    if (pos == format.size()) return fail("a date format ends with a bare %");
    Status written = append_code(date, decode_utf8(format, pos), out);
    if (!written.ok()) return written.failure();
  }
}

}  // namespace tolvar
