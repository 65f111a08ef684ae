# SPDX-License-Identifier: GPL-3.0-or-later
"""User stories on a virtual display through AT-SPI (run by tests/stories/run): stories.py BUILD_DIR DATA_DIR."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402
import pyatspi  # noqa: E402

class StoryFailed(Exception): pass

def wait_for(what, probe, timeout=60):
    end = time.time() + timeout
    while time.time() < end:
        try:
            found = probe()
            if found:
                return found
        except Exception:  # the tree changes under us while windows open and close
            pass
        time.sleep(0.25)
    raise StoryFailed(f"timed out waiting for {what}")

def find(node, role, name=None):
    """The first descendant (depth first) with the role and, when given, the name."""
    return pyatspi.findDescendant(
        node, lambda n: n is not None and n.getRole() == role and (name is None or n.name == name))

def find_all(node, role):
    return pyatspi.findAllDescendants(node, lambda n: n is not None and n.getRole() == role)

def sensitive(node):
    return node.getState().contains(pyatspi.STATE_SENSITIVE)

def press(node, modal=False):
    """Presses a button; an action that opens a modal window is fired and left running."""
    if modal:
        Atspi.set_timeout(700, 15000)
    try:
        action = node.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        # Focusable controls also offer "SetFocus": take the one that acts.
        chosen = next((i for i, n in enumerate(names) if n.lower() in ("press", "toggle", "click", "check")), 0)
        action.doAction(chosen)
    except Exception:
        if not modal:
            raise
    finally:
        if modal:
            Atspi.set_timeout(25000, 15000)

class Program:
    def __init__(self, build, work, args):
        self.work = work
        env = dict(os.environ)
        env.update(QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", HOME=work,
                   XDG_RUNTIME_DIR=work, XDG_CACHE_HOME=os.path.join(work, "cache"))
        self.log = open(os.path.join(work, "stellon.log"), "w")
        self.proc = subprocess.Popen([os.path.join(build, "src", "app", "stellon")] + args, env=env, cwd=work,
                                     stdout=self.log, stderr=subprocess.STDOUT)
        try:
            self.app = wait_for("the program on the accessibility bus", self._app, 60)
            self.main = wait_for("the main window", self.window("Stellon"))
        except BaseException:
            self.close()
            raise

    def __enter__(self): return self

    def __exit__(self, kind, error, trace): self.close()

    def _app(self):
        if self.proc.poll() is not None:
            raise SystemExit(f"stories: the program ended early ({self.proc.returncode})")
        return next((a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.name == "stellon"), None)

    def showing(self, test):
        """A probe: the first showing window that passes `test`."""
        return lambda: next((w for w in self.app
                             if w is not None and w.getState().contains(pyatspi.STATE_SHOWING) and test(w)), None)

    def window(self, title_part):
        return self.showing(lambda w: title_part in w.name)

    def alert(self):
        return self.showing(lambda w: w.getRole() == pyatspi.ROLE_ALERT)()

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
        self.log.close()

def start_display():
    r, w = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                            pass_fds=(w,), stderr=subprocess.DEVNULL)
    os.close(w)
    with os.fdopen(r) as f:
        number = f.readline().strip()
    if not number:
        raise SystemExit("stories: Xvfb did not start")
    os.environ["DISPLAY"] = ":" + number
    return xvfb

def run(cmd, **kw):
    p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, **kw)
    if p.returncode != 0:
        raise StoryFailed(f"{' '.join(cmd)} failed:\n{p.stdout.decode(errors='replace')}")
    return p.stdout.decode(errors="replace")

def cli(build, *args):
    return run([os.path.join(build, "src", "app", "stellon-cli"), *args])

def capture_and_expected(build, data, work):
    """An uncompressed AVI cut from the Uranus capture, and what stellon-cli stack makes of it."""
    video = os.path.join(work, "uranus.avi")
    run(["ffmpeg", "-v", "error", "-i", os.path.join(data, "uranus-cut.mp4"), "-frames:v", "12",
         "-vf", "vflip", "-c:v", "rawvideo", "-pix_fmt", "bgr24", "-flipped_raw_rgb", "1", "-y", video])
    ini = os.path.join(work, "stellon.ini")
    open(ini, "w").close()
    expected = os.path.join(work, "cli.bmp")
    out = cli(build, "stack", "--ini", ini, video, "-o", expected, "--quiet")
    framed = int(out.split("framed: ")[1].split()[0])
    if framed < 2:
        raise StoryFailed(f"the video is not a fair test: stellon-cli framed {framed} images")
    return video, ini, expected, framed

def frame_all(prog, framed):
    """Automatic framing of every image; it ticks the `framed` images it frames."""
    main = prog.main
    auto = wait_for("the Auto framing button", lambda: find(main, pyatspi.ROLE_PUSH_BUTTON, "Auto framing"))
    wait_for("Auto framing enabled", lambda: sensitive(auto))
    press(auto, modal=True)  # runs under the modal progress window
    # The framing ends with a message box that tells what it found, or straight away.
    wait_for("the end of the framing", lambda: not prog.window("Auto framing")() or prog.alert())
    alert = prog.alert()
    if alert:
        print("story: the framing says:", " / ".join(l.name for l in find_all(alert, pyatspi.ROLE_LABEL) if l.name))
        press(find(alert, pyatspi.ROLE_PUSH_BUTTON, "OK"), modal=True)
        wait_for("the message box to close", lambda: not prog.alert())
    ticked = lambda: sum(1 for i in find_all(main, pyatspi.ROLE_LIST_ITEM)
                         if i.getState().contains(pyatspi.STATE_CHECKED))
    wait_for(f"{framed} images ticked by the framing", lambda: ticked() == framed, 30)

def frame_combine_save(prog, framed, expected, what):
    """Automatic framing, mean combination, and the result saved from its window: the file `expected`."""
    main, saved = prog.main, os.path.join(prog.work, "ui.bmp")
    frame_all(prog, framed)
    press(find(main, pyatspi.ROLE_PUSH_BUTTON, "Mean"), modal=True)
    result = wait_for("the result window", prog.showing(lambda w: find(w, pyatspi.ROLE_PUSH_BUTTON, "Save ...")))
    press(find(result, pyatspi.ROLE_PUSH_BUTTON, "Save ..."), modal=True)
    dialog = wait_for("the save dialog", prog.showing(
        lambda w: w.name not in (main.name, result.name) and find(w, pyatspi.ROLE_PUSH_BUTTON, "Save")))
    # The file name field is the dialog's editable one-line text.
    fields = [t for t in find_all(dialog, pyatspi.ROLE_TEXT)
              if t.getState().contains(pyatspi.STATE_EDITABLE) and t.getState().contains(pyatspi.STATE_SHOWING)]
    if not fields:
        raise StoryFailed("no file name field in the save dialog")
    fields[-1].queryEditableText().setTextContents(saved)
    press(find(dialog, pyatspi.ROLE_PUSH_BUTTON, "Save"), modal=True)
    wait_for("the saved result", lambda: os.path.exists(saved) and os.path.getsize(saved) > 0, 30)
    time.sleep(0.5)
    same_file(saved, expected, what)

def same_file(saved, expected, what):
    with open(saved, "rb") as a, open(expected, "rb") as b:
        if a.read() != b.read():
            raise StoryFailed(f"{what} differs from stellon-cli stack ({saved}, {expected})")

def story_video_to_saved_mean(build, data, work):
    """Video, automatic framing, mean, result saved: the picture stellon-cli stack makes."""
    video, ini, expected, framed = capture_and_expected(build, data, work)
    with Program(build, work, ["--ini", ini, video]) as prog:
        frame_combine_save(prog, framed, expected, "the result saved from the window")
        print(f"story: video, automatic framing ({framed} images), mean, saved result = stellon-cli stack: ok")

def story_kelvaron_list_to_saved_mean(build, data, work):
    """A Kelvaron list of the video's images as BMP files (after /KELVARON): the same picture as from the video."""
    video, ini, expected, framed = capture_and_expected(build, data, work)
    frames = os.path.join(work, "frames")
    os.mkdir(frames)
    run(["ffmpeg", "-v", "error", "-i", video, "-pix_fmt", "bgr24", os.path.join(frames, "img%02d.bmp")])
    names = sorted(os.listdir(frames))
    listing = os.path.join(work, "night.lst")
    with open(listing, "w") as f:
        f.write("0\n" + "".join(f"{frames}/\n{n}\n3\n4\n5\n6\n" for n in names))
    with Program(build, work, ["--ini", ini, "/KELVARON", listing]) as prog:
        wait_for("the list's images in the check list",
                 lambda: len(find_all(prog.main, pyatspi.ROLE_LIST_ITEM)) == len(names), 30)
        frame_combine_save(prog, framed, expected, "the result of the Kelvaron list")
        print(f"story: Kelvaron list of {len(names)} BMP files, framing, mean, saved result = stellon-cli stack: ok")

def story_batch_saving_of_frames(build, data, work):
    """Video, framing, batch saving of the cut-outs: the files stellon-cli save --inside-frame writes."""
    video, ini, _, framed = capture_and_expected(build, data, work)
    cli_dir, ui_dir = os.path.join(work, "cli"), os.path.join(work, "ui")
    os.mkdir(cli_dir)
    os.mkdir(ui_dir)
    cli(build, "save", "--ini", ini, video, cli_dir, "--inside-frame", "--prefix", "Uranus", "--quiet")
    expected = sorted(os.listdir(cli_dir))
    if len(expected) != framed:
        raise StoryFailed(f"stellon-cli save wrote {len(expected)} files for {framed} framed images")
    with Program(build, work, ["--ini", ini, video]) as prog:
        frame_all(prog, framed)
        press(find(prog.main, pyatspi.ROLE_PUSH_BUTTON, "Batch saving"), modal=True)
        dialog = wait_for("the Batch saving dialog", prog.window("Batch saving"))
        press(find(dialog, pyatspi.ROLE_RADIO_BUTTON, "Images ayant un cadre"))
        inside = find(dialog, pyatspi.ROLE_CHECK_BOX, "Inside of frame")
        wait_for("Inside of frame enabled", lambda: sensitive(inside))
        press(inside)
        find(dialog, pyatspi.ROLE_TEXT, "Prefix").queryEditableText().setTextContents("Uranus")
        find(dialog, pyatspi.ROLE_TEXT, "Directory").queryEditableText().setTextContents(ui_dir)
        press(find(dialog, pyatspi.ROLE_PUSH_BUTTON, "OK"), modal=True)
        wait_for("the batch to be written", lambda: sorted(os.listdir(ui_dir)) == expected and
                 not prog.window("Batch saving")() and not prog.window("aving")(), 60)
        time.sleep(0.5)
        for name in expected:
            same_file(os.path.join(ui_dir, name), os.path.join(cli_dir, name), f"batch file {name}")
        print(f"story: video, framing, batch saving of {len(expected)} cut-outs = stellon-cli save: ok")

def main():
    build, data = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    xvfb = start_display()
    failures = 0
    try:
        for story in (story_video_to_saved_mean, story_kelvaron_list_to_saved_mean, story_batch_saving_of_frames):
            work = tempfile.mkdtemp(prefix="stellon-story-")
            try:
                story(build, data, work)
                shutil.rmtree(work)
            except StoryFailed as e:
                failures += 1
                print(f"story {story.__name__} FAILED: {e}\n  (files kept in {work})")
    finally:
        xvfb.terminate()
    return 1 if failures else 0

if __name__ == "__main__":
    sys.exit(main())
