"""A unit: opening it, its controls, its failures and its log."""
import pytest

import norvik
from conftest import BENCH_GUID, OTHER_GUID

KESTREL_FIRST = "{6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}"


def test_open_by_position_or_typed_guid_reads_the_same_control(demo):
    with demo.open(device=0, unit=0) as picked:
        firmware = picked.get(1)
        assert picked.log[0].xu_guid == KESTREL_FIRST
    assert picked.closed
    typed = " " + KESTREL_FIRST.lower() + " left"
    with demo.open(typed) as unit:
        assert unit.get(1) == firmware
        # The rows name the unit as typed, and the device the search found.
        assert unit.log[0].xu_guid == typed
        assert unit.log[0].device == "Kestrel UVC Camera"
    assert firmware == b"KST 2.4.17-b5120"


def test_open_refusals(demo):
    with pytest.raises(norvik.Error) as bad_text:
        demo.open("{12}")
    assert bad_text.value.failure == norvik.Failure.BadGuidText
    assert bad_text.value.text == "输入的XU GUID必须符合\n{36fc9e60-c465-11cf-8056-444553540000}\n这样的格式"
    with pytest.raises(norvik.Error) as absent:
        demo.open("{00000000-1111-2222-3333-444444444444}")
    assert absent.value.failure == norvik.Failure.OpenFailed
    with pytest.raises(norvik.Error) as beyond:
        demo.open(device=2, unit=0)
    assert beyond.value.failure == norvik.Failure.NoSuchDevice
    assert beyond.value.text == "there is no device 2 (discovery found 2)"
    with pytest.raises(norvik.Error) as no_unit:
        demo.open(device=1, unit=3)
    assert no_unit.value.failure == norvik.Failure.NoSuchUnit


def test_open_usage_errors(demo):
    with pytest.raises(TypeError):
        demo.open()
    with pytest.raises(TypeError):
        demo.open(device=0)
    with pytest.raises(TypeError):
        demo.open(KESTREL_FIRST, device=0, unit=0)
    with pytest.raises(TypeError):
        demo.open(device="0", unit=0)
    with pytest.raises(ValueError):
        demo.open(device=-1, unit=0)


def test_length_get_set_with_bytes_and_text(demo):
    with demo.open(device=0, unit=0) as unit:
        assert unit.length(2) == 8
        assert unit.length(1) == 16
        # Short data is padded, long data cut, to the control's length.
        assert unit.set(2, b"\x12\x34") == b"\x12\x34" + bytes(6)
        assert unit.get(2) == b"\x12\x34" + bytes(6)
        assert unit.set(2, bytearray(range(1, 11))) == bytes(range(1, 9))
        assert unit.set(2, memoryview(b"\xff")) == b"\xff" + bytes(7)
        # Text goes in the ANSI code page (936 here).
        assert unit.set(1, "版本") == "版本".encode("gbk") + bytes(12)
        assert unit.get(1)[:4] == "版本".encode("gbk")
        assert unit.log[-1].data_string == "版本"
        # Only the selector's low 8 bits count, as in the CS entry.
        assert unit.get(258) == unit.get(2)


def test_failures_raise_with_the_dialogs_texts_and_codes(bench):
    with bench.open(device=0, unit=0) as unit:
        with pytest.raises(norvik.Error) as probe:
            unit.get(9)
        assert probe.value.failure == norvik.Failure.LengthProbe
        assert probe.value.hresult == -0x7FF8FB70  # 0x80070490 as a signed HRESULT
        assert probe.value.text.startswith("获取CS长度失败，错误码 0x80070490: ")
        assert not str(probe.value).endswith("\n")

        with pytest.raises(norvik.Error) as zero:
            unit.length(256)
        assert (zero.value.failure, zero.value.text) == (norvik.Failure.ZeroSelector, "cs不能为0")

        with pytest.raises(norvik.Error) as refused_set:
            unit.set(2, b"\x01")
        assert refused_set.value.failure == norvik.Failure.Request
        assert refused_set.value.hresult & 0xFFFFFFFF == 0x8007001F
        assert refused_set.value.text == unit.log[-1].data_hex
        assert refused_set.value.text.startswith("SET数据失败 错误码0x8007001f: ")

        with pytest.raises(norvik.Error) as refused_get:
            unit.get(3)
        assert refused_get.value.text.startswith("GET数据失败 错误码0x8007001f: ")
        assert not unit.log[-1].ok and unit.log[-1].hresult == refused_get.value.hresult

        with pytest.raises(norvik.Error) as empty:
            unit.set(1, b"")
        assert (empty.value.failure, empty.value.text) == (norvik.Failure.EmptyData, "SET数据不能为空")
        # A character the code page lacks goes as its default character.
        assert unit.set(1, "\U0001F600") == b"?" + bytes(5)
        with pytest.raises(UnicodeEncodeError):
            unit.set(1, "\ud800")
        # Failed transfers are rows; refusals before a request are not.
        assert [row.direct for row in unit.log] == ["SET CS=2", "GET CS=3", "SET CS=1"]


def test_usage_errors_of_a_unit(demo):
    with demo.open(device=0, unit=0) as unit:
        with pytest.raises(TypeError):
            unit.get("1")
        with pytest.raises(TypeError):
            unit.get(1.0)
        with pytest.raises(ValueError):
            unit.get(-1)
        with pytest.raises(ValueError):
            unit.length(1 << 32)
        with pytest.raises(TypeError):
            unit.set(2, 12)
        with pytest.raises(TypeError):
            unit.set(2, [1, 2])
        with pytest.raises(ValueError):
            unit.set(1, "a\0b")
    with pytest.raises(ValueError):
        unit.get(1)


def test_the_log_has_the_dialogs_six_cells(bench):
    with bench.open(OTHER_GUID) as unit:
        unit.get(1)
        unit.set(2, "A")
        first, second = unit.log
        assert first.cells == ("1", "GET CS=1", "78 79 7A", "xyz", "Bench Camera", OTHER_GUID)
        assert (first.line, first.direct, first.data_hex, first.data_string, first.device, first.xu_guid) \
            == first.cells
        assert (first.is_set, first.ok, first.line_number, first.selector, first.bytes) \
            == (False, True, 1, 1, b"xyz")
        assert second.is_set and second.line_number == 2 and second.bytes == b"A\0\0\0"
        unit.clear_log()
        assert unit.log == []
        unit.get(2)
        assert unit.log[0].line == "1"


def test_each_open_starts_a_log_and_supersedes_the_last_unit(bench):
    first = bench.open(device=0, unit=0)
    first.get(1)
    first.close()
    # A closed unit's log is still there until the next open.
    assert [row.direct for row in first.log] == ["GET CS=1"]
    assert first.csv_bytes()
    second = bench.open(device=0, unit=1)
    assert second.log == []
    with pytest.raises(ValueError):
        first.log
    with pytest.raises(ValueError):
        first.get(1)
    third = bench.open(BENCH_GUID)
    assert second.closed and not third.closed
    # A refused text leaves the open unit open.
    with pytest.raises(norvik.Error):
        bench.open("no guid here")
    assert not third.closed
    assert "closed" not in repr(third) and BENCH_GUID in repr(third)


def test_save_csv_writes_the_csv_bytes(bench, tmp_path, monkeypatch):
    with bench.open(device=0, unit=0) as unit:
        with pytest.raises(norvik.Error) as empty:
            unit.save_csv(tmp_path / "empty.csv")
        assert (empty.value.failure, empty.value.text) == (norvik.Failure.EmptyLog, "列表木有数据，无需保存")
        unit.get(1)
        unit.set(1, "ok")
        path = tmp_path / "log.csv"
        assert unit.save_csv(path) == str(path)
        data = path.read_bytes()
        assert data == unit.csv_bytes()
        lines = data.split(b"\r\n")
        assert lines[0] == b"Line, Direct, Data(HEX), Data(String), Device, XU guid, "
        assert lines[1].startswith(b"1, GET CS=1, 76 31 2E 30 00 00, v1.0, Bench Camera, ")
        # Without a path: the dialog's time-stamped name in the current folder.
        monkeypatch.chdir(tmp_path)
        name = unit.save_csv()
        assert name.endswith(".csv") and (tmp_path / name).read_bytes() == data
        with pytest.raises(norvik.Error) as uncreatable:
            unit.save_csv(tmp_path / "no" / "such" / "folder.csv")
        assert uncreatable.value.failure == norvik.Failure.FileNotCreated
