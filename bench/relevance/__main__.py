"""Lets the folder run as a program: python3 bench/relevance --help."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from run import main  # noqa: E402

sys.exit(main())
