"""Runs tolvar on the bundled household form and one submission of it."""
import json
import pathlib

import tolvar

here = pathlib.Path(__file__).parent
form = str(here / "household.xml")
submission = str(here / "household-submission.xml")

print(f"tolvar {tolvar.__version__}\n")

expression = "count(/household/member[member_age >= 18])"
print(f"eval_expression({expression!r}) -> {tolvar.eval_expression(expression, submission)!r}")
print(f"today, worked out from the submission -> {tolvar.eval_expression('today()', submission)!r}\n")

print("check_form: will it mean the same on Collect and in Enketo?")
for finding in tolvar.check_form(form):
    print("  -", finding["says"])

print("\nsubmission_findings: what the form's own rules say about the submission")
for finding in tolvar.submission_findings(form, submission):
    print(f"  - [{finding['kind']}] {finding['says']}")

print("\nSession: filling the form in")
session = tolvar.Session(form, today="2024-05-06")
session.set("/household/name", "Carla")
session.set("/household/age", "16")
session.add_row("/household/member")
session.set("/household/member/member_age", "3")
print(json.dumps(session.recompute(), indent=2, ensure_ascii=False))
print(session.instance_xml())
