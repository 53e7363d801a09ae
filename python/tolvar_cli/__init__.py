"""The `tolvar` command: portability checks, judging and evaluation from the shell.

Everything here is built on the extension module `tolvar`; run `tolvar --help`.
"""

# True to type checkers, which read the name as the typing module's own, and
# false at run time: importing typing costs a short run more than the rest of
# the command's own modules, and the command needs nothing from it but names
# for annotations.
TYPE_CHECKING = False
