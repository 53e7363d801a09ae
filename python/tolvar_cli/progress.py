"""A progress bar for long batches, on standard error and only on a terminal."""
from __future__ import annotations

from tolvar_cli import TYPE_CHECKING

if TYPE_CHECKING:
    from typing import Any, TextIO

    from tolvar_cli.block_output import Writer
    from tqdm import tqdm

# Short batches finish before a bar would help; redrawing more often than
# this only costs time.
MIN_ITEMS = 50
_REDRAW_SECONDS = 0.1
# The bar takes what the terminal's width leaves, read again at each redraw.
_LAYOUT = "[{bar}] {n_fmt}/{total_fmt}{unit}, {rate_fmt}, {remaining} left"


class Progress:
    """Counts finished items and keeps a one-line bar up to date.

    It draws nothing unless `stream` is a terminal and the batch is long, so
    piped or redirected output never carries it. `above` is the stream whose
    lines may share the terminal with the bar: it is flushed before each
    redraw, and `make_room` clears the bar before a line is written to it.
    """

    def __init__(self, total: int | None, noun: str, stream: TextIO, above: Writer) -> None:
        """`total` is None for a batch too long to have been counted yet: see count_known."""
        enabled = (total is None or total >= MIN_ITEMS) and stream.isatty()
        self._above = above
        self._shares_terminal = enabled and above.isatty()
        # tqdm takes longer to import than a small batch takes to judge, so
        # it is imported only when there is a bar to draw.
        self._bar = _bar(total, noun, stream) if enabled else None

    def advance(self) -> None:
        if self._bar is None:
            return
        self._above.flush()
        self._bar.update(1)
        if self._bar.n == self._bar.total:
            self._bar.refresh()  # the last count, whenever the previous redraw was

    def count_known(self, total: int) -> None:
        """Gives the bar its total once the items have all been found."""
        if self._bar is not None:
            self._bar.total = total
            self._bar.refresh()

    def make_room(self) -> None:
        """Clears the bar when a line of output is about to be written over it."""
        if self._shares_terminal:
            self.clear()

    def clear(self) -> None:
        """Takes the bar off the terminal until the next item is counted."""
        if self._bar is not None:
            self._bar.clear()

    def close(self) -> None:
        """Takes the bar off the terminal for good."""
        if self._bar is not None:
            self._bar.close()


def _bar(total: int | None, noun: str, stream: TextIO) -> tqdm[Any]:
    from tqdm import tqdm

    return tqdm(total=total, unit=f" {noun}", file=stream, leave=False, dynamic_ncols=True,
                mininterval=_REDRAW_SECONDS, ascii="-#", bar_format=_LAYOUT)
