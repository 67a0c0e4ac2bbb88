"""Reads back the text an export keeps, as other programs would, and fails when any of it
holds a line break, a control character or a key that the export did not write.

    check_metadata_text.py FILE...      exit 0, 1 naming the fault, or 77 without tifffile
"""
import struct
import sys
import xml.etree.ElementTree as ElementTree

IMAGEJ_KEYS = {"ImageJ", "frames", "finterval", "unit", "loop"}
# From ImageJ's own metadata tags, beside the description's keys.
IMAGEJ_TAG_KEYS = {"Info", "Labels", "Properties"}


def one_line(text, where):
    if any(c < " " or c == "\x7f" for c in text):
        raise ValueError(f"{where}: holds a control character in {text!r}")


def printable_ascii(text, where):
    if isinstance(text, bytes):
        text = text.decode("latin-1")
    bad = [c for c in text if not " " <= c <= "~"]
    if bad:
        raise ValueError(f"{where}: holds {bad!r} in {text!r}")


def png_texts(path):
    with open(path, "rb") as file:
        data = file.read()
    at, texts = 8, []
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        if kind == b"tEXt":
            texts.append(data[at + 8:at + 8 + length].split(b"\0", 1)[1])
        at += 12 + length
    return texts


def pnm_comment(path):
    with open(path, "rb") as file:
        lines = file.read(4096).split(b"\n")
    if not lines[1].startswith(b"# ") or len(lines[2].split()) != 2 or lines[3] != b"255":
        raise ValueError(f"{path}: header broken: {lines[:4]!r}")
    return lines[1][2:]


def check(path):
    if path.endswith(".png"):
        for text in png_texts(path):
            printable_ascii(text, path + " tEXt")
    elif path.endswith(".pgm") or path.endswith(".ppm"):
        printable_ascii(pnm_comment(path), path + " comment")
    elif path.endswith(".ome.tif"):
        import tifffile
        with tifffile.TiffFile(path) as tiff:
            ElementTree.fromstring(tiff.pages[0].description.encode("utf-8"))
    else:
        import tifffile
        with tifffile.TiffFile(path) as tiff:
            description = tiff.pages[0].description
            for line in description.split("\n"):
                printable_ascii(line, path + " description")
            metadata = tiff.imagej_metadata
            if metadata is not None:
                unknown = {k for k in metadata if k not in IMAGEJ_KEYS | IMAGEJ_TAG_KEYS and
                           not k.startswith("pandry_")}
                if unknown or metadata["frames"] != len(tiff.pages):
                    raise ValueError(f"{path}: ImageJ keys {sorted(metadata)}")
                if len(metadata.get("Labels", [])) != len(tiff.pages):
                    raise ValueError(f"{path}: {len(metadata.get('Labels', []))} slice labels")
                for label in metadata["Labels"]:
                    one_line(label, path + " slice label")
                for key, value in metadata.get("Properties", {}).items():
                    one_line(key + value, path + " property")


def main():
    try:
        import tifffile  # noqa: F401
    except ImportError:
        print("tifffile is not installed")
        return 77
    for path in sys.argv[1:]:
        try:
            check(path)
        except Exception as fault:  # every fault is the test's finding
            print(f"{path}: {fault}")
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
