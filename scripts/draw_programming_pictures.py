# Draws the four pictures of the programming dialog (data/home/Binn/downImg0-3.bmp):
# 0 waiting for the device, 1 and 2 the transfer animation, 3 done. 24-bit BMP,
# drawn supersampled in plain Python so the files can be made again anywhere.
#   python3 scripts/draw_programming_pictures.py data/home/Binn
import math, struct, sys
W, H, S = 128, 96, 4  # size and supersampling

def bmp(path, px):
    row = (W * 3 + 3) & ~3
    data = bytearray()
    for y in range(H - 1, -1, -1):
        line = bytearray()
        for x in range(W):
            r, g, b = px[y][x]
            line += bytes((b, g, r))
        line += b'\0' * (row - W * 3)
        data += line
    header = struct.pack('<2sIHHI', b'BM', 54 + len(data), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, W, H, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    open(path, 'wb').write(header + info + data)

def in_round_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1: return False
    cx = min(max(x, x0 + r), x1 - r); cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

def remote(x, y):
    # body of the remote, its display and buttons; returns a colour or None
    if in_round_rect(x, y, 18, 14, 52, 90, 7):
        if in_round_rect(x, y, 23, 24, 47, 40, 2): return (150, 200, 160)  # display
        for bx, by in ((28, 50), (42, 50), (28, 62), (42, 62), (28, 74), (42, 74)):
            if (x - bx) ** 2 + (y - by) ** 2 <= 16: return (200, 205, 215)
        if (x - 35) ** 2 + (y - 82) ** 2 <= 20: return (220, 60, 60)  # power button
        return (70, 76, 90)
    if in_round_rect(x, y, 31, 8, 39, 16, 3): return (120, 30, 30)  # IR window
    return None

def arc(x, y, cx, cy, r, w, a0, a1):
    d = math.hypot(x - cx, y - cy)
    if abs(d - r) > w / 2: return False
    a = math.degrees(math.atan2(cy - y, x - cx))
    return a0 <= a <= a1

def picture(kind):
    def colour(x, y):
        c = remote(x, y)
        if c: return c
        if kind in (1, 2):
            waves = 2 if kind == 1 else 3
            for i in range(waves):
                if arc(x, y, 40, 16, 14 + 12 * i, 4, 5, 85): return (40, 110, 220)
        if kind == 0:
            # a plug that is not connected
            if 78 <= x <= 104 and 40 <= y <= 56: return (110, 110, 110)
            if 104 <= x <= 112 and (43 <= y <= 46 or 50 <= y <= 53): return (160, 160, 160)
            if 64 <= x <= 78 and 46 <= y <= 50: return (90, 90, 90)
            if arc(x, y, 96, 70, 9, 3, -360, 360) or (abs((x - 96) + (y - 70)) <= 2 and abs(x - 96) <= 6):
                return (220, 50, 50)
        if kind == 3:
            # a tick
            if abs((y - 60) - (x - 74)) <= 3 and 74 <= x <= 86: return (30, 160, 60)
            if abs((y - 72) + (x - 86) * 1.4) <= 3.5 and 86 <= x <= 112: return (30, 160, 60)
        return None
    px = []
    for y in range(H):
        row = []
        for x in range(W):
            acc = [0, 0, 0]
            for sy in range(S):
                for sx in range(S):
                    c = colour(x + (sx + 0.5) / S, y + (sy + 0.5) / S) or (255, 255, 255)
                    for i in range(3): acc[i] += c[i]
            row.append(tuple(v // (S * S) for v in acc))
        px.append(row)
    return px

out = sys.argv[1]
for k in range(4):
    bmp(f'{out}/downImg{k}.bmp', picture(k))
