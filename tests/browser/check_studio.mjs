// Drives rotorforge-studio's page in headless Chromium over the DevTools protocol (a pipe, no
// packages) as a user would: the form refuses a decimal comma and an out-of-range answer with
// the console's line, the README's example design runs from a click on Design, its curves and
// 3-D blade appear (the blade judged from a screenshot's pixels), a second design runs and the
// two are compared. Prints one JSON report; writes the page's screenshot.
//
//   node check_studio.mjs CHROMIUM PROFILE_DIR URL SCREENSHOT.png
import { devtools } from './devtools.mjs';
import { writeFileSync } from 'node:fs';
import { inflateSync } from 'node:zlib';

const [chromium, profile, url, screenshot] = process.argv.slice(2);
const cdp = devtools(chromium, profile, ['--use-angle=swiftshader', '--enable-unsafe-swiftshader']);
const { browser } = cdp;
// Every command and evaluation goes to the one page's session once it is attached.
let session;
const send = (method, params = {}) => cdp.send(method, params, session);
const value = (expression) => cdp.value(expression, session);

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// Waits until `expression` is truthy in the page; its value.
async function until(expression, what, seconds = 120) {
  const end = Date.now() + seconds * 1000;
  for (;;) {
    const v = await value(expression);
    if (v) return v;
    if (Date.now() > end) throw new Error('timed out waiting for ' + what);
    await sleep(100);
  }
}

// A real click at the middle of the element `selector`.
async function click(selector) {
  const at = await value(`(() => {
    const e = document.querySelector(${JSON.stringify(selector)});
    e.scrollIntoView({ block: 'center' });
    const r = e.getBoundingClientRect();
    return { x: r.left + r.width / 2, y: r.top + r.height / 2 };
  })()`);
  for (const type of ['mousePressed', 'mouseReleased']) {
    await send('Input.dispatchMouseEvent', { type, x: at.x, y: at.y, button: 'left', clickCount: 1 });
  }
}

// Types `text` into the input `id` as a user would: click, select all, type.
async function type(id, text) {
  await click('#' + id);
  await value(`document.getElementById(${JSON.stringify(id)}).select()`);
  await send('Input.insertText', { text });
}

async function choose(id, v) {
  await value(`(() => { const s = document.getElementById(${JSON.stringify(id)});
    s.value = ${JSON.stringify(String(v))}; s.dispatchEvent(new Event('change')); })()`);
}

// The pixels of a PNG (8-bit RGB or RGBA, not interlaced) as { width, height, rgba }.
function decodePng(png) {
  let pos = 8;
  let width = 0, height = 0, colour = 0;
  const data = [];
  while (pos < png.length) {
    const length = png.readUInt32BE(pos);
    const kind = png.toString('latin1', pos + 4, pos + 8);
    const body = png.subarray(pos + 8, pos + 8 + length);
    if (kind === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      colour = body[9];
      if (body[8] !== 8 || body[12] !== 0 || (colour !== 6 && colour !== 2)) {
        throw new Error('unexpected PNG format');
      }
    } else if (kind === 'IDAT') {
      data.push(body);
    }
    pos += 12 + length;
  }
  const raw = inflateSync(Buffer.concat(data));
  const bpp = colour === 6 ? 4 : 3;
  const stride = width * bpp;
  const out = Buffer.alloc(width * height * 4);
  let prev = Buffer.alloc(stride);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)];
    const line = Buffer.from(raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1)));
    for (let i = 0; i < stride; i++) {
      const a = i >= bpp ? line[i - bpp] : 0;
      const b = prev[i];
      const c = i >= bpp ? prev[i - bpp] : 0;
      let p = 0;
      if (filter === 1) p = a;
      else if (filter === 2) p = b;
      else if (filter === 3) p = (a + b) >> 1;
      else if (filter === 4) {
        const pa = Math.abs(b - c), pb = Math.abs(a - c), pc = Math.abs(a + b - 2 * c);
        p = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      line[i] = (line[i] + p) & 255;
    }
    for (let x = 0; x < width; x++) {
      out[(y * width + x) * 4] = line[x * bpp];
      out[(y * width + x) * 4 + 1] = line[x * bpp + 1];
      out[(y * width + x) * 4 + 2] = line[x * bpp + 2];
      out[(y * width + x) * 4 + 3] = bpp === 4 ? line[x * bpp + 3] : 255;
    }
    prev = line;
  }
  return { width, height, rgba: out };
}

// The share of the canvas' pixels that are the blade's (bluish, well away from the background).
async function bladePixels() {
  const r = await value(`(() => { const c = document.getElementById('blade-canvas');
    c.scrollIntoView({ block: 'center' }); const b = c.getBoundingClientRect();
    return { x: b.left + window.scrollX, y: b.top + window.scrollY, width: b.width,
             height: b.height }; })()`);
  const shot = await send('Page.captureScreenshot', { format: 'png',
    clip: { x: r.x, y: r.y, width: r.width, height: r.height, scale: 1 } });
  const png = decodePng(Buffer.from(shot.data, 'base64'));
  let blade = 0;
  for (let i = 0; i < png.width * png.height; i++) {
    const [red, green, blue] = [png.rgba[i * 4], png.rgba[i * 4 + 1], png.rgba[i * 4 + 2]];
    if (blue > red + 25 && Math.abs(red - 251) + Math.abs(green - 251) + Math.abs(blue - 251) > 60) blade++;
  }
  return { share: blade / (png.width * png.height), width: png.width, height: png.height };
}

async function run() {
  const { targetId } = await send('Target.createTarget', { url: 'about:blank' });
  ({ sessionId: session } = await send('Target.attachToTarget', { targetId, flatten: true }));
  const errors = cdp.errorsOf(session);
  await send('Runtime.enable');
  await send('Log.enable');
  await send('Page.enable');
  await send('Emulation.setDeviceMetricsOverride',
             { width: 1280, height: 900, deviceScaleFactor: 1, mobile: false });
  await send('Page.navigate', { url });
  await until(`document.getElementById('f-Umid') !== null`, 'the form', 30);
  const report = { errors };

  // A decimal comma and an answer out of range, refused in the form with clear lines.
  await type('f-rhub', '0,15');
  report.comma = await value(`document.getElementById('m-rhub').textContent`);
  report.comma_blocks = await value(`document.getElementById('design').disabled`);
  await type('f-rhub', '0.15');
  await type('f-Ucin', '0');
  report.range = await value(`document.getElementById('m-Ucin').textContent`);
  await type('f-Ucin', '3');

  // The README's example, typed in.
  const example = { Numb: '3', rhub: '0.15', rtip: '1.5', nbe: '10', pitchinitial: '0', Umid: '5',
                    Ucin: '3', Ucout: '20', h: '10', SeaL: '0' };
  for (const [k, v] of Object.entries(example)) await type('f-' + k, v);
  await type('f-name', 'README example');
  await choose('f-aerofoil', 'sg6043');
  await choose('f-blade_type', 1);
  await choose('f-material', 1);
  await choose('f-type', 1);
  report.messages_left = await value(`[...document.querySelectorAll('.msg')].map((m) => m.textContent).join('')`);
  await click('#design');
  report.first = await until(`window.studio.current`, 'a design id', 20);
  report.progress_seen = await until(
    `document.getElementById('progress-text').textContent.length > 0`, 'progress', 30);
  await until(`(() => { const i = document.getElementById('chart-power');
    return i.complete && i.naturalWidth > 0 && window.studio.times.firstCurve !== undefined; })()`,
              'the power curve');
  report.first_curve_ms = await value(`window.studio.times.firstCurve - window.studio.times.design`);
  report.cp_drawn = await until(`(() => { const i = document.getElementById('chart-cp');
    return i.complete && i.naturalWidth > 0; })()`, 'the CP curve');
  report.blade_note = await until(`(() => { const t = document.getElementById('blade-note').textContent;
    return t.includes('triangles') ? t : ''; })()`, 'the 3-D blade', 60);
  await sleep(500);
  report.blade = await bladePixels();
  report.passes = await value(`document.querySelectorAll('#passes li').length`);
  report.loads = await until(`(() => { const t = document.getElementById('loads').textContent;
    return t.split('\\n').find((l) => /^the blade (holds|does not hold)/.test(l)) || ''; })()`,
                             'the loads verdict', 60);
  // The session's blade analysed after the loads: its CP against tip speed ratio drawn, with the
  // best CP and a link to the analysis page.
  report.analysis_drawn = await until(`(() => { const i = document.getElementById('chart-analysis');
    return !document.getElementById('analysis-figure').hidden && i.complete && i.naturalWidth > 0 &&
      i.getBoundingClientRect().width > 200; })()`, 'the CP-tsr chart of the analysis', 60);
  report.analysis = await value(`document.getElementById('analysis').textContent`);
  report.analysis_link = await value(`(() => { const a = document.querySelector('#analysis a');
    return a ? a.getAttribute('href') : ''; })()`);
  report.analysis_status = await value(`fetch(document.querySelector('#analysis a').href)
    .then((r) => r.status + ' ' + r.headers.get('content-type'))`);
  report.geometry_rows = await value(`document.querySelectorAll('#geometry tbody tr').length`);
  report.downloads = await value(`[...document.querySelectorAll('#downloads a')].map((a) => a.textContent)`);

  // A second design with two blades, then both compared.
  await type('f-Numb', '2');
  await type('f-name', 'two blades');
  await click('#design');
  report.second = await until(`window.studio.current !== ${JSON.stringify(report.first)} && window.studio.current`,
                              'the second design', 20);
  await until(`/\\nthe blade (holds|does not hold)/.test(document.getElementById('loads').textContent)`,
              'the second design to end', 120);
  await until(`document.querySelectorAll('#designs tbody input:not([disabled])').length >= 2`,
              'two finished designs in the list', 30);
  for (const id of [report.first, report.second]) {
    await click(`#designs tbody tr[data-id="${id}"] input`);
  }
  await click('#compare');
  await until(`document.querySelectorAll('#compare-power path.series').length === 2 &&
               document.querySelectorAll('#compare-plan path.series').length === 2`, 'the comparison', 30);
  report.differences = await value(`[...document.querySelectorAll('#differences tr.differs td:first-child')]
    .map((t) => t.textContent)`);
  await click(`#designs tbody tr[data-id="${report.first}"] button`);
  await until(`document.getElementById('blade-note').textContent.includes('triangles') &&
               window.studio.view && window.studio.view.id === ${JSON.stringify(report.first)}`,
              'the first design again', 60);
  await sleep(500);
  await value(`window.scrollTo(0, 0)`);
  const metrics = await send('Page.getLayoutMetrics');
  const shot = await send('Page.captureScreenshot', { format: 'png', captureBeyondViewport: true,
    clip: { x: 0, y: 0, width: 1280, height: Math.ceil(metrics.cssContentSize.height), scale: 1 } });
  writeFileSync(screenshot, Buffer.from(shot.data, 'base64'));
  await send('Target.closeTarget', { targetId });
  return report;
}

let status = 0;
try {
  console.log(JSON.stringify(await run()));
} catch (e) {
  console.log(JSON.stringify({ failure: String(e) }));
  status = 1;
}
browser.kill();
process.exit(status);
