#!/usr/bin/env python3
"""Times the engine on pathological but legal input and prints the figures.

Each case must finish in bounded time or be refused with a clear message;
this script records how long each takes (it asserts nothing about time):

    .venv/bin/python fuzz/pathological.py [--quick]
"""

import argparse
import math
import subprocess
import sys
import time

import tolvar

FORM_HEAD = "<h:html xmlns:h='h'><h:head><model><instance>"
FORM_TAIL = "</model></h:head><h:body/></h:html>"


def flat_instance(rows):
    row = "<r><a>1</a><b>two</b><c>3.5</c></r>"
    return "<data>" + row * rows + "</data>"


def deep_instance(depth):
    return "<data>" + "<g>" * depth + "x" + "</g>" * depth + "</data>"


def geo_value(points):
    coordinates = []
    for i in range(points):
        angle = 2 * math.pi * i / points
        coordinates.append(f"{10 + math.sin(angle):.6f} {20 + math.cos(angle):.6f} 0 0")
    return ";".join(coordinates + coordinates[:1])


def many_binds_fields(count, wrong=-1):
    return "".join(f"<q{i}>{-i if i == wrong else i}</q{i}>" for i in range(count))


def many_binds_form(count):
    fields = many_binds_fields(count)
    binds = "".join(
        f"<bind nodeset='/data/q{i}' type='int' constraint='. &gt;= 0'"
        f" relevant='/data/q{max(i - 1, 0)} != 5' calculate='{i} + 0'/>"
        for i in range(count))
    return FORM_HEAD + "<data>" + fields + "</data></instance>" + binds + FORM_TAIL


def timed(label, call):
    start = time.perf_counter()
    try:
        result = call()
        outcome = repr(result)[:60] if not isinstance(result, list) else f"{len(result)} items"
    except (RuntimeError, ValueError, MemoryError) as error:
        outcome = f"{type(error).__name__}: {str(error)[:80]}"
    print(f"{time.perf_counter() - start:9.3f}s  {label:55}  {outcome}", flush=True)


def descendant_chains(scale):
    flat = flat_instance(25_000 * scale)
    deep = deep_instance(2_000 * scale)
    for steps in (1, 2, 3, 5, 8):
        expression = "count(" + "//*" * steps + ")"
        timed(f"{expression} over {25_000 * scale} rows", lambda: tolvar.eval_expression(expression, flat))
        timed(f"{expression} over a {2_000 * scale}-deep chain", lambda: tolvar.eval_expression(expression, deep))
    for expression in ("count(//*/ancestor::*)", "count(//g/following::*)"):
        timed(f"{expression} over a {2_000 * scale}-deep chain", lambda: tolvar.eval_expression(expression, deep))
    rows = flat_instance(500 * scale)
    for expression in ("count(//*/following-sibling::*)", "count(//r[a = //r[last()]/a])",
                       "count(//r[count(//r[count(//a) > 0]) > 0])"):
        timed(f"{expression} over {500 * scale} rows", lambda: tolvar.eval_expression(expression, rows))


def geo(points):
    shape = geo_value(points)
    submission = f"<data><shape>{shape}</shape></data>"
    timed(f"area() of {points} points", lambda: tolvar.eval_expression("area(/data/shape)", submission))
    timed(f"distance() of {points} points", lambda: tolvar.eval_expression("distance(/data/shape)", submission))
    form = (FORM_HEAD + "<data><shape/></data></instance>"
            "<bind nodeset='/data/shape' type='geoshape' constraint='area(.) &gt; 0'/>" + FORM_TAIL)
    timed(f"submission_findings with a {points}-point shape", lambda: tolvar.submission_findings(form, submission))


def big_submission(megabytes):
    row = "<r><q>1</q><s>some text here</s></r>"
    submission = "<data>" + row * (megabytes * 1_000_000 // len(row)) + "</data>"
    form = (FORM_HEAD + "<data><r><q/><s/></r></data></instance>"
            "<bind nodeset='/data/r/q' type='int' constraint='. &gt; 0' required='true()'/>"
            "<bind nodeset='/data/r/s' relevant='../q = 1'/>" + FORM_TAIL)
    timed(f"eval_expression count() on {megabytes} MB", lambda: tolvar.eval_expression("count(/data/r)", submission))
    timed(f"submission_findings on {megabytes} MB", lambda: tolvar.submission_findings(form, submission))


def many_binds(count):
    form = many_binds_form(count)
    timed(f"check_form with {count} binds", lambda: tolvar.check_form(form))
    submission = "<data>" + many_binds_fields(count, wrong=count // 2) + "</data>"
    timed(f"submission_findings with {count} binds", lambda: tolvar.submission_findings(form, submission))
    session = tolvar.Session(form)
    timed(f"Session.recompute with {count} binds", lambda: len(session.recompute()["calculated"]))


def many_attributes(counts):
    for count in counts:
        attributes = " ".join(f'x{i}="{i}"' for i in range(count))
        element = f"<data {attributes}/>"
        timed(f"count(/data/@*) over {count} attributes", lambda: tolvar.eval_expression("count(/data/@*)", element))
        form = (FORM_HEAD + f"<data><a/></data></instance><bind nodeset='/data/a' {attributes}/>" + FORM_TAIL)
        timed(f"check_form with a {count}-attribute bind", lambda: tolvar.check_form(form))


def long_translate(length, from_length):
    text = "abcdefghij" * (length // 10)
    source = "aj" + "".join(chr(0x4E00 + i) for i in range(from_length))
    submission = f"<data><t>{text}</t><f>{source}</f></data>"
    expression = "string-length(translate(/data/t, /data/f, 'xy'))"
    timed(f"translate() of {length} characters from {from_length + 2}",
          lambda: tolvar.eval_expression(expression, submission))


def long_chains(operands):
    submission = "<data><a>1</a><b/><c/></data>"
    for joiner in (" or ", " and ", " + ", " | ", " = "):
        rule = joiner.join(["/data/a"] * operands)
        timed(f"eval_expression of a {operands}-operand '{joiner.strip()}' chain",
              lambda: tolvar.eval_expression(f"count({rule})" if joiner == " | " else rule, submission))
        form = (FORM_HEAD + "<data><a/><b/><c/></data></instance>"
                f"<bind nodeset='/data/b' calculate='{rule}'/>"
                f"<bind nodeset='/data/c' relevant='{rule}' constraint='{rule}'/>" + FORM_TAIL)
        timed(f"check_form with {operands}-operand '{joiner.strip()}' chains", lambda: tolvar.check_form(form))
        timed(f"submission_findings with {operands}-operand '{joiner.strip()}' chains",
              lambda: tolvar.submission_findings(form, submission))
        session = tolvar.Session(form, submission)
        timed(f"Session.recompute with {operands}-operand '{joiner.strip()}' chains",
              lambda: len(session.recompute()["calculated"]))


# check_form of a form whose primary instance nests `depth` deep, in a fresh
# interpreter: prints the peak resident memory the call added, in KiB.
_DEEP_FORM_PEAK = """
import sys, tolvar

def status_kib(field):
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])

depth = int(sys.argv[1])
form = ("<h:html xmlns:h='h'><h:head><model><instance><data>" + "<g>" * depth + "<q/>" +
        "</g>" * depth + "</data></instance><bind nodeset='/data/q' relevant='/data/x = 1'/>"
        "</model></h:head><h:body/></h:html>")
before = status_kib("VmRSS")
tolvar.check_form(form)
print(status_kib("VmHWM") - before)
"""


def deep_form_memory(depths):
    """Peak memory per level of nesting against the shallowest depth's: about
    1 when check_form's memory grows linearly with depth, the depth ratio when
    it grows with its square."""
    per_level = {}
    for depth in depths:
        completed = subprocess.run([sys.executable, "-c", _DEEP_FORM_PEAK, str(depth)],
                                   check=True, capture_output=True, text=True)
        kib = int(completed.stdout)
        per_level[depth] = max(kib, 1) / depth
        ratio = per_level[depth] / per_level[depths[0]]
        print(f"{kib / 1024:9.1f} MiB  check_form over an instance {depth} levels deep"
              f"{'':12}  {ratio:.2f}x the memory per level at {depths[0]}", flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="a tenth of the sizes")
    args = parser.parse_args()
    scale = 1 if args.quick else 4
    descendant_chains(scale)
    geo(1_000 if args.quick else 10_000)
    big_submission(10 if args.quick else 100)
    many_binds(2_000 if args.quick else 20_000)
    many_attributes((100_000, 200_000) if args.quick else (100_000, 200_000, 1_000_000))
    long_translate(1_000_000, 2_000 if args.quick else 20_000)
    long_chains(100_000 if args.quick else 1_000_000)
    deep_form_memory((10_000, 20_000, 40_000))


if __name__ == "__main__":
    main()
