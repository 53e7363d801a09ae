package tolvar.engines;

import com.fasterxml.jackson.databind.JsonNode;
import com.fasterxml.jackson.databind.ObjectMapper;
import com.fasterxml.jackson.databind.node.ArrayNode;
import com.fasterxml.jackson.databind.node.ObjectNode;
import java.io.BufferedReader;
import java.io.ByteArrayInputStream;
import java.io.FileDescriptor;
import java.io.FileOutputStream;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.util.HashMap;
import java.util.Iterator;
import java.util.Map;
import org.javarosa.core.model.FormDef;
import org.javarosa.core.model.condition.EvaluationContext;
import org.javarosa.core.model.data.IAnswerData;
import org.javarosa.core.model.instance.DataInstance;
import org.javarosa.core.model.instance.FormInstance;
import org.javarosa.core.model.instance.InstanceInitializationFactory;
import org.javarosa.core.model.instance.TreeElement;
import org.javarosa.core.model.instance.TreeReference;
import org.javarosa.form.api.FormEntryController;
import org.javarosa.form.api.FormEntryModel;
import org.javarosa.model.xform.XFormsModule;
import org.javarosa.xform.util.XFormAnswerDataParser;
import org.javarosa.xform.util.XFormAnswerDataSerializer;
import org.javarosa.xform.util.XFormUtils;
import org.javarosa.xml.ElementParser;
import org.javarosa.xml.TreeElementParser;
import org.javarosa.xpath.XPathConditional;
import org.javarosa.xpath.XPathParseTool;
import org.javarosa.xpath.expr.XPathExpression;
import org.javarosa.xpath.expr.XPathFuncExpr;

/**
 * JavaRosa behind the harness's JSON-lines protocol: one request per line on
 * standard input, one reply per line on standard output.
 *
 * <pre>
 * {"op": "eval", "expression", "instance", "context"?, "secondary"?: {id: xml}}
 *   -> {"value"} or {"error"}
 * {"op": "form", "form", "answers"?: {path: value}, "repeats"?: {path: rows}}
 *   -> {"opens": false, "error"} or {"opens": true, "nodes": {path: state}, "fault"?}
 * {"op": "bench_rules", "instance", "rules": [{"rule", "check"}], "runs"} -> {"seconds", "evaluations", "failed"}
 * {"op": "bench_load", "form", "instance", "runs"} -> {"seconds"}
 * </pre>
 */
public final class JavaRosaDriver {
  private static final ObjectMapper JSON = new ObjectMapper();

  private JavaRosaDriver() {}

  public static void main(String[] args) throws Exception {
    PrintStream replies = new PrintStream(
        new FileOutputStream(FileDescriptor.out), true, StandardCharsets.UTF_8);
    // JavaRosa prints warnings to standard output; keep that channel for replies.
    System.setOut(System.err);
    // As Collect does on start: jr:choice-name() resolves a select's choices through it.
    new XFormsModule().registerModule();
    BufferedReader requests = new BufferedReader(
        new InputStreamReader(System.in, StandardCharsets.UTF_8));
    for (String line = requests.readLine(); line != null; line = requests.readLine()) {
      if (line.isBlank()) {
        continue;
      }
      ObjectNode reply;
      try {
        reply = handle(JSON.readTree(line));
      } catch (Throwable failure) {
        reply = JSON.createObjectNode().put("error", describe(failure));
      }
      replies.println(JSON.writeValueAsString(reply));
    }
  }

  private static ObjectNode handle(JsonNode request) throws Exception {
    String op = request.path("op").asText();
    switch (op) {
      case "eval":
        return evaluate(request);
      case "form":
        return runForm(request);
      case "bench_rules":
        return Bench.rules(request);
      case "bench_load":
        return Bench.load(request);
      default:
        throw new IllegalArgumentException("unknown op \"" + op + "\"");
    }
  }

  static String describe(Throwable failure) {
    String message = failure.getMessage();
    String kind = failure.getClass().getSimpleName();
    return message == null ? kind : kind + ": " + message.strip();
  }

  // --- one expression -------------------------------------------------------------------

  private static ObjectNode evaluate(JsonNode request) throws Exception {
    FormInstance main = readInstance(request.path("instance").asText(), null);
    HashMap<String, DataInstance> secondary = new HashMap<>();
    Iterator<Map.Entry<String, JsonNode>> entries = request.path("secondary").fields();
    while (entries.hasNext()) {
      Map.Entry<String, JsonNode> entry = entries.next();
      secondary.put(entry.getKey(), readInstance(entry.getValue().asText(), entry.getKey()));
    }
    TreeElement context = find(main.getRoot(), request.path("context").asText(""));
    EvaluationContext evaluation =
        new EvaluationContext(new EvaluationContext(main, secondary), context.getRef());
    XPathExpression expression = XPathParseTool.parseXPath(request.path("expression").asText());
    Object raw = new XPathConditional(expression).evalRaw(main, evaluation);
    return JSON.createObjectNode().put("value", XPathFuncExpr.toString(raw));
  }

  static FormInstance readInstance(String xml, String id) throws Exception {
    InputStream bytes = new ByteArrayInputStream(xml.getBytes(StandardCharsets.UTF_8));
    TreeElement root = new TreeElementParser(ElementParser.instantiateParser(bytes), 0,
        id).parse();
    return id == null ? new FormInstance(root) : new FormInstance(root, id);
  }

  /** The element at an instance path such as /data/rep[2]/q; a missing [n] is [1]. */
  static TreeElement find(TreeElement root, String path) {
    String[] steps = path.replaceAll("^/+", "").split("/");
    if (path.isBlank() || steps.length == 0) {
      return root;
    }
    TreeElement node = root;
    int first = stepName(steps[0]).equals(root.getName()) ? 1 : 0;
    for (int i = first; i < steps.length; ++i) {
      TreeElement child = node.getChild(stepName(steps[i]), stepIndex(steps[i]));
      if (child == null) {
        throw new IllegalArgumentException("no node at " + path);
      }
      node = child;
    }
    return node;
  }

  private static String stepName(String step) {
    int bracket = step.indexOf('[');
    return bracket < 0 ? step : step.substring(0, bracket);
  }

  private static int stepIndex(String step) {
    int bracket = step.indexOf('[');
    return bracket < 0 ? 0 : Integer.parseInt(step.substring(bracket + 1, step.length() - 1)) - 1;
  }

  // --- a whole form ---------------------------------------------------------------------

  private static ObjectNode runForm(JsonNode request) {
    ObjectNode reply = JSON.createObjectNode();
    FormDef form;
    try {
      form = openForm(request.path("form").asText());
    } catch (Throwable failure) {
      return reply.put("opens", false).put("error", describe(failure));
    }
    reply.put("opens", true);
    try {
      addRows(form, request.path("repeats"));
      Iterator<Map.Entry<String, JsonNode>> answers = request.path("answers").fields();
      while (answers.hasNext()) {
        Map.Entry<String, JsonNode> answer = answers.next();
        answer(form, answer.getKey(), answer.getValue().asText());
      }
    } catch (Throwable failure) {
      reply.put("fault", describe(failure));
    }
    ObjectNode nodes = reply.putObject("nodes");
    reportNode(form, form.getMainInstance().getRoot(), "", nodes);
    return reply;
  }

  static FormDef openForm(String xml) throws Exception {
    FormDef form = XFormUtils.getFormFromInputStream(
        new ByteArrayInputStream(xml.getBytes(StandardCharsets.UTF_8)));
    form.initialize(true, new InstanceInitializationFactory());
    return form;
  }

  /** Walks the form as Collect does, accepting "add a row?" until each repeat has its rows. */
  private static void addRows(FormDef form, JsonNode repeats) {
    FormEntryController controller = new FormEntryController(new FormEntryModel(form));
    for (int event = controller.stepToNextEvent(); event != FormEntryController.EVENT_END_OF_FORM;
         event = controller.stepToNextEvent()) {
      if (event != FormEntryController.EVENT_PROMPT_NEW_REPEAT) {
        continue;
      }
      TreeReference row = controller.getModel().getFormIndex().getReference();
      int last = row.size() - 1;
      if (row.getMultiplicity(last) < repeats.path(repeatKey(row)).asInt(0)) {
        controller.newRepeat();
      }
    }
  }

  /** A repeat's rows are counted under its parent row: "/data/rep", "/data/rep[2]/inner". */
  private static String repeatKey(TreeReference row) {
    StringBuilder key = new StringBuilder();
    for (int i = 0; i < row.size(); ++i) {
      key.append('/').append(row.getName(i));
      int index = row.getMultiplicity(i);
      if (i > 0 && i < row.size() - 1 && index > 0) {
        key.append('[').append(index + 1).append(']');
      }
    }
    return key.toString();
  }

  private static void answer(FormDef form, String path, String value) {
    TreeElement node = find(form.getMainInstance().getRoot(), path);
    IAnswerData data = value.isEmpty() ? null
        : XFormAnswerDataParser.getAnswerData(value, node.getDataType());
    if (data == null && !value.isEmpty()) {
      throw new IllegalArgumentException(
          "\"" + value + "\" is not a value of the type of " + path);
    }
    form.setValue(data, node.getRef(), true);
  }

  private static void reportNode(FormDef form, TreeElement node, String parentPath,
                                 ObjectNode nodes) {
    String path = parentPath + "/" + node.getName() + siblingPosition(node);
    ObjectNode state = nodes.putObject(path);
    IAnswerData value = node.getValue();
    state.put("value", value == null ? "" : serialize(value));
    state.put("relevant", node.isRelevant());
    state.put("required", node.isRequired());
    try {
      state.put("valid", value == null || form.evaluateConstraint(node.getRef(), value));
    } catch (RuntimeException failure) {
      state.put("valid", false).put("error", describe(failure));
    }
    for (int i = 0; i < node.getNumChildren(); ++i) {
      TreeElement child = node.getChildAt(i);
      if (child.getMultiplicity() != TreeReference.INDEX_TEMPLATE) {
        reportNode(form, child, path, nodes);
      }
    }
  }

  /** "[n]" when the node has a same-named sibling, as tolvar writes paths. */
  private static String siblingPosition(TreeElement node) {
    if (!(node.getParent() instanceof TreeElement)) {
      return "";
    }
    TreeElement parent = (TreeElement) node.getParent();
    int rows = 0;
    for (TreeElement sibling : parent.getChildrenWithName(node.getName())) {
      if (sibling.getMultiplicity() != TreeReference.INDEX_TEMPLATE) {
        ++rows;
      }
    }
    return rows > 1 ? "[" + (node.getMultiplicity() + 1) + "]" : "";
  }

  static String serialize(IAnswerData value) {
    Object serialized = new XFormAnswerDataSerializer().serializeAnswerData(value);
    return serialized == null ? "" : serialized.toString();
  }

  static ArrayNode array() {
    return JSON.createArrayNode();
  }

  static ObjectNode object() {
    return JSON.createObjectNode();
  }
}
