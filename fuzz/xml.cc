// The XML reader on arbitrary bytes; what it accepts must be a well-linked
// tree that the writer turns into text the reader gives back unchanged.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "tree/document.h"

using namespace tolvar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Result<XmlDocument> parsed = parse_xml(text);
  Result<XmlDocument> borrowed = parse_xml_borrowing(text);
  fuzz::require(borrowed.ok() == parsed.ok() &&
                    (parsed.ok() || borrowed.error() == parsed.error()),
                "reading in place fails where copying does, with the same message");
  if (!parsed.ok()) return 0;
  const XmlDocument& document = parsed.value();
  fuzz::check_document(document);
  fuzz::require(document.has_root(), "a parsed document has a root");

  // Every navigation helper runs over every node.
  for (NodeId id = 0; id < document.size(); ++id) {
    fuzz::require(document.node_path(id).starts_with('/'), "a node path starts with /");
    fuzz::require(document.string_value(id).size() >= document[id].text().size(),
                  "a string value holds the node's own text");
  }
  fuzz::require(document.descendants(document.root).size() < document.size(),
                "descendants are fewer than the nodes");

  const std::string written = write_xml(document);
  fuzz::require(write_xml(borrowed.value()) == written, "reading in place gives the same tree");
  if (fuzz::survives_rewriting(document)) fuzz::check_rewrite_is_stable(written);
  return 0;
}
