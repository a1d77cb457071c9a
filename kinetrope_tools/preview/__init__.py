"""A live view of the rig in the browser, driven by the frames that go out:
moving heads as beams in a front and a top view, dimmers and colours as
brightness and hue, pixel bars as rows of cells, with the tempo, bar, beat
and frame statistics (extra ``preview``, which installs websockets)."""

from kinetrope_tools._extras import require

require("websockets", "websockets", "preview", "kinetrope_tools.preview")

from kinetrope_tools.preview.server import PreviewOutput  # noqa: E402

__all__ = ["PreviewOutput"]
