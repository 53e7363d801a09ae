import inspect

import pytest

import tolvar

SUBMISSION = "<data><age>5</age><end>2024-05-06T10:11:12.000+02:00</end></data>"
FORM = (
    "<h:html xmlns:h='x'><h:head><model><instance><data><age/></data></instance>"
    "<bind nodeset='/data/age' required='true()'/></model></h:head></h:html>"
)


def test_module_attributes_come_in_order():
    names = [n for n in vars(tolvar) if not n.startswith("__") or n == "__version__"]
    assert names[:6] == ["__version__", "check_form", "submission_findings", "eval_expression", "Session",
                         "Form"]
    assert tolvar.__version__ == "0.1.1"


@pytest.mark.parametrize(
    "function, signature, first_line",
    [
        (tolvar.check_form, "(form)", "Will this form mean the same thing on a tablet and in a browser?"),
        (tolvar.submission_findings, "(form, submission, today=None, now=None, *, attachments=None)",
         "What a form's own rules say about a submission."),
        (tolvar.eval_expression, "(expression, submission, today=None, now=None)",
         "Evaluate one expression against a submission, for working out what a"),
        (tolvar.Session, "(form, instance=None, today=None, now=None, *, attachments=None)",
         "A form being filled in."),
        (tolvar.Form, "(form, *, attachments=None)",
         "A form loaded once, to judge any number of submissions against."),
    ],
)
def test_functions_carry_signature_and_docstring(function, signature, first_line):
    assert function.__text_signature__ == signature
    assert function.__doc__.splitlines()[0] == first_line
    assert str(inspect.signature(function)) == signature


@pytest.mark.parametrize(
    "call",
    [
        lambda: tolvar.check_form(b"<data/>"),
        lambda: tolvar.check_form(None),
        lambda: tolvar.check_form(),
        lambda: tolvar.check_form(FORM, FORM),
        lambda: tolvar.check_form(form=FORM, extra=1),
        lambda: tolvar.submission_findings(FORM, b"<data/>"),
        lambda: tolvar.submission_findings(FORM, SUBMISSION, today=5),
        lambda: tolvar.eval_expression(1, SUBMISSION),
        lambda: tolvar.eval_expression("1", SUBMISSION, now=b"x"),
        lambda: tolvar.eval_expression("1", SUBMISSION, expression="1"),
    ],
)
def test_arguments_other_than_str_raise_type_error(call):
    with pytest.raises(TypeError):
        call()


def test_str_subclass_is_accepted_and_none_means_not_given():
    class Text(str):
        pass

    assert tolvar.eval_expression(Text("1 + 1"), Text(SUBMISSION)) == "2"
    assert tolvar.eval_expression("today()", SUBMISSION, today=None) == "2024-05-06"


def test_lone_surrogate_raises_the_encoding_error():
    with pytest.raises(UnicodeEncodeError):
        tolvar.eval_expression("'\ud800'", SUBMISSION)


@pytest.mark.parametrize(
    "function, args, message",
    [
        (tolvar.check_form, ("",), "form: could not read '': "),
        (tolvar.eval_expression, ("1", "nowhere.xml"), "submission: could not read 'nowhere.xml': "),
        (tolvar.submission_findings, ("no-form.xml", "no-sub.xml"), "form: could not read 'no-form.xml': "),
        (tolvar.check_form, ("\ufeff<data/>",), "form: could not read '\ufeff<data/>': "),
        (tolvar.check_form, ("a\0b",), "form: could not read 'a\0b': "),
    ],
)
def test_unreadable_sources_raise_value_error(function, args, message):
    with pytest.raises(ValueError) as error:
        function(*args)
    assert str(error.value).startswith(message)


def test_file_sources_are_read_and_checked_for_utf8(tmp_path):
    good = tmp_path / "s.xml"
    good.write_text("<data><q>é</q></data>", encoding="utf-8")
    assert tolvar.eval_expression("/data/q", str(good)) == "é"
    bad = tmp_path / "latin1.xml"
    bad.write_bytes("<data><q>é</q></data>".encode("latin-1"))
    with pytest.raises(ValueError, match="stream did not contain valid UTF-8$"):
        tolvar.eval_expression("1", str(bad))
    with pytest.raises(ValueError, match=r"^submission: could not read '.*': Is a directory"):
        tolvar.eval_expression("1", str(tmp_path))


@pytest.mark.parametrize(
    "function, args, message",
    [
        (tolvar.eval_expression, ("x", "<?xml version='1.0'?>"), "no root element"),
        (tolvar.check_form, ("<?xml version='1.0'?>",), "XForm XML: no root element"),
        (tolvar.check_form, ("<a></b>",), "XForm XML: closing </b> does not match open <a>"),
        (tolvar.submission_findings, (FORM, "<a><b></a>"), "closing </a> does not match open <b>"),
        (tolvar.submission_findings, ("<a></b>", "<a><b></a>"), "XForm XML: closing </b> does not match open <a>"),
        (tolvar.eval_expression, ("1 +", SUBMISSION), "expected a node test, found None"),
        (tolvar.eval_expression, ("$x", SUBMISSION),
         "variable $x: XForms has no variables, so this expression cannot be what the form meant"),
    ],
)
def test_parse_and_evaluation_failures_raise_runtime_error(function, args, message):
    with pytest.raises(RuntimeError) as error:
        function(*args)
    assert str(error.value) == message


def test_leading_white_space_still_means_xml_text():
    assert tolvar.eval_expression("/data/age", "\n  \u3000" + SUBMISSION) == "5"


@pytest.mark.parametrize(
    "submission, today, now",
    [
        (SUBMISSION, "2024-05-06", "2024-05-06T10:11:12.000+02:00"),
        ("<data><today>   </today><x><today>2020-01-01</today></x></data>", None, None),
        ("<data><today>   </today><end>2021-02-03T04:05</end></data>", "2021-02-03", "2021-02-03T04:05"),
        ("<end>2024-01-01T00:00</end>", None, None),
        ("<data><start>2019-09-09T09:09</start><today>2019-09-01</today></data>", "2019-09-01",
         "2019-09-09T09:09"),
        ("<data><end>2024</end></data>", "2024", "2024"),
    ],
)
def test_clock_is_worked_out_from_the_submission(submission, today, now):
    for function, expected in (("today()", today), ("now()", now)):
        if expected is None:
            with pytest.raises(RuntimeError, match=r"^\w+\(\) has no clock to read — "):
                tolvar.eval_expression(function, submission)
        else:
            assert tolvar.eval_expression(function, submission) == expected


def test_given_clock_values_are_used_unchanged():
    assert tolvar.eval_expression("today()", SUBMISSION, today="") == ""
    assert tolvar.eval_expression("now()", SUBMISSION, today="2000-01-01") == "2024-05-06T10:11:12.000+02:00"
    assert tolvar.eval_expression("concat(today(), '|', now())", SUBMISSION, "x", "y") == "x|y"


@pytest.mark.parametrize(
    "garbage",
    ["", "text only", "<", "<a", "<<<>>>", "\x00<a/>", "<a>\x00</a>", "<a b='\x00'/>", "<" * 10_000],
)
def test_garbage_never_crashes(garbage):
    for call in (
        lambda: tolvar.check_form(garbage),
        lambda: tolvar.eval_expression("1", garbage),
        lambda: tolvar.submission_findings(FORM, garbage),
        lambda: tolvar.Session(garbage),
    ):
        try:
            call()
        except (ValueError, RuntimeError):
            pass
