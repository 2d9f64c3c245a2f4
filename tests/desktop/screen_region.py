#!/usr/bin/env python3
"""Reads a screenshot region (binary PPM, as `grim -t ppm` writes it) on
standard input and answers one question about it:

  screen_region.py colour          the colour of its top left pixel, "r,g,b"
  screen_region.py contrast        the contrast ratio (WCAG) between its most
                                   common colour (the background) and the
                                   colour that stands out most from it (the text)
  screen_region.py size            its size, "WxH"
  screen_region.py run X Y0 Y1 R,G,B
                                   how many pixels of column X, rows Y0 to Y1,
                                   have that colour
  screen_region.py differs PPM     the largest difference of one colour
                                   channel from the picture in PPM, same size
"""
import sys


def read_ppm(data):
    fields, pos = [], 0
    while len(fields) < 4:  # magic, width, height, maximum
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or fields[3] != b"255":
        sys.exit("screen_region.py: not an 8-bit binary PPM")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:pos + 1 + 3 * width * height]
    return width, height, [tuple(pixels[i:i + 3]) for i in range(0, len(pixels), 3)]


def luminance(colour):
    def linear(c):
        c /= 255
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (linear(c) for c in colour)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def contrast(a, b):
    la, lb = sorted((luminance(a), luminance(b)))
    return (lb + 0.05) / (la + 0.05)


def main():
    width, height, pixels = read_ppm(sys.stdin.buffer.read())
    question = sys.argv[1:]
    if question == ["colour"]:
        print(",".join(map(str, pixels[0])))
    elif question == ["size"]:
        print(f"{width}x{height}")
    elif len(question) == 5 and question[0] == "run":
        x, y0, y1 = map(int, question[1:4])
        colour = tuple(map(int, question[4].split(",")))
        print(sum(pixels[y * width + x] == colour for y in range(y0, y1 + 1)))
    elif question == ["contrast"]:
        background = max(set(pixels), key=pixels.count)
        print(f"{max(contrast(background, p) for p in pixels):.2f}")
    elif len(question) == 2 and question[0] == "differs":
        with open(question[1], "rb") as f:
            w, h, reference = read_ppm(f.read())
        if (w, h) != (width, height):
            sys.exit(f"screen_region.py: {width}x{height} against {w}x{h}")
        print(max(abs(a - b) for p, q in zip(pixels, reference) for a, b in zip(p, q)))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
