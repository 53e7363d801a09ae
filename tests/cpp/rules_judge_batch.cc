// Many submissions judged on worker threads come back in the order given.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "rules/engine.h"

namespace tolvar {
namespace {

constexpr const char kForm[] = R"(<h:html xmlns:h="h"><h:head><model>
<instance><data id="f"><age/></data></instance>
<bind nodeset="/data/age" constraint=". &lt; 100"/>
</model></h:head></h:html>)";

std::shared_ptr<const LoadedForm> loaded_form() {
  Result<LoadedForm> form = load_form_text(kForm);
  EXPECT_TRUE(form.ok());
  return std::make_shared<const LoadedForm>(std::move(form).value());
}

// Each submission's outcome, as "n findings" or its failure, read back to the end.
std::vector<std::string> judged_in_order(unsigned threads, const std::vector<std::string>& submissions) {
  JudgeBatch batch(loaded_form(), {}, threads);
  for (const std::string& submission : submissions) batch.add(submission);
  batch.close();
  std::vector<std::string> outcomes;
  while (!batch.finished()) {
    std::optional<BatchOutcome> outcome = batch.next(std::chrono::milliseconds(50), nullptr);
    if (!outcome) continue;
    outcomes.push_back(outcome->findings.ok()
                           ? std::to_string(outcome->findings.value().size()) + " findings"
                           : (outcome->unread ? "unread: " : "failed: ") + outcome->findings.error());
  }
  return outcomes;
}

class JudgeBatchThreads : public testing::TestWithParam<unsigned> {};

TEST_P(JudgeBatchThreads, OutcomesComeInTheOrderGivenWhateverFinishesFirst) {
  std::vector<std::string> submissions;
  std::vector<std::string> expected;
  // More than the workers may judge ahead, alternating outcomes so that
  // any reordering shows.
  for (std::size_t i = 0; i < JudgeBatch::kAhead + 500; ++i) {
    const bool breaks = i % 3 == 0;
    submissions.push_back(breaks ? "<data><age>150</age></data>" : "<data><age>5</age></data>");
    expected.push_back(breaks ? "1 findings" : "0 findings");
  }
  submissions[7] = "/no/such/submission.xml";
  expected[7] = "unread: submission: could not read '/no/such/submission.xml': No such file or directory";
  submissions[8] = "<data><age>";
  expected[8] = "failed: unclosed elements";
  EXPECT_EQ(judged_in_order(GetParam(), submissions), expected);
}

INSTANTIATE_TEST_SUITE_P(Threads, JudgeBatchThreads, testing::Values(1u, 2u, 5u));

TEST(JudgeBatch, AnEmptyBatchIsFinishedOnceClosed) {
  EXPECT_TRUE(judged_in_order(3, {}).empty());
}

TEST(JudgeBatch, ABatchLeftHalfwayStopsItsWorkers) {
  std::vector<std::string> submissions(20000, "<data><age>150</age></data>");
  JudgeBatch batch(loaded_form(), {}, 4);
  for (const std::string& submission : submissions) batch.add(submission);
  batch.close();
  std::optional<BatchOutcome> first;
  while (!first) first = batch.next(std::chrono::milliseconds(50), nullptr);
  EXPECT_EQ(first->findings.value().size(), 1u);
}  // the destructor stops and joins the workers

}  // namespace
}  // namespace tolvar
