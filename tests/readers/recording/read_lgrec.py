"""Reads .lgrec files as docs/recording-format.md describes them, with Python's
zlib for the blocks and the checksums, and checks what they hold: the written
records are real packets of the substitute library (its marker, the request
byte, and a checksum of the receiver bytes in the header), so a coding that
differs from the document shows up as wrong packet bytes.
usage: read_lgrec.py FILE:EXPECTED_PACKETS:complete|cut ...
"""
import struct
import sys
import zlib

MAGIC = b"\x89LGREC\r\n"


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def read(path):
    data = open(path, "rb").read()
    if data[:8] != MAGIC or struct.unpack_from("<H", data, 8)[0] != 1:
        fail(f"{path}: magic or version")
    body_len = struct.unpack_from("<I", data, 10)[0]
    if zlib.crc32(data[:14 + body_len]) != struct.unpack_from("<I", data, 14 + body_len)[0]:
        fail(f"{path}: header checksum")
    body, pos = data[14:14 + body_len], 9
    texts = []
    for _ in range(3):
        texts.append(body[pos + 1:pos + 1 + body[pos]])
        pos += 1 + body[pos]
    pos += 4 + 4 + 4 + 40 + 4 + 50
    x, y = struct.unpack_from("<HH", body, pos)
    if pos + 4 != body_len:
        fail(f"{path}: header body length")
    size, at, packets, records, complete = 7 + x + y, 14 + body_len + 4, 0, 0, False
    while at + 28 <= len(data) and data[at:at + 4] == b"LGBK":
        base, count, raw_len, stored_len, crc = struct.unpack_from("<QIIII", data, at + 4)
        stored = data[at + 28:at + 28 + stored_len]
        if len(stored) < stored_len:
            break  # cut inside the block
        if zlib.crc32(data[at:at + 24] + stored) != crc:
            fail(f"{path}: block checksum at {at}")
        raw = zlib.decompress(stored)
        if len(raw) != raw_len:
            fail(f"{path}: block length at {at}")
        time, pos, state, n = base, 0, {}, 0
        while pos < len(raw):
            kind, delta, shift = raw[pos], 0, 0
            pos += 1
            while True:
                delta |= (raw[pos] & 0x7F) << shift
                shift += 7
                pos += 1
                if raw[pos - 1] < 0x80:
                    break
            time += delta
            request = raw[pos]
            pos += 1
            n += 1
            if kind == 1:
                continue
            stored_bytes, pos = raw[pos:pos + size], pos + size
            s = state.get(request)
            if kind == 3:
                packet = bytes((b + ((v + 128) >> 8)) & 0xFF for b, v in zip(stored_bytes, s))
            else:
                packet = stored_bytes
            if s is None:
                state[request] = [v << 8 for v in packet]
            else:
                state[request] = [v + int((256 * p - v) / 4) for v, p in zip(s, packet)]
            check = struct.unpack_from("<H", packet, 5)[0]
            if packet[0] != 0xA5 or packet[1] != request or check != sum(packet[7:]) & 0xFFFF:
                fail(f"{path}: packet {packets} at {time} us is not the frame's packet: {packet[:7].hex()}")
            packets += 1
        if n != count:
            fail(f"{path}: record count at {at}")
        records += n
        at += 28 + stored_len
    if data[at:at + 4] == b"LGEN" and at + 32 == len(data):
        _, total_records, total_packets, crc = struct.unpack_from("<QQQI", data, at + 4)
        complete = zlib.crc32(data[at:at + 28]) == crc and (total_records, total_packets) == (records, packets)
    return texts, packets, complete


for arg in sys.argv[1:]:
    path, expected, state = arg.rsplit(":", 2)
    texts, packets, complete = read(path)
    if packets != int(expected) or complete != (state == "complete"):
        fail(f"{path}: {packets} packets, complete={complete}; expected {expected}, {state}")
    print(f"{path}: {texts[1].decode('latin-1')}, {packets} packets, {'complete' if complete else 'cut short'}")
print("all recordings read as documented")
