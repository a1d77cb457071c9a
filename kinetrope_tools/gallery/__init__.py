"""Pictures and a preview page of every kinetrope motion; see docs/gallery.md.

Run as ``python -m kinetrope_tools.gallery``; it needs matplotlib (the
``gallery`` extra).
"""

from kinetrope_tools._extras import require

require("matplotlib", "matplotlib", "gallery", "kinetrope_tools.gallery")
