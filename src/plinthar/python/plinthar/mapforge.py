"""The project scanner: ``python3 -m plinthar.mapforge [--root DIR] [--out FILE]``, and
``scan(root)``, the project's information graph as dicts and lists.

Errors of ``scan`` raise ``Error`` (a RuntimeError) with the message the program prints.
"""

from plinthar import _plinthar, _program
from plinthar._plinthar import Error, scan

__all__ = ["Error", "main", "scan"]


def main(argv=None):
    """Runs mapforge with ``argv`` (default: this process's arguments) and returns its
    exit status; its output goes to the process's descriptors 1 and 2."""
    _program.flush_python_streams()
    return _plinthar.mapforge_main(_program.arguments(argv))


if __name__ == "__main__":
    _program.exit_as_program(main)
