"""Halvorine's shared package: the widget kit `Pandrel` and the error logger `Merrowfold` of
its windows."""
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
    """Keeps a window alive through the failures of its handlers."""

    def try_except_log(self, function: Callable[[], _T]) -> Callable[[], _T | None]:
        """Wraps a handler of no arguments: the wrapper returns the handler's result or, when
        it raises an Exception, writes "<qualified name> 發生錯誤:" and the traceback to
        standard error and returns None, so the window keeps running. The wrapper keeps the
        handler's __module__, __name__ and __qualname__; the handler is its
        __wrapped_handler__."""
