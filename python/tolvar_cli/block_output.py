"""Standard output written in blocks, however Python buffers it."""
from __future__ import annotations

import io

import tolvar

from tolvar_cli import TYPE_CHECKING

if TYPE_CHECKING:
    from typing import Protocol, TextIO

    class Writer(Protocol):
        """What a report writes to: a text stream, or a BlockOutput over one."""

        def write(self, text: str, /) -> int: ...
        def flush(self) -> None: ...
        def isatty(self) -> bool: ...


class BlockOutput(io.TextIOBase):
    """Gathers what a batch writes and passes it on a block at a time.

    A batch writes a short report per submission. Under PYTHONUNBUFFERED (which
    container images often set) every write is a system call, and thousands of
    them cost more than the judging. A terminal still gets each write at once.
    Whoever writes to another stream in between flushes first, so the two keep
    their order where they meet.
    """

    BLOCK = 1 << 16

    def __init__(self, stream: TextIO) -> None:
        super().__init__()
        self._stream = stream
        self._pending: list[str] = []
        self._size = 0
        self._at_once = stream.isatty()
        # A block is encoded as the stream would encode it and written to its
        # file by the engine, which keeps what Ctrl-C leaves unwritten: the
        # stream's own write loses the rest of a block a signal cuts short.
        self._file = None if self._at_once else _file_number(stream)
        self._unwritten = bytearray()

    def write(self, text: str) -> int:
        self._pending.append(text)
        self._size += len(text)
        if self._at_once or self._size >= self.BLOCK:
            self.flush()
        return len(text)

    def flush(self) -> None:
        if self._pending:
            text = "".join(self._pending)
            self._pending.clear()
            self._size = 0
            if self._file is None:
                self._stream.write(text)
            else:
                self._unwritten += text.encode(self._stream.encoding, self._stream.errors or "strict")
        self._stream.flush()  # what was written to the stream itself comes first
        if self._unwritten:
            assert self._file is not None
            tolvar._write_out(self._file, self._unwritten)

    def isatty(self) -> bool:
        return self._at_once


def _file_number(stream: TextIO) -> int | None:
    """The stream's file descriptor, if it writes to one."""
    try:
        return stream.fileno()
    except (AttributeError, OSError, io.UnsupportedOperation):
        return None
