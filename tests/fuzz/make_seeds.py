#!/usr/bin/env python3
"""Writes the starting corpora of the fuzz harnesses (committed under
tests/fuzz/corpus; run again only to change them). Crash inputs found by the
fuzzers are added beside them by hand, named crash-*.
    make_seeds.py CORPUS_DIR VORN_CHANNEL_TOOL SKIN_DIR BAD_ARCHIVES_DIR
"""
import base64
import io
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

CORPUS, CHANNEL_TOOL, SKIN, BAD = sys.argv[1:5]
CAFE_KEY = struct.pack("<II", 0x5A3C9E17, 0xC4D2816B)


def put(harness, name, data):
    folder = os.path.join(CORPUS, harness)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def client_version():
    good = {"success": True, "data": {"downloadUrl": "https://dl.example.com/pkg/velto.7z?v=1",
                                       "clientVersion": "2.4.1", "apkSize": "104857600",
                                       "crc": "3735928559"}}
    put("client_version", "ok", "HTTP/1.1 200\r\n\r\n" + json.dumps(good))
    put("client_version", "ok-bare", json.dumps(good))
    put("client_version", "comments", '/* c */ {"success": true, // x\n "data": {"downloadUrl": "u",'
        ' "apkSize": " -12x", "crc": "+99999999999999999999999"}}')
    put("client_version", "not-success", '{"success": false, "data": {}}')
    put("client_version", "no-url", '{"success": true, "data": {"downloadUrl": ""}}')
    put("client_version", "bad-number", '{"success": true, "data": {"downloadUrl": "u",'
        ' "apkSize": "abc", "crc": "1"}}')
    put("client_version", "nested", "[" * 2000)
    put("client_version", "decimal", " \t-9223372036854775808")


def cafe_document(doc):
    raw = doc.encode("utf-8")
    scrambled = bytes(b ^ CAFE_KEY[i % 8] for i, b in enumerate(raw))
    return base64.b64encode(scrambled).decode("ascii")


def cafe_answer():
    doc = json.dumps({"guid": "CAFE-0001", "bar_charge": {"charge_type": "1", "charge_id": "c9"},
                      "bar_manage": {"manage_type": "2", "manage_id": "m7"}})
    put("cafe_answer", "ok", 'junk CXR_LOC_JSONP({"data": "%s", "x": 1}) tail' % cafe_document(doc))
    put("cafe_answer", "wrong-types", 'CXR_LOC_JSONP({"data": "%s"})'
        % cafe_document('{"guid": 1, "bar_charge": [], "bar_manage": {"manage_id": null}}'))
    put("cafe_answer", "not-json", "CXR_LOC_JSONP(not json)")
    put("cafe_answer", "no-data", 'CXR_LOC_JSONP({"data": 5})')
    put("cafe_answer", "no-close", "CXR_LOC_JSONP({}")
    put("cafe_answer", "base64-padding", 'CXR_LOC_JSONP({"data": "aGk=x"})')


def channel_file():
    tmp = tempfile.mkdtemp()
    try:
        for name, text in (("ok", "[Public]\r\nchannel=velto_001\r\n"),
                           ("long", "[Public]\r\nchannel=" + "x" * 300 + "\r\n"),
                           ("blocks", "[Public]\r\nchannel=abcdefgh\r\n12")):
            plain, cipher = os.path.join(tmp, "p"), os.path.join(tmp, "c")
            with open(plain, "w", newline="") as f:
                f.write(text)
            subprocess.run([CHANNEL_TOOL, "encrypt", "--key", "morvek37", plain, cipher],
                           check=True, stdout=subprocess.DEVNULL)
            with open(cipher, "rb") as f:
                put("channel_file", name, f.read())
    finally:
        shutil.rmtree(tmp)
    put("channel_file", "short-tail", b"\x01\x02\x03")


def report_body():
    fields = [b"guid-1", b"chan\"nel", b"00-11-22", b"caf\\e", b"\t\r\n", b"\x01\x1f",
              "中文".encode("gbk"), b"\x7f\x80", b"\x01\x00\x00\x00", b"\xff\xff\xff\x7f",
              b"\x00\x00\x00\x80", b"check  environment \"quoted\"\tend"]
    put("report_body", "fields", b"\xff".join(fields))
    put("report_body", "empty", b"")


def layout():
    for name in sorted(os.listdir(SKIN)):
        if name.endswith(".xml"):
            with open(os.path.join(SKIN, name), "rb") as f:
                put("layout", name, f.read())
    put("layout", "deep.xml", "<Window>" + "<VerticalLayout>" * 80 + "</VerticalLayout>" * 80
        + "</Window>")
    put("layout", "attributes.xml", '<Window size="99999,-5" caption="0,0,0,30" roundcorner="3,3"'
        ' mininfo="a,b"><Font name="x" size="600" bold="TRUE" default="true"/>'
        '<Label bkimage="file=\'a.png\' dest=\'1,2,99999999999999,-4\'" textcolor="#FF00ff00"'
        ' align="vcenter center right" width="-7"/></Window>')


def zip_archive():
    entries = [("a", b"alpha"), ("skin.xml", b"<Window/>" * 20), ("img/b.png", bytes(range(256))),
               ("\u4e2d.txt", "中".encode("utf-8"))]
    for method, tag in ((zipfile.ZIP_STORED, "stored"), (zipfile.ZIP_DEFLATED, "deflated")):
        buf = io.BytesIO()
        with zipfile.ZipFile(buf, "w", method) as z:
            for name, data in entries:
                z.writestr(name, data)
        put("zip_archive", tag + ".zip", buf.getvalue())
    data = bytearray(buf.getvalue())
    put("zip_archive", "cut.zip", data[:len(data) // 2])
    put("zip_archive", "bad-crc.zip", put_stored_crc_damage(entries))


def put_stored_crc_damage(entries):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_STORED) as z:
        for name, data in entries:
            z.writestr(name, data)
    data = bytearray(buf.getvalue())
    at = data.find(b"alpha")
    data[at] ^= 1
    return data


def lzw_literals(indices, min_code):
    """LZW data that only ever emits literals, with a clear code before the
    table would grow: valid for any decoder."""
    clear, end = 1 << min_code, (1 << min_code) + 1
    width = min_code + 1
    chunk = max(1, (1 << min_code) - 3)
    codes = []
    for i in range(0, len(indices), chunk):
        codes.append(clear)
        codes.extend(indices[i:i + chunk])
    codes.append(end)
    bits, count, out = 0, 0, bytearray()
    for c in codes:
        bits |= c << count
        count += width
        while count >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            count -= 8
    if count:
        out.append(bits & 0xFF)
    blocks = bytearray([min_code])
    for i in range(0, len(out), 255):
        part = out[i:i + 255]
        blocks += bytes([len(part)]) + part
    return bytes(blocks + b"\x00")


def gif(width, height, frames, loop=None, palette_bits=2):
    n = 1 << palette_bits
    palette = b"".join(bytes([(i * 85) & 0xFF, (i * 40) & 0xFF, 255 - i]) for i in range(n))
    out = bytearray(b"GIF89a" + struct.pack("<HH", width, height))
    out += bytes([0x80 | (palette_bits - 1), 0, 0]) + palette
    if loop is not None:
        out += b"\x21\xff\x0bNETSCAPE2.0\x03\x01" + struct.pack("<H", loop) + b"\x00"
    for f in frames:
        left, top, w, h = f["rect"]
        if "disposal" in f or "transparent" in f:
            packed = (f.get("disposal", 0) << 2) | (1 if "transparent" in f else 0)
            out += b"\x21\xf9\x04" + bytes([packed]) + struct.pack("<H", f.get("delay", 5))
            out += bytes([f.get("transparent", 0), 0])
        flags = 0x40 if f.get("interlaced") else 0
        local = f.get("local")
        if local:
            flags |= 0x80 | (local - 1)
        out += b"\x2c" + struct.pack("<HHHH", left, top, w, h) + bytes([flags])
        if local:
            out += bytes(range(3 * (1 << local)))
        indices = [(x + y) % n for y in range(h) for x in range(w)]
        out += lzw_literals(indices, max(2, palette_bits))
    return bytes(out + b"\x3b")


def gif_seeds():
    put("gif", "still.gif", gif(4, 3, [{"rect": (0, 0, 4, 3)}]))
    anim = gif(16, 12, [
        {"rect": (0, 0, 16, 12), "disposal": 1},
        {"rect": (2, 2, 8, 6), "disposal": 2, "transparent": 1},
        {"rect": (4, 3, 10, 8), "disposal": 3, "interlaced": True, "local": 3},
        {"rect": (12, 10, 9, 9), "disposal": 0, "delay": 0},
        {"rect": (40, 40, 2, 2)},
    ], loop=0, palette_bits=3)
    put("gif", "animated.gif", anim)
    put("gif", "cut.gif", anim[:len(anim) * 2 // 3])
    put("gif", "big-palette.gif", gif(20, 20, [{"rect": (0, 0, 20, 20)}], palette_bits=8))


def image_header():
    with open(os.path.join(SKIN, "Close.png"), "rb") as f:
        put("image_header", "close.png", f.read()[:64])
    put("image_header", "still.gif", gif(4, 3, [{"rect": (0, 0, 4, 3)}]))
    jpeg = (b"\xff\xd8\xff\xe0" + struct.pack(">H", 16) + b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01"
            b"\x00\x00\xff\xff\xc0" + struct.pack(">HBHH", 17, 8, 600, 800) + b"\x03")
    put("image_header", "frame.jpg", jpeg)
    bmp = b"BM" + struct.pack("<IHHI", 70, 0, 0, 54) + struct.pack("<IiiHH", 40, 8, -8, 1, 32)
    put("image_header", "topdown.bmp", bmp + bytes(16))
    core = b"BM" + struct.pack("<IHHI", 26, 0, 0, 26) + struct.pack("<IHHHH", 12, 9000, 2, 1, 24)
    put("image_header", "core.bmp", core)


def split_url():
    for i, url in enumerate(["https://dl.example.com/pkg/velto.7z?v=1&x=/y",
                             "http://dl.example.com", "url= http://a/x https://b/y",
                             "https://h:8443/p", "ftp://x/y", "https:///", "http://"]):
        put("split_url", "url%d" % i, url)


def proxy_config():
    for i, text in enumerate(["127.0.0.1:3128\nreport.example.com",
                              "http=a:1;https=b:2 socks=s:1080\n<local>",
                              "http://[::1]:8080/;user:pw@x:1\n*.example.com:9186",
                              "<local>;*.corp, 10.* https://*.example.com\nintranet",
                              "a:0;b:70000;=c:3;http=\nex*le.c*m"]):
        put("proxy_config", "list%d" % i, text)


def archive_7z():
    for name in ("ok-handmade.7z", "ok-lzma.7z", "ok-lzma2-bcj.7z", "ok-copy.7z", "ok-ppmd.7z",
                 "fail-name-dotdot.7z", "fail-name-device-con.7z", "fail-crc-data-copy.7z",
                 "fail-whole-block-4g.7z", "fail-encrypted-data.7z", "fail-method-bzip2.7z"):
        with open(os.path.join(BAD, name), "rb") as f:
            put("archive_7z", name, f.read())


for make in (client_version, cafe_answer, channel_file, report_body, layout, zip_archive,
             gif_seeds, image_header, split_url, proxy_config, archive_7z):
    make()
