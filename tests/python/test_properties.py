import math
import string

from hypothesis import given, settings, strategies as st

import tolvar

DOC = "<d/>"

digits = st.text(string.digits, min_size=1, max_size=25)
signs = st.sampled_from(["", "+", "-"])
exponents = st.one_of(st.just(""), st.tuples(st.sampled_from("eE"), signs, st.text(string.digits, min_size=1, max_size=3)).map("".join))
decimals = st.one_of(
    digits,
    st.tuples(digits, st.just(".")).map("".join),
    st.tuples(st.just("."), digits).map("".join),
    st.tuples(digits, st.just("."), digits).map("".join),
)
number_texts = st.one_of(
    st.tuples(signs, decimals, exponents).map("".join),
    st.tuples(signs, st.sampled_from(["inf", "INF", "Infinity", "nan", "NaN", "iNfInItY"])).map("".join),
)


def read_back(text):
    return {"NaN": math.nan, "Infinity": math.inf, "-Infinity": -math.inf}.get(text) or float(text)


@given(number_texts)
def test_text_to_number_reads_as_python_does(text):
    value = read_back(tolvar.eval_expression(f"number('{text}')", DOC))
    expected = float(text)
    assert value == expected or (math.isnan(value) and math.isnan(expected))


@given(st.floats(allow_nan=False))
def test_number_text_reads_back_to_the_same_float(number):
    text = tolvar.eval_expression(f"number('{number!r}')", DOC)
    assert "e" not in text
    assert read_back(text) == number


@given(st.text(alphabet=st.characters(blacklist_categories=("Cs",)), max_size=60))
def test_any_text_as_an_expression_evaluates_or_is_refused(text):
    try:
        result = tolvar.eval_expression(text, "<data><a>1</a><b x='2'>t</b></data>")
    except RuntimeError:
        return
    assert isinstance(result, str)


names = st.text(string.ascii_letters, min_size=1, max_size=6)
texts = st.text(alphabet=st.characters(blacklist_categories=("Cs", "Cc")), max_size=20)
elements = st.recursive(
    st.tuples(names, texts).map(lambda p: f"<{p[0]}>{escape(p[1])}</{p[0]}>" if p[1].strip() else f"<{p[0]}/>"),
    lambda children: st.tuples(names, st.lists(children, min_size=1, max_size=4)).map(
        lambda p: f"<{p[0]}>{''.join(p[1])}</{p[0]}>"
    ),
    max_leaves=20,
)


def escape(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace('"', "&quot;")


FORM = "<h><model><instance><data/></instance><bind nodeset='/data'/></model></h>"


@settings(max_examples=200)
@given(elements)
def test_written_instances_read_back_unchanged(element):
    first = tolvar.Session(FORM, element).instance_xml()
    second = tolvar.Session(FORM, first).instance_xml()
    assert first == second
