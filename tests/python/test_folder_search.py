import os
import resource

import pytest

import tolvar
from tolvar_cli.paths import _identity, search


def python_search(top, suffixes, skip):
    """The search as Python once made it: os.scandir, sorted() and str.lower()."""
    found, seen = [], set()

    def is_folder(entry):
        try:
            return entry.is_dir()
        except OSError:  # a link that leads round in a loop
            return False

    def walk(prefix, real):
        entries = [entry for entry in os.scandir(prefix or ".") if not entry.name.startswith(".")]
        files = sorted(entry.name for entry in entries
                       if not is_folder(entry) and entry.name.lower().endswith(suffixes))
        for file in files:
            key = _identity(prefix + file) if os.path.islink(prefix + file) else real + file
            if key not in seen:
                seen.add(key)
                found.append(prefix + file)
        for folder in sorted(entry.name for entry in entries if entry.is_dir(follow_symlinks=False)):
            if real + folder not in skip:
                walk(prefix + folder + os.sep, real + folder + os.sep)

    walk("" if top == "." else top + os.sep, os.path.realpath(top) + os.sep)
    return found


def make_tree(top):
    for name in ["a.xml", "B.XML", "c.xmlx", ".hidden.xml", ".git/d.xml", "sub/e.xml",
                 "sub/deep/f.Xml", "Sub/g.xml", "skip/h.xml", "a\ue000.xml", "x.xm\u212a",
                 "y.\u0130", "\u0130.xml", "e\u0301.xml", "\u00e9.xml", "\u00e9.xml.xml", "z/ z.xml"]:
        (top / name).parent.mkdir(parents=True, exist_ok=True)
        (top / name).write_text("<a/>")
    for name in [b"a\xff.xml", b"a\xc3.xml", b"\xed\xa0\x80.xml"]:  # not UTF-8
        (top / os.fsdecode(name)).write_text("<a/>")
    (top / "to-file.xml").symlink_to("a.xml")
    (top / "sub" / "back.xml").symlink_to("../B.XML")
    (top / "to-folder").symlink_to("sub")
    (top / "nowhere.xml").symlink_to("missing.xml")
    (top / "loop.xml").symlink_to("loop.xml")
    os.mkfifo(top / "pipe.xml")
    for i in range(300):  # more folders, and files, than the engine hands back at once
        (top / "many" / f"{i:03}").mkdir(parents=True)
    for i in range(100):
        (top / "many" / "150" / f"{i}.xml").write_text("<a/>")


@pytest.mark.parametrize("suffixes", [(".xml",), (".xml", ".xlsx", ".xls"), (".xmk", ".i"), ("",)])
@pytest.mark.parametrize("relative", [False, True])
def test_the_search_finds_what_python_found(tmp_path, monkeypatch, suffixes, relative):
    top = tmp_path / "export"
    top.mkdir()
    make_tree(top)
    if relative:
        monkeypatch.chdir(top)
    argument = "." if relative else str(top)
    expected = python_search(argument, suffixes, {os.path.realpath(top / "skip")})
    assert list(search([argument], suffixes, "x", skip=[top / "skip"])) == expected


@pytest.mark.parametrize("spare_descriptors", [1, 4, 1000])
def test_a_deep_tree_is_searched_whole_with_few_descriptors_to_spare(tmp_path, spare_descriptors):
    top = tmp_path / "export"
    for depth in range(1, 30):  # every level has a file, a leaf beside the path, and a branch
        folder = top.joinpath(*["a"] * depth)
        for name in ["f.xml", "b/f.xml", "c/d/f.xml", "c/e/f.xml"]:
            (folder / name).parent.mkdir(parents=True, exist_ok=True)
            (folder / name).write_text("<a/>")
    expected = python_search(str(top), (".xml",), set())
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    in_use = len(os.listdir("/proc/self/fd"))
    resource.setrlimit(resource.RLIMIT_NOFILE, (in_use + spare_descriptors, hard))
    try:
        found = list(search([str(top)], (".xml",), "x"))
    finally:
        resource.setrlimit(resource.RLIMIT_NOFILE, (soft, hard))
    assert found == expected


def test_a_prefix_with_a_null_byte_is_refused(tmp_path):
    with pytest.raises(ValueError):  # the system would list tmp_path itself
        tolvar._walk_folder(str(tmp_path) + "\0sub/", str(tmp_path) + "/", (".xml",), [])
