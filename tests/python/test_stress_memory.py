"""Every entry point, called thousands of times with valid and broken input,
keeps memory flat: the arguments' reference counts come back to where they
were, no objects pile up in the collector, and resident memory stays put.

Resident memory is not checked under the sanitizers (scripts/sanitize.sh
sets TOLVAR_SANITIZED): AddressSanitizer keeps freed memory in quarantine,
so it grows there by design."""

import gc
import os
import sys

import pytest

import tolvar

ROUNDS = 3_000
WARM_UP = 300
# A leak of one result per call would pass this many times over: every call
# below returns (or fails after building) at least a few kilobytes.
ALLOWED_GROWTH = 4 * 1024 * 1024
QUESTIONS = 60

FIELDS = "".join(f"<q{i}>{i}</q{i}>" for i in range(QUESTIONS))
BINDS = "".join(
    f"<bind nodeset='/data/q{i}' type='int' constraint=\"regex(., '\\d+')\""
    f" relevant='/data/q0 != 99' calculate='/data/q0 + {i}'/>"
    for i in range(1, QUESTIONS))
FORM = (
    "<h:html xmlns:h='h' xmlns:jr='j'><h:head><model><instance><data>" + FIELDS +
    "<rep jr:template=''><v/><w/></rep><rep><v>1</v></rep><pick/></data></instance>"
    "<instance id='list'><root><item><name>a</name><label>A</label></item>"
    "<item><name>b</name><label>B</label></item></root></instance>"
    "<bind nodeset='/data/q0' required='true()' jr:constraintMsg='too big' constraint='. &lt; 50'/>"
    + BINDS + "<bind nodeset='/data/rep/v' constraint='. &gt; 0'/></model></h:head><h:body>"
    "<select1 ref='/data/pick'><itemset nodeset=\"instance('list')/root/item\">"
    "<value ref='name'/><label ref='label'/></itemset></select1></h:body></h:html>")
SUBMISSION = "<data><q0>77</q0>" + FIELDS[len("<q0>0</q0>"):] + "<rep><v>-1</v></rep><end>2024-05-06</end></data>"
BIG_TEXT = "x" * 4096
NOT_A_FILE = "/nonexistent/tolvar/form.xml"


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def expect(exception, call, *args, **kwargs):
    with pytest.raises(exception):
        call(*args, **kwargs)


def module_functions():
    assert len(tolvar.check_form(FORM)) >= QUESTIONS - 1
    expect(RuntimeError, tolvar.check_form, "<h:html><model></h:html>")
    expect(ValueError, tolvar.check_form, NOT_A_FILE)
    expect(TypeError, tolvar.check_form, FORM.encode())

    assert len(tolvar.submission_findings(FORM, SUBMISSION)) >= QUESTIONS
    expect(RuntimeError, tolvar.submission_findings, FORM, SUBMISSION[:-5])
    expect(RuntimeError, tolvar.submission_findings, "<data/>", SUBMISSION)
    expect(TypeError, tolvar.submission_findings, FORM, SUBMISSION, today=1)

    assert len(tolvar.eval_expression(f"concat('{BIG_TEXT}', /data/q1)", SUBMISSION)) == 4097
    expect(RuntimeError, tolvar.eval_expression, f"concat('{BIG_TEXT}', ", SUBMISSION)
    expect(RuntimeError, tolvar.eval_expression, f"nosuch('{BIG_TEXT}')", SUBMISSION)
    expect(UnicodeEncodeError, tolvar.eval_expression, "'\ud800'", SUBMISSION)


def session_lifecycle():
    session = tolvar.Session(FORM, today="2024-01-01")
    assert session.instance_xml().startswith("<?xml")
    expect(RuntimeError, tolvar.Session, FORM, instance="<data><q0></data>")
    expect(RuntimeError, tolvar.Session, "<h:html/>")
    expect(ValueError, tolvar.Session, FORM, instance=NOT_A_FILE)


SHARED = tolvar.Session(FORM)
BIG_POSITION = 10**30


def session_methods():
    session = SHARED
    session.set("/data/note", BIG_TEXT)
    expect(ValueError, session.set, "/data/rep[9]/v", BIG_TEXT)
    assert session.get("/data/note") == BIG_TEXT
    assert session.get(f"/data/{'x' * 100}") == ""
    rows = session.add_row("/data/rep")
    expect(ValueError, session.add_row, "/data/q1")
    assert session.remove_row("/data/rep", rows) == rows - 1
    expect(ValueError, session.remove_row, "/data/rep", 99)
    expect(OverflowError, session.remove_row, "/data/rep", -1)
    expect(OverflowError, session.remove_row, "/data/rep", BIG_POSITION)
    expect(TypeError, session.remove_row, "/data/rep", "1")
    result = session.recompute()
    assert len(result["relevant"]) >= QUESTIONS - 1
    assert session.choices("/data/pick") == [{"value": "a", "label": "A"}, {"value": "b", "label": "B"}]
    assert session.choices("/data/q1") is None
    assert len(session.instance_xml()) > len(BIG_TEXT)
    assert repr(session).startswith("<tolvar.Session ")


ARGUMENTS = [FORM, SUBMISSION, BIG_TEXT, NOT_A_FILE, BIG_POSITION, SHARED]


@pytest.mark.parametrize("round_of_calls", [module_functions, session_lifecycle, session_methods])
def test_repeated_calls_keep_memory_flat(round_of_calls):
    for _ in range(WARM_UP):
        round_of_calls()
    gc.collect()
    references = [sys.getrefcount(argument) for argument in ARGUMENTS]
    tracked = len(gc.get_objects())
    resident = resident_bytes()

    for _ in range(ROUNDS):
        round_of_calls()

    gc.collect()
    assert [sys.getrefcount(argument) for argument in ARGUMENTS] == references
    assert len(gc.get_objects()) - tracked < 100
    if not os.environ.get("TOLVAR_SANITIZED"):
        assert resident_bytes() - resident < ALLOWED_GROWTH
