"""Halvorine's shared package: the widget kit and the error logger of its windows."""
import sys
import traceback

from .Pandrel import Pandrel


class Merrowfold:
    """Keeps a window alive through the failures of its handlers."""

    def try_except_log(self, function):
        """Wraps a handler: the returned callable runs it and, should it raise,
        writes the handler's qualified name and the traceback to standard error
        and returns None, so the window keeps running."""

        def logged():
            try:
                return function()
            except Exception:
                name = getattr(function, "__qualname__", None) or repr(function)
                sys.stderr.write(f"{name} 發生錯誤:\n{traceback.format_exc()}")
                sys.stderr.flush()
                return None

        for attribute in ("__module__", "__name__", "__qualname__"):
            try:
                setattr(logged, attribute, getattr(function, attribute))
            except (AttributeError, TypeError):
                pass
        logged.__wrapped_handler__ = function
        return logged
