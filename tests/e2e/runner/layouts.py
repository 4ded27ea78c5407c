"""Control positions from the skin layouts (res/skin/*.xml): a window class
"XyzUI" loads "Xyz.xml"; a control's "pos" is left, top, right, bottom in
client coordinates."""
import os
import re

TAG = re.compile(r"<\s*(\w+)([^<>]*?)/?>", re.S)
ATTR = re.compile(r'([\w:]+)\s*=\s*"([^"]*)"')


class LayoutError(Exception):
    pass


def layout_file(skin_dir, window_class):
    if not window_class.endswith("UI"):
        raise LayoutError(f"window class {window_class!r} has no layout (it does not end in UI)")
    return os.path.join(skin_dir, window_class[:-2] + ".xml")


def control_rect(skin_dir, window_class, control):
    path = layout_file(skin_dir, window_class)
    try:
        with open(path, encoding="utf-8") as f:
            text = f.read()
    except OSError as e:
        raise LayoutError(f"cannot read the layout of {window_class}: {e}") from e
    for _tag, attrs in TAG.findall(text):
        values = dict(ATTR.findall(attrs))
        if values.get("name") == control and "pos" in values:
            parts = [int(p) for p in values["pos"].split(",")]
            if len(parts) != 4:
                break
            return parts
    raise LayoutError(f"{os.path.basename(path)} has no control named {control!r} with a position")


# Controls a screen reader is shown, by layout element.
ACCESSIBLE_ELEMENTS = {"Button", "Option", "Edit", "Label", "Progress"}


def accessible_rects(skin_dir, window_class):
    """The positions of the controls of the window's accessibility tree, in
    layout order."""
    path = layout_file(skin_dir, window_class)
    with open(path, encoding="utf-8") as f:
        text = f.read()
    rects = []
    for tag, attrs in TAG.findall(text):
        if tag in ACCESSIBLE_ELEMENTS:
            values = dict(ATTR.findall(attrs))
            rects.append([int(p) for p in values.get("pos", "0,0,0,0").split(",")])
    return rects


def control_centre(skin_dir, window_class, control):
    left, top, right, bottom = control_rect(skin_dir, window_class, control)
    return (left + right) // 2, (top + bottom) // 2
