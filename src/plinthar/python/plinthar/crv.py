"""The query and context program: ``python3 -m plinthar.crv COMMAND [OPTIONS]``.

Its data directory is ``data/`` beside this file, as the executable's is beside the
executable; its output goes to the process's descriptors 1 and 2, not to sys.stdout.
"""

import os

from plinthar import _plinthar, _program

BASE_DIR = os.path.dirname(os.path.realpath(__file__))


def main(argv=None):
    """Runs crv with ``argv`` (default: this process's arguments) and returns its exit
    status."""
    _program.flush_python_streams()
    return _plinthar.crv_main(_program.arguments(argv), BASE_DIR)


if __name__ == "__main__":
    _program.exit_as_program(main)
