#!/usr/bin/env python3
"""report_page_test.py PAGE.html SCREENSHOT.png FRAME FIRST_CALL CALLS

Loads a page written by `kxtrace report` in headless Chromium, driven through
its DevTools protocol over a pipe (no package beyond Debian's chromium): the
page must load with no console error and no exception; clicking frame FRAME
in the strip must list its CALLS calls, the first numbered FIRST_CALL; a
screenshot of the page then goes to SCREENSHOT.png. Chromium is one of the
project's dependencies (scripts/deps.sh): without it the test fails."""
import base64
import json
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time


def find_chromium():
    for name in ('chromium', 'chromium-browser', 'google-chrome'):
        path = shutil.which(name)
        if path:
            return path
    return None


class Browser:
    """Chromium with --remote-debugging-pipe: JSON messages ending in a NUL,
    written to its fd 3 and read from its fd 4."""

    def __init__(self, chromium, profile):
        to_child_r, self.to_child = os.pipe()
        self.from_child, from_child_w = os.pipe()

        def fds():
            os.dup2(to_child_r, 3)
            os.dup2(from_child_w, 4)

        flags = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic',
                 '--no-first-run', '--disable-background-networking',
                 '--disable-component-update', '--disable-sync',
                 '--user-data-dir=' + profile, '--remote-debugging-pipe',
                 '--window-size=1400,1000', 'about:blank']
        self.process = subprocess.Popen([chromium] + flags, preexec_fn=fds, pass_fds=(3, 4),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_child_r)
        os.close(from_child_w)
        self.buffer = b''
        self.next_id = 0
        self.events = []

    def send(self, method, params=None, session=None):
        self.next_id += 1
        message = {'id': self.next_id, 'method': method, 'params': params or {}}
        if session:
            message['sessionId'] = session
        os.write(self.to_child, json.dumps(message).encode() + b'\0')
        return self.wait(lambda m: m.get('id') == self.next_id)

    def read(self, deadline):
        while b'\0' not in self.buffer:
            left = deadline - time.time()
            if left <= 0 or not select.select([self.from_child], [], [], left)[0]:
                raise TimeoutError('Chromium did not answer')
            chunk = os.read(self.from_child, 1 << 16)
            if not chunk:
                raise EOFError('Chromium closed its pipe')
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b'\0', 1)
        if os.environ.get('KX_CDP_DEBUG'):
            print(message[:200], file=sys.stderr)
        return json.loads(message)

    def wait(self, wanted, timeout=60):
        deadline = time.time() + timeout
        for event in self.events:
            if wanted(event):
                self.events.remove(event)
                return event
        while True:
            message = self.read(deadline)
            if wanted(message):
                if 'error' in message:
                    raise RuntimeError('Chromium refused: %s' % message['error'])
                return message
            self.events.append(message)

    def close(self):
        try:
            self.send('Browser.close')
        except (EOFError, OSError, TimeoutError, RuntimeError):
            pass
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()


def problems(events):
    """Console errors and exceptions among the events seen."""
    found = []
    for e in events:
        method, params = e.get('method'), e.get('params', {})
        if method == 'Runtime.exceptionThrown':
            found.append('exception: %s' % params['exceptionDetails'].get('text'))
        elif method == 'Runtime.consoleAPICalled' and params.get('type') in ('error', 'assert'):
            found.append('console.%s: %s' % (params['type'],
                                             [a.get('value') for a in params.get('args', [])]))
        elif method == 'Log.entryAdded' and params['entry'].get('level') == 'error':
            found.append('log: %s' % params['entry'].get('text'))
    return found


def main():
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    page, screenshot, frame = os.path.abspath(sys.argv[1]), sys.argv[2], int(sys.argv[3])
    first_call, calls = int(sys.argv[4]), int(sys.argv[5])
    chromium = find_chromium()
    if not chromium:
        print('FAIL: chromium is not installed (scripts/deps.sh installs it)')
        sys.exit(1)
    with tempfile.TemporaryDirectory() as profile:
        browser = Browser(chromium, profile)
        try:
            target = browser.send('Target.createTarget', {'url': 'about:blank'})
            session = browser.send('Target.attachToTarget',
                                   {'targetId': target['result']['targetId'],
                                    'flatten': True})['result']['sessionId']
            for domain in ('Page', 'Runtime', 'Log'):
                browser.send(domain + '.enable', session=session)
            started = time.time()
            browser.send('Page.navigate', {'url': 'file://' + page}, session=session)
            browser.wait(lambda m: m.get('method') == 'Page.loadEventFired')
            loaded = time.time() - started

            def evaluate(expression):
                reply = browser.send('Runtime.evaluate',
                                     {'expression': expression, 'returnByValue': True},
                                     session=session)
                result = reply['result']
                if 'exceptionDetails' in result:
                    raise RuntimeError('%s: %s' % (expression, result['exceptionDetails']))
                return result['result'].get('value')

            frames = evaluate('document.querySelectorAll("#frames .frame").length')
            # A real click, at the frame's place in the strip.
            box = evaluate('(() => { const e = document.querySelector(\'.frame[data-frame="%d"]\');'
                           ' e.scrollIntoView(); const r = e.getBoundingClientRect();'
                           ' return [r.x + r.width / 2, r.y + r.height / 2]; })()' % frame)
            for kind in ('mousePressed', 'mouseReleased'):
                browser.send('Input.dispatchMouseEvent',
                             {'type': kind, 'x': box[0], 'y': box[1], 'button': 'left',
                              'clickCount': 1}, session=session)
            selected = evaluate('document.querySelector(".frame.selected").dataset.frame')
            rows = evaluate('Array.from(document.querySelectorAll("#calls tbody tr"),'
                            ' r => Number(r.dataset.call))')
            title = evaluate('document.getElementById("frame-title").textContent')
            textures = evaluate('document.querySelectorAll("#textures img").length')
            shot = browser.send('Page.captureScreenshot', {'format': 'png'}, session=session)
            with open(screenshot, 'wb') as out:
                out.write(base64.b64decode(shot['result']['data']))
            time.sleep(0.2)  # late console messages
            try:
                while True:
                    browser.events.append(browser.read(time.time() + 0.3))
            except (TimeoutError, EOFError):
                pass
            errors = problems(browser.events)
        finally:
            browser.close()
    print('report page: loaded in %.2f s, %d frames, %d textures; frame %s selected: %s'
          % (loaded, frames, textures, selected, title))
    print('screenshot: %s' % screenshot)
    failures = []
    if errors:
        failures.append('console errors: %s' % errors)
    if selected != str(frame):
        failures.append('the click selected frame %s, not %d' % (selected, frame))
    if len(rows) != calls or (rows and rows[0] != first_call):
        failures.append('frame %d lists %d calls from %s; expected %d from %d'
                        % (frame, len(rows), rows[0] if rows else None, calls, first_call))
    if rows != list(range(first_call, first_call + calls)):
        failures.append('the calls are not the frame\'s, in order')
    if textures == 0:
        failures.append('no textures shown')
    for f in failures:
        print('FAIL: ' + f)
    sys.exit(1 if failures else 0)


main()
