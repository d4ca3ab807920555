#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_frame_decoder: a few hand-made byte streams.

Each seed is one byte that selects the read size, then the bytes on the wire.
Run from anywhere; the files go to corpus/frame_decoder beside this script."""
import os

FLAG, ESC = 0x1E, 0x1B
ESCAPES = {0x1B: 0, 0x1E: 1, 0x5B: 2}


def crc16(data, start=0):
    reg = start ^ 0xFFFF
    for byte in data:
        reg ^= byte << 8
        for _ in range(8):
            reg = ((reg << 1) ^ 0x1021) if reg & 0x8000 else reg << 1
            reg &= 0xFFFF
    return reg ^ 0xFFFF


def escape(data):
    out = bytearray()
    for byte in data:
        out += bytes([ESC, ESCAPES[byte]]) if byte in ESCAPES else bytes([byte])
    return bytes(out)


def frame(packet):
    crc = crc16(packet)
    return bytes([FLAG]) + escape(packet + bytes([crc & 0xFF, crc >> 8])) + bytes([FLAG])


SEEDS = {
    "request": bytes([0]) + frame(bytes([0x13, 1, 0x1B, 0x1E, 0x5B, 0, 9])),
    "response_and_unsolicited": bytes([3]) + frame(bytes([1, 1, 0xAA, 0xBB])) + frame(bytes([0x21, 0x5B] * 20)),
    "noise_before_first_flag": bytes([1]) + b"\x41\x42\x43" + frame(b"\x07\x08"),
    "escape_index_3_and_bad_escape": bytes([0])
    + bytes([FLAG, 0x07, ESC, 0x03, ESC, FLAG, 0x09])
    + escape(crc16(bytes([0x07, 0x00, 0x09])).to_bytes(2, "little"))
    + bytes([FLAG]),
    "short_packets": bytes([2]) + bytes([FLAG, FLAG, 0x41, FLAG, 0x41, 0x42, FLAG]) + frame(b"\x55"),
    "largest_frame": bytes([255]) + frame(bytes([0x10, 0]) + bytes([0x41]) * 8206),
    "overflow": bytes([40]) + bytes([FLAG]) + bytes([0x41]) * 8212 + frame(b"\x03\x04"),
}

if __name__ == "__main__":
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "frame_decoder")
    os.makedirs(folder, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
