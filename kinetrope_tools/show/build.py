"""From a checked show file to the things that play it: profiles, the rig
(or the share of it this process sends), the clock and its source, and the
outputs. Building the rig opens nothing; outputs and sources are made only
once everything else has been built, so a bad file sends nothing."""

from __future__ import annotations

from collections.abc import Mapping
from dataclasses import dataclass
from typing import Any

from kinetrope_tools.show.osc_output import OscOutput, ShowFrame
from kinetrope_tools.show.schema import GroupSpec, OutputSpec, ProfileSpec, ShowFileError, ShowSpec, blame
from kinetrope_tools.show.share import spans

BUILD_FAULTS = (ValueError, TypeError, LookupError, OSError)
# Group keys that take an axis name or nothing; TOML has no null, so false
# stands for "no axis" (the channel holds home).
AXIS_OPTIONS = ("pan", "tilt")


class ShareError(ValueError):
    """``--universes`` names no universe the patch uses."""


def load_profile(spec: ProfileSpec) -> Any:
    from kinetrope_tools.rig import Fixture

    key = ("profiles", spec.name)
    try:
        if spec.file is None:
            return Fixture.from_table({"name": spec.name, **spec.table}, spec.name)
        if spec.file.suffix.lower() == ".qxf":
            return Fixture.from_qxf(spec.file, mode=spec.mode)
        return Fixture.from_toml(spec.file)
    except BUILD_FAULTS as error:
        table = dict(spec.table) if spec.file is None else {"file": spec.file, "mode": spec.mode}
        raise strip_source(blame(error, key, table), spec) from None


def strip_source(error: ShowFileError, spec: ProfileSpec) -> ShowFileError:
    """The profile reader starts its messages with the profile's source
    (``head: ...``); the key path already says which profile it is."""
    for source in (spec.name, str(spec.file)):
        if error.reason.startswith(source + ": "):
            error.reason = error.reason[len(source) + 2:]
    return error


def group_options(spec: GroupSpec) -> dict[str, Any]:
    """The group's options as the rig takes them: arrays as tuples (a level
    range is an (axis, low, high) tuple), false for no pan or tilt axis."""
    options: dict[str, Any] = {}
    for name, value in spec.options.items():
        if isinstance(value, list):
            value = tuple(value)
        if name in AXIS_OPTIONS and value is False:
            value = None
        options[name] = value
    return options


def group_table(spec: GroupSpec) -> dict[str, Any]:
    return {"profile": spec.profile, "count": spec.count, "universe": spec.universe,
            "address": spec.address, "motion": spec.motion, **spec.options}


def build_rig(spec: ShowSpec, fixtures: Mapping[str, Any], only: set[str] | None = None) -> Any:
    """A rig of the show's groups (those named in ``only``, if given)."""
    from kinetrope_tools.rig import Rig

    rig = Rig()
    for group in spec.groups.values():
        if only is not None and group.name not in only:
            continue
        try:
            rig.group(group.name, fixtures[group.profile], group.count, universe=group.universe,
                      address=group.address, motion=group.motion, **group_options(group))
        except BUILD_FAULTS as error:
            raise blame(error, ("groups", group.name), group_table(group)) from None
    return rig


@dataclass
class Show:
    """The rig this process plays and the universes it sends."""

    spec: ShowSpec
    rig: Any
    universes: list[int]
    all_universes: list[int]

    def frame(self, position: float) -> ShowFrame:
        frame = ShowFrame((universe, data) for universe, data in self.rig.frame(position).items()
                          if universe in self.sent)
        frame.position = position
        return frame

    def home_frame(self) -> ShowFrame:
        return ShowFrame((universe, data) for universe, data in self.rig.home_frame().items()
                         if universe in self.sent)

    def __post_init__(self) -> None:
        self.sent = frozenset(self.universes)

    @property
    def patch(self) -> list[Any]:
        return [patched for patched in self.rig.patch if patched.universe in self.sent]


def build_show(spec: ShowSpec, share: frozenset[int] | None = None) -> Show:
    """The whole rig checked, then the share of it this process plays: the
    groups with a fixture in ``share`` (whole, as their spread needs)."""
    fixtures = {name: load_profile(profile) for name, profile in spec.profiles.items()}
    rig = build_rig(spec, fixtures)
    every = list(rig.universes)
    if share is None:
        return Show(spec, rig, every, every)
    chosen = [universe for universe in every if universe in share]
    if not chosen:
        raise ShareError(f"--universes {spans(share)}: nothing is patched there; "
                         f"the patch uses universes {spans(every)}")
    groups = {patched.group for patched in rig.patch if patched.universe in share}
    if len(groups) < len(spec.groups):
        rig = build_rig(spec, fixtures, groups)
    return Show(spec, rig, chosen, every)


# ------------------------------------------------------------------ outputs

def open_output(spec: OutputSpec, show: Show) -> Any:
    """The output an [outputs.NAME] table describes, open and ready."""
    key = ("outputs", spec.name)
    table = {"address": spec.address, "port": spec.port, "prefix": spec.prefix, **spec.options}
    try:
        if spec.type == "artnet":
            from kinetrope_tools.rig import ArtNetSender

            return ArtNetSender(spec.address, **port_option(spec), **dict(spec.options))
        if spec.type == "sacn":
            from kinetrope_tools.rig import SacnSender

            return SacnSender(spec.address, **port_option(spec), **dict(spec.options))
        if spec.type == "osc":
            return OscOutput(list(show.rig.groups.values()), spec.address, spec.port or 9000, spec.prefix)
        return open_preview(show.rig, spec.address, spec.port or 0)
    except BUILD_FAULTS as error:
        raise blame(error, key, table) from None
    except ImportError as error:
        raise ShowFileError(key, str(error)) from None


def port_option(spec: OutputSpec) -> dict[str, Any]:
    return {} if spec.port is None else {"port": spec.port}


def open_preview(rig: Any, host: str = "127.0.0.1", port: int = 0) -> Any:
    """A preview output for ``rig``; ImportError with a plain reason when
    the preview is not installed."""
    try:
        from kinetrope_tools.preview import PreviewOutput
    except ModuleNotFoundError as error:
        if error.name and error.name.startswith("kinetrope_tools.preview"):
            raise ImportError("the preview is not part of this installation (no kinetrope_tools.preview)") from None
        raise
    return PreviewOutput(rig, host=host, port=port)
