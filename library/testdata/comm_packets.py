#!/usr/bin/env python3
"""Reference encoder for the device link's packet protocol, written apart from
the C++ code: prints, for a set of messages, the exact bytes a sender puts on
the line ("DP" + 14-byte packet per 8 bytes of message, length // 8 + 1
packets). Run: python3 comm_packets.py > comm_packets.txt"""


def hamming(byte):
    code = 0
    for bit in range(8):
        if byte >> bit & 1:
            code ^= bit + 1
    return code ^ 0x0F


def trunc_divmod(w, d):
    q = abs(w) // d
    if w < 0:
        q = -q
    return q, w - q * d


def checksum(head, data):
    total = head + 0x55
    for k in range(4):
        w = data[2 * k] | data[2 * k + 1] << 8
        if w >= 0x8000:
            w -= 0x10000
        q, r = trunc_divmod(w, 3000)
        total += r - q
    return total & 0xFF


def transpose(data):
    out = [0] * 8
    for i in range(8):
        for j in range(8):
            if data[j] >> (7 - i) & 1:
                out[i] |= 1 << (7 - j)
    return out


def encode(message):
    wire = b""
    for k in range(len(message) // 8 + 1):
        data = list(message[8 * k:8 * k + 8]) + [0] * 8
        data = data[:8]
        head = k & 0x0F
        codes = [hamming(b) for b in data]
        ham = [codes[2 * i] << 4 | codes[2 * i + 1] for i in range(4)]
        wire += b"DP" + bytes([head, checksum(head, data)] + transpose(data) + ham)
    return wire


def messages():
    yield b""
    yield bytes(range(8))
    yield b"\xff\xff\x00\x80\xff\x7f\x01\x80"      # negative and extreme words
    yield "ТЕКСТ ПУЛЬТА".encode("cp1251")
    seed = 12345
    for length in (1, 7, 9, 60, 78, 127):
        msg = []
        for _ in range(length):
            seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
            msg.append(seed >> 16 & 0xFF)
        yield bytes(msg)


if __name__ == "__main__":
    for m in messages():
        print((m.hex() or "-") + " " + encode(m).hex())
