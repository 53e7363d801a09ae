"""`tolvar judge`, run as the installed console script against files on disk."""
import csv
import fcntl
import io
import json
import os
import pathlib
import pty
import re
import signal
import struct
import subprocess
import sys
import termios

import pytest

import tolvar

TOLVAR = str(pathlib.Path(sys.executable).with_name("tolvar"))
EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"

FORM = """<h:html xmlns:h="h"><h:head><model>
  <instance><data id="visit"><age/><seen/></data></instance>
  <bind nodeset="/data/age" required="true()" constraint=". &lt; 120"/>
  <bind nodeset="/data/seen" constraint=". = today()"/>
</model></h:head></h:html>"""


def submission(age="30", seen="2024-05-06", root="data", form_id="visit"):
    return f"<{root} id='{form_id}'><age>{age}</age><seen>{seen}</seen><end>2024-05-06T10:00</end></{root}>"


def run(*arguments, cwd=None, **options):
    return subprocess.run([TOLVAR, *arguments], capture_output=True, text=True, cwd=cwd, **options)


@pytest.fixture
def batch(tmp_path):
    """A form and an export laid out as one folder per instance."""
    (tmp_path / "form.xml").write_text(FORM)
    for folder, text in [("uuid-1", submission()), ("uuid-2", submission(age="")),
                         ("uuid-3", submission(age="130", seen="2030-01-01"))]:
        (tmp_path / "export" / folder).mkdir(parents=True)
        (tmp_path / "export" / folder / "submission.xml").write_text(text)
    return tmp_path


def test_text_report_lists_each_submission_and_sums_up_by_kind(batch):
    result = run("judge", "form.xml", "export", cwd=batch)
    assert result.returncode == 1
    assert result.stdout == (
        "export/uuid-1/submission.xml: no findings\n"
        "export/uuid-2/submission.xml: 1 finding\n"
        "  required       /data/age: required, and unanswered\n"
        "export/uuid-3/submission.xml: 2 findings\n"
        "  constraint     /data/age: the answer does not satisfy the form's constraint\n"
        "  constraint     /data/seen: the answer does not satisfy the form's constraint\n"
        "judged 3 submissions: 1 clean, 2 with findings (2 constraint, 1 required)\n")
    assert result.stderr == ""


def test_json_gives_one_object_per_finding_with_the_submission_first(batch):
    result = run("judge", "--format", "json", "form.xml", "export", cwd=batch)
    lines = [json.loads(line) for line in result.stdout.splitlines()]
    expected = tolvar.submission_findings(str(batch / "form.xml"), str(batch / "export/uuid-3/submission.xml"))
    assert lines[1:] == [{"submission": "export/uuid-3/submission.xml", **finding} for finding in expected]
    assert list(lines[0]) == ["submission", "path", "kind", "says"]
    assert result.stderr == "judged 3 submissions: 1 clean, 2 with findings (2 constraint, 1 required)\n"


def test_csv_quotes_what_needs_quoting(batch):
    result = run("judge", "--format", "csv", "form.xml", "export", cwd=batch)
    rows = list(csv.reader(io.StringIO(result.stdout)))
    assert rows[0] == ["submission", "path", "kind", "says"]
    assert rows[1] == ["export/uuid-2/submission.xml", "/data/age", "required", "/data/age: required, and unanswered"]
    assert len(rows) == 4


@pytest.mark.parametrize("options, findings", [
    ((), 2),  # today comes from the submission's end: 2024-05-06
    (("--today", "2030-01-01"), 1),
    (("--now", "2030-01-01T00:00"), 2),  # today is not worked out from a given now
])
def test_today_is_passed_to_the_rules(batch, options, findings):
    result = run("judge", "--format", "csv", *options, "form.xml", "export/uuid-3", cwd=batch)
    assert len(result.stdout.splitlines()) - 1 == findings


@pytest.mark.parametrize("links, arguments, judged", [
    # A link to a submission met again under its own name counts once.
    ({"export/uuid-1/again.xml": "submission.xml"}, ["export"],
     ["export/uuid-1/again.xml", "export/uuid-2/submission.xml", "export/uuid-3/submission.xml"]),
    ({"export/uuid-1/again.xml": "submission.xml"}, ["export/uuid-1/submission.xml", "export"],
     ["export/uuid-1/submission.xml", "export/uuid-2/submission.xml",
      "export/uuid-3/submission.xml"]),
    # A linked folder is not searched, so nothing below it is judged twice.
    ({"export/uuid-4": "uuid-1"}, ["export"],
     ["export/uuid-1/submission.xml", "export/uuid-2/submission.xml",
      "export/uuid-3/submission.xml"]),
    # The folder named through a link is the same folder.
    ({"linked": "export"}, ["linked", "export"],
     ["linked/uuid-1/submission.xml", "linked/uuid-2/submission.xml",
      "linked/uuid-3/submission.xml"]),
])
def test_each_submission_is_judged_once_however_it_is_reached(batch, links, arguments, judged):
    for link, target in links.items():
        (batch / link).symlink_to(target)
    result = run("judge", "form.xml", *arguments, cwd=batch)
    assert [line.split(":")[0] for line in result.stdout.splitlines()
            if not line.startswith(" ")][:-1] == judged


@pytest.mark.parametrize("arguments, judged, refused", [
    # A folder's own submissions come before its subfolders', each in name order.
    (["mixed"], ["mixed/b.xml", "mixed/c.xml", "mixed/a/s.xml", "mixed/d/s.xml"], ""),
    # A folder met again has nothing new to judge.
    (["mixed", "mixed/d"], ["mixed/b.xml", "mixed/c.xml", "mixed/a/s.xml", "mixed/d/s.xml"],
     "tolvar: mixed/d: a directory with no submissions (*.xml) in it\n"),
    (["mixed/d/s.xml", "mixed/d"], ["mixed/d/s.xml"],
     "tolvar: mixed/d: a directory with no submissions (*.xml) in it\n"),
])
def test_a_folders_files_come_before_its_subfolders_and_each_once(batch, arguments, judged, refused):
    for name in ("mixed/c.xml", "mixed/d/s.xml", "mixed/b.xml", "mixed/a/s.xml"):
        (batch / name).parent.mkdir(parents=True, exist_ok=True)
        (batch / name).write_text(submission())
    result = run("judge", "form.xml", *arguments, cwd=batch)
    assert [line.split(":")[0] for line in result.stdout.splitlines()][:-1] == judged
    assert result.stderr == refused


def test_directories_are_searched_recursively_for_submissions_only(batch):
    (batch / "export" / "uuid-1" / "photo.jpg").write_bytes(b"\xff\xd8")
    (batch / "export" / "uuid-1" / "._submission.xml").write_bytes(b"\x00\x05\x16\x07")
    (batch / "export" / ".cache").mkdir()
    (batch / "export" / ".cache" / "old.xml").write_text("not xml")
    (batch / "export" / "form.xml").write_text(FORM)
    # The form beside its submissions is not judged as one of them.
    result = run("judge", "export/form.xml", ".", cwd=batch)
    judged = [line.split(":")[0] for line in result.stdout.splitlines() if not line.startswith(" ")]
    assert judged[:-1] == ["export/uuid-1/submission.xml", "export/uuid-2/submission.xml",
                           "export/uuid-3/submission.xml"]
    # The other form.xml, above the export, is reported for what it is.
    assert result.stderr == ("tolvar: form.xml: not a submission of this form: its root is <html>, "
                             "the form's instance is <data id=\"visit\">\n")


@pytest.mark.parametrize("name, content, message", [
    ("missing.xml", None, "missing.xml: no such file or directory"),
    ("binary.xml", b"\x00\x01\x02\xff", "binary.xml: not UTF-8 text, so not an XML document"),
    ("blank.xml", b"  \n", "blank.xml: is empty"),
    ("text.xml", b"age=30", "text.xml: not an XML document (it does not begin with '<')"),
    ("broken.xml", b"<data><age>", "broken.xml: unclosed elements"),
    ("other.xml", submission(root="household").encode(),
     "other.xml: not a submission of this form: its root is <household id=\"visit\">, "
     "the form's instance is <data id=\"visit\">"),
    ("version.xml", submission(form_id="survey").encode(),
     "version.xml: not a submission of this form: its root is <data id=\"survey\">, "
     "the form's instance is <data id=\"visit\">"),
    ("nothing", "directory", "nothing: a directory with no submissions (*.xml) in it"),
])
def test_bad_submissions_are_one_line_errors_and_the_rest_is_still_judged(batch, name, content, message):
    if content == "directory":
        (batch / name).mkdir()
    elif content is not None:
        (batch / name).write_bytes(content)
    result = run("judge", "form.xml", name, "export/uuid-1", cwd=batch)
    assert result.returncode == 2
    assert result.stderr.startswith(f"tolvar: {message}")
    assert len(result.stderr.splitlines()) == 1
    assert result.stdout.startswith("export/uuid-1/submission.xml: no findings\n")
    assert result.stdout.endswith("; 1 input could not be judged\n")


@pytest.mark.parametrize("report", ["text", "json", "csv", "github"])
def test_jobs_give_the_output_of_one_process_line_for_line(batch, report):
    ages = ["30", "", "130", "x", "45"]
    for number in range(300):
        folder = batch / "many" / f"{number:03}"
        folder.mkdir(parents=True)
        text = submission(age=ages[number % 5]) if number % 7 else "<data><age>"
        if number % 3 == 0:  # no clock, so today() is refused: a cause that folds
            text = text.replace("<end>2024-05-06T10:00</end>", "")
        (folder / "submission.xml").write_text(text)
    serial = run("judge", "form.xml", "many", "--jobs", "1", "--format", report, cwd=batch)
    parallel = run("judge", "form.xml", "many", "--jobs", "2", "--format", report, cwd=batch)
    assert serial.returncode == 2 and serial.stdout.count("\n") > 150
    assert report != "text" or "not-evaluated as before" in serial.stdout
    assert (parallel.returncode, parallel.stdout, parallel.stderr) == (
        serial.returncode, serial.stdout, serial.stderr)


@pytest.mark.parametrize("form, message", [
    ("absent.xml", "absent.xml: no such file or directory"),
    ("export/uuid-1/submission.xml",
     "export/uuid-1/submission.xml: the XForm declares no binds, so it carries no rules"),
    ("bad-rule.xml", "bad-rule.xml: calculate of /data/age: expected a node test, found None — in expression 1 +"),
])
def test_an_unusable_form_is_told_once_and_stops_the_run(batch, form, message):
    (batch / "bad-rule.xml").write_text(FORM.replace('required="true()"', 'calculate="1 +"'))
    result = run("judge", form, "export", cwd=batch)
    assert (result.returncode, result.stdout, result.stderr) == (2, "", f"tolvar: {message}\n")


def test_a_form_without_an_instance_is_judged_without_comparing_identities(batch):
    (batch / "bare.xml").write_text(FORM.replace("<instance><data id=\"visit\"><age/><seen/></data></instance>", ""))
    result = run("judge", "--format", "csv", "bare.xml", "export/uuid-2", cwd=batch)
    assert result.stdout.splitlines()[1:] == ["export/uuid-2/submission.xml,/data/age,required,"
                                              "\"/data/age: required, and unanswered\""]


@pytest.mark.parametrize("media, options, status, output", [
    ("form-media", (), 0, "export/uuid-1/submission.xml: no findings\n"),
    ("lists", ("--media", "lists"), 0, "export/uuid-1/submission.xml: no findings\n"),
    ("lists", (), 1, "export/uuid-1/submission.xml: 1 finding\n  not-evaluated  /data/age: rule could not be "
                     "evaluated — pulldata() cannot find the table 'ages'"),
    (None, ("--media", "nowhere"), 2, "tolvar: form.xml: attachments: 'nowhere' is not a folder\n"),
])
def test_media_come_from_the_folder_beside_the_form_or_the_one_given(batch, media, options, status, output):
    (batch / "form.xml").write_text(FORM.replace(
        "<bind ", "<bind nodeset=\"/data/age\" calculate=\"pulldata('ages', 'age', 'k', 'x')\"/><bind ", 1
    ).replace("</instance>", "</instance><instance id=\"ages\" src=\"jr://file-csv/ages.csv\"/>", 1))
    if media:
        (batch / media).mkdir()
        (batch / media / "ages.csv").write_text("k,age\nx,30\n")
        (batch / media / "extra.xml").write_text(submission())
    result = run("judge", *options, "form.xml", "export/uuid-1", cwd=batch)
    assert result.returncode == status
    assert (result.stdout if status < 2 else result.stderr).startswith(output)
    if status == 0:  # the media folder is never searched for submissions
        assert "extra.xml" not in run("judge", *options, "form.xml", ".", cwd=batch).stdout


def _many(batch, count):
    for number in range(count):
        (batch / "many" / f"{number:03}").mkdir(parents=True)
        (batch / "many" / f"{number:03}" / "submission.xml").write_text(submission())


def test_no_progress_bar_when_standard_error_is_piped(batch):
    _many(batch, 60)
    result = run("judge", "form.xml", "many", cwd=batch)
    assert result.returncode == 0
    assert result.stderr == ""


# The console script with the search kept only 16 submissions ahead of the reports.
SEARCHING_AS_IT_JUDGES = """
import sys, tolvar_cli.judge
from tolvar_cli.__main__ import main
tolvar_cli.judge.SEARCHED_AHEAD = 16
sys.exit(main(sys.argv[1:]))
"""


# 60 are all found before judging begins; 250, found 16 ahead of the reports,
# leave the bar without a total until the search ends.
@pytest.mark.parametrize("columns, count, command", [
    (40, 60, [TOLVAR]), (120, 60, [TOLVAR]), (120, 250, [sys.executable, "-c", SEARCHING_AS_IT_JUDGES])
])
def test_progress_bar_on_a_terminal_for_a_long_batch(batch, columns, count, command):
    _many(batch, count)
    controller, terminal = pty.openpty()
    # On a narrow terminal the bar keeps to its width rather than wrapping.
    fcntl.ioctl(terminal, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))
    with subprocess.Popen([*command, "judge", "--format", "json", "form.xml", "many"], cwd=batch,
                          stdout=subprocess.DEVNULL, stderr=terminal) as process:
        os.close(terminal)
        shown = b""
        while True:
            try:
                chunk = os.read(controller, 4096)
            except OSError:  # the terminal closes when the process exits
                break
            if not chunk:
                break
            shown += chunk
    os.close(controller)
    drawn = shown.decode().split("\r")
    full = rf"\[#+\] {count}/{count} submissions, [\d.]+ submissions/s, 00:00 left"
    done = full if columns > 80 else rf"\[#+\] {count}/{count} subm.*"
    assert any(re.fullmatch(done, line) for line in drawn)
    assert max(len(line) for line in drawn if line.startswith("[")) < columns
    # Cleared before the summary, so nothing of it is left on the line.
    summary = rf"\r *\rjudged {count} submissions: {count} clean, 0 with findings\r\n$"
    assert re.search(summary, "\r".join(drawn))


# The console script's own code, with the loaded form's judge wrapped so that a
# real SIGINT arrives as the last submission's findings are handed over: the
# interrupt lands at a known point.
INTERRUPT_AT_THE_LAST = """
import os, signal, sys, tolvar
from tolvar_cli.__main__ import main
class InterruptedAtTheLast:
    def __init__(self, *args, **kwargs):
        self.form = Form(*args, **kwargs)
    def map_findings(self, submissions, *clock, jobs, **options):
        paths = list(submissions)  # all taken, so that the interrupt lands where it should
        return self._interrupting(paths, self.form.map_findings(paths, *clock, jobs=jobs,
                                                                **options))
    def _interrupting(self, paths, results):
        for path, findings in zip(paths, results):
            if path == sys.argv[-1]:
                os.kill(os.getpid(), signal.SIGINT)
            yield findings
Form, tolvar.Form = tolvar.Form, InterruptedAtTheLast
sys.exit(main(sys.argv[1:]))
"""

def test_interrupt_reports_what_was_judged_and_exits_130(batch):
    # A shell without job control starts background jobs with SIGINT ignored,
    # and the command would inherit that: give it the default back.
    restore_interrupt = lambda: signal.signal(signal.SIGINT, signal.SIG_DFL)  # noqa: E731
    result = subprocess.run(
        [sys.executable, "-c", INTERRUPT_AT_THE_LAST, "judge", "form.xml", "export/uuid-2",
         "export/uuid-1/submission.xml"], cwd=batch, capture_output=True, text=True, timeout=60,
        preexec_fn=restore_interrupt)
    assert result.returncode == 130
    assert result.stdout == ("export/uuid-2/submission.xml: 1 finding\n"
                             "  required       /data/age: required, and unanswered\n"
                             "judged 1 submission: 0 clean, 1 with findings (1 required)\n")
    assert result.stderr == "tolvar: interrupted after 1 of 2 submissions\n"


def test_bundled_example_shows_findings_of_every_kind():
    result = run("judge", "--format", "csv", str(EXAMPLES / "household.xml"), str(EXAMPLES / "submissions"))
    kinds = {row["kind"] for row in csv.DictReader(io.StringIO(result.stdout))}
    assert kinds == {"constraint", "required", "calculation", "not-evaluated"}


@pytest.mark.parametrize("unbuffered", ["", "1"])
def test_reports_and_complaints_keep_their_order_on_one_stream(batch, unbuffered):
    (batch / "export" / "uuid-2" / "submission.xml").write_text("<data>")
    merged = subprocess.run([TOLVAR, "judge", "--format", "csv", "form.xml", "export"], cwd=batch,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                            env={**os.environ, "PYTHONUNBUFFERED": unbuffered})
    header, complaint, *rows, summary = merged.stdout.splitlines()  # uuid-1 has no findings
    assert (header, complaint) == ("submission,path,kind,says",
                                   "tolvar: export/uuid-2/submission.xml: unclosed elements")
    assert rows and all(row.startswith("export/uuid-3/submission.xml,") for row in rows)
    assert summary.startswith("judged 2 submissions")
