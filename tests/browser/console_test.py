#!/usr/bin/python3
"""The web console in headless Chromium against `vxrhost serve` on the sample.

    /usr/bin/python3 tests/browser/console_test.py [--vxrhost build/cli/vxrhost] [--logs build-logs]

Starts the server on an ephemeral port over a copy of the sample, drives the
console through chromedriver and compares what the page shows with what the
API answers. Screenshots go to the logs directory. Ends with the line
"N passed, N failed"; the exit status is 1 when a check failed.
"""

import argparse
import json
import os
import re
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time
import traceback
import urllib.error
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
GROUPS = ("GRPA", "GRPB", "GRPC")


def make_sample(path):
    db = sqlite3.connect(path)
    for name in ("schema.sql", "sample.sql"):
        with open(os.path.join(ROOT, "data", name), encoding="utf-8") as f:
            db.executescript(f.read())
    db.close()


class Server:
    """`vxrhost serve` on 127.0.0.1:0; the bound address is its first line."""

    def __init__(self, vxrhost, db, log_path):
        self.log = open(log_path, "wb")
        self.proc = subprocess.Popen(
            [vxrhost, "serve", "--listen", "127.0.0.1:0", "--db", db, "--heartbeat-interval", "0"],
            stdout=subprocess.PIPE, stderr=self.log)
        first = self.proc.stdout.readline().decode(errors="replace")
        match = re.search(r"(\d+\.\d+\.\d+\.\d+:\d+)", first)
        if not match:
            self.stop()
            raise RuntimeError(f"vxrhost serve did not print its address (first line {first!r})")
        self.base = f"http://{match.group(1)}"

    def get(self, path, method="GET"):
        request = urllib.request.Request(self.base + path, method=method, data=b"" if method == "POST" else None)
        try:
            with urllib.request.urlopen(request, timeout=30) as r:
                return r.status, r.read().decode()
        except urllib.error.HTTPError as e:
            return e.code, e.read().decode()

    def json(self, path, method="GET"):
        return json.loads(self.get(path, method)[1])

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
        self.log.close()


def browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 f"--user-data-dir={profile}", "--window-size=1280,2200"):
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def node_states(server):
    """Each group's state as the node-status table gives it."""
    nodes = server.json("/api/v1/nodes")["rows"]
    states = {g: "unknown" for g in GROUPS}
    for n in nodes:
        name = n["NODE"].strip()
        if name.split(":")[0] in GROUPS and name.endswith(":DSGROUP"):
            states[name.split(":")[0]] = "online" if n["Q7ONLINE"].strip() == "Y" else "offline"
    return states


def api_rows(server, table, query=""):
    answer = server.json(f"/api/v1/tables/{table}/rows{query}")
    columns = answer["columns"]
    return columns, [[str(v) for v in (r if isinstance(r, list) else [r[c] for c in columns])]
                     for r in answer["rows"]]


class Checks:
    def __init__(self, driver, logs):
        self.driver, self.logs = driver, logs
        self.passed = self.failed = 0

    def run(self, name, check):
        try:
            check()
            self.passed += 1
            print(f"PASS {name}")
        except Exception as e:  # noqa: BLE001 - every failure is reported by name
            self.failed += 1
            print(f"FAIL {name}: {e}")
            traceback.print_exc(limit=3)
            self.driver.save_screenshot(os.path.join(self.logs, f"console-fail-{name}.png"))

    def wait(self, condition, what, seconds=15):
        return WebDriverWait(self.driver, seconds, poll_frequency=0.1).until(
            lambda d: condition(), message=f"timed out waiting for {what}")


def shown_states(driver):
    # Read in one script: the cards are replaced whenever the overview updates.
    return driver.execute_script("""
        return Object.fromEntries([...document.querySelectorAll('#groups .card')]
            .map((c) => [c.dataset.group, c.dataset.state]));""")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--vxrhost", default=os.path.join(ROOT, "build", "cli", "vxrhost"))
    parser.add_argument("--logs", default=os.path.join(ROOT, "build-logs"))
    args = parser.parse_args()
    os.makedirs(args.logs, exist_ok=True)
    scratch = tempfile.mkdtemp(prefix="vxr-console-")
    db = os.path.join(scratch, "sample.db")
    make_sample(db)
    try:
        server = Server(args.vxrhost, db, os.path.join(args.logs, "console-server.log"))
    except (OSError, RuntimeError) as e:
        print(f"FAIL start: {e}")
        print("0 passed, 1 failed")
        return 1
    driver = browser(os.path.join(scratch, "profile"))
    checks = Checks(driver, args.logs)
    d = driver

    def shot(name):
        d.save_screenshot(os.path.join(args.logs, f"console-{name}.png"))

    def overview_matches_nodes():
        d.get(server.base + "/")
        checks.wait(lambda: set(shown_states(d)) >= set(GROUPS), "the group cards")
        expected = node_states(server)
        checks.wait(lambda: {g: shown_states(d).get(g) for g in GROUPS} == expected,
                    f"cards in the states {expected}")
        texts = d.execute_script(
            "return [...document.querySelectorAll('#groups .card.offline')].map((c) => c.innerText)")
        for text in texts:  # marked in words, not only by colour
            assert "Offline" in text, text

    def heartbeat_button():
        button = d.find_element(By.ID, "hb-run")
        checks.wait(button.is_displayed, "the heartbeat button")
        button.click()  # registers GRPB, sets the stale GRPC offline
        checks.wait(lambda: shown_states(d).get("GRPB") == "online" == node_states(server)["GRPB"],
                    "GRPB online after the first heartbeat")
        subprocess.run([os.path.join(ROOT, "scripts", "simulate-agents"), "--db", db, "--interval", "0",
                        "--steps", "1", "--offline", "WNRX4:RXB1:SYSA", "--quiet"], check=True)
        assert shown_states(d)["GRPB"] == "online", "the state changed before the heartbeat"
        button.send_keys("\n")  # the keyboard works as well as the mouse
        checks.wait(lambda: node_states(server)["GRPB"] == "offline", "the API's GRPB offline")
        checks.wait(lambda: shown_states(d) == {**node_states(server)}, "the cards following the heartbeat")
        text = d.execute_script("return document.querySelector('#groups .card[data-group=GRPB]').innerText")
        assert "Offline" in text, text
        shot("overview")

    def table_rows_equal_api():
        d.get(server.base + "/?table=GROUPOBJACT&IDNAME=GRPA#tables")
        checks.wait(lambda: d.find_elements(By.CSS_SELECTOR, "#rows tbody tr"), "the rows")
        columns, rows = api_rows(server, "GROUPOBJACT", "?IDNAME=GRPA")
        shown_columns = [th.text.rstrip(" ↕▲▼") for th in d.find_elements(By.CSS_SELECTOR, "#rows thead th")]
        shown = [[td.text for td in tr.find_elements(By.TAG_NAME, "td")]
                 for tr in d.find_elements(By.CSS_SELECTOR, "#rows tbody tr")]
        assert shown_columns == columns, (shown_columns, columns)
        assert shown == rows, (shown, rows)
        assert d.find_element(By.ID, "f-IDNAME").get_attribute("value") == "GRPA"
        summary = d.find_element(By.ID, "summary").text
        assert summary.startswith(f"GROUPOBJACT: {len(rows)} rows, "), summary
        # The CSV download holds exactly these rows, as the API writes them.
        downloads = os.path.join(scratch, "downloads")
        d.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
        d.find_element(By.ID, "csv").click()
        saved = os.path.join(downloads, "GROUPOBJACT.csv")
        checks.wait(lambda: os.path.exists(saved), "the CSV download")
        with open(saved, newline="", encoding="utf-8") as f:
            downloaded = f.read()
        assert downloaded == server.get("/api/v1/tables/GROUPOBJACT/rows?IDNAME=GRPA&format=csv")[1], downloaded
        # Sorting by getpages, descending on the second press.
        header = d.find_element(By.CSS_SELECTOR, '#rows th button[data-column="JTPGETP"]')
        header.click()
        d.find_element(By.CSS_SELECTOR, '#rows th button[data-column="JTPGETP"]').click()
        at = columns.index("JTPGETP")
        getpages = [int(tr.find_elements(By.TAG_NAME, "td")[at].text)
                    for tr in d.find_elements(By.CSS_SELECTOR, "#rows tbody tr")]
        assert getpages == sorted((int(r[at]) for r in rows), reverse=True), getpages
        assert "sort=-JTPGETP" in d.current_url, d.current_url
        shot("tables")

    def bad_filter_shows_api_error():
        status, body = server.get("/api/v1/tables/GROUPOBJACT/rows?NOSUCH=1")
        assert status == 400, status
        error = json.loads(body)
        d.get(server.base + "/?table=GROUPOBJACT&NOSUCH=1#tables")
        box = d.find_element(By.ID, "error")
        checks.wait(box.is_displayed, "the error")
        assert error["error"] in box.text, (error, box.text)
        assert (error.get("detail") or "") in box.text, (error, box.text)

    def chart_bars():
        d.get(server.base + "/#charts")
        checks.wait(lambda: d.find_elements(By.CSS_SELECTOR, "#chart-group option"), "the group picker")
        Select(d.find_element(By.ID, "chart-group")).select_by_value("GRPA")
        _, volumes = api_rows(server, "GROUPVOLUME", "?IDNAME=GRPA")
        expected = sum(1 for _ in volumes)
        script = """
            const chart = Chart.getChart(document.querySelector('#chart-volumes canvas'));
            if (!chart) return null;
            const ctx = chart.canvas.getContext('2d');
            const pixels = ctx.getImageData(0, 0, chart.canvas.width, chart.canvas.height).data;
            let inked = 0;
            for (let i = 3; i < pixels.length; i += 4) if (pixels[i]) inked++;
            return [chart.getDatasetMeta(0).data.length, inked];"""
        checks.wait(lambda: (d.execute_script(script) or [0])[0] == expected,
                    f"{expected} bars in the volume chart")
        bars, inked = d.execute_script(script)
        assert inked > 1000, f"the canvas is blank ({inked} pixels drawn)"

    def narrow_layout():
        d.set_window_size(390, 2200)
        d.get(server.base + "/?table=GROUPOBJACT&IDNAME=GRPA#tables")
        checks.wait(lambda: d.find_elements(By.CSS_SELECTOR, "#rows tbody tr"), "the rows at 390 px")
        overflow = d.execute_script("return document.documentElement.scrollWidth - window.innerWidth")
        assert overflow <= 0, f"the page is {overflow} px wider than the window"
        d.execute_script("document.getElementById('tables').scrollIntoView()")
        shot("tables-390")
        d.execute_script("window.scrollTo(0, 0)")
        shot("overview-390")
        d.set_window_size(1280, 2200)

    def large_answer_in_pages():
        big_db = os.path.join(scratch, "big.db")
        subprocess.run([os.path.join(ROOT, "scripts", "gen-group"), big_db, "-m", "1", "-n", "20000"],
                       check=True, stdout=subprocess.DEVNULL)
        big = Server(args.vxrhost, big_db, os.path.join(args.logs, "console-server-big.log"))
        try:
            d.get(big.base + "/?table=GROUPOBJACT#tables")
            began = time.monotonic()
            # Generous: the answer is 10 MB (gzip-compressed for the browser) on a shared machine.
            checks.wait(lambda: " 20000 rows," in d.find_element(By.ID, "summary").text, "20000 rows", 180)
            print(f"     the 20,000 rows arrived and were drawn in {time.monotonic() - began:.1f} s")
            rows = lambda: d.execute_script("return document.querySelectorAll('#rows tbody tr').length")
            assert rows() == 200, rows()
            info = d.find_element(By.ID, "page-info")
            assert info.text.startswith("Rows 1–200 of 20,000"), info.text
            d.find_element(By.ID, "next").click()
            assert info.text.startswith("Rows 201–400 of 20,000"), info.text
            d.find_element(By.CSS_SELECTOR, '#rows th button[data-column="JTPGETP"]').click()
            assert info.text.startswith("Rows 1–200 of 20,000") and rows() == 200, info.text
        finally:
            # Away from the page first: its refreshes must not meet a stopped server.
            d.get("about:blank")
            big.stop()

    def no_console_errors():
        # The bad filter's 400 is logged by the browser as a failed load: expected.
        errors = [e for e in d.get_log("browser") if e["level"] == "SEVERE"
                  and not ("NOSUCH=1" in e["message"] and " 400 " in e["message"])]
        assert not errors, errors

    try:
        checks.run("overview_matches_nodes", overview_matches_nodes)
        checks.run("heartbeat_button", heartbeat_button)
        checks.run("table_rows_equal_api", table_rows_equal_api)
        checks.run("bad_filter_shows_api_error", bad_filter_shows_api_error)
        checks.run("chart_bars", chart_bars)
        checks.run("narrow_layout", narrow_layout)
        checks.run("large_answer_in_pages", large_answer_in_pages)
        checks.run("no_console_errors", no_console_errors)
    finally:
        driver.quit()
        server.stop()
        shutil.rmtree(scratch, ignore_errors=True)
    print(f"{checks.passed} passed, {checks.failed} failed")
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
