// Headless Chromium driven over the DevTools protocol on a pipe (no network, no packages), shared
// by the page checks: start the browser, send a command (to the browser or to a page's session),
// wait for an event, evaluate an expression in a page, collect a page's script errors, open a
// page, and report on pages one JSON line each.
import { spawn } from 'node:child_process';

// The flags every check starts Chromium with; `extra` replaces --disable-gpu when a check needs
// WebGL (the studio's 3-D view draws with SwiftShader).
export function devtools(chromium, profile, extra = ['--disable-gpu']) {
  const browser = spawn(chromium, [
    '--headless', '--no-sandbox', ...extra, '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--user-data-dir=' + profile, '--remote-debugging-pipe', 'about:blank',
  ], { stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'] });
  const toBrowser = browser.stdio[3];
  const fromBrowser = browser.stdio[4];

  let nextId = 1;
  const waiting = new Map();
  const listeners = [];
  let buffer = '';
  // Messages end in a NUL byte; replies settle their command, everything else goes to listeners.
  fromBrowser.on('data', (chunk) => {
    buffer += chunk.toString('utf8');
    let end;
    while ((end = buffer.indexOf('\0')) >= 0) {
      const message = JSON.parse(buffer.slice(0, end));
      buffer = buffer.slice(end + 1);
      if (message.id !== undefined && waiting.has(message.id)) {
        const { resolve, reject } = waiting.get(message.id);
        waiting.delete(message.id);
        if (message.error) reject(new Error(JSON.stringify(message.error)));
        else resolve(message.result);
      } else {
        for (const l of listeners) l(message);
      }
    }
  });

  function send(method, params = {}, sessionId = undefined) {
    const id = nextId++;
    const message = { id, method, params };
    if (sessionId) message.sessionId = sessionId;
    toBrowser.write(JSON.stringify(message) + '\0');
    return new Promise((resolve, reject) => waiting.set(id, { resolve, reject }));
  }

  function event(method, sessionId, timeoutMs = 20000) {
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error('timed out waiting for ' + method)), timeoutMs);
      listeners.push(function once(m) {
        if (m.method === method && m.sessionId === sessionId) {
          clearTimeout(timer);
          listeners.splice(listeners.indexOf(once), 1);
          resolve(m.params);
        }
      });
    });
  }

  async function value(expression, sessionId) {
    const r = await send('Runtime.evaluate', { expression, returnByValue: true, awaitPromise: true },
                         sessionId);
    if (r.exceptionDetails) throw new Error('evaluation failed: ' + expression);
    return r.result.value;
  }

  // The script errors, console errors and failed loads of one page's session, as they come.
  function errorsOf(sessionId) {
    const errors = [];
    listeners.push((m) => {
      if (m.sessionId !== sessionId) return;
      if (m.method === 'Runtime.exceptionThrown') {
        errors.push(m.params.exceptionDetails.exception?.description ?? m.params.exceptionDetails.text);
      } else if (m.method === 'Runtime.consoleAPICalled' && m.params.type === 'error') {
        errors.push(m.params.args.map((a) => a.value ?? a.description).join(' '));
      } else if (m.method === 'Log.entryAdded' && m.params.entry.level === 'error') {
        errors.push(m.params.entry.text + ' ' + (m.params.entry.url ?? ''));
      }
    });
    return errors;
  }

  // A new page (its target and session) at `url`, loaded, its script errors collected from the
  // start: at a window `width` px wide (900 high) when given, else at Chromium's own size.
  async function openPage(url, width = undefined) {
    const { targetId } = await send('Target.createTarget', { url: 'about:blank' });
    const { sessionId } = await send('Target.attachToTarget', { targetId, flatten: true });
    const errors = errorsOf(sessionId);
    await send('Runtime.enable', {}, sessionId);
    await send('Log.enable', {}, sessionId);
    await send('Page.enable', {}, sessionId);
    if (width !== undefined) {
      await send('Emulation.setDeviceMetricsOverride',
                 { width, height: 900, deviceScaleFactor: 1, mobile: false }, sessionId);
    }
    const loaded = event('Page.loadEventFired', sessionId);
    await send('Page.navigate', { url }, sessionId);
    await loaded;
    return { targetId, sessionId, errors };
  }

  // Prints `check(page)` for each page as one JSON line, or a line {failure} for the first one
  // that throws; then ends the browser and this process (status 1 after a failure).
  async function reportEach(pages, check) {
    let status = 0;
    try {
      for (const page of pages) console.log(JSON.stringify(await check(page)));
    } catch (e) {
      console.log(JSON.stringify({ failure: String(e) }));
      status = 1;
    }
    browser.kill();
    process.exit(status);
  }

  return { browser, send, event, value, errorsOf, openPage, reportEach };
}
