"""Drives the real program from outside, as an operator's station would meet it: its program
folder, loopback servers good and bad, the running process seen through /proc, its log and
the files it leaves. Used by scripts/soak and bench/station_burst.py; nothing here knows the
program's insides, so it measures any version of it alike."""
