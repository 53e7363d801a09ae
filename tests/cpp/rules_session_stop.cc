// A stop at any step of a session's edit leaves the session as it was;
// without one, the edit does what it always did.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "rules/engine.h"
#include "rules_judge_forms.h"

namespace tolvar {
namespace {

// Asks for a stop at the `step`-th step it counts (1 to kStride).
class StopAtStep : public StopCheck {
 public:
  explicit StopAtStep(std::uint32_t step) {
    for (std::uint32_t i = step; i < kStride; ++i) static_cast<void>(should_stop());
  }

 protected:
  bool requested() override { return true; }
};

Session start() {
  Result<Session> session = Session::start(
      testing::xform_with("<data><rep jr:template=''><v/></rep><rep><v>1</v></rep>"
                          "<rep><v>2</v></rep><total/></data>",
                          "<bind nodeset='/data/total' calculate='sum(/data/rep/v)'/>"
                          "<bind nodeset='/data/rep/v' constraint='. &gt; 0'/>"),
      std::nullopt, GivenClock{});
  EXPECT_TRUE(session.ok()) << session.error();
  return std::move(session).value();
}

template <class T>
std::string outcome(const Result<T>& result) {
  if (!result.ok()) return "fails: " + result.error();
  if constexpr (std::is_same_v<T, Done>) return "done";
  else return std::to_string(result.value());
}

struct EditCase {
  const char* name;
  std::function<std::string(Session&, StopCheck*)> edit;
};

class StoppedEdit : public ::testing::TestWithParam<EditCase> {};

TEST_P(StoppedEdit, LeavesTheSessionAsItWasAtEveryStep) {
  Session reference = start();
  const std::string expected = GetParam().edit(reference, nullptr);
  for (std::uint32_t step = 1; step <= StopCheck::kStride; ++step) {
    Session session = start();
    const std::string before = session.instance_xml();
    StopAtStep stop(step);
    const std::string done = GetParam().edit(session, &stop);
    if (!stop.stopped()) {
      EXPECT_GT(step, 1u) << "the edit took no step";
      EXPECT_EQ(done, expected);
      EXPECT_EQ(session.instance_xml(), reference.instance_xml());
      return;
    }
    EXPECT_EQ(session.instance_xml(), before) << "stopped at step " << step;
  }
}

std::string case_name(const ::testing::TestParamInfo<EditCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Table, StoppedEdit,
    ::testing::Values(
        EditCase{"SetFound", [](Session& s, StopCheck* stop) {
                   return outcome(s.set("/data/rep[2]/v", "5", stop));
                 }},
        EditCase{"SetCreated", [](Session& s, StopCheck* stop) {
                   return outcome(s.set("/data/extra/deep", "x", stop));
                 }},
        EditCase{"AddRow", [](Session& s, StopCheck* stop) {
                   return outcome(s.add_row("/data/rep", stop));
                 }},
        EditCase{"RemoveRow", [](Session& s, StopCheck* stop) {
                   return outcome(s.remove_row("/data/rep", 1, stop));
                 }},
        EditCase{"Recompute", [](Session& s, StopCheck* stop) {
                   std::size_t calculated = 0;
                   s.recompute(
                       [&](const RecomputeResult& result) {
                         calculated = result.calculated.size();
                         return true;
                       },
                       stop);
                   return std::to_string(calculated);
                 }}),
    case_name);

}  // namespace
}  // namespace tolvar
