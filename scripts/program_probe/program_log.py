"""The program's log, isoview.log in its folder: one stamped line per event."""
import os
import re
from datetime import datetime, timezone

LOG_FILE = "isoview.log"
LOG_LINE = re.compile(r"^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d) UTC (.*)$")


def stamp(text):
    """The UTC time of a "YYYY-MM-DD HH:MM:SS" stamp."""
    return datetime.strptime(text, "%Y-%m-%d %H:%M:%S").replace(tzinfo=timezone.utc)


def read_log(folder):
    """Every stamped line of the log and its rotations, oldest first: (UTC time, text)."""
    paths = [os.path.join(folder, LOG_FILE + suffix) for suffix in (".1", "")]
    lines = []
    for path in filter(os.path.exists, paths):
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                match = LOG_LINE.match(line.rstrip("\r\n"))
                if match:
                    lines.append((stamp(match[1]), match[2]))
    return lines
