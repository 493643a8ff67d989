#!/usr/bin/env python3
"""Writes the sample firmware images that the simulator's scenarios program.

One TX5 file per TX5 chip family and one Intel HEX file per TX64 chip family,
under examples/firmware/, named after the chip the scenario of the same name
in examples/sim/ simulates. Each image is one that the simulated chip accepts
and verifies:

* the four version bytes at the row's version address are the boot loader's
  own (d0 d1 of the family, 00, the variant), as the host's version check
  wants them;
* the first bytes equal the chip's reset stub, which the boot loader never
  programs but counts in its checksum;
* the code-option words keep the security bits set and the crystal bits of a
  fresh chip (all ones), so the code options can be rewritten and the
  crystal question never comes up;
* the last word of the programmed area holds the application version 0x0101,
  which the simulated device reports after it has been programmed.

The chip data below duplicates the simulator's own tables (sim/chip_tables.cpp)
on purpose: the images are written from the chips' data, not from the
code that checks them. Standard library only; the output is the same on every
run. Commit the script and its output together.
"""

import pathlib

HERE = pathlib.Path(__file__).resolve().parent
OUT = HERE / "firmware"

APP_VERSION = 0x0101
HEADER_BYTES = 256
CODE_OPTIONS = bytes([0xFF, 0x3F, 0xFF, 0x3F, 0xFF, 0x3F, 0xF2, 0x3F])
OPTION_PAGE_BYTES = 512


def flat_stub(total, length):
    """The chip's reset stub: `length` bytes adding up to `total`."""
    return bytes(total // length + (1 if i < total % length else 0) for i in range(length))


STUB_0 = flat_stub(0xA0, 16)
STUB_1 = flat_stub(0x10F, 16)
STUB_2 = flat_stub(0x128, 16)
STUB_6 = flat_stub(0x13A, 8)
STUB_8 = flat_stub(0x8D, 16)

# chip, family, variant, version d0 d1, version address, byte-sum length,
# code-option address, option page (word address, 0: none), stub
TX5_CHIPS = [
    ("TX5K3317",   0,  0, (0x00, 0x01), 0x200C, 0x4000, 0x27FC, 0,      STUB_0),
    ("TX5K3307",   1,  0, (0x00, 0x02), 0x0F8C, 0x1F00, 0x13FC, 0,      STUB_1),
    ("TX5K3358",   2,  0, (0x00, 0x03), 0x288C, 0x5000, 0x2FFC, 0,      STUB_2),
    ("TX5K3317B",  3,  0, (0x00, 0x04), 0x200C, 0x3F00, 0x27FC, 0,      STUB_0),
    ("TX5K3307B",  4,  0, (0x00, 0x05), 0x0F8C, 0x1E00, 0x13FC, 0,      STUB_1),
    ("TX5K3355B",  5,  0, (0x00, 0x06), 0x288C, 0x5000, 0x2FFC, 0,      STUB_2),
    ("TX5K33E28",  6,  0, (0x00, 0x07), 0x3A8C, 0x7400, 0x3FFC, 0,      STUB_6),
    ("TX5K3304C",  7,  0, (0x00, 0x08), 0x0F8C, 0x1E00, 0x13FC, 0,      STUB_1),
    ("TX5K3390D",  8,  1, (0x00, 0x09), 0x0D10, 0x1A00, 0x0FFC, 0x0F00, STUB_8),
    ("TX5K33E55B", 12, 0, (0x00, 0x0A), 0x3C10, 0x7600, 0x3FFC, 0x3F00, b""),
]

# chip, family, flash size
TX64_CHIPS = [
    ("TX64K36x",  9,  0x10000),
    ("TX64K38x",  10, 0x8000),
    ("TX64K33x",  11, 0x4000),
    ("TX64K39x",  13, 0x7800),
    ("TX64K36xB", 14, 0x10000),
]

TX64_CODE_BYTES = 0x800


def pattern(offset, family):
    """Made-up program bytes that differ from word to word, so that a block
    written to the wrong place changes the checksum."""
    return (offset * 37 + (offset >> 8) * 11 + family * 5 + 0x21) & 0xFF


def put_le16(image, offset, value):
    image[offset] = value & 0xFF
    image[offset + 1] = value >> 8


def tx5_image(family, variant, version, version_address, byte_sum_length,
              code_option_address, option_page, stub):
    ends = [byte_sum_length, 2 * version_address + 4, 2 * code_option_address + 8]
    if option_page:
        ends.append(2 * option_page + OPTION_PAGE_BYTES)
    size = (max(ends) + 0xFF) & ~0xFF
    image = bytearray([0xFF]) * size
    image[:len(stub)] = stub
    for offset in range(len(stub), byte_sum_length - 2):
        image[offset] = pattern(offset, family)
    put_le16(image, byte_sum_length - 2, APP_VERSION)
    if option_page:
        start = 2 * option_page
        for offset in range(start, start + OPTION_PAGE_BYTES):
            image[offset] = pattern(offset, family)
        # c0 .. c7 of the page's last 16 bytes, as a fresh chip has them.
        image[2 * code_option_address - 8:2 * code_option_address] = b"\xFF" * 8
    image[2 * code_option_address:2 * code_option_address + 8] = CODE_OPTIONS
    at = 2 * version_address
    image[at:at + 4] = bytes([version[0], version[1], 0x00, variant])
    return bytes(image)


def tx5_file(chip, image):
    text = f"{chip} sample firmware for the simulated chip, application version 0x{APP_VERSION:04X}"
    header = text.encode("ascii").ljust(HEADER_BYTES, b"\0")
    return header + image


def hex_record(record_type, address, data):
    body = bytes([len(data), address >> 8, address & 0xFF, record_type]) + data
    checksum = (-sum(body)) & 0xFF
    return ":" + (body + bytes([checksum])).hex().upper() + "\r\n"


def tx64_hex(family, flash_size):
    code = bytes(pattern(offset, family) for offset in range(TX64_CODE_BYTES))
    version = bytes([APP_VERSION & 0xFF, APP_VERSION >> 8])
    # An extended linear address record first, as toolchains write for flash
    # mapped at 0x08000000; the loader places data by the 16-bit addresses.
    lines = [hex_record(0x04, 0, bytes([0x08, 0x00]))]
    for address in range(0, len(code), 16):
        lines.append(hex_record(0x00, address, code[address:address + 16]))
    lines.append(hex_record(0x00, flash_size - 2, version))
    lines.append(hex_record(0x01, 0, b""))
    return "".join(lines)


def main():
    OUT.mkdir(exist_ok=True)
    for chip, family, variant, version, version_address, length, code_options, page, stub in TX5_CHIPS:
        image = tx5_image(family, variant, version, version_address, length, code_options, page, stub)
        (OUT / f"{chip}.TX5").write_bytes(tx5_file(chip, image))
    for chip, family, flash_size in TX64_CHIPS:
        (OUT / f"{chip}.hex").write_bytes(tx64_hex(family, flash_size).encode("ascii"))


if __name__ == "__main__":
    main()
