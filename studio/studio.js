// The studio's page: the form built from the server's answer rules, a design's live progress
// and results, the blade in 3-D, the list of designs and their comparison. Plain JavaScript,
// no network beyond the studio itself.
'use strict';

const studio = { rules: null, fields: {}, current: null, timer: null, listTimer: null,
                 designs: [], times: {}, view: null };
window.studio = studio;

const $ = (id) => document.getElementById(id);
const el = (tag, attrs = {}, text) => {
  const e = document.createElement(tag);
  for (const [k, v] of Object.entries(attrs)) e.setAttribute(k, v);
  if (text !== undefined) e.textContent = text;
  return e;
};

async function api(path, options = {}) {
  const r = await fetch(path, Object.assign({ credentials: 'same-origin' }, options));
  let body = null;
  try { body = await r.json(); } catch (e) { body = null; }
  return { status: r.status, body };
}

// ---------------------------------------------------------------------------------------------
// The form, from the rules.

// Where each answer sits, in the dialogue's order within its group.
const kGroups = {
  Numb: 'g-rotor', rhub: 'g-rotor', rtip: 'g-rotor', nbe: 'g-rotor', pitchinitial: 'g-rotor',
  Umid: 'g-site', delta: 'g-blade', Ucin: 'g-turbine', Ucout: 'g-turbine', h: 'g-turbine',
  SeaL: 'g-turbine', omega1: 'g-turbine', omega: 'g-turbine', MPL: 'g-turbine',
};
// The README's example design: the form's starting values.
const kExample = { Numb: '3', rhub: '0.15', rtip: '1.5', nbe: '10', pitchinitial: '0',
                   Umid: '5', delta: '2', Ucin: '3', Ucout: '20', h: '10', SeaL: '0',
                   omega1: '150', omega: '300', MPL: '1500' };

function menu(id, label, choices, group, value) {
  const l = el('label');
  l.append(label);
  const s = el('select', { id: 'f-' + id, name: id });
  for (const c of choices) s.append(el('option', { value: c.value }, c.text));
  s.value = value;
  l.append(s, el('span', { class: 'unit' }));
  $(group).append(l);
  return s;
}

function buildForm(rules) {
  const byKey = {};
  for (const f of rules.fields) byKey[f.key] = f;
  const add = (key) => {
    const f = byKey[key];
    const l = el('label', { id: 'row-' + key, title: f.label + ' must be ' + f.rule });
    l.append(f.label + ' (' + key + ')');
    const input = el('input', { id: 'f-' + key, name: key, inputmode: 'decimal',
                                autocomplete: 'off' });
    input.value = kExample[key] ?? '';
    input.addEventListener('input', () => { checkForm(); });
    l.append(input, el('span', { class: 'unit' }, f.unit));
    l.append(el('span', { class: 'msg', id: 'm-' + key }));
    $(kGroups[key]).append(l);
    studio.fields[key] = f;
  };
  for (const key of ['Numb', 'rhub', 'rtip', 'nbe', 'pitchinitial']) add(key);
  menu('aerofoil', 'Aerofoil', rules.aerofoils.map((a) => ({
    value: a.stem, text: a.name + (a.shipped ? '' : ' (imported)') })), 'g-site', 'sg6043');
  add('Umid');
  menu('blade_type', 'Blade type', rules.blade_types.map((b) => ({ value: b.number, text: b.name })),
       'g-blade', '1');
  add('delta');
  menu('material', 'Material', rules.materials.map((m) => ({
    value: m.number, text: m.name + ' (' + m.density + ' kg/m³)' })), 'g-blade', '1');
  menu('type', 'Turbine type', rules.types.map((t) => ({ value: t.number, text: t.name })),
       'g-turbine', '1');
  for (const key of ['Ucin', 'Ucout', 'h', 'SeaL', 'omega1', 'omega', 'MPL']) add(key);
  for (const id of ['f-blade_type', 'f-type']) $(id).addEventListener('change', checkForm);
  checkForm();
}

function askedNow(f) {
  if (f.when === 'hollow') return $('f-blade_type').value === '2';
  if (f.when === 'types') return f.types.includes(Number($('f-type').value));
  return true;
}

// The value of a field as the server reads it, or the line that refuses it.
function judge(f, text, values) {
  const s = text.trim();
  if (s === '') return { why: f.key + ' is missing' };
  if (s.includes(',')) return { why: f.key + ': ' + studio.rules.comma + ' (' + s + ')' };
  if (!/^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$/.test(s)) {
    return { why: f.key + ' must be a number, not "' + s + '"' };
  }
  const x = Number(s);
  let ok = Number.isFinite(x);
  if (f.whole && !Number.isInteger(x)) ok = false;
  if (f.low) ok = ok && (f.low.included ? x >= f.low.value : x > f.low.value);
  if (f.high) ok = ok && (f.high.included ? x <= f.high.value : x < f.high.value);
  if (f.above) {
    if (!(f.above in values)) return { skip: true };
    ok = ok && x > values[f.above];
  }
  return ok ? { value: x } : { why: f.message };
}

function checkForm() {
  const values = {};
  let bad = 0;
  for (const key of Object.keys(studio.fields)) {
    const f = studio.fields[key];
    const input = $('f-' + key);
    const row = $('row-' + key);
    const shown = askedNow(f);
    row.hidden = !shown;
    let why = '';
    if (shown) {
      const r = judge(f, input.value, values);
      if (r.why) why = r.why;
      else if (!r.skip) values[key] = r.value;
    }
    $('m-' + key).textContent = why;
    input.classList.toggle('bad', why !== '');
    input.setAttribute('aria-invalid', why !== '' ? 'true' : 'false');
    if (why) bad += 1;
  }
  $('design').disabled = bad > 0;
  return bad === 0;
}

function formBody() {
  const body = { name: $('f-name').value };
  for (const key of Object.keys(studio.fields)) {
    if (askedNow(studio.fields[key])) body[key] = $('f-' + key).value.trim();
  }
  body.aerofoil = $('f-aerofoil').value;
  for (const key of ['blade_type', 'material', 'type']) body[key] = Number($('f-' + key).value);
  return body;
}

async function submitDesign(event) {
  event.preventDefault();
  $('form-error').textContent = '';
  if (!checkForm()) return;
  studio.times = { design: performance.now() };
  $('design').disabled = true;
  const r = await api('/api/designs', { method: 'POST', headers: { 'Content-Type': 'application/json' },
                                        body: JSON.stringify(formBody()) });
  $('design').disabled = false;
  if (r.status !== 201) {
    $('form-error').textContent = r.body && r.body.error ? r.body.error : 'the studio refused the design (' + r.status + ')';
    for (const x of (r.body && r.body.refusals) || []) {
      if ($('m-' + x.field)) $('m-' + x.field).textContent = x.message;
    }
    return;
  }
  openDesign(r.body.id);
  refreshList();
}

// ---------------------------------------------------------------------------------------------
// One design: progress, then results.

const fileUrl = (id, rel) => '/api/designs/' + id + '/files/' + rel;
const fmt = (v, digits) => (v === null || v === undefined || Number.isNaN(v)) ? '–' : Number(v).toFixed(digits);
const kDone = ['ok', 'failed', 'stopped'];
// The largest STL the page draws (about 200 000 triangles); a finer blade is offered for download.
const kLargestStl = 50e6;

function openDesign(id) {
  studio.current = id;
  clearTimeout(studio.timer);
  $('design-panel').hidden = false;
  $('results').hidden = true;
  $('design-error').textContent = '';
  $('passes').replaceChildren();
  $('chart-power').removeAttribute('src');
  $('chart-cp').removeAttribute('src');
  $('chart-analysis').removeAttribute('src');
  studio.shown = null;
  poll(id);
}

async function poll(id) {
  if (studio.current !== id) return;
  const r = await api('/api/designs/' + id);
  if (r.status !== 200 || studio.current !== id) return;
  const d = r.body;
  showProgress(d);
  if (['loads', 'analysis', 'ok'].includes(d.phase) && studio.shown !== d.phase) showResults(d);
  if (!kDone.includes(d.phase)) {
    studio.timer = setTimeout(() => poll(id), 200);
  } else {
    refreshList();
  }
}

function title(d) {
  return d.id + (d.name ? ' — ' + d.name : '');
}

function showProgress(d) {
  $('design-title').textContent = title(d);
  const p = d.progress || { bar: 0, passes: [], stage: '' };
  const labels = { queued: 'waiting for a free slot', session: 'rotorforge: ' + p.stage,
                   loads: 'loads of the blade', analysis: 'analysis of the blade (CP against tip speed ratio)',
                   ok: 'done', failed: 'failed', stopped: 'stopped' };
  const optimising = p.passes.length;
  const width = ['loads', 'analysis', 'ok'].includes(d.phase) ? 100
      : p.stage === 'starting blade' ? p.bar * 0.3 : 30 + Math.min(optimising, 60);
  $('progress-bar').style.width = width + '%';
  $('progress-text').textContent = labels[d.phase] +
      (optimising ? ' — optimiser: ' + optimising + ' line' + (optimising > 1 ? 's' : '') : '');
  const list = $('passes');
  while (list.children.length < p.passes.length) {
    list.append(el('li', {}, p.passes[list.children.length]));
  }
  list.scrollTop = list.scrollHeight;
  $('design-error').textContent = d.phase === 'failed' || d.phase === 'stopped' ? d.message : '';
}

function figure(dl, label, value) {
  const div = el('div');
  div.append(el('dt', {}, label), el('dd', {}, value));
  dl.append(div);
}

function showResults(d) {
  studio.shown = d.phase;
  $('results').hidden = false;
  const id = d.id;
  const t = d.type || 1;
  const power = $('chart-power');
  power.onload = () => {
    if (studio.times.design !== undefined && studio.times.firstCurve === undefined) {
      studio.times.firstCurve = performance.now();
    }
  };
  if (!power.getAttribute('src')) {
    power.src = fileUrl(id, 'Result/plots/energy' + t + '-power.svg');
    $('chart-cp').src = fileUrl(id, 'Result/plots/energy' + t + '-cp.svg');
  }
  const dl = $('figures');
  dl.replaceChildren();
  figure(dl, 'Mass of one blade', fmt(d.mass, 3) + ' kg');
  figure(dl, 'Volume', fmt(d.volume, 6) + ' m³');
  figure(dl, 'Surface', fmt(d.surface, 4) + ' m²');
  figure(dl, 'Average power', fmt(d.average_power, 1) + ' W');
  figure(dl, 'Yearly energy', fmt(d.annual_energy, 1) + ' kW h');
  figure(dl, 'Highest CP', fmt(d.best_cp, 4));
  const body = $('geometry').tBodies[0];
  body.replaceChildren();
  for (const s of d.stations || []) {
    const tr = el('tr');
    tr.append(el('td', {}, fmt(s[0], 4)), el('td', {}, fmt(s[1], 4)), el('td', {}, fmt(s[2], 4)));
    body.append(tr);
  }
  $('loads').textContent = d.phase !== 'loads' ? (d.loads || 'rotorforge-loads wrote nothing') : 'working…';
  const link = $('loads-link');
  link.replaceChildren();
  if (d.files.includes('Result/loads/index.html')) {
    const a = el('a', { href: fileUrl(id, 'Result/loads/index.html'), target: '_blank' },
                 'the loads page');
    link.append('See ', a, ' for the charts of the loads.');
  }
  showAnalysis(d);
  const ul = $('downloads');
  ul.replaceChildren();
  for (const f of d.files) {
    if (!/^Result\/[^/]+\.(stl|csv|out|dat)$|\.csv$|^blade\.toml$/.test(f)) continue;
    const li = el('li');
    li.append(el('a', { href: fileUrl(id, f) + '?download=1', download: '' }, f));
    ul.append(li);
  }
  if (d.stl_bytes > kLargestStl) {
    if (studio.view) studio.view.stop();
    studio.view = null;
    $('blade-note').textContent = 'The STL (' + (d.stl_bytes / 1e6).toFixed(0) +
        ' MB) is too large to show here; download it below.';
  } else if (d.files.includes('Result/blade.stl')) {
    showBlade(id);
  }
}

// The session's blade analysed by rotorforge-analyse: its CP against tip speed ratio, the best CP
// and the page of the analysis; a failure is one line, the design stays done.
function showAnalysis(d) {
  const p = $('analysis');
  const figureBox = $('analysis-figure');
  const img = $('chart-analysis');
  const a = d.analysis;
  p.replaceChildren();
  if (d.phase !== 'ok' || !a || a.state !== 'ok') {
    figureBox.hidden = true;
    img.removeAttribute('src');
    p.classList.toggle('error', d.phase === 'ok' && !!a && a.state !== 'ok');
    p.textContent = d.phase === 'loads' ? 'after the loads…'
        : d.phase === 'analysis' ? 'working…'
        : !a ? 'Not analysed: rotorforge-analyse is not installed beside the studio.'
        : 'The analysis of the blade failed: ' + a.message;
    return;
  }
  p.classList.remove('error');
  figureBox.hidden = false;
  if (img.getAttribute('src') !== fileUrl(d.id, a.chart)) img.src = fileUrl(d.id, a.chart);
  const link = el('a', { href: fileUrl(d.id, a.page), target: '_blank' }, 'the analysis page');
  p.append('Best CP ' + fmt(a.best_cp, 4) + ' at tip speed ratio ' + fmt(a.tsr, 2) + ' (wind ' +
           fmt(a.wind, 2) + ' m/s; the sweeps above follow the wind). See ', link,
           ' for CT, CQ, power, start-up and the tables.');
}

// ---------------------------------------------------------------------------------------------
// The blade in 3-D: the session's own STL, with three.js when it is installed.

function loadScript(src) {
  return new Promise((resolve, reject) => {
    const s = el('script', { src });
    s.onload = resolve;
    s.onerror = () => reject(new Error('cannot load ' + src));
    document.head.append(s);
  });
}

async function three() {
  if (window.THREE && THREE.OrbitControls && THREE.STLLoader) return true;
  if (!studio.rules.three) return false;
  await loadScript('/lib/three.min.js');
  await loadScript('/lib/OrbitControls.js');
  await loadScript('/lib/STLLoader.js');
  return true;
}

async function showBlade(id) {
  const note = $('blade-note');
  const canvas = $('blade-canvas');
  if (studio.view && studio.view.id === id) return;
  if (!(await three())) {
    note.textContent = 'The 3-D view needs three.js (apt-get install libjs-three); the STL is below.';
    return;
  }
  const r = await fetch(fileUrl(id, 'Result/blade.stl'), { credentials: 'same-origin' });
  const stl = await r.arrayBuffer();
  if (studio.current !== id) return;
  let renderer;
  try {
    renderer = new THREE.WebGLRenderer({ canvas, antialias: true, preserveDrawingBuffer: true });
  } catch (e) {
    note.textContent = 'This browser gives the page no WebGL: the blade cannot be drawn in 3-D.';
    return;
  }
  if (studio.view) studio.view.stop();
  const geometry = new THREE.STLLoader().parse(stl);
  geometry.computeBoundingBox();
  const centre = new THREE.Vector3();
  geometry.boundingBox.getCenter(centre);
  geometry.translate(-centre.x, -centre.y, -centre.z);
  // The STL runs along Z from hub to tip (mm): turned so that the span lies across the view
  // and the wider of the sections' two directions upright, the blade seen on its face.
  const raw = new THREE.Vector3();
  geometry.boundingBox.getSize(raw);
  if (raw.x > raw.y) geometry.rotateZ(Math.PI / 2);
  geometry.rotateY(Math.PI / 2);
  geometry.computeBoundingBox();
  geometry.computeVertexNormals();
  const size = new THREE.Vector3();
  geometry.boundingBox.getSize(size);
  const length = Math.max(size.x, size.y, size.z);
  const scene = new THREE.Scene();
  scene.background = new THREE.Color(0xfbfbfb);
  const material = new THREE.MeshStandardMaterial({ color: 0x4a7fb0, metalness: 0.1, roughness: 0.6,
                                                     side: THREE.DoubleSide });
  scene.add(new THREE.Mesh(geometry, material));
  scene.add(new THREE.AmbientLight(0xffffff, 0.5));
  const light = new THREE.DirectionalLight(0xffffff, 0.8);
  light.position.set(0.3, 0.6, 1);
  scene.add(light);
  const w = canvas.clientWidth || canvas.width;
  const h = canvas.clientHeight || canvas.height;
  renderer.setSize(w, h, false);
  const fov = 35;
  const camera = new THREE.PerspectiveCamera(fov, w / h, length / 1000, length * 20);
  // Far enough that the whole span fits the width with a margin, a little from below.
  const halfWidth = Math.atan(Math.tan((fov * Math.PI) / 360) * (w / h));
  const distance = (0.56 * size.x) / Math.tan(halfWidth) + size.z / 2;
  camera.position.set(0, -0.25 * distance, distance);
  camera.lookAt(0, 0, 0);
  const controls = new THREE.OrbitControls(camera, canvas);
  let running = true;
  const draw = () => {
    if (!running) return;
    controls.update();
    renderer.render(scene, camera);
    requestAnimationFrame(draw);
  };
  draw();
  studio.view = { id, stop: () => { running = false; controls.dispose(); }, renderer };
  note.textContent = 'Result/blade.stl: ' + (geometry.attributes.position.count / 3) +
      ' triangles, ' + fmt(length / 1000, 3) + ' m long.';
}

// ---------------------------------------------------------------------------------------------
// The list of designs and their comparison.

function aerofoilName(stem) {
  const a = (studio.rules.aerofoils || []).find((x) => x.stem === stem);
  return a ? a.name : stem;
}

async function refreshList() {
  const r = await api('/api/designs');
  if (r.status !== 200) return;
  studio.designs = r.body;
  const body = $('designs').tBodies[0];
  const checked = new Set([...body.querySelectorAll('input:checked')].map((c) => c.value));
  body.replaceChildren();
  for (const d of r.body) {
    const tr = el('tr', { 'data-id': d.id });
    const box = el('input', { type: 'checkbox', value: d.id, 'aria-label': 'compare ' + d.id });
    box.checked = checked.has(d.id);
    box.disabled = d.phase !== 'ok';
    box.addEventListener('change', updateCompare);
    const cell = el('td');
    cell.append(box);
    const open = el('button', { type: 'button' }, 'Open');
    open.addEventListener('click', () => openDesign(d.id));
    const openCell = el('td');
    openCell.append(open);
    const f = d.form || {};
    tr.append(cell, el('td', { class: 'text' }, title(d)),
              el('td', { class: 'text' + (d.phase === 'failed' ? ' failed' : ''),
                         title: d.message || '' }, d.phase === 'failed' ? 'failed: ' + d.message : d.phase),
              el('td', {}, f.Numb ?? ''), el('td', {}, f.rtip ?? ''),
              el('td', { class: 'text' }, aerofoilName(f.aerofoil)),
              el('td', {}, fmt(d.mass, 3)), el('td', {}, fmt(d.average_power, 1)),
              el('td', {}, fmt(d.annual_energy, 1)), el('td', {}, fmt(d.best_cp, 4)), openCell);
    body.append(tr);
  }
  updateCompare();
  // One chain of refreshes at a time, while any design is still running.
  clearTimeout(studio.listTimer);
  if (r.body.some((d) => !kDone.includes(d.phase))) studio.listTimer = setTimeout(refreshList, 1000);
}

function updateCompare() {
  const n = $('designs').tBodies[0].querySelectorAll('input:checked').length;
  $('compare').disabled = n < 2;
}

const kColours = ['#1f77b4', '#d62728', '#2ca02c', '#9467bd', '#ff7f0e', '#8c564b', '#17becf'];
const svgNS = 'http://www.w3.org/2000/svg';

function svgEl(tag, attrs) {
  const e = document.createElementNS(svgNS, tag);
  for (const [k, v] of Object.entries(attrs)) e.setAttribute(k, v);
  return e;
}

// A chart of several series [{name, points: [[x, y]...]}], axes from 0.
function chart(series, xLabel, yLabel, fill) {
  const W = 520, H = 300, L = 60, R = 12, T = 12, B = 42;
  let xMax = 0, yMax = 0;
  for (const s of series) for (const [x, y] of s.points) { xMax = Math.max(xMax, x); yMax = Math.max(yMax, y); }
  xMax = xMax || 1; yMax = yMax || 1;
  const px = (x) => L + (x / xMax) * (W - L - R);
  const py = (y) => H - B - (y / yMax) * (H - T - B);
  const svg = svgEl('svg', { viewBox: `0 0 ${W} ${H}`, role: 'img' });
  svg.append(svgEl('rect', { x: L, y: T, width: W - L - R, height: H - T - B, fill: 'none', stroke: '#999' }));
  for (let i = 0; i <= 4; i++) {
    const tx = svgEl('text', { x: px(xMax * i / 4), y: H - B + 14, 'font-size': 10, 'text-anchor': 'middle' });
    tx.textContent = (xMax * i / 4).toPrecision(3);
    const ty = svgEl('text', { x: L - 4, y: py(yMax * i / 4) + 3, 'font-size': 10, 'text-anchor': 'end' });
    ty.textContent = (yMax * i / 4).toPrecision(3);
    svg.append(tx, ty);
  }
  const xl = svgEl('text', { x: (L + W - R) / 2, y: H - 8, 'font-size': 11, 'text-anchor': 'middle' });
  xl.textContent = xLabel;
  const yl = svgEl('text', { x: 12, y: (T + H - B) / 2, 'font-size': 11, 'text-anchor': 'middle',
                             transform: `rotate(-90 12 ${(T + H - B) / 2})` });
  yl.textContent = yLabel;
  svg.append(xl, yl);
  series.forEach((s, i) => {
    const c = kColours[i % kColours.length];
    const d = s.points.map(([x, y], k) => (k ? 'L' : 'M') + px(x).toFixed(1) + ' ' + py(y).toFixed(1)).join(' ');
    svg.append(svgEl('path', { d: fill ? d + ` L${px(s.points[s.points.length - 1][0])} ${py(0)} L${px(s.points[0][0])} ${py(0)} Z` : d,
                               fill: fill ? c : 'none', 'fill-opacity': fill ? 0.12 : 0,
                               stroke: c, 'stroke-width': 1.8, class: 'series' }));
    const lg = svgEl('text', { x: L + 8, y: T + 14 + i * 13, 'font-size': 11, fill: c });
    lg.textContent = s.name;
    svg.append(lg);
  });
  return svg;
}

async function compare() {
  const ids = [...$('designs').tBodies[0].querySelectorAll('input:checked')].map((c) => c.value);
  const ds = [];
  for (const id of ids) {
    const r = await api('/api/designs/' + id);
    if (r.status === 200) ds.push(r.body);
  }
  const power = ds.map((d) => ({ name: title(d),
                                 points: (d.energy[0] ? d.energy[0].rows : []).map((r) => [r[0], r[3]]) }));
  const plan = ds.map((d) => ({ name: title(d), points: (d.stations || []).map((s) => [s[0], s[1]]) }));
  $('compare-power').replaceChildren(chart(power, 'wind speed (m/s)', 'power (W)', false));
  $('compare-plan').replaceChildren(chart(plan, 'radius (m)', 'chord (m)', true));
  // The table of differences: every answer and key figure, rows that differ marked.
  const rows = [['Name', (d) => d.name || '']];
  for (const f of studio.rules.fields) rows.push([f.label + (f.unit ? ' (' + f.unit + ')' : ''), (d) => d.form[f.key] ?? '']);
  rows.push(['Aerofoil', (d) => aerofoilName(d.form.aerofoil)],
            ['Blade type', (d) => (studio.rules.blade_types.find((b) => b.number == d.form.blade_type) || {}).name],
            ['Material', (d) => (studio.rules.materials.find((m) => m.number == d.form.material) || {}).name],
            ['Turbine type', (d) => (studio.rules.types.find((t) => t.number == d.form.type) || {}).name],
            ['Mass (kg)', (d) => fmt(d.mass, 6)], ['Volume (m³)', (d) => fmt(d.volume, 6)],
            ['Average power (W)', (d) => fmt(d.average_power, 2)],
            ['Yearly energy (kW h)', (d) => fmt(d.annual_energy, 2)], ['Highest CP', (d) => fmt(d.best_cp, 4)]);
  const table = $('differences');
  table.replaceChildren();
  const head = el('tr');
  head.append(el('th', { class: 'text' }, ''));
  for (const d of ds) head.append(el('th', {}, title(d)));
  table.append(head);
  for (const [label, get] of rows) {
    const values = ds.map((d) => String(get(d) ?? ''));
    if (values.every((v) => v === '')) continue;
    const tr = el('tr', { class: new Set(values).size > 1 ? 'differs' : '' });
    tr.append(el('td', { class: 'text' }, label));
    for (const v of values) tr.append(el('td', {}, v));
    table.append(tr);
  }
  $('compare-panel').hidden = false;
}

async function start() {
  const r = await api('/api/rules');
  if (r.status !== 200) {
    document.body.textContent = 'The studio refused the page: open the address rotorforge-studio printed.';
    return;
  }
  studio.rules = r.body;
  buildForm(r.body);
  $('design-form').addEventListener('submit', submitDesign);
  $('compare').addEventListener('click', compare);
  await refreshList();
}

start();
