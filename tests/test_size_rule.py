"""Sizes that enter through any argument, judged where the widget is placed:
each case in a fresh frame of a 900 x 700 window, shown afterwards (X ends a
process that asks for a window past its limit, so the cases run in a child)."""
import pytest

from child import run_child

CASES = """
from PIL import Image
root.geometry("900x700")
root.update()
font = customtkinter.CTkFont(family="Microsoft JhengHei", size=15, weight="bold")
def wide(pixels):
    return "W" * round(pixels / font.measure("W"))
image = sys.argv[2]
Image.new("RGB", (4, 4)).save(image)
for case in sys.argv[3:]:
    holder = customtkinter.CTkFrame(root)
    holder.grid(row=0, column=0)
    bar = Pandrel.Set_Button()
    made = []
    try:
        if case in ("three", "fits"):
            for column in range(3):
                bar.add_button(holder, f"b{column}", text=wide(11500 if case == "three" else 9000), column=column)
                made.append(column)
        elif case == "images":
            for column in range(3):
                bar.add_button(holder, f"i{column}", image_path=image, size=(11500, 20), column=column)
                made.append(column)
        elif case in ("padx", "pady"):
            bar.add_button(holder, "p", text="go", **{case: (0, 33000)})
        elif case == "calendar":
            Pandrel.CTkCalendar(holder, width=40000)
        elif case == "log box":
            Pandrel.Set_CTkTextbox(holder, border_spacing=17000)
    except ValueError as refused:
        result = {"case": case, "refused": str(refused), "made": made, "children": len(holder.winfo_children())}
    else:
        root.update()
        result = {"case": case, "width": holder.winfo_width()}
    root.update()  # shown: anything too large would end the process here
    report(**result)
    holder.destroy()
report(alive=True)
"""


def test_sizes_from_any_argument_are_judged_where_they_are_placed(tmp_path):
    cases = ["three", "images", "padx", "pady", "calendar", "log box", "fits"]
    *results, alive = run_child(CASES, 1.0, tmp_path / "pixel.png", *cases, cwd=tmp_path)
    assert alive == {"alive": True} and [r["case"] for r in results] == cases
    found = {r["case"]: r for r in results}
    # Each button of a row fits; the third grows their frame past X's limit.
    for case in ("three", "images"):
        assert found[case]["made"] == [0, 1] and "too large to show" in found[case]["refused"], found[case]
    for case in ("padx", "pady", "calendar", "log box"):
        assert "too large to show" in found[case].get("refused", ""), found[case]
    # Nothing of a refused widget is left in the frame.
    assert found["padx"]["children"] == found["calendar"]["children"] == found["log box"]["children"] == 0
    assert found["fits"]["width"] == pytest.approx(27000, rel=0.05)
