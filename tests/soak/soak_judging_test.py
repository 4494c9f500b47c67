#!/usr/bin/python3
"""The soak's judging, on program folders laid out as a run leaves them: saves matched to their
own events (a lost event and a duplicate never cancel out), the file, log and saved.txt held
against each other, the folder listed, and the trend that tells memory growth from noise."""
import os
import sys
import tempfile
import unittest
from datetime import datetime, timedelta, timezone

from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))

from program_probe.saved_records import file_records, listed_records, log_records
from program_probe.soak_judging import (Event, judge_events, judge_folder,
                                        judge_records, list_folder, match_saves)
from program_probe.trend import growth


def picture(path, colour):
    Image.new("RGB", (4, 3), colour).save(path)


class Run:
    """A program folder with its saved folder, log lines and saved.txt, built save by save."""

    def __init__(self, root):
        self.folder = os.path.join(root, "program")
        self.saved = os.path.join(self.folder, "saved")
        os.makedirs(self.saved)
        self.served = os.path.join(root, "served.gif")
        picture(self.served, "navy")
        self.log, self.listed = [], []
        self.now = datetime.now(timezone.utc).replace(microsecond=0)

    def save(self, event, second=5, file=True, log=True, listed=True, listed_at=None,
             colour="navy"):
        path = os.path.join(self.saved, "%s-%s-%s%02d.gif" % (
            event.key, event.minute.strftime("%H%M"), event.minute.strftime("%H%M"), second))
        if file:
            picture(path, colour)
        if log:
            self.log.append((self.now, "Saved " + path))
        if listed:
            self.listed.append("%s UTC\t%s" % ((listed_at or self.now).strftime(
                "%Y-%m-%d %H:%M:%S"), path))

    def faults(self, events):
        """Every failing check's faults, by the check's first word."""
        with open(os.path.join(self.folder, "saved.txt"), "w") as f:
            f.write("".join(line + "\n" for line in self.listed))
        listed, unreadable = listed_records(self.folder)
        saves, orphans = match_saves(events, file_records(self.saved), log_records(self.log),
                                     listed)
        with open(self.served, "rb") as f:
            served = f.read()

        def same_picture(event, path):
            with open(path, "rb") as f:
                return f.read() == served
        checks = judge_events(saves, same_picture) + [judge_records(saves, orphans, unreadable)]
        return {check.name.split()[0]: check.faults for check in checks if not check.passed}


class SaveJudgingTest(unittest.TestCase):
    def test_cases(self):
        now = datetime.now(timezone.utc)
        recent = now - timedelta(seconds=2)  # an event whose save comes 2 s after its minute
        a, b = Event("gif", recent, True), Event("gif", recent - timedelta(minutes=1), True)
        late = Event("png", now - timedelta(seconds=40), True)
        bad = Event("silent", recent, False)
        cases = [
            ("one save each, in time", [a], lambda run: run.save(a), {}),
            ("a lost event and a duplicate", [a, b],
             lambda run: (run.save(a, 5), run.save(a, 6)),
             {"every": ["gif %s lost" % b.minute.strftime("%H:%M")],
              "no": ["gif %s saved 2 times" % a.minute.strftime("%H:%M")]}),
            ("a late save", [late], lambda run: run.save(late), {"every": ["saved 4"]}),
            ("a wrong picture", [a], lambda run: run.save(a, colour="red"),
             {"every": ["wrong picture"]}),
            ("a bad source saved", [a, bad], lambda run: (run.save(a), run.save(bad)),
             {"nothing": ["silent"]}),
            ("a file without its log line", [a], lambda run: run.save(a, log=False),
             {"files,": ["without a log line"]}),
            ("saved.txt an hour off", [a],
             lambda run: run.save(a, listed_at=run.now - timedelta(hours=1)),
             {"files,": ["saved.txt line at"]}),
            ("saved.txt naming no file", [a], lambda run: run.save(a, file=False, log=False),
             {"every": ["lost"], "files,": ["not there"]}),
            ("a file of no event", [a],
             lambda run: (run.save(a), run.save(Event("gif", recent - timedelta(hours=2), True))),
             {"files,": ["belongs to no event"]}),
        ]
        for name, events, saves, expected in cases:
            with self.subTest(name), tempfile.TemporaryDirectory() as root:
                run = Run(root)
                saves(run)
                faults = run.faults(events)
                self.assertEqual(set(faults), set(expected), faults)
                for check, parts in expected.items():
                    for part in parts:
                        self.assertTrue(any(part in fault for fault in faults[check]),
                                        (part, faults[check]))


class FolderJudgingTest(unittest.TestCase):
    def test_cases(self):
        cases = [
            ("own files, a save and a whole download", [], [], []),
            ("a temporary left in the saved folder",
             ["saved/gif-1015-101505.gif.isoview-41-0123456789abcdef.tmp"], ["temporary left"], []),
            ("a file nobody explains, listed but not judged", ["core"], [], ["core"]),
            ("a maintenance page as the chart's download", ["!good.gif"],
             ["no whole picture: good.gif"], []),
        ]
        for name, extra, expected, others in cases:
            with self.subTest(name), tempfile.TemporaryDirectory() as folder:
                saved = os.path.join(folder, "saved")
                os.makedirs(saved)
                for own in ("schedule.txt", "saved.txt", "isoview.log", "isoview.ini"):
                    open(os.path.join(folder, own), "w").close()
                picture(os.path.join(saved, "gif-1015-101505.gif"), "navy")
                picture(os.path.join(folder, "good.gif"), "navy")
                for file in extra:
                    with open(os.path.join(folder, file.lstrip("!")), "w") as f:
                        f.write("<html>Down for maintenance</html>")
                listing = list_folder(folder, saved, {"good.gif"})
                check = judge_folder(folder, listing)
                self.assertEqual(listing.others, others)
                self.assertEqual(len(check.faults), len(expected), check.faults)
                for part, fault in zip(expected, check.faults):
                    self.assertIn(part, fault)


class TrendTest(unittest.TestCase):
    def test_cases(self):
        wobble = [0, 7, -5, 3, -6, 8, -2, 5, -7, 1] * 6  # noise of +-8 around the trend
        cases = [
            ("flat with noise", [1000 + w for w in wobble], -2, 2),
            ("a climb of 1 a sample under the noise", [1000 + i + w for i, w in enumerate(wobble)],
             55, 63),
            ("flat with a few peaks", [1000 + (400 if i in (9, 30, 51) else 0)
                                       for i in range(60)], -1, 1),
            ("one sample", [5], 0, 0),
        ]
        for name, values, low, high in cases:
            with self.subTest(name):
                rise = growth([(float(i), v) for i, v in enumerate(values)])
                self.assertTrue(low <= rise <= high, rise)


if __name__ == "__main__":
    unittest.main()
