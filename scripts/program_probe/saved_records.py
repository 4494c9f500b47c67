"""The three records of every save the program made: the file itself, its "Saved" line in the
log and its line in saved.txt (UTC time, a tab, the absolute path)."""
import os
from dataclasses import dataclass
from datetime import datetime, timezone

from program_probe.program_log import stamp

SAVED_LIST_FILE = "saved.txt"
SAVED_PREFIX = "Saved "


@dataclass(frozen=True)
class SaveRecord:
    path: str
    at: datetime  # UTC


def file_records(folder):
    """The files in folder, each at its status change: the rename that put it in place."""
    records = []
    for name in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
        path = os.path.join(folder, name)
        if os.path.isfile(path):
            at = datetime.fromtimestamp(os.stat(path).st_ctime, timezone.utc)
            records.append(SaveRecord(path, at))
    return records


def log_records(log_lines):
    return [SaveRecord(text[len(SAVED_PREFIX):], at) for at, text in log_lines
            if text.startswith(SAVED_PREFIX)]


def listed_records(program_folder):
    """saved.txt's lines; a line that is not "YYYY-MM-DD HH:MM:SS UTC<TAB>path" is answered
    apart, as it is."""
    records, unreadable = [], []
    path = os.path.join(program_folder, SAVED_LIST_FILE)
    if not os.path.exists(path):
        return records, unreadable
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\r\n")
            when, tab, saved = line.partition("\t")
            try:
                if not tab or not when.endswith(" UTC"):
                    raise ValueError
                records.append(SaveRecord(saved, stamp(when[:-len(" UTC")])))
            except ValueError:
                unreadable.append(line)
    return records, unreadable
