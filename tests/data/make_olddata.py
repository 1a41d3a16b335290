#!/usr/bin/env python3
"""Writes olddata/: a year file of the earlier 30-employee layout (463,688 bytes) with a distinct
mark in every record, a new-employee template and a system log, as an old data folder holds them."""
import struct, os

OLD_REC, SLOTS = 30904, 30
here = os.path.dirname(os.path.abspath(__file__))
out = os.path.join(here, 'olddata')
os.makedirs(out, exist_ok=True)

def pstr(text, cap):
    b = text.encode('cp932')
    return bytes([len(b)]) + b + b'\0' * (cap - len(b))

header = bytearray(128)
for p in (1, 2, 3, 4, 13):
    header[7 + p] = 1
struct.pack_into('<3i', header, 24, 7, 12, 0)
struct.pack_into('<3i', header, 36, 10, 15, 0)
header[47 + 1] = 2
header[62 + 1] = 25

data = bytearray(header)
for p in range(1, 16):
    corp = bytearray(1384)
    corp[0:45] = pstr('旧形式株式会社', 44)
    struct.pack_into('<i', corp, 64, 25)
    struct.pack_into('<i', corp, 68, 20 + p % 3)
    struct.pack_into('<d', corp, 72, 160.0 + p)
    struct.pack_into('<d', corp, 112, 4.99)
    corp[1383] = p
    emps, kins, siks, kous = bytearray(), bytearray(), bytearray(), bytearray()
    for e in range(1, SLOTS + 1):
        r = bytearray(500)
        r[0:21] = pstr('社員%02d' % e, 20)
        r[42:59] = pstr('180101_0000%02d' % e, 16)
        struct.pack_into('<ii', r, 60, 2, 1)
        struct.pack_into('<i', r, 80, 200000 + e * 1000 + p)
        struct.pack_into('<H', r, 320, e)
        r[499] = e
        emps += r
        k = bytearray(200)
        struct.pack_into('<d', k, 8, p + e / 100.0)
        k[199] = e
        kins += k
        s = bytearray(148)
        struct.pack_into('<i', s, 0, 200000 + e * 1000 + p)
        s[147] = e
        siks += s
        d = bytearray(136)
        struct.pack_into('<i', d, 28, 1000 * e + p)
        d[135] = e
        kous += d
    rec = corp + emps + kins + siks + kous
    assert len(rec) == OLD_REC
    data += rec
assert len(data) == 463688
open(os.path.join(out, '平成30年給与･賞与.dat'), 'wb').write(data)
tmpl = bytearray(500)
tmpl[0:21] = pstr('雛形', 20)
open(os.path.join(out, '社員情報.dat'), 'wb').write(tmpl)
open(os.path.join(out, 'システムログ.dat'), 'wb').write('2018/04/01 09:00  従業員情報の登録\r\n'.encode('cp932'))
