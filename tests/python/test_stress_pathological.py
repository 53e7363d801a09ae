"""Pathological but legal input gives its answer: long geographic values,
thousands of binds, descendant chains over deep and wide instances. The
figures for these and larger sizes come from fuzz/pathological.py."""

import math

import pytest

import tolvar

HEAD = "<h:html xmlns:h='h'><h:head><model><instance>"
TAIL = "</model></h:head><h:body/></h:html>"


def circle(points):
    """A closed ring of points one degree around (10, 20)."""
    ring = [(10 + math.sin(2 * math.pi * i / points), 20 + math.cos(2 * math.pi * i / points))
            for i in range(points)]
    return ";".join(f"{lat:.9f} {lon:.9f} 0 0" for lat, lon in ring + ring[:1])


@pytest.mark.parametrize("function, low, high", [("area", 3.8e10, 3.9e10), ("distance", 6.9e5, 7.0e5)])
def test_a_ten_thousand_point_shape_is_measured(function, low, high):
    submission = f"<data><shape>{circle(10_000)}</shape></data>"
    assert low < float(tolvar.eval_expression(f"{function}(/data/shape)", submission)) < high


def test_a_ten_thousand_point_shape_is_judged():
    form = (HEAD + "<data><shape/></data></instance>"
            "<bind nodeset='/data/shape' type='geoshape' constraint='area(.) &lt; 1000'/>" + TAIL)
    findings = tolvar.submission_findings(form, f"<data><shape>{circle(10_000)}</shape></data>")
    assert [f["kind"] for f in findings] == ["constraint"]


BINDS = 20_000


@pytest.fixture(scope="module")
def many_binds():
    fields = "".join(f"<q{i}>{i}</q{i}>" for i in range(BINDS))
    binds = "".join(f"<bind nodeset='/data/q{i}' constraint='. &gt;= 0' calculate='{i} + 0'/>"
                    for i in range(BINDS))
    return HEAD + "<data>" + fields + "</data></instance>" + binds + TAIL


def test_twenty_thousand_binds_are_judged(many_binds):
    submission = many_binds[many_binds.index("<data>"):many_binds.index("</data>") + 7]
    submission = submission.replace("<q777>777</q777>", "<q777>-1</q777>")
    findings = tolvar.submission_findings(many_binds, submission)
    assert [(f["path"], f["kind"]) for f in findings] == [
        ("/data/q777", "calculation"), ("/data/q777", "constraint")]
    assert tolvar.check_form(many_binds) == []


def test_twenty_thousand_binds_are_recomputed(many_binds):
    session = tolvar.Session(many_binds)
    session.set("/data/q9999", "x")
    result = session.recompute()
    assert result["calculated"] == {"/data/q9999": "9999"}
    assert len(result["relevant"]) == BINDS


@pytest.mark.parametrize("steps", [1, 2, 3, 8])
def test_descendant_chains_count_each_node_once(steps):
    depth, rows = 20_000, 20_000
    deep = "<data>" + "<g>" * depth + "</g>" * depth + "</data>"
    wide = "<data>" + "<r><a/><b/></r>" * rows + "</data>"
    expression = "count(" + "//*" * steps + ")"
    assert tolvar.eval_expression(expression, deep) == str(depth - steps + 1)
    assert tolvar.eval_expression(expression, wide) == str([3 * rows, 2 * rows, 0, 0][min(steps, 4) - 1])


DEPTH = 20_000
DEEP_GROUPS = "/data" + "/g" * DEPTH


@pytest.mark.parametrize("read, missing", [
    (DEEP_GROUPS + "/q", []),
    ("/data/g/q", ["/data/g/q"]),
    (DEEP_GROUPS + "/g", [DEEP_GROUPS + "/g"]),
])
def test_a_form_nested_twenty_thousand_deep_is_checked(read, missing):
    instance = "<data>" + "<g>" * DEPTH + "<q/>" + "</g>" * DEPTH + "</data>"
    form = HEAD + instance + f"</instance><bind nodeset='/data' relevant='{read} = 1'/>" + TAIL
    findings = tolvar.check_form(form)
    assert [f["construct"] for f in findings] == [
        f"{path}, which this form's instance has no node for" for path in missing]
