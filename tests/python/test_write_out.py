"""The command's writes to standard output: an interrupt leaves nothing half-accounted."""
import os
import signal

import pytest

import tolvar


def test_an_interrupted_write_keeps_exactly_what_was_not_written():
    reader, writer = os.pipe()
    data = bytes(range(256)) * 1024  # four times what the pipe holds; nobody reads it yet
    buffer = bytearray(data)

    def interrupt(signum, frame):
        raise KeyboardInterrupt

    previous = signal.signal(signal.SIGALRM, interrupt)
    signal.setitimer(signal.ITIMER_REAL, 0.2)  # while the write waits on the full pipe
    try:
        with pytest.raises(KeyboardInterrupt):
            tolvar._write_out(writer, buffer)
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, previous)
    os.close(writer)
    written = b""
    while chunk := os.read(reader, 1 << 16):
        written += chunk
    os.close(reader)
    assert 0 < len(written) < len(data)
    assert written + buffer == data


def test_a_closed_reader_is_a_broken_pipe():
    reader, writer = os.pipe()
    os.close(reader)
    previous = signal.signal(signal.SIGPIPE, signal.SIG_IGN)
    try:
        with pytest.raises(BrokenPipeError):
            tolvar._write_out(writer, bytearray(b"report\n"))
    finally:
        signal.signal(signal.SIGPIPE, previous)
        os.close(writer)
