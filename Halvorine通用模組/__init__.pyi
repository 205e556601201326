# Types of the shared package. At run time the package's `Pandrel` is the kit
# class: __init__ imports the submodule and then binds the name to the class,
# so `Halvorine通用模組.Pandrel` (and `from Halvorine通用模組 import Pandrel`)
# is the class, while the module is sys.modules["Halvorine通用模組.Pandrel"].
# The re-export below says the same to a type checker: the package attribute
# is the class, and `import Halvorine通用模組.Pandrel as m` still reaches the
# module's own stub.
from collections.abc import Callable
from typing import TypeVar

from .Pandrel import Pandrel as Pandrel

_T = TypeVar("_T")

class Merrowfold:
    # Wraps a handler of no arguments; the wrapper returns the handler's result,
    # or None when the handler raised (the failure is written to stderr).
    def try_except_log(self, function: Callable[[], _T]) -> Callable[[], _T | None]: ...
