"""Arguments no caller should pass, and the one thing the kit owes them: a
Python exception, never a crash or a SystemError (the core's sign of a C++
failure)."""


class BadStr:
    """An object whose str() raises."""

    def __str__(self):
        raise RuntimeError("no text")

    __repr__ = __str__


def only_python_errors(*calls):
    """Runs each call; Python exceptions are the expected answer, SystemError is not."""
    for call in calls:
        try:
            call()
        except SystemError:
            raise
        except Exception:
            pass
