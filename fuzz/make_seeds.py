#!/usr/bin/env python3
"""Writes the seed corpora in fuzz/corpus/: real frames and texts of the cutter protocol,
the cloud and the host. Run again after changing it; the files are committed."""
import os
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))
STX, ETX = b"\x02", b"\x03"


def frame(payload: bytes) -> bytes:
    """STX, the total frame length in decimal, ";", payload, ETX."""
    base = len(payload) + 3
    digits = len(str(base))
    while len(str(base + digits)) != digits:
        digits = len(str(base + digits))
    return STX + str(base + digits).encode() + b";" + payload + ETX


def write(target: str, seeds: dict) -> None:
    folder = os.path.join(HERE, "corpus", target)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


rv8 = {
    "status_ready": frame(b"CCMD;4,0;"),
    "status_busy": frame(b"CCMD;4,1;"),
    "task_report": frame(b"CCMD;66,1,job.plt,2,1,50.5,0,0,0;"),
    "task_report_short": frame(b"CCMD;66,1,job.plt,2,1,50;"),
    "qrcode": frame(b"CCMD;55,0,QR-0001;"),
    "qrcode_11": frame(b"CCMD;11,0,https://example.invalid/q?x=1;"),
    "pause": frame(b"CCMD;27,0,0;"),
    "resume": frame(b"CCMD;27,0,1;"),
    "stop": frame(b"CCMD;27,0,2;"),
    "device_stop": frame(b"CCMD;1001,0;"),
    "firmware": frame(b"CCMD;51,0,V1.2.3;"),
    "device_id": frame(b"CCMD;45,0,RV8-000123;"),
    "work_mode": frame(b"CCMD;64,0,2;"),
    "copies": frame(b"CCMD;30,0,3;"),
    "cmd_get": frame(b"CMD;GET10:250;11:3;12:0;"),
}
# A whole job: three pages acknowledged, a task report, a stop, with junk between frames.
rv8["job_stream"] = (b"noise" + frame(b"CCMD;4,0;") + frame(b"CCMD;4,0;") + b"\x00\xff"
                     + frame(b"CCMD;66,2,a.plt,2,1,99.9,0,0,0;") + frame(b"CCMD;4,0;")
                     + frame(b"CCMD;27,0,2;"))
rv8["truncated_then_frame"] = b"\x02" + b"12;CCMD;4" + frame(b"CCMD;4,0;")
# One selector byte first: fixed chunks of 1, 7 and 128 bytes, and a varying generator.
selectors = [b"\x00", b"\x06", b"\x7f", b"\x9d"]
write("rv8_replies", {f"{name}_{i}": sel + data for name, data in rv8.items()
                      for i, sel in enumerate(selectors) if i == 0 or name in ("job_stream", "task_report")})

f157 = {
    "speed": frame(b"CMD;GET26:300;"),
    "multi_register": frame(b"CMD;GET40:65336;41:65535;42:0;"),
    "heartbeat": frame(b"CCMD;1010,0,2;"),
    "unique_id": frame(b"CCMD;57,0,ABCDEF;"),
    "qrcode_copies": frame(b"CCMD;54,0,4;"),
    "task_report": frame(b"CCMD;66,1,b.plt,1,0,12.5,0,0,0;"),
    "stop_register": frame(b"CMD;GET125:2;"),
    "flag_point": frame(b"CMD;SET87:1;"),
    "no_colon": frame(b"CMD;GET26;"),
}
write("family157_replies", {f"{name}_{i}": sel + data for name, data in f157.items()
                            for i, sel in enumerate(selectors[:2])})

# value type, command kind, params|length<<2, then the reply fields.
set_decode = {}
for vtype in range(10):
    for kind, fields in ((1, b"0,250"), (2, b"65336,65535,0"), (1, b"1,0,2,7"), (3, b"5")):
        set_decode[f"t{vtype}_k{kind}_{fields.decode().replace(',', '_')}"] = bytes([vtype, kind, 1 << 2 | (kind == 1)]) + fields
set_decode["compound"] = bytes([4, 1, 4]) + b"CHILD_A,12,x"
write("set_decode", set_decode)

write("plt_pages", {
    "three_pages": b"IN;PU0,0;PD100,0;PG;PD100,100;PG;PD0,100;PG;",
    "no_page_end": b"IN;PU0,0;PD100,100;",
    "only_page_end": b"PG;",
    "empty_pages": b"PG;PG;PG;",
    "overlapping": b"PPG;G;PG;PG",
    "utf8": "IN;LB标签\x03;PG;".encode(),
})

write("cmd_item", {
    "get": b"GET10:250",
    "no_key": b"11:0",
    "no_colon": b"GET26",
    "two_colons": b"SET40:1:2",
    "signed": b"GET-5:x",
    "overflow": b"GET99999999999:1",
    "latin1": b"\xc4\xd6GET1:\xff",
})

cloud = {
    "lookup_found": bytes([1, 0, 0b01]) + b'{"id": 42, "code": "KT3M7Z0001"}',
    "lookup_missing": bytes([2, 0, 0b01]) + b'{"detail": "not found"}',
    "model": bytes([1, 0, 0b00]) + b'{"id": 7}',
    "created": bytes([1, 0, 0x80 | 0b10]) + b'{"id": 43}',
    "server_error": bytes([3, 0, 0b100100]) + b"<html>500</html>",
    "no_answer": bytes([0, 0, 0b01]),
    "id_as_text": bytes([1, 0, 0b01]) + b'{"id": "42"}',
    "id_huge": bytes([1, 0, 0b01]) + b'{"id": 1e300}',
    "array_body": bytes([1, 0, 0b01]) + b"[1,2,3]",
    "odd_status": bytes([0xff, 0x37, 0b01]) + b"{}",
}
write("cloud_replies", cloud)

sim = {
    "read": frame(b"CCMD;4;"),
    "write": frame(b"CCMD;1003,15;"),
    "cmd_get": frame(b"CMD;GET11;12;13;"),
    "cmd_set": frame(b"CMD;SET11:65336;12:65535;13:0;"),
    "num": frame(b"CMD;NUM:3;"),
    "page": frame(b"PPLT;IN;PU0,0;PD100,0;PG;"),
    "qr_job": frame(b"QR_PLT;IN;PD1,1;"),
    "bad_length": b"\x0299;CCMD;4;\x03",
    "noise_between": frame(b"CCMD;4;") + b"xx\x00" + frame(b"CCMD;32,1;"),
}
write("sim_parser", {f"{name}_{i}": sel + data for name, data in sim.items()
                     for i, sel in enumerate(selectors[:2])})
