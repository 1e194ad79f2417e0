"""Fixtures of the norvik module's tests: the demo machine and a bench
scenario with controls that fail, refuse and hang."""
import json

import pytest

import norvik

BENCH_GUID = "{11111111-2222-3333-4444-555555555555}"
OTHER_GUID = "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}"

# One camera with two units: unit 0 has a text control (1), a control whose
# SETs fail (2), one whose GETs fail (3) and one that answers after 600 ms,
# beyond the 500 ms a request waits (4).
BENCH_SCENARIO = {
    "cameras": [{
        "displayName": "@device:pnp:\\\\?\\usb#vid_1234&pid_5678&mi_00#1&2&0&0000"
                       "#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
        "friendlyName": "Bench Camera",
        "nodes": [{"type": "other"},
                  {"type": "xu", "guid": BENCH_GUID},
                  {"type": "xu", "guid": OTHER_GUID}],
        "controls": {
            BENCH_GUID: {
                "1": {"length": 6, "text": "v1.0"},
                "2": {"length": 2, "value": "00 00", "setFail": "0x8007001F"},
                "3": {"length": 2, "value": "01 02", "getFail": "0x8007001F"},
                "4": {"length": 2, "value": "00 00", "delayMs": 600},
            },
            OTHER_GUID: {
                "1": {"length": 3, "text": "xyz"},
                "2": {"length": 4, "value": "41 0D 0A 42"},
            },
        },
    }],
    "usb": {"controllers": [{
        "index": 0,
        "driverKey": "{36fc9e60-c465-11cf-8056-444553540000}\\0000",
        "rootHub": "USB#ROOT_HUB30#4&1&0&0#{f18a0e88-c30c-11d0-8815-00a0c906bed8}",
        "hub": {"ports": 2, "children": {"1": {
            "idVendor": "0x1234", "idProduct": "0x5678",
            "driverKey": "{36fc9e60-c465-11cf-8056-444553540000}\\0001",
            "config": {"extensionUnits": [
                {"unitId": 7, "guid": BENCH_GUID},
                {"unitId": 8, "guid": OTHER_GUID}]}}}}}]},
}


@pytest.fixture
def demo():
    with norvik.Machine(sim="demo") as machine:
        yield machine


@pytest.fixture
def bench_path(tmp_path):
    path = tmp_path / "bench.json"
    path.write_text(json.dumps(BENCH_SCENARIO), encoding="utf-8")
    return path


@pytest.fixture
def bench(bench_path):
    with norvik.Machine(sim=bench_path) as machine:
        yield machine
