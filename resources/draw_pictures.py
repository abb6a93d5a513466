#!/usr/bin/env python3
"""Draws every Brelvan picture as an SVG file in resources/pictures/ and writes resources/pictures.qrc.

The pictures are drawn in code rather than by hand in an editor because many of them share
geometry that must stay identical: a lit LED is laid exactly over its dark LED, each display segment
over its digit, a pressed cap over its button. The component pictures and schematic symbols are
drawn here, the tool-button pictures and the program icon in draw_tool_pictures.py, with the shapes
of svgdraw.py. Change a drawing and run

    python3 resources/draw_pictures.py

then commit the scripts together with the files they wrote. Pictures use only what QtSvg renders
(SVG Tiny 1.2: shapes, paths, gradients, opacity, plain text): no filters, masks or clip paths.

Where contacts sit matters: the board's hover probe maps pointer positions to contacts by fixed
rows and halves of a component, so the stubs are placed on those rows (see the comments at each
drawing).
"""

import math
import os
import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches

from draw_tool_pictures import draw_main_icon, draw_tool_buttons
from svgdraw import (CHIP_EDGE, CHIP_FILL_BOTTOM, CHIP_FILL_TOP, GOLD, GOLD_DARK, HOST_EDGE,
                     HOST_FILL, INK, METAL, METAL_DARK, add, arrow, circle, ellipse, group, label,
                     lead, line, linear, num, path, pictures, polygon, polyline, radial, rect, text,
                     text_width)

HERE = os.path.dirname(os.path.abspath(__file__))
OUT_DIR = os.path.join(HERE, "pictures")


# ----------------------------------------------------------------------------------------------
# Diodes and LEDs, 64 x 64 symbols: anode on the left edge, cathode on the right edge (the probe
# takes the left half for the anode and the right half for the cathode).


def diode_symbol(x, y, size, colour=INK, bar_width=3.5):
    """Filled triangle pointing right with its bar; (x, y) is the middle of the triangle's base."""
    half = size * 0.62
    return (polygon([(x, y - half), (x, y + half), (x + size, y)], colour) +
            line(x + size, y - half - 0.5, x + size, y + half + 0.5, colour, bar_width))


def draw_diode():
    add("DIODE", 64, 64, [
        line(0, 32, 23, 32),
        line(41, 32, 64, 32),
        diode_symbol(22, 32, 20),
    ])


def draw_led_sch():
    add("LED_SCH", 64, 64, [
        line(0, 32, 21, 32),
        line(39, 32, 64, 32),
        diode_symbol(20, 32, 20),
        arrow(27, 15, 35, 4, INK, 2),
        arrow(36, 17, 44, 6, INK, 2),
    ])


def draw_two_colour_led_sch():
    # Anode1 (upper half, the green element) and Anode2 (lower half, the red element) share the
    # cathode on the right.
    green, red = "#1d9a3b", "#d32f2f"
    add("TWO_COLOR_LED_SCH", 64, 64, [
        line(0, 17, 15, 17),
        line(0, 47, 15, 47),
        diode_symbol(14, 17, 14, bar_width=3),
        diode_symbol(14, 47, 14, bar_width=3),
        polyline([(28, 17), (44, 17), (44, 47), (28, 47)], INK, 3, "butt", "miter"),
        line(44, 32, 64, 32),
        circle(44, 32, 3, INK),
        arrow(26, 9, 33, 1.5, green, 1.8, 5, 2.8),
        arrow(32, 11, 39, 3.5, green, 1.8, 5, 2.8),
        arrow(26, 55, 33, 62.5, red, 1.8, 5, 2.8),
        arrow(32, 53, 39, 60.5, red, 1.8, 5, 2.8),
    ])


# LED seen from above: a round dome on its collar, the collar flattened on the cathode side.
LED_W, LED_H = 64, 62
LED_CX, LED_CY = 31, 31
LED_DOME_R = 15.5
LED_COLLAR_R = 19
LED_FLAT_X = LED_CX + 16.5


def led_collar_path():
    dy = math.sqrt(LED_COLLAR_R ** 2 - (LED_FLAT_X - LED_CX) ** 2)
    return "M%s,%s A%s,%s 0 1 0 %s,%s Z" % (
        num(LED_FLAT_X), num(LED_CY - dy), num(LED_COLLAR_R), num(LED_COLLAR_R), num(LED_FLAT_X),
        num(LED_CY + dy))


LED_COLOURS = {
    # name: (dark dome centre, dark dome edge, dark collar, lit centre, lit middle, lit edge, glow)
    "RED": ("#a84747", "#5e1212", "#6a1818", "#fff4f0", "#ff6a55", "#e3170a", "#ff3b2a"),
    "GREEN": ("#4f9a5a", "#10451b", "#17521f", "#f3fff3", "#63f27a", "#11b02f", "#39ff5a"),
    "YELLOW": ("#b3a54a", "#5c520f", "#6a5e14", "#fffff0", "#fff06a", "#f0c800", "#ffe640"),
    "BLUE": ("#5571b8", "#101e5c", "#17276a", "#f2f6ff", "#7fa6ff", "#1f50e8", "#4a7dff"),
    "ORANGE": (None, None, None, "#fff8ec", "#ffb35a", "#f56a00", "#ff8c1a"),
}


def led_dark_dome(gid, centre, edge, collar):
    defs = [radial(gid, [(0, centre), (1, edge)], cx=0.42, cy=0.4, r=0.62, fx=0.36, fy=0.32)]
    body = [
        path(led_collar_path(), collar, "#2a2a2a", 1.2),
        circle(LED_CX, LED_CY, LED_DOME_R, "url(#%s)" % gid, "#262626", 0.8),
        ellipse(LED_CX - 5, LED_CY - 6, 5.5, 3.6, "#ffffff", opacity=0.35,
                transform="rotate(-35 %s %s)" % (num(LED_CX - 5), num(LED_CY - 6))),
    ]
    return defs, body


def draw_leds():
    for colour in ("RED", "GREEN", "YELLOW", "BLUE"):
        centre, edge, collar = LED_COLOURS[colour][:3]
        defs, dome = led_dark_dome("dome", centre, edge, collar)
        add(colour + "_DARK", LED_W, LED_H, [
            lead(0, LED_CY, LED_CX - LED_COLLAR_R + 1, LED_CY),  # anode
            lead(LED_FLAT_X - 1, LED_CY, LED_W, LED_CY),  # cathode
            text(6, LED_CY - 6, "+", 10, "#333333", "middle", "bold"),
        ] + dome, defs)
    for colour in ("RED", "GREEN", "YELLOW", "BLUE", "ORANGE"):
        _, _, _, lit_centre, lit_mid, lit_edge, glow = LED_COLOURS[colour]
        defs = [
            radial("glow", [(0, glow, 0.75), (0.55, glow, 0.35), (1, glow, 0)]),
            radial("lit", [(0, lit_centre), (0.45, lit_mid), (1, lit_edge)], cx=0.45, cy=0.45,
                   r=0.6, fx=0.42, fy=0.4),
        ]
        # Lit overlay: the glow is see-through, the collar and dome cover the dark LED exactly.
        add(colour + "_BRIGHT", LED_W, LED_H, [
            circle(LED_CX, LED_CY, 30, "url(#glow)"),
            path(led_collar_path(), lit_edge, "#2a2a2a", 1.2),
            circle(LED_CX, LED_CY, LED_DOME_R, "url(#lit)", lit_edge, 0.8),
            ellipse(LED_CX - 5, LED_CY - 6, 5.5, 3.6, "#ffffff", opacity=0.55,
                    transform="rotate(-35 %s %s)" % (num(LED_CX - 5), num(LED_CY - 6))),
        ], defs)
    # Two-colour LED: milky dome, Anode1 upper left (green element), Anode2 lower left (red
    # element), common cathode right.
    defs, dome = led_dark_dome("dome", "#fbfbf7", "#c2c2ba", "#d6d6cf")
    add("WHITE_LED_SOCKET", LED_W, LED_H, [
        lead(0, 16, 22, 16),
        lead(0, 46, 22, 46),
        lead(LED_FLAT_X - 1, LED_CY, LED_W, LED_CY),
        circle(5, 9, 2.6, "#1d9a3b", "#0d4a1c", 0.8),
        circle(5, 53, 2.6, "#d32f2f", "#6a1010", 0.8),
    ] + dome, defs)


# ----------------------------------------------------------------------------------------------
# Seven-segment display, 74 x 99: segment k (a..g, dp) has its pin on the left at row k of eight
# equal rows (the probe reads segment rows outside the right fifth).
SEG_W, SEG_H = 74, 99
SEG_L, SEG_R, SEG_T, SEG_M, SEG_B = 31, 55, 15, 48.5, 82
SEG_T_HALF = 3.4
SEG_GAP = 1.1
SEG_SKEW = "translate(%s 0) skewX(-7)" % num(math.tan(math.radians(7)) * SEG_B)


def seg_row(k):
    return (k + 0.5) * SEG_H / 8


def seg_shapes():
    t, g = SEG_T_HALF, SEG_GAP

    def horizontal(y):
        x1, x2 = SEG_L + g, SEG_R - g
        return [(x1, y), (x1 + t, y - t), (x2 - t, y - t), (x2, y), (x2 - t, y + t), (x1 + t, y + t)]

    def vertical(x, y1, y2):
        y1, y2 = y1 + g, y2 - g
        return [(x, y1), (x + t, y1 + t), (x + t, y2 - t), (x, y2), (x - t, y2 - t), (x - t, y1 + t)]

    return {
        "A": horizontal(SEG_T),
        "B": vertical(SEG_R, SEG_T, SEG_M),
        "C": vertical(SEG_R, SEG_M, SEG_B),
        "D": horizontal(SEG_B),
        "E": vertical(SEG_L, SEG_M, SEG_B),
        "F": vertical(SEG_L, SEG_T, SEG_M),
        "G": horizontal(SEG_M),
    }


SEG_DP = (SEG_R + 8.5, SEG_B + 1.5, 3.4)


def segment(letter, **style):
    if letter == "H":
        x, y, r = SEG_DP
        return circle(x, y, r, **style)
    return polygon(seg_shapes()[letter], **style)


def draw_seven_segment():
    unlit = "#3a2323"
    body = [
        rect(13, 1, 60, 97, "#1f1f1f", "#050505", 1, r=3),
        rect(23, 5, 47, 89, "#151515", r=2),
    ]
    names = ["a", "b", "c", "d", "e", "f", "g", "dp"]
    for k, n in enumerate(names):
        y = seg_row(k)
        body.append(lead(0, y, 13.5, y, 2.2))
        body.append(text(15, y + 2.6, n, 7.5, "#a0a0a0", "start"))
    body.append(group([segment(s, fill=unlit) for s in "ABCDEFGH"], SEG_SKEW))
    add("MATRIX", SEG_W, SEG_H, body)

    for s in "ABCDEFGH":
        glow = segment(s, fill="#ff4a30", stroke="#ff4a30", width=3.2, opacity=0.35)
        lit = segment(s, fill="#ff2a1a")
        add("SEG_" + s, SEG_W, SEG_H, [group([glow, lit], SEG_SKEW)])

    sch = [rect(13, 1.5, 59, 96, "none", INK, 1.8)]
    for k, n in enumerate(names):
        y = seg_row(k)
        sch.append(line(0, y, 13, y, INK, 1.8))
        sch.append(text(16, y + 2.8, n, 8, INK, "start"))
    sch.append(group([segment(s, fill="none", stroke=INK, width=1.1) for s in "ABCDEFGH"],
                     SEG_SKEW))
    sch.append(line(72, seg_row(7), 74, seg_row(7), INK, 1.8))
    sch.append(text(70, seg_row(7) + 2.4, "COM", 6, INK, "end"))
    add("SEGMENT7_SCH", SEG_W, SEG_H, sch)


# ----------------------------------------------------------------------------------------------
# Switches, push button, bulb: 64 x 64, Contact1 on the left edge, Contact2 on the right edge.


def switch_plate(fill, edge):
    return rect(10, 13, 44, 38, fill, edge, 1.6, r=6)


def draw_switches():
    terminal_l, terminal_r = (19, 32), (45, 32)
    common = [
        line(10, 32, terminal_l[0], 32, INK, 3),
        line(terminal_r[0], 32, 54, 32, INK, 3),
    ]

    def terminals():
        return [circle(terminal_l[0], terminal_l[1], 3.6, "#ffffff", INK, 2),
                circle(terminal_r[0], terminal_r[1], 3.6, "#ffffff", INK, 2)]

    add("SWITCH_OFF", 64, 64, [
        line(0, 32, 11, 32, INK, 3),
        line(53, 32, 64, 32, INK, 3),
        switch_plate("#f6f3e8", "#77736a"),
    ] + common + [
        line(terminal_l[0] + 2, terminal_l[1] - 2, 44, 17, INK, 3, "round"),
    ] + terminals())
    # Closed: the plate is drawn again, so the open lever underneath disappears.
    add("SWITCH_ON", 64, 64, [
        switch_plate("#e3f5dc", "#2f7d32"),
    ] + common + [
        line(terminal_l[0] + 2, 30, terminal_r[0] - 1, 28.6, "#1b6e20", 3.4, "round"),
    ] + terminals())


def draw_round_button():
    # A 12 mm tactile switch from above: two legs on each side, metal cover, round cap.
    legs = []
    for y in (17, 47):
        legs.append(rect(0, y - 2.5, 12, 5, METAL, METAL_DARK, 1))
        legs.append(rect(52, y - 2.5, 12, 5, METAL, METAL_DARK, 1))
    defs = [
        linear("cover", [(0, "#eef0f2"), (1, "#9ea4aa")], 0, 0, 1, 1),
        radial("cap", [(0, "#ff8a80"), (0.55, "#e53935"), (1, "#8e1b18")], 0.5, 0.5, 0.55, 0.38,
               0.34),
    ]
    add("ROUND_BUTTON_UP", 64, 64, legs + [
        rect(9, 9, 46, 46, "#262626", "#000000", 1, r=3),
        rect(12, 12, 40, 40, "url(#cover)", "#6d737a", 1, r=2),
    ] + [circle(x, y, 1.8, "#7b8188") for x in (16, 48) for y in (16, 48)] + [
        circle(32, 32, 15, "#202020"),
        circle(32, 32, 13.5, "url(#cap)", "#5a0f0d", 1),
        ellipse(27, 26.5, 5, 3, "#ffffff", opacity=0.45,
                transform="rotate(-35 27 26.5)"),
    ], defs)
    pressed = [
        radial("cap", [(0, "#b3322d"), (0.7, "#8e1b18"), (1, "#5c0c0a")], 0.5, 0.5, 0.55, 0.6,
               0.62),
    ]
    # Pressed: the cap sinks into its collar and loses its shine; only the cap area is covered.
    add("ROUND_BUTTON_DOWN", 64, 64, [
        circle(32, 32, 15, "#101010"),
        circle(32, 32.6, 12.4, "url(#cap)", "#3a0605", 1.2),
        path("M22.5,26 A12,12 0 0 1 41.5,26", "none", "#000000", 1.6, opacity=0.5),
    ], pressed)


BULB_C, BULB_R = (32, 32), 18


def draw_bulbs():
    cx, cy = BULB_C
    defs = [radial("glass", [(0, "#ffffff"), (0.7, "#e6edf1"), (1, "#b9c6cf")], 0.5, 0.5, 0.55,
                   0.4, 0.35)]
    add("BULB_DARK", 64, 64, [
        lead(0, cy, cx - BULB_R + 2, cy),
        lead(cx + BULB_R - 2, cy, 64, cy),
        circle(cx, cy, BULB_R, "url(#glass)", "#6f7e88", 1.6),
        polyline([(cx - 12, cy), (cx - 8, cy - 3), (cx - 8, cy - 8)], "#5d5d5d", 1.4),
        polyline([(cx + 12, cy), (cx + 8, cy - 3), (cx + 8, cy - 8)], "#5d5d5d", 1.4),
        polyline([(cx - 8, cy - 8), (cx - 6, cy - 11), (cx - 4, cy - 8), (cx - 2, cy - 11),
                  (cx, cy - 8), (cx + 2, cy - 11), (cx + 4, cy - 8), (cx + 6, cy - 11),
                  (cx + 8, cy - 8)], "#3e3e3e", 1.3),
        ellipse(cx - 7, cy + 7, 4, 2.2, "#ffffff", opacity=0.7,
                transform="rotate(-40 %s %s)" % (cx - 7, cy + 7)),
    ], defs)
    defs = [
        radial("halo", [(0, "#fff59d", 0.9), (0.5, "#ffd54f", 0.45), (1, "#ffb300", 0)]),
        radial("lit", [(0, "#ffffff"), (0.45, "#fff7c2"), (1, "#ffc928")], 0.5, 0.45, 0.55),
    ]
    rays = []
    for i in range(12):
        a = math.radians(i * 30 + 15)
        r1, r2 = BULB_R + 4, BULB_R + 10
        rays.append(line(cx + r1 * math.cos(a), cy + r1 * math.sin(a), cx + r2 * math.cos(a),
                         cy + r2 * math.sin(a), "#ffb300", 2.2, "round"))
    add("BULB_BRIGHT", 64, 64, [circle(cx, cy, 31, "url(#halo)")] + rays + [
        circle(cx, cy, BULB_R, "url(#lit)", "#d89a00", 1.6),
        polyline([(cx - 12, cy), (cx - 8, cy - 3), (cx - 8, cy - 8)], "#9a6b00", 1.4),
        polyline([(cx + 12, cy), (cx + 8, cy - 3), (cx + 8, cy - 8)], "#9a6b00", 1.4),
        polyline([(cx - 8, cy - 8), (cx - 6, cy - 11), (cx - 4, cy - 8), (cx - 2, cy - 11),
                  (cx, cy - 8), (cx + 2, cy - 11), (cx + 4, cy - 8), (cx + 6, cy - 11),
                  (cx + 8, cy - 8)], "#ff6d00", 1.8),
    ], defs)
    d = 16 / math.sqrt(2)
    add("BULB_SCH", 64, 64, [
        line(0, 32, 16, 32),
        line(48, 32, 64, 32),
        circle(32, 32, 16, "none", INK, 3),
        line(32 - d, 32 - d, 32 + d, 32 + d, INK, 2.5),
        line(32 - d, 32 + d, 32 + d, 32 - d, INK, 2.5),
    ])


def draw_crash():
    # A short-circuit flash: a jagged burst with a lightning bolt through it.
    cx, cy = 32, 32
    radii = [31, 15, 27, 13, 31, 16, 24, 12, 30, 15, 28, 14, 31, 16, 25, 13, 30, 14, 27, 15]
    burst = []
    for i, r in enumerate(radii):
        a = math.radians(i * 360 / len(radii) - 90)
        burst.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    defs = [radial("fire", [(0, "#ffffff"), (0.3, "#fff176"), (0.65, "#ffb300"), (1, "#e65100")])]
    bolt = [(37, 5), (19, 35), (29.5, 35), (23, 60), (46, 26), (35, 26), (44, 5)]
    add("CRASH", 64, 64, [
        polygon(burst, "url(#fire)", "#b71c1c", 2),
        polygon(bolt, "#1a1a1a", "#ffffff", 1.5),
    ], defs)


def draw_supply():
    add("GND", 64, 64, [
        line(32, 0, 32, 36, INK, 3),
        line(12, 36, 52, 36, INK, 4),
        line(19, 45, 45, 45, INK, 4),
        line(26, 54, 38, 54, INK, 4),
    ])
    add("VCC", 64, 64, [
        line(32, 64, 32, 28, INK, 3),
        line(14, 28, 50, 28, INK, 4),
        text(32, 21, "VCC", 15, INK, "middle", "bold"),
    ])


# ----------------------------------------------------------------------------------------------
# Gates. NAND (116 x 60): Input1 in the upper half, Input2 in the lower half of the left edge,
# output on the right. Inverter (116 x 62): input left, output right, both on the middle line.
# The component's name is drawn over the body's left part, so the body stays light.


# The bodies are long enough to hold the component's name between the inputs and the output bubble;
# components/gates.cpp knows their insides (keep both in step).
def nand_outline():
    return "M30,5 H64 A25,25 0 0 1 64,55 H30 Z"


def inverter_outline():
    return "M30,3 L96,31 L30,59 Z"


def draw_gates():
    # Schematic symbols.
    add("HRADLO_SCH", 116, 60, [
        line(0, 15, 30, 15, INK, 2.5),
        line(0, 45, 30, 45, INK, 2.5),
        path(nand_outline(), "none", INK, 2.5, join="miter"),
        circle(94, 30, 5, "none", INK, 2.5),
        line(99, 30, 116, 30, INK, 2.5),
    ])
    add("INVERTOR_SCH", 116, 62, [
        line(0, 31, 30, 31, INK, 2.5),
        path(inverter_outline(), "none", INK, 2.5, join="miter"),
        circle(100.5, 31, 4.5, "none", INK, 2.5),
        line(105, 31, 116, 31, INK, 2.5),
    ])

    # Board parts: the same shapes as a moulded body with tinned leads and solder pads.
    def body_defs():
        return [linear("body", [(0, CHIP_FILL_TOP), (1, CHIP_FILL_BOTTOM)])]

    def pad(x, y):
        return circle(x, y, 4.2, GOLD, GOLD_DARK, 1.2) + circle(x, y, 1.6, "#5a4410")

    add("HRADLO", 116, 60, [
        lead(4, 15, 31, 15),
        lead(4, 45, 31, 45),
        lead(97, 30, 112, 30),
        path(nand_outline(), "url(#body)", CHIP_EDGE, 2, join="miter"),
        circle(94, 30, 5, "url(#body)", CHIP_EDGE, 2),
        line(32, 7, 64, 7, "#ffffff", 1.2, opacity=0.9),
        pad(4.5, 15), pad(4.5, 45), pad(111.5, 30),
    ], body_defs())
    add("INVERTOR", 116, 62, [
        lead(4, 31, 31, 31),
        lead(103, 31, 112, 31),
        path(inverter_outline(), "url(#body)", CHIP_EDGE, 2, join="miter"),
        circle(100.5, 31, 4.5, "url(#body)", CHIP_EDGE, 2),
        pad(4.5, 31), pad(111.5, 31),
    ], body_defs())


# ----------------------------------------------------------------------------------------------
# Host port, selector, driven ports: blocks with pins on rows. Names are drawn by the component
# over the top of the block.


def hybrid_pin(x_body, x_edge, y, active_low=False):
    out = [lead(x_body, y, x_edge, y, 2.2)]
    pad_w = 5
    px = x_edge - pad_w if x_edge > x_body else x_edge
    out.append(rect(px, y - 3, pad_w, 6, GOLD, GOLD_DARK, 0.9))
    if active_low:
        bx = x_body + (2.6 if x_edge > x_body else -2.6)
        out.append(circle(bx, y, 2.5, "#ffffff", CHIP_EDGE, 1.1))
    return "".join(out)


def schematic_pin(x_body, x_edge, y, active_low=False):
    if not active_low:
        return line(x_body, y, x_edge, y, INK, 1.6)
    sgn = 1 if x_edge > x_body else -1
    return (circle(x_body + sgn * 2.6, y, 2.5, "none", INK, 1.2) +
            line(x_body + sgn * 5.1, y, x_edge, y, INK, 1.6))


def block(name, w, h, left, right, style, body_x, caption=None, label_size=7.2):
    """left and right are lists of (y, label, active_low) or (y, label, active_low, label_y);
    body_x is (x0, x1)."""
    x0, x1 = body_x
    out = []
    defs = []
    if style == "hybrid":
        defs.append(linear("body", [(0, CHIP_FILL_TOP), (1, CHIP_FILL_BOTTOM)], 0, 0, 1, 0))
        for y, _, low, *_ in left:
            out.append(hybrid_pin(x0, 0, y, low))
        for y, _, low, *_ in right:
            out.append(hybrid_pin(x1, w, y, low))
        out.append(rect(x0, 0.8, x1 - x0, h - 1.6, "url(#body)", CHIP_EDGE, 1.6, r=2))
        colour = "#3a3528"
    else:
        for y, _, low, *_ in left:
            out.append(schematic_pin(x0, 0, y, low))
        for y, _, low, *_ in right:
            out.append(schematic_pin(x1, w, y, low))
        out.append(rect(x0, 0.8, x1 - x0, h - 1.6, "none", INK, 1.6))
        colour = INK
    if caption:
        cx, cy = (x0 + x1) / 2, h / 2 + 6
        out.append(text(cx, cy, caption, 8.5, "#9a927c" if style == "hybrid" else "#777777",
                        "middle", "bold", transform="rotate(-90 %s %s)" % (num(cx), num(cy - 3))))
    for y, s, low, *label_y in left:
        out.append(label(x0 + 2.2 + (1 if style == "hybrid" else 0), label_y[0] if label_y else y, s,
                         label_size, colour, "start", low))
    for y, s, low, *label_y in right:
        out.append(label(x1 - 2.2, label_y[0] if label_y else y, s, label_size, colour, "end", low))
    add(name, w, h, out, defs)


def draw_port():
    # Host port, 75 x 85: pin k in the right fifth at row k of eight equal rows, pin 0 on top.
    w, h = 75, 85
    row = h / 8
    out = [rect(1, 0.8, 56, h - 1.6, HOST_FILL, HOST_EDGE, 1.6, r=3)]
    # The block's inside stays free for the component's name over its top rows.
    for k in range(8):
        y = (k + 0.5) * row
        out.append(lead(57, y, 62, y, 2.2))
        out.append(rect(61.5, y - 4.2, 13.5, 8.4, GOLD, GOLD_DARK, 1, r=1))
        out.append(text(67.5, y + 2.9, str(k), 8, "#3b2a00", "middle", "bold"))
    out.append(text(22, h / 2 + 12, "PORT", 9, "#7f98bd", "middle", "bold",
                    transform="rotate(-90 22 %s)" % num(h / 2 + 9)))
    add("PORT", w, h, out)


def draw_selectors():
    # Selector, 75 x 85: inputs A, B, C on rows 0-2 and the enables on rows 5-7 at the left edge;
    # outputs Y0..Y7 on rows 0-7 at the right edge.
    w, h = 75, 85
    row = h / 8

    def y(k):
        return (k + 0.5) * row

    # The component's name stands centred between the labels of rows 0 and 1 (components/
    # ports.cpp): row 0's labels sit at the top of their row and row 1's at its bottom.
    top, low1 = 0.3 * row, 1.74 * row
    left = [(y(0), "A", False, top), (y(1), "B", False, low1), (y(2), "C", False),
            (y(5), "G2A", True), (y(6), "G2B", True), (y(7), "G1", False)]
    for inverted in (False, True):
        right = [(y(k), "Y%d" % k, inverted) + ((top,) if k == 0 else (low1,) if k == 1 else ())
                 for k in range(8)]
        suffix = "_INV" if inverted else ""
        block("SELECTOR" + suffix, w, h, left, right, "hybrid", (14, 61), "3-TO-8")
        block("SELECTOR" + suffix + "_SCH", w, h, left, right, "sch", (14, 61), "3-TO-8")


def draw_driven_ports():
    # Driven ports, 75 wide: eight inputs D0..D7 at the left and outputs Q0..Q7 at the right on
    # rows 0..7, then the output enable and the strobe at the left; rows are 8, 9 or 10 equal
    # rows (by which of the two control inputs the picture has) and the probe centres row r at
    # (r + 0.3) row heights.
    kinds = {
        "DIR": (85, False, False, "BUFFER"),
        "C": (95, True, False, "LATCH"),
        "OE": (95, False, True, "BUFFER"),
        "": (105, True, True, "LATCH"),
    }
    for kind, (h, strobe, enable, caption) in kinds.items():
        rows = 8 + (1 if strobe else 0) + (1 if enable else 0)
        row = h / rows

        def y(r):
            return (r + 0.3) * row

        # The name stands between the labels of rows 0 and 1, which sit at the top of row 0 and
        # near the bottom of row 1 (the probe's row r reaches from r - 0.2 to r + 0.8 rows).
        moved = {0: 0.3 * row, 1: 1.6 * row}

        for inverted in (False, True):
            left = [(y(k), "D%d" % k, False) + ((moved[k],) if k in moved else ())
                    for k in range(8)]
            right = [(y(k), "Q%d" % k, inverted) + ((moved[k],) if k in moved else ())
                     for k in range(8)]
            # A picture with only the strobe puts it on row 8, the first row below the data.
            if enable:
                left.append((y(8), "OE", True))
            if strobe:
                left.append((y(9 if enable else 8), "C", False))
            name = "DRIVEN_PORT" + ("_" + kind if kind else "") + ("_INV" if inverted else "")
            block(name, 75, h, left, right, "hybrid", (14, 61), caption)


# ----------------------------------------------------------------------------------------------
# Bus, 30 x 94: a head on top (the whole bus) and lines 0..7 below it. With h = 94 / 8.9 the
# probe takes the head down to h + 5 and line k from 5 + (k + 0.8) h to 5 + (k + 1.8) h; the lines
# are spaced evenly from the middle of line 0's visible band to the middle of line 7's.
BUS_W, BUS_H = 30, 94
BUS_ROW_H = BUS_H / 8.9
BUS_FIRST = (BUS_ROW_H + 5 + 5 + 1.8 * BUS_ROW_H) / 2
BUS_LAST = (5 + 7.8 * BUS_ROW_H + BUS_H) / 2


def bus_row(k):
    return BUS_FIRST + k * (BUS_LAST - BUS_FIRST) / 7


def draw_bus():
    head_h = 14
    for mirrored in (False, True):

        def mx(x):
            return BUS_W - x if mirrored else x

        bar_x = mx(4.5)
        hybrid = [rect(0.8, 0.8, BUS_W - 1.6, head_h, HOST_FILL, HOST_EDGE, 1.4, r=2)]
        for k in range(8):
            yk = bus_row(k)
            hybrid.append(lead(bar_x, yk, mx(BUS_W - 4), yk, 1.6))
            hybrid.append(rect(min(mx(BUS_W - 5), mx(BUS_W)), yk - 2.6, 5, 5.2, GOLD, GOLD_DARK,
                               0.8))
            hybrid.append(rect(mx(16) - 3.8, yk - 3.6, 7.6, 7.2, "#ffffff", "#8c96a0", 0.6, r=1.5))
            hybrid.append(text(mx(16), yk + 2.5, str(k), 7, "#222222", "middle", "bold"))
        hybrid.append(rect(bar_x - 2.5, head_h + 0.8, 5, BUS_H - head_h - 1.6, "#2f4f7f",
                           "#182a47", 1, r=1.5))
        add("BUS" + ("1" if mirrored else ""), BUS_W, BUS_H, hybrid)

        sch = [rect(0.8, 0.8, BUS_W - 1.6, head_h - 2.5, "none", INK, 1.2)]
        sch.append(line(bar_x, head_h - 1.7, bar_x, BUS_H - 1, INK, 3.5))
        for k in range(8):
            yk = bus_row(k)
            sch.append(polyline([(bar_x, yk - 4), (mx(8.5), yk), (mx(BUS_W), yk)], INK, 1.4,
                                "butt"))
            sch.append(text(mx(20), yk - 1.6, str(k), 6.5, INK, "middle"))
        add("BUS_SCH" + ("1" if mirrored else ""), BUS_W, BUS_H, sch)


# ----------------------------------------------------------------------------------------------
# Host pin, 69 x 23: a label flag holding the name and a wire stub to the contact. "PIN1" is
# the same pin facing the other way (flag on the right, where the component draws the name).


def draw_pins():
    w, h = 69, 23
    mid = h / 2
    flag = [(1, 1.5), (45, 1.5), (53, mid), (45, h - 1.5), (1, h - 1.5)]
    add("PIN", w, h, [
        lead(52, mid, 66, mid, 2.4),
        polygon(flag, HOST_FILL, HOST_EDGE, 1.6),
        circle(65.6, mid, 3.2, GOLD, GOLD_DARK, 1),
    ])
    add("PIN1", w, h, [
        lead(3, mid, 17, mid, 2.4),
        polygon([(w - x, y) for x, y in flag], HOST_FILL, HOST_EDGE, 1.6),
        circle(3.4, mid, 3.2, GOLD, GOLD_DARK, 1),
    ])


def draw_line():
    add("LINE", 640, 3, [rect(0, 0, 640, 3, INK)])


# ----------------------------------------------------------------------------------------------
# LCD modules, schematic symbols 139 x 80: the module with its glass and its pins along the
# bottom edge.


def lcd_symbol(name, control_pins, glass):
    """The module outline with its glass and pins along the bottom: the control lines with their
    names, then the eight data lines numbered under a "DATA" bracket."""
    w, h = 139, 80
    box_bottom = 60
    out = [rect(1, 1, w - 2, box_bottom - 1, "none", INK, 1.8, r=2),
           rect(8, 6, w - 16, 34, "#e7edd2", INK, 1.2)]
    out.extend(glass)
    xs = [10 + i * 15 for i in range(len(control_pins))]
    data_first = xs[-1] + 13
    data_step = (w - 8 - data_first) / 7
    data_xs = [data_first + j * data_step for j in range(8)]
    for x, p in zip(xs, control_pins):
        out.append(line(x, box_bottom, x, h, INK, 1.5))
        out.append(text(x, box_bottom - 3.5, p, 7, INK, "middle"))
    for j, x in enumerate(data_xs):
        out.append(line(x, box_bottom, x, h, INK, 1.5))
        out.append(text(x, box_bottom - 3.5, str(j), 7, INK, "middle"))
    out.append(polyline([(data_xs[0] - 2, box_bottom - 12), (data_xs[0] - 2, box_bottom - 14),
                         (data_xs[-1] + 2, box_bottom - 14), (data_xs[-1] + 2, box_bottom - 12)],
                        INK, 0.8, "butt", "miter"))
    out.append(text((data_xs[0] + data_xs[-1]) / 2, box_bottom - 15.5, "DATA", 6, INK, "middle"))
    add(name, w, h, out)


def draw_lcds():
    glass = []
    for r in range(2):
        for c in range(16):
            glass.append(rect(11 + c * 7.3, 9 + r * 15, 5.8, 12.5, "none", "#9aa08a", 0.5))
    for r, word in enumerate(("HELLO", "16x2")):
        for i, ch in enumerate(word):
            glass.append(text(11.3 + 7.3 * i, 19.6 + r * 15, ch, 10.5, INK, "start", "bold",
                              family="DejaVu Sans Mono"))
    lcd_symbol("LCDALPHA_SCH", ["RS", "RW", "E"], glass)

    curve = [(12 + i * 1.3, 23 - 11 * math.sin(i / 59 * 2 * math.pi)) for i in range(60)]
    graph = [
        line(12, 23, 89, 23, "#9aa08a", 0.6),
        polyline(curve, INK, 1.4),
        line(96, 36, 127, 36, INK, 1),
    ] + [rect(98 + i * 7.5, 36 - hgt, 5, hgt, INK) for i, hgt in enumerate((10, 18, 13, 24))]
    lcd_symbol("LCDGRAPH_SCH", ["CS1", "CS2", "RS", "RW", "E"], graph)


def main():
    draw_diode()
    draw_led_sch()
    draw_two_colour_led_sch()
    draw_leds()
    draw_seven_segment()
    draw_switches()
    draw_round_button()
    draw_bulbs()
    draw_crash()
    draw_supply()
    draw_gates()
    draw_port()
    draw_selectors()
    draw_driven_ports()
    draw_bus()
    draw_pins()
    draw_line()
    draw_lcds()
    draw_tool_buttons()
    draw_main_icon()

    os.makedirs(OUT_DIR, exist_ok=True)
    wanted = {n + ".svg" for n in pictures}
    for f in os.listdir(OUT_DIR):
        if f.endswith(".svg") and f not in wanted:
            os.remove(os.path.join(OUT_DIR, f))
    for name, content in sorted(pictures.items()):
        with open(os.path.join(OUT_DIR, name + ".svg"), "w", encoding="utf-8") as f:
            f.write(content)
    with open(os.path.join(HERE, "pictures.qrc"), "w", encoding="utf-8") as f:
        f.write("<!DOCTYPE RCC>\n<!-- Written by draw_pictures.py. -->\n<RCC version=\"1.0\">\n")
        f.write('    <qresource prefix="/pictures">\n')
        for name in sorted(pictures):
            f.write('        <file alias="%s.svg">pictures/%s.svg</file>\n' % (name, name))
        f.write("    </qresource>\n</RCC>\n")
    print("%d pictures written to %s" % (len(pictures), OUT_DIR))
    return 0


if __name__ == "__main__":
    sys.exit(main())
