"""The program folder's list files, written as the program reads them."""
import os

SCHEDULE_FILE, RESOURCE_FILE, JPEG_QUALITY_FILE = "schedule.txt", "resource.txt", "jpegcomp.txt"
RESOURCE_TITLES = "Region      Type Scale Hours Source   Name                                    N URL"


def schedule_line(minute, title, url, print_flag, target):
    """One event in the fixed columns: time 1-4, negative flag 6, title 8-59, URL 60-199,
    print flag 200, target name from 202."""
    return "%-5s%-2s%-52s%-140s%-2s%s\r\n" % (minute.strftime("%H%M"), "n", title, url,
                                             print_flag, target)


def write_program_folder(folder, schedule_lines, jpeg_quality=75):
    os.makedirs(folder, exist_ok=True)
    files = {SCHEDULE_FILE: "".join(schedule_lines), RESOURCE_FILE: RESOURCE_TITLES + "\r\n",
             JPEG_QUALITY_FILE: "%d\r\n" % jpeg_quality}
    for name, text in files.items():
        with open(os.path.join(folder, name), "w", newline="") as f:
            f.write(text)
