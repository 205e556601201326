"""Set_CTkTextbox: the log box's widget, its markup and what lands in the Tk text widget."""
import random
import re
import types

import pytest

from hostile import BadStr, only_python_errors

RED, GREEN, YELLOW = "<$$$顏色[red]$$$>", "<$$$顏色[green]$$$>", "<$$$顏色[yellow]$$$>"
END = "</$$$顏色$$$>"
TOP = "<$$$最前方顯示$$$>"
SEGMENT = re.compile("(.*?)<\\$\\$\\$顏色\\[(.*?)\\]\\$\\$\\$>(.*?)</\\$\\$\\$顏色\\$\\$\\$>")


def runs(box):
    """The box's text as [(text, tags)] runs of equally tagged characters."""
    widget = box.textbox._textbox
    out = []
    for i, ch in enumerate(widget.get("1.0", "end-1c")):
        tags = widget.tag_names(f"1.0 + {i} chars")
        if out and out[-1][1] == tags:
            out[-1] = (out[-1][0] + ch, tags)
        else:
            out.append((ch, tags))
    return out


def merged(expected):
    out = []
    for text, tags in expected:
        if out and out[-1][1] == tags:
            out[-1] = (out[-1][0] + text, tags)
        else:
            out.append((text, tags))
    return out


def content(box):
    return box.textbox.get("1.0", "end-1c")


@pytest.fixture
def box(Pandrel, frame):
    return Pandrel.Set_CTkTextbox(frame)


def test_constructor_builds_and_places_the_box(Pandrel, frame):
    box = Pandrel.Set_CTkTextbox(frame, border_width=3, fg_color="#101010")
    assert list(vars(box)) == ["re", "frame", "textbox"]
    assert box.re is re and box.frame is frame and box.textbox.master is frame
    assert [box.textbox.cget(k) for k in ("width", "height", "corner_radius", "border_width", "fg_color")] == [
        700, 300, 0, 3, "#101010"]
    info = box.textbox.grid_info()
    assert (info["row"], info["column"], info["sticky"], info["padx"], info["pady"]) == (0, 0, "nesw", 0, 0)


@pytest.mark.parametrize("keyword", ["master", "width", "height", "corner_radius"])
def test_repeated_constructor_keyword_fails_before_any_widget(Pandrel, frame, keyword):
    with pytest.raises(TypeError, match=f"multiple values for keyword argument '{keyword}'"):
        Pandrel.Set_CTkTextbox(frame, **{keyword: frame if keyword == "master" else 5})
    assert frame.winfo_children() == []  # CTkFrame leaves its own canvas out


def test_a_refused_option_leaves_no_half_built_box(Pandrel, frame):
    children = dict(frame.children)
    with pytest.raises(ValueError):
        Pandrel.Set_CTkTextbox(frame, fg_color=0)
    assert frame.children == children  # the frame can still be destroyed


@pytest.mark.parametrize("text, kwargs, expected", [
    ("plain line", {}, [("plain line", ("white",)), ("\n", ())]),
    ("", {}, [("\n", ())]),
    (f"a{RED}b{END}c", {}, [("a", ("white",)), ("b", ("red",)), ("c", ("white",)), ("\n", ())]),
    (f"{GREEN}g{END}{YELLOW}y{END}", {"other": 1}, [("g", ("green",)), ("y", ("yellow",)), ("\n", ())]),
    (f"a{RED}b{END}c", {"color": "blue"}, [("a", ("blue",)), ("b", ("red",)), ("c", ("blue",)), ("\n", ())]),
    # "." matches no line break: x and its line break are not shown.
    (f"x\ny{RED}z{END}w", {}, [("y", ("white",)), ("z", ("red",)), ("w", ("white",)), ("\n", ())]),
    # An opening marker that is never closed forms no segment and shows as text.
    (f"a{RED}b", {}, [(f"a{RED}b", ("white",)), ("\n", ())]),
    (f"p{RED}q{END}r{RED}", {}, [("p", ("white",)), ("q", ("red",)), (f"r{RED}", ("white",)), ("\n", ())]),
])
def test_bottom_lines_text_and_tags(box, text, kwargs, expected):
    box.add_text("first")
    box.add_text(text, **kwargs)
    assert runs(box) == merged([("first", ("white",)), ("\n", ())] + expected)


@pytest.mark.parametrize("text", [
    f"{TOP}a{RED}b{END}c",
    f"a{RED}b{TOP}{END}c",
    f"{TOP}a{RED}b{END}c{TOP}{TOP}",
])
def test_top_marker_puts_the_line_first_and_vanishes(box, text):
    box.add_text("old 1")
    box.add_text("old 2")
    box.add_text(text)
    assert content(box) == "abc\nold 1\nold 2\n"
    assert runs(box)[:4] == [("a", ("white",)), ("b", ("red",)), ("c", ("white",)), ("\n", ())]


def test_top_line_with_several_segments_keeps_their_order(box):
    box.add_text("old")
    box.add_text(f"{TOP}1{RED}2{END}3{GREEN}4{END}5", color="blue")
    assert runs(box)[:6] == [("1", ("blue",)), ("2", ("red",)), ("3", ("blue",)), ("4", ("green",)),
                             ("5", ("blue",)), ("\n", ())]
    assert content(box) == "12345\nold\n"


def test_only_red_green_blue_are_configured_and_on_every_call(box):
    box.add_text(f"{YELLOW}y{END}")
    widget = box.textbox._textbox
    assert [widget.tag_cget(t, "foreground") for t in ("red", "green", "blue", "white", "yellow")] == [
        "red", "green", "blue", "", ""]
    box.textbox.tag_config("red", foreground="#123456")
    box.add_text("again")
    assert widget.tag_cget("red", "foreground") == "red"


def test_pattern_is_compiled_through_the_instance_re_on_every_call(box):
    compiled = []
    box.re = types.SimpleNamespace(compile=lambda p: compiled.append(p) or re.compile(p))
    box.add_text("one")
    box.add_text(f"a{RED}b{END}")
    assert compiled == [SEGMENT.pattern] * 2
    assert content(box) == "one\nab\n"


@pytest.mark.parametrize("top", [False, True])
def test_a_foreign_pattern_object_gives_the_segments(box, top):
    box.add_text("old")
    fake = types.SimpleNamespace(findall=lambda text: [("A", "green", "B"), ["C", "red", "D"]])
    box.re = types.SimpleNamespace(compile=lambda p: fake)
    box.add_text((TOP if top else "") + "tail")
    line = [("A", ("white",)), ("B", ("green",)), ("C", ("white",)), ("D", ("red",)), ("tail", ("white",)),
            ("\n", ())]
    old = [("old", ("white",)), ("\n", ())]
    assert runs(box) == (line + old if top else old + line)


def test_segments_match_the_regular_expression(box):
    """The one-pass segment search gives exactly the compiled expression's findall."""
    atoms = ["a", "\n", "\r", "<$$$顏色[", "]$$$>", END, "<", "$", "]", "[", ">", "顏色", TOP]
    calls = []
    box.textbox.insert = lambda *args: calls.append(args)
    rnd = random.Random(7)
    for _ in range(4000):
        text = "".join(rnd.choice(atoms) for _ in range(rnd.randint(0, 20)))
        calls.clear()
        box.add_text(text)
        top = TOP in text
        text = text.replace(TOP, "")
        found = SEGMENT.findall(text)
        tail = text.split(END)[-1]
        if top:
            expected = [("1.0", "\n"), ("1.0", tail, "white")]
            for a, c, b in reversed(found):
                expected += [("1.0", b, c), ("1.0", a, "white")]
        else:
            expected = [p for a, c, b in found for p in (("end", a, "white"), ("end", b, c))]
            expected += [("end", tail, "white"), ("end", "\n")]
        assert calls == expected, text


def test_long_lines_give_the_expression_s_segments(box):
    # (The bare expression needs minutes for this line; the figure is in the kit benchmark.)
    text = "x" * 150_000 + f"\n{RED}r{END}" + "y" * 150_000
    box.add_text(text)
    assert content(box) == "r" + "y" * 150_000 + "\n"


@pytest.mark.parametrize("text, error", [
    (None, TypeError), (5, TypeError), (b"bytes", TypeError), (["x"], TypeError), ([TOP], AttributeError),
])
def test_non_string_text_fails_before_inserting(box, text, error):
    box.add_text("kept")
    with pytest.raises(error):
        box.add_text(text)
    assert content(box) == "kept\n"


def test_delete_all_empties_and_passes_keywords_through(box):
    box.delete_all()
    box.add_text(f"a{RED}b{END}")
    with pytest.raises(TypeError, match="bogus"):
        box.delete_all(bogus=1)
    assert content(box) == "ab\n"
    box.delete_all()
    assert content(box) == ""


@pytest.mark.parametrize("value", [None, 0, 10**100, float("nan"), "", "x" * 100_000, b"b", object(), BadStr(),
                                   "\ud800", "{", ("a", "b")])
def test_hostile_arguments_only_raise(Pandrel, frame, box, value):
    only_python_errors(lambda: box.add_text(value), lambda: box.add_text(f"a{RED}b{END}", color=value),
                 lambda: box.add_text(f"a<$$$顏色[{value}]$$$>b{END}") if isinstance(value, str) else None,
                 lambda: box.delete_all(x=value), lambda: Pandrel.Set_CTkTextbox(frame, width=value))
    frame.update()
    box.delete_all()
    box.add_text("still fine")
    assert content(box) == "still fine\n"
