import os

import pytest

import tolvar


def scandir_listing(folder):
    """What the command's search took from os.scandir, in the same shape."""
    files, links, folders = [], [], []
    for entry in os.scandir(folder):
        if entry.name.startswith("."):
            continue
        try:
            is_dir = entry.is_dir()
        except OSError:
            is_dir = False
        if is_dir:
            if not entry.is_symlink():
                folders.append(entry.name)
            continue
        files.append(entry.name)
        if entry.is_symlink():
            links.append(entry.name)
    return sorted(files), sorted(links), sorted(folders)


def test_a_folder_is_listed_as_os_scandir_lists_it(tmp_path):
    (tmp_path / "a.xml").write_text("<a/>")
    (tmp_path / ".hidden.xml").write_text("<a/>")
    (tmp_path / ".git").mkdir()
    (tmp_path / "sub").mkdir()
    (tmp_path / "to-file.xml").symlink_to("a.xml")
    (tmp_path / "to-folder").symlink_to("sub")
    (tmp_path / "nowhere.xml").symlink_to("missing.xml")
    (tmp_path / "loop.xml").symlink_to("loop.xml")
    os.mkfifo(tmp_path / "pipe.xml")
    (tmp_path / os.fsdecode(b"caf\xe9.xml")).write_text("<a/>")  # not UTF-8
    listed = tuple(sorted(names) for names in tolvar._list_folder(str(tmp_path)))
    assert listed == scandir_listing(tmp_path)
    assert tolvar._list_folder(str(tmp_path / "missing")) == ([], [], [])
    with pytest.raises(ValueError):  # the system would list tmp_path itself
        tolvar._list_folder(str(tmp_path) + "\0sub")
