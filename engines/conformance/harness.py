"""The conformance suite's side of the engine drivers' JSON-lines protocol.

Each driver reads one JSON request per line and writes one JSON reply per
line. A driver that dies, stalls or answers with something that is not a JSON
object raises `EngineFailure`, naming the engine and the end of what it wrote
to standard error, so a broken install reads differently from an engine fact.
"""

from __future__ import annotations

import json
import os
import select
import subprocess
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD = ROOT / "build" / "engines"


class EngineFailure(RuntimeError):
    """The driver, not the engine, went wrong."""


class Engine:
    def __init__(self, name: str, command: list[str], timeout: float = 60.0):
        self.name = name
        self.timeout = timeout
        self._errors = tempfile.TemporaryFile()
        self._process = subprocess.Popen(
            command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self._errors,
            cwd=ROOT)
        self._pending = b""

    def request(self, message: dict) -> dict:
        try:
            self._process.stdin.write(json.dumps(message).encode() + b"\n")
            self._process.stdin.flush()
        except BrokenPipeError:
            self._fail("is not running")
        line = self._read_line()
        try:
            reply = json.loads(line)
        except ValueError:
            self._fail(f"replied with something that is not JSON: {line[:200]!r}")
        if not isinstance(reply, dict):
            self._fail(f"replied with {type(reply).__name__}, not an object")
        return reply

    def _read_line(self) -> bytes:
        deadline = time.monotonic() + self.timeout
        stdout = self._process.stdout.fileno()
        while b"\n" not in self._pending:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                self._process.kill()
                self._process.wait()
                self._fail(f"gave no reply within {self.timeout:g} s")
            ready, _, _ = select.select([stdout], [], [], remaining)
            if ready:
                chunk = os.read(stdout, 1 << 16)
                if not chunk:
                    self._process.wait()
                    self._fail(f"exited with status {self._process.returncode}")
                self._pending += chunk
        line, _, self._pending = self._pending.partition(b"\n")
        return line

    def _fail(self, what: str) -> None:
        self._errors.seek(0)
        tail = self._errors.read().decode(errors="replace").strip()[-2000:]
        raise EngineFailure(f"{self.name} driver {what}" + (f"; it wrote:\n{tail}" if tail else ""))

    def close(self) -> None:
        if self._errors.closed:
            return
        if self._process.poll() is None:
            self._process.stdin.close()
            try:
                self._process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()
        self._errors.close()

    # --- the two requests -----------------------------------------------------------------

    def evaluate(self, expression: str, instance: str, context: str = "",
                 secondary: dict[str, str] | None = None) -> "Evaluation":
        reply = self.request({"op": "eval", "expression": expression, "instance": instance,
                              "context": context, "secondary": secondary or {}})
        return Evaluation(reply.get("value"), reply.get("error"))

    def run_form(self, form: str, answers: dict[str, str] | None = None,
                 repeats: dict[str, int] | None = None) -> "FormRun":
        reply = self.request({"op": "form", "form": form, "answers": answers or {},
                              "repeats": repeats or {}})
        if "opens" not in reply:
            raise EngineFailure(f"{self.name} driver could not run the form: {reply.get('error')}")
        return FormRun(reply["opens"], reply.get("error") or reply.get("fault"),
                       reply.get("nodes", {}))


@dataclass
class Evaluation:
    value: str | None
    error: str | None

    def outcome(self) -> str:
        return f"fails: {self.error}" if self.error is not None else self.value


@dataclass
class FormRun:
    opens: bool
    error: str | None
    nodes: dict[str, dict] = field(default_factory=dict)

    def observe(self, path: str, what: str) -> str:
        """What the engine did at `path`: "does not open", "fails: …", or the
        node's value, relevance ("true"/"false"), validity or required flag."""
        if not self.opens:
            return "does not open"
        if self.error is not None:
            return f"fails: {self.error}"
        state = self.nodes.get(path)
        if state is None:
            return "no such node"
        if state.get("error"):
            return f"fails: {state['error']}"
        seen = state[what]
        return ("true" if seen else "false") if isinstance(seen, bool) else seen


def javarosa() -> Engine:
    classpath = (BUILD / "javarosa" / "classpath.txt").read_text().strip()
    return Engine("JavaRosa", ["java", "-Xss8m", "-cp",
                               f"{BUILD / 'javarosa' / 'classes'}:{classpath}",
                               "tolvar.engines.JavaRosaDriver"])


def enketo() -> Engine:
    return Engine("Enketo", ["node", str(ROOT / "engines" / "node" / "enketo.mjs")])


def webforms() -> Engine:
    return Engine("Web Forms", ["node", str(ROOT / "engines" / "node" / "webforms.mjs")])
