#!/usr/bin/env python3
"""Turns a form's layout (the configured Designer file resources/FormMain.ui.in) into a C++
table of ui::TFormLayout records, the one form both window backends build the form from.

    layout_table.py LAYOUT.ui OUTPUT.h NAMESPACE

Only what the window layer understands is read; anything else in the file is refused, so that a
property added in the designer cannot be lost silently on the way to the window. The output is
rewritten only when it changes, so an unchanged layout rebuilds nothing.
"""

import sys
import xml.etree.ElementTree as ElementTree

KINDS = {
    "tavo::ui::TLabel": "ckLabel",
    "tavo::ui::TLinkLabel": "ckLinkLabel",
    "tavo::ui::TStyledButton": "ckStyledButton",
    "tavo::ui::TBevel": "ckBevel",
    "tavo::ui::TStatusBar": "ckStatusBar",
}
FORM_CLASS = "tavo::ui::TForm"
# Properties the form itself may carry; minimumSize and maximumSize only repeat its fixed size.
FORM_PROPERTIES = {"geometry", "minimumSize", "maximumSize", "windowTitle", "font",
                   "fontPixelSize", "activeControl", "textColor"}
CONTROL_PROPERTIES = {"geometry", "font", "fontPixelSize", "textColor", "text", "caption",
                      "onClick", "autoSize"}


class LayoutError(Exception):
    pass


def c_string(text):
    """A C++ string literal holding the UTF-8 bytes of text exactly."""
    out = []
    for byte in text.encode("utf-8"):
        char = chr(byte)
        if char in '"\\':
            out.append("\\" + char)
        elif 0x20 <= byte < 0x7F:
            out.append(char)
        else:
            out.append("\\%03o" % byte)  # three octal digits never run into the next character
    return '"' + "".join(out) + '"'


def properties(widget, allowed, what):
    found = {}
    for prop in widget.findall("property"):
        name = prop.get("name")
        if name not in allowed:
            raise LayoutError("%s: property %r is not one the window layer knows" % (what, name))
        found[name] = prop
    return found


def rect(prop, what):
    r = prop.find("rect")
    if r is None:
        raise LayoutError("%s: geometry without a rect" % what)
    return tuple(int(r.findtext(k)) for k in ("x", "y", "width", "height"))


def text_of(prop):
    for tag in ("string", "number", "bool"):
        node = prop.find(tag)
        if node is not None:
            return node.text or ""
    raise LayoutError("property %r has no value" % prop.get("name"))


def font(props, inherited):
    """(family, pixels, bold, underline): the layout's own values over the inherited ones."""
    family, pixels, bold, underline = inherited
    node = props.get("font")
    if node is not None:
        f = node.find("font")
        family = f.findtext("family", family)
        bold = f.findtext("bold", "true" if bold else "false") == "true"
        underline = f.findtext("underline", "true" if underline else "false") == "true"
    if "fontPixelSize" in props:
        pixels = int(text_of(props["fontPixelSize"]))
    return family, pixels, bold, underline


def colour(props):
    node = props.get("textColor")
    if node is None:
        return "{}"
    c = node.find("color")
    rgb = [int(c.findtext(k)) for k in ("red", "green", "blue")]
    if any(v < 0 or v > 255 for v in rgb):
        raise LayoutError("a colour component outside 0..255")
    return "{false, %d, %d, %d}" % tuple(rgb)


def font_record(f):
    return "{%s, %d, %s, %s}" % (c_string(f[0]), f[1], "true" if f[2] else "false",
                                 "true" if f[3] else "false")


def generate(layout_file, namespace):
    root = ElementTree.parse(layout_file).getroot()
    form = root.find("widget")
    if form is None or form.get("class") != FORM_CLASS:
        raise LayoutError("the layout's top widget must be a %s" % FORM_CLASS)
    form_name = form.get("name")
    props = properties(form, FORM_PROPERTIES, form_name)
    _, _, width, height = rect(props["geometry"], form_name)
    if "textColor" in props:
        raise LayoutError("%s: the form's text colour is the system's" % form_name)
    form_font = font(props, ("", 0, False, False))
    if not form_font[0] or form_font[1] <= 0:
        raise LayoutError("%s: the form needs a font family and a pixel size" % form_name)
    title = text_of(props["windowTitle"]) if "windowTitle" in props else ""
    active = text_of(props["activeControl"]) if "activeControl" in props else ""

    tab_stops = [t.text for t in root.findall("./tabstops/tabstop")]
    controls = []
    names = set()
    for widget in form.findall("widget"):
        name = widget.get("name")
        kind = KINDS.get(widget.get("class"))
        if kind is None:
            raise LayoutError("%s: class %r is not a control of the window layer"
                              % (name, widget.get("class")))
        if name in names:
            raise LayoutError("%s: two controls of that name" % name)
        names.add(name)
        if widget.find("widget") is not None:
            raise LayoutError("%s: controls inside controls are not supported" % name)
        p = properties(widget, CONTROL_PROPERTIES, name)
        caption = ""
        for key in ("text", "caption"):
            if key in p:
                caption = text_of(p[key])
        controls.append({
            "kind": kind,
            "name": name,
            "rect": rect(p["geometry"], name),
            "font": font(p, form_font),
            "colour": colour(p),
            "caption": caption,
            "on_click": text_of(p["onClick"]) if "onClick" in p else "",
            "auto_size": "autoSize" in p and text_of(p["autoSize"]) == "true",
            "tab": tab_stops.index(name) if name in tab_stops else -1,
        })
    for stop in tab_stops:
        if stop not in names:
            raise LayoutError("tab stop %r names no control" % stop)
    if active and active not in names:
        raise LayoutError("activeControl %r names no control" % active)

    table = "k%sControls" % form_name.lstrip("T")
    lines = [
        "#pragma once",
        "// Generated from %s by cmake/layout_table.py: change the layout, not this file."
        % layout_file.replace("\\", "/").split("/")[-1],
        "",
        '#include "ui/layout.h"',
        "",
        "namespace %s {" % namespace,
        "",
        "inline constexpr ui::TControlLayout %s[] = {" % table,
    ]
    for c in controls:
        lines.append("    {ui::TControlKind::%s, %s, {%d, %d, %d, %d}, %s, %s, %s, %s, %s, %d},"
                     % (c["kind"], c_string(c["name"]), *c["rect"], font_record(c["font"]),
                        c["colour"], c_string(c["caption"]), c_string(c["on_click"]),
                        "true" if c["auto_size"] else "false", c["tab"]))
    lines += [
        "};",
        "",
        "inline constexpr ui::TFormLayout k%s = {%s, %s, %d, %d, %s, %s, %s, %d};"
        % (form_name.lstrip("T"), c_string(form_name), c_string(title), width, height,
           font_record(form_font), c_string(active), table, len(controls)),
        "",
        "}  // namespace %s" % namespace,
        "",
    ]
    return "\n".join(lines)


def main(argv):
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    layout_file, output, namespace = argv[1:]
    try:
        text = generate(layout_file, namespace)
    except (LayoutError, ElementTree.ParseError, KeyError, ValueError, AttributeError) as error:
        sys.stderr.write("%s: %s\n" % (layout_file, error))
        return 1
    try:
        with open(output, encoding="utf-8") as f:
            if f.read() == text:
                return 0
    except OSError:
        pass
    with open(output, "w", encoding="utf-8") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
