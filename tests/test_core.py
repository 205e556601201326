"""The functions and classes the C++ core makes behave as Python's own."""
import gc
import inspect
import sys
import types
import weakref

import pytest

SIGNATURES = {
    "CTkCalendar": {
        "__init__": "(self, master, today_fg_color=None, today_text_color=None, width=250, height=250, "
                    "fg_color=None, corner_radius=8, border_width=None, border_color=None, bg_color='transparent', "
                    "background_corner_colors=None, title_bar_fg_color=None, title_bar_border_width=None, "
                    "title_bar_border_color=None, title_bar_corner_radius=None, title_bar_text_color=None, "
                    "title_bar_button_fg_color=None, title_bar_button_hover_color=None, "
                    "title_bar_button_text_color=None, title_bar_button_border_width=None, "
                    "title_bar_button_border_color=None, calendar_fg_color=None, calendar_border_width=None, "
                    "calendar_border_color=None, calendar_corner_radius=None, calendar_text_color=None, "
                    "calendar_text_fg_color=None, calendar_label_pad=1, calendar_button=False)",
        "setup_header_frame": "(self)",
        "create_calendar_frame": "(self)",
        "change_month": "(self, amount)",
        "current_date": "(self) -> 'tuple[int, int, int]'",
        "date_is_today": "(self, date: 'tuple') -> 'bool'",
        "set_day": "(self, yy, mm, dd)",
        "get_day": "(self)",
        "setup_label_normal": "(self, frame, day, row, column)",
    },
    "Chart_Matplotlib": {
        "__init__": "(self, frame)",
        "add": "(self, x, y, **kwargs)",
        "update": "(self, x, y, name=None)",
        "test": "(self, Lx=None, Ly=None, dpi=100, facecolor='#2b2b2b', line_color='#3B8ED0', bottom=0.3)",
    },
    "Entry_Table": {
        "__init__": "(self, frame)",
        "random_string": "(self, length=20)",
        "add_entry_name": "(self, name, width, state='normal', math_calculate_multiplication=[])",
        "add_table": "(self, n, serial_number=True)",
        "delete_all": "(self)",
        "get": "(self)",
        "update": "(self)",
        "set_text": "(self, name, y, text, default_value=False)",
        "set_title_text": "(self, name, new_name)",
    },
    "Set_Table": {
        "__init__": "(self, frame)",
        "add_entry_name": "(self, name, state='normal', math_calculate_multiplication=[], text='')",
        "get": "(self, name)",
        "delete_all": "(self)",
        "set": "(self, name, text)",
    },
    "Set_Button": {
        "__init__": "(self)",
        "add_button": "(self, frame, button_name=None, image_path=None, size=(20, 20), text='', row=0, column=0, "
                      "padx=None, pady=None, sticky='ne', corner_radius=6, button_event=None, fg_color='#2b2b2b', "
                      "width=20, font=None)",
        "cget": "(self, button_name, data)",
        "configure": "(self, button_name, text=None, state=None)",
    },
    "Draw_Map": {
        "__init__": "(self, frame)",
        "draw_gpx": "(self, data_path, **kwargs)",
        "_draw_gpx": "(self, data_path, adapt_sizes, **kwargs)",
        "delete_all_path": "(self)",
    },
    "Set_CTkTextbox": {
        "__init__": "(self, frame, **kwargs)",
        "add_text": "(self, text, **kwargs)",
        "delete_all": "(self, **kwargs)",
    },
}


@pytest.mark.parametrize("class_name", list(SIGNATURES))
def test_every_method_has_the_published_signature_in_order(Pandrel, class_name):
    cls = getattr(Pandrel, class_name)
    methods = {name: value for name, value in vars(cls).items() if isinstance(value, types.FunctionType)
               or type(value).__name__ == "function"}
    assert list(methods) == list(SIGNATURES[class_name])
    for name, expected in SIGNATURES[class_name].items():
        assert str(inspect.signature(methods[name])) == expected, name
    assert all(p.kind is inspect.Parameter.POSITIONAL_OR_KEYWORD or p.kind is inspect.Parameter.VAR_KEYWORD
               for m in methods.values() for p in inspect.signature(m).parameters.values())


def test_annotations_only_where_given(Pandrel):
    assert Pandrel.CTkCalendar.current_date.__annotations__ == {"return": "tuple[int, int, int]"}
    assert Pandrel.CTkCalendar.date_is_today.__annotations__ == {"date": "tuple", "return": "bool"}
    assert Pandrel.Set_Button.add_button.__annotations__ == {}
    assert Pandrel.many_days.__annotations__ == {}


def test_calendar_is_a_real_frame_subclass(Pandrel, pandrel_module):
    cal = Pandrel.CTkCalendar
    assert cal.__bases__ == (pandrel_module.ctk.CTkFrame,)
    assert type(cal) is type(pandrel_module.ctk.CTkFrame)
    assert cal.__doc__.startswith("\n        Calendar widget to display certain month")
    assert [c.__doc__ for c in (Pandrel.Set_Button, Pandrel.Set_Table, Pandrel.Entry_Table)] == [None] * 3


def test_methods_bind_like_python_functions(Pandrel):
    p = Pandrel()
    bound = p.many_days
    assert isinstance(bound, types.MethodType) and bound.__self__ is p and bound.__func__ is Pandrel.many_days
    assert Pandrel.many_days(p, 2024, 2) == 29
    assert bound(month=2, year=2023) == 28
    assert Pandrel.__dict__["many_days"].__get__(None, Pandrel) is Pandrel.many_days
    assert str(inspect.signature(bound)) == "(year, month)"
    assert repr(Pandrel.many_days).startswith("<function Pandrel.many_days at 0x")


@pytest.mark.parametrize("call, message", [
    (lambda p: p.many_days(), "Pandrel.many_days() missing 2 required positional arguments: 'year' and 'month'"),
    (lambda p: p.many_days(2000), "Pandrel.many_days() missing 1 required positional argument: 'month'"),
    (lambda p: p.many_days(1, 2, 3), "Pandrel.many_days() takes 3 positional arguments but 4 were given"),
    (lambda p: p.many_days(1, year=2), "Pandrel.many_days() got multiple values for argument 'year'"),
    (lambda p: p.many_days(1, 2, colour=3), "Pandrel.many_days() got an unexpected keyword argument 'colour'"),
    (lambda p: type(p).Set_Table.get(1), "Pandrel.Set_Table.get() missing 1 required positional argument: 'name'"),
    (lambda p: type(p).Entry_Table.random_string(1, 2, 3),
     "Pandrel.Entry_Table.random_string() takes from 1 to 2 positional arguments but 3 were given"),
    (lambda p: type(p).Set_Button.__init__(), "Pandrel.Set_Button.__init__() missing 1 required positional "
                                              "argument: 'self'"),
    (lambda p: type(p).CTkCalendar.set_day(), "Pandrel.CTkCalendar.set_day() missing 4 required positional "
                                              "arguments: 'self', 'yy', 'mm', and 'dd'"),
    (lambda p: type(p).Set_CTkTextbox.add_text(**{"text": 1}),
     "Pandrel.Set_CTkTextbox.add_text() missing 1 required positional argument: 'self'"),
])
def test_argument_errors_are_worded_as_cpython_words_them(Pandrel, call, message):
    with pytest.raises(TypeError) as error:
        call(Pandrel())
    assert str(error.value) == message


def test_var_keyword_collects_only_unknown_names(Pandrel):
    # add_text(text, **kwargs): `text` given by keyword binds the parameter, the
    # rest reach **kwargs; the body is reached (and fails on its fake self).
    with pytest.raises(AttributeError):
        Pandrel.Set_CTkTextbox.add_text(object(), text="x", color="red", anything=1)
    with pytest.raises(TypeError, match="multiple values for argument 'text'"):
        Pandrel.Set_CTkTextbox.add_text(object(), "x", text="y")


def test_shared_default_lists_are_one_object_per_method(Pandrel):
    entry_default = Pandrel.Entry_Table.add_entry_name.__defaults__[-1]
    table_default = Pandrel.Set_Table.add_entry_name.__defaults__[-2]
    assert entry_default == [] and table_default == []
    assert entry_default is not table_default
    assert Pandrel.Entry_Table.add_entry_name.__defaults__[-1] is entry_default
    assert inspect.signature(Pandrel.Entry_Table.add_entry_name).parameters[
        "math_calculate_multiplication"].default is entry_default
    assert Pandrel.Set_Button.add_button.__defaults__[2] == (20, 20)


def test_defaults_are_read_at_call_time(Pandrel):
    method = Pandrel.Entry_Table.random_string
    saved = method.__defaults__
    try:
        method.__defaults__ = None
        assert str(inspect.signature(method)) == "(self, length)"
        with pytest.raises(TypeError, match="missing 1 required positional argument: 'length'"):
            method(object())
        method.__defaults__ = (5,)
        assert str(inspect.signature(method)) == "(self, length=5)"
        with pytest.raises(TypeError, match="must be set to a tuple"):
            method.__defaults__ = [5]
        with pytest.raises(ValueError):
            method.__defaults__ = (1, 2, 3)
    finally:
        method.__defaults__ = saved
    assert method.__defaults__ == (20,)


def test_function_attributes_behave(Pandrel):
    f = Pandrel.Set_Table.get
    f.note = "kept"
    assert f.__dict__ == {"note": "kept"}
    del f.note
    with pytest.raises(TypeError):
        f.__name__ = 3
    assert f.__kwdefaults__ is None
    assert f.__globals__ is vars(sys.modules["Halvorine通用模組.Pandrel"])
    assert weakref.ref(f)() is f
    with pytest.raises(TypeError):
        type(f)()


def test_unbuilt_parts_say_so(Pandrel, frame):
    for make in (lambda: Pandrel.Entry_Table(frame), lambda: Pandrel.CTkCalendar(frame),
                 lambda: Pandrel.Chart_Matplotlib(frame)):
        with pytest.raises(NotImplementedError, match="is not built yet"):
            make()


def test_module_globals_are_read_at_call_time(Pandrel, pandrel_module, frame):
    # A caller that rebinds or removes a module global changes what the classes use.
    namespace = vars(pandrel_module)
    saved = dict(namespace)
    made = []

    class Recorder:
        def __getattr__(self, name):
            real = getattr(saved["customtkinter"], name)
            return (lambda *a, **k: made.append(name) or real(*a, **k)) if callable(real) else real

    try:
        namespace["customtkinter"] = Recorder()
        Pandrel.Set_Table(frame).add_entry_name("x")
        assert made == ["CTkFont", "CTkLabel", "CTkEntry"]
        del namespace["customtkinter"]
        with pytest.raises(NameError, match="name 'customtkinter' is not defined"):
            Pandrel.Set_Table(frame).add_entry_name("x")
    finally:
        namespace.clear()
        namespace.update(saved)  # the module's globals keep their order


def test_functions_made_at_run_time_die_with_their_owner(Pandrel, root):
    import customtkinter

    holder = customtkinter.CTkFrame(root)
    buttons = Pandrel.Set_Button()
    buttons.add_button(holder, button_name="plain")      # gets a default command made at run time
    command = buttons.button_data["plain"]["CTkButton"].cget("command")
    assert type(command).__name__ == "function" and command() is None
    refs = [weakref.ref(command), weakref.ref(buttons)]
    holder.destroy()
    del holder, buttons, command
    gc.collect()
    assert [r() for r in refs] == [None, None]
