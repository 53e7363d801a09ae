"""Ctrl-C stops a long evaluation: the call ends with KeyboardInterrupt and a
Session is left as it was. Each call runs in a child process that the test
sends SIGINT once the call has started; Python's own threads cannot send it
while a call holds the interpreter lock."""

import os
import signal
import subprocess
import sys
import time

import pytest

ROWS = 2_000
# Runs for minutes over ROWS rows: every row's predicate counts every row's.
SLOW = "count(//r[count(//r[count(//a) > 0]) > 0])"
IN_XML = SLOW.replace(">", "&gt;")
# A path whose predicate takes as long and matches nothing.
SLOW_PATH = "/data/r[count(//r[count(//a) > 0]) = 0]"

SUBMISSION = "<data>" + "<r><a>1</a></r>" * ROWS + "<n/><pick/></data>"
FORM = ("<h:html xmlns:h='h'><h:head><model><instance>" + SUBMISSION + "</instance>"
        f"<bind nodeset='/data/n' calculate='{IN_XML}' constraint='{IN_XML} &gt; 0'/>"
        "</model></h:head><h:body><select1 ref='/data/pick'>"
        f"<itemset nodeset='/data/r[{IN_XML} = 0]'><value ref='a'/><label ref='a'/></itemset>"
        "</select1></h:body></h:html>")

SETUP = f"""
import tolvar
SUBMISSION = {SUBMISSION!r}
FORM = {FORM!r}
# Six thousand binds of five hundred comparisons each: seconds of checking.
CHECKED = ("<h:html xmlns:h='h'><h:head><model><instance><data><r><q/></r></data></instance>"
           + ("<bind nodeset='/data/r/q' relevant='"
              + " or ".join(f"/data/r/q = {{k}}" for k in range(500)) + "'/>") * 6_000
           + "</model></h:head><h:body><repeat nodeset='/data/r'/></h:body></h:html>")
session = tolvar.Session(FORM)
before = session.instance_xml()
"""


def restore_interrupt():
    # A shell without job control starts background jobs with SIGINT ignored,
    # and a child would inherit that: give it the default back.
    signal.signal(signal.SIGINT, signal.SIG_DFL)


def interrupted(call):
    """Runs `call` in a child, sends it SIGINT once the call has started, and
    returns what the child printed after the call: the exception's name and
    whether the session's instance is as it was."""
    script = SETUP + f"""
print("ready", flush=True)
try:
    {call}
    print("finished")
except BaseException as error:
    print(type(error).__name__, session.instance_xml() == before)
"""
    child = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE, text=True,
                             preexec_fn=restore_interrupt)
    try:
        assert child.stdout.readline() == "ready\n"
        time.sleep(0.3)
        os.kill(child.pid, signal.SIGINT)
        out, _ = child.communicate(timeout=120)
    finally:
        child.kill()
        child.wait()
    return out.strip()


@pytest.mark.parametrize("call", [
    pytest.param(f"tolvar.eval_expression({SLOW!r}, SUBMISSION)", id="eval_expression"),
    pytest.param("tolvar.submission_findings(FORM, SUBMISSION)", id="submission_findings"),
    pytest.param("tolvar.Form(FORM).findings(SUBMISSION)", id="Form.findings"),
    pytest.param("tolvar.check_form(CHECKED)", id="check_form"),
    pytest.param("tolvar.Form(CHECKED).check()", id="Form.check"),
    pytest.param("session.recompute()", id="recompute"),
    pytest.param(f"session.set('{SLOW_PATH}/b', 'x')", id="set"),
    pytest.param(f"session.get('{SLOW_PATH}/a')", id="get"),
    pytest.param(f"session.remove_row('{SLOW_PATH}/a', 1)", id="remove_row"),
    pytest.param("session.choices('/data/pick')", id="choices"),
])
def test_ctrl_c_stops_the_call_and_leaves_the_session_as_it_was(call):
    assert interrupted(call) == "KeyboardInterrupt True"


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return int(fields[11]) / os.sysconf("SC_CLK_TCK")


def test_ctrl_c_stops_judging_threads_and_exits_130(tmp_path):
    (tmp_path / "form.xml").write_text(FORM)
    for name in ("a.xml", "b.xml"):
        (tmp_path / name).write_text(SUBMISSION)
    command = subprocess.Popen(
        [sys.executable, "-m", "tolvar_cli", "judge", "--jobs", "2", "form.xml", "a.xml", "b.xml"],
        cwd=tmp_path, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
        preexec_fn=restore_interrupt, start_new_session=True)
    try:
        # Both threads are deep in their evaluations once they have run two seconds.
        while cpu_seconds(command.pid) < 2:
            assert command.poll() is None
            time.sleep(0.1)
        os.killpg(command.pid, signal.SIGINT)  # as Ctrl-C reaches the whole group
        _, err = command.communicate(timeout=120)
    finally:
        command.kill()
        command.wait()
    assert command.returncode == 130
    assert err.endswith("tolvar: interrupted after 0 of 2 submissions\n")
