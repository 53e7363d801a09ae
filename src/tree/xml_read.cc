// The lenient XML reader: one forward scan with an explicit stack of open
// elements. Comments and processing instructions are skipped whole and CDATA
// sections read as text; other declarations are never parsed: their "<" is
// skipped and their text falls through as ignored text.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "tree/document.h"
#include "base/unicode.h"

namespace tolvar {
namespace {

constexpr std::size_t kNotFound = std::string_view::npos;

std::string_view local_name(std::string_view name) {
  const std::size_t colon = name.rfind(':');
  return colon == kNotFound ? name : name.substr(colon + 1);
}

struct NamedEntity {
  std::string_view body;  // what follows the "&"
  char replacement;
};
constexpr NamedEntity kNamedEntities[] = {
    {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}, {"amp;", '&'},
};

bool is_scalar_value(std::uint32_t c) {
  return c != 0 && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

// A reference "&#60;" or "&#x3C;" at the start of text: appends the code
// point and returns the reference's length, or returns 0 when it is
// malformed or names no scalar value, so that it stays as written.
std::size_t decode_numeric_reference(std::string_view text, std::string& out) {
  if (text.size() < 4 || text[1] != '#') return 0;
  const bool hexadecimal = text[2] == 'x' || text[2] == 'X';
  const char* digits = text.data() + (hexadecimal ? 3 : 2);
  const char* end = text.data() + text.size();
  std::uint32_t code_point = 0;
  const auto [stop, error] = std::from_chars(digits, end, code_point, hexadecimal ? 16 : 10);
  if (error != std::errc() || stop == end || *stop != ';' || !is_scalar_value(code_point)) {
    return 0;
  }
  append_utf8(out, code_point);
  return static_cast<std::size_t>(stop + 1 - text.data());
}

// A reference at the start of text (which begins with "&"): appends what it
// stands for and returns its length, or 0 when it is not one we decode.
std::size_t decode_reference(std::string_view text, std::string& out) {
  const std::string_view body = text.substr(1);
  for (const NamedEntity& entity : kNamedEntities) {
    if (body.starts_with(entity.body)) {
      out += entity.replacement;
      return entity.body.size() + 1;
    }
  }
  return decode_numeric_reference(text, out);
}

// One left-to-right pass that decodes each reference once, so that "&amp;lt;"
// gives "&lt;" and "&amp;#60;" gives "&#60;". Text without references comes
// back as it is; otherwise the decoded form is built in `scratch`.
std::string_view decode_entities(std::string_view text, std::string& scratch) {
  std::size_t ampersand = text.find('&');
  if (ampersand == kNotFound) return text;
  std::string& out = scratch;
  out.clear();
  std::size_t done = 0;
  while (ampersand != kNotFound) {
    out.append(text, done, ampersand - done);
    const std::size_t length = decode_reference(text.substr(ampersand), out);
    if (length == 0) {
      out += '&';
      done = ampersand + 1;
    } else {
      done = ampersand + length;
    }
    ampersand = text.find('&', done);
  }
  out.append(text, done);
  return out;
}

// Offset of the ">" that ends a tag, looking from `from` and skipping quoted
// stretches (a quote runs to the next occurrence of the same character).
// Tags are short: a byte loop finds the end sooner than a library search
// for ">" followed by one for quotes.
std::size_t find_tag_end(std::string_view text, std::size_t from) {
  for (std::size_t at = from; at < text.size(); ++at) {
    const char byte = text[at];
    if (byte == '>') return at;
    if (byte == '"' || byte == '\'') {
      at = text.find(byte, at + 1);
      if (at == kNotFound) return kNotFound;
    }
  }
  return kNotFound;
}

// Markup read whole: its content never opens or closes an element.
struct Markup {
  std::string_view opener;
  std::string_view closer;
  bool is_text;  // a CDATA section's content is the element's text, unescaped
};
constexpr Markup kMarkups[] = {
    {"<!--", "-->", false},
    {"<![CDATA[", "]]>", true},
    {"<?", "?>", false},
};

// The comment, CDATA section or processing instruction starting at pos
// (which may be the end of the text).
const Markup* markup_at(std::string_view text, std::size_t pos) {
  // Every opener is "<!" or "<?": most tags are settled by that one byte.
  if (pos + 1 >= text.size() || (text[pos + 1] != '!' && text[pos + 1] != '?')) return nullptr;
  const std::string_view rest = text.substr(pos);
  for (const Markup& markup : kMarkups) {
    if (rest.starts_with(markup.opener)) return &markup;
  }
  return nullptr;
}

// The content of markup starting at pos, and the offset just past it. Markup
// that is never closed runs to the end of the text, so the elements still
// open are reported as unclosed rather than read out of a comment.
struct MarkupSpan {
  std::string_view content;
  std::size_t end;
};

MarkupSpan markup_span(std::string_view text, std::size_t pos, const Markup& markup) {
  const std::size_t start = pos + markup.opener.size();
  const std::size_t close = text.find(markup.closer, start);
  if (close == kNotFound) return {text.substr(start), text.size()};
  return {text.substr(start, close - start), close + markup.closer.size()};
}

// How many bytes are "<" or "=": at least as many as the nodes a text can
// hold. One pass in blocks short enough for a byte-wide count, which the
// compiler turns into whole-register compares.
std::size_t count_node_marks(std::string_view text) {
  constexpr std::size_t kBlock = 255;
  std::size_t total = 0;
  for (std::size_t start = 0; start < text.size(); start += kBlock) {
    const std::size_t end = std::min(text.size(), start + kBlock);
    unsigned char in_block = 0;
    for (std::size_t i = start; i < end; ++i) {
      in_block += static_cast<unsigned char>((text[i] == '<') | (text[i] == '='));
    }
    total += in_block;
  }
  return total;
}

struct PendingAttribute {
  std::string_view name;
  std::string_view value;
};

// Bytes of a plain name: ASCII without white space, quotes, "/" or ">".
constexpr auto kPlainNameBytes = [] {
  std::array<bool, 256> plain{};
  for (int byte = 0; byte < 0x80; ++byte) {
    plain[byte] = !is_ascii_white(static_cast<unsigned char>(byte)) && byte != '"' &&
                  byte != '\'' && byte != '/' && byte != '>';
  }
  return plain;
}();

// Names are short: a byte loop beats a call to memcmp.
bool same_bytes(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t at = 0; at < a.size(); ++at) {
    if (a[at] != b[at]) return false;
  }
  return true;
}

// Most texts start with a byte that is plainly not white space: settled here,
// without a call.
bool is_text_blank(std::string_view run) {
  if (run.empty()) return true;
  const auto first = static_cast<unsigned char>(run.front());
  if (first < 0x80 && !is_ascii_white(first)) return false;
  return is_blank(run);
}

}  // namespace

class XmlReader {
 public:
  // A borrowing reader leaves names and texts that need no decoding in
  // `text` instead of copying them into the document.
  XmlReader(std::string_view text, bool borrows) : text_(text), borrows_(borrows) {
    // Every node needs a "<" or an "=", and names and texts are never longer
    // than the text they come from, so neither arena grows while reading;
    // capacity beyond what is used is never touched.
    document_.reserve(count_node_marks(text), borrows ? 0 : text.size());
    if (borrows) document_.borrowed_ = text;
  }

  Status read() {
    std::size_t pos = next_open(0);
    while (pos < text_.size()) {
      const std::size_t next = pos + 1;
      const char kind = next < text_.size() ? text_[next] : '\0';
      if (kind == '!' || kind == '?') {
        // Outside an element's first text run a CDATA section is discarded
        // like any other text; of other declarations only the "<" is skipped.
        const Markup* markup = markup_at(text_, pos);
        pos = next_open(markup != nullptr ? markup_span(text_, pos, *markup).end : next);
        continue;
      }
      if (kind == '/' && closes_plainly(next + 1, pos)) {
        pos = next_open(pos);
        continue;
      }
      const std::size_t plain_end = kind == '/' ? kNotFound : plain_tag_end(next);
      const bool plain = plain_end != kNotFound;
      const std::size_t tag_end = plain ? plain_end : find_tag_end(text_, next);
      if (tag_end == kNotFound) return fail("unterminated tag");
      const std::string_view content = text_.substr(next, tag_end - next);
      pos = tag_end + 1;
      Status status =
          kind == '/' ? close_element(content.substr(1)) : open_element(content, plain, pos);
      if (!status.ok()) return status;
      pos = next_open(pos);
    }
    if (!open_.empty()) return fail("unclosed elements");
    // Ids follow start tags, each element followed by its attributes: that
    // is document order already.
    if (!document_.has_root()) return fail("no root element");
    document_.rank_by_id();
    return Done{};
  }

  XmlDocument take_document() { return std::move(document_); }

 private:
  using Link = XmlNode::Link;

  // An element whose end tag is still to come, with what closing it needs.
  struct OpenElement {
    NodeId id;
    std::string_view written_name;  // with its prefix
    Link last_child;
    bool plain;  // its start tag was a plain name
  };

  // The ">" that ends a start tag made of one plain name, perhaps followed
  // by the "/" of a self-closing tag: most tags, read in one pass.
  // kNotFound for any other tag, which find_tag_end reads.
  std::size_t plain_tag_end(std::size_t from) const {
    std::size_t at = from;
    while (at < text_.size() && kPlainNameBytes[static_cast<unsigned char>(text_[at])]) ++at;
    if (at < text_.size() && text_[at] == '>') return at;
    if (at + 1 < text_.size() && text_[at] == '/' && text_[at + 1] == '>') return at + 1;
    return kNotFound;
  }

  // An end tag at `from` (past "</") that repeats the plain start tag of the
  // innermost element byte for byte closes it with no further reading, and
  // moves pos past it. Any other end tag is left to close_element.
  bool closes_plainly(std::size_t from, std::size_t& pos) {
    if (open_.empty() || !open_.back().plain) return false;
    const OpenElement& element = open_.back();
    const std::size_t end = from + element.written_name.size();
    if (end >= text_.size() || text_[end] != '>' ||
        !same_bytes(text_.substr(from, element.written_name.size()), element.written_name)) {
      return false;
    }
    finish_children(element);
    open_.pop_back();
    pos = end + 1;
    return true;
  }

  // The open element is read in place rather than copied out: it was
  // pushed moments ago, and a wide copy would wait on the stores that wrote it.
  Status close_element(std::string_view rest) {
    if (open_.empty()) return fail("closing tag without opening");
    const OpenElement& element = open_.back();
    finish_children(element);
    const std::string_view written_name = element.written_name;
    open_.pop_back();
    if (same_bytes(rest, written_name)) return Done{};
    const std::string_view name = local_name(written_name);
    const std::string_view closing = local_name(trim_white(rest));
    if (closing == name) return Done{};
    std::string message = "closing </";
    message += closing;
    message += "> does not match open <";
    message += name;
    message += '>';
    return fail(std::move(message));
  }

  // Reads a start tag; for one that is not self-closing, also captures the
  // text that follows it and moves pos to the next "<".
  Status open_element(std::string_view content, bool plain, std::size_t& pos) {
    const bool self_closing = content.ends_with('/');
    while (content.ends_with('/')) content.remove_suffix(1);
    std::string_view written_name = content;
    NodeId element;
    if (plain) {
      element = add_element(local_name(written_name));
    } else {
      const std::size_t first_white = find_white(content);
      const std::size_t name_start = skip_white(content);
      const std::size_t name_end =
          name_start == 0 ? first_white : find_white(content, name_start);
      read_attributes(content.substr(first_white));
      written_name = content.substr(name_start, name_end - name_start);
      element = add_element(local_name(written_name));
      for (const PendingAttribute& attribute : attributes_) add_attribute(element, attribute);
    }
    if (open_.empty()) {
      if (document_.has_root()) return fail("more than one root element");
      document_.root = element;
    } else {
      append_to_open(element);
    }
    if (self_closing) return Done{};
    pos = capture_text(element, pos);
    open_.push_back({element, written_name, XmlNode::kNone, plain});
    return Done{};
  }

  NodeId add_element(std::string_view name) {
    XmlNode& node = document_.nodes_.emplace_back();
    node.name_ = keep(name);
    node.name_size_ = static_cast<std::uint32_t>(name.size());
    node.name_digest_ = NameKey::digest_of(name);
    return document_.nodes_.size() - 1;
  }

  void add_attribute(NodeId element, const PendingAttribute& attribute) {
    const NodeId id = add_element(local_name(attribute.name));
    XmlNode& node = document_.nodes_[id];
    keep_text(id, decode_entities(attribute.value, scratch_), attribute.value);
    node.is_attribute_ = true;
    node.parent_ = static_cast<Link>(element);
    document_.link_last(document_.nodes_[element].first_attribute_, id);
  }

  // Links child after the last child of the innermost open element. The
  // first child's link back to the last is set when the parent closes.
  void append_to_open(NodeId child) {
    OpenElement& parent = open_.back();
    XmlNode& node = document_.nodes_[child];
    node.parent_ = static_cast<Link>(parent.id);
    if (parent.last_child == XmlNode::kNone) {
      document_.nodes_[parent.id].first_child_ = static_cast<Link>(child);
    } else {
      document_.nodes_[parent.last_child].next_ = static_cast<Link>(child);
      node.previous_ = parent.last_child;
    }
    parent.last_child = static_cast<Link>(child);
  }

  void finish_children(const OpenElement& element) {
    if (element.last_child == XmlNode::kNone) return;
    document_.nodes_[document_.nodes_[element.id].first_child_].previous_ = element.last_child;
  }

  // A piece of the input as a node string: stored, unless borrowed.
  const char* keep(std::string_view piece) {
    return borrows_ && !piece.empty() ? piece.data() : document_.store(piece);
  }

  // Sets a node's text, which is a piece of the input when it starts where
  // the written text does (no reference was decoded).
  void keep_text(NodeId id, std::string_view text, std::string_view written) {
    XmlNode& node = document_.nodes_[id];
    node.text_ = text.data() == written.data() ? keep(text) : document_.store(text);
    node.text_size_ = static_cast<std::uint32_t>(text.size());
  }

  // Malformed attribute text ends the list quietly: the attribute at fault
  // and every later one in the tag are dropped.
  void read_attributes(std::string_view rest) {
    attributes_.clear();
    std::size_t equals;
    while ((equals = rest.find('=')) != kNotFound) {
      const std::string_view name = trim_white(rest.substr(0, equals));
      const std::size_t open_quote = skip_white(rest, equals + 1);
      if (open_quote == rest.size()) return;
      const char quote = rest[open_quote];
      if (quote != '"' && quote != '\'') return;
      const std::size_t close_quote = rest.find(quote, open_quote + 1);
      if (close_quote == kNotFound) return;
      if (!name.empty()) {
        attributes_.push_back({name, rest.substr(open_quote + 1, close_quote - open_quote - 1)});
      }
      rest.remove_prefix(close_quote + 1);
    }
  }

  // Only the first run after the start tag counts, and only when it holds
  // something besides white space; it is kept untrimmed. Comments and
  // processing instructions inside the run are left out and CDATA sections
  // taken in as they stand, so "5<!-- note -->0" reads as "50". Returns the
  // offset of the tag that ends the run.
  std::size_t capture_text(NodeId element, std::size_t from) {
    std::size_t end = next_open(from);
    const std::string_view run = text_.substr(from, end - from);
    const Markup* markup = markup_at(text_, end);
    if (markup == nullptr) {
      if (!is_text_blank(run)) keep_text(element, decode_entities(run, scratch_), run);
      return end;
    }
    joined_.assign(decode_entities(run, scratch_));
    do {
      const MarkupSpan span = markup_span(text_, end, *markup);
      if (markup->is_text) joined_ += span.content;
      end = next_open(span.end);
      joined_ += decode_entities(text_.substr(span.end, end - span.end), scratch_);
      markup = markup_at(text_, end);
    } while (markup != nullptr);
    if (!is_blank(joined_)) keep_text(element, joined_, run);
    return end;
  }

  // The next "<" from `from`, or the end of the text.
  std::size_t next_open(std::size_t from) const {
    if (from < text_.size() && text_[from] == '<') return from;
    return std::min(text_.find('<', from), text_.size());
  }

  std::string_view text_;
  bool borrows_;
  XmlDocument document_;
  std::vector<OpenElement> open_;
  std::vector<PendingAttribute> attributes_;  // of the tag being read
  std::string scratch_;  // a decoded text on its way into the document
  std::string joined_;   // a text run pieced together around comments and CDATA
};

namespace {

Result<XmlDocument> read_xml(std::string_view text, bool borrows) {
  // As every node takes at least four bytes of text, the node count stays
  // far below what links can name.
  if (text.size() > kMaxDocumentBytes) return fail(std::string(kDocumentTooLarge));
  XmlReader reader(text, borrows);
  Status status = reader.read();
  if (!status.ok()) return status.failure();
  return reader.take_document();
}

}  // namespace

Result<XmlDocument> parse_xml(std::string_view text) { return read_xml(text, false); }

Result<XmlDocument> parse_xml_borrowing(std::string_view text) { return read_xml(text, true); }

}  // namespace tolvar
