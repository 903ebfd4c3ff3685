#!/usr/bin/env python3
"""Writes the help patches ko-NAME-help.pd: a few lines on the object, its messages in
boxes to click, the object, a [print] per outlet, and [declare -lib ko] so the patch
opens on its own. [r ko-help-demo] clicks every box in turn (the test suite sends it a
bang in pd -batch). Run from this folder after changing a description below."""

OBJECTS = [
    ("ko-viewnav", "@pos 0 0 5", 3,
     ["A first-person camera: position and look, up and right vectors; steps, turns, orbits,",
      "and a box that keeps the position. Bang sends up (right outlet), the position (middle)",
      "and the point looked at (left). fwd steps along -look: a negative step walks forwards."],
     ["fwd -2", "strafe 1", "rotate.y 90", "bang", "boundmode 1", "move 5 0 0", "bang",
      "circle.up 0 0 0", "pointrotate 0 0 0 1.5707963 0 1 0", "bang", "reset", "bang"], []),
    ("ko-mirror4", "@size 640 480", 4,
     ["A point and its three mirror images about a centre (here the middle of 640 x 480),",
      "plus an offset added to all four: (x y), (x' y), (x y'), (x' y') from left to right."],
     ["input 100 50", "move 10 -5", "center 100 100", "bang", "post"], []),
    ("ko-rescale", "@map 0 1 0 127", 2,
     ["Maps a number from a source range onto a destination range, then leaves it (mode 0),",
      "clips (1), wraps (2) or folds (3) it. A result goes out only when it changed;",
      "getmap and getmode answer on the right outlet."],
     ["0.5", "2", "mode 1", "2", "mode 3", "map 0 100 -1 1", "75", "getmap", "getmode",
      "silence 1", "30", "bang", "reset"], []),
    ("ko-threepoint", "", 2,
     ["The plane through three points. p1, p2, p3 set a point and send the plane",
      "A B C D on the right (A x + B y + C z + D = 0); a list x y or bang sends the point",
      "(x y z) of the plane on the left."],
     ["p1 1 0 0", "0.25 0.25", "p3 0 0 0", "5 7", "bang"], []),
    ("ko-sidedist", "", 2,
     ["The signed distance of a point from the plane through three corners (negative below).",
      "plane sets four heights over the unit square, a list x y z the point, bang sends it."],
     ["plane 1 1 1 1", "0 0 3", "bang", "0 0 -2", "bang"], []),
    ("ko-stepdiff", "", 1,
     ["Each input minus the one before it: a number gives a number, a list one difference",
      "per element. With om 1 the first input stays the reference. reset with values loads",
      "a reference; bang sends the last differences again."],
     ["5", "8", "6", "1 2 3", "2 4 8", "reset 10 20", "11 22", "bang"], []),
    ("ko-listfill", "", 1,
     ["Puts num copies of val (2 and 0 at first) between every two neighbours of a list,",
      "and keeps the list: bang pads it again with the current settings."],
     ["1 2 3", "num 1", "val 5.5", "bang"], []),
    ("ko-chance", "0 10", 1,
     ["A random number between two bounds on every bang: ints when the first bound is",
      "whole, floats otherwise (in Pd a whole number arrives as an int). The generator is",
      "never seeded, so every run draws the same sequence."],
     ["bang", "bang", "range 0.5 2.5", "bang", "range 10 0", "bang"], []),
    ("ko-bearing", "", 1,
     ["A 360-degree angle (0..360) to an azimuth (-180..180) and back (om 0). Also known as",
      "ko-tobearing. Bang converts the stored input again with the current om."],
     ["300", "370", "om 0", "-90", "bang"], []),
    ("ko-trail", "3 0", 1,
     ["The most recent numbers, newest first (om 0) or oldest first (om 1), size of them",
      "(creation: size, om; the right inlet sets the size). Bang sends them oldest first,",
      "without the value just pushed. set writes past values and sends nothing."],
     ["1", "2", "3", "bang", "om 1", "4.5", "set 7 8 9", "bang"], ["2"]),
    ("ko-pointbank", "2 2", 1,
     ["ko-trail's history plus 100 screens of up to ten points: a list fills the next screen",
      "(num_ecran - 1 down to 0); bang sends every point as x y screen, then the history."],
     ["1 2 3 4", "5 6", "bang", "num_ecran 3", "10 10", "bang"], ["3"]),
    ("ko-ovalpath", "@center 10 10 @raio 2 4 @steps 4", 1,
     ["Points on an ellipse: each bang sends the point of a step counter and moves it on;",
      "a float sends the point at that fraction of a turn, an int at that percentage."],
     ["bang", "bang", "0.5", "25", "steps 8", "bang", "post"], []),
    ("ko-cornerset", "", 1,
     ["The four corners of a quad in a horizontal plane, x y z each, centred on a position;",
      "longs or floats after the first atom of the last list (whole numbers are longs in Pd).",
      "rot a b c turns it about z, y and x (radians)."],
     ["bang", "1.5 2.5 3.5", "4 6", "wh 5", "rot 1.5707963 0 0", "bang"], []),
    ("ko-rectnorm", "", 1,
     ["A rectangle given by two corners in any order, sent on as min x, min y, max x, max y;",
      "a list that is not four numbers sends the last result again."],
     ["10 5 2 8", "1.5 2.5 0.5 3.5", "1 2 3"], []),
    ("ko-sightline", "", 3,
     ["Distance, horizontal angle and elevation (degrees) of a point seen from an origin,",
      "on bang. ponto sets the point, origem the origin, modo the angles (0 none, 1 0..360,",
      "2 -180..180, 3 angle and elevation)."],
     ["modo 3", "origem 1 2 3", "ponto 1 5 3", "bang", "ponto 4 6 3", "bang"], []),
    ("ko-heightfield", "@dim 4 3", 3,
     ["A grid of heights that scrolls like a waterfall: each list is the newest row. Bang",
      "sends the grid (draw chooses points or segments); coord, core and coords answer on",
      "the middle outlet. The grid is shared by every instance; a new one clears it."],
     ["1 2 3 4", "5 6 7 8", "bang", "coord 1 2 0", "core 0 0 0", "draw 4", "bang", "post"], []),
    ("ko-springmesh", "", 1,
     ["Masses on a grid joined by springs: each bang takes one step and sends row, column",
      "and height of every mass. shape 1..10 sets a surface; xy selects a mass and a number",
      "sets its height. The surface is shared by every instance."],
     ["grid 6 6", "shape 2", "bang", "om 7", "bang", "om 1", "xy 2 3", "4.5"], []),
]


def text(t):
    """A comment's words as a patch file holds them: commas and semicolons escaped."""
    return t.replace(",", " \\,").replace(";", " \\;")


def write(name, args, outlets, lines, msgs, right_msgs):
    objs = []   # Pd lines of objects, in index order
    conns = []

    def add(line):
        objs.append(line)
        return len(objs) - 1

    y = 12
    about = " ".join(lines)
    add("#X text 20 %d %s - %s, f 90" % (y, name, text(about[0].lower() + about[1:])))
    y += 18 * (len(about) // 80 + 1) + 20
    top = y
    boxes = []
    for m in msgs:
        boxes.append((add("#X msg 20 %d %s" % (y, m)), 0))
        y += 24
    ry = top
    for m in right_msgs:
        boxes.append((add("#X msg 320 %d %s" % (ry, m)), 1))
        ry += 24
    if right_msgs:
        add("#X text 380 %d to the right inlet, f 30" % top)
    y = max(y, ry) + 16
    obj = add("#X obj 20 %d %s%s" % (y, name, " " + args if args else ""))
    for i, inlet in boxes:
        conns.append((i, 0, obj, inlet))
    y += 50
    for j in range(outlets):
        label = name if outlets == 1 else "%s.%d" % (name, j)
        p = add("#X obj %d %d print %s" % (20 + 150 * j, y + 22 * (outlets - 1 - j), label))
        conns.append((obj, j, p, 0))
    y += 22 * outlets + 30
    add("#X text 20 %d %s, f 90" % (y, text(
        "The object is the plug-in %s.so from the plugins folder beside ko.pd_linux: the same"
        " file that kohost runs. In Pd a whole number arrives as an int and any other as a"
        " float; an int an object sends becomes a float (exact up to 2^24)." % name)))
    y += 70
    add("#X obj 20 %d declare -lib ko" % y)
    recv = add("#X obj 320 %d r ko-help-demo" % y)
    trig = add("#X obj 320 %d t%s" % (y + 26, " b" * len(boxes)))
    add("#X text 320 %d (clicks every box above in turn), f 40" % (y + 52))
    conns.append((recv, 0, trig, 0))
    # A trigger fires right to left: the first box on the rightmost outlet.
    for k, (i, _) in enumerate(boxes):
        conns.append((trig, len(boxes) - 1 - k, i, 0))
    with open("%s-help.pd" % name, "w") as f:
        f.write("#N canvas 40 40 760 %d 12;\n" % (y + 100))
        # Read before any object is made, so the library is there for the object.
        f.write("#X declare -lib ko;\n")
        for o in objs:
            f.write(o + ";\n")
        for c in conns:
            f.write("#X connect %d %d %d %d;\n" % c)


for o in OBJECTS:
    write(*o)
