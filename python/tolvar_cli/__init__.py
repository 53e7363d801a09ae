"""The `tolvar` command: portability checks, judging and evaluation from the shell.

Everything here is built on the extension module `tolvar`; run `tolvar --help`.
"""
