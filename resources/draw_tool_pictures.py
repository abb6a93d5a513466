"""Brelvan's tool-button pictures (24 x 24), the Run button's picture and the program icon.

Part of draw_pictures.py, which writes the files.
"""


from svgdraw import (CHIP_EDGE, CHIP_FILL_BOTTOM, GOLD, GOLD_DARK, HOST_EDGE, HOST_FILL, INK,
                     METAL, METAL_DARK, add, circle, line, linear, path, polygon, polyline,
                     radial, rect, text)


# Tool-button pictures, 24 x 24, drawn for that size: few shapes with strong outlines.


def draw_tool_buttons():
    s = 24

    def tb(name, body, defs=()):
        add(name, s, s, body, defs)

    red_dome = [radial("d", [(0, "#ffb0a0"), (0.5, "#f0402e"), (1, "#9e1208")], 0.45, 0.4, 0.6)]
    tb("TLED", [
        line(9, 15, 9, 23, METAL_DARK, 2),
        line(15, 15, 15, 21, METAL_DARK, 2),
        path("M5,16 V9 A7,7 0 0 1 19,9 V16 Z", "url(#d)", "#6d0c05", 1),
        rect(4, 15, 16, 2.5, "#c62818", "#6d0c05", 1),
    ], red_dome)
    tb("TTWOCOLORLED", [
        line(7, 15, 7, 23, METAL_DARK, 1.8),
        line(12, 15, 12, 21, METAL_DARK, 1.8),
        line(17, 15, 17, 23, METAL_DARK, 1.8),
        path("M5,16 V9 A7,7 0 0 1 12,2 V16 Z", "#e53935", "#6d0c05", 1),
        path("M12,16 V2 A7,7 0 0 1 19,9 V16 Z", "#2fb34a", "#0d4a1c", 1),
        rect(4, 15, 16, 2.5, "#e8e8e2", "#777777", 1),
    ])
    tb("TDISPSEG", [rect(3, 1, 18, 22, "#222222", "#000000", 1, r=1.5)] + [
        polygon(p, "#ff3020") for p in (
            [(8, 4), (16, 4), (15, 6), (9, 6)],        # a
            [(16.5, 4.5), (17, 11), (15, 11), (15, 6.5)],  # b
            [(15, 13), (17, 13), (16.5, 19.5), (14.5, 18)],  # c
            [(8.5, 18), (14.5, 18), (15.5, 20), (7, 20)],  # d
            [(7, 13), (9, 13), (8.7, 18), (7, 19.5)],  # e
            [(7.5, 4.5), (9, 6.5), (9, 11), (7.2, 11)],  # f
            [(8, 11.2), (16, 11.2), (15.5, 12.8), (8.5, 12.8)],  # g
        )] + [circle(19, 19.5, 1.2, "#ff3020")])
    tb("TBULB", [
        circle(12, 9.5, 7.8, "url(#glass)", "#b08500", 1.2),
        polyline([(10, 16), (10, 10.5)], "#6d5a2a", 1),
        polyline([(14, 16), (14, 10.5)], "#6d5a2a", 1),
        polyline([(10, 10.5), (10.8, 9), (11.6, 10.5), (12.4, 9), (13.2, 10.5), (14, 9)],
                 "#e65100", 1.1),
        rect(8.5, 16.5, 7, 5, "#9ea4aa", "#555b60", 1),
        line(8.5, 18.2, 15.5, 18.2, "#555b60", 0.8),
        line(8.5, 19.9, 15.5, 19.9, "#555b60", 0.8),
        line(11, 22, 13, 22, "#333333", 2),
    ], [radial("glass", [(0, "#fffde8"), (0.6, "#fff2a0"), (1, "#ffd54a")], 0.45, 0.4, 0.6)])
    tb("TSWITCH", [
        line(0, 16, 5, 16, INK, 2),
        line(19, 16, 24, 16, INK, 2),
        circle(6.5, 16, 2, "#ffffff", INK, 1.5),
        circle(17.5, 16, 2, "#ffffff", INK, 1.5),
        line(8, 15, 18, 7, INK, 2, "round"),
    ])
    tb("TROUNDBTN", [
        rect(0.5, 5, 3, 2.5, METAL, METAL_DARK, 0.6), rect(0.5, 16.5, 3, 2.5, METAL, METAL_DARK, 0.6),
        rect(20.5, 5, 3, 2.5, METAL, METAL_DARK, 0.6), rect(20.5, 16.5, 3, 2.5, METAL, METAL_DARK,
                                                             0.6),
        rect(3, 2, 18, 20, "#3a3a3a", "#000000", 1, r=1.5),
        circle(12, 12, 6.5, "url(#cap)", "#5a0f0d", 1),
    ], [radial("cap", [(0, "#ff9a90"), (0.55, "#e53935"), (1, "#8e1b18")], 0.5, 0.5, 0.55, 0.38,
                      0.34)])
    tb("TSQUAREBTN", [
        rect(0.5, 5, 3, 2.5, METAL, METAL_DARK, 0.6), rect(0.5, 16.5, 3, 2.5, METAL, METAL_DARK, 0.6),
        rect(20.5, 5, 3, 2.5, METAL, METAL_DARK, 0.6), rect(20.5, 16.5, 3, 2.5, METAL, METAL_DARK,
                                                             0.6),
        rect(3, 2, 18, 20, "#3a3a3a", "#000000", 1, r=1.5),
        rect(6, 5, 12, 14, "url(#cap)", "#263238", 1, r=1.5),
        line(7.5, 6.6, 16.5, 6.6, "#ffffff", 1, opacity=0.7),
    ], [linear("cap", [(0, "#cfd8dc"), (1, "#78909c")])])
    tb("TDIODE", [
        line(0, 12, 7, 12, INK, 2),
        line(17, 12, 24, 12, INK, 2),
        polygon([(7, 5.5), (7, 18.5), (17, 12)], INK),
        line(17, 5, 17, 19, INK, 2.2),
    ])
    tb("TINVERTOR", [
        line(0, 12, 5, 12, INK, 2),
        polygon([(5, 3.5), (5, 20.5), (17, 12)], "#fbf8ee", INK, 1.6, "miter"),
        circle(19, 12, 2.2, "#fbf8ee", INK, 1.5),
        line(21.2, 12, 24, 12, INK, 2),
    ])
    tb("TGATEAND", [
        line(0, 7, 5, 7, INK, 2),
        line(0, 17, 5, 17, INK, 2),
        path("M5,3 H11 A9,9 0 0 1 11,21 H5 Z", "#fbf8ee", INK, 1.6, join="miter"),
        circle(21.5, 12, 2, "#fbf8ee", INK, 1.4),
    ])
    tb("TUPIN", [
        polygon([(1, 6), (13, 6), (18, 12), (13, 18), (1, 18)], HOST_FILL, HOST_EDGE, 1.4),
        line(18, 12, 22, 12, METAL_DARK, 2),
        circle(21.5, 12, 2, GOLD, GOLD_DARK, 0.8),
    ])
    port = [rect(1, 1, 14, 22, HOST_FILL, HOST_EDGE, 1.2, r=1.5)]
    for k in range(8):
        y = 2.6 + k * 2.7
        port.append(rect(16, y - 0.9, 7, 1.8, GOLD, GOLD_DARK, 0.4))
    tb("TUPORT", port)
    dr = [rect(6, 1, 12, 22, CHIP_FILL_BOTTOM, CHIP_EDGE, 1.2, r=1)]
    for k in range(6):
        y = 3.5 + k * 3
        dr.append(line(1, y, 6, y, METAL_DARK, 1.4))
        dr.append(line(18, y, 23, y, METAL_DARK, 1.4))
    dr.append(line(1, 21, 6, 21, "#1565c0", 1.6))
    dr.append(polyline([(6, 19), (8.5, 21), (6, 23)], "#1565c0", 1))
    dr.append(text(12, 15, "L", 8, "#3a3528", "middle", "bold"))
    tb("TUDRIVENPORT", dr)
    # A decoder drawn as the usual trapezoid: three select lines in, eight outputs out.
    sel = []
    for k in range(3):
        sel.append(line(0.5, 8 + k * 4, 6, 8 + k * 4, METAL_DARK, 1.4))
    for k in range(8):
        sel.append(line(17, 2.6 + k * 2.7, 23.5, 2.6 + k * 2.7, METAL_DARK, 1.1))
    sel.append(polygon([(6, 5), (17, 1), (17, 23), (6, 19)], CHIP_FILL_BOTTOM, CHIP_EDGE, 1.2))
    tb("TUSELECTOR", sel)
    bus = [rect(1, 1, 22, 5, HOST_FILL, HOST_EDGE, 1, r=1),
           rect(3, 6, 4, 17, "#2f4f7f", "#182a47", 0.8)]
    for k in range(5):
        bus.append(line(7, 9 + k * 3.2, 23, 9 + k * 3.2, METAL_DARK, 1.2))
    tb("TBUS", bus)
    tb("TVCC", [
        line(12, 24, 12, 11, INK, 2),
        line(4, 11, 20, 11, INK, 2.6),
        text(12, 8, "+", 10, "#c62828", "middle", "bold"),
    ])
    tb("TGND", [
        line(12, 0, 12, 11, INK, 2),
        line(3, 11, 21, 11, INK, 2.4),
        line(6.5, 15.5, 17.5, 15.5, INK, 2.4),
        line(10, 20, 14, 20, INK, 2.4),
    ])
    tb("TLINE", [line(2, 21, 22, 3, INK, 2.4, "round"),
                 circle(2.5, 20.5, 1.8, INK), circle(21.5, 3.5, 1.8, INK)])
    lcd = [rect(0.5, 4, 23, 16, "#2c6b3a", "#133018", 1, r=1.5),
           rect(2.5, 6, 19, 12, "#a8bc21", "#4f5a10", 0.8)]
    for r in range(2):
        for c in range(4):
            lcd.append(rect(3.7 + c * 4.4, 7.3 + r * 5.3, 3.4, 4.3, "#23270b", opacity=0.85))
    tb("TLCDALPHA", lcd)
    glcd = [rect(0.5, 3, 23, 18, "#2c6b3a", "#133018", 1, r=1.5),
            rect(2.5, 5, 19, 14, "#a8bc21", "#4f5a10", 0.8),
            polyline([(4, 15), (7, 9), (10, 13), (13, 7.5), (16, 14), (20, 10)], "#23270b", 1.3),
            rect(4, 16, 5, 1.6, "#23270b")]
    tb("TLCDGRAPH", glcd)

    tb("RUN", [
        circle(12, 12, 11, "url(#g)", "#1b5e20", 1),
        polygon([(9, 6.5), (9, 17.5), (18, 12)], "#ffffff"),
    ], [radial("g", [(0, "#8be08f"), (0.6, "#3fae46"), (1, "#237a29")], 0.45, 0.35, 0.65)])


def draw_main_icon():
    # A small green board with a chip, a lit LED and a seven-segment digit.
    defs = [
        linear("pcb", [(0, "#2f8f4e"), (1, "#1c5e31")], 0, 0, 1, 1),
        radial("glow", [(0, "#ff5a3c", 0.7), (1, "#ff5a3c", 0)]),
        radial("lit", [(0, "#ffffff"), (0.4, "#ff8a70"), (1, "#e3170a")], 0.45, 0.45, 0.6),
    ]
    body = [
        rect(2, 2, 60, 60, "url(#pcb)", "#0f3a1c", 2, r=8),
        circle(8, 8, 2, "#d9c27a"), circle(56, 8, 2, "#d9c27a"),
        circle(8, 56, 2, "#d9c27a"), circle(56, 56, 2, "#d9c27a"),
    ]
    for i in range(6):
        y = 15 + i * 6
        body.append(line(14, y, 40, y, "#7fc796", 1.2, opacity=0.55))
    body.append(rect(8, 12, 22, 38, "#1e1e1e", "#000000", 1, r=1.5))
    for i in range(6):
        y = 16 + i * 6
        body.append(rect(5, y - 1, 3, 2.4, METAL, METAL_DARK, 0.5))
        body.append(rect(30, y - 1, 3, 2.4, METAL, METAL_DARK, 0.5))
    body.append(circle(13, 16, 1.6, "#555555"))
    body.append(rect(36, 10, 20, 27, "#181818", "#000000", 1, r=1.5))
    seg = [
        [(41, 13.5), (50, 13.5)], [(51, 14.5), (51, 22)], [(51, 24.5), (51, 32)],
        [(41, 33), (50, 33)], [(40, 24.5), (40, 32)], [(40, 14.5), (40, 22)], [(41, 23.3), (50, 23.3)],
    ]
    lit = {0, 1, 2, 3, 6}  # the digit 3
    for i, (p, q) in enumerate(seg):
        body.append(line(p[0], p[1], q[0], q[1], "#ff3020" if i in lit else "#3a2323", 2.6,
                         "round"))
    body.append(circle(46, 49, 11, "url(#glow)"))
    body.append(circle(46, 49, 6, "url(#lit)", "#7a0c05", 1))
    add("MAINICON", 64, 64, body, defs)
