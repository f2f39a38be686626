#!/usr/bin/python3
"""Our conversion beside the vector editor's own HP-GL export, one row per drawing.

The editor unlinks clones and turns text into outlines itself, then its HP-GL exporter
writes the reference. Our side reads the original drawing with `ktrv8 convert`. Markers
are taken out of our input, as the editor's exporter leaves them out.

usage: reference_table.py KTRV8 [DRAWING...]
       reference_table.py --reference DRAWING FOLDER  (the editor's side alone, for the tests:
       FOLDER/reference.plt, from FOLDER/prepared.svg, the drawing as both sides read it)
Without drawings: the editor's examples, symbols and markers, and 40 clip-art drawings
when Debian's openclipart-svg is installed. Prints a table and the counts within 3 %
pen-down length and 1 % width and height, with text and without.
"""
import glob
import gzip
import math
import os
import pathlib
import re
import subprocess
import sys
import tempfile

EDITOR_DIRS = ["examples", "symbols", "markers", "paint", "templates/about_screen.svg"]
CLIPART = "/usr/share/openclipart/svg"
EXTENSIONS = "/usr/share/inkscape/extensions"
TIMEOUT = 300


def editor_drawings():
    found = []
    for entry in EDITOR_DIRS:
        path = os.path.join("/usr/share/inkscape", entry)
        if os.path.isfile(path):
            found.append(path)
        found += sorted(glob.glob(path + "/*.svg") + glob.glob(path + "/*.svgz"))
    return found


def clipart_drawings(count=40):
    every = sorted(glob.glob(CLIPART + "/**/*.svg", recursive=True))
    if not every:
        return []
    step = max(1, len(every) // count)
    return every[::step][:count]


def strokes(plt):
    """Pen-down strokes of an HP-GL text in absolute coordinates."""
    paths, pen, here = [], False, (0.0, 0.0)
    for command in plt.replace("\n", "").split(";"):
        op, args = command[:2], command[2:]
        numbers = [float(n) for n in re.findall(r"[-+]?\d+(?:\.\d*)?", args)]
        points = list(zip(numbers[0::2], numbers[1::2]))
        if op == "PU":
            pen = False
        elif op == "PD":
            if not pen:
                paths.append([here])
            pen = True
        else:
            continue
        for point in points:
            if pen:
                paths[-1].append(point)
            here = point
    return paths


def measures(plt):
    paths = strokes(plt)
    length = sum(math.dist(a, b) for p in paths for a, b in zip(p, p[1:]))
    xs = [x for p in paths for x, _ in p if len(p) > 1]
    ys = [y for p in paths for _, y in p if len(p) > 1]
    if not xs:
        return 0.0, 0.0, 0.0
    return length, max(xs) - min(xs), max(ys) - min(ys)


PX_PER_UNIT = {"": 1, "px": 1, "mm": 96 / 25.4, "cm": 96 / 2.54, "in": 96, "pt": 96 / 72, "pc": 16}


def even_page(plain):
    """The exporter scales a drawing by its page's scale twice over unless a user unit is a
    pixel; it is handed the page the viewBox meets, one pixel a unit, and the drawing
    scaled inside it: the same drawing at the same size."""
    text = pathlib.Path(plain).read_text(encoding="utf-8")
    root = re.search(r"<svg\b[^>]*>", text)
    attribute = lambda name: (re.search(rf'\s{name}="([^"]*)"', root.group(0)) or [None, ""])[1]
    box = [float(v) for v in re.split(r"[\s,]+", attribute("viewBox").strip()) if v]
    if len(box) != 4 or box[2] <= 0 or box[3] <= 0:
        return

    def px(length, whole):  # a percentage is the viewBox's, as the editor takes it
        m = re.fullmatch(r"\s*([-+0-9.eE]+)\s*([a-z]*)\s*", length)
        return float(m.group(1)) * PX_PER_UNIT[m.group(2)] if m and m.group(2) in PX_PER_UNIT else whole
    s = min(px(attribute("width"), box[2]) / box[2], px(attribute("height"), box[3]) / box[3])
    x, y, w, h = (v * s for v in box)
    tag = re.sub(r'\s(width|height|viewBox|preserveAspectRatio)="[^"]*"', "", root.group(0))
    tag = tag[:4] + f' width="{w}" height="{h}" viewBox="{x} {y} {w} {h}"' + tag[4:] + f'<g transform="scale({s})">'
    end = text.rindex("</svg>")
    pathlib.Path(plain).write_text(text[:root.start()] + tag + text[root.end():end] + "</g></svg>", encoding="utf-8")


def prepared(drawing, folder):
    """The drawing as both sides read it: without markers, which the editor's exporter leaves
    out, and with the editor's linked offsets as the paths they store (the editor redraws
    them from their source on opening; every other reader takes the path as written)."""
    data = pathlib.Path(drawing).read_bytes()
    if drawing.endswith(".svgz"):
        data = gzip.decompress(data)
    data = re.sub(rb"marker-(start|mid|end):url\([^)]*\)", rb"marker-\1:none", data)
    data = re.sub(rb'sodipodi:type="inkscape:offset"', b"", data)
    source = os.path.join(folder, "prepared.svg")
    pathlib.Path(source).write_bytes(data)
    return source


def editor(*args):
    subprocess.run(["inkscape", *args], capture_output=True, timeout=TIMEOUT)


def sampled(path, step=0.5):
    """Points along a parsed path (inkex), about `step` apart."""
    from inkex import bezier
    points = []
    for sub in path.to_superpath():
        for a, b in zip(sub, sub[1:]):
            segment = (a[1], a[2], b[0], b[1])
            count = max(2, int(bezier.bezierlength(segment) / step))
            points += [bezier.bezierpointatt(segment, i / count) for i in range(count + 1)]
    return points


def hidden_glyphs(svg, original):
    """The editor's object-to-path keeps the glyphs of a text on a path that it hides (those
    past the path's end) at their unfitted places, where it never draws them: each glyph
    whose centre is more than an em from its path, in the text's user space."""
    from lxml import etree
    found = []
    for text in etree.parse(original).iter("{http://www.w3.org/2000/svg}text"):
        for on_path in text.iter("{http://www.w3.org/2000/svg}textPath"):
            href = on_path.get("href") or on_path.get("{http://www.w3.org/1999/xlink}href") or ""
            group, line = svg.getElementById(text.get("id")), svg.getElementById(href.lstrip("#"))
            if group is None or line is None or not hasattr(line, "path"):
                continue
            along = sampled(line.path.transform(line.transform))
            size = float(re.search(r"font-size:([\d.]+)", group.get("style", "") + ";font-size:16").group(1))
            for glyph in group.iter("{http://www.w3.org/2000/svg}path"):
                box = glyph.path.transform(glyph.transform).bounding_box()
                if box is not None and along and min(math.dist(box.center, p) for p in along) > size:
                    found.append(glyph)
    return found


def drop_unseen(original, plain):
    """What the editor draws of its object-to-path result: its HP-GL exporter also cuts
    paths with neither fill nor stroke, and the glyphs it hides."""
    sys.path.insert(0, EXTENSIONS)
    import inkex
    svg = inkex.load_svg(plain).getroot()
    unseen = hidden_glyphs(svg, original)

    def paint(element, name, inherited):
        found = re.search(rf"(?:^|;)\s*{name}\s*:\s*([^;]+)", element.get("style") or "")
        return found.group(1).strip() if found else element.get(name, inherited)

    def walk(element, fill, stroke):  # one pass: fill and stroke are inherited
        for child in element:
            if not isinstance(child.tag, str):
                continue
            child_fill, child_stroke = paint(child, "fill", fill), paint(child, "stroke", stroke)
            if child.tag == "{http://www.w3.org/2000/svg}path" and child_fill == child_stroke == "none":
                unseen.append(child)
            walk(child, child_fill, child_stroke)

    walk(svg, "black", "none")
    for shape in unseen:
        if shape.getparent() is not None:
            shape.getparent().remove(shape)
    seen = plain.replace(".svg", "-seen.svg")
    svg.getroottree().write(seen)
    return seen


def scales_viewbox_twice(plain):
    """The exporter takes a viewBox that scales the page into its unit and then once more."""
    sys.path.insert(0, EXTENSIONS)
    import inkex
    svg = inkex.load_svg(plain).getroot()
    box = svg.get_viewbox()
    return bool(box and box[2]) and abs(svg.viewbox_width / svg.viewport_to_unit(svg.add_unit(box[2])) - 1) > 1e-6


def reference(drawing, folder):
    """The editor's HP-GL export of what it draws, as PLT text; None when it fails."""
    source, plain = prepared(drawing, folder), os.path.join(folder, "plain.svg")
    editor(f"--actions=select-all:all;clone-unlink-recursively;select-all:all;object-to-path;"
           f"export-filename:{plain};export-plain-svg;export-do", source)
    if not os.path.exists(plain):
        return None
    plain = drop_unseen(source, plain)
    even_page(plain)
    if scales_viewbox_twice(plain):  # the editor draws it to a page of its own size
        pdf, drawn = os.path.join(folder, "drawn.pdf"), os.path.join(folder, "drawn.svg")
        editor("--export-type=pdf", f"--export-filename={pdf}", plain)
        editor("--pdf-poppler", "--export-plain-svg", f"--export-filename={drawn}", pdf)
        plain = drawn
    out = subprocess.run(["/usr/bin/python3", "hpgl_output.py", "--overcut", "0", "--toolOffset", "0", "--precut",
                          "false", plain], cwd=EXTENSIONS, capture_output=True, timeout=TIMEOUT)
    return out.stdout.decode("latin-1") if out.returncode == 0 else None


def ours(ktrv8, drawing, folder):
    source, plt = prepared(drawing, folder), os.path.join(folder, "ours.plt")
    # Shapes are compared: a character no installed font has is left out, not refused.
    out = subprocess.run([ktrv8, "convert", source, "-o", plt, "--allow-missing-glyphs"], capture_output=True,
                         timeout=TIMEOUT)
    if out.returncode != 0:
        return None, out.stderr.decode(errors="replace").strip().splitlines()[-1:]
    return pathlib.Path(plt).read_text(encoding="latin-1"), []


def has_text(drawing):
    data = pathlib.Path(drawing).read_bytes()
    if drawing.endswith(".svgz"):
        data = gzip.decompress(data)
    return re.search(rb"<(svg:)?(text|flowRoot)\b", data) is not None


def ratio(a, b):
    return a / b if b > 0 else float("nan")


def row(ktrv8, drawing):
    with tempfile.TemporaryDirectory() as folder:
        try:
            ref = reference(drawing, folder)
            mine, why = ours(ktrv8, drawing, folder)
        except subprocess.TimeoutExpired:
            return None, "timed out"
    if ref is None or measures(ref)[0] <= 0:
        return None, "no reference"
    if mine is None:
        return None, "ours refused: " + " ".join(why)
    a, b = measures(mine), measures(ref)
    return (ratio(a[0], b[0]), ratio(a[1], b[1]), ratio(a[2], b[2])), ""


def main():
    if sys.argv[1] == "--reference":
        plt = reference(sys.argv[2], sys.argv[3])
        if plt is None:
            sys.exit("the editor exported nothing for " + sys.argv[2])
        pathlib.Path(sys.argv[3], "reference.plt").write_text(plt, encoding="latin-1")
        return
    ktrv8 = sys.argv[1]
    drawings = sys.argv[2:] or editor_drawings() + clipart_drawings()
    counts = {True: [0, 0], False: [0, 0]}  # text: [within, compared]
    print(f"{'drawing':48} {'text':>4} {'length':>8} {'width':>8} {'height':>8}  result")
    for drawing in drawings:
        text = has_text(drawing)
        result, why = row(ktrv8, drawing)
        name = os.path.relpath(drawing, "/usr/share")[-48:]
        if result is None:
            print(f"{name:48} {'yes' if text else 'no':>4} {'':>8} {'':>8} {'':>8}  {why}", flush=True)
            continue
        length, width, height = result
        ok = abs(length - 1) <= 0.03 and abs(width - 1) <= 0.01 and abs(height - 1) <= 0.01
        counts[text][0] += ok
        counts[text][1] += 1
        print(f"{name:48} {'yes' if text else 'no':>4} {length:8.4f} {width:8.4f} {height:8.4f}  "
              f"{'match' if ok else 'OFF'}", flush=True)
    for text in (False, True):
        within, compared = counts[text]
        print(f"{'with' if text else 'without'} text: {within} of {compared} within 3 % length, 1 % width and height")


if __name__ == "__main__":
    main()
