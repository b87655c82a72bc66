#!/usr/bin/python3
"""The eight exchanges of a camera Read (or Write), done by a minimal pyserial
script against the same simulated camera, for comparison with CCommPort.

usage: pyserial_read.py DEVICE ITERATIONS [read|write]
Prints one line: "<mode> <iterations> <mean seconds per transaction>".
"""
import sys
import time

import serial

ANNOUNCE = bytes.fromhex("05807F")
SETUP = bytes.fromhex("01801320030001FF01011F0201190301FF8001078101FFCF")
CLOSE = bytes.fromhex("103B04")
REF_READ = bytes.fromhex("01800E10204D4000F802FFFFFFFFFFFFFFFFC9")
CELL_READ = bytes.fromhex("01800E10204D4000F702FFFFFFFFFFFFFFFFC6")
CELL_WRITE = bytes.fromhex("01800E10204D1000F7025AFFFFFFFFFFFFFF33")


def exchange(port, frame, expect_text=None, count=None):
    port.reset_input_buffer()
    port.write(frame)
    reply = b""
    while True:
        byte = port.read(1)
        if not byte:
            raise TimeoutError(frame.hex())
        reply += byte
        if expect_text is not None and reply == expect_text:
            return reply
        if count is not None and len(reply) == count:
            return reply


def transaction(port, write):
    exchange(port, ANNOUNCE, expect_text=b"\x06\x80\x7f")
    exchange(port, SETUP, count=26)
    exchange(port, CLOSE, expect_text=b"\x06")
    exchange(port, ANNOUNCE, expect_text=b"\x06\x80\x7f")
    if write:
        exchange(port, CELL_WRITE, count=18)
        exchange(port, CLOSE, expect_text=b"\x06")
        exchange(port, ANNOUNCE, expect_text=b"\x06\x80\x7f")
        return exchange(port, CELL_READ, count=18)[9:10].hex().upper()
    ref = exchange(port, REF_READ, count=18)[9:10].hex().upper()
    exchange(port, CLOSE, expect_text=b"\x06")
    exchange(port, ANNOUNCE, expect_text=b"\x06\x80\x7f")
    return ref + exchange(port, CELL_READ, count=18)[9:10].hex().upper()


def main():
    device, iterations = sys.argv[1], int(sys.argv[2])
    write = len(sys.argv) > 3 and sys.argv[3] == "write"
    with serial.Serial(device, 9600, bytesize=8, parity="N", stopbits=1, timeout=2.0) as port:
        transaction(port, write)  # warm-up
        start = time.perf_counter()
        for _ in range(iterations):
            transaction(port, write)
        elapsed = time.perf_counter() - start
    print("%s %d %.9f" % ("write" if write else "read", iterations, elapsed / iterations))


if __name__ == "__main__":
    main()
