"""The harness itself, against a stand-in driver: replies come back in
order, and a driver that goes wrong is reported as the driver's failure."""

from __future__ import annotations

import sys

import pytest

from harness import Engine, EngineFailure, FormRun

# Echoes each request's "say" field, or misbehaves as the request asks.
STAND_IN = r"""
import json, sys, time
for line in sys.stdin:
    request = json.loads(line)
    act = request.get("act")
    if act == "die":
        sys.stderr.write("driver: out of memory\n")
        sys.exit(3)
    if act == "stall":
        time.sleep(30)
    if act == "garbage":
        print("Exception in thread main", flush=True)
        continue
    if act == "list":
        print("[1, 2]", flush=True)
        continue
    print(json.dumps(request.get("reply", {"value": request.get("say")})), flush=True)
"""


@pytest.fixture
def stand_in():
    engine = Engine("Stand-in", [sys.executable, "-c", STAND_IN], timeout=2)
    yield engine
    engine.close()


def test_replies_come_back_in_order(stand_in):
    assert [stand_in.request({"say": word})["value"] for word in ("a", "b", "c")] == ["a", "b", "c"]


@pytest.mark.parametrize("act, message", [
    ("die", "Stand-in driver exited with status 3; it wrote:\ndriver: out of memory"),
    ("stall", "Stand-in driver gave no reply within 2 s"),
    ("garbage", "Stand-in driver replied with something that is not JSON: b'Exception in thread main'"),
    ("list", "Stand-in driver replied with list, not an object"),
])
def test_a_broken_driver_is_reported_as_such(stand_in, act, message):
    with pytest.raises(EngineFailure) as failure:
        stand_in.request({"act": act})
    assert str(failure.value) == message


def test_a_form_reply_without_opens_is_a_driver_failure(stand_in):
    with pytest.raises(EngineFailure, match="^Stand-in driver could not run the form"):
        stand_in.run_form("<h:html/>")


@pytest.mark.parametrize("run, what, seen", [
    (FormRun(False, "XFormParseException: bad", {}), "value", "does not open"),
    (FormRun(True, "XPathException: repeated", {"/d/x": {"value": "1"}}), "value",
     "fails: XPathException: repeated"),
    (FormRun(True, None, {"/d/x": {"valid": False, "error": "Invalid group"}}), "valid",
     "fails: Invalid group"),
    (FormRun(True, None, {"/d/x": {"relevant": False}}), "relevant", "false"),
    (FormRun(True, None, {"/d/x": {"value": ""}}), "value", ""),
    (FormRun(True, None, {}), "value", "no such node"),
])
def test_observations(run, what, seen):
    assert run.observe("/d/x", what) == seen
