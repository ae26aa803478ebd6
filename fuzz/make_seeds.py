#!/usr/bin/env python3
"""Writes the fuzz seed corpora (fuzz/corpus/<target>/) from the demo package:
the packed demo installer (dist/demo/Setup-Morvane.exe, made by `make demo`)
and examples/morvane. Seeds stay small: the installer seeds carry the demo's
language text and script with only the first few payload pieces."""
import os
import struct
import sys
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "fuzz", "corpus")


def marker(name):
    return b"\xF7" + bytes(b ^ 0x55 for b in name.encode("latin-1")) + b"\xF7"


def section(name, data):
    return marker(name) + struct.pack("<I", len(data)) + data


def sections_of(data):
    """Name -> data by walking the chain from the begin marker."""
    start = data.find(marker("Section:BeginningMark"))
    if start < 0:
        sys.exit("no sections in the demo installer")
    found, pos = {}, start
    while pos < len(data):
        close = data.index(b"\xF7", pos + 1)
        name = bytes(b ^ 0x55 for b in data[pos + 1:close]).decode("latin-1")
        (length,) = struct.unpack("<I", data[close + 1:close + 5])
        found[name] = data[close + 5:close + 5 + length]
        pos = close + 5 + length
    return data[:start], found


def items(line):
    # Enough of the comma-text rules for the demo's own lines.
    out, cur, quoted = [], "", False
    for c in line:
        if c == '"':
            quoted = not quoted
        elif c == "," and not quoted:
            out.append(cur)
            cur = ""
        else:
            cur += c
    out.append(cur)
    return dict(i.split("=", 1) for i in out if "=" in i)


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main():
    installer = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "dist", "demo", "Setup-Morvane.exe")
    with open(installer, "rb") as f:
        image, found = sections_of(f.read())
    language = found["Section:Setup.lng"]
    script = zlib.decompress(found["Section:Setup.cmd"]).decode("latin-1")
    payload = zlib.decompress(found["Section:Setup.bin"])

    # A small installer: every non-save line, the first small pieces only.
    lines, small_payload, offset, files, kept = [], b"", 0, [], 0
    for line in script.split("\r\n"):
        if not line:
            continue
        it = items(line)
        if it.get("action") in ("save", "saveifnotexists"):
            size = int(it.get("ComprLen", it["OrigLen"]))
            piece = payload[offset:offset + size]
            offset += size
            if kept < 4 and size < 3000:
                lines.append(line)
                small_payload += piece
                files.append(it["Filename"])
                kept += 1
            continue
        lines.append(line)
    small_script = ("\r\n".join(lines) + "\r\n").encode("latin-1")
    short_language = language[:1200]
    container = (section("Section:BeginningMark", b"") + section("Section:Setup.lng", short_language) +
                 section("Section:Setup.cmd", zlib.compress(small_script, 9)) +
                 section("Section:Setup.bin", zlib.compress(small_payload, 9)))
    stub = b"MZ" + b"\0" * 62 + b"stub image"
    uninstall_list = ("UninstallKey=Morvane (Installation 2026)\r\nLng=EN\r\n" +
                      "".join("file=C:\\Program Files\\Morvane\\%s\r\n" % f.split("\\", 1)[1] for f in files) +
                      "file=C:\\Program Files\\Morvane\\DemoData\\Data.ada\r\n" +
                      "dir=C:\\Program Files\\Morvane\\System\r\ndir=C:\\Program Files\\Morvane\\DemoData\r\n" +
                      "dir=C:\\Program Files\\Morvane\r\n").encode("latin-1")
    uninstaller = (stub + section("Section:BeginningMark", b"") + section("Section:Setup.lng", short_language) +
                   section("Section:Uninst", zlib.compress(uninstall_list)))

    write("section_lookup", "demo_small_installer", stub + container)
    write("section_lookup", "demo_uninstaller", uninstaller)
    write("section_lookup", "demo_cut_in_payload", (stub + container)[:-40])
    write("installer_verify", "demo_small_installer", stub + container)
    write("installer_verify", "demo_uninstaller", uninstaller)

    write("decompress", "demo_script", found["Section:Setup.cmd"])
    write("decompress", "demo_small_payload", zlib.compress(small_payload, 6))
    write("decompress", "demo_uninstall_list", zlib.compress(uninstall_list))
    write("decompress", "empty_text", zlib.compress(b""))

    with open(os.path.join(ROOT, "examples", "morvane", "Setup.lng"), "rb") as f:
        lng = f.read()
    write("language_file", "demo_lng_utf8_keep_lines", b"\x01" + lng[:4000])
    write("language_file", "demo_lng_utf16", b"\x01" + language[:4000])
    write("language_file", "demo_lng_section_part", b"\x00" + language[:3000])
    text8 = lng[3:].decode("utf-8").encode("cp1252", "replace")
    write("language_file", "demo_lng_8bit", b"\x01" + text8[:3000])

    write("command_text", "demo_script", small_script)
    with open(os.path.join(ROOT, "examples", "morvane", "morvane.pkg"), "rb") as f:
        pkg = f.read()
    write("command_text", "demo_package", pkg)
    write("command_text", "quotes", b'5\r\naction=save,"Filename=C:\\a""b c, d",OrigLen= +12,ComprLen=$1F\r\n"open')

    write("uninstall_list", "demo_list_compressed", b"\x00" + zlib.compress(uninstall_list))
    write("uninstall_list", "demo_list_text", b"\x01" + uninstall_list)

    # The demo package with its sources pointing into the fuzz sandbox.
    sandbox_pkg = []
    for line in pkg.decode("latin-1").splitlines():
        it = items(line)
        if it.get("action") == "save":
            line = line.replace("Source=" + it["Source"], "Source=files/Morvane.exe")
        elif it.get("action") == "saveifnotexists":
            line = line.replace("Source=" + it["Source"], "Source=files\\sub\\data.ada")
        elif it.get("action") == "savedir":
            line = line.replace("Source=" + it["Source"], "Source=files")
        sandbox_pkg.append(line)
    write("package_reader", "demo_package", ("\r\n".join(sandbox_pkg) + "\r\n").encode("latin-1"))
    write("package_reader", "compress_flags",
          b"action=save,Source=files/readme.txt,Compress=no,Filename=*PgmPath*\\r.txt\n"
          b"action=savedir,Source=files/sub,Compress=yes,Filename=*PgmPath*\\Data\n"
          b"action=exec,params=aftersetup\n")


if __name__ == "__main__":
    main()
