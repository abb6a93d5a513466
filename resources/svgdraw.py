"""Shapes, colours and the picture table shared by Brelvan's picture drawings (draw_pictures.py).

Each function returns SVG text; add() files a finished picture under its name.
"""

import math

INK = "#1c1c1c"  # schematic lines
FONT = "DejaVu Sans"
METAL = "#a7adb2"  # tinned leads
METAL_DARK = "#5f666b"
GOLD = "#d9a92e"
GOLD_DARK = "#8a6510"
HOST_FILL = "#dde9fb"  # host-side parts (pins, ports) are pale blue
HOST_EDGE = "#3d5f8f"
CHIP_FILL_TOP = "#fbf8ee"  # logic parts on the board: a light body, so the name drawn over it reads
CHIP_FILL_BOTTOM = "#e9e1c8"
CHIP_EDGE = "#5a5140"

pictures = {}


def num(v):
    if isinstance(v, str):
        return v
    r = round(float(v), 2)
    if r == int(r):
        return str(int(r))
    return ("%.2f" % r).rstrip("0").rstrip(".")


def attrs(**kw):
    parts = []
    for k, v in kw.items():
        if v is None:
            continue
        k = k.rstrip("_").replace("_", "-")
        parts.append('%s="%s"' % (k, num(v)))
    return " ".join(parts)


def pts(points):
    return " ".join("%s,%s" % (num(x), num(y)) for x, y in points)


def line(x1, y1, x2, y2, stroke=INK, width=3, cap="butt", **kw):
    return "<line %s/>" % attrs(x1=x1, y1=y1, x2=x2, y2=y2, stroke=stroke, stroke_width=width,
                                stroke_linecap=cap, **kw)


def polyline(points, stroke=INK, width=3, cap="round", join="round", fill="none", **kw):
    return '<polyline points="%s" %s/>' % (pts(points), attrs(
        fill=fill, stroke=stroke, stroke_width=width, stroke_linecap=cap, stroke_linejoin=join, **kw))


def polygon(points, fill=INK, stroke=None, width=None, join="round", **kw):
    return '<polygon points="%s" %s/>' % (pts(points), attrs(
        fill=fill, stroke=stroke, stroke_width=width,
        stroke_linejoin=join if stroke else None, **kw))


def rect(x, y, w, h, fill="none", stroke=None, width=None, r=None, **kw):
    return "<rect %s/>" % attrs(x=x, y=y, width=w, height=h, rx=r, ry=r, fill=fill, stroke=stroke,
                                stroke_width=width, **kw)


def circle(cx, cy, r, fill="none", stroke=None, width=None, **kw):
    return "<circle %s/>" % attrs(cx=cx, cy=cy, r=r, fill=fill, stroke=stroke, stroke_width=width,
                                  **kw)


def ellipse(cx, cy, rx, ry, fill="none", stroke=None, width=None, **kw):
    return "<ellipse %s/>" % attrs(cx=cx, cy=cy, rx=rx, ry=ry, fill=fill, stroke=stroke,
                                   stroke_width=width, **kw)


def path(d, fill="none", stroke=None, width=None, cap=None, join=None, **kw):
    return '<path d="%s" %s/>' % (d, attrs(fill=fill, stroke=stroke, stroke_width=width,
                                            stroke_linecap=cap, stroke_linejoin=join, **kw))


def text(x, y, s, size=8, fill=INK, anchor="middle", weight=None, family=FONT, **kw):
    s = s.replace("&", "&amp;").replace("<", "&lt;")
    return "<text %s>%s</text>" % (attrs(x=x, y=y, font_family=family, font_size=size,
                                         font_weight=weight, fill=fill, text_anchor=anchor, **kw), s)


def group(body, transform=None, **kw):
    return "<g %s>%s</g>" % (attrs(transform=transform, **kw), "".join(body))


def linear(gid, stops, x1=0, y1=0, x2=0, y2=1):
    s = "".join('<stop offset="%s" stop-color="%s"%s/>' % (
        num(o), c, (' stop-opacity="%s"' % num(a)) if a is not None else "")
        for o, c, a in [st if len(st) == 3 else (st[0], st[1], None) for st in stops])
    return '<linearGradient id="%s" %s>%s</linearGradient>' % (
        gid, attrs(x1=x1, y1=y1, x2=x2, y2=y2), s)


def radial(gid, stops, cx=0.5, cy=0.5, r=0.5, fx=None, fy=None):
    s = "".join('<stop offset="%s" stop-color="%s"%s/>' % (
        num(o), c, (' stop-opacity="%s"' % num(a)) if a is not None else "")
        for o, c, a in [st if len(st) == 3 else (st[0], st[1], None) for st in stops])
    return '<radialGradient id="%s" %s>%s</radialGradient>' % (
        gid, attrs(cx=cx, cy=cy, r=r, fx=fx, fy=fy), s)


def add(name, w, h, body, defs=()):
    assert name == name.upper(), name
    assert name not in pictures, name
    d = "<defs>%s</defs>\n" % "".join(defs) if defs else ""
    content = "\n".join(body) if isinstance(body, (list, tuple)) else body
    pictures[name] = (
        '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">\n'
        "%s%s\n</svg>\n" % (w, h, w, h, d, content))


def arrow(x0, y0, x1, y1, colour=INK, width=2, head=6, half=3.2):
    """A line from (x0, y0) whose arrow head ends at (x1, y1)."""
    dx, dy = x1 - x0, y1 - y0
    n = math.hypot(dx, dy)
    ux, uy = dx / n, dy / n
    bx, by = x1 - head * ux, y1 - head * uy
    return (line(x0, y0, bx + ux, by + uy, colour, width, "round") +
            polygon([(x1, y1), (bx - half * uy, by + half * ux), (bx + half * uy, by - half * ux)],
                    colour))


def text_width(s, size):
    """Rough advance width of DejaVu Sans text, for overlines and centring decorations."""
    narrow = "il1.,:;|'!I()[]"
    wide = "MWmw"
    w = 0.0
    for ch in s:
        if ch in narrow:
            w += 0.32
        elif ch in wide:
            w += 0.9
        elif ch.isupper():
            w += 0.7
        else:
            w += 0.61
    return w * size


def label(x, y, s, size, fill, anchor, overline=False):
    """A pin label centred vertically on y; an overline marks an active-low pin."""
    out = [text(x, y + size * 0.36, s, size, fill, anchor)]
    if overline:
        tw = text_width(s, size)
        x0 = {"start": x, "middle": x - tw / 2, "end": x - tw}[anchor]
        out.append(line(x0, y - size * 0.55, x0 + tw, y - size * 0.55, fill, 0.8))
    return "".join(out)


def lead(x1, y1, x2, y2, width=3.2):
    """A tinned wire lead with a darker edge."""
    return (line(x1, y1, x2, y2, METAL_DARK, width + 1.4) +
            line(x1, y1, x2, y2, METAL, width) +
            line(x1, y1 - width * 0.2, x2, y2 - width * 0.2, "#e4e7ea", width * 0.3))
