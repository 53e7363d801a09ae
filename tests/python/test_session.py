import pytest

import tolvar

FORM = """<h:html xmlns:h="h" xmlns:jr="jr"><h:head><model>
<itext><translation lang="en"><text id="big"><value>Too big.</value></text></translation></itext>
<instance><data><q>hello</q><age/><grp><inner/></grp><rep jr:template=""><x>d</x></rep>
<rep><x>1</x></rep><city/><now/></data></instance>
<instance id="cities"><root><item><name>paris</name><c>fr</c></item>
<item><name>rome</name><c>it</c></item></root></instance>
<bind nodeset="/data/age" required="true()" constraint=". &lt; 100" jr:constraintMsg="jr:itext('big')"/>
<bind nodeset="/data/grp" relevant="/data/age &gt; 10"/>
<bind nodeset="/data/grp/inner" required="true()"/>
<bind nodeset="/data/now" calculate="now()"/>
</model></h:head><h:body>
<select1 ref="/data/city"><itemset nodeset="instance('cities')/root/item[c = /data/q]">
<value ref="name"/><label ref="concat('City ', name)"/></itemset></select1>
<select1 ref="/data/q"><item><value>fr</value><label>France</label></item></select1>
</h:body></h:html>"""


@pytest.fixture
def session():
    return tolvar.Session(FORM)


@pytest.mark.parametrize(
    "method, signature, first_line",
    [
        ("set", "($self, path, value)", "Answer a question."),
        ("get", "($self, path)", "The current answer, or the empty string."),
        ("declares", "($self, path)", "Whether the path names an element the form declares."),
        ("add_row", "($self, path)", "Add a row to a repeat; returns how many there are now."),
        ("remove_row", "($self, path, position)", "Remove one row, counted from 1 as XPath counts."),
        ("recompute", "($self)", "Run the form's logic and apply what it derives."),
        ("choices", "($self, path)", "The choices a filtered question offers right now, or `None` when its"),
        ("instance_xml", "($self)", "The instance as it would be submitted."),
    ],
)
def test_methods_carry_signature_and_docstring(method, signature, first_line):
    function = getattr(tolvar.Session, method)
    assert function.__text_signature__ == signature
    assert function.__doc__.splitlines()[0] == first_line


@pytest.mark.parametrize(
    "path, expected",
    [("/data/q", "hello"), ("q", "hello"), ("/q", "hello"), ("/data/age", ""), ("/data/nothing", ""),
     ("/data/rep/x", "1"), ("((", ""), ("$v", "")],
)
def test_get_reads_the_starting_instance_without_templates(session, path, expected):
    assert session.get(path) == expected


def test_set_writes_and_creates_plain_elements(session):
    session.set("/data/q", "fr")
    session.set("/data/new/leaf", "v")
    assert session.get("/data/new/leaf") == "v"
    assert "<new><leaf>v</leaf></new></data>" in session.instance_xml()
    session.set("/data/rep[count(//x) = 1]/x", "7")
    assert session.get("/data/rep/x") == "7"


@pytest.mark.parametrize(
    "path, declared",
    [("/data/q", True), ("q", True), ("/q", True), ("/data", True), ("/data/grp/inner", True),
     ("/data/rep/x", True), ("/data/rep[5]/x", True), ("/data/hh_haed", False),
     ("/data/grp/innr", False), ("/data/x", False), ("data", False), ("/data/q/", False),
     ("/data//q", False), ("/", False), ("", False)],
)
def test_declares_follows_the_form_not_the_instance(path, declared):
    session = tolvar.Session(FORM, instance="<data><hh_haed/></data>")
    assert session.declares(path) is declared


@pytest.mark.parametrize(
    "path, message",
    [
        ("", "'' names nothing"),
        ("/", "'/' names nothing"),
        ("/data/rep[3]/x", "'/data/rep[3]/x' points at rep[3], which does not exist — add the row first with add_row()"),
        ("concat('a')", "'concat('a')' cannot be created — concat('a') is not an XML element name"),
        ("/data/@lang", "'/data/@lang' cannot be created — @lang is not an XML element name"),
        ("/data/a b", "'/data/a b' cannot be created — a b is not an XML element name"),
        ("/data/q/", """'/data/q/' has an empty step ("//" or a trailing "/")"""),
        ("/data/", """'/data/' has an empty step ("//" or a trailing "/")"""),
        ("/data//q", """'/data//q' has an empty step ("//" or a trailing "/")"""),
        ("//q", """'//q' has an empty step ("//" or a trailing "/")"""),
    ],
)
def test_set_refusals_leave_the_instance_as_it_was(session, path, message):
    before = session.instance_xml()
    with pytest.raises(ValueError) as error:
        session.set(path, "x")
    assert str(error.value) == message
    assert session.instance_xml() == before


def test_rows_are_added_and_removed(session):
    assert session.add_row("/data/rep") == 2
    assert session.add_row("/data/rep") == 3
    assert session.get("/data/rep[3]/x") == "d"
    assert session.remove_row("/data/rep", 1) == 2
    assert session.get("/data/rep[1]/x") == "d"
    with pytest.raises(ValueError, match=r"^'/data/rep\[1\]' is not a repeat in this form$"):
        session.add_row("/data/rep[1]")
    with pytest.raises(ValueError, match=r"^'/data/q' is not a repeat in this form$"):
        session.add_row("/data/q")


@pytest.mark.parametrize(
    "position, error, message",
    [
        (0, ValueError, "'/data/rep' has 1 row(s); there is no row 0"),
        (2, ValueError, "'/data/rep' has 1 row(s); there is no row 2"),
        (2**64 - 1, ValueError, "'/data/rep' has 1 row(s); there is no row 18446744073709551615"),
        (-1, OverflowError, None),
        (2**64, OverflowError, None),
        ("1", TypeError, None),
        (1.0, TypeError, None),
    ],
)
def test_remove_row_refusals(session, position, error, message):
    before = session.instance_xml()
    with pytest.raises(error) as raised:
        session.remove_row("/data/rep", position)
    if message:
        assert str(raised.value) == message
    assert session.instance_xml() == before


def test_remove_row_takes_objects_with_index(session):
    class Two:
        def __index__(self):
            return 1

    assert session.remove_row("/data/rep", Two()) == 0


NO_NOW = (
    "now() has no clock to read — no time was given, and tolvar will not guess one: pass now, for "
    "example now='2024-05-06T10:11:12.000+02:00' (--now on the command line), or judge a "
    "submission that has an end or start element"
)


def test_recompute_reports_every_key_in_order(session):
    result = session.recompute()
    assert list(result) == ["calculated", "relevant", "missing", "invalid", "failed", "repeats"]
    assert result == {
        "calculated": {},
        "relevant": {"/data/age": True, "/data/grp": False, "/data/grp/inner": False, "/data/now": True},
        "missing": ["/data/age"],
        "invalid": [],
        "failed": [("/data/now", NO_NOW), ("/data/now", NO_NOW)],
        "repeats": {"/data/rep": 1},
    }
    assert session.recompute()["calculated"] == {}


def test_recompute_follows_answers(session):
    session.set("/data/age", "150")
    result = session.recompute()
    assert result["relevant"]["/data/grp/inner"] is True
    assert result["missing"] == ["/data/grp/inner"]
    assert result["invalid"] == [("/data/age", "Too big.")]


def test_clock_defaults_ignore_the_instance():
    saved = "<data><end>2024-01-01T00:00</end><now/></data>"
    session = tolvar.Session(FORM, saved, today="2024-01-01")
    result = session.recompute()
    assert result["calculated"] == {}
    assert result["failed"] == [("/data/now", NO_NOW), ("/data/now", NO_NOW)]
    session = tolvar.Session(FORM, now="then")
    assert session.recompute()["calculated"] == {"/data/now": "then"}


def test_choices_follow_the_current_answers(session):
    assert session.choices("/data/city") == []
    session.set("/data/q", "it")
    assert session.choices("/data/city") == [{"value": "rome", "label": "City rome"}]
    assert session.choices("/data/q") is None
    assert session.choices("/data/nothing") is None


def test_repr_counts_the_bytes_of_the_instance(session):
    before = repr(session)
    assert before == f"<tolvar.Session {len(session.instance_xml().encode())} bytes>"
    session.set("/data/q", "é")
    assert repr(session) != before


@pytest.mark.parametrize(
    "instance, error, message",
    [
        ("<data><a></data>", RuntimeError, "saved instance: closing </data> does not match open <a>"),
        ("missing.xml", ValueError, "instance: could not read 'missing.xml': "),
        (b"<data/>", TypeError, None),
    ],
)
def test_saved_instances_that_cannot_be_used(instance, error, message):
    with pytest.raises(error) as raised:
        tolvar.Session(FORM, instance)
    if message:
        assert str(raised.value).startswith(message)


def test_a_saved_instance_of_another_form_loads_and_selects_nothing():
    session = tolvar.Session(FORM, "<other><age>5</age></other>")
    assert session.recompute()["relevant"] == {}
    assert session.get("/other/age") == "5"


def test_form_failures_raise_runtime_error():
    with pytest.raises(RuntimeError, match="^the XForm declares no binds, so it carries no rules$"):
        tolvar.Session("<h><model><instance><data/></instance></model></h>")
    with pytest.raises(RuntimeError, match="^the XForm has no primary instance$"):
        tolvar.Session("<h><model><bind nodeset='/a'/></model></h>")


def test_fill_in_agrees_with_the_judge(corpus):
    form = str(corpus / "forms" / "briefcase__choice-lists-predicate-relative-repeat.xml")
    session = tolvar.Session(form)
    assert session.recompute()["repeats"] == {"/data/group": 0}
    assert session.add_row("/data/group") == 1
    assert session.add_row("/data/group") == 2
    session.set("/data/group[1]/category", "2")
    session.set("/data/group[1]/item", "5")
    session.set("/data/group[2]/category", "3")
    last = session.recompute()
    assert last["missing"] == ["/data/group[2]/item"]
    assert last["repeats"] == {"/data/group": 2}
    judged = tolvar.submission_findings(form, session.instance_xml())
    assert [f["path"] for f in judged if f["kind"] == "required"] == last["missing"]
    assert not [f for f in judged if f["kind"] in ("constraint", "not-evaluated")]
    session.set("/data/group[2]/item", "9")
    assert session.recompute()["missing"] == []
    assert tolvar.submission_findings(form, session.instance_xml()) == []
