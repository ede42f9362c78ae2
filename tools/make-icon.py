#!/usr/bin/env python3
"""Draws Kestrel's icon (resources/Kestrel.ico): a white K on a rust-coloured disc, at
16x16 and 32x32, 32-bit with alpha. Run it again only to change the picture."""
import struct
import sys

RUST = (0x2E, 0x5C, 0xC0)   # B, G, R
WHITE = (0xFF, 0xFF, 0xFF)


def inside_k(x, y, n):
    """Whether pixel (x, y) of an n-sized icon belongs to the letter."""
    u, v = (x + 0.5) / n, (y + 0.5) / n
    stem = 0.30 <= u <= 0.43 and 0.22 <= v <= 0.78
    w = 0.085
    arm_up = abs((u - 0.43) - (0.50 - v) * 0.9) < w and 0.22 <= v <= 0.52 and u >= 0.40
    arm_down = abs((u - 0.43) - (v - 0.46) * 0.9) < w and 0.46 <= v <= 0.78 and u >= 0.40
    return stem or arm_up or arm_down


def image(n):
    rows = []
    mask_rows = []
    for y in range(n - 1, -1, -1):  # bottom-up, as DIBs are stored
        row = b""
        for x in range(n):
            dx, dy = x + 0.5 - n / 2, y + 0.5 - n / 2
            on_disc = dx * dx + dy * dy <= (n / 2 - 0.3) ** 2
            if not on_disc:
                row += bytes((0, 0, 0, 0))
            elif inside_k(x, y, n):
                row += bytes(WHITE + (255,))
            else:
                row += bytes(RUST + (255,))
        rows.append(row)
        mask_rows.append(bytes((n + 31) // 32 * 4))  # alpha carries the shape
    header = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"".join(rows) + b"".join(mask_rows)


def main(path):
    images = [image(16), image(32)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip((16, 32), images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/Kestrel.ico")
