"""A progress bar for long batches, on standard error and only on a terminal."""
from __future__ import annotations

import time
from typing import TextIO

# Short batches finish before a bar would help; redrawing more often than
# this only costs time.
MIN_ITEMS = 50
_REDRAW_SECONDS = 0.1
_WIDTH = 30


class Progress:
    """Counts finished items and keeps a one-line bar up to date.

    It draws nothing unless `stream` is a terminal and the batch is long, so
    piped or redirected output never carries it. `above` is the stream whose
    lines may share the terminal with the bar: it is flushed before each
    redraw, and `make_room` clears the bar before a line is written to it.
    """

    def __init__(self, total: int, noun: str, stream: TextIO, above: TextIO) -> None:
        self._total = total
        self._noun = noun
        self._stream = stream
        self._above = above
        self._enabled = total >= MIN_ITEMS and stream.isatty()
        self._shares_terminal = self._enabled and above.isatty()
        self._done = 0
        self._shown = False
        self._drawn_at = 0.0

    def advance(self) -> None:
        self._done += 1
        if not self._enabled:
            return
        now = time.monotonic()
        if not self._shown or now - self._drawn_at >= _REDRAW_SECONDS or self._done == self._total:
            self._draw(now)

    def make_room(self) -> None:
        """Clears the bar when a line of output is about to be written over it."""
        if self._shares_terminal:
            self.clear()

    def clear(self) -> None:
        """Takes the bar off the terminal until the next item is counted."""
        if self._shown:
            self._stream.write("\r\x1b[K")
            self._stream.flush()
            self._shown = False

    def _draw(self, now: float) -> None:
        self._above.flush()
        filled = _WIDTH * self._done // self._total
        bar = "#" * filled + "-" * (_WIDTH - filled)
        self._stream.write(f"\r[{bar}] {self._done}/{self._total} {self._noun}")
        self._stream.flush()
        self._shown = True
        self._drawn_at = now
