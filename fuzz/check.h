// Invariant checks shared by the harnesses. A broken invariant aborts, which
// libFuzzer records as a crash together with the input that caused it.
#pragma once

#include <string_view>

#include "tree/document.h"

namespace tolvar::fuzz {

// Aborts with `what` on stderr unless `holds`.
void require(bool holds, const char* what);

// Every stored id is in the arena, every link has its back link, attributes
// hold no nodes, nothing is reachable twice, and when the document is ranked
// the reachable nodes carry their pre-order rank.
void check_document(const XmlDocument& document);

// Whether the reader gives back what the writer wrote: not for names the
// lenient reader accepts (empty ones, "?x", "x/", " x") or set_answer creates
// ("x:y", read back as "y") but no written tag reads back the same, nor for a
// text of white space only, which the reader drops.
bool survives_rewriting(const XmlDocument& document);

// Parses `written`, requires success, and requires that writing the result
// gives `written` again.
void check_rewrite_is_stable(std::string_view written);

}  // namespace tolvar::fuzz
