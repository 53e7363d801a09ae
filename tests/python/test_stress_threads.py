"""Eight threads calling every function at once, and sharing sessions, get
what a lone caller gets, or the one specified refusal of a session that is
busy ("the session is busy with another call"), and never crash."""

import sys
import threading

import pytest

import tolvar

THREADS = 8
ROUNDS = 600
BUSY = "the session is busy with another call"

FORM = (
    "<h:html xmlns:h='h' xmlns:jr='j'><h:head><model><instance><data><a>2</a><b/><pick/>"
    "<rep jr:template=''><v/></rep><rep><v>1</v></rep></data></instance>"
    "<instance id='list'><root><item><name>x</name><label>X</label></item>"
    "<item><name>y</name><label>Y</label></item></root></instance>"
    "<bind nodeset='/data/a' constraint='. &lt; 10' required='true()'/>"
    "<bind nodeset='/data/b' calculate='/data/a * 2' relevant=\"regex(/data/a, '\\d')\"/>"
    "<bind nodeset='/data/rep/v' constraint='. &gt; 0'/></model></h:head><h:body>"
    "<select1 ref='/data/pick'><itemset nodeset=\"instance('list')/root/item\">"
    "<value ref='name'/><label ref='label'/></itemset></select1></h:body></h:html>")
SUBMISSION = "<data><a>12</a><b>5</b><rep><v>0</v></rep><end>2024-05-06T10:00:00Z</end></data>"
EXPRESSIONS = ["/data/a + /data/b", "count(/data/rep)", "today()", "concat(/data/a, 'x')"]


def session_script():
    """One private session, edited the same way every time."""
    session = tolvar.Session(FORM, today="2024-01-01")
    session.set("/data/a", "3")
    session.add_row("/data/rep")
    session.set("/data/rep[2]/v", "-4")
    result = session.recompute()
    return (result, session.choices("/data/pick"), session.remove_row("/data/rep", 1),
            session.get("/data/b"), session.instance_xml(), repr(session))


def lone_results():
    return {
        "check": tolvar.check_form(FORM),
        "findings": tolvar.submission_findings(FORM, SUBMISSION),
        "values": [tolvar.eval_expression(e, SUBMISSION) for e in EXPRESSIONS],
        "script": session_script(),
        "choices": tolvar.Session(FORM).choices("/data/pick"),
    }


def on_shared(call, *args):
    """The call's result, or None when the session refused as busy."""
    try:
        return call(*args)
    except RuntimeError as error:
        if str(error) != BUSY:
            raise
        return None


def round_of_calls(index, number, shared, lone):
    assert tolvar.check_form(FORM) == lone["check"]
    assert tolvar.submission_findings(FORM, SUBMISSION) == lone["findings"]
    assert [tolvar.eval_expression(e, SUBMISSION) for e in EXPRESSIONS] == lone["values"]
    assert session_script() == lone["script"]
    with pytest.raises(RuntimeError):
        tolvar.eval_expression("1 +", SUBMISSION)
    with pytest.raises(TypeError):
        tolvar.check_form(None)

    # Only this thread writes its own leaf, so it reads back what it wrote.
    mine = f"/data/t{index}"
    if on_shared(shared.set, mine, f"{index}:{number}") is not None:
        raise AssertionError("set returns None")
    assert on_shared(shared.get, mine) in (f"{index}:{number}", None)
    # Every thread adds a row before it removes one, so row 2 always exists
    # when it removes, and the rows end as they started.
    assert on_shared(shared.add_row, "/data/rep") in (None, *range(2, THREADS + 2))
    assert on_shared(shared.remove_row, "/data/rep", 2) in (None, *range(1, THREADS + 1))
    with pytest.raises(ValueError):
        shared.remove_row("/data/rep", 99)
    assert on_shared(shared.choices, "/data/pick") in (None, lone["choices"])
    result = on_shared(shared.recompute)
    assert result is None or list(result) == ["calculated", "relevant", "missing", "invalid",
                                              "failed", "repeats"]
    text = on_shared(shared.instance_xml)
    assert text is None or text.startswith("<?xml version='1.0' ?><data>")


@pytest.fixture
def frequent_switches():
    interval = sys.getswitchinterval()
    sys.setswitchinterval(1e-6)
    yield
    sys.setswitchinterval(interval)


def test_eight_threads_sharing_a_session_get_lone_results(frequent_switches):
    lone = lone_results()
    shared = tolvar.Session(FORM)
    failures = []
    start = threading.Barrier(THREADS)

    def worker(index):
        start.wait()
        try:
            for number in range(ROUNDS):
                round_of_calls(index, number, shared, lone)
        except BaseException as error:  # reported below, with the thread it came from
            failures.append((index, repr(error)))

    threads = [threading.Thread(target=worker, args=(i,)) for i in range(THREADS)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()

    assert failures == []
    for index in range(THREADS):
        assert shared.get(f"/data/t{index}") == f"{index}:{ROUNDS - 1}"
    assert shared.recompute()["repeats"] == {"/data/rep": 1}
    assert shared.get("/data/rep[1]/v") == "1"
