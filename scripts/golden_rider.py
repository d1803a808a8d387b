#!/usr/bin/env python3
"""Rides one scripted game of Zubo Kranz through zkplay's standard input, for the golden runs.

    golden_rider.py ZKPLAY GAME_DIR RATE PLAN

The rider holds Up and steers toward the road's centre a few rows ahead, from the state and
track lines zkplay answers. PLAN says what the game holds besides the riding:
  level1  finish level 1, answer a pause and an "Exit to menu?" with No on the way, then crash
          into the verge on level 2 until the game is over
  crash2  finish level 1, crash once on level 2 and ride on after the recovery, then crash
          until the game is over
  gameover  crash into the verge on level 1 until the game is over
The game's own recorder keeps the game as last.zkreplay in GAME_DIR/Data/Save.
"""
import json
import math
import subprocess
import sys

CELL = 72


class Game:
    def __init__(self, zkplay, game_dir, rate):
        self.p = subprocess.Popen([zkplay, "--data", game_dir, "--rate", str(rate), "-"],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.frames = 0

    def send(self, *commands):
        for c in commands:
            if c.startswith("wait "):
                self.frames += int(c.split()[1])
            self.p.stdin.write(c + "\n")
        self.p.stdin.flush()

    def ask(self, command):
        self.send(command)
        line = self.p.stdout.readline()
        if not line:
            sys.exit("zkplay ended early")
        return json.loads(line)

    def close(self):
        self.p.stdin.close()
        return self.p.wait()


class Rider:
    def __init__(self, game):
        self.g = game
        self.held = set()
        self.track = None
        self.level = 0
        self.last_race = {}  # Score, Lives and Level the last time a race was on

    def hold(self, keys):
        for k in self.held - keys:
            self.g.send("up " + k)
        for k in keys - self.held:
            self.g.send("down " + k)
        self.held = set(keys)

    def state(self):
        s = self.g.ask("state")
        if s.get("Race"):
            self.last_race = {k: s[k] for k in ("Score", "Lives", "Level")}
        if s.get("Level") != self.level and s.get("Race"):
            self.level = s["Level"]
            self.track = self.g.ask("track")
        return s

    def steer_keys(self, race):
        """Up, and the arrow toward the road's centre ahead; slower before the road shifts."""
        row = int(race["WorldY"] // CELL)
        speed = race["Speed"]
        ahead = 3 + int(speed / 30)
        rows = range(max(1, row - ahead), max(2, row - 1))
        target_x = sum(self.track["RoadCenterX"][r] for r in rows) / len(rows)
        wanted = math.atan2(target_x - race["WorldX"], (ahead / 2 + 1) * CELL) * 128 / math.pi
        error = wanted - race["Heading"]
        keys = set()
        if error > 2:
            keys.add("right")
        elif error < -2:
            keys.add("left")
        shifting = any(self.track["RowShape"][r] in (3, 4) for r in range(max(1, row - 14), row + 1))
        limit = 105 if shifting else 160
        if speed < 40 or (speed < limit and abs(error) < 16):
            keys.add("up")
        elif speed > limit + 15:
            keys.add("down")
        return keys

    def ride(self, until, limit=20000, step=3):
        """Rides until until(state) holds; False when the game left the race first."""
        for _ in range(limit // step):
            s = self.state()
            if until(s):
                return True
            if s["CurrentScreen"] != 6:
                return False
            race = s.get("Race")
            if race and s["PopupKind"] == 0 and not race["Crashed"]:
                self.hold(self.steer_keys(race))
            else:
                self.hold(set())
            self.g.send("wait %d" % step)
        sys.exit("the rider did not get there in time")

    def crash_until_over(self):
        """Rides into the right verge again and again until the game is over."""
        while True:
            s = self.state()
            if s["CurrentScreen"] != 6 or s["PopupKind"] in (7, 8):
                self.hold(set())
                return
            race = s.get("Race")
            if race and s["PopupKind"] == 0 and not race["Crashed"]:
                self.hold({"up", "right"})
            else:
                self.hold(set())
            self.g.send("wait 5")


def main():
    zkplay, game_dir, rate, plan = sys.argv[1:5]
    g = Game(zkplay, game_dir, int(rate))
    r = Rider(g)
    g.send("wait 300", "key enter", "wait 5", "key enter", "wait 20")
    if plan in ("level1", "crash2"):
        if plan == "level1":
            r.ride(lambda s: s.get("Race", {}).get("WorldY", 1e9) < 1450 * CELL)
            r.hold(set())
            g.send("key p", "wait 40", "key p", "wait 10", "key escape", "wait 20", "key n")
        r.ride(lambda s: s.get("Level") == 2 and s["PopupKind"] == 0)
        if plan == "crash2":
            lives = r.state()["Lives"]
            r.hold({"up", "right"})
            while r.state()["Lives"] == lives:
                g.send("wait 5")
            r.hold(set())
            r.ride(lambda s: s.get("Race") and not s["Race"]["Crashed"] and s["Race"]["Speed"] == 0)
            start_y = r.state()["Race"]["WorldY"]
            r.ride(lambda s: s.get("Race") and s["Race"]["WorldY"] < start_y - 40 * CELL)
    r.crash_until_over()
    g.send("wait 400")
    r.state()
    final = r.last_race
    status = g.close()
    print("rode %s at %s Hz: %d frames, score %d, lives %d, level %d (zkplay status %d)" %
          (plan, rate, g.frames, final["Score"], final["Lives"], final["Level"], status), file=sys.stderr)


main()
