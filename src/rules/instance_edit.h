// Editing an instance by path: answers, repeat rows and templates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "eval/context.h"
#include "tree/document.h"
#include "base/result.h"

namespace tolvar {

// Repeat path (no trailing index) to a document whose root is a template row.
using Templates = std::map<std::string, XmlDocument>;

// Takes every element carrying a "template" attribute out of the instance.
Templates extract_templates(XmlDocument& instance);

// The edits below fail with kStoppedMessage, and leave the instance as it
// was, when the host's stop check asks them to stop.

// First node (document order) the path selects from the root, or kNoNode.
NodeId find_node(const XmlDocument& instance, std::string_view path, const Host& host);
// String value of find_node, or "".
std::string get_answer(const XmlDocument& instance, std::string_view path, const Host& host);
// Writes the answer, creating missing plain elements on the way.
Status set_answer(XmlDocument& instance, std::string_view path, std::string_view value,
                  const Host& host);
std::vector<NodeId> repeat_rows(const XmlDocument& instance, std::string_view path,
                                const Host& host);
// Appends a row made from the template; returns the number of rows now.
Result<std::size_t> add_row(XmlDocument& instance, const Templates& templates,
                            std::string_view path, const Host& host);
// Once detached nodes or replaced texts make up most of the arena (a
// session that keeps editing would otherwise grow without end), copies the
// tree into a fresh one. Node ids change. Needs a renumbered instance.
void release_unused_space(XmlDocument& instance);
// Removes the row at 1-based position; returns the number of rows left.
// Every removal leaves dead nodes behind, so it releases unused space itself.
Result<std::size_t> remove_row(XmlDocument& instance, std::string_view path,
                               std::uint64_t position, const Host& host);

}  // namespace tolvar
