// A session driven by fuzzed edits: set, get, add_row, remove_row,
// recompute, choices and writing, in any order, on the sample form (or on a
// fuzzed one). After every edit the instance must still be a sound tree.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "check.h"
#include "nesting.h"
#include "rules/engine.h"
#include "rules/instance_edit.h"
#include "sample_form.h"

using namespace tolvar;

namespace {

enum class Edit { Set, Get, AddRow, RemoveRow, Recompute, Choices, Write, kMaxValue = Write };

struct Path {
  std::string text;
  bool plain;  // names nodes by name and position only, so set-then-get holds
};

// A path from the sample list, the canonical path of a node now in the
// instance, a template's key, or fuzzed text.
Path pick_path(FuzzedDataProvider& input, const SessionState& session) {
  switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
      return {std::string(input.PickValueInArray(fuzz::kSamplePaths)), false};
    case 1: {
      const XmlDocument& instance = session.instance;
      const NodeId id = input.ConsumeIntegralInRange<NodeId>(0, instance.size() - 1);
      if (instance.rank_of(id) == kNoRank) return {"/", false};
      return {instance.node_path(id), true};
    }
    case 2:
      if (!session.templates.empty()) {
        auto entry = session.templates.begin();
        std::advance(entry, input.ConsumeIntegralInRange<std::size_t>(0, session.templates.size() - 1));
        return {entry->first, true};
      }
      [[fallthrough]];
    default:
      break;
  }
  std::string text = input.ConsumeRandomLengthString(64);
  Result<Expr> parsed = parse_expression(text);
  if (parsed.ok() && fuzz::predicate_nesting(parsed.value()) > 1) return {"/", false};
  return {std::move(text), false};
}

std::optional<Session> start(FuzzedDataProvider& input) {
  const bool own_form = input.ConsumeIntegralInRange(0, 7) == 0;
  const std::string form = own_form ? input.ConsumeRandomLengthString(4096)
                                    : std::string(fuzz::kSampleForm);
  std::optional<std::string> saved;
  if (input.ConsumeIntegralInRange(0, 7) == 0) saved = input.ConsumeRandomLengthString(1024);
  Result<Session> started = Session::start(form, saved, {});
  if (!started.ok()) return std::nullopt;
  return std::move(started).value();
}

BareHost host_of(const Session& session) {
  return BareHost(session.state().today, session.state().now);
}

void set(Session& session, const Path& path, const std::string& value) {
  if (!session.set(path.text, value).ok()) return;
  // A prefixed name is created as written but tested by its local part.
  if (!path.plain || path.text.find(':') != std::string::npos) return;
  fuzz::require(session.get(path.text).starts_with(value), "an answer set is read back");
}

void remove(Session& session, const Path& path, std::uint64_t position) {
  const std::size_t before = repeat_rows(session.state().instance, path.text, host_of(session)).size();
  Result<std::size_t> left = session.remove_row(path.text, position);
  if (left.ok()) fuzz::require(left.value() + 1 == before, "removing a row leaves one fewer");
}

void add(Session& session, const Path& path) {
  Result<std::size_t> rows = session.add_row(path.text);
  if (!rows.ok()) return;
  fuzz::require(rows.value() == repeat_rows(session.state().instance, path.text, host_of(session)).size(),
                "add_row counts the rows there are");
}

void write(const Session& session) {
  const std::string written = session.instance_xml();
  if (fuzz::survives_rewriting(session.state().instance)) fuzz::check_rewrite_is_stable(written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  std::optional<Session> started = start(input);
  if (!started) return 0;
  Session& session = *started;
  fuzz::check_document(session.state().instance);
  for (int step = 0; step < 32 && input.remaining_bytes() > 0; ++step) {
    const Edit edit = input.ConsumeEnum<Edit>();
    const Path path = pick_path(input, session.state());
    switch (edit) {
      case Edit::Set: set(session, path, input.ConsumeRandomLengthString(32)); break;
      case Edit::Get: session.get(path.text); break;
      case Edit::AddRow: add(session, path); break;
      case Edit::RemoveRow: remove(session, path, input.ConsumeIntegralInRange<std::uint64_t>(0, 4)); break;
      case Edit::Recompute: session.recompute(); break;
      case Edit::Choices: session.choices(path.text); break;
      case Edit::Write: write(session); break;
    }
    fuzz::check_document(session.state().instance);
  }
  return 0;
}
