"""Screen shots for the GUI tests: the X root window (xwd) cut to a window's rectangle and written
as PNG with the standard library only (zlib), so that no image tool is needed."""
import struct
import subprocess
import zlib


def _png(path, width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    raw = b"".join(b"\x00" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        f.write(chunk(b"IEND", b""))


def _shift(mask):
    shift = 0
    while mask and not mask & 1:
        mask >>= 1
        shift += 1
    return shift


def grab(path, rect=None, margin=0):
    """Writes the screen, or the part `rect` = (left, top, right, bottom) of it, to `path` (PNG).
    Returns False when the screen could not be read."""
    dump = subprocess.run(["xwd", "-root", "-silent"], capture_output=True)
    if dump.returncode != 0 or len(dump.stdout) < 100:
        return False
    data = dump.stdout
    fields = struct.unpack(">25I", data[:100])
    header_size, _, pixmap_format, depth, width, height = fields[0:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14:17]
    ncolors = fields[19]
    if pixmap_format != 2 or bits_per_pixel not in (24, 32) or depth < 24:
        return False
    start = header_size + 12 * ncolors
    left, top, right, bottom = (0, 0, width, height) if rect is None else rect
    left, top = max(0, left - margin), max(0, top - margin)
    right, bottom = min(width, right + margin), min(height, bottom + margin)
    if right <= left or bottom <= top:
        return False
    step = bits_per_pixel // 8
    order = "<I" if byte_order == 0 else ">I"
    rs, gs, bs = _shift(red_mask), _shift(green_mask), _shift(blue_mask)
    rows = []
    for y in range(top, bottom):
        line = data[start + y * bytes_per_line: start + (y + 1) * bytes_per_line]
        out = bytearray()
        for x in range(left, right):
            chunk = line[x * step: x * step + step]
            value = struct.unpack(order, chunk + b"\x00" * (4 - step))[0]
            out += bytes(((value & red_mask) >> rs, (value & green_mask) >> gs, (value & blue_mask) >> bs))
        rows.append(bytes(out))
    _png(path, right - left, bottom - top, rows)
    # A window that never painted shows as one flat colour: not a usable picture.
    return len(set(b"".join(rows)[i:i + 3] for i in range(0, len(rows[0]) * len(rows), 3 * 97))) > 1
