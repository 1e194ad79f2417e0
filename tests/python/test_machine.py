"""The machine: simulated or real, discovery and its diagnostic lines."""
import pytest

import norvik


def test_demo_discovery_lists_devices_and_units(demo):
    devices = demo.discover()
    assert demo.simulated
    assert [d.friendly_name for d in devices] == ["Kestrel UVC Camera", "Osprey Inspection Camera"]
    kestrel, osprey = devices
    assert (kestrel.position, kestrel.vendor_id, kestrel.product_id) == (0, 0x2E7A, 0x0C41)
    assert (osprey.position, osprey.vendor_id, osprey.product_id) == (1, 0x2E7A, 0x0D02)
    assert "usb#vid_2e7a" in kestrel.display_name
    assert [u.guid for u in kestrel.units] == ["{6D1F3A52-9C7E-4B21-A8D5-3E0F71C24B96}",
                                             "{B83C5E07-41D2-4F6A-9B1E-0C7D24E9A513}"]
    assert [u.position for u in osprey.units] == [0, 1, 2]
    assert [u.matched for u in osprey.units] == [True, True, False]
    assert osprey.units[2].guid == "{00000000-0000-0000-0000-000000000000}"
    assert all(d.has_matched_unit for d in devices)
    # The unit's descriptor ID and the node that answers it differ.
    first = kestrel.units[0]
    assert first.unit_id != 0 and first.node == 2
    assert "Kestrel" in repr(kestrel) and "2E7A:0C41" in repr(kestrel)
    # What tells identical cameras apart: hub ports, no video nodes or serials here.
    assert (kestrel.location, osprey.location) == ("Port_#0003.Hub_#0001", "Port_#0002.Hub_#0003")
    assert kestrel.video_node is None and kestrel.serial is None


def test_identical_cameras_differ_by_location_and_serial():
    import pathlib
    twins = pathlib.Path(__file__).parents[2] / "scenarios" / "twin-cameras.json"
    with norvik.Machine(sim=str(twins)) as machine:
        devices = machine.discover()
    assert [(d.vendor_id, d.product_id) for d in devices] == [(0x2E7A, 0x0C41)] * 2
    assert [(d.location, d.serial) for d in devices] == [("Port_#0001.Hub_#0001", "KST-A0017"),
                                                         ("Port_#0002.Hub_#0001", "KST-A0042")]


def test_debug_discovery_returns_the_runs_diagnostic_lines(demo):
    devices, lines = demo.discover(debug=True)
    assert len(devices) == 2
    assert all(isinstance(line, str) for line in lines)
    assert "Find 2 video device." in lines
    assert "Kestrel UVC Camera" in lines
    assert any(line.startswith("found one xu, node = ") for line in lines)
    # A second run says the same (but for its time), and an open in
    # between adds nothing.
    with demo.open(device=0, unit=0):
        pass
    untimed = [line for line in lines if not line.startswith("Use Time")]
    assert len(untimed) < len(lines)
    assert [line for line in demo.discover(debug=True)[1] if not line.startswith("Use Time")] == untimed
    assert isinstance(demo.discover(debug=False), list)


def test_a_scenario_file_or_path_object(bench_path, bench):
    assert [d.friendly_name for d in bench.discover()] == ["Bench Camera"]
    with norvik.Machine(sim=str(bench_path)) as again:
        assert again.discover()[0].units[1].unit_id == 8


def test_a_bad_scenario_raises_the_loaders_message(tmp_path):
    with pytest.raises(norvik.Error) as missing:
        norvik.Machine(sim=str(tmp_path / "none.json"))
    assert missing.value.failure == norvik.Failure.BadScenario
    assert str(tmp_path / "none.json") in missing.value.text
    assert missing.value.hresult == 0
    assert isinstance(missing.value, RuntimeError)

    misspelt = tmp_path / "bad.json"
    misspelt.write_text('{"cameras": [{"displayName": "x", "fiendlyName": "y"}]}', encoding="utf-8")
    with pytest.raises(norvik.Error) as bad:
        norvik.Machine(sim=misspelt)
    assert bad.value.text.endswith('bad.json: /cameras/0/fiendlyName: unknown key "fiendlyName"')
    assert str(bad.value) == bad.value.text


def test_sim_must_be_text_or_a_path():
    with pytest.raises(TypeError):
        norvik.Machine(sim=3)
    with pytest.raises(TypeError):
        norvik.Machine(sim=b"demo")


def test_the_real_machine_discovers_this_computers_cameras():
    with norvik.Machine() as machine:
        assert not machine.simulated
        for device in machine.discover():
            assert "usb#vid_" in device.display_name


def test_a_closed_machine_refuses_and_closes_its_unit(demo):
    unit = demo.open(device=0, unit=0)
    demo.close()
    assert demo.closed and unit.closed
    with pytest.raises(ValueError):
        demo.discover()
    with pytest.raises(ValueError):
        demo.open(device=0, unit=0)
    with pytest.raises(ValueError):
        unit.get(1)
    with pytest.raises(ValueError):
        unit.log


def test_the_module_documents_itself():
    for name in ("Machine", "Unit", "Device", "UnitInfo", "Row", "Error", "Failure"):
        assert getattr(norvik, name).__doc__, name
    for cls, names in ((norvik.Machine, ("discover", "open", "close")),
                       (norvik.Unit, ("length", "get", "set", "csv_bytes", "save_csv", "clear_log", "close"))):
        for name in names:
            assert getattr(cls, name).__doc__, name


def test_the_type_stub_declares_what_the_module_has():
    import ast
    import pathlib
    stub = pathlib.Path(norvik.__file__).with_name("norvik.pyi")
    tree = ast.parse(stub.read_text(encoding="utf-8"))
    declared = {node.name: {item.name if hasattr(item, "name") else item.target.id
                            for item in node.body if isinstance(item, (ast.FunctionDef, ast.AnnAssign))}
                for node in tree.body if isinstance(node, ast.ClassDef)}
    assert set(declared) == {"Failure", "Error", "UnitInfo", "Device", "Row", "Unit", "Machine"}
    with pytest.raises(norvik.Error) as raised:
        norvik.Machine(sim="/no/such/scenario.json")
    for name, members in declared.items():
        # The error's attributes are its instances'.
        cls = raised.value if name == "Error" else getattr(norvik, name)
        for member in members - {"__init__"}:
            assert hasattr(cls, member), f"{name}.{member} is in the stub, not in the module"
        if name not in ("Failure", "Error"):
            public = {m for m in dir(cls) if not m.startswith("_")}
            assert public <= members, f"{name}: {public - members} missing from the stub"
    assert set(norvik.Failure.__members__) == declared["Failure"]
