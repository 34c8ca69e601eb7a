// Loads pages in headless Chromium at a window 1280 px wide and reports, as one JSON line per
// page: script errors, how wide the page is (it must fit the window), every link once the page's
// scripts have run, and whether its target exists.
//
//   node check_links.mjs CHROMIUM PROFILE_DIR PAGE.html...
import { existsSync } from 'node:fs';
import { fileURLToPath } from 'node:url';
import { devtools } from './devtools.mjs';
import { pathToFileURL } from 'node:url';

const [chromium, profile, ...pages] = process.argv.slice(2);
const { send, value, openPage, reportEach } = devtools(chromium, profile);

async function check(page) {
  const { targetId, sessionId, errors } = await openPage(pathToFileURL(page).href, 1280);
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

await reportEach(pages, check);
