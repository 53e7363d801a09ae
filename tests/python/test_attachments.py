"""Attached files: the CSV and XML files a form's external instances and pulldata() read."""
import pathlib
import pickle

import pytest

import tolvar

FORM = """<h:html xmlns:h="h"><h:head><model>
  <instance><data id="visit"><price/><districts/><city/><district/></data></instance>
  <instance id="fruits" src="jr://file-csv/fruits.csv"/>
  <instance id="districts" src="jr://file/districts.csv"/>
  <instance id="cities" src="jr://file/cities.xml"/>
  <bind nodeset="/data/price" calculate="pulldata('fruits', 'price', 'name', 'apple')"/>
  <bind nodeset="/data/districts" calculate="count(instance('districts')/root/item)"/>
  <bind nodeset="/data/city" calculate="instance('cities')/cities/city[@code = 'b']"/>
</model></h:head><h:body>
  <select1 ref="/data/district">
    <itemset nodeset="instance('districts')/root/item"><value ref="name"/><label ref="label"/></itemset>
  </select1>
</h:body></h:html>"""

FILES = {
    "fruits.csv": "\ufeffname,price\r\npear,5\r\n\"apple\",\"3\"\r\n",
    "districts.csv": "name,label\nn,\"North, upper\"\ns,South\n",
    "cities.xml": "<cities><city code='a'>Oslo</city><city code='b'>Bergen</city></cities>",
}
CLEAN = "<data id='visit'><price>3</price><districts>2</districts><city>Bergen</city><district/></data>"
NOT_LOADED = {
    "/data/price": "pulldata() cannot find the table 'fruits' — the form declares it as an "
                   "external file, and nothing has loaded it",
    "/data/districts": "instance('districts') is not loaded — the form expects a secondary "
                       "instance the evaluator was not given",
    "/data/city": "instance('cities') is not loaded — the form expects a secondary instance the "
                  "evaluator was not given",
}


def refusals(findings):
    return {f["path"]: f["says"].split(" — ", 1)[1] for f in findings if f["kind"] == "not-evaluated"}


@pytest.fixture
def media(tmp_path):
    folder = tmp_path / "visit-media"
    folder.mkdir()
    for name, text in FILES.items():
        (folder / name).write_text(text, encoding="utf-8")
    return folder


@pytest.mark.parametrize("given", [
    lambda folder: str(folder),
    lambda folder: folder,
    lambda folder: {name: str(folder / name) for name in FILES},
    lambda folder: {name: folder / name for name in FILES},
])
def test_attached_files_answer_the_rules_that_read_them(media, given):
    attachments = given(media)
    assert tolvar.submission_findings(FORM, CLEAN, attachments=attachments) == []
    assert tolvar.Form(FORM, attachments=attachments).findings(CLEAN) == []
    wrong = CLEAN.replace(">3<", ">4<")
    assert [f["path"] for f in tolvar.submission_findings(FORM, wrong, attachments=attachments)] == [
        "/data/price"]


@pytest.mark.parametrize("missing", [(), ("fruits.csv",), ("districts.csv", "cities.xml"), tuple(FILES)])
def test_a_file_not_attached_keeps_its_rules_refused(media, missing):
    for name in missing:
        (media / name).unlink()
    findings = tolvar.submission_findings(FORM, CLEAN, attachments=str(media))
    assert refusals(findings) == {path: NOT_LOADED[path] for path in NOT_LOADED
                                  if any(name.split(".")[0] in NOT_LOADED[path] for name in missing)}


def test_without_attachments_instance_of_an_external_file_refuses_instead_of_counting_nothing():
    assert refusals(tolvar.submission_findings(FORM, CLEAN)) == NOT_LOADED


def test_a_select_from_a_file_offers_its_rows_in_sessions_of_the_form(media):
    form = tolvar.Form(FORM, attachments=str(media))
    expected = [{"value": "n", "label": "North, upper"}, {"value": "s", "label": "South"}]
    assert form.session().choices("/data/district") == expected
    assert tolvar.Session(FORM, attachments=media).choices("/data/district") == expected
    assert tolvar.Session(FORM).choices("/data/district") == []


@pytest.mark.parametrize("name, text, message", [
    ("fruits.csv", "name,price\napple,3\npear,\"5\n", "line 3: a field in double quotes is never closed"),
    ("fruits.csv", "name,price\napple,3\npear,5,6\n", "line 3: 3 fields, but the header names only 2 columns"),
    ("districts.csv", "name,the label\n",
     "line 1: the column name \"the label\" is not an element name, so no expression can reach its cells"),
    ("cities.xml", "<cities><city>", "unclosed elements"),
])
def test_a_malformed_file_is_refused_naming_the_file_and_line(media, name, text, message):
    (media / name).write_text(text)
    for load in (lambda: tolvar.Form(FORM, attachments=str(media)),
                 lambda: tolvar.submission_findings(FORM, CLEAN, attachments={name: str(media / name)}),
                 lambda: tolvar.Session(FORM, attachments=str(media))):
        with pytest.raises(RuntimeError) as error:
            load()
        assert str(error.value).startswith(f"{media / name}: {message}")


@pytest.mark.parametrize("attachments, error", [
    (5, TypeError),
    (b"/tmp", TypeError),
    ({pathlib.Path("fruits.csv"): "/tmp/fruits.csv"}, TypeError),
    ({"fruits.csv": 5}, TypeError),
    ("/no/such/folder", RuntimeError),
    ({"fruits.csv": "/no/such/fruits.csv"}, RuntimeError),
])
def test_attachments_that_are_no_folder_or_files_are_refused(attachments, error):
    with pytest.raises(error):
        tolvar.Form(FORM, attachments=attachments)


def test_forms_and_sessions_pickle_with_their_attachments(media):
    form = tolvar.Form(FORM, attachments=media)
    again = pickle.loads(pickle.dumps(form))
    assert again == form and again != tolvar.Form(FORM)
    assert again.findings(CLEAN) == []
    session = pickle.loads(pickle.dumps(form.session()))
    assert session.choices("/data/district") == form.session().choices("/data/district")


@pytest.mark.parametrize("submission, message", [
    ("<household id='visit'/>", "its root is <household id=\"visit\">"),
    ("<data id='survey'><price>3</price></data>", "its root is <data id=\"survey\">"),
    ("<h:html xmlns:h='h'/>", "its root is <html>"),
])
def test_a_submission_of_another_form_raises(media, submission, message):
    expected = f"not a submission of this form: {message}, the form's instance is <data id=\"visit\">"
    for judge in (lambda: tolvar.submission_findings(FORM, submission, attachments=media),
                  lambda: tolvar.Form(FORM, attachments=media).findings(submission)):
        with pytest.raises(RuntimeError) as error:
            judge()
        assert str(error.value) == expected


@pytest.mark.parametrize("root", ["<data>", "<data id=''>", "<data id='visit' version='2'>"])
def test_a_submission_without_a_form_id_or_with_the_same_one_is_judged(media, root):
    submission = CLEAN.replace("<data id='visit'>", root)
    assert tolvar.submission_findings(FORM, submission, attachments=media) == []
