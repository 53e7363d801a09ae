import pytest

import tolvar


@pytest.mark.parametrize("depth", [300, 100_000])
def test_deeply_nested_expressions_are_refused_with_the_limit(depth):
    with pytest.raises(RuntimeError, match="256"):
        tolvar.eval_expression("(" * depth + "1" + ")" * depth, "<d/>")
    with pytest.raises(RuntimeError, match="256"):
        tolvar.eval_expression("1" + "+1" * depth, "<d/>")


def test_moderate_nesting_still_evaluates():
    assert tolvar.eval_expression("(" * 100 + "1" + ")" * 100, "<d/>") == "1"
    assert tolvar.eval_expression(" or ".join(["false()"] * 200), "<d/>") == "false"


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
