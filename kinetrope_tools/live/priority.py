"""Real-time scheduling for the threads that keep time (the frame driver's,
a MIDI clock reader's): where the system allows it (root, or CAP_SYS_NICE),
other work on the machine can then no longer hold them up."""

from __future__ import annotations

import os

# Low among real-time priorities: above every ordinary thread, below the
# kernel's own real-time work.
REALTIME_PRIORITY = 10

Scheduling = tuple[int, os.sched_param]


def realtime_priority() -> Scheduling | None:
    """Moves the calling thread to real-time (FIFO) scheduling; returns the
    scheduling it had, or None where the system refuses."""
    try:
        before = (os.sched_getscheduler(0), os.sched_getparam(0))
        os.sched_setscheduler(0, os.SCHED_FIFO, os.sched_param(REALTIME_PRIORITY))
    except (AttributeError, OSError):
        return None
    return before


def restore_priority(before: Scheduling | None) -> None:
    """Gives the calling thread back the scheduling ``realtime_priority`` took."""
    if before is not None:
        try:
            os.sched_setscheduler(0, *before)
        except OSError:
            pass
