// The judge's batch shortcuts give what the one-at-a-time operations give:
// bind targets resolved together, and node paths numbered per parent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rules/bind_targets.h"
#include "rules/judge.h"
#include "rules/model_document.h"
#include "rules/node_paths.h"
#include "rules_judge_forms.h"

namespace tolvar {
namespace {

constexpr const char* kNodesets[] = {
    "/data/rep/q", "/model/data/rep", "data/rep/q", "/", "/model", "/rep", "q", "/data",
    "/data/rep[2]/q", "//q", "/data/rep/@id", "/data/none/q", "/data/*", "/data/rep/q/../x",
    "instance('c')/root/item", "/instance/root", "1 + 1", "/data/[", "/data/rep/q | /data/x",
    "/data/x", "/data/rep/q", "/data/g/rep/q",
};

std::string binds() {
  std::string text;
  for (const char* nodeset : kNodesets) text += std::string("<bind nodeset=\"") + nodeset + "\"/>";
  return text;
}

constexpr const char* kSubmission =
    "<data><rep id=\"1\"><q>a</q><x/></rep><x/><rep id=\"2\"><q>b</q><q>c</q></rep>"
    "<g><rep><q/></rep></g><rep><y/></rep></data>";

TEST(JudgeTargets, BatchResolutionMatchesTheEvaluator) {
  Result<Form> form = load_form(testing::xform(
      "<instance><data/></instance><instance id=\"c\"><root><item/><item/></root></instance>" +
      binds()));
  ASSERT_TRUE(form.ok()) << form.error();
  Result<XmlDocument> submission = parse_xml(kSubmission);
  ASSERT_TRUE(submission.ok());
  XmlDocument model = model_document(form.value(), submission.value());
  BareHost host("", "");
  const BindTargets batch(form.value(), model, host);
  ASSERT_EQ(batch.size(), form.value().binds.size());
  std::size_t selecting = 0;
  for (std::size_t i = 0; i < batch.size(); ++i) {
    const Bind& bind = form.value().binds[i];
    EXPECT_EQ(std::vector<NodeId>(batch[i].begin(), batch[i].end()),
              bound_nodes(bind, model, host))
        << bind.nodeset;
    selecting += !batch[i].empty();
  }
  EXPECT_GE(selecting, 15u);  // the table is mostly about nodesets that select something
}

TEST(JudgeTargets, NodePathsMatchNodePath) {
  Result<XmlDocument> doc = parse_xml(
      "<data a=\"1\"><rep><q/><q/><r/></rep><x/><rep b=\"2\"><q/></rep><x/><y/><rep/>"
      // Alike in length, first, middle and last bytes.
      "<abXed/><abXcd/><abXed/></data>");
  ASSERT_TRUE(doc.ok());
  NodePaths paths(doc.value());
  std::vector<NodeId> order = {doc.value().root};
  for (NodeId id = 0; id < doc.value().size(); ++id) order.push_back(id);
  // Ask in reverse too, so numbering on first need is not order-dependent.
  order.insert(order.end(), order.rbegin(), order.rend());
  for (NodeId id : order) EXPECT_EQ(paths.path(id), doc.value().node_path(id)) << id;
}

}  // namespace
}  // namespace tolvar
