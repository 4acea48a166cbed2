#!/usr/bin/env python3
"""Writes the SMBIOS table of the default machine snapshot (machines/default/smbios.bin).

The notebook is the one machine.json describes: a Mirelta NB-7420 (model number NB-7420C2BKEA,
serial number 3LKSA48213, BIOS V2.20L13) with an Intel Core i5-3320M, two 4 GB DDR3 SO-DIMMs, a
touch pad and two battery bays. The file has the layout `dmidecode --dump-bin` writes: a 32-bit
"_SM_" entry point (SMBIOS 2.7) at offset 0 and the structure table at 0x20, so that
`dmidecode --from-dump machines/default/smbios.bin` decodes it.

Usage: make_smbios_dump.py [OUTPUT]   (default: machines/default/smbios.bin beside this folder)
"""
import os
import struct
import sys

MAJOR, MINOR = 2, 7


def b(*values):
    return bytes(values)


def w(value):
    return struct.pack('<H', value)


def dw(value):
    return struct.pack('<I', value)


def qw(value):
    return struct.pack('<Q', value)


class Table:
    """Structures in table order; each gets the next handle."""

    def __init__(self):
        self.structures = []

    def add(self, type_, body, strings=()):
        """`body`: the formatted area after the 4-byte header. Returns the handle."""
        handle = len(self.structures)
        length = 4 + len(body)
        assert length <= 0xFF
        text = b''.join(s.encode('ascii') + b'\0' for s in strings) + b'\0'
        if not strings:
            text = b'\0\0'
        self.structures.append(bytes([type_, length]) + w(handle) + body + text)
        return handle

    def next_handle(self, ahead=0):
        return len(self.structures) + ahead

    def data(self):
        return b''.join(self.structures)


def strings_of(values):
    """String numbers for the non-empty values (0 for empty ones) and the string set."""
    numbers, strings = [], []
    for value in values:
        if value:
            strings.append(value)
            numbers.append(len(strings))
        else:
            numbers.append(0)
    return numbers, strings


def build():
    t = Table()

    # Type 0: BIOS. Characteristics: PCI, PnP, upgradeable, shadowing, boot from CD, selectable
    # boot, EDD, 8042 keyboard services; extensions: ACPI, USB legacy, smart battery; BIOS boot
    # specification, network boot, UEFI. ROM 4 MB.
    (vendor, version, date), strings = strings_of(["Mirelta Corporation", "V2.20L13", "10/05/2012"])
    characteristics = sum(1 << bit for bit in (7, 9, 11, 12, 15, 16, 19, 27))
    t.add(0, b(vendor, version) + w(0xE800) + b(date, 0x3F) + qw(characteristics) + b(0x83, 0x0B) +
          b(2, 20, 1, 5), strings)

    # Type 1: system.
    (maker, product, version, serial, sku, family), strings = strings_of(
        ["Mirelta Corporation", "MIRELTA NB-7420", "NB-7420C2BKEA", "3LKSA48213", "NB-7420C2BKEA", "NB-7420"])
    uuid = bytes.fromhex("6A1F4C2E9B0D11E2A3F4001E3A7420C2")
    t.add(1, b(maker, product, version, serial) + uuid + b(0x06, sku, family), strings)

    # Type 2: base board in the chassis that follows.
    (maker, product, version, serial, asset, location), strings = strings_of(
        ["Mirelta Corporation", "NB7420-MB", "1.01", "3LKSA48213M", "", "Main board"])
    chassis = t.next_handle(1)
    t.add(2, b(maker, product, version, serial, asset, 0x09, location) + w(chassis) + b(0x0A, 0), strings)

    # Type 3: notebook chassis, no contained elements, no SKU.
    (maker, version, serial, asset), strings = strings_of(["Mirelta Corporation", "", "3LKSA48213", "No Asset Tag"])
    t.add(3, b(maker, 0x0A, version, serial, asset, 0x03, 0x03, 0x03, 0x03) + dw(0) + b(0, 1, 0, 0, 0), strings)

    # Type 7: the three caches of the processor (L1 of both cores, L2, L3), listed before it.
    caches = []
    for designation, config, size, cache_type, associativity in [
            ("L1 Cache", 0x0180, 128, 0x05, 0x07),   # internal, enabled, write back, level 1
            ("L2 Cache", 0x0181, 512, 0x05, 0x07),
            ("L3 Cache", 0x0182, 3072, 0x05, 0x09)]:
        (name,), strings = strings_of([designation])
        caches.append(t.add(7, b(name) + w(config) + w(size) + w(size) + w(0x0020) + w(0x0020) +
                             b(0, 0x05, cache_type, associativity), strings))

    # Type 4: the processor (Ivy Bridge, family 6 model 58 stepping 9, socket rPGA988B).
    (socket, maker, version, serial, asset, part), strings = strings_of(
        ["CPU", "Intel(R) Corporation", "Intel(R) Core(TM) i5-3320M CPU @ 2.60GHz", "", "", ""])
    cpu_id = bytes.fromhex("A9060300FFFBEBBF")
    t.add(4, b(socket, 0x03, 0xCD, maker) + cpu_id + b(version, 0x8C) + w(100) + w(3300) + w(2600) +
          b(0x41, 0x21) + w(caches[0]) + w(caches[1]) + w(caches[2]) + b(serial, asset, part, 2, 2, 4) +
          w(0x00EC) + w(0x00CD), strings)

    # Type 8: the outside connectors.
    for designation, connector, port in [
            ("USB 3.0 Port 1", 0x12, 0x10), ("USB 3.0 Port 2", 0x12, 0x10), ("USB 2.0 Port 3", 0x12, 0x10),
            ("LAN", 0x0B, 0x1F), ("VGA", 0x07, 0x1C), ("HDMI", 0xFF, 0x1C),
            ("Headphone", 0x1F, 0x1D), ("Microphone", 0x1F, 0x1D), ("Port Replicator", 0xFF, 0xFF)]:
        (name,), strings = strings_of([designation])
        t.add(8, b(0, 0x00, name, connector, port), strings)

    # Type 9: ExpressCard/34 slot (free) and the wireless LAN mini card (in use).
    for designation, slot_type, usage, slot_id, devfn in [
            ("ExpressCard Slot", 0xA5, 0x03, 1, 0xE2), ("Mini Card Slot (WLAN)", 0xA6, 0x04, 2, 0xE3)]:
        (name,), strings = strings_of([designation])
        t.add(9, b(name, slot_type, 0x08, usage, 0x03) + w(slot_id) + b(0x04, 0x03) + w(0) + b(0, devfn),
              strings)

    # Type 10: on-board devices, all enabled.
    devices = [(0x83, "Intel(R) HD Graphics 4000"), (0x85, "Intel(R) 82579LM Gigabit Network Connection"),
               (0x87, "Realtek High Definition Audio"), (0x89, "Intel(R) 7 Series Chipset SATA AHCI Controller")]
    numbers, strings = strings_of([text for _, text in devices])
    t.add(10, b''.join(b(kind, number) for (kind, _), number in zip(devices, numbers)), strings)

    # Type 11: OEM strings.
    oem = ["Mirelta Corporation", "SMP-7420A"]
    t.add(11, b(len(oem)), oem)

    # Type 16: system memory on the main board, two sockets, 16 GB at most.
    array = t.add(16, b(0x03, 0x03, 0x03) + dw(16 * 1024 * 1024) + w(0xFFFE) + w(2) + qw(0))

    # Type 17: two 4 GB DDR3-1600 SO-DIMMs.
    for locator, bank, serial in [("ChannelA-DIMM0", "BANK 0", "1A2B3C4D"), ("ChannelB-DIMM0", "BANK 2", "1A2B3C5E")]:
        (loc, bank_n, maker, serial_n, asset, part), strings = strings_of(
            [locator, bank, "Hynix/Hyundai", serial, "", "HMT351S6CFR8C-PB"])
        t.add(17, w(array) + w(0xFFFE) + w(64) + w(64) + w(4096) + b(0x0D, 0, loc, bank_n, 0x18) + w(0x0080) +
              w(1600) + b(maker, serial_n, asset, part, 0x01) + dw(0) + w(1600), strings)

    # Type 19: the 8 GB the two modules map.
    t.add(19, dw(0) + dw(8 * 1024 * 1024 - 1) + w(array) + b(2))

    # Type 21: the touch pad.
    t.add(21, b(0x07, 0x04, 2))

    # Type 22: one battery per bay, 10.8 V lithium-ion, capacities in units of 10 mWh.
    for location, name, capacity, serial in [("Main Battery Bay", "NB-VZSU72", 6264, 0x2A41),
                                             ("Second Battery Bay", "NB-VZSU73", 3240, 0x1C07)]:
        (loc, maker, date, serial_s, device, sbds, chemistry), strings = strings_of(
            [location, "Mirelta Corporation", "", "", name, "1.1", "LION"])
        packed_date = ((2012 - 1980) << 9) | (8 << 5) | 17
        t.add(22, b(loc, maker, date, serial_s, device, 0x06) + w(capacity) + w(10800) + b(sbds, 0xFF) +
              w(serial) + w(packed_date) + b(chemistry, 10) + dw(0), strings)

    # Type 32: system boot information, no errors.
    t.add(32, bytes(6) + b(0))

    # Type 127: end of table.
    t.add(127, b'')
    return t


def entry_point(table_length, count, largest):
    ep = bytearray(0x1F)
    ep[0:4] = b'_SM_'
    ep[5] = 0x1F
    ep[6], ep[7] = MAJOR, MINOR
    ep[8:10] = w(largest)
    ep[0x10:0x15] = b'_DMI_'
    ep[0x16:0x18] = w(table_length)
    ep[0x18:0x1C] = dw(0x20)
    ep[0x1C:0x1E] = w(count)
    ep[0x1E] = (MAJOR << 4) | MINOR
    ep[0x15] = (-sum(ep[0x10:0x1F])) & 0xFF
    ep[4] = (-sum(ep)) & 0xFF
    return bytes(ep) + bytes(0x20 - len(ep))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', 'machines', 'default', 'smbios.bin')
    table = build()
    data = table.data()
    largest = max(len(s) for s in table.structures)
    with open(out, 'wb') as f:
        f.write(entry_point(len(data), len(table.structures), largest) + data)


if __name__ == '__main__':
    main()
