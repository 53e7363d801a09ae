package tolvar.engines;

import com.fasterxml.jackson.databind.JsonNode;
import com.fasterxml.jackson.databind.node.ArrayNode;
import com.fasterxml.jackson.databind.node.ObjectNode;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Set;
import org.javarosa.core.model.FormDef;
import org.javarosa.core.model.condition.EvaluationContext;
import org.javarosa.core.model.data.IAnswerData;
import org.javarosa.core.model.instance.FormInstance;
import org.javarosa.core.model.instance.InstanceInitializationFactory;
import org.javarosa.core.model.instance.TreeElement;
import org.javarosa.core.model.instance.TreeReference;
import org.javarosa.xform.parse.XFormParser;
import org.javarosa.xpath.XPathConditional;
import org.javarosa.xpath.XPathParseTool;
import org.javarosa.xpath.expr.XPathFuncExpr;

/**
 * Timings for bench/run.py, taken inside the JVM so that it is warm: every run
 * repeats the same work on what was parsed once before the first.
 */
final class Bench {
  private Bench() {}

  /**
   * {"instance", "rules": [{"kind", "rule", "check"}], "runs"}: each rule from its
   * check node in every row, as a form engine evaluates a bind's rule per node.
   * -> {"seconds": [per run], "evaluations": per run, "failed": [rules that threw]}
   */
  static ObjectNode rules(JsonNode request) throws Exception {
    FormInstance instance = JavaRosaDriver.readInstance(request.path("instance").asText(), null);
    EvaluationContext base = new EvaluationContext(instance);
    List<XPathConditional> rules = new ArrayList<>();
    List<String> texts = new ArrayList<>();
    List<String> kinds = new ArrayList<>();
    List<List<EvaluationContext>> contexts = new ArrayList<>();
    for (JsonNode rule : request.path("rules")) {
      rules.add(new XPathConditional(XPathParseTool.parseXPath(rule.path("rule").asText())));
      texts.add(rule.path("rule").asText());
      kinds.add(rule.path("kind").asText());
      List<EvaluationContext> rows = new ArrayList<>();
      for (TreeElement row : instance.getRoot().getChildrenWithName("row")) {
        TreeReference check = row.getFirstChild(rule.path("check").asText()).getRef();
        rows.add(new EvaluationContext(base, check));
      }
      contexts.add(rows);
    }
    Set<String> failed = new LinkedHashSet<>();
    ArrayNode seconds = JavaRosaDriver.array();
    int evaluations = 0;
    for (int run = 0; run < request.path("runs").asInt(1); ++run) {
      evaluations = 0;
      long start = System.nanoTime();
      for (int k = 0; k < rules.size(); ++k) {
        for (EvaluationContext context : contexts.get(k)) {
          try {
            Object raw = rules.get(k).evalRaw(instance, context);
            Object result = kinds.get(k).equals("calculate")
                ? XPathFuncExpr.toString(raw) : XPathFuncExpr.toBoolean(raw);
            if (result == null) {
              throw new IllegalStateException("no result");
            }
          } catch (RuntimeException failure) {
            failed.add(texts.get(k));
          }
          ++evaluations;
        }
      }
      seconds.add((System.nanoTime() - start) / 1e9);
    }
    ObjectNode reply = JavaRosaDriver.object();
    reply.set("seconds", seconds);
    reply.put("evaluations", evaluations);
    ArrayNode failures = reply.putArray("failed");
    failed.forEach(failures::add);
    return reply;
  }

  /**
   * {"form", "instance", "runs"}: the saved instance read and loaded into the
   * already-parsed form as Collect reopens one (calculations and relevance run
   * again), then every answer's constraint checked.
   * -> {"seconds": [per run], "invalid": answers failing their constraint}
   */
  static ObjectNode load(JsonNode request) throws Exception {
    FormDef form = JavaRosaDriver.openForm(request.path("form").asText());
    TreeElement blank = form.getMainInstance().getRoot().deepCopy(true);
    byte[] saved = request.path("instance").asText().getBytes(StandardCharsets.UTF_8);
    ArrayNode seconds = JavaRosaDriver.array();
    int invalid = 0;
    for (int run = 0; run < request.path("runs").asInt(1); ++run) {
      long start = System.nanoTime();
      FormInstance restored = XFormParser.restoreDataModel(saved, null);
      TreeElement root = blank.deepCopy(true);
      root.populate(restored.getRoot(), form);
      form.getMainInstance().setRoot(root);
      form.initialize(false, new InstanceInitializationFactory());
      invalid = countInvalid(form, root);
      seconds.add((System.nanoTime() - start) / 1e9);
    }
    ObjectNode reply = JavaRosaDriver.object();
    reply.set("seconds", seconds);
    reply.put("invalid", invalid);
    return reply;
  }

  private static int countInvalid(FormDef form, TreeElement node) {
    int invalid = 0;
    IAnswerData value = node.getValue();
    if (value != null && node.getConstraint() != null && node.isRelevant()
        && !form.evaluateConstraint(node.getRef(), value)) {
      ++invalid;
    }
    for (int i = 0; i < node.getNumChildren(); ++i) {
      invalid += countInvalid(form, node.getChildAt(i));
    }
    return invalid;
  }
}
