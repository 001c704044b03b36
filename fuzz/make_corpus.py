#!/usr/bin/env python3
"""Writes the fuzzers' seed files (fuzz/corpus/) and the malformed files the
unit tests keep (tests/data/malformed-*/). Every file is built here field by
field, little-endian, so the seeds do not depend on the encoder under test.

Run from anywhere: python3 fuzz/make_corpus.py
"""
import pathlib
import struct

ROOT = pathlib.Path(__file__).resolve().parent.parent


def i32(v): return struct.pack('<i', v)
def u16(v): return struct.pack('<H', v)
def f64(v): return struct.pack('<d', v)
def pt(x, y, z, t): return f64(x) + f64(y) + f64(z) + f64(t)
def text(s): return u16(len(s)) + s
def empty_set(): return u16(1) + i32(0) + i32(1) + i32(0) + u16(0)


def mesh(tag=u16(0), nt=1, np=3, ntp=0, ncp=0, nl=0, indices=(1, 2, 3), tail=b'', corner=(0, 0, 10)):
    b = i32(30) + tag + i32(0) + i32(0) + i32(0)
    b += i32(nt) + i32(np) + i32(ntp) + i32(ncp) + i32(nl)
    b += pt(0, 0, 10, 0) + pt(10, 10, 12, 0)
    b += pt(0, 0, 0, 0) + pt(*corner, 1) + pt(10, 0, 11, 2) + pt(0, 10, 12, 3)
    b += i32(0) * 5 + i32(indices[0]) + i32(indices[1]) + i32(indices[2]) + i32(0) + i32(0)
    return b + tail


def rich_mesh():
    tail = empty_set() + u16(1) + i32(1) + i32(1) + text(b'Name') + u16(8) + text(b'abc') + i32(1) + u16(0xFFFF)
    tail += text(b'') + u16(0) + text(b'Owner') + u16(5) + f64(2.5)
    label = f64(100) + f64(1) + f64(2) + bytes(range(16)) + struct.pack('<f', 1.0)
    tail += label * 2
    return mesh(tag=u16(8) + text(b'abc'), ntp=1, ncp=1, nl=1, tail=tail)


def point_list(tag=u16(0), n=2, npp=0, ncp=0, tail=b''):
    b = i32(1100) + pt(1, 2, 3, 0) + pt(4, 5, 6, 0) + tag + i32(65280) + f64(12.5)
    b += i32(n) + i32(npp) + i32(ncp)
    b += pt(0, 0, 0, 0) + pt(1, 2, 3, 1) + pt(4, 5, 6, 9)
    return b + tail


def rich_point_list():
    tail = empty_set() + empty_set() + u16(1) + i32(1) + i32(1) + text(b'Depth') + u16(5) + f64(1) + i32(1) + u16(0)
    tail += text(b'') + u16(0) + text(b'Name') + u16(8) + text(b'zone')
    return point_list(tag=u16(11) + u16(0xFFFF), npp=2, ncp=1, tail=tail)


def las(minor, fmt, points, vlrs=(), extra=0):
    sizes = [20, 28, 26, 34, 57, 63, 30, 36, 38, 59, 67]
    header = 375 if minor >= 4 else 235 if minor == 3 else 227
    record = sizes[fmt] + extra
    body = b''.join(u16(0) + b'vlr'.ljust(16, b'\0') + u16(1) + u16(n) + bytes(32) + bytes(n) for n in vlrs)
    offset = header + len(body)
    b = b'LASF' + bytes(20) + bytes([1, minor]) + bytes(64) + u16(1) + u16(2026) + u16(header)
    b += struct.pack('<IIBHI', offset, len(vlrs), fmt, record, 0 if fmt >= 6 else len(points)) + bytes(20)
    b += f64(0.001) * 3 + f64(500000) + f64(4500000) + f64(0) + bytes(48)
    b = b.ljust(header, b'\0')
    if minor >= 4:
        b = b[:247] + struct.pack('<Q', len(points)) + b[255:]
    out = b + body
    for i, (x, y, z, cls, ret, n, withheld) in enumerate(points):
        r = struct.pack('<iiiH', x, y, z, 100 + i)
        if fmt < 6:
            r += bytes([ret | n << 3, cls | (0x80 if withheld else 0)])
        else:
            r += bytes([ret | n << 4, 0x04 if withheld else 0, cls])
        out += r.ljust(record, b'\0')
    return out


def write(folder, files):
    folder.mkdir(parents=True, exist_ok=True)
    for name, data in files.items():
        (folder / name).write_bytes(data)


write(ROOT / 'fuzz/corpus/mesh', {
    'small.dsp': mesh(),
    'rich.dsp': rich_mesh(),
    'empty.dsp': mesh(nt=0, np=0)[:102] + pt(0, 0, 0, 0) + i32(0) * 5,
    'nan-corner.dsp': mesh(corner=(float('nan'), 0, 10)),
})
write(ROOT / 'fuzz/corpus/pointlist', {
    'small.ptl': point_list(),
    'rich.ptl': rich_point_list(),
    'props.prp': i32(1) + i32(0) + empty_set() + empty_set(),
})
cloud = [(0, 0, 1000, 2, 1, 1, False), (1500, 0, 900, 5, 1, 2, False), (1600, 0, 800, 5, 2, 2, False),
         (0, 1500, 700, 2, 1, 1, True), (1500, 1500, 600, 2, 1, 1, False)]
write(ROOT / 'fuzz/corpus/las', {
    'v10-f0.las': las(0, 0, cloud),
    'v12-f3-vlr.las': las(2, 3, cloud, vlrs=(0, 12), extra=2),
    'v13-f5.las': las(3, 5, cloud),
    'v14-f6.las': las(4, 6, cloud),
    'v14-f10-vlr.las': las(4, 10, cloud, vlrs=(5,)),
})

good = rich_mesh()
counts = 4 + 7 + 12  # Model, Tag "abc", three colours/group fields
write(ROOT / 'tests/data/malformed-mesh', {
    'empty-file.dsp': b'',
    'header-only.dsp': good[:38],
    'cut-in-points.dsp': good[:150],
    'cut-in-labels.dsp': good[:-7],
    'point-count-huge.dsp': good[:counts + 4] + i32(0x7FFFFFFF) + good[counts + 8:],
    'triangle-count-negative.dsp': good[:counts] + i32(-5) + good[counts + 4:],
    'label-count-huge.dsp': good[:counts + 16] + i32(0x10000000) + good[counts + 20:],
    'tag-type-array.dsp': mesh(tag=u16(0x2005) + f64(1)),
    'tag-type-object.dsp': mesh(tag=u16(9) + i32(0)),
    'index-np-plus-1.dsp': mesh(indices=(1, 2, 4)),
    'index-negative.dsp': mesh(indices=(-1, 2, 3)),
    'set-elements-huge.dsp': mesh(ntp=1, tail=empty_set() + u16(1) + i32(0x40000000) + i32(1) + i32(0) + u16(0)),
    'set-count-mismatch.dsp': mesh(ntp=1, tail=empty_set() + u16(1) + i32(0) + i32(1) + i32(3) + u16(0)),
    'trailing-byte.dsp': mesh() + b'\0',
    'corner-x-nan.dsp': mesh(corner=(float('nan'), 0, 10)),
    'corner-y-infinite.dsp': mesh(corner=(0, float('-inf'), 10)),
    'corner-z-nan.dsp': mesh(corner=(0, 0, float('nan'))),
})
good = rich_point_list()
write(ROOT / 'tests/data/malformed-pointlist', {
    'empty-file.ptl': b'',
    'cut-in-points.ptl': good[:120],
    'cut-in-class-properties.ptl': good[:-3],
    'count-huge.ptl': point_list(n=0x7FFFFFFF),
    'count-negative.ptl': point_list(n=-2),
    'tag-unknown-type.ptl': point_list(tag=u16(14) + i32(0)),
    'trailing-bytes.ptl': point_list() + b'\0\0',
})
LX = b'<?xml version="1.0" encoding="UTF-8"?>\n<LandXML xmlns="http://www.landxml.org/schema/LandXML-1.2" version="1.2">\n'
TIN = (b'<Surfaces><Surface name="S"><SourceData><Boundaries><Boundary bndType="outer"><PntList3D>'
       b'0 0 1 0 10 1 10 10 1 0 0 1</PntList3D></Boundary></Boundaries><Breaklines><Breakline>'
       b'<PntList3D>1 1 1 2 2 2</PntList3D></Breakline></Breaklines></SourceData>'
       b'<Definition surfType="TIN"><Pnts><P id="7">4500000.125 500000.5 100</P>'
       b'<P id="-2">4500000 500010 101</P><P id="30">4500010 500000 102</P></Pnts>'
       b'<Faces><F n="0 0 0">7 -2 30</F><F i="1">30 -2 7</F></Faces></Definition></Surface></Surfaces>')
write(ROOT / 'fuzz/corpus/landxml', {
    'tin.xml': LX + TIN + b'\n</LandXML>\n',
    'feet-survey.xml': LX + b'<Units><Imperial linearUnit="USSurveyFoot"/></Units><CgPoints>'
                       b'<CgPoint name="1">1 2 3</CgPoint><CgPoint>4 5</CgPoint></CgPoints>' + TIN + b'</LandXML>',
    'prefixed-1.0.xml': b'<x:LandXML xmlns:x="http://www.landxml.org/schema/LandXML-1.0"><x:Surfaces>'
                        b'<x:Surface name="A"><x:Definition surfType="TIN"><x:Pnts><x:P id="1">0 0 0</x:P>'
                        b'<x:P id="2">0 1 0</x:P><x:P id="3">1 0 0</x:P></x:Pnts><x:Faces><x:F>1 2 3</x:F>'
                        b'</x:Faces></x:Definition></x:Surface></x:Surfaces></x:LandXML>',
})
