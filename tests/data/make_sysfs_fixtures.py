#!/usr/bin/env python3
"""Builds the sysfs fixture trees under tests/data/sysfs/ that the Linux
platform's tests run on.

Each tree is laid out as the kernel lays out /sys for USB devices and V4L2
nodes: the devices under devices/pci0000:00/..., links to them from
bus/usb/devices and class/video4linux, driver links into bus/*/drivers, the
usual attribute files, and each USB device's `descriptors` file with real
descriptor bytes (the device descriptor followed by the configuration's
descriptors), written as a USB device would send them.

  lab        bus 1 (USB 2.0 root hub, 4 ports):
               port 1: a 4-port hub
                 port 2: "Lumen UVC11 Camera", UVC 1.1, three extension units
                 port 4: a USB optical mouse (HID, not a camera)
               port 3: "Lumen UVC15 Camera", UVC 1.5, an encoding unit, an
                       extension unit, and an extension unit with two input
                       pins; the only camera with a serial number
             bus 2 (USB 3 root hub, 4 ports):
               port 2: "Lumen SS Camera", UVC 1.1, one extension unit; the
                       tests treat its video node as one the user may not open
             a virtual (loopback) video node that is not a USB device
  nocamera   bus 1 with a mouse on port 2; no video4linux class at all

Beside each tree, <tree>.scenario.json describes the same machine in the
simulated platform's scenario format (names, nodes, USB tree, configuration
descriptors, setup properties) together with the cameras' extension-unit
controls, which the tests' fake driver also takes from it: the same devices
on both platforms must give the same transcripts and log cells. The camera
whose node may not be opened has its controls fail with access denied.

Vendor and product IDs, names and GUIDs of the cameras are made up. Run from
anywhere: python3 tests/data/make_sysfs_fixtures.py (it replaces the trees).
"""

import json

import os
import shutil
import struct
import uuid

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "sysfs")

# Extension unit GUIDs, in registry form.
XU_GUIDS = {
    "cam11_a": "{4A7D3C10-8E5B-4F21-9C6A-2B1D0E3F5A01}",
    "cam11_b": "{4A7D3C10-8E5B-4F21-9C6A-2B1D0E3F5A02}",
    "cam11_c": "{7E1F9B22-3C4D-4E5F-8A6B-1C2D3E4F5A6B}",
    "cam15_a": "{0F3E2D1C-B4A5-4C6D-9E8F-7A6B5C4D3E2F}",
    "cam15_pins": "{0F3E2D1C-B4A5-4C6D-9E8F-7A6B5C4D3E30}",
    "camss_a": "{D6C5B4A3-9281-4F70-A1B2-C3D4E5F60718}",
}


# Extension-unit controls: GUID key -> selector -> current value (hex pairs).
CONTROLS = {
    "cam11": {"cam11_a": {1: "11 22", 2: "01 02 03 04"},
              "cam11_b": {1: "00", 5: "46 57 31 2E 32 2E 33 00"},
              "cam11_c": {1: "7F"}},
    "cam15": {"cam15_a": {1: "AA BB CC"}, "cam15_pins": {1: "01 00"}},
    "camss": {"camss_a": {1: "05"}},
}
ACCESS_DENIED = "0x80070005"

CAPTURE_CLASS = "{65e8773d-8f56-11d0-a3b9-00a0c9223196}"
HUB_CLASS = "{f18a0e88-c30c-11d0-8815-00a0c906bed8}"
USB_SETUP_CLASS = "{36fc9e60-c465-11cf-8056-444553540000}"


def guid_bytes(text):
    """The GUID in its in-memory (little-endian fields) layout."""
    return uuid.UUID(text.strip("{}")).bytes_le


# ---------------------------------------------------------------- descriptors

def device_descriptor(bcd_usb, cls, sub, proto, max_packet, vid, pid, bcd_device,
                      i_manufacturer, i_product, i_serial):
    return struct.pack("<BBHBBBBHHHBBBB", 18, 0x01, bcd_usb, cls, sub, proto, max_packet,
                       vid, pid, bcd_device, i_manufacturer, i_product, i_serial, 1)


def configuration(num_interfaces, attributes, max_power, body):
    total = 9 + len(body)
    return struct.pack("<BBHBBBBB", 9, 0x02, total, num_interfaces, 1, 0, attributes,
                       max_power) + body


def interface(number, alternate, num_endpoints, cls, sub, proto, i_interface=0):
    return struct.pack("<BBBBBBBBB", 9, 0x04, number, alternate, num_endpoints, cls, sub,
                       proto, i_interface)


def endpoint(address, attributes, max_packet, interval):
    return struct.pack("<BBBBHB", 7, 0x05, address, attributes, max_packet, interval)


def ss_companion():
    return struct.pack("<BBBBH", 6, 0x30, 0, 0, 2)


def iad(first, count, i_function):
    return struct.pack("<BBBBBBBB", 8, 0x0B, first, count, 0x0E, 0x03, 0x00, i_function)


def vc_header(bcd_uvc, entities, streaming_interfaces):
    length = 12 + len(streaming_interfaces)
    total = length + len(entities)
    return struct.pack("<BBBHHIB", length, 0x24, 0x01, bcd_uvc, total, 48000000,
                       len(streaming_interfaces)) + bytes(streaming_interfaces) + entities


def camera_terminal(terminal_id, controls):
    return struct.pack("<BBBBHBBHHHB", 15 + len(controls), 0x24, 0x02, terminal_id, 0x0201,
                       0, 0, 0, 0, 0, len(controls)) + bytes(controls)


def output_terminal(terminal_id, source_id):
    return struct.pack("<BBBBHBBB", 9, 0x24, 0x03, terminal_id, 0x0101, 0, source_id, 0)


def processing_unit_11(unit_id, source_id, controls):
    # UVC 1.1: ... bControlSize, bmControls, iProcessing, bmVideoStandards.
    return struct.pack("<BBBBBHB", 10 + len(controls), 0x24, 0x05, unit_id, source_id, 0,
                       len(controls)) + bytes(controls) + bytes([0, 0])


def processing_unit_15(unit_id, source_id, controls):
    return processing_unit_11(unit_id, source_id, controls)


def encoding_unit(unit_id, source_id):
    return struct.pack("<BBBBBBB", 13, 0x24, 0x07, unit_id, source_id, 0, 3) + \
        bytes([0xFF, 0x07, 0x00]) + bytes([0x0F, 0x00, 0x00])


def extension_unit(unit_id, guid, num_controls, sources, control_bits):
    body = struct.pack("<BBBB", 24 + len(sources) + len(control_bits), 0x24, 0x06, unit_id)
    body += guid_bytes(guid)
    body += bytes([num_controls, len(sources)]) + bytes(sources)
    body += bytes([len(control_bits)]) + bytes(control_bits) + bytes([0])
    return body


def interrupt_endpoint_with_cs(address):
    return endpoint(address, 0x03, 16, 6) + struct.pack("<BBBH", 5, 0x25, 0x03, 16)


def streaming_interface(number, terminal_link, endpoint_address, iso_packet):
    formats = struct.pack("<BBBBBBBBBBB", 11, 0x24, 0x06, 1, 1, 1, 1, 0, 0, 0, 0)  # MJPEG
    formats += struct.pack("<BBBBBHHIIIIBI", 30, 0x24, 0x07, 1, 0, 1280, 720,
                           442368000, 442368000, 1843200, 333333, 1, 333333)
    formats += struct.pack("<BBBBBB", 6, 0x24, 0x0D, 1, 1, 4)  # color matching
    header_length = 14
    total = header_length + len(formats)
    header = struct.pack("<BBBBHBBBBBBBB", header_length, 0x24, 0x01, 1, total,
                         endpoint_address, 0, terminal_link, 0, 0, 0, 1, 0)
    return (interface(number, 0, 0, 0x0E, 0x02, 0x00) + header + formats +
            interface(number, 1, 1, 0x0E, 0x02, 0x00) +
            endpoint(endpoint_address, 0x05, iso_packet, 1))


def camera_config(vc_entities, bcd_uvc, vc_interrupt=0x83, iso_packet=0x1400, ss=False):
    body = iad(0, 2, 2)
    body += interface(0, 0, 1, 0x0E, 0x01, 0x00, 2)
    body += vc_header(bcd_uvc, vc_entities, [1])
    body += interrupt_endpoint_with_cs(vc_interrupt)
    if ss:
        body += ss_companion()
    body += streaming_interface(1, 5, 0x81, iso_packet)
    if ss:
        body += ss_companion()
    return configuration(2, 0x80, 250, body)


def hub_config(ss=False, self_powered=True):
    body = interface(0, 0, 1, 0x09, 0x00, 0x00) + endpoint(0x81, 0x03, 4, 12)
    if ss:
        body += ss_companion()
    return configuration(1, 0xE0 if self_powered else 0xA0, 0, body)


def mouse_config():
    hid = struct.pack("<BBHBBBH", 9, 0x21, 0x0111, 0, 1, 0x22, 46)
    body = interface(0, 0, 1, 0x03, 0x01, 0x02) + hid + endpoint(0x81, 0x03, 4, 10)
    return configuration(1, 0xA0, 50, body)


CAM11_ENTITIES = (camera_terminal(1, [0x0E, 0x00, 0x00]) +
                  output_terminal(5, 6) +
                  processing_unit_11(2, 1, [0x5B, 0x17]) +
                  extension_unit(3, XU_GUIDS["cam11_a"], 2, [2], [0x03, 0x00]) +
                  extension_unit(4, XU_GUIDS["cam11_b"], 8, [3], [0xFF, 0x00, 0x00, 0x00]) +
                  extension_unit(6, XU_GUIDS["cam11_c"], 1, [4], [0x01]))

CAM15_ENTITIES = (camera_terminal(1, [0x0E, 0x00, 0x00]) +
                  processing_unit_15(2, 1, [0x5B, 0x17, 0x00]) +
                  encoding_unit(3, 2) +
                  extension_unit(4, XU_GUIDS["cam15_a"], 3, [3], [0x07, 0x00]) +
                  extension_unit(6, XU_GUIDS["cam15_pins"], 2, [3, 4], [0x03, 0x00]) +
                  output_terminal(5, 4))

CAMSS_ENTITIES = (camera_terminal(1, [0x0A, 0x00, 0x00]) +
                  processing_unit_11(2, 1, [0x5B, 0x17]) +
                  extension_unit(3, XU_GUIDS["camss_a"], 4, [2], [0x0F]) +
                  output_terminal(5, 3))

# ---------------------------------------------------------------- the scenario


def vc_nodes(entities):
    """The topology nodes of VideoControl entities: one per terminal or unit."""
    nodes = []
    at = 0
    while at < len(entities):
        length, subtype = entities[at], entities[at + 2]
        if subtype == 0x06:
            guid = uuid.UUID(bytes_le=bytes(entities[at + 4:at + 20]))
            nodes.append({"type": "xu", "guid": "{%s}" % str(guid).upper()})
        else:
            nodes.append({"type": "other"})
        at += length
    return nodes


def device_path(name, vid, pid):
    """The Windows-style path of the camera's capture interface."""
    return r"\\?\usb#vid_%04x&pid_%04x&mi_00#%s#%s\global" % (vid, pid, name, CAPTURE_CLASS)


def location_path(name):
    ports = name.split("-", 1)[1].split(".")
    parts = ["PCIROOT(0)", "PCI(1400)", "USBROOT(0)"] + ["USB(%s)" % p for p in ports]
    return "#".join(parts + ["USBMI(0)"])


def scenario_camera(name, vid, pid, product, entities, controls, hub_number, unreadable, serial):
    path = device_path(name, vid, pid)
    units = {}
    for key, selectors in controls.items():
        units[XU_GUIDS[key]] = {
            str(selector): dict({"value": value}, **({"fail": ACCESS_DENIED} if unreadable else {}))
            for selector, value in selectors.items()}
    port = int(name.rsplit(".", 1)[-1].split("-")[-1])
    camera = {
        "displayName": "@device:pnp:" + path,
        "friendlyName": product,
        "devicePath": path,
        "nodes": vc_nodes(entities),
        "controls": units,
        "setup": {
            "class": "Camera", "classDescription": "Cameras", "deviceDesc": product,
            "service": "uvcvideo", "locationPaths": [location_path(name)],
            "friendlyName": product,
            "locations": [name + ":1.0", "Port_#%04d.Hub_#%04d" % (port, hub_number)],
        },
    }
    if serial:
        camera["setup"]["serial"] = serial
    return camera


def hub_name(name, vid=None, pid=None):
    if vid is None:
        return "USB#ROOT_HUB#%s#%s" % (name, HUB_CLASS)
    return "USB#VID_%04X&PID_%04X#%s#%s" % (vid, pid, name, HUB_CLASS)


def write_scenario(tree, description, controllers):
    scenario = {"description": description, "cameras": tree.cameras,
                "usb": {"controllers": controllers}}
    with open(os.path.join(OUT, tree.name + ".scenario.json"), "w") as f:
        json.dump(scenario, f, indent=2, ensure_ascii=False)
        f.write("\n")


# ---------------------------------------------------------------- the tree


class Tree:
    def __init__(self, name):
        self.name = name
        self.cameras = []      # scenario cameras in video node order
        self.ports = {}        # USB device name -> scenario port device
        self.controllers = []  # scenario controllers in bus order
        self.root = os.path.join(OUT, name)
        if os.path.exists(self.root):
            shutil.rmtree(self.root)
        os.makedirs(self.root)
        for driver in ("usb/drivers/usb", "usb/drivers/hub", "usb/drivers/uvcvideo",
                       "usb/drivers/usbhid", "pci/drivers/xhci_hcd"):
            self.write(os.path.join("bus", driver, "uevent"), "")

    def path(self, relative):
        return os.path.join(self.root, relative)

    def write(self, relative, content):
        full = self.path(relative)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(content if isinstance(content, bytes) else content.encode("utf-8"))

    def link(self, relative, target_relative):
        full = self.path(relative)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        os.symlink(os.path.relpath(self.path(target_relative), os.path.dirname(full)), full)

    def attributes(self, directory, values):
        for key, value in values.items():
            self.write(os.path.join(directory, key), value if isinstance(value, bytes)
                       else value + "\n")

    def controller(self, pci_name):
        directory = os.path.join("devices/pci0000:00", pci_name)
        self.attributes(directory, {"vendor": "0x8086", "device": "0xa36d", "class": "0x0c0330"})
        self.link(os.path.join(directory, "driver"), "bus/pci/drivers/xhci_hcd")
        return directory

    def usb_device(self, parent_dir, name, descriptor, config, attrs):
        directory = os.path.join(parent_dir, name)
        dev = struct.unpack("<BBHBBBBHHHBBBB", descriptor)
        values = {
            "idVendor": "%04x" % dev[7], "idProduct": "%04x" % dev[8],
            "bcdDevice": "%04x" % dev[9], "bDeviceClass": "%02x" % dev[3],
            "bDeviceSubClass": "%02x" % dev[4], "bDeviceProtocol": "%02x" % dev[5],
            "bMaxPacketSize0": "%d" % dev[6], "bNumConfigurations": "1",
            "bConfigurationValue": "1", "bNumInterfaces": "%2d" % config[4],
            "bmAttributes": "%02x" % config[7], "bMaxPower": "%dmA" % (config[8] * 2),
            "version": "%2x.%02x" % (dev[2] >> 8, dev[2] & 0xFF),
            "descriptors": descriptor + config,
        }
        values.update(attrs)
        self.attributes(directory, values)
        self.link(os.path.join(directory, "driver"), "bus/usb/drivers/usb")
        self.link(os.path.join("bus/usb/devices", name), directory)
        return directory

    def usb_interface(self, device_dir, device_name, number, cls, sub, proto, driver,
                      text=None):
        name = "%s:1.%d" % (device_name, number)
        directory = os.path.join(device_dir, name)
        values = {"bInterfaceNumber": "%02x" % number, "bAlternateSetting": " 0",
                  "bInterfaceClass": "%02x" % cls, "bInterfaceSubClass": "%02x" % sub,
                  "bInterfaceProtocol": "%02x" % proto, "bNumEndpoints": "01"}
        if text is not None:
            values["interface"] = text
        self.attributes(directory, values)
        if driver:
            self.link(os.path.join(directory, "driver"), "bus/usb/drivers/" + driver)
        self.link(os.path.join("bus/usb/devices", name), directory)
        return directory

    def video_node(self, parent_dir, number, name, index, parent_is_device=True):
        directory = os.path.join(parent_dir, "video4linux", "video%d" % number)
        self.attributes(directory, {"name": name, "index": "%d" % index,
                                    "dev": "81:%d" % number})
        if parent_is_device:
            self.link(os.path.join(directory, "device"), parent_dir)
        self.link(os.path.join("class/video4linux", "video%d" % number), directory)

    def root_hub(self, controller_dir, bus, ss, ports):
        descriptor = device_descriptor(0x0300 if ss else 0x0200, 0x09, 0x00, 0x03 if ss else 0x01,
                                       9 if ss else 64, 0x1D6B, 0x0003 if ss else 0x0002,
                                       0x0601, 3, 2, 1)
        name = "usb%d" % bus
        directory = self.usb_device(controller_dir, name, descriptor, hub_config(ss), {
            "busnum": "%d" % bus, "devnum": "1", "devpath": "0", "maxchild": "%d" % ports,
            "speed": "5000" if ss else "480",
            "manufacturer": "Linux 6.1.0-18-amd64 xhci-hcd",
            "product": "xHCI Host Controller", "serial": "0000:00:14.0"})
        self.usb_interface(directory, "%d-0" % bus, 0, 0x09, 0, 0, "hub")
        return directory

    def port(self, name, vid, pid, config=None):
        entry = {"idVendor": "0x%04X" % vid, "idProduct": "0x%04X" % pid,
                 "driverKey": USB_SETUP_CLASS + "\\" + name}
        if config is not None:
            entry["config"] = {"hex": " ".join("%02X" % b for b in config)}
        self.ports[name] = entry
        return entry

    def camera(self, parent_dir, name, bus, devnum, vid, pid, product, entities, bcd_uvc,
               video, controls, hub_number, ss=False, unreadable=False, serial=None):
        descriptor = device_descriptor(0x0320 if ss else 0x0200, 0xEF, 0x02, 0x01,
                                       9 if ss else 64, vid, pid, 0x0100, 1, 2, 3 if serial else 0)
        config = camera_config(entities, bcd_uvc, ss=ss)
        self.port(name, vid, pid, config)
        self.cameras.append(scenario_camera(name, vid, pid, product, entities, controls,
                                            hub_number, unreadable, serial))
        attributes = {"busnum": "%d" % bus, "devnum": "%d" % devnum,
                      "devpath": name.split("-", 1)[1], "maxchild": "0",
                      "speed": "5000" if ss else "480",
                      "manufacturer": "Lumen Optics", "product": product}
        if serial:
            attributes["serial"] = serial
        directory = self.usb_device(parent_dir, name, descriptor, config, attributes)
        control = self.usb_interface(directory, name, 0, 0x0E, 0x01, 0x00, "uvcvideo", product)
        self.usb_interface(directory, name, 1, 0x0E, 0x02, 0x00, "uvcvideo")
        self.video_node(control, video, product, 0)
        self.video_node(control, video + 1, product, 1)
        return directory


def controller(tree, bus, ports, children):
    return {"index": bus - 1,
            "driverKey": USB_SETUP_CLASS + "\\0000:00:14.0",
            "rootHub": hub_name("usb%d" % bus),
            "hub": {"ports": ports, "children": children}}


def mouse(tree, parent_dir, name, devnum):
    directory = tree.usb_device(parent_dir, name,
                                device_descriptor(0x0200, 0, 0, 0, 8, 0x046D, 0xC077, 0x7200, 1, 2, 0),
                                mouse_config(), {
                                    "busnum": name.split("-")[0], "devnum": "%d" % devnum,
                                    "devpath": name.split("-", 1)[1], "maxchild": "0",
                                    "speed": "1.5", "manufacturer": "Logitech",
                                    "product": "USB Optical Mouse"})
    tree.usb_interface(directory, name, 0, 0x03, 0x01, 0x02, "usbhid")
    return tree.port(name, 0x046D, 0xC077)


def build_lab():
    tree = Tree("lab")
    pci = tree.controller("0000:00:14.0")
    usb1 = tree.root_hub(pci, 1, False, 4)
    usb2 = tree.root_hub(pci, 2, True, 4)

    hub = tree.usb_device(usb1, "1-1", device_descriptor(0x0200, 0x09, 0x00, 0x01, 64, 0x05E3,
                                                         0x0608, 0x6077, 0, 1, 0),
                          hub_config(self_powered=False), {
                              "busnum": "1", "devnum": "2", "devpath": "1", "maxchild": "4",
                              "speed": "480", "product": "USB2.0 Hub"})
    tree.usb_interface(hub, "1-1", 0, 0x09, 0, 0, "hub")
    hub_port = tree.port("1-1", 0x05E3, 0x0608)

    # Hubs in walk order: usb1 is hub 1, 1-1 hub 2, usb2 hub 3.
    tree.camera(hub, "1-1.2", 1, 5, 0x2BD9, 0x0011, "Lumen UVC11 Camera", CAM11_ENTITIES,
                0x0110, 0, CONTROLS["cam11"], 2)
    mouse_port = mouse(tree, hub, "1-1.4", 6)
    tree.camera(usb1, "1-3", 1, 3, 0x2BD9, 0x0150, "Lumen UVC15 Camera", CAM15_ENTITIES,
                0x0150, 2, CONTROLS["cam15"], 1, serial="LM15-00042")
    tree.camera(usb2, "2-2", 2, 2, 0x2BD9, 0x0200, "Lumen SS Camera", CAMSS_ENTITIES, 0x0110,
                4, CONTROLS["camss"], 3, ss=True, unreadable=True)

    # A loopback device: a V4L2 node with no USB parent and no driver link.
    tree.video_node("devices/virtual", 10, "Dummy video device (0x0000)", 0,
                    parent_is_device=False)

    hub_port["childName"] = hub_name("1-1", 0x05E3, 0x0608)
    hub_port["hub"] = {"ports": 4, "children": {"2": tree.ports["1-1.2"], "4": mouse_port}}
    write_scenario(tree, "The lab fixture tree: two UVC 1.1 cameras (one whose node the user "
                   "may not open), a UVC 1.5 camera, a hub and a mouse.", [
                       controller(tree, 1, 4, {"1": hub_port, "3": tree.ports["1-3"]}),
                       controller(tree, 2, 4, {"2": tree.ports["2-2"]})])


def build_nocamera():
    tree = Tree("nocamera")
    pci = tree.controller("0000:00:14.0")
    usb1 = tree.root_hub(pci, 1, False, 2)
    mouse_port = mouse(tree, usb1, "1-2", 2)
    write_scenario(tree, "The nocamera fixture tree: one bus with a mouse.",
                   [controller(tree, 1, 2, {"2": mouse_port})])


if __name__ == "__main__":
    build_lab()
    build_nocamera()
