#!/usr/bin/env python3
"""Writes HAND-M.CUR, the program's hand pointer: a 32x32 Windows cursor drawn below.

'#' is the outline, '.' the white fill, blank is transparent; the hot spot is the tip of the
pointing finger. The cursor is committed; run this after changing the drawing.
"""
import struct
import sys

DRAWING = """
       ##
      #..#
      #..#
      #..#
      #..#
      #..###
      #..#..###
      #..#..#..##
   ## #..#..#..#.#
  #..##........#..#
  #...#...........#
   #..............#
    #.............#
    #.............#
     #...........#
     #...........#
      #.........#
      #.........#
      ###########
"""
HOT_SPOT = (7, 0)


def main(path):
    rows = DRAWING.strip("\n").split("\n")
    size = 32
    grid = [row.ljust(size)[:size] for row in rows] + [" " * size] * (size - len(rows))
    colour = bytearray()
    mask = bytearray()
    for row in reversed(grid):  # bottom-up, as bitmaps are stored
        bits = 0
        for x, cell in enumerate(row):
            if cell == "#":
                colour += bytes((0, 0, 0, 255))
            elif cell == ".":
                colour += bytes((255, 255, 255, 255))
            else:
                colour += bytes((0, 0, 0, 0))
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask),
                         0, 0, 0, 0)
    image = header + bytes(colour) + bytes(mask)
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, HOT_SPOT[0], HOT_SPOT[1], len(image), 22)
    with open(path, "wb") as out:
        out.write(directory + entry + image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "HAND-M.CUR")
