#!/usr/bin/env python3
"""Writes the harnesses' seed corpora into fuzz/seeds/<harness>/: the XML
texts of the component tests (for both XML harnesses), their registry
texts, and ZIP archives of every method the reader handles (ZIP64
included), with the sample archives."""
import io
import pathlib
import re
import struct
import zipfile

root = pathlib.Path(__file__).resolve().parent.parent
seeds = root / "fuzz" / "seeds"


def write(harness, name, data):
    d = seeds / harness
    d.mkdir(parents=True, exist_ok=True)
    (d / name).write_bytes(data if isinstance(data, bytes) else data.encode("utf-8"))


def c_literals(path):
    """The plain and raw string literals of a C++ file, unescaped."""
    text = path.read_text(encoding="utf-8")
    out = []
    for m in re.finditer(r'R"\((.*?)\)"', text, re.S):
        out.append(m.group(1))
    for m in re.finditer(r'"((?:[^"\\\n]|\\.)*)"', text):
        try:
            out.append(m.group(1).encode("latin-1", "backslashreplace")
                       .decode("unicode_escape"))
        except Exception:
            pass
    return out


SOAP = "http://schemas.xmlsoap.org/soap/envelope/"
XSI = "http://www.w3.org/2001/XMLSchema-instance"

# XML: every literal that looks like a document, and envelopes for the
# harness's own class.
n = 0
for test in ["tests/services/SoapXmlTest.cpp", "tests/services/SoapXmlEncodingTest.cpp",
             "tests/services/SerializerTest.cpp", "tests/services/SoapClientTest.cpp"]:
    for lit in c_literals(root / test):
        if "<" in lit and len(lit) > 3:
            write("soap_xml", "test%03d.xml" % n, lit)
            n += 1
envelopes = {
    "item": '<Name>n &amp; m</Name><Flag>true</Flag><Count>-12</Count><Amount>1.5e3</Amount>'
            '<When>2024-02-29T23:59:59.123+01:00</When><Tags><string>a</string>'
            '<string xsi:nil="true"/></Tags><Child><Name>c</Name></Child>'
            '<Items><FuzzItem><Count>1</Count></FuzzItem><FuzzItem xsi:nil="1"/></Items>',
    "href": '<Child href="#r1"/><Items><FuzzItem href="#r1"/><FuzzItem href="#r2"/></Items>'
            '</item><r id="r1"><Name>shared</Name><Child href="#r2"/></r>'
            '<r id="r2"><![CDATA[x]]></r><item>',
}
for name, inner in envelopes.items():
    write("soap_xml", "envelope_%s.xml" % name,
          '<?xml version="1.0" encoding="utf-8"?>\n<SOAP-ENV:Envelope xmlns:SOAP-ENV="%s" '
          'xmlns:xsi="%s"><SOAP-ENV:Body><item xmlns="urn:fuzz">%s</item></SOAP-ENV:Body>'
          '</SOAP-ENV:Envelope>' % (SOAP, XSI, inner))
write("soap_xml", "fault.xml",
      '<s:Envelope xmlns:s="%s"><s:Body><s:Fault><faultcode>s:Client</faultcode>'
      '<faultstring xml:lang="en">bad</faultstring></s:Fault></s:Body></s:Envelope>' % SOAP)
write("soap_xml", "utf16.xml", ('\ufeff<a xmlns:p="urn:p" p:x="1">t\u00e9</a>').encode("utf-16-le"))
write("soap_xml", "latin1.xml",
      '<?xml version="1.0" encoding="ISO-8859-1"?><a b="\xe9">\xe9<!-- c --><?pi x?></a>'
      .encode("latin-1"))

# The differential harness starts from the same documents.
for seed in sorted((seeds / "soap_xml").iterdir()):
    write("xml_differential", seed.name, seed.read_bytes())

# Registry exports.
n = 0
for lit in c_literals(root / "tests/platform/RegistryTest.cpp"):
    if "REGEDIT4" in lit or "Windows Registry Editor" in lit:
        write("reg_file", "test%03d.reg" % n, lit)
        write("reg_file", "test%03d_utf16.reg" % n,
              b"\xff\xfe" + lit.encode("utf-16-le"))
        n += 1

# ZIP archives.
for sample in (root / "tests/support/vaults/filestore/sample/ItemRevisions").glob("*/*.zip"):
    write("zip_directory", sample.name, sample.read_bytes())
methods = {"stored": zipfile.ZIP_STORED, "deflated": zipfile.ZIP_DEFLATED,
           "bzip2": zipfile.ZIP_BZIP2, "lzma": zipfile.ZIP_LZMA}
for name, method in methods.items():
    for zip64 in (False, True):
        buf = io.BytesIO()
        with zipfile.ZipFile(buf, "w", compression=method, allowZip64=True) as z:
            z.comment = b"archive comment"
            z.writestr("folder/", b"")
            z.writestr("a.txt", b"hello " * 20)
            with z.open("b.bin", "w", force_zip64=zip64) as f:
                f.write(bytes(range(256)) * 2)
        write("zip_directory", "%s%s.zip" % (name, "_zip64" if zip64 else ""), buf.getvalue())


def zip64_end_records(body, directory):
    """An archive whose end record defers every value to its ZIP64 record."""
    offset = len(body)
    end64 = struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, 1, 1,
                        len(directory), offset)
    locator = struct.pack("<IIQI", 0x07064B50, 0, offset + len(directory), 1)
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF,
                      0xFFFFFFFF, 0)
    return body + directory + end64 + locator + end


data = b"payload"
local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 0, 0, 0, 0, len(data), len(data), 1, 0)
record = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 20, 0, 0, 0, 0, 0, len(data),
                     len(data), 1, 0, 0, 0, 0, 0, 0)
write("zip_directory", "zip64_end.zip", zip64_end_records(local + b"x" + data, record + b"x"))
# Two records that point at one local header.
body = local + b"x" + data
both = record + b"x" + record + b"x"
end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 2, 2, len(both), len(body), 0)
write("zip_directory", "overlap.zip", body + both + end)
