// The expression lexer and parser on arbitrary bytes; an accepted tree is
// walked for the paths it reads, as form loading does.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "check.h"
#include "parser/expr.h"
#include "rules/references.h"

using namespace tolvar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Result<Expr> parsed = parse_expression(text);
  if (!parsed.ok()) {
    fuzz::require(!parsed.error().empty(), "a refusal says why");
    return 0;
  }
  for (const std::string& path : referenced_paths(parsed.value(), "/data/group/q")) {
    fuzz::require(path.starts_with('/'), "a referenced path is absolute");
  }
  return 0;
}
