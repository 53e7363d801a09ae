// The options a filtered question offers, following the current answers.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "rules/choices.h"
#include "rules/form_host.h"
#include "rules/judge.h"
#include "rules/model_document.h"
#include "rules/session.h"
#include "rules_judge_forms.h"

namespace tolvar {
namespace {

using testing::xform;

constexpr std::string_view kModel =
    "<instance><data><country>fr</country><city/><fixed/></data></instance>"
    "<instance id=\"cities\"><root>"
    "<item><name>paris</name><country>fr</country><label>Paris</label><key>a</key></item>"
    "<item><name> </name><country>fr</country><label>Blank</label></item>"
    "<item><name>lyon</name><country>fr</country><label>Lyon</label></item>"
    "<item><name>rome</name><country>it</country><label>Rome</label></item>"
    "</root></instance>"
    "<itext><translation lang=\"en\"><text id=\"a\"><value>Text A</value></text></translation>"
    "</itext>"
    "<bind nodeset=\"/data/city\"/>";

// A select1 on /data/city whose itemset has the given attributes and children.
std::string form_with_itemset(std::string_view itemset) {
  std::string body = "<select1 ref=\"/data/city\"><label>City</label>";
  body += itemset;
  body += "</select1><select1 ref=\"/data/fixed\"><item><value>x</value><label>X</label></item>"
          "</select1>";
  return xform(kModel, body);
}

constexpr std::string_view kByCountry =
    "instance('cities')/root/item[country = /data/country]";

// The choices as "value=label" joined by spaces, or "fixed" for nothing.
std::string describe(const std::optional<std::vector<Choice>>& choices) {
  if (!choices) return "fixed";
  std::string text;
  for (const Choice& choice : *choices) {
    if (!text.empty()) text += ' ';
    text += choice.value + "=" + choice.label;
  }
  return text;
}

struct ChoicesCase {
  const char* name;
  std::string itemset;
  std::string_view path;
  std::string_view expected;
};

class ListChoices : public ::testing::TestWithParam<ChoicesCase> {};

TEST_P(ListChoices, FollowsTheItemset) {
  Result<SessionState> session = start_session(form_with_itemset(GetParam().itemset), std::nullopt);
  ASSERT_TRUE(session.ok()) << session.error();
  EXPECT_EQ(describe(list_choices(*session.value().form, session.value().instance, GetParam().path)), GetParam().expected);
}

std::string itemset(std::string_view nodeset, std::string_view children) {
  std::string text = "<itemset nodeset=\"";
  text += nodeset;
  text += "\">";
  text += children;
  text += "</itemset>";
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListChoices,
    ::testing::Values(
        // Blank values are left out; the label is evaluated from the item.
        ChoicesCase{"filtered", itemset(kByCountry, "<value ref=\"name\"/><label ref=\"label\"/>"),
                    "/data/city", "paris=Paris lyon=Lyon"},
        ChoicesCase{"path_is_trimmed", itemset(kByCountry, "<value ref=\"name\"/><label ref=\"label\"/>"),
                    "  /data/city ", "paris=Paris lyon=Lyon"},
        // Without a label reference the value is its own label; "name" is
        // the value child when none is named.
        ChoicesCase{"defaults", itemset(kByCountry, ""), "/data/city", "paris=paris lyon=lyon"},
        ChoicesCase{"label_expression", itemset(kByCountry, "<label ref=\"concat(label, '!')\"/>"),
                    "/data/city", "paris=Paris! lyon=Lyon!"},
        ChoicesCase{"label_translation", itemset(kByCountry, "<label ref=\"jr:itext(key)\"/>"),
                    "/data/city", "paris=Text A lyon="},
        // A value reference is a child name, not an expression.
        ChoicesCase{"value_expression", itemset(kByCountry, "<value ref=\"./name\"/>"),
                    "/data/city", ""},
        ChoicesCase{"selects_nothing", itemset("instance('cities')/root/item[country = 'de']", ""),
                    "/data/city", ""},
        ChoicesCase{"not_a_node_set", itemset("1 + 1", ""), "/data/city", ""},
        ChoicesCase{"evaluation_fails", itemset("nope()", ""), "/data/city", ""},
        ChoicesCase{"does_not_parse", itemset("item[", ""), "/data/city", "fixed"},
        ChoicesCase{"no_nodeset", "<itemset><value ref=\"name\"/></itemset>", "/data/city", "fixed"},
        ChoicesCase{"inline_items", itemset(kByCountry, ""), "/data/fixed", "fixed"},
        ChoicesCase{"no_control", itemset(kByCountry, ""), "/data/country", "fixed"}),
    [](const ::testing::TestParamInfo<ChoicesCase>& info) { return std::string(info.param.name); });

TEST(ListChoices, SeesAnswersSetSinceTheSessionStarted) {
  Result<SessionState> started = start_session(
      form_with_itemset(itemset(kByCountry, "<label ref=\"label\"/>")), std::nullopt);
  ASSERT_TRUE(started.ok()) << started.error();
  SessionState& session = started.value();
  BareHost host(session.today, session.now);
  ASSERT_TRUE(set_answer(session.instance, "/data/country", "it", host).ok());
  EXPECT_EQ(describe(list_choices(*session.form, session.instance, "/data/city")), "rome=Rome");
}

// Blank refs count as absent both when listing choices and when the judge
// looks a label up, so the two never disagree.
TEST(ListChoices, BlankRefsMeanTheDefaultsForListingAndLabelsAlike) {
  Result<SessionState> started = start_session(
      form_with_itemset(itemset(kByCountry, "<value ref=\" \"/><label ref=\"\"/>")),
      std::nullopt);
  ASSERT_TRUE(started.ok()) << started.error();
  const SessionState& session = started.value();
  EXPECT_EQ(describe(list_choices(*session.form, session.instance, "/data/city")), "paris=paris lyon=lyon");
  XmlDocument model = model_document(*session.form, session.instance);
  FormHost host(*session.form, model, "", "");
  EXPECT_EQ(host.choice_label("lyon", "/data/city"), std::optional<std::string>("lyon"));
}

}  // namespace
}  // namespace tolvar
