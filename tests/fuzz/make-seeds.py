#!/usr/bin/env python3
"""Writes the seed corpus of each fuzz target into corpus/<target>/, from the wire layouts.

Run it again after changing a target's input format; the seeds are checked in."""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def put(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def text(value, width):
    raw = value.encode()[:width]
    return raw + b"\0" * (width - len(raw))


# Discovery: steps of one byte; below 0x80 a datagram (length byte, bytes) heard on interface
# index (low 4 bits) with host address choice (bits 4-5); 0x80 and above a merge pass.
def datagram(sn, state=0, dtype=0x11, ip="127.0.0.2", alias=""):
    d = bytes([0xAA, 0, 89, 1, 0]) + text(ip, 16) + bytes([dtype]) + text(sn, 30)
    d += struct.pack("b", state) + text("127.0.0.1", 16) + text(alias, 20)
    return d


def heard(d, step=0x01):
    return bytes([step, len(d)]) + d


def discovery():
    merge = b"\x81"
    put("discovery", "one-camera", heard(datagram("SN0001")) + merge)
    put("discovery", "leave-and-return",
        heard(datagram("SN0002", alias="lab")) + merge + heard(datagram("SN0002", 2)) + merge +
        heard(datagram("SN0002", 0)) + merge + merge + heard(datagram("SN0002", 0)) + merge)
    put("discovery", "full-fields",
        heard(datagram("S" * 30, 3, 0x0B, "1" * 16, "A" * 20)) + merge +
        heard(datagram("S" * 30, 3, 0x0B, "1" * 16, "A" * 20)) + merge)
    put("discovery", "short-and-long-profile",
        heard(datagram("SN0003", dtype=0x0E)[:40], 0x21) + merge + heard(datagram("SN0004", dtype=0x1A) + b"x" * 7) +
        b"\x80\x80\x80")
    put("discovery", "ip-change",
        heard(datagram("SN0005")) + merge + heard(datagram("SN0005", ip="10.0.0.9"), 0x12) + merge + merge)


def le24(n):
    return bytes([n & 0xFF, (n >> 8) & 0xFF, (n >> 16) & 0xFF])


def record(rtype, payload, head4=0):
    return bytes([rtype]) + le24(len(payload)) + bytes([head4]) + payload


# Data-frame payloads (mode byte 0: as sent; else records built to their sizes).
def walk():
    timestamp = record(0x1F, struct.pack("<Q", 0x1122334455667788))
    errors = record(0x31, struct.pack("<I", 2) + struct.pack("<I", 10) + b"lens dirty" +
                    struct.pack("<I", 70) + b"E" * 70)
    skipped = record(0x2E, b"xyz") + bytes([0x2C]) + struct.pack("<H", 2) + b"ab"
    jpeg = record(ord("4"), bytes([0xFF, 0xD8, 0xFF, 0xE0]) + b"\0" * 60 + bytes([0xFF, 0xD9]))
    put("walk", "host-records", b"\0" + timestamp + errors + skipped)
    put("walk", "colour-record", b"\0" + timestamp + jpeg)
    put("walk", "truncated", b"\0" + timestamp + record(0xB7, b"\0" * 40)[:30])

    # Built: type, 24-bit length, head byte 4, fill selector, first-bytes count, bytes.
    def built(rtype, fill, first=b"", length=0, head4=0):
        return bytes([rtype]) + le24(length) + bytes([head4, fill, len(first)]) + first

    put("walk", "tof-computed", b"\1" + built(0x1F, 0, struct.pack("<Q", 7), 8) + built(0xB7, 0x0F))
    put("walk", "tof-and-colour", b"\1" + built(0xB6, 0x0E, head4=2) + built(ord("7"), 0, b"\xff\xd8", 100))
    put("walk", "tof-one-long", b"\1" + built(0xB2, 0x2D))


# Decoder: data mode, switches, three filter bytes, six ranges of (depthMax, effectMax, effectMin),
# then records: selector, head byte 4, length cut, patches ended by one of length 0.
def decode():
    ranges = b"".join(struct.pack("<HHH", m, m, 450) for m in (1249, 1874, 2498, 3123, 3747, 7495))

    def head(mode, switches, filters=b"\0\0\0"):
        return bytes([mode, switches]) + filters + ranges

    def rec(selector, head4=0, cut=0, patches=b""):
        return bytes([selector, head4, cut]) + patches + b"\0\0\0\0"

    put("decode", "computed-binned", head(14, 0x05) + rec(0x33 | 0x80 & 0, 1))
    put("decode", "computed-full-filters", head(0, 0x85, b"\x1f\x10\x05") + rec(0x32, 2, 0, b"\x10\0\0\4\x10\x20\x30\x40"))
    put("decode", "raw-binned", head(14, 0x01) + rec(0x31, 0))
    put("decode", "raw-full-dual-range", head(9, 0x81) + rec(0x30, 2) + rec(0x30, 5))
    put("decode", "short-record", head(0, 0) + rec(0x33, 0, 1))


# Command sets: {operation, argument[, own bytes]}, then each command's reply: control byte,
# length byte, bytes (a reply's data starts with the sub-id for commands that carry one).
def reply(data, control=0):
    return bytes([control, len(data)]) + data


def kit_commands():
    put("kit_commands", "firmware-text", bytes([0, 40, 0]) + reply(b"\x03" + b"FW_20240115_V5\0"))
    put("kit_commands", "full-width-text", bytes([0, 19, 0]) + reply(b"\x03" + b"V" * 64))
    put("kit_commands", "work-mode-read-back", bytes([4, 1]) + reply(b"") + reply(b"\x00") + reply(b"\x01"))
    put("kit_commands", "intrinsics", bytes([7, 0]) + reply(b"\x01" + struct.pack("<4d", 500, 500, 320, 240)) +
        reply(b"\x02" + struct.pack("<5d", 0, 0, 0, 0, 0)))
    put("kit_commands", "sn-read-back", bytes([15, 8]) + b"SN000001" + reply(b"") + reply(b"\x02SN000001\0") +
        bytes([21, 0]) + reply(b"\x05\x01\x02", 0))
    put("kit_commands", "failed-exchange", bytes([3, 0]) + reply(b"", 0x80) + bytes([19, 0]) + reply(b"", 0x40))


def tof_commands():
    put("tof_commands", "depth-range-list", bytes([14, 0]) + reply(b"\x00\x06\x00\x01\x02\x03\x04\x05"))
    put("tof_commands", "long-mode-list", bytes([16, 0]) + reply(b"\x01\xff" + bytes(range(60))))
    put("tof_commands", "exposure-read-back", bytes([1, 0, 0xE8, 0x03]) + reply(b"") +
        reply(b"\x00" + struct.pack("<I", 1000)))
    put("tof_commands", "properties", bytes([21, 1, 10]) + reply(b"\x00\x03\x00\x01\x02") + bytes([21, 0, 33]) +
        reply(b"\x01\x02\x00\x0e"))
    put("tof_commands", "measuring-range", bytes([10, 2]) + reply(b"\x02" + struct.pack("<HHH", 3000, 450, 3123)))


def color_commands():
    put("color_commands", "firmware", bytes([0, 30]) + reply(b"\x01" + b"RGB_V1.2.3" + b"\0" * 20))
    put("color_commands", "resolution", bytes([12, 0]) + reply(b"\x05" + struct.pack("<HH", 1600, 1200)))
    put("color_commands", "brightness-read-back", bytes([2, 5]) + reply(b"") + reply(b"\x02\x05"))
    put("color_commands", "gain", bytes([10, 0]) + reply(b"\x07" + struct.pack("<f", 1.5), 0) + bytes([11, 12]) +
        reply(b"", 0x80))


# Transport: command count, {id, buffer size}..., 16-bit length of the command bytes, command
# bytes, data bytes. Replies: u32 0xAA, u32 body length, marker, id, data length, data.
def transport():
    def cmd_reply(cid, data):
        body = bytes([0xAA, cid, len(data)]) + data
        return struct.pack("<II", 0xAA, len(body)) + body

    def frame(payload, ftype=1):
        return struct.pack("<II", ftype, len(payload)) + payload

    replies = cmd_reply(0x93, b"\x03FW_1\0") + cmd_reply(0x85, b"\x01")
    payload = record(0x1F, struct.pack("<Q", 5))
    put("transport", "reply-and-frames", bytes([2, 0x93, 32, 0x85, 4]) + struct.pack("<H", len(replies)) + replies +
        frame(payload) + frame(payload))
    stray = cmd_reply(0x90, b"\x00") + cmd_reply(0x93, b"X" * 200)
    put("transport", "stray-then-long-reply", bytes([1, 0x93, 16]) + struct.pack("<H", len(stray)) + stray +
        frame(b"\0" * 5000) + frame(b"ab", 7))
    put("transport", "short-head", bytes([1, 0x80, 8]) + struct.pack("<H", 5) + b"\xaa\0\0\0\xff" + b"\x01\0\0")


# HTTP: server byte, piece size, repeat count, 16-bit repeat length, request.
def http():
    def req(text, server=0, piece=0, repeat=0, repeat_length=0):
        return bytes([server, piece, repeat]) + struct.pack("<H", repeat_length) + text

    body = b"abcd"
    upload = (b"POST /upload?name=intrinsic_cal.bin&fileDatalength=4&checksum=%d&offset=0 HTTP/1.1\r\n"
              b"Host: 127.0.0.1\r\nContent-Length: 4\r\n\r\n" % sum(body)) + body
    put("http", "get-image", req(b"GET /firmware.img HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"))
    put("http", "upload", req(upload))
    put("http", "traversal", req(b"GET /../../secret.txt HTTP/1.1\r\n\r\nGET /%2e%2e/%2e%2e/secret.txt HTTP/1.1\r\n\r\n"))
    put("http", "wide-numbers", req(upload.replace(b"fileDatalength=4", b"fileDatalength=4294967300")))
    put("http", "escaping-name", req(upload.replace(b"intrinsic_cal.bin", b"../escape.bin"), server=1))
    put("http", "marker-name",
        req(upload.replace(b"intrinsic_cal.bin", b"rangeOffset_0_SN0123456789ABCDEF.bin"), server=2))
    put("http", "trickled-huge-head",
        req(b"X-Pad: 0123456789abcdef\r\nGET /firmware.img HTTP/1.1\r\n\r\n", piece=3, repeat=40, repeat_length=24))


def profile():
    config = os.path.join(HERE, "..", "..", "Config")
    for name in ("Torvane_RGBD_12.json", "Torvane_ToF_11.json"):
        with open(os.path.join(config, name), "rb") as f:
            put("profile", name, f.read())
    put("profile", "wrong-types.json", b'{"productName":7,"connectType":["socket"],"toFSensor":{"type":1}}')
    put("profile", "many-resolutions.json",
        b'{"productName":"P","connectType":"socket","toFSensor":[{"type":"halden_tof"}],"colorSensor":'
        b'[{"type":"rc1720","resolutionList":["640_480","800_600","1600_1200","1_1","0_480","x_y","99999999999_1"]}]}')


def ini():
    put("ini", "settings.ini", b"[settings]\nLogToConsole = 1\na b = c d\npath=x=y\n")
    put("ini", "odd-lines.ini", b"]x[y=1\n [s]\r\nk=\n;c=1\n[s]\nk=2\nk=3\n[t\n=v\n")


def settings():
    put("settings", "control.json", b"\0" + b'{"Control":{"ColorResolution":"800*600","FrameRate":15,"IRGmmGain":3,'
        b'"WorkMode":"SoftwareTriggerMode"},"ExposureTime":{"HDR_Mode":false,"ToF_ExposureMode":"Manual",'
        b'"ToF_ExposureTime":800,"Color_ExposureMode":"Manual","Color_ManualGain":1.5}}')
    put("settings", "filters-and-signals.json", b"\4" + b'{"Filter":{"ConfidenceFilter":true,"ConfidenceFilter_Threshold":'
        b'20,"Fillhole":true,"SpatialFilter":false,"TimeFilter_Threshold":3},"SignalParams":{"Input_polarity":257,'
        b'"Input_width":70000,"Output_delay":5}}')
    put("settings", "wrong-types.json", b"\0" + b'{"Control":{"WorkMode":7,"FrameRate":"fast"},"Filter":[1,2]}')


# Firmware image: device-type selector, camera text (length byte, bytes), the image file:
# product group, flash type, build date (9), version, u64 file length, u32 payload sum, 488 reserved.
def firmware():
    def image(payload, group=11, flash=0, date=b"20240115", version=6, length_delta=0, sum_delta=0):
        head = bytes([group, flash]) + text(date.decode(), 9) + bytes([version])
        head += struct.pack("<QI", 512 + len(payload) + length_delta, (sum(payload) + sum_delta) & 0xFFFFFFFF)
        return head + b"\0" * 488 + payload

    camera = b"FW_20240115_V5"
    put("firmware", "newer", bytes([2, len(camera)]) + camera + image(b"payload of the image"))
    put("firmware", "older", bytes([2, len(camera)]) + camera + image(b"payload", version=4))
    put("firmware", "bad-sum", bytes([2, len(camera)]) + camera + image(b"payload", sum_delta=1))
    put("firmware", "long-camera-text", bytes([3, 64]) + b"F" * 64 + image(b"x", length_delta=-1))


TARGETS = {
    "discovery": discovery,
    "walk": walk,
    "decode": decode,
    "kit_commands": kit_commands,
    "tof_commands": tof_commands,
    "color_commands": color_commands,
    "transport": transport,
    "http": http,
    "profile": profile,
    "ini": ini,
    "settings": settings,
    "firmware": firmware,
}

if __name__ == "__main__":
    for name in sys.argv[1:] or TARGETS:
        TARGETS[name]()
