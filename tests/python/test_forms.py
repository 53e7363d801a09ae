import pathlib

import pytest

import tolvar


def xform(binds, instance="<data><a/><b/><g><q/></g></data>", body=""):
    return (
        "<h:html xmlns:h='h' xmlns:jr='jr'><h:head><model><instance>" + instance + "</instance>"
        + binds + "</model></h:head><h:body>" + body + "</h:body></h:html>"
    )


@pytest.mark.parametrize(
    "form, message",
    [
        (xform(""), "the XForm declares no binds, so it carries no rules"),
        (xform("<bind relevant='1'/>"), "a <bind> has no nodeset"),
        (xform("<bind nodeset='/data/a' constraint='. &gt; #'/><bind/>"),
         "constraint of /data/a: unexpected character '#' — in expression . > #"),
        (xform("<bind nodeset='/data/a' calculate='/data/b + 1'/><bind nodeset='/data/b' calculate='/data/a'/>"),
         "these calculations depend on each other, so none of them has a defined value: "
         "/data/a → /data/b → /data/a"),
        ("<html><body><p>not a form</p></body></html>", "the XForm declares no binds, so it carries no rules"),
        ("<h><a></h>", "XForm XML: closing </h> does not match open <a>"),
    ],
)
def test_forms_that_cannot_be_loaded(form, message):
    with pytest.raises(RuntimeError) as error:
        tolvar.submission_findings(form, "<data/>")
    assert str(error.value) == message


def test_findings_come_in_the_judges_order_with_their_messages():
    form = xform(
        "<bind nodeset='/data/g' relevant='nosuch()'/>"
        "<bind nodeset='/data/a' required='true()' jr:requiredMsg='Say something.'/>"
        "<bind nodeset='/data/b' calculate='1 + 1' constraint='. &gt; 5'/>"
        "<bind nodeset='/data/g/q' constraint='. = \"x\"'/>"
    )
    submission = "<data><a> </a><b>5.0</b><g><q>y</q></g></data>"
    findings = tolvar.submission_findings(form, submission)
    assert [list(f) for f in findings] == [["path", "kind", "says"]] * len(findings)
    assert [(f["path"], f["kind"], f["says"]) for f in findings] == [
        ("/data/g", "not-evaluated", "/data/g: rule could not be evaluated — unknown function nosuch()"),
        ("/data/b", "calculation", '/data/b: holds "5.0", but the form calculates "2"'),
        ("/data/a", "required", "/data/a: Say something."),
        ("/data/b", "constraint", "/data/b: the answer does not satisfy the form's constraint"),
        ("/data/g/q", "constraint", "/data/g/q: the answer does not satisfy the form's constraint"),
    ]


def test_repeats_are_judged_row_by_row():
    form = xform("<bind nodeset='/data/rep/q' required='true()'/>", "<data><rep><q/></rep></data>")
    one = tolvar.submission_findings(form, "<data><rep><q/></rep></data>")
    assert [f["path"] for f in one] == ["/data/rep/q"]
    three = tolvar.submission_findings(form, "<data><rep><q/></rep><rep><q>1</q></rep><rep><q/></rep></data>")
    assert [f["path"] for f in three] == ["/data/rep[1]/q", "/data/rep[3]/q"]


def test_a_submission_of_another_form_is_refused_rather_than_called_clean():
    form = xform("<bind nodeset='/data/a' required='true()'/>")
    with pytest.raises(RuntimeError) as error:
        tolvar.submission_findings(form, "<other><a/></other>")
    assert str(error.value) == ("not a submission of this form: its root is <other>, "
                                "the form's instance is <data>")


def test_check_form_dicts_have_eight_keys_in_order():
    form = xform("<bind nodeset=' /data/a ' relevant=' //q = 1 ' calculate='last()'/>")
    findings = tolvar.check_form(form)
    assert [list(f) for f in findings] == [
        ["says", "path", "rule", "expression", "construct", "breaks", "effect", "suggestion"]
    ] * 2
    assert findings[0]["says"] == (
        "/data/a (relevant): the // shorthand — JavaRosa accepts only child and attribute steps, . "
        "and .., and refuses the whole expression otherwise, so the form does not open, on Collect / "
        "KoboCollect. Write the full path from the instance root instead."
    )
    assert (findings[0]["path"], findings[0]["expression"]) == ("/data/a", "//q = 1")
    assert findings[1]["rule"] == "calculate"
    assert findings[1]["breaks"] == "Collect / KoboCollect"
    assert tolvar.check_form(xform("<bind nodeset='/data/a' relevant='/data/b = 1'/>")) == []


def test_check_form_suggestion_is_none_without_one():
    findings = tolvar.check_form(xform("<bind nodeset='/data/a' relevant=\"geofence(., 'x')\"/>"))
    assert findings[0]["suggestion"] is None
    assert findings[0]["breaks"] == "Enketo web forms"


def _corpus_forms(corpus):
    return sorted((corpus / "forms").glob("*.xml"))


def test_every_corpus_form_is_checked_or_refused_as_malformed_xml(corpus):
    checked = 0
    for form in _corpus_forms(corpus):
        try:
            findings = tolvar.check_form(str(form))
        except RuntimeError as error:
            assert str(error).startswith("XForm XML: ")
            continue
        checked += 1
        for finding in findings:
            assert finding["says"].startswith(f"{finding['path']} ({finding['rule']}): ")
    assert checked > 350


def test_every_corpus_submission_is_judged(corpus):
    kinds = {}
    for folder in sorted((corpus / "submissions").iterdir()):
        form = corpus / "forms" / (folder.name + ".xml")
        for submission in sorted(folder.glob("*.xml")):
            for finding in tolvar.submission_findings(str(form), str(submission)):
                kinds[finding["kind"]] = kinds.get(finding["kind"], 0) + 1
                assert finding["path"].startswith("/")
    # uuid() is refused rather than guessed, so instanceID calculations are not evaluated.
    assert kinds.get("not-evaluated", 0) > 0
    assert set(kinds) <= {"constraint", "required", "calculation", "not-evaluated"}


def test_pulldata_refuses_an_external_table_nobody_loaded():
    form = xform(
        "<bind nodeset='/data/a' calculate=\"pulldata('fruits', 'price', 'name', 'apple')\"/>",
    ).replace("</instance>", "</instance><instance id='fruits' src='jr://file-csv/fruits.csv'/>", 1)
    findings = tolvar.submission_findings(form, "<data><a>3</a></data>")
    assert [(f["kind"], f["says"]) for f in findings] == [(
        "not-evaluated",
        "/data/a: rule could not be evaluated — pulldata() cannot find the table 'fruits' — "
        "the form declares it as an external file, and nothing has loaded it",
    )]
    inline = form.replace(
        "<instance id='fruits' src='jr://file-csv/fruits.csv'/>",
        "<instance id='fruits'><root><item><name>apple</name><price>3</price></item></root></instance>",
    )
    assert tolvar.submission_findings(inline, "<data><a>3</a></data>") == []
