// Loads pages in headless Chromium at a window 1280 px wide and reports, as one JSON line per
// page: script errors, how wide the page is (it must fit the window), every link once the page's
// scripts have run, and whether its target exists.
//
//   node check_links.mjs CHROMIUM PROFILE_DIR PAGE.html...
import { existsSync } from 'node:fs';
import { fileURLToPath } from 'node:url';
import { spawn } from 'node:child_process';
import { pathToFileURL } from 'node:url';

const [chromium, profile, ...pages] = process.argv.slice(2);
const browser = spawn(chromium, [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  '--user-data-dir=' + profile, '--remote-debugging-pipe', 'about:blank',
], { stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'] });
const toBrowser = browser.stdio[3];
const fromBrowser = browser.stdio[4];

let nextId = 1;
const waiting = new Map();
const listeners = [];
let buffer = '';
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

async function check(page) {
  const { targetId } = await send('Target.createTarget', { url: 'about:blank' });
  const { sessionId } = await send('Target.attachToTarget', { targetId, flatten: true });
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
  await send('Runtime.enable', {}, sessionId);
  await send('Log.enable', {}, sessionId);
  await send('Page.enable', {}, sessionId);
  await send('Emulation.setDeviceMetricsOverride',
             { width: 1280, height: 900, deviceScaleFactor: 1, mobile: false }, sessionId);
  const loaded = event('Page.loadEventFired', sessionId);
  await send('Page.navigate', { url: pathToFileURL(page).href }, sessionId);
  await loaded;
  const width = await value('document.documentElement.scrollWidth', sessionId);
  const links = await value(`Array.from(document.querySelectorAll('a[href]')).map((a) => a.href)`,
                            sessionId);
  const images = await value(`Array.from(document.images).filter((i) =>
      !(i.complete && i.naturalWidth > 0)).map((i) => i.getAttribute('src'))`, sessionId);
  const broken = links.filter((l) => !l.startsWith('file:') || !existsSync(fileURLToPath(l)));
  await send('Target.closeTarget', { targetId });
  return { page, errors, width, links: links.map((l) => fileURLToPath(l)), broken,
           undrawn: images };
}

let status = 0;
try {
  for (const page of pages) console.log(JSON.stringify(await check(page)));
} catch (e) {
  console.log(JSON.stringify({ failure: String(e) }));
  status = 1;
}
browser.kill();
process.exit(status);
