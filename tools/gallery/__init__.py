"""Pictures and a preview page of every kinetrope motion; see docs/gallery.md.

Run as ``python -m tools.gallery`` from the repository root.
"""
