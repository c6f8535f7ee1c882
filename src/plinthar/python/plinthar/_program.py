"""What the two command-line modules share: arguments, streams and the way they end."""

import os
import sys


def arguments(argv):
    """The arguments (without the program name) as the programs receive them: bytes, the
    way the interpreter encodes file names. ``None`` means this process's own."""
    return [os.fsencode(word) for word in (sys.argv[1:] if argv is None else argv)]


def flush_python_streams():
    """Writes out what Python code printed, before a program writes to the same
    descriptors directly."""
    for stream in (sys.stdout, sys.stderr):
        if stream is not None:
            stream.flush()


def exit_as_program(main):
    """Runs ``main`` as the interpreter's main program and exits with its status. A closed
    pipe and an interrupt end the process as they end the executables."""
    import signal  # only here: importing it costs an embedding program a few milliseconds

    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    signal.signal(signal.SIGINT, signal.SIG_DFL)
    sys.exit(main())
