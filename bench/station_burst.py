#!/usr/bin/python3
"""A station's worst minute: 100 fax charts (1728 x 2200, two colours, GIF) due in the same
minute from four loopback hosts, each saved as GIF, run by the real program offscreen; then
the same with two of them replaced by a silent server and one that sends a byte a second (the
schedule holds 100 lines). Measured from outside: when each chart was saved after the
minute's start (its file's status change, to the fraction of a second; the log agrees to the
second), and the program's processor time from the minute's start to its last good save.

The peer is the pipeline an operator would write for the same good charts: curl --parallel
--parallel-max 4, then ImageMagick's convert for each chart, four at a time. Its processor
time is its processes' own. The ratios are printed only when ours, the peer's and the chart
served are the same pixels, every one.

Goal for the station: the last good chart saved within 5 s of the minute's start, and our
processor time at most half the pipeline's.
"""
import os
import resource
import shlex
import statistics
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field
from datetime import datetime, timedelta, timezone

from PIL import Image, ImageDraw

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "scripts"))

from program_probe import loopback_servers as replies
from program_probe.loopback_servers import LoopbackServer
from program_probe.program_folder import schedule_line, write_program_folder
from program_probe.program_log import read_log
from program_probe.running_program import RunningProgram

CHARTS = 100
WIDTH, HEIGHT = 1728, 2200
GOOD_HOSTS = ["127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4"]
SILENT_HOST, BYTE_HOST = "127.0.0.5", "127.0.0.6"
PEER_PARALLEL = 4
CONVERT = "/usr/bin/convert"  # ImageMagick's, not a stand-in earlier on PATH
START_LEAD = timedelta(seconds=20)  # the program is started at least this long before the minute
CPU_BASE_LEAD = 0.5  # seconds before the minute at which the processor time is read
WAIT_AFTER_MINUTE = 120  # seconds; today a silent server costs a minute per attempt
POLL_SECONDS = 0.05
GOAL_LAST_SAVE = 5.0
GOAL_CPU_RATIO = 0.5


@dataclass
class Scenario:
    title: str
    charts: list  # indices of the good charts
    bad: list = field(default_factory=list)  # (title, url, file name) of the bad sources


@dataclass
class OurRun:
    offsets: dict  # chart index -> seconds from the minute's start to its save
    cpu: float
    first_fetch: float  # seconds from the minute's start, by the log (whole seconds)
    logged_saves: list  # seconds from the minute's start, by the log (whole seconds)
    bad_saved: list
    bad_failures: list  # (title, seconds after the minute) of each failed attempt


# ---- the charts ------------------------------------------------------------------------------


def fax_chart():
    """Isobars and a coast on white paper with a text block: mostly long white runs."""
    chart = Image.new("P", (WIDTH, HEIGHT), 1)
    chart.putpalette([0, 0, 0, 255, 255, 255])
    draw = ImageDraw.Draw(chart)
    for ring in range(1, 40):
        draw.ellipse((WIDTH // 2 - 40 * ring, HEIGHT // 2 - 50 * ring, WIDTH // 2 + 40 * ring,
                      HEIGHT // 2 + 50 * ring), outline=0, width=2)
    draw.line([(x, 1700 + (x * x) // 4000) for x in range(0, WIDTH, 16)], fill=0, width=3)
    for row in range(6):
        draw.text((40, 40 + 14 * row), "WEATHER CHART FAX %d 1012 HPA ANALYSIS" % row, fill=0)
    return chart


def make_charts(folder):
    """CHARTS charts in folder, each marked with its number in bits, so that a save holding
    another chart's picture shows."""
    base = fax_chart()
    for index in range(CHARTS):
        chart = base.copy()
        draw = ImageDraw.Draw(chart)
        for bit in range(CHARTS.bit_length()):
            if index >> bit & 1:
                draw.rectangle((1500 + 24 * bit, 60, 1516 + 24 * bit, 76), fill=0)
        chart.save(os.path.join(folder, chart_name(index)))


def chart_name(index):
    return "chart-%03d.gif" % index


def start_servers(served):
    def routes(indices):
        return {"/" + chart_name(i): replies.body(read(os.path.join(served, chart_name(i))),
                                                  "image/gif") for i in indices}
    good = [LoopbackServer(host, routes(range(n, CHARTS, len(GOOD_HOSTS))))
            for n, host in enumerate(GOOD_HOSTS)]
    silent = LoopbackServer(SILENT_HOST, {"/silent.gif": replies.silent})
    slow = LoopbackServer(BYTE_HOST, {"/slow.gif": replies.byte_a_second(
        read(os.path.join(served, chart_name(0))))})
    return good, silent, slow


def read(path):
    with open(path, "rb") as f:
        return f.read()


def chart_url(good_servers, index):
    return good_servers[index % len(good_servers)].url("/" + chart_name(index))


# ---- the peer --------------------------------------------------------------------------------


def run_peer(urls, folder):
    """curl --parallel then convert on every download: (wall seconds, processor seconds)."""
    config = os.path.join(folder, "curl.config")
    with open(config, "w") as f:
        for index, url in urls.items():
            f.write('url = "%s"\noutput = "%s"\n' % (url, os.path.join(folder, "in-" +
                                                                           chart_name(index))))
    pairs = " ".join("%s %s" % (shlex.quote(os.path.join(folder, "in-" + chart_name(i))),
                                shlex.quote(os.path.join(folder, chart_name(i)))) for i in urls)
    command = ("curl --parallel --parallel-max %d --silent --show-error --fail --config %s && "
               "printf '%%s\\n' %s | xargs -n 2 -P %d %s" % (
                   PEER_PARALLEL, shlex.quote(config), pairs, PEER_PARALLEL, CONVERT))
    before = children_cpu()
    start = time.monotonic()
    # curl draws its meter for parallel transfers even when silent: shown only on a failure.
    finished = subprocess.run(["sh", "-c", command], stderr=subprocess.PIPE, text=True)
    if finished.returncode != 0:
        sys.exit("station_burst: the peer failed:\n" + finished.stderr)
    return time.monotonic() - start, children_cpu() - before


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


# ---- ours ------------------------------------------------------------------------------------


def next_minute():
    """The first minute's start at least START_LEAD away."""
    return (datetime.now(timezone.utc) + START_LEAD + timedelta(minutes=1)).replace(
        second=0, microsecond=0)


def write_schedule(folder, scenario, minute, good_servers):
    saved = os.path.join(folder, "saved")
    os.makedirs(saved)
    lines = [schedule_line(minute, title, url, "n", os.path.join(saved, name))
             for title, url, name in scenario.bad]
    lines += [schedule_line(minute, "Chart %d" % i, chart_url(good_servers, i), "n",
                            os.path.join(saved, chart_name(i))) for i in scenario.charts]
    write_program_folder(folder, lines)
    return saved


def wait_until(moment):
    time.sleep(max(0.0, moment - time.time()))


def watch_saves(program, saved, charts, minute_start):
    """Waits for every chart's save, at most WAIT_AFTER_MINUTE: {index: seconds after the
    minute}, and the program's processor time at the last one (or at the end of the wait)."""
    pending, offsets = set(charts), {}
    while pending and time.time() < minute_start + WAIT_AFTER_MINUTE and program.running():
        for index in list(pending):
            path = os.path.join(saved, chart_name(index))
            if os.path.exists(path):
                offsets[index] = os.stat(path).st_ctime - minute_start
                pending.discard(index)
        if pending:
            time.sleep(POLL_SECONDS)
    return offsets, program.sample().cpu_seconds if program.running() else float("nan")


def read_our_log(folder, minute, scenario):
    """From the log: when the first download started, when each save was made, and each
    failed attempt of a bad source."""
    lines = [(at, text) for at, text in read_log(folder) if at >= minute]
    fetches = [at for at, text in lines if text.startswith("Fetching ")]
    first = (fetches[0] - minute).total_seconds() if fetches else float("nan")
    logged = [(at - minute).total_seconds() for at, text in lines if text.startswith("Saved ")]
    failures = [(title, (at - minute).total_seconds()) for at, text in lines
                for title, _, _ in scenario.bad if text.startswith("Error (%s)" % title)]
    return first, logged, failures


def run_ours(program, scenario, folder, good_servers):
    minute = next_minute()
    saved = write_schedule(folder, scenario, minute, good_servers)
    running = RunningProgram(program, folder, folder + "-output.txt")
    minute_start = minute.timestamp()
    if not running.wait_for_log("Schedule loaded", minute_start - 1):
        running.stop()
        sys.exit("station_burst: the program did not load its schedule before the minute")
    wait_until(minute_start - CPU_BASE_LEAD)
    cpu_before = running.sample().cpu_seconds
    offsets, cpu_after = watch_saves(running, saved, scenario.charts, minute_start)
    running.stop()
    first, logged, failures = read_our_log(folder, minute, scenario)
    bad_saved = [name for _, _, name in scenario.bad if os.path.exists(os.path.join(saved, name))]
    return OurRun(offsets, cpu_after - cpu_before, first, logged, bad_saved, failures)


# ---- the comparison --------------------------------------------------------------------------


def pixels(path):
    try:
        with Image.open(path) as picture:
            return picture.convert("RGB").tobytes()
    except OSError:
        return None


def differing_charts(charts, ours, peer, served):
    """The charts saved by us whose saves (ours, the peer's) do not both hold the picture
    served."""
    return [i for i in charts if os.path.exists(os.path.join(ours, chart_name(i))) and
            not pixels(os.path.join(ours, chart_name(i))) ==
            pixels(os.path.join(peer, chart_name(i))) ==
            pixels(os.path.join(served, chart_name(i)))]


def report(scenario, ours, peer_wall, peer_cpu, differing):
    count = len(scenario.charts)
    print("\n%s" % scenario.title)
    saves = sorted(ours.offsets.values())
    print("  ours  first download started +%.0f s (the log's whole seconds); %d of %d charts "
          "saved by +%d s" % (ours.first_fetch, len(saves), count, WAIT_AFTER_MINUTE))
    if saves:
        print("  ours  saves from +%.2f s to +%.2f s after the minute, median +%.2f s; last "
              "+%.2f s (goal <= %.0f s)" % (saves[0], saves[-1], statistics.median(saves),
                                            saves[-1], GOAL_LAST_SAVE))
        print("  ours  the log names %d saves, the last at +%.0f s" % (
            len(ours.logged_saves), max(ours.logged_saves, default=float("nan"))))
    print("  ours  processor time %.2f s, minute's start to %s" % (
        ours.cpu, "the last good save" if len(saves) == count else "the end of the wait"))
    for title, at in ours.bad_failures:
        print("  ours  %s: failed attempt at +%.0f s" % (title, at))
    if ours.bad_saved:
        print("  ours  saved from a bad source: %s" % ", ".join(ours.bad_saved))
    print("  peer  wall time %.2f s, processor time %.2f s" % (peer_wall, peer_cpu))
    if len(saves) < count or differing:
        print("  no ratio: %d charts not saved, %d saved but not the same pixels as the peer's "
              "and the chart served" % (count - len(saves), len(differing)))
        return
    print("  pixels: all %d charts the same in ours, the peer's and the chart served" % count)
    print("  processor time ratio ours/peer: %.2f (goal <= %.1f)" % (ours.cpu / peer_cpu,
                                                                    GOAL_CPU_RATIO))
    print("  wall time ratio ours/peer:      %.2f (ours from the minute's start to its last "
          "save)" % (saves[-1] / peer_wall))


def commit():
    return subprocess.run(["git", "-C", REPO, "describe", "--always", "--dirty"],
                          capture_output=True, text=True).stdout.strip()


def main():
    program = os.path.join(REPO, os.environ.get("BUILD_DIR", "build"), "bin", "isoview")
    with tempfile.TemporaryDirectory(prefix="isoview-station-burst-") as work:
        measure(program, work)


def measure(program, work):
    served = os.path.join(work, "served")
    os.makedirs(served)
    make_charts(served)
    good_servers, silent, slow = start_servers(served)
    print("station burst at %s, load average %.2f %.2f %.2f" % (commit(), *os.getloadavg()))
    print("%d charts %d x %d (two colours, GIF) due in one minute, %d from each of %s, saved "
          "as GIF" % (CHARTS, WIDTH, HEIGHT, CHARTS // len(GOOD_HOSTS), ", ".join(GOOD_HOSTS)))
    print("peer: curl --parallel --parallel-max %d, then %s on each chart, %d at a time" % (
        PEER_PARALLEL, CONVERT, PEER_PARALLEL))
    bad = [("Silent server", silent.url("/silent.gif"), "silent.gif"),
           ("One byte a second", slow.url("/slow.gif"), "slow.gif")]
    scenarios = [Scenario("%d good charts" % CHARTS, list(range(CHARTS))),
                 Scenario("%d good charts after a silent server and a one-byte-a-second one" % (
                     CHARTS - len(bad)), list(range(CHARTS - len(bad))), bad)]
    for number, scenario in enumerate(scenarios):
        peer = os.path.join(work, "peer-%d" % number)
        os.makedirs(peer)
        peer_wall, peer_cpu = run_peer({i: chart_url(good_servers, i) for i in scenario.charts},
                                       peer)
        folder = os.path.join(work, "ours-%d" % number)
        ours = run_ours(program, scenario, folder, good_servers)
        differing = differing_charts(scenario.charts, os.path.join(folder, "saved"), peer, served)
        report(scenario, ours, peer_wall, peer_cpu, differing)
    for server in good_servers + [silent, slow]:
        server.stop()
    print("\nload average at the end %.2f %.2f %.2f" % os.getloadavg())


if __name__ == "__main__":
    main()
