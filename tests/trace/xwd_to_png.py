#!/usr/bin/env python3
"""xwd_to_png.py SCREEN.xwd OUT.png [WIDTH HEIGHT]

Turns the screen of an X server (the XWD file that `Xvfb -fbdir` keeps, or
what `xwd` writes) into a PNG file of its top-left WIDTH x HEIGHT pixels, so
that kximgdiff can compare a window with a frame the program wrote."""
import struct
import sys
import zlib


def read_xwd(path):
    data = open(path, 'rb').read()
    fields = struct.unpack('>25I', data[:100])
    header_size, version, pixmap_format, depth, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14:17]
    colormap_entries = fields[19]  # ncolors: XWDColor records of 12 bytes
    if version != 7 or pixmap_format != 2 or bits_per_pixel not in (24, 32):
        sys.exit('xwd_to_png: %s: not a 24- or 32-bit ZPixmap XWD file' % path)
    start = header_size + 12 * colormap_entries
    step = bits_per_pixel // 8
    order = '<' if byte_order == 0 else '>'

    def shift(mask):
        return (mask & -mask).bit_length() - 1

    shifts = [shift(m) for m in (red_mask, green_mask, blue_mask)]
    rows = []
    for y in range(height):
        line = data[start + y * bytes_per_line:start + y * bytes_per_line + width * step]
        if step == 4:
            pixels = struct.unpack(order + '%dI' % width, line)
        else:
            pixels = [int.from_bytes(line[i:i + 3], 'little' if order == '<' else 'big')
                      for i in range(0, len(line), 3)]
        row = bytearray()
        for p in pixels:
            row += bytes(((p >> s) & 0xFF) for s in shifts)
        rows.append(bytes(row))
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body +
                struct.pack('>I', zlib.crc32(kind + body) & 0xFFFFFFFF))
    raw = b''.join(b'\0' + row[:width * 3] for row in rows[:height])
    with open(path, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n')
        out.write(chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b'IDAT', zlib.compress(raw)))
        out.write(chunk(b'IEND', b''))


def main():
    if len(sys.argv) not in (3, 5):
        sys.exit(__doc__)
    width, height, rows = read_xwd(sys.argv[1])
    if len(sys.argv) == 5:
        width, height = min(width, int(sys.argv[3])), min(height, int(sys.argv[4]))
    write_png(sys.argv[2], width, height, rows)


main()
