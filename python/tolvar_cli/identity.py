"""Whether a submission belongs to a form, by its root element and form id.

The judge cannot tell: a submission of another form matches none of the
form's binds and so comes back clean. Comparing identities first turns that
silent pass into an error.
"""
from __future__ import annotations

import dataclasses

import tolvar

# Evaluated by the engine itself, so names are read exactly as it reads
# them (namespace prefixes dropped). Element names hold no spaces. The
# primary instance is the form's first <instance>, as a Session takes it.
_PRIMARY_ROOT = "(//instance)[1]/*[1]"
_FORM_ROOT_AND_ID = f"concat(name({_PRIMARY_ROOT}), ' ', {_PRIMARY_ROOT}/@id)"
_ROOT_AND_ID = "concat(name(/), ' ', /@id)"


@dataclasses.dataclass(frozen=True)
class Identity:
    root: str
    form_id: str

    def __str__(self) -> str:
        return f'<{self.root} id="{self.form_id}">' if self.form_id else f"<{self.root}>"

    def accepts(self, submission: Identity) -> bool:
        """Same root, and the same id unless one of the two has none."""
        if submission.root != self.root:
            return False
        return not (self.form_id and submission.form_id) or submission.form_id == self.form_id


def of_form(form: str) -> Identity | None:
    """The identity of the form's primary instance, or None when it has none to compare.

    RuntimeError when the form's XML is malformed.
    """
    root, _, form_id = tolvar.eval_expression(_FORM_ROOT_AND_ID, form).partition(" ")
    return Identity(root, form_id) if root else None


def of_instance(xml: str) -> Identity:
    """RuntimeError when the XML is malformed."""
    root, _, form_id = tolvar.eval_expression(_ROOT_AND_ID, xml).partition(" ")
    return Identity(root, form_id)
