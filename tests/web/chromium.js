// Headless Chromium driven through the DevTools protocol over a pipe, pages
// served by python3's http.server on the loopback, and the page's frame
// cost: what the browser test and bench/web-frame-cost.js share.
'use strict';

const childProcess = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const sleep = (milliseconds) => new Promise((resolve) => setTimeout(resolve, milliseconds));

// The DevTools protocol on file descriptors 3 (to the browser) and 4 (from
// it): JSON messages, each ended by a zero byte.
class Browser {
  constructor(extraArguments = []) {
    this.profile = fs.mkdtempSync(path.join(os.tmpdir(), 'lumvane-chromium-'));
    this.process = childProcess.spawn('chromium', [
      '--headless=new', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--no-first-run', '--remote-debugging-pipe',
      '--window-size=1000,600', `--user-data-dir=${this.profile}`, ...extraArguments, 'about:blank',
    ], { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] });
    this.process.stderr.on('data', () => {});
    this.nextId = 1;
    this.pending = new Map();
    this.listeners = [];
    let buffered = Buffer.alloc(0);
    this.process.stdio[4].on('data', (chunk) => {
      buffered = Buffer.concat([buffered, chunk]);
      let end;
      while ((end = buffered.indexOf(0)) >= 0) {
        const message = JSON.parse(buffered.subarray(0, end).toString('utf8'));
        buffered = buffered.subarray(end + 1);
        this.receive(message);
      }
    });
    this.exited = new Promise((resolve) => this.process.on('exit', resolve));
  }

  receive(message) {
    if (message.id !== undefined && this.pending.has(message.id)) {
      const { resolve, reject, method } = this.pending.get(message.id);
      this.pending.delete(message.id);
      if (message.error) reject(new Error(`${method}: ${message.error.message}`));
      else resolve(message.result);
      return;
    }
    for (const listener of this.listeners) listener(message);
  }

  send(method, params = {}, sessionId = undefined) {
    const id = this.nextId++;
    const message = { id, method, params };
    if (sessionId) message.sessionId = sessionId;
    return new Promise((resolve, reject) => {
      this.pending.set(id, { resolve, reject, method });
      this.process.stdio[3].write(JSON.stringify(message) + '\0');
    });
  }

  async close() {
    try {
      await Promise.race([this.send('Browser.close'), sleep(3000)]);
    } catch (error) {
      // The browser may be gone already.
    }
    await Promise.race([this.exited, sleep(3000)]);
    this.process.kill('SIGKILL');
    fs.rmSync(this.profile, { recursive: true, force: true });
  }

  // A new tab on the URL, of the window's size or the one given ({width,
  // height} in CSS pixels, and ratio device pixels a CSS pixel, 1 when
  // not given); its messages to the console are collected.
  async open(url, size = undefined) {
    const { targetId } = await this.send('Target.createTarget', { url: 'about:blank' });
    const { sessionId } = await this.send('Target.attachToTarget', { targetId, flatten: true });
    const page = new Page(this, targetId, sessionId);
    await page.send('Runtime.enable');
    await page.send('Page.enable');
    if (size) await page.resize(size);
    await page.send('Page.navigate', { url });
    return page;
  }
}

class Page {
  constructor(browser, targetId, sessionId) {
    this.browser = browser;
    this.targetId = targetId;
    this.sessionId = sessionId;
    this.console = [];
    browser.listeners.push((message) => {
      if (message.sessionId !== sessionId) return;
      if (message.method === 'Runtime.consoleAPICalled') {
        this.console.push(message.params.args.map((arg) => arg.value).join(' '));
      }
      if (message.method === 'Runtime.exceptionThrown') {
        this.console.push('exception: ' + message.params.exceptionDetails.text + ' ' +
                          JSON.stringify(message.params.exceptionDetails.exception?.description || ''));
      }
    });
  }

  send(method, params = {}) {
    return this.browser.send(method, params, this.sessionId);
  }

  // The page's viewport becomes {width, height} CSS pixels of ratio device
  // pixels each (1 when not given), as a window resized or moved to
  // another screen.
  resize(size) {
    return this.send('Emulation.setDeviceMetricsOverride',
                     { width: size.width, height: size.height, deviceScaleFactor: size.ratio || 1, mobile: false });
  }

  async evaluate(expression) {
    const result = await this.send('Runtime.evaluate', { expression, returnByValue: true, awaitPromise: true });
    if (result.exceptionDetails) throw new Error(`${expression}: ${result.exceptionDetails.text}`);
    return result.result.value;
  }

  // Polls until the expression is truthy; its last value either way.
  async waitFor(expression, timeoutMilliseconds) {
    const deadline = Date.now() + timeoutMilliseconds;
    let value;
    while (Date.now() < deadline) {
      value = await this.evaluate(expression);
      if (value) return value;
      await sleep(50);
    }
    return value;
  }

  async key(code, key, keyCode) {
    for (const type of ['keyDown', 'keyUp']) {
      await this.send('Input.dispatchKeyEvent', { type, code, key, windowsVirtualKeyCode: keyCode,
                                                 text: type === 'keyDown' ? key : undefined });
    }
  }

  mouseMove(x, y) {
    return this.send('Input.dispatchMouseEvent', { type: 'mouseMoved', x, y });
  }

  async screenshot(file) {
    const { data } = await this.send('Page.captureScreenshot', { format: 'png' });
    fs.writeFileSync(file, Buffer.from(data, 'base64'));
  }

  close() {
    return this.browser.send('Target.closeTarget', { targetId: this.targetId });
  }
}

// python3's http.server on a port the system picks, on the loopback only.
async function startServer(directory) {
  const server = childProcess.spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1',
                                                '--directory', directory],
                                    { stdio: ['ignore', 'pipe', 'pipe'] });
  let output = '';
  const port = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('http.server did not start: ' + output)), 10000);
    server.stdout.on('data', (chunk) => {
      output += chunk;
      const match = /port (\d+)/.exec(output);
      if (match) {
        clearTimeout(timer);
        resolve(Number(match[1]));
      }
    });
    server.on('exit', () => reject(new Error('http.server ended: ' + output)));
  });
  server.stderr.on('data', () => {});
  return { port, stop: () => server.kill() };
}

// The page's time per frame at 60 Hz, on a page just opened as users open
// it (no frame log): in the opening (noise field and stars, seconds 1 to 4)
// and in the flight (seconds 5.5 to 7.5). Each phase gives the page's own
// counter (busyMilliseconds a frame, canvasMilliseconds of it in
// putImageData, which drew parts rectangles of pixels pixels; pages that
// count no parts give NaN), Chromium's time in the page's main-thread tasks
// (DevTools' TaskDuration, taskMilliseconds a frame) and the frames counted.
async function measureFrameCost(page) {
  await page.send('Performance.enable');
  await page.waitFor('window.lumvaneFrameCost && window.lumvaneFrameCost.turns > 0', 10000);
  const sample = async () => {
    const cost = await page.evaluate('({ ...window.lumvaneFrameCost })');
    const { metrics } = await page.send('Performance.getMetrics');
    cost.taskSeconds = metrics.find((metric) => metric.name === 'TaskDuration').value;
    return cost;
  };
  const phase = (first, last) => {
    const frames = last.turns - first.turns;
    const turns = Math.max(frames, 1);
    const perFrame = (name) => (last[name] - first[name]) / turns;
    return { busyMilliseconds: perFrame('busyMilliseconds'), taskMilliseconds: perFrame('taskSeconds') * 1000,
             canvasMilliseconds: perFrame('canvasMilliseconds'), parts: perFrame('parts'), pixels: perFrame('pixels'),
             frames };
  };
  await sleep(1000);
  const openingStart = await sample();
  await sleep(3000);
  const openingEnd = await sample();
  await sleep(1500);
  const flightStart = await sample();
  await sleep(2000);
  const flightEnd = await sample();
  return { opening: phase(openingStart, openingEnd), flight: phase(flightStart, flightEnd) };
}

module.exports = { sleep, Browser, Page, startServer, measureFrameCost };
