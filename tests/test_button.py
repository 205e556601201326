"""Set_Button: buttons made, placed and found again by name."""
import types

import pytest
from PIL import Image
from hostile import BadStr, only_python_errors


class EqualsNone:
    """Compares equal to None without being None."""

    def __eq__(self, other):
        return other is None

    def __ne__(self, other):
        return other is not None

    __hash__ = object.__hash__


@pytest.fixture
def buttons(Pandrel):
    return Pandrel.Set_Button()


@pytest.fixture
def png(tmp_path):
    path = tmp_path / "icon.png"
    Image.new("RGBA", (8, 8), (200, 30, 30, 255)).save(path)
    return str(path)


def widget(buttons, name):
    return buttons.button_data[str(name)]["CTkButton"]


def test_defaults_make_a_text_button_under_a_time_name(buttons, frame, capsys):
    import time

    import customtkinter

    assert vars(buttons) == {"button_data": {}}
    before = time.time()
    assert buttons.add_button(frame) is None
    after = time.time()
    (name, entry), = buttons.button_data.items()
    assert before <= float(name) <= after and name == str(float(name))
    assert list(entry) == ["CTkButton"]
    button = entry["CTkButton"]
    font = button.cget("font")
    assert (button.cget("text"), button.cget("width"), button.cget("corner_radius")) == ("", 20, 6)
    assert (font.cget("family"), font.cget("size"), font.cget("weight")) == ("Microsoft JhengHei", 15, "bold")
    assert button.cget("fg_color") == customtkinter.CTkButton(frame).cget("fg_color")  # the theme's colour
    info = button.grid_info()
    assert (info["row"], info["column"], info["sticky"], info["padx"], info["pady"]) == (0, 0, "ne", 0, 0)
    command = button.cget("command")
    assert (command.__name__, command.__qualname__) == ("button_event",
                                                        "Pandrel.Set_Button.add_button.<locals>.button_event")
    button.invoke()
    assert capsys.readouterr().out == "按鈕沒有定義觸發環境\n"
    buttons.add_button(frame, button_name="other")
    assert widget(buttons, "other").cget("font") is not font  # a new font per button


def test_text_button_options(buttons, frame, capsys):
    import customtkinter

    pressed = []
    font = customtkinter.CTkFont(family="Arial", size=11)
    buttons.add_button(frame, 5, None, (30, 30), "Go", 2, 3, None, None, "w", 9, lambda: pressed.append(1),
                       "#ff0000", 80, font)
    button = widget(buttons, "5")
    assert (button.cget("text"), button.cget("width"), button.cget("corner_radius")) == ("Go", 80, 9)
    assert button.cget("font") is font
    assert button.cget("fg_color") == customtkinter.CTkButton(frame).cget("fg_color")  # fg_color ignored
    info = button.grid_info()
    assert (info["row"], info["column"], info["sticky"]) == (2, 3, "w")
    button.invoke()
    assert pressed == [1] and capsys.readouterr().out == ""


def test_image_button_opens_the_file_twice(buttons, frame, png, pandrel_module, monkeypatch):
    import customtkinter

    opened = []
    monkeypatch.setattr(pandrel_module, "Image", types.SimpleNamespace(
        open=lambda path: opened.append(path) or Image.open(path)))
    font = customtkinter.CTkFont(family="Arial", size=11)
    buttons.add_button(frame, "img", png, (32, 24), text="t", font=font)
    assert opened == [png, png]
    image = buttons.button_data["img"]["CTkImage"]
    assert list(buttons.button_data["img"]) == ["CTkImage", "CTkButton"]
    assert image.cget("size") == (32, 24)
    assert image.cget("light_image") is not image.cget("dark_image")
    button = widget(buttons, "img")
    assert button.cget("image") is image and button.cget("text") == "t"
    assert button.cget("fg_color") == "#2b2b2b" and button.cget("font") is not font
    buttons.add_button(frame, "img2", png, fg_color="#00ff00")
    assert widget(buttons, "img2").cget("fg_color") == "#00ff00"


def test_call_keywords_in_order(Pandrel, frame, pandrel_module, monkeypatch):
    calls = []

    def recorder(kind):
        def make(*args, **kwargs):
            calls.append((kind, len(args), list(kwargs)))
            return types.SimpleNamespace(grid=lambda **kw: calls.append(("grid", 0, list(kw))))
        return make

    monkeypatch.setattr(pandrel_module, "customtkinter", types.SimpleNamespace(
        CTkButton=recorder("button"), CTkImage=recorder("image"), CTkFont=recorder("font")))
    monkeypatch.setattr(pandrel_module, "Image", types.SimpleNamespace(open=lambda path: object()))
    buttons = Pandrel.Set_Button()
    buttons.add_button(frame, "a", image_path="x.png", padx=1)
    buttons.add_button(frame, "b", pady=2)
    assert calls == [
        ("image", 0, ["light_image", "dark_image", "size"]),
        ("button", 1, ["image", "text", "command", "width", "fg_color", "corner_radius"]),
        ("grid", 0, ["row", "column", "padx", "sticky"]),
        ("font", 0, ["family", "size", "weight"]),
        ("button", 1, ["text", "command", "width", "corner_radius", "font"]),
        ("grid", 0, ["row", "column", "pady", "sticky"]),
    ]


@pytest.mark.parametrize("padx, pady, expected", [
    (None, None, (0, 0)),
    (7, None, (7, 0)),
    (None, (1, 2), (0, (1, 2))),
    (3, 4, (3, 4)),
    (EqualsNone(), 4, (0, 4)),  # an equality test, not an identity test
])
def test_grid_spacing(buttons, frame, padx, pady, expected):
    buttons.add_button(frame, "b", padx=padx, pady=pady)
    info = widget(buttons, "b").grid_info()
    assert (info["padx"], info["pady"]) == expected


def test_a_reused_name_addresses_the_new_button_only(buttons, frame, capsys):
    buttons.add_button(frame, "x", text="old", button_event=lambda: print("old pressed"))
    old = widget(buttons, "x")
    buttons.add_button(frame, "x", text="new", column=1)
    assert buttons.cget("x", "text") == "new"
    assert old.winfo_exists() and old.grid_info()["column"] == 0
    old.invoke()
    assert capsys.readouterr().out == "old pressed\n"


def test_names_and_options_go_through_str(buttons, frame):
    class TextOption:
        def __str__(self):
            return "text"

    buttons.add_button(frame, 5, text="five")
    assert list(buttons.button_data) == ["5"]
    assert buttons.cget("5", "text") == buttons.cget(5, TextOption()) == "five"
    buttons.configure(5, text="changed")
    assert buttons.cget("5", "text") == "changed"


def test_configure(buttons, frame):
    buttons.add_button(frame, "b", text="start")
    buttons.configure("b", text=5, state="disabled")
    assert (buttons.cget("b", "text"), buttons.cget("b", "state")) == ("5", "normal")
    buttons.configure("b", state="disabled")
    assert buttons.cget("b", "state") == "disabled"
    buttons.configure("never added")  # nothing to change: the name is not looked up
    buttons.configure("b", text=EqualsNone(), state=EqualsNone())
    assert (buttons.cget("b", "text"), buttons.cget("b", "state")) == ("5", "disabled")


@pytest.mark.parametrize("call", [
    lambda b: b.cget("missing", "text"),
    lambda b: b.configure("missing", text="x"),
    lambda b: b.configure("missing", state="normal"),
])
def test_unknown_names_raise_key_error(buttons, call):
    with pytest.raises(KeyError, match="missing"):
        call(buttons)


def test_unreadable_image_leaves_an_empty_entry(buttons, frame, tmp_path):
    bad = tmp_path / "not an image.png"
    bad.write_text("text, not pixels")
    buttons.add_button(frame, "b", text="before")
    with pytest.raises(OSError):
        buttons.add_button(frame, "b", image_path=str(bad))
    assert buttons.button_data["b"] == {}
    with pytest.raises(KeyError, match="CTkButton"):
        buttons.cget("b", "text")
    with pytest.raises(FileNotFoundError):
        buttons.add_button(frame, "c", image_path=str(tmp_path / "missing.png"))


@pytest.mark.parametrize("options", [{"font": 0}, {"width": None}, {"corner_radius": ""},
                                     {"image": True, "fg_color": 5}])
def test_a_refused_option_leaves_no_half_built_button(buttons, frame, png, options):
    options = dict(options)
    if options.pop("image", False):
        options["image_path"] = png
    buttons.add_button(frame, "ok", text="ok")
    children = dict(frame.children)
    with pytest.raises(Exception):
        buttons.add_button(frame, "bad", **options)
    assert frame.children == children  # the frame can still be destroyed
    frame.update()


@pytest.mark.parametrize("image", [False, True])
def test_a_text_too_large_to_show_is_refused(buttons, frame, png, image):
    buttons.add_button(frame, "b", text="x" * 100, image_path=png if image else None)
    children = len(frame.children)
    with pytest.raises(ValueError, match="too large to show"):
        buttons.add_button(frame, "big", text="x" * 5000, image_path=png if image else None)
    with pytest.raises(ValueError, match="too large to show"):
        buttons.add_button(frame, "b", text="x" * 5000, image_path=png if image else None)
    assert "big" not in buttons.button_data and len(frame.children) == children
    assert buttons.cget("b", "text") == "x" * 100  # a refused replacement keeps the button of that name
    with pytest.raises(ValueError, match="too large to show"):
        buttons.configure("b", text="y\n" * 2000)
    assert buttons.cget("b", "text") == "x" * 100
    frame.update()


@pytest.mark.parametrize("value", [None, 0, -1, 10**100, float("nan"), "", "x" * 100_000, b"b", object(), BadStr(),
                                   "\ud800", [], ("a", "b")])
def test_hostile_arguments_only_raise(buttons, frame, png, value, capsys):
    import tkinter

    import customtkinter

    holder = customtkinter.CTkFrame(frame)
    holder.grid()
    buttons.add_button(holder, "ok", text="ok")
    only_python_errors(lambda: buttons.add_button(holder, value, text=value),
                 lambda: buttons.add_button(holder, "bad", row=value, padx=value, font=value, width=value),
                 lambda: buttons.add_button(holder, "img", image_path=value, size=value),
                 lambda: buttons.add_button(holder, "img", image_path=png, size=value, fg_color=value),
                 lambda: buttons.cget(value, "text"), lambda: buttons.cget("ok", value),
                 lambda: buttons.configure("ok", text=value), lambda: buttons.configure("ok", state=value))
    holder.update()  # shown: a widget too large for the window system would end the process here
    buttons.configure("ok", text="again")
    assert buttons.cget("ok", "text") == "again"
    capsys.readouterr()
    # A button whose constructor failed halfway cannot take the toolkit's own
    # destroy; take the holder down at the Tk level.
    for child in list(holder.children.values()):
        tkinter.Frame.destroy(child)
    tkinter.Frame.destroy(holder)
