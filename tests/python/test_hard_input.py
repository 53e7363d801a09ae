import os
import subprocess
import sys

import pytest

import tolvar


@pytest.mark.parametrize("depth", [300, 100_000])
def test_deeply_nested_expressions_are_refused_with_the_limit(depth):
    with pytest.raises(RuntimeError, match="256"):
        tolvar.eval_expression("(" * depth + "1" + ")" * depth, "<d/>")
    with pytest.raises(RuntimeError, match="256"):
        tolvar.eval_expression("-" * depth + "1", "<d/>")
    with pytest.raises(RuntimeError, match="256"):
        tolvar.eval_expression("f(" * depth + ")" * depth, "<d/>")
    with pytest.raises(RuntimeError, match="256"):
        tolvar.eval_expression("/d" + "[1" * depth + "]" * depth, "<d/>")


def test_moderate_nesting_still_evaluates():
    assert tolvar.eval_expression("(" * 100 + "1" + ")" * 100, "<d/>") == "1"
    assert tolvar.eval_expression(" or ".join(["false()"] * 200), "<d/>") == "false"


# ---- chains of one level's operators ----------------------------------------

CHAIN = 100_000


@pytest.mark.parametrize("expression, value", [
    (" or ".join(["/d/a = 'x'"] * CHAIN), "false"),
    (" or ".join(["/d/a = 'x'"] * CHAIN + ["/d/a = 1"]), "true"),
    (" and ".join(["/d/a = 1"] * CHAIN), "true"),
    (" and ".join(["false()"] + ["nosuch()"] * CHAIN), "false"),  # the rest is never evaluated
    ("+".join(["/d/a"] * CHAIN), str(CHAIN)),
    ("1" + "+1-1" * CHAIN, "1"),
    ("count(" + "|".join(["/d/a", "/d"] * CHAIN) + ")", "2"),
    ("=".join(["/d/a"] * CHAIN), "true"),
    (" or ".join(["/d/a + 1 - 2 * 3 > 0 and /d/a < 5"] * (CHAIN // 4)), "false"),
])
def test_a_chain_of_any_length_is_evaluated(expression, value):
    assert tolvar.eval_expression(expression, "<d><a>1</a></d>") == value


def _chain_form(rule):
    return ("<h:html xmlns:h='h'><h:head><model><instance><data><a/><b/><c/></data></instance>"
            f"<bind nodeset='/data/b' calculate='{rule}'/>"
            f"<bind nodeset='/data/c' relevant='{rule} or //a'/></model></h:head></h:html>")


@pytest.mark.parametrize("joiner", [" or ", " and ", " + ", " | "])
def test_a_form_with_a_long_chain_loads_and_is_checked_judged_and_recomputed(joiner):
    form = _chain_form(joiner.join(["/data/a"] * CHAIN))
    # /data/b may also store a boolean; the walk must reach the // at the end of /data/c.
    [finding] = [f for f in tolvar.check_form(form) if f["path"] == "/data/c"]
    assert finding["construct"] == "the // shorthand"
    assert [f["path"] for f in tolvar.submission_findings(form, "<data><a>1</a><b/><c/></data>")] == ["/data/b"]
    session = tolvar.Session(form)
    session.set("/data/a", "1")
    assert set(session.recompute()["calculated"]) == {"/data/b"}


def test_deeply_nested_xml_is_read_walked_and_written():
    depth = 100_000
    text = "<a>" * depth + "x" + "</a>" * depth
    assert tolvar.eval_expression("count(//a)", text) == str(depth - 1)
    assert tolvar.eval_expression("string(/)", text) == "x"
    form = (
        "<h><model><instance><data>" + "<g>" * depth + "</g>" * depth + "</data></instance>"
        "<bind nodeset='/data/g' relevant='true()'/></model></h>"
    )
    session = tolvar.Session(form)
    assert len(session.instance_xml()) > depth
    assert session.recompute()["relevant"] == {"/data/g": True}


def test_a_fifty_megabyte_instance_is_read():
    row = "<r><q>1</q><s>some text here</s></r>"
    text = "<data>" + row * (50_000_000 // len(row)) + "</data>"
    assert tolvar.eval_expression("count(/data/r)", text) == str(50_000_000 // len(row))


# ---- comments, processing instructions and CDATA --------------------------

@pytest.mark.parametrize("expression, xml, value", [
    ("count(/r/x)", "<r><!-- <x/> --><x/><![CDATA[<x/>]]></r>", "1"),
    ("/a", "<a><!-- note -->5</a>", "5"),
    ("/a", "<a><![CDATA[5]]></a>", "5"),
    ("/a", "<a><![CDATA[<b>&amp;</b>]]></a>", "<b>&amp;</b>"),
    ("/a * 2", "<a>2<?pi ignored?>1</a>", "42"),
    ("count(/r/*)", "<?xml version='1.0'?><!-- <x> --><r><y/></r><!-- </r> -->", "1"),
])
def test_markup_inside_comments_and_cdata_is_never_read_as_elements(expression, xml, value):
    assert tolvar.eval_expression(expression, xml) == value


COMMENTED_OUT_BIND = (
    "<h><model><instance><data><a/><b/></data></instance>"
    "<bind nodeset='/data/a' type='string'/>"
    "<!-- <bind nodeset=\"/data/b\" required=\"true()\" relevant=\"//b\"/> -->"
    "</model></h>"
)


@pytest.mark.parametrize("run", [
    lambda: tolvar.check_form(COMMENTED_OUT_BIND),
    lambda: tolvar.submission_findings(COMMENTED_OUT_BIND, "<data><a>1</a><b/></data>"),
    lambda: tolvar.Session(COMMENTED_OUT_BIND).recompute()["missing"],
])
def test_a_bind_commented_out_of_a_form_is_not_applied(run):
    assert not run()


def test_a_cdata_answer_is_written_back_escaped():
    session = tolvar.Session(COMMENTED_OUT_BIND, "<data><a><![CDATA[x < y & z]]></a><b/></data>")
    assert session.get("/data/a") == "x < y & z"
    assert "<a>x &lt; y &amp; z</a>" in session.instance_xml()


@pytest.mark.parametrize("name", [
    "enketo__XSS-test.xml",
    "commcare-core__test_display_conditions_regression.xml",
    "enketo-legacy__eIMCI_by_D_Tree_FIXEDBINDSABS.xml",
])
def test_real_forms_with_tags_inside_comments_load(corpus, name):
    form = str(corpus / "forms" / name)
    assert isinstance(tolvar.check_form(form), list)
    assert tolvar.Session(form).recompute()["relevant"]


# ---- paths that are not regular files ---------------------------------------

def _refusal(call, path):
    """What the call raises for the path, run apart so that a hang fails the test."""
    program = (f"import tolvar\ntry:\n    ({call})({str(path)!r})\n"
               "except ValueError as error:\n    print(error)\n")
    result = subprocess.run([sys.executable, "-c", program], capture_output=True, text=True,
                            timeout=60)
    return result.stdout.strip()


@pytest.fixture
def odd_paths(tmp_path):
    os.mkfifo(tmp_path / "fifo.xml")  # no writer ever comes
    (tmp_path / "loop.xml").symlink_to("loop.xml")
    return tmp_path


@pytest.mark.parametrize("name, reason", [
    ("fifo.xml", "not a regular file"),
    ("/dev/zero", "not a regular file"),
    ("loop.xml", "Too many levels of symbolic links"),
])
@pytest.mark.parametrize("call, argument", [
    ("tolvar.check_form", "form"),
    ("tolvar.Session", "form"),
    ("lambda path: tolvar.eval_expression('1', path)", "submission"),
    ("lambda path: tolvar.submission_findings('<h><model/></h>', path)", "submission"),
])
def test_paths_that_are_not_regular_files_are_refused_unread(odd_paths, name, reason, call, argument):
    path = odd_paths / name
    assert _refusal(call, path) == f"{argument}: could not read '{path}': {reason}"


# ---- a rule nested beyond the limit -------------------------------------------------

TOO_DEEP = "the expression nests deeper than 256 levels"


def _nested_rule_form(rule, attribute):
    return ("<h:html xmlns:h='h'><h:head><model><instance><data><a>1</a><b/><c/></data></instance>"
            f"<bind nodeset='/data/b' {attribute}='{rule}'/>"
            "<bind nodeset='/data/c' calculate='/data/a + 1'/></model></h:head></h:html>")


@pytest.mark.parametrize("rule", [
    "(" * 300 + "/data/a" + ")" * 300 + " = 1",
    "string(" * 300 + "/data/a" + ")" * 300 + " = '1'",
    "count(/data" + "[a" * 300 + "]" * 300 + ") = 0",
    "-" * 300 + "1 < 0",
])
@pytest.mark.parametrize("attribute", ["relevant", "required", "constraint", "calculate"])
def test_a_rule_nested_too_deep_is_reported_unchecked_and_not_evaluated(rule, attribute):
    form = _nested_rule_form(rule, attribute)
    [finding] = tolvar.check_form(form)
    assert (finding["path"], finding["rule"]) == ("/data/b", attribute)
    assert finding["construct"] == "an expression nested deeper than 256 levels"
    assert finding["breaks"] == "both, identically and silently"
    [unread] = tolvar.submission_findings(form, "<data><a>1</a><b>x</b><c>2</c></data>")
    assert (unread["path"], unread["kind"]) == ("/data/b", "not-evaluated")
    assert TOO_DEEP in unread["says"]
    session = tolvar.Session(form)
    session.set("/data/b", "x")
    result = session.recompute()
    assert result["calculated"] == {"/data/c": "2"}
    assert {path for path, _ in result["failed"]} == {"/data/b"}
    assert all(TOO_DEEP in message for _, message in result["failed"])


@pytest.mark.parametrize("content, says", [
    (b"age=30 <data/>", "ValueError: submission: could not read '{path}': not an XML document "
                        "(it does not begin with '<')"),
    (b"\xef\xbb\xbf \n<data>7</data>", "7"),
    (b" \n", "RuntimeError: no root element"),
])
def test_a_file_is_xml_when_its_text_would_be(tmp_path, content, says):
    path = tmp_path / "submission.xml"
    path.write_bytes(content)
    try:
        got = tolvar.eval_expression("/data", str(path))
    except (ValueError, RuntimeError) as error:
        got = f"{type(error).__name__}: {error}"
    assert got == says.format(path=path)
