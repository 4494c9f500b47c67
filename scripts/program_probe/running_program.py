"""The program's binary run offscreen on a program folder, watched through /proc."""
import os
import signal
import subprocess
import time
from dataclasses import dataclass

from program_probe.program_log import read_log

STOP_WAIT_SECONDS = 30
START_POLL_SECONDS = 0.1
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def build_program(repo):
    """Builds the program as scripts/build does and answers the binary's path."""
    subprocess.run([os.path.join(repo, "scripts", "build"), "--target", "isoview"], cwd=repo,
                   check=True, stdout=subprocess.DEVNULL)
    return os.path.join(repo, os.environ.get("BUILD_DIR", "build"), "bin", "isoview")


@dataclass
class Sample:
    at: float  # time.time()
    rss_kib: int
    fds: int
    cpu_seconds: float  # user and system time so far


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        # The command name in brackets may hold blanks; the fields after it are fixed.
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS  # utime, stime


def sample(pid):
    with open("/proc/%d/status" % pid) as f:
        rss = next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))
    return Sample(time.time(), rss, len(os.listdir("/proc/%d/fd" % pid)), cpu_seconds(pid))


class RunningProgram:
    def __init__(self, program, folder, output_path):
        """Starts the program on folder, offscreen, its standard output and error into
        output_path."""
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        with open(output_path, "w") as output:
            self.process = subprocess.Popen([program, "--folder", folder], cwd=folder, env=env,
                                            stdout=output, stderr=subprocess.STDOUT)
        self.folder = folder

    def running(self):
        return self.process.poll() is None

    def sample(self):
        return sample(self.process.pid)

    def wait_for_log(self, prefix, until):
        """Whether a log line starting with prefix appeared before the time until."""
        while time.time() < until and self.running():
            if any(text.startswith(prefix) for _, text in read_log(self.folder)):
                return True
            time.sleep(START_POLL_SECONDS)
        return False

    def stop(self):
        """Ends the program as the service manager does, with SIGTERM, and says how it went;
        it is killed when it has not ended within STOP_WAIT_SECONDS."""
        if not self.running():
            return False, "ended by itself before the stop (exit %d)" % self.process.returncode
        self.process.send_signal(signal.SIGTERM)
        try:
            code = self.process.wait(STOP_WAIT_SECONDS)
            return code == 0, "exit %d after SIGTERM" % code
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            return False, "did not end within %d s of SIGTERM, killed" % STOP_WAIT_SECONDS
