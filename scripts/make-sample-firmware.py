#!/usr/bin/env python3
"""Writes a sample firmware image for a virtual board as a HEX file.

The first line is the identifier line ("#" and hex pairs, board id high byte
first at position 1, then a made-up version and build number); the rest are
Intel HEX data records of 16 bytes with correct checksums, preceded by an
extended linear address record and ended by the end-of-file record.

    scripts/make-sample-firmware.py --id 0x1234 --start 0x0800 --size 8192 \
        data/firmware/vb1234-sample.hex
"""
import argparse


def record(address, rtype, data):
    body = bytes([len(data), (address >> 8) & 0xFF, address & 0xFF, rtype]) + bytes(data)
    checksum = (-sum(body)) & 0xFF
    return ":" + body.hex().upper() + "%02X" % checksum


def payload(board_id, size):
    # A recognisable header (vector table look-alike, id, version), then a
    # deterministic byte pattern so that a flash dump can be compared.
    out = bytearray()
    out += bytes([0x02, 0x08, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00])
    out += bytes([(board_id >> 8) & 0xFF, board_id & 0xFF, 0x02, 0x08])
    out += b"VELMO-SAMPLE"
    state = board_id or 1
    while len(out) < size:
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        out.append((state >> 16) & 0xFF)
    return bytes(out[:size])


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--id", required=True, type=lambda s: int(s, 0))
    parser.add_argument("--start", required=True, type=lambda s: int(s, 0),
                        help="first address of the program (inside the programmable area)")
    parser.add_argument("--size", required=True, type=lambda s: int(s, 0))
    parser.add_argument("output")
    args = parser.parse_args()

    lines = ["#%04X0208" % args.id]
    lines.append(record(0, 0x04, [(args.start >> 24) & 0xFF, (args.start >> 16) & 0xFF]))
    data = payload(args.id, args.size)
    for offset in range(0, len(data), 16):
        address = (args.start + offset) & 0xFFFF
        lines.append(record(address, 0x00, data[offset:offset + 16]))
    lines.append(record(0, 0x01, []))
    with open(args.output, "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
