#!/usr/bin/env python3
"""Writes the demo package's generated files: the icons (real multi-size .ico
files), the small PDF manual, the data files and the form templates.
The outputs are committed; run this again only to change them. Deterministic."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
FILES = os.path.join(HERE, "files")


def write(relative, data):
    path = os.path.join(FILES, relative) if not relative.startswith("/") else relative
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("latin-1"))


# ---- icons ---------------------------------------------------------------

def key_shape(x, y):
    """A key lying on its side, in a unit square: ring on the left, shaft, two teeth."""
    cx, cy = 0.30, 0.42
    d2 = (x - cx) ** 2 + (y - cy) ** 2
    if 0.10 ** 2 <= d2 <= 0.21 ** 2:
        return True
    if 0.48 <= x <= 0.92 and 0.37 <= y <= 0.47:
        return True
    if 0.74 <= x <= 0.80 and 0.47 <= y <= 0.64:
        return True
    if 0.84 <= x <= 0.90 and 0.47 <= y <= 0.58:
        return True
    return False


def folder_shape(x, y):
    if 0.08 <= x <= 0.45 and 0.18 <= y <= 0.30:
        return "tab"
    if 0.08 <= x <= 0.92 and 0.26 <= y <= 0.84:
        return "body"
    return None


def rounded_square(x, y):
    r = 0.18
    qx = min(max(x, 0.06 + r), 0.94 - r)
    qy = min(max(y, 0.06 + r), 0.94 - r)
    return (x - qx) ** 2 + (y - qy) ** 2 <= r * r


def render(size, paint):
    """paint(x, y) -> (r, g, b, a) or None; 4x4 supersampling."""
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(4):
                for sx in range(4):
                    c = paint((px + (sx + 0.5) / 4) / size, (py + (sy + 0.5) / 4) / size)
                    if c:
                        a = c[3]
                        acc[0] += c[0] * a
                        acc[1] += c[1] * a
                        acc[2] += c[2] * a
                        acc[3] += a
            a = acc[3] / 16
            if acc[3]:
                row.append((round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(a)))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def ico(paint, sizes=(16, 32, 48)):
    images = []
    for size in sizes:
        pixels = render(size, paint)
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        xor = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for (r, g, b, a) in row)
        mask_row = ((size + 31) // 32) * 4
        mask = b""
        for row in reversed(pixels):
            bits = bytearray(mask_row)
            for i, (_, _, _, a) in enumerate(row):
                if a == 0:
                    bits[i // 8] |= 0x80 >> (i % 8)
            mask += bytes(bits)
        images.append((size, header + xor + mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


GOLD = (226, 170, 40, 255)
BLUE = (40, 96, 176, 255)


def paint_key(x, y):
    return GOLD if key_shape(x, y) else None


def paint_program(x, y):
    if key_shape(-0.02 + x * 1.02, y - 0.06) and rounded_square(x, y):
        return GOLD
    return BLUE if rounded_square(x, y) else None


def paint_folder(x, y):
    if key_shape(0.15 + x * 0.9, -0.05 + y * 0.9) and folder_shape(x, y) == "body":
        return BLUE
    part = folder_shape(x, y)
    if part == "tab":
        return (200, 150, 50, 255)
    if part == "body":
        return (240, 196, 80, 255)
    return None


# ---- manual --------------------------------------------------------------

def pdf(lines):
    text = "BT /F1 12 Tf 72 760 Td 16 TL\n"
    for line in lines:
        text += "(" + line.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)") + ") '\n"
    text += "ET\n"
    stream = text.encode("latin-1")
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R "
        b"/Resources << /Font << /F1 5 0 R >> >> >>",
        b"<< /Length " + str(len(stream)).encode() + b" >>\nstream\n" + stream + b"endstream",
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    ]
    out = b"%PDF-1.4\n"
    offsets = []
    for i, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += str(i).encode() + b" 0 obj\n" + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 " + str(len(objects) + 1).encode() + b"\n0000000000 65535 f \n"
    for o in offsets:
        out += ("%010d 00000 n \n" % o).encode()
    out += b"trailer\n<< /Size " + str(len(objects) + 1).encode() + b" /Root 1 0 R >>\nstartxref\n"
    out += str(xref).encode() + b"\n%%EOF\n"
    return out


MANUAL = [
    "Morvane - User Manual",
    "",
    "Morvane keeps track of the keys of a building: who holds which key,",
    "which doors it opens, and when it was handed over or returned.",
    "",
    "1. Start Morvane from the desktop or from the start menu.",
    "2. Enter the persons who hold keys (Persons).",
    "3. Enter the keys and the doors they open (Keys).",
    "4. Record each handover with a form from the Templates folder",
    "   (the German forms are in the Formulare folder).",
    "",
    "Your data lives in the DemoData folder. Reinstalling Morvane keeps it,",
    "and uninstalling Morvane does not delete it.",
    "",
    "Brumo - www.brumo.example",
]


# ---- data and templates --------------------------------------------------

def data_file(kind, records):
    out = b"MORVANE " + kind.encode() + b" 1\r\n"
    for i, record in enumerate(records, 1):
        body = record.encode("latin-1")
        out += struct.pack("<HH", i, len(body)) + body
    return out


def rtf(title, body_lines):
    out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Arial;}}\r\n\\f0\\fs28\\b " + title + "\\b0\\fs22\\par\r\n"
    for line in body_lines:
        out += line + "\\par\r\n"
    return out + "}\r\n"


def html(language, title, columns):
    head = "".join("<th>" + c + "</th>" for c in columns)
    empty = "<tr>" + "<td>&nbsp;</td>" * len(columns) + "</tr>\r\n"
    return ("<!DOCTYPE html>\r\n<html lang=\"" + language + "\">\r\n<head>\r\n<meta charset=\"windows-1252\">\r\n"
            "<title>" + title + "</title>\r\n</head>\r\n<body>\r\n<h1>" + title + "</h1>\r\n"
            "<table border=\"1\">\r\n<tr>" + head + "</tr>\r\n" + empty * 5 + "</table>\r\n</body>\r\n</html>\r\n")


def main():
    write("System/IconData.ico", ico(paint_key))
    write("System/IconFolder.ico", ico(paint_folder))
    write(os.path.join(HERE, "programs", "Morvane.ico"), ico(paint_program))
    write("UserGuide.pdf", pdf(MANUAL))

    write("DemoData/Data.ada", data_file("ADA", ["Main entrance;K-001;3", "Office 2.14;K-014;1",
                                                 "Archive;K-101;2", "Garage;K-201;4"] * 8))
    write("DemoData/Keys.alg", data_file("ALG", ["2012-01-09;K-001;Meyer;out", "2012-01-10;K-014;Novak;out",
                                                 "2012-01-12;K-014;Novak;back"] * 6))
    write("DemoData/Persons.bdb", data_file("BDB", ["Meyer;Anna;Facility", "Novak;Petr;Accounts",
                                                    "Szabo;Eva;Archive"] * 6))

    de = ["Schl\\'fcssel-Nr.: ____________", "T\\'fcr / Raum: ____________", "Empf\\'e4nger: ____________",
          "Datum: ____________", "Unterschrift: ____________"]
    en = ["Key no.: ____________", "Door / room: ____________", "Recipient: ____________",
          "Date: ____________", "Signature: ____________"]
    # The names and folders the installer's settings file looks for: German
    # forms in "Formulare", English ones in "Templates"; with both installed
    # the program is pointed at the English forms (and at the German form 5,
    # which has no English version).
    write("Formulare/Formular1 Ausgabe.rtf", rtf("Schl\\'fcsselausgabe", de))
    write("Formulare/Formular2 Rueckgabe.rtf", rtf("Schl\\'fcsselr\\'fcckgabe", de))
    write("Formulare/Formular3 Verlust, Vernichtung.rtf", rtf("Verlust, Vernichtung", de))
    write("Formulare/Formular5 Zylinder Verlust, Vernichtung.rtf",
          rtf("Zylinder: Verlust, Vernichtung", ["Zylinder-Nr.: ____________"] + de[1:]))
    write("Formulare/HTML/Ausleihuebersicht.htm",
          html("de", "Ausleih&uuml;bersicht", ["Schl&uuml;ssel", "T&uuml;r / Raum", "Empf&auml;nger", "Ausgabe",
                                              "R&uuml;ckgabe"]))
    write("Templates/Form1 Issuance.rtf", rtf("Key issuance", en))
    write("Templates/Form2 Return.rtf", rtf("Key return", en))
    write("Templates/Form3 Lost, Destruction.rtf", rtf("Lost, destruction", en))
    write("Templates/HTML/IssuanceOverview.htm",
          html("en", "Issuance overview", ["Key", "Door / room", "Recipient", "Issued", "Returned"]))


if __name__ == "__main__":
    main()
