#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into one folder per target.

Seeds come from the small hand-written ones under fuzz/seeds/, from the
strings of the C++ and Python tests, and from the real forms and submissions
of the shared corpus (../shared/corpus beside the project, or --corpus).
Nothing here is committed: the output goes under the build folder.

    python3 fuzz/make_seeds.py build/fuzz-seeds [--corpus DIR]
"""

import argparse
import ast
import hashlib
import html
import pathlib
import random
import re

ROOT = pathlib.Path(__file__).resolve().parents[1]
MAX_SEED = 64 * 1024  # larger inputs mostly slow the fuzzer down
RULE_ATTRIBUTE = re.compile(
    rb'\b(?:relevant|calculate|constraint|required|readonly|nodeset)\s*=\s*'
    rb'(?:"([^"]*)"|\'([^\']*)\')')
CPP_STRING = re.compile(r'R"(\w*)\((.*?)\)\1"|"((?:[^"\\\n]|\\.)*)"', re.S)


def python_strings(path):
    tree = ast.parse(path.read_text(encoding="utf-8"))
    for node in ast.walk(tree):
        if isinstance(node, ast.Constant) and isinstance(node.value, str):
            yield node.value


def cpp_strings(path):
    for match in CPP_STRING.finditer(path.read_text(encoding="utf-8")):
        if match.group(2) is not None:
            yield match.group(2)
            continue
        try:
            yield ast.literal_eval('"' + match.group(3) + '"')
        except (SyntaxError, ValueError):
            continue


def test_strings():
    for path in sorted((ROOT / "tests").rglob("*.py")):
        yield from python_strings(path)
    for path in sorted((ROOT / "tests" / "cpp").glob("*.*")):
        yield from cpp_strings(path)


def is_xml(text):
    return text.lstrip().startswith("<")


def rule_texts(form):
    for match in RULE_ATTRIBUTE.finditer(form):
        raw = match.group(1) if match.group(1) is not None else match.group(2)
        yield html.unescape(raw.decode("utf-8", "replace")).encode("utf-8")


class Seeds:
    def __init__(self, out):
        self.out = out
        self.counts = {}

    def add(self, target, data):
        if isinstance(data, str):
            data = data.encode("utf-8", "surrogatepass")
        if not data or len(data) > MAX_SEED:
            return
        folder = self.out / target
        folder.mkdir(parents=True, exist_ok=True)
        path = folder / hashlib.sha1(data).hexdigest()
        if not path.exists():
            path.write_bytes(data)
            self.counts[target] = self.counts.get(target, 0) + 1


def add_hand_written(seeds):
    for folder in sorted((ROOT / "fuzz" / "seeds").iterdir()):
        for path in sorted(folder.iterdir()):
            seeds.add(folder.name, path.read_bytes())


def add_test_strings(seeds):
    for text in test_strings():
        if is_xml(text):
            for target in ("xml", "checker", "judge"):
                seeds.add(target, text)
        elif len(text) < 300:
            seeds.add("expression", text)
            seeds.add("evaluate", text)


def submissions_of(corpus, form_path):
    folder = corpus / "submissions" / form_path.stem
    return sorted(folder.glob("*.xml")) if folder.is_dir() else []


def add_corpus(seeds, corpus):
    for form_path in sorted((corpus / "forms").glob("*.xml")):
        form = form_path.read_bytes()
        for target in ("xml", "checker", "judge"):
            seeds.add(target, form)
        for rule in rule_texts(form):
            seeds.add("expression", rule)
            seeds.add("evaluate", rule)
        for submission in submissions_of(corpus, form_path):
            seeds.add("xml", submission.read_bytes())
            seeds.add("judge", form + b"\0" + submission.read_bytes())


def add_session_bytes(seeds):
    # The session harness reads its choices from raw bytes; a spread of
    # random inputs of several lengths starts it on many edit sequences.
    generator = random.Random(8)
    for length in (16, 64, 256, 1024) * 8:
        seeds.add("session", bytes(generator.randrange(256) for _ in range(length)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out", type=pathlib.Path)
    parser.add_argument("--corpus", type=pathlib.Path, default=ROOT.parent / "shared" / "corpus")
    args = parser.parse_args()
    seeds = Seeds(args.out)
    add_hand_written(seeds)
    add_test_strings(seeds)
    add_session_bytes(seeds)
    if (args.corpus / "forms").is_dir():
        add_corpus(seeds, args.corpus)
    else:
        print(f"no corpus at {args.corpus}; seeding from the tests only")
    for target, count in sorted(seeds.counts.items()):
        print(f"{target}: {count} new seeds")


if __name__ == "__main__":
    main()
