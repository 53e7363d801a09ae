"""`tolvar check`, run as the installed console script against files on disk."""
import json
import pathlib
import re
import subprocess
import sys

import pytest

import tolvar

TOLVAR = str(pathlib.Path(sys.executable).with_name("tolvar"))
EXAMPLE = pathlib.Path(__file__).resolve().parents[2] / "examples" / "household.xml"


def run(*arguments, cwd=None):
    return subprocess.run([TOLVAR, *arguments], capture_output=True, text=True, cwd=cwd)


def xform(binds, instance="<data><a/><b/></data>"):
    return (f'<h:html xmlns:h="h" xmlns:xf="xf"><h:head><model>\n<instance>{instance}</instance>\n'
            f"{binds}\n</model></h:head></h:html>\n")


def test_text_report_groups_findings_by_bind_with_its_line():
    result = run("check", str(EXAMPLE))
    assert result.returncode == 1
    assert result.stdout.startswith(f"{EXAMPLE}: 3 findings\n  /household/phone (line 35)\n"
                                    "    constraint: regex(., '[0-9]{10}')\n"
                                    '      XF101 regex-unanchored: regex() with the unanchored pattern "[0-9]{10}"\n'
                                    "        breaks:  both, differently\n")
    assert "        instead: /household/age\n" in result.stdout
    assert result.stdout.endswith("\nchecked 1 form: 1 with 3 findings\n")
    assert result.stderr == ""


def test_a_form_that_travels_exits_zero(tmp_path):
    (tmp_path / "clean.xml").write_text(xform('<bind nodeset="/data/a" relevant="/data/b = 1"/>'))
    result = run("check", "clean.xml", cwd=tmp_path)
    assert (result.returncode, result.stdout) == (0, "clean.xml: travels\nchecked 1 form: 1 travels\n")


def test_json_is_one_document_of_the_findings_as_the_module_returns_them_with_their_codes(tmp_path):
    (tmp_path / "clean.xml").write_text(xform(""))
    result = run("check", "--format", "json", str(EXAMPLE), str(tmp_path / "clean.xml"))
    named = [("XF101", "regex-unanchored"), ("XF201", "descendant-shorthand"),
             ("XF204", "path-not-in-instance")]
    assert json.loads(result.stdout) == {
        str(EXAMPLE): [{"code": code, "name": name, **finding}
                       for (code, name), finding in zip(named, tolvar.check_form(str(EXAMPLE)), strict=True)],
        str(tmp_path / "clean.xml"): []}
    assert result.stderr == "checked 2 forms: 1 travels, 1 with 3 findings\n"


@pytest.mark.parametrize("binds, rule, line", [
    # The rule's own line, when the bind spans several.
    ('<bind nodeset="/data/a"\n  type="string"\n  relevant="//b"/>', "relevant", 5),
    # Of two binds for one target, the one that has the rule.
    ('<bind nodeset="/data/a" type="string"/>\n<bind nodeset="/data/a" relevant="//b"/>', "relevant", 4),
    # The target falls back to ref when nodeset is blank; prefixes and single quotes are read.
    ("<xf:bind nodeset=' ' ref='/data/a'\n calculate='last()'/>", "calculate", 4),
    # A ">" inside an attribute value does not end the tag.
    ('<bind nodeset="/data/a" constraint=". &gt; 1 or . > 2"\n relevant="//b"/>', "relevant", 4),
    # A bind commented out, or quoted in CDATA, is not the one the checker saw.
    ('<!-- <bind nodeset="/data/a" relevant="//b"/> -->\n<bind nodeset="/data/a" relevant="//b"/>',
     "relevant", 4),
    ('<a><![CDATA[<bind nodeset="/data/a" relevant="//b"/>]]></a>\n<bind nodeset="/data/a"\n relevant="//b"/>',
     "relevant", 5),
])
def test_github_annotations_point_at_the_line_of_the_rule(tmp_path, binds, rule, line):
    form = tmp_path / "form.xml"
    form.write_text(xform(binds))
    result = run("check", "--format", "github", "form.xml", cwd=tmp_path)
    [annotation] = result.stdout.splitlines()
    place = re.match(rf"::warning file=form.xml,line={line},col=(\d+),title=XF\d+ [a-z-]+::", annotation)
    assert place
    assert annotation.endswith(f"::{tolvar.check_form(str(form))[0]['says']}")
    assert form.read_text().splitlines()[line - 1][int(place[1]) - 1:].startswith(f"{rule}=")


def test_github_annotation_properties_escape_what_the_runner_would_misread(tmp_path):
    (tmp_path / "f,o:r%m.xml").write_text(xform("<bind nodeset=\"/data/a\" constraint=\"regex(., 'a,b:c%')\"/>"))
    result = run("check", "--format", "github", "f,o:r%m.xml", cwd=tmp_path)
    assert result.stdout.startswith(
        '::warning file=f%2Co%3Ar%25m.xml,line=3,col=25,title=XF101 regex-unanchored::'
        "/data/a (constraint): regex() with the unanchored pattern \"a,b:c%25\" — ")


def test_unreadable_forms_are_reported_and_the_others_still_checked(tmp_path):
    (tmp_path / "broken.xml").write_text("<h:html><model></h:html>")
    (tmp_path / "binary.xml").write_bytes(b"\x89PNG\r\n\x1a\n\x00\x00\xff")
    (tmp_path / "clean.xml").write_text(xform(""))
    (tmp_path / "empty").mkdir()
    result = run("check", "broken.xml", "empty", "missing.xml", "binary.xml", "clean.xml", cwd=tmp_path)
    assert result.returncode == 2
    assert result.stdout == "clean.xml: travels\nchecked 1 form: 1 travels; 4 inputs could not be read\n"
    assert result.stderr.splitlines() == [
        "tolvar: broken.xml: XForm XML: closing </html> does not match open <model>",
        "tolvar: empty: a directory with no forms (.xml, .xlsx, .xls) in it",
        "tolvar: missing.xml: no such file or directory",
        "tolvar: binary.xml: not UTF-8 text, so not an XML document",
    ]


def test_github_format_also_annotates_unreadable_forms(tmp_path):
    result = run("check", "--format", "github", "missing.xml", cwd=tmp_path)
    assert result.returncode == 2
    assert result.stdout == "::error file=missing.xml::missing.xml: no such file or directory\n"


def test_directories_are_searched_for_forms_leaving_out_hidden_ones(tmp_path):
    for name in ("b/one.xml", "a/deeper/two.XML", ".git/three.xml", "a/.four.xml", "a/notes.txt"):
        (tmp_path / name).parent.mkdir(parents=True, exist_ok=True)
        (tmp_path / name).write_text(xform(""))
    result = run("check", ".", cwd=tmp_path)
    assert result.stdout.splitlines() == ["a/deeper/two.XML: travels", "b/one.xml: travels",
                                          "checked 2 forms: 2 travel"]
    assert (result.returncode, result.stderr) == (0, "")
