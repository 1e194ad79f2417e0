"""The module's CSV bytes are the dialog's for the same operator actions."""
import os
import subprocess

import pytest

from conftest import OTHER_GUID


def dialog_csv(scenario, *actions):
    helper = os.environ.get("NORVIK_DIALOG_CSV")
    if not helper:
        pytest.skip("NORVIK_DIALOG_CSV names no dialog helper (run through ctest)")
    return subprocess.run([helper, str(scenario), *actions], check=True, capture_output=True).stdout


def test_picked_unit_transfers_save_the_dialogs_bytes(bench, bench_path):
    expected = dialog_csv(bench_path, "pick:0", "get:1", "hex:1:76 32", "text:1:中文", "get:3", "hex:2:01",
                          "get:9", "get:1")
    with bench.open(device=0, unit=0) as unit:
        unit.get(1)
        unit.set(1, b"\x76\x32")
        unit.set(1, "中文")
        for failing in (lambda: unit.get(3), lambda: unit.set(2, b"\x01"), lambda: unit.get(9)):
            with pytest.raises(Exception):
                failing()
        unit.get(1)
        assert unit.csv_bytes() == expected
    assert expected.count(b"\r\n") == 7  # the header and six rows


def test_typed_guid_transfers_save_the_dialogs_bytes(bench, bench_path):
    typed = " " + OTHER_GUID.lower() + " bench"
    expected = dialog_csv(bench_path, "type:" + typed, "get:2", "text:1:ab")
    with bench.open(typed) as unit:
        unit.get(2)
        unit.set(1, "ab")
        assert unit.csv_bytes() == expected
