"""Rule codes: every construct the checker reports has exactly one, and the README agrees."""
import json
import pathlib
import re
import subprocess
import sys

import pytest

from tolvar_cli import codes

TOLVAR = str(pathlib.Path(sys.executable).with_name("tolvar"))
README = pathlib.Path(__file__).resolve().parents[2] / "README.md"

# (bind target, rule, expression, expected code); the form declares odk:xforms-version
# where the target is inside the repeat, as the own-row rules need.
CASES = [
    ("/data/a", "constraint", "regex(., '[0-9]+')", "XF101"),
    ("/data/a", "constraint", "regex(., '^a|b$')", "XF102"),
    ("/data/a", "constraint", "regex(., /data/b)", "XF103"),
    ("/data/a", "constraint", "regex(., '^(?i)abc$')", "XF104"),
    ("/data/a", "constraint", "regex(., '^a++$')", "XF105"),
    ("/data/a", "constraint", "regex(., '^(?>a+)$')", "XF106"),
    ("/data/a", "constraint", r"regex(., '\Aabc\z')", "XF107"),
    ("/data/a", "constraint", r"regex(., '^\Q.\E$')", "XF108"),
    ("/data/a", "constraint", r"regex(., '^\p{L}+$')", "XF109"),
    ("/data/a", "constraint", "regex(., '^.{,50}$')", "XF110"),
    ("/data/a", "relevant", "sum(//x) > 1", "XF201"),
    *(("/data/rep/y", "relevant", f"count({axis}::x) > 0", "XF202")
      for axis in ("preceding-sibling", "following-sibling", "ancestor", "ancestor-or-self",
                   "descendant", "descendant-or-self", "following", "preceding")),
    ("/data/a", "relevant", "count(self::a) > 0", "XF202"),
    ("/data/a", "relevant", "count(parent::data) > 0", "XF202"),
    ("/data/a", "relevant", "/data/rep[2]/x > 1", "XF203"),
    ("/data/a", "relevant", "/houshold/age >= 16", "XF204"),
    ("/data/a", "relevant", "/data/rep/x = 'y'", "XF301"),
    ("/data/rep/y", "relevant", "/data/rep/x = 'yes'", "XF302"),
    ("/data/a", "calculate", "concat(/data/rep/x, '!')", "XF303"),
    ("/data/rep/y", "calculate", "/data/rep/x + 1", "XF304"),
    ("/data/a", "constraint", "count(/data/rep[last()]) > 0", "XF401"),
    ("/data/a", "constraint", "floor(/data/n) > 0", "XF402"),
    ("/data/a", "constraint", "ceiling(/data/n) > 0", "XF403"),
    ("/data/a", "constraint", "substring(/data/s, 2, 3) = 'bcd'", "XF404"),
    ("/data/a", "constraint", "distance(/data/b) > 1", "XF405"),
    ("/data/a", "constraint", "area(/data/b) > 1", "XF406"),
    ("/data/a", "constraint", "geofence(/data/b, /data/b)", "XF407"),
    ("/data/a", "constraint", "is-selected(/data/b)", "XF408"),
    ("/data/a", "constraint", "enclosed-area(/data/b) > 1", "XF409"),
    ("/data/a", "constraint", "base64-decode(/data/b) = 'hi'", "XF410"),
    ("/data/a", "constraint", "extract-signed(/data/b, 'k') = 'x'", "XF411"),
    ("/data/a", "constraint", "boolean-from-string('True')", "XF412"),
    ("/data/a", "constraint", "-/data/n < 0", "XF501"),
    ("/data/b", "calculate", "/data/n >= 18", "XF502"),
    ("/data/a", "constraint", ". > '2020-01-01'", "XF503"),
    ("/data/a", "relevant", "(" * 257 + "/data/a = 'x'" + ")" * 257, "XF601"),
]


def escape(text):
    return text.replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;").replace(">", "&gt;")


@pytest.fixture(scope="module")
def findings(tmp_path_factory):
    """Every case's findings, from one run of the console script over one form per setting."""
    found = {}
    for versioned in (False, True):
        binds = "\n".join(f'<bind nodeset="{target}" {rule}="{escape(expression)}"/>'
                          for target, rule, expression, _ in CASES
                          if versioned == target.startswith("/data/rep"))
        version = ' odk:xforms-version="1.0.0"' if versioned else ""
        form = tmp_path_factory.mktemp("form") / "form.xml"
        form.write_text(f'<h:html xmlns:h="h" xmlns:odk="odk"><h:head><model{version}><instance>'
                        "<data><a/><b/><n/><s/><rep><x/><y/></rep></data></instance>\n"
                        f'{binds}</model></h:head><h:body><repeat nodeset="/data/rep"/></h:body></h:html>')
        result = subprocess.run([TOLVAR, "check", "--format", "json", str(form)],
                                capture_output=True, text=True)
        for finding in json.loads(result.stdout)[str(form)]:
            found.setdefault((finding["path"], finding["rule"], finding["expression"]), []).append(finding)
    return found


@pytest.mark.parametrize("target, rule, expression, code", CASES)
def test_each_construct_has_exactly_one_code(findings, target, rule, expression, code):
    [finding] = findings[target, rule, expression]
    assert (finding["code"], finding["name"]) == (code, codes.rule_of(finding).name)
    assert [r.code for r in codes.RULES if r.matches(finding["construct"])] == [code]
    assert finding["breaks"] == codes.rule_of(finding).breaks


def test_every_code_is_produced_by_some_case():
    assert {code for *_, code in CASES} == {rule.code for rule in codes.RULES}
    assert len({rule.code for rule in codes.ALL_RULES}) == len(codes.ALL_RULES)
    assert len({rule.name for rule in codes.ALL_RULES}) == len(codes.ALL_RULES)


def catalogue_rows():
    """The README's catalogue of findings: (code, name, construct, breaks, engines) per row."""
    rows = []
    for line in README.read_text().splitlines():
        if re.match(r"\| XF\d{3} ", line):
            cells = [cell.strip().replace("\\|", "|") for cell in re.split(r"(?<!\\)\|", line)[1:-1]]
            code, name = cells[0].split()
            rows.append((code, name, *cells[1:4]))
    return rows


def test_readme_catalogue_lists_the_table_row_for_row():
    assert catalogue_rows() == [(rule.code, rule.name, rule.construct, rule.breaks, rule.engines)
                                for rule in codes.RULES]


def test_rules_command_lists_every_code_with_the_engines():
    result = subprocess.run([TOLVAR, "rules", "--format", "json"], capture_output=True, text=True)
    listed = json.loads(result.stdout)
    assert [(rule["code"], rule["engines"]) for rule in listed] == [
        (rule.code, rule.engines) for rule in codes.ALL_RULES]
    text = subprocess.run([TOLVAR, "rules"], capture_output=True, text=True).stdout
    assert "XF201 descendant-shorthand\n    the // shorthand (`sum(//age)`)\n" \
           "    breaks:  Collect / KoboCollect\n    engines: does not open · 70 · 70" in text
