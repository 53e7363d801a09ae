package tolvar.engines;

import com.fasterxml.jackson.databind.JsonNode;
import com.fasterxml.jackson.databind.node.ObjectNode;

/** Timings for bench/run.py, taken inside the JVM once it is warm. */
final class Bench {
  private Bench() {}

  static ObjectNode rules(JsonNode request) {
    throw new UnsupportedOperationException("not yet");
  }

  static ObjectNode load(JsonNode request) {
    throw new UnsupportedOperationException("not yet");
  }
}
