#!/usr/bin/env python3
"""A screenshot of the saver against its pictures, scaled here by the centre rule.

Window pixel i of an axis of S pixels shows picture pixel
floor((2i + 1) * P / (2S)) of that axis (P = 640 or 480): the picture pixel
under the window pixel's centre. The screenshot is the whole screen, the
picture filling it (aspect on a 4:3 screen, or fill). It is compared with
each candidate picture (the capture tool's frames around the one the saver
was stopped at) and the one with the fewest differing window pixels is named.

Usage: centre_rule.py SCREENSHOT FRAME.png...
Prints "FRAME WRONG TOTAL" for the closest frame; exits 0 when WRONG is 0.
"""
import subprocess
import sys


def read_rgb(path):
    """Width, height and 8-bit RGB rows of an image, through ImageMagick."""
    out = subprocess.run(["convert", path, "-depth", "8", "-format", "%w %h\n", "-write", "info:-", "rgb:-"],
                         capture_output=True, check=True).stdout
    size, _, pixels = out.partition(b"\n")
    width, height = map(int, size.split())
    return width, height, pixels


def centre(i, picture, window):
    return (2 * i + 1) * picture // (2 * window)


def wrong_pixels(shot, picture, rows, limit):
    """Window pixels in the given rows that differ from the scaled picture;
    stops counting past limit."""
    width, height, screen = shot
    picture_width, picture_height, pixels = picture
    columns = [centre(i, picture_width, width) for i in range(width)]
    wrong = 0
    for y in rows:
        source = centre(y, picture_height, height) * picture_width * 3
        expected = b"".join(pixels[source + 3 * x:source + 3 * x + 3] for x in columns)
        shown = screen[3 * width * y:3 * width * (y + 1)]
        if expected != shown:
            wrong += sum(expected[3 * x:3 * x + 3] != shown[3 * x:3 * x + 3] for x in range(width))
            if wrong > limit:
                break
    return wrong


def main(arguments):
    if len(arguments) < 2:
        sys.exit("usage: centre_rule.py SCREENSHOT FRAME.png...")
    shot = read_rgb(arguments[0])
    width, height, _ = shot
    frames = [(path, read_rgb(path)) for path in arguments[1:]]
    # Every 16th row first, to try the likeliest frame first: the others
    # then stop at their first rows past its count.
    sample = range(0, height, 16)
    frames.sort(key=lambda frame: wrong_pixels(shot, frame[1], sample, width * height))
    best_path, best = None, width * height + 1
    for path, picture in frames:
        wrong = wrong_pixels(shot, picture, range(height), best)
        if wrong < best:
            best_path, best = path, wrong
    print(f"{best_path} {best} {width * height}")
    return 0 if best == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
