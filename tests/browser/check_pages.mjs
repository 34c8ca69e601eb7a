// Loads pages in headless Chromium over the DevTools protocol (a pipe, no network, no packages)
// and reports, as one JSON line per page: script errors, images that did not draw, and - for a
// page with a sortable table - whether a real click on a heading sorted it.
//
//   node check_pages.mjs CHROMIUM PROFILE_DIR PAGE.html...
import { devtools } from './devtools.mjs';
import { pathToFileURL } from 'node:url';

const [chromium, profile, ...pages] = process.argv.slice(2);
const { send, value, openPage, reportEach } = devtools(chromium, profile);

async function check(page) {
  const { targetId, sessionId, errors } = await openPage(pathToFileURL(page).href);
  const images = await value(`Array.from(document.images).map((i) =>
      ({ src: i.getAttribute('src'), drawn: i.complete && i.naturalWidth > 0 }))`, sessionId);
  const result = { page, errors, images: images.length,
                   undrawn: images.filter((i) => !i.drawn).map((i) => i.src) };
  const table = await value(`(() => {
      const th = document.querySelector('table#designs thead th[data-number="1"]:not(:first-child)');
      if (!th) return null;
      th.scrollIntoView();
      const r = th.getBoundingClientRect();
      return { x: r.left + r.width / 2, y: r.top + r.height / 2,
               col: Array.prototype.indexOf.call(th.parentNode.children, th) };
    })()`, sessionId);
  if (table) {
    const column = `Array.from(document.querySelectorAll('#designs tbody tr')).map((r) =>
        r.cells[${table.col}].textContent)`;
    const click = async () => {
      for (const type of ['mousePressed', 'mouseReleased']) {
        await send('Input.dispatchMouseEvent',
                   { type, x: table.x, y: table.y, button: 'left', clickCount: 1 }, sessionId);
      }
      return value(column, sessionId);
    };
    const order = (cells, sign) => {
      const v = cells.map((t) => (t === '' ? -Infinity : parseFloat(t)));
      return v.every((x, i) => i === 0 || sign * (x - v[i - 1]) >= 0);
    };
    const before = await value(column, sessionId);
    const first = await click();   // ascending
    const second = await click();  // then descending
    const distinct = new Set(before).size;
    result.sort = {
      rows: before.length,
      distinct,
      ascending: order(first, 1),
      descending: order(second, -1),
      same_cells: JSON.stringify([...before].sort()) === JSON.stringify([...second].sort()),
    };
  }
  await send('Target.closeTarget', { targetId });
  return result;
}

await reportEach(pages, check);
