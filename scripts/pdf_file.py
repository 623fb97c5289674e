"""Writes a PDF file from numbered object bodies: header, objects, cross-reference table, trailer.
Shared by the page generators in this folder."""


def write_pdf(path, objs, version=b"1.7"):
    """`objs` maps object numbers (1 is the catalogue) to bodies, or lists them from 1 on."""
    if not isinstance(objs, dict):
        objs = dict(enumerate(objs, 1))
    out = bytearray(b"%PDF-" + version + b"\n%\xe2\xe3\xcf\xd3\n")
    offsets = {}
    for n in sorted(objs):
        offsets[n] = len(out)
        out += b"%d 0 obj\n" % n + objs[n] + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)
    out += b"".join(b"%010d 00000 n \n" % offsets[n] for n in sorted(objs))
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, xref)
    with open(path, "wb") as f:
        f.write(out)
