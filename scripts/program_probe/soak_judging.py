"""Judges a soak from what the program left: every save matched to the event it belongs to,
the three records of each save (file, "Saved" log line, saved.txt line) held against each
other, the program folder listed file by file, and memory and descriptors over the run.

Each event saves under a name that carries the event's minute literally and the save's time
as date codes (gif-1015-@H@N@S.gif gives gif-1015-101507.gif), so a save names its own event
however late it comes, and two saves of one event are two files."""
import os
import re
from dataclasses import dataclass, field
from datetime import timedelta

from PIL import Image

from program_probe.program_log import LOG_FILE
from program_probe.saved_records import SAVED_LIST_FILE
from program_probe.trend import growth

SAVE_DEADLINE = timedelta(seconds=10)  # from the event's minute to its save
RECORDS_AGREE_WITHIN = timedelta(seconds=5)  # a save's file, log line and saved.txt line
TARGET_NAME = re.compile(r"^(?P<key>[a-z0-9]+)-(?P<minute>\d{4})-\d{6}\.[a-z]+$")
OWN_FILES = {"schedule.txt", "resource.txt", "jpegcomp.txt", "archive.txt", SAVED_LIST_FILE,
             LOG_FILE, LOG_FILE + ".1"}
SETTINGS_EXTENSIONS = (".ini", ".conf")
PICTURE_EXTENSIONS = (".gif", ".jpg", ".jpeg", ".png", ".tif", ".tiff", ".bmp")
TEMPORARY_MARKS = (".tmp", ".part", "~", ".isoview-")


@dataclass(frozen=True)
class Event:
    key: str  # the source's, in its target names
    minute: object  # UTC datetime of the event's minute
    good: bool  # whether a save is expected

    def __str__(self):
        return "%s %s" % (self.key, self.minute.strftime("%H:%M"))


def target_name(saved_folder, event, extension):
    """The target name of event's schedule line, with the date codes of the save's time."""
    return os.path.join(saved_folder, "%s-%s-@H@N@S%s" % (
        event.key, event.minute.strftime("%H%M"), extension))


@dataclass
class EventSaves:
    event: Event
    files: list = field(default_factory=list)  # SaveRecord
    logged: list = field(default_factory=list)
    listed: list = field(default_factory=list)


@dataclass
class Check:
    name: str
    faults: list = field(default_factory=list)

    @property
    def passed(self):
        return not self.faults


def event_of(path, events):
    match = TARGET_NAME.match(os.path.basename(path))
    return match and events.get((match["key"], match["minute"]))


def match_saves(events, files, logged, listed):
    """Each record given to the event its name belongs to: {event: EventSaves}, and the
    records that belong to none as (record kind, record)."""
    by_name = {(event.key, event.minute.strftime("%H%M")): event for event in events}
    saves = {event: EventSaves(event) for event in events}
    orphans = []
    for kind, attribute, records in (("file", "files", files), ("log line", "logged", logged),
                                     ("saved.txt line", "listed", listed)):
        for record in records:
            event = event_of(record.path, by_name)
            if event:
                getattr(saves[event], attribute).append(record)
            else:
                orphans.append((kind, record))
    return saves, orphans


def delay_of(saves):
    """From the event's minute to its first save, by the file (to the fraction of a second),
    else by the log."""
    records = saves.files or saves.logged
    return min(record.at for record in records) - saves.event.minute if records else None


def names_of(records):
    return ", ".join(sorted({os.path.basename(record.path) for record in records}))


def good_event_faults(found, picture_matches):
    """What went wrong with a good event's save: lost, late, or not the picture served."""
    event, delay, faults = found.event, delay_of(found), []
    if not found.files:
        faults.append("%s lost" % event if delay is None else
                      "%s logged as saved but no file" % event)
    elif delay > SAVE_DEADLINE:
        faults.append("%s saved %.1f s after its minute" % (event, delay.total_seconds()))
    wrong = [record for record in found.files if not picture_matches(event, record.path)]
    if wrong:
        faults.append("%s saved a wrong picture: %s" % (event, names_of(wrong)))
    return faults


def judge_events(saves, picture_matches):
    """Three checks: every good event saved once, right, and in time; nothing bad saved; no
    event saved twice. picture_matches(event, path) tells a right picture."""
    in_time = Check("every good event saved within %d s of its minute, as served" %
                    SAVE_DEADLINE.seconds)
    nothing_bad = Check("nothing bad saved")
    no_duplicates = Check("no event saved twice")
    for event, found in sorted(saves.items(), key=lambda item: (item[0].minute, item[0].key)):
        count = max(len(found.files), len(found.logged), len(found.listed))
        if count > 1:
            no_duplicates.faults.append("%s saved %d times: %s" % (event, count,
                                                                   names_of(found.files)))
        if event.good:
            in_time.faults += good_event_faults(found, picture_matches)
        elif count:
            nothing_bad.faults.append("%s saved %s" % (event, names_of(found.files + found.logged)))
    return [in_time, nothing_bad, no_duplicates]


def records_disagree(name, files, others, kind):
    """The faults of one record kind against the files: missing, or at another time."""
    faults = []
    for record in files:
        near = [o for o in others if o.path == record.path]
        if not near:
            faults.append("%s saved without a %s" % (name, kind))
        elif all(abs(o.at - record.at) > RECORDS_AGREE_WITHIN for o in near):
            faults.append("%s: %s at %s, file at %s" % (
                name, kind, near[0].at.strftime("%H:%M:%S"), record.at.strftime("%H:%M:%S")))
    file_paths = {record.path for record in files}
    faults += ["%s names %s, which is not there" % (kind, os.path.basename(o.path))
               for o in others if o.path not in file_paths]
    return faults


def judge_records(saves, orphans, unreadable_list_lines):
    """Whether the file, the log and saved.txt tell the same saves."""
    check = Check("files, log and saved.txt tell the same saves")
    for event, found in sorted(saves.items(), key=lambda item: (item[0].minute, item[0].key)):
        check.faults += records_disagree(str(event), found.files, found.logged, "log line")
        check.faults += records_disagree(str(event), found.files, found.listed, "saved.txt line")
    check.faults += ["%s %s belongs to no event" % (kind, record.path) for kind, record in orphans]
    check.faults += ["saved.txt line not understood: %r" % line for line in unreadable_list_lines]
    return check


@dataclass
class FolderListing:
    own: list = field(default_factory=list)  # the program's lists, log and settings
    saves: list = field(default_factory=list)  # in the saved folder
    downloads: list = field(default_factory=list)  # named as a source URL's last part
    temporaries: list = field(default_factory=list)
    # None of the above: listed for the reader, not judged, since a newer program may keep
    # files of its own that this listing does not know yet.
    others: list = field(default_factory=list)


def kind_of_file(relative, in_saved_folder, download_names):
    name = os.path.basename(relative)
    if any(mark in name for mark in TEMPORARY_MARKS):
        return "temporaries"
    if in_saved_folder:
        return "saves"
    if relative == name and (name in OWN_FILES or name.endswith(SETTINGS_EXTENSIONS)):
        return "own"
    return "downloads" if name in download_names else "others"


def list_folder(program_folder, saved_folder, download_names):
    """Every file under the program folder, by kind (paths relative to it)."""
    listing = FolderListing()
    for root, _, names in os.walk(program_folder):
        for name in sorted(names):
            path = os.path.join(root, name)
            relative = os.path.relpath(path, program_folder)
            in_saved = os.path.dirname(path) == saved_folder.rstrip(os.sep)
            getattr(listing, kind_of_file(relative, in_saved, download_names)).append(relative)
    return listing


def whole_picture(path):
    try:
        with Image.open(path) as picture:
            picture.load()
        return True
    except (OSError, SyntaxError, ValueError):
        return False


def judge_folder(program_folder, listing):
    """Nothing half-written is left, and every download named as a picture holds a whole one
    (a wrong reply never replaces a good chart)."""
    check = Check("no temporary file left, every download a whole picture")
    check.faults += ["temporary left: %s" % name for name in listing.temporaries]
    check.faults += ["download holds no whole picture: %s" % name for name in listing.downloads
                     if name.lower().endswith(PICTURE_EXTENSIONS) and
                     not whole_picture(os.path.join(program_folder, name))]
    return check


def judge_flat(name, points, limit, unit):
    """Whether the trend of points [(time, value)] rises by no more than limit."""
    rise = growth(points)
    check = Check("%s flat over the run (trend %+.0f%s, limit %d)" % (name, rise, unit, limit))
    if rise > limit:
        check.faults.append("%s grew by %.0f%s over %d samples (%.0f to %.0f)" % (
            name, rise, unit, len(points), points[0][1], points[-1][1]))
    return check
