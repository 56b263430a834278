"""What the real-window test asks of the X server beyond input events.

  x_screen.py shot FILE      waits until the screen holds still, then writes it to FILE as a PNG
  x_screen.py close WINDOW   asks a window to close, as a title bar's close box does (WM_DELETE_WINDOW)

Talks to the server of $DISPLAY through Xlib itself, so that a screenshot
costs a few milliseconds and needs no image tools.
"""
import ctypes
import struct
import sys
import time
import zlib

ALL_PLANES = ctypes.c_ulong(-1)
Z_PIXMAP = 2
CLIENT_MESSAGE = 33
# The screen counts as still when this many grabs in a row, this far apart,
# are the same (a text cursor blinks every half second).
STILL_GRABS = 2
GRAB_INTERVAL = 0.1
STILL_LIMIT = 10.0  # seconds; a screen that never rests is kept as it is then


class XImage(ctypes.Structure):
    # The leading fields of Xlib's XImage, as far as they are read here.
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_char)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
                ("pad", ctypes.c_long * 12)]  # an XEvent is 24 longs


def xlib():
    x = ctypes.CDLL("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    for name in ("XDefaultRootWindow", "XInternAtom"):
        getattr(x, name).restype = ctypes.c_ulong
    x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XDisplayWidth.argtypes = x.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x.XGetImage.restype = ctypes.POINTER(XImage)
    x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                            ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x.XFree.argtypes = [ctypes.c_void_p]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x.XFlush.argtypes = x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    return x


def grab(x, display):
    """The whole screen as rows of RGB bytes."""
    width, height = x.XDisplayWidth(display, 0), x.XDisplayHeight(display, 0)
    image = x.XGetImage(display, x.XDefaultRootWindow(display), 0, 0, width, height, ALL_PLANES, Z_PIXMAP)
    if not image:
        sys.exit("the screen could not be read")
    try:
        if image.contents.bits_per_pixel != 32:
            sys.exit("a screen of %d bits per pixel" % image.contents.bits_per_pixel)
        stride = image.contents.bytes_per_line
        raw = ctypes.string_at(image.contents.data, stride * height)
    finally:
        x.XFree(image.contents.data)
        x.XFree(image)
    # Pixels of 32 bits, blue first in memory: drop the fourth byte, turn to red first.
    rgb = bytearray(width * height * 3)
    pixels = b"".join(raw[row * stride:row * stride + width * 4] for row in range(height))
    rgb[0::3], rgb[1::3], rgb[2::3] = pixels[2::4], pixels[1::4], pixels[0::4]
    return width, height, bytes(rgb)


def png(width, height, rgb):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    line = width * 3
    rows = b"".join(b"\0" + rgb[y * line:(y + 1) * line] for y in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 6)) + chunk(b"IEND", b""))


def shot(x, display, path):
    deadline = time.monotonic() + STILL_LIMIT
    last, same = grab(x, display), 1
    while same < STILL_GRABS and time.monotonic() < deadline:
        time.sleep(GRAB_INTERVAL)
        now = grab(x, display)
        same = same + 1 if now == last else 1
        last = now
    with open(path, "wb") as f:
        f.write(png(*last))


def close(x, display, window):
    event = ClientMessage(type=CLIENT_MESSAGE, window=window, format=32,
                          message_type=x.XInternAtom(display, b"WM_PROTOCOLS", 0))
    event.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    x.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x.XFlush(display)


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("shot", "close"):
        sys.exit(__doc__)
    x = xlib()
    display = x.XOpenDisplay(None)
    if not display:
        sys.exit("no X display")
    try:
        if sys.argv[1] == "shot":
            shot(x, display, sys.argv[2])
        else:
            close(x, display, int(sys.argv[2]))
    finally:
        x.XCloseDisplay(display)


if __name__ == "__main__":
    main()
