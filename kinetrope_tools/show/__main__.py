import sys

from kinetrope_tools.show.cli import main

sys.exit(main())
