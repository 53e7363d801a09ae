// A real form with a repeat filled in from start to finish, and the judge of
// the written instance agreeing with the last recompute.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "rules/judge.h"
#include "rules/session.h"

namespace tolvar {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;
using Paths = std::vector<std::string>;

// The shared corpus sits beside the repository.
std::optional<std::string> corpus_form(const char* name) {
  std::filesystem::path path = std::filesystem::path(__FILE__).parent_path() / ".." / ".." /
                               ".." / "shared" / "corpus" / "forms" / name;
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class HouseholdSurvey : public ::testing::Test {
 protected:
  void SetUp() override {
    std::optional<std::string> text = corpus_form("enketo-legacy__Household_Survey.xml");
    if (!text) GTEST_SKIP() << "corpus not found";
    Result<SessionState> started = start_session(*text, std::nullopt);
    ASSERT_TRUE(started.ok()) << started.error();
    session_.emplace(std::move(started).value());
    session_->today = "2024-05-01";
  }

  void set(std::string_view path, std::string_view value) {
    Status done = set_answer(session_->instance, path, value, host());
    ASSERT_TRUE(done.ok()) << done.error();
  }
  std::size_t add(std::string_view path) {
    return add_row(session_->instance, session_->templates, path, host()).value();
  }
  BareHost host() const { return BareHost(session_->today, session_->now); }

  std::optional<SessionState> session_;
};

constexpr const char* kChildren = "/HouseholdSurvey/ChildrenOfHousehold";

TEST_F(HouseholdSurvey, FilledFromStartToFinish) {
  RecomputeResult blank = recompute(*session_);
  EXPECT_EQ(blank.calculated,
            (std::map<std::string, std::string>{
                {"/HouseholdSurvey/HeadOfHouseholdGenderText", "a man"}}));
  EXPECT_EQ(blank.missing, (Paths{"/HouseholdSurvey/HeadOfHouseholdName",
                                  "/HouseholdSurvey/HeadOfHouseholdAge",
                                  "/HouseholdSurvey/HeadOfHouseholdConfirmation"}));
  EXPECT_FALSE(blank.relevant.at("/HouseholdSurvey/SurveyorID"));
  EXPECT_EQ(blank.repeats, (std::map<std::string, std::size_t>{{kChildren, 0}}));

  set("/HouseholdSurvey/SurveyorCode", "x1");
  set("/HouseholdSurvey/HeadOfHouseholdName", "Ana");
  set("/HouseholdSurvey/HeadOfHouseholdAge", "130");
  set("/HouseholdSurvey/HeadOfHouseholdGender", "f");
  set("/HouseholdSurvey/HeadOfHouseholdConfirmation", "no");
  EXPECT_EQ(add(kChildren), 1u);
  EXPECT_EQ(add(kChildren), 2u);
  EXPECT_EQ(add(kChildren), 3u);
  set("/HouseholdSurvey/ChildrenOfHousehold[1]/ChildName", "Ben");
  set("/HouseholdSurvey/ChildrenOfHousehold[1]/ChildColors", "red blue");
  set("/HouseholdSurvey/ChildrenOfHousehold[2]/ChildName", "Cy");
  set("/HouseholdSurvey/ChildrenOfHousehold[2]/ChildColors", "red");
  set("/HouseholdSurvey/ChildrenOfHousehold[3]/ChildName", "Dee");

  RecomputeResult filled = recompute(*session_);
  EXPECT_EQ(filled.calculated,
            (std::map<std::string, std::string>{
                {"/HouseholdSurvey/HeadOfHouseholdGenderText", "a woman"}}));
  EXPECT_TRUE(filled.missing.empty());
  EXPECT_EQ(filled.invalid,
            (Pairs{{"/HouseholdSurvey/SurveyorCode", "This isn't a valid key."},
                   {"/HouseholdSurvey/HeadOfHouseholdAge", "Age must be between 0 and 120."},
                   {"/HouseholdSurvey/HeadOfHouseholdConfirmation",
                    "Acknowledge before continuing."},
                   {"/HouseholdSurvey/ChildrenOfHousehold[2]/ChildColors",
                    "Only two colors allowed."}}));
  EXPECT_TRUE(filled.relevant.at("/HouseholdSurvey/ChildrenOfHousehold[3]/ChildName"));
  EXPECT_EQ(filled.repeats.at(kChildren), 3u);

  set("/HouseholdSurvey/SurveyorCode", "xy12");
  set("/HouseholdSurvey/HeadOfHouseholdAge", "41");
  set("/HouseholdSurvey/HeadOfHouseholdConfirmation", "yes");
  EXPECT_EQ(remove_row(session_->instance, kChildren, 2, host()).value(), 2u);
  set("/HouseholdSurvey/ChildrenOfHousehold[2]/ChildBirthdate", "2019-03-02");
  set("/HouseholdSurvey/HeadOfHouseholdName", " ");
  RecomputeResult last = recompute(*session_);
  EXPECT_TRUE(last.calculated.empty());
  EXPECT_EQ(last.missing, Paths{"/HouseholdSurvey/HeadOfHouseholdName"});
  EXPECT_EQ(last.repeats.at(kChildren), 2u);
  // "<= today()" compares the two days in time order: 2019-03-02 is in the past.
  EXPECT_EQ(last.invalid, Pairs{});

  // What is submitted: no template row, the answers of the remaining rows.
  std::string written = write_xml(session_->instance);
  EXPECT_EQ(written.find("template"), std::string::npos);
  EXPECT_NE(written.find("<ChildName>Dee</ChildName>"), std::string::npos);
  EXPECT_EQ(written.find("<ChildName>Cy</ChildName>"), std::string::npos);

  Result<XmlDocument> submitted = parse_xml(written);
  ASSERT_TRUE(submitted.ok()) << submitted.error();
  Paths missing;
  Pairs invalid;
  Pairs failed;
  for (const SubmissionFinding& finding : judge_submission(
           *session_->form, submitted.value(), session_->today, session_->now)) {
    switch (finding.kind) {
      case FindingKind::Required:
        missing.push_back(finding.path);
        break;
      case FindingKind::Constraint:
        invalid.emplace_back(finding.path, finding.message.value_or("this answer is not allowed"));
        break;
      case FindingKind::NotEvaluated:
        failed.emplace_back(finding.path, finding.error);
        break;
      case FindingKind::Calculation:
        ADD_FAILURE() << "calculation not applied: " << finding_message(finding);
        break;
    }
  }
  EXPECT_EQ(missing, last.missing);
  EXPECT_EQ(invalid, last.invalid);
  EXPECT_EQ(failed, last.failed);
}

}  // namespace
}  // namespace tolvar
