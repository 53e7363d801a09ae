"""`tolvar eval`, XLSForm input and the command line itself, run as the installed console script."""
import os
import pathlib
import subprocess
import sys
import zipfile

import pytest

import tolvar

TOLVAR = str(pathlib.Path(sys.executable).with_name("tolvar"))
SUBMISSION = "<data id='visit'><age>30</age><end>2024-05-06T10:11:12.000+02:00</end></data>"


def run(*arguments, cwd=None, env=None):
    return subprocess.run([TOLVAR, *arguments], capture_output=True, text=True, cwd=cwd, env=env)


@pytest.fixture
def visit(tmp_path):
    (tmp_path / "submission.xml").write_text(SUBMISSION)
    return tmp_path


@pytest.mark.parametrize("arguments, value", [
    (("/data/age * 2",), "60"),
    (("today()",), "2024-05-06"),
    (("--today", "1999-12-31", "today()"), "1999-12-31"),
    (("--now", "2024-05-06T10:11Z", "now()"), "2024-05-06T10:11Z"),
    (("/data/missing",), ""),
    (("--", "-/data/age"), "-30"),
])
def test_eval_prints_the_value(visit, arguments, value):
    *options, expression = arguments
    result = run("eval", *options, expression, "submission.xml", cwd=visit)
    assert (result.returncode, result.stdout, result.stderr) == (0, value + "\n", "")


@pytest.mark.parametrize("option, value", [
    ("--today", "yesterday"), ("--today", "2024-02-30"), ("--today", "20240506"),
    ("--now", "later"), ("--now", "2024-05-06"), ("--now", "2024-05-06T24:00:00Z"),
    ("--now", "2024-05-06T10:11:12+2"),
])
def test_clock_options_take_iso_dates_and_date_times_only(visit, option, value):
    result = run("eval", option, value, "today()", "submission.xml", cwd=visit)
    assert result.returncode == 2
    assert f"argument {option}: '{value}' is not a date" in result.stderr


@pytest.mark.parametrize("submission, value", [
    ("<data><age>3</age><age>4</age></data>", "7"),
    ("  \n<data><age>3</age></data>", "3"),
])
def test_eval_takes_a_submission_written_out(visit, submission, value):
    result = run("eval", "sum(/data/age)", submission, cwd=visit)
    assert (result.returncode, result.stdout) == (0, value + "\n")


@pytest.mark.parametrize("expression, submission, message", [
    ("$age", "submission.xml",
     "variable $age: XForms has no variables, so this expression cannot be what the form meant"),
    ("1 +", "submission.xml", "expected a node test, found None"),
    ("instance('people')/p", "submission.xml",
     "instance('people') is not loaded — the form expects a secondary instance the evaluator was not given"),
    ("1", "absent.xml", "absent.xml: no such file or directory"),
])
def test_eval_refusals_go_to_standard_error_with_status_2(visit, expression, submission, message):
    result = run("eval", expression, submission, cwd=visit)
    assert (result.returncode, result.stdout, result.stderr) == (2, "", f"tolvar: {message}\n")


@pytest.mark.parametrize("arguments, status, output", [
    (("--version",), 0, f"tolvar {tolvar.__version__}\n"),
    ((), 2, "tolvar: name a command: check, judge, eval or rules\n"),
    (("check",), 2, "the following arguments are required: FORM"),
    (("check", "--format", "yaml", "f.xml"), 2, "invalid choice: 'yaml'"),
])
def test_command_line_mistakes_are_explained(arguments, status, output):
    result = run(*arguments)
    assert result.returncode == status
    assert output in result.stdout + result.stderr and "Traceback" not in result.stderr


def test_output_cut_short_by_the_reader_is_no_error(tmp_path):
    # Far more output than a pipe holds, so the command is still writing when the reader leaves.
    binds = '<bind nodeset="/data/a" relevant="//a"/>' * 5000
    (tmp_path / "form.xml").write_text(
        f"<h:html xmlns:h='h'><h:head><model><instance><data><a/></data></instance>{binds}</model></h:head></h:html>")
    shell = f"'{TOLVAR}' check form.xml | head -1"
    result = subprocess.run(["bash", "-o", "pipefail", "-c", shell], capture_output=True, text=True, cwd=tmp_path)
    assert result.stdout == "form.xml: 5000 findings\n"
    assert (result.returncode, result.stderr) == (141, "")


def _fake_workbook(path):
    with zipfile.ZipFile(path, "w") as archive:
        archive.writestr("[Content_Types].xml", "<Types/>")


@pytest.mark.parametrize("name", ["survey.xlsx", "survey.XLS", "really-a-workbook.xml"])
def test_a_workbook_without_pyxform_says_what_to_install(tmp_path, name):
    # A module that fails to import stands in for pyxform being absent.
    (tmp_path / "hide").mkdir()
    (tmp_path / "hide" / "pyxform.py").write_text("raise ImportError('hidden for this test')\n")
    _fake_workbook(tmp_path / name)
    result = run("check", name, cwd=tmp_path, env={"PYTHONPATH": str(tmp_path / "hide")})
    assert result.returncode == 2
    assert result.stderr == (f"tolvar: {name}: is an XLSForm, and reading one needs pyxform: "
                             "pip install pyxform\n")


def _xlsform(path, survey):
    openpyxl = pytest.importorskip("openpyxl")
    workbook = openpyxl.Workbook()
    workbook.active.title = "survey"
    for row in survey:
        workbook.active.append(row)
    workbook.save(path)


@pytest.fixture
def xlsform(tmp_path):
    pytest.importorskip("pyxform")
    _xlsform(tmp_path / "visit.xlsx", [
        ("type", "name", "label", "constraint", "required"),
        ("integer", "age", "Age", ". < 120", "yes"),
        ("text", "phone", "Phone", "regex(., '[0-9]{10}')", ""),
    ])
    return tmp_path


def test_check_converts_an_xlsform_first(xlsform):
    result = run("check", "--format", "github", "visit.xlsx", cwd=xlsform)
    assert result.returncode == 1
    # No line: the converted text is not what the author edits; the sheet's row instead.
    assert result.stdout.startswith("::warning file=visit.xlsx,title=XF101 regex-unanchored::"
                                    "survey row 3, phone: /data/phone (constraint): regex() with the unanchored pattern")


def test_judge_takes_an_xlsform_and_its_submissions(xlsform):
    # pyxform names the form after the file when the workbook gives no id.
    (xlsform / "s.xml").write_text("<data id='visit'><age>130</age><phone>0123456789</phone></data>")
    result = run("judge", "visit.xlsx", "s.xml", cwd=xlsform)
    assert result.stdout.splitlines()[:2] == [
        "s.xml: 1 finding", "  constraint     /data/age: the answer does not satisfy the form's constraint"]


def test_a_workbook_pyxform_cannot_convert_is_a_one_line_error(xlsform):
    _xlsform(xlsform / "bad.xlsx", [("type", "name"), ("no-such-type", "q")])
    result = run("check", "bad.xlsx", cwd=xlsform)
    assert result.returncode == 2
    assert result.stderr.startswith("tolvar: bad.xlsx: the XLSForm could not be converted: ")
    assert len(result.stderr.splitlines()) == 1


@pytest.fixture
def odd_inputs(tmp_path):
    """A good form and submission beside paths that are no files to read."""
    (tmp_path / "form.xml").write_text(
        "<h><model><instance><data id='f'><a/></data></instance>"
        "<bind nodeset='/data/a' required='true()'/></model></h>")
    (tmp_path / "s.xml").write_text("<data id='f'><a>1</a></data>")
    os.mkfifo(tmp_path / "fifo.xml")  # no writer ever comes
    (tmp_path / "loop.xml").symlink_to("loop.xml")
    (tmp_path / "folder").mkdir()
    (tmp_path / "folder" / "s.xml").write_text("<data id='f'><a>1</a></data>")
    os.mkfifo(tmp_path / "folder" / "fifo.xml")
    (tmp_path / "folder" / "loop.xml").symlink_to("../folder/loop.xml")
    return tmp_path


FIFO = "not a regular file (a pipe, a device or a socket), so not read"
LOOP = "symbolic links that lead round in a loop, so nothing to read"


@pytest.mark.parametrize("arguments, refused, still_read", [
    (("check", "fifo.xml", "form.xml"), [f"fifo.xml: {FIFO}"], "form.xml: travels"),
    (("check", "/dev/zero", "form.xml"), [f"/dev/zero: {FIFO}"], "form.xml: travels"),
    (("check", "loop.xml", "form.xml"), [f"loop.xml: {LOOP}"], "form.xml: travels"),
    (("check", "folder", "form.xml"), [f"folder/fifo.xml: {FIFO}", f"folder/loop.xml: {LOOP}"],
     "form.xml: travels"),
    (("judge", "form.xml", "fifo.xml", "loop.xml", "s.xml"), [f"fifo.xml: {FIFO}", f"loop.xml: {LOOP}"],
     "s.xml: no findings"),
    (("judge", "form.xml", "folder"), [f"folder/fifo.xml: {FIFO}", f"folder/loop.xml: {LOOP}"],
     "folder/s.xml: no findings"),
    (("judge", "fifo.xml", "s.xml"), [f"fifo.xml: {FIFO}"], ""),
    (("judge", "loop.xml", "s.xml"), [f"loop.xml: {LOOP}"], ""),
    (("eval", "1", "fifo.xml"), [f"fifo.xml: {FIFO}"], ""),
    (("eval", "1", "/dev/zero"), [f"/dev/zero: {FIFO}"], ""),
    (("eval", "1", "loop.xml"), [f"loop.xml: {LOOP}"], ""),
])
def test_paths_that_are_no_files_are_one_line_errors_and_the_rest_is_read(
        odd_inputs, arguments, refused, still_read):
    result = subprocess.run([TOLVAR, *arguments], capture_output=True, text=True, cwd=odd_inputs,
                            timeout=60)
    assert result.returncode == 2
    assert [line for line in result.stderr.splitlines() if not line.startswith("judged ")] == [
        f"tolvar: {line}" for line in refused]
    assert still_read in result.stdout
