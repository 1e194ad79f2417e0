"""A unit's class queries: one kind at a time, a control's description and
every control the unit declares."""
import json

import pytest

import norvik

QUERY_GUID = "{11111111-2222-3333-4444-555555555555}"

# The descriptor declares 1, 3, 4 and 6 (bmControls 2D): 1 keeps the default
# answers, 3 gives its own and refuses RES, 4 fails every request and 6 is
# not among the controls at all.
QUERY_SCENARIO = {
    "cameras": [{
        "displayName": "@device:pnp:\\\\?\\usb#vid_1234&pid_5678&mi_00#1&2&0&0000"
                       "#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
        "friendlyName": "Query Camera",
        "nodes": [{"type": "other"}, {"type": "xu", "guid": QUERY_GUID}],
        "controls": {QUERY_GUID: {
            "1": {"length": 2, "value": "01 02"},
            "3": {"length": 1, "value": "05", "info": 13, "min": "01", "max": "0A",
                  "queryFail": {"res": "0x80070032"}},
            "4": {"length": 2, "fail": "0x8007001F"},
        }},
    }],
    "usb": {"controllers": [{"index": 0, "rootHub": "ROOT", "hub": {"ports": 1, "children": {"1": {
        "idVendor": "0x1234", "idProduct": "0x5678",
        "config": {"extensionUnits": [{"unitId": 7, "guid": QUERY_GUID,
                                       "controlSize": 1, "bmControls": "2D"}]}}}}}]},
}

NOT_SUPPORTED = "0x80070032: The request is not supported."
NOT_FUNCTIONING = "0x8007001f: A device attached to the system is not functioning."
NOT_FOUND = "0x80070490: Element not found."


@pytest.fixture
def query_unit(tmp_path):
    path = tmp_path / "query.json"
    path.write_text(json.dumps(QUERY_SCENARIO), encoding="utf-8")
    with norvik.Machine(sim=path) as machine:
        with machine.open(QUERY_GUID) as unit:
            yield unit


def test_every_kind_answers_what_the_demo_declares(demo):
    with demo.open(device=0, unit=0) as unit:
        assert unit.query(2, "info") == b"\x03"
        assert unit.query(2, "min") == bytes.fromhex("00 00 01 00 00 00 00 00")
        assert unit.query(2, "max") == bytes.fromhex("7F 00 01 00 FF FF FF FF")
        assert unit.query(2, "res") == bytes.fromhex("01 00 00 00 01 00 00 00")
        assert unit.query(2, "def") == bytes.fromhex("40 00 01 00 00 00 00 00")
        # Only the low 8 bits of cs count, as for get and set.
        assert unit.query(258, "max") == unit.query(2, "max")
        # Queries are no transfers.
        assert unit.log == []


def test_query_refusals(query_unit):
    with pytest.raises(ValueError, match='unknown query kind "cur"'):
        query_unit.query(3, "cur")
    with pytest.raises(norvik.Error) as refused:
        query_unit.query(3, "res")
    assert refused.value.failure == norvik.Failure.Request
    assert refused.value.hresult & 0xFFFFFFFF == 0x80070032
    assert refused.value.text == NOT_SUPPORTED
    # Without a length the value kinds fail with the length probe's code.
    with pytest.raises(norvik.Error) as absent:
        query_unit.query(6, "min")
    assert absent.value.text == NOT_FOUND
    with pytest.raises(norvik.Error) as zero:
        query_unit.query(256, "info")
    assert zero.value.failure == norvik.Failure.ZeroSelector
    query_unit.close()
    with pytest.raises(ValueError, match="closed"):
        query_unit.query(3, "min")


def test_describe_fills_defaults_and_names_what_is_not_available(demo, query_unit):
    with demo.open(device=0, unit=0) as unit:
        firmware = unit.describe(1)
    assert firmware["length"] == 16
    assert firmware["info"] == 1
    assert firmware["caps"] == ["get"]
    assert firmware["cur"] == b"KST 2.4.17-b5120"
    assert firmware["min"] == bytes(16)
    assert firmware["max"] == b"\xff" * 16
    assert firmware["res"] == b"\x01" + bytes(15)
    assert firmware["def"] == firmware["cur"]
    assert firmware["failures"] == {}

    refused = query_unit.describe(3)
    assert refused["selector"] == 3
    assert refused["caps"] == ["get", "auto-disabled", "autoupdate"]
    assert (refused["min"], refused["max"], refused["res"]) == (b"\x01", b"\x0a", None)
    assert refused["failures"] == {"res": NOT_SUPPORTED}

    failing = query_unit.describe(4)
    assert failing["length"] is None and failing["info"] is None and failing["caps"] == []
    assert failing["failures"] == {kind: NOT_FUNCTIONING
                                   for kind in ("len", "info", "cur", "min", "max", "res", "def")}


def test_controls_follow_the_declared_bits_with_their_gaps(query_unit, demo):
    controls = query_unit.controls()
    assert [c["selector"] for c in controls] == [1, 3, 4, 6]
    assert controls[0]["cur"] == b"\x01\x02" and controls[0]["caps"] == ["get", "set"]
    assert controls[1] == query_unit.describe(3)
    assert controls[3]["failures"]["cur"] == NOT_FOUND
    with demo.open(device=0, unit=0) as unit:
        assert [c["selector"] for c in unit.controls()] == [1, 2, 3]
