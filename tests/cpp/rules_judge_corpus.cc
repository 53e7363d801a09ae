// Real forms and the submissions made with them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "rules/judge.h"
#include "rules_judge_forms.h"

namespace tolvar {
namespace {

const std::filesystem::path kCorpus =
    std::filesystem::path(__FILE__).parent_path() / "../../../shared/corpus";

std::string read_corpus(const std::string& name) {
  std::ifstream in(kCorpus / name, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void replace(std::string& text, const std::string& from, const std::string& to) {
  std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
}

bool corpus_present() { return std::filesystem::exists(kCorpus / "forms"); }

struct Edit {
  const char* from;
  const char* to;
};

struct CorpusCase {
  const char* name;
  const char* form;
  const char* submission;
  std::vector<Edit> edits;
  std::vector<std::string> expected;
};

const CorpusCase kCases[] = {
    {"water_point_as_submitted", "forms/onadata__Water_2011_03_17.xml",
     "submissions/onadata__Water_2011_03_17/onadata__Water_2011_03_17_2011-03-17_16-29-59.xml",
     {},
     {}},
    // Without a zone the state questions are no longer asked; the zone is missing.
    {"water_point_without_zone", "forms/onadata__Water_2011_03_17.xml",
     "submissions/onadata__Water_2011_03_17/onadata__Water_2011_03_17_2011-03-17_16-29-59.xml",
     {{"<zone>northwest</zone>", "<zone> </zone>"}},
     {"required /Water/location/zone: required, and unanswered"}},
    {"phone_as_submitted", "forms/onadata__Phone.xml",
     "submissions/onadata__Phone/onadata__Phone_2011-02-04_00-10-34.xml",
     {},
     {"required /phone/note: required, and unanswered"}},
    {"phone_with_short_label", "forms/onadata__Phone.xml",
     "submissions/onadata__Phone/onadata__Phone_2011-02-04_00-10-34.xml",
     {{"<visible_id>002</visible_id>", "<visible_id>02</visible_id>"}, {"<note/>", "<note>ok</note>"}},
     {"constraint /phone/visible_id: Please enter the three digit string from the back of the "
      "phone."}},
};

TEST(JudgeCorpus, RealSubmissionsAgainstTheirForms) {
  if (!corpus_present()) GTEST_SKIP() << "no corpus at " << kCorpus;
  for (const CorpusCase& row : kCases) {
    std::string submission = read_corpus(row.submission);
    for (const Edit& edit : row.edits) replace(submission, edit.from, edit.to);
    EXPECT_EQ(testing::judge_messages(read_corpus(row.form), submission), row.expected) << row.name;
  }
}

TEST(JudgeCorpus, RealFormsLoadOrSayWhy) {
  if (!corpus_present()) GTEST_SKIP() << "no corpus at " << kCorpus;
  Result<Form> water = load_form(read_corpus("forms/onadata__Water_2011_03_17.xml"));
  ASSERT_TRUE(water.ok()) << water.error();
  EXPECT_EQ(water.value().binds.size(), 52u);
  Result<Form> broken = load_form(read_corpus("forms/web-forms__xpath-syntax-error.xml"));
  ASSERT_FALSE(broken.ok());
  EXPECT_TRUE(broken.error().starts_with("calculate of /root/second-question: ")) << broken.error();
  EXPECT_TRUE(broken.error().ends_with(" — in expression /root/first-question ? 2")) << broken.error();
}

}  // namespace
}  // namespace tolvar
