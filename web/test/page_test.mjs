// Drives the built page in Debian's headless Chromium as a user would: gives it several files
// at once and compares every download with the native program's output for the same input.
// Once from a server on 127.0.0.1 (files chosen with the keyboard), once from file:// (dropped).
//
// usage: node page_test.mjs SITE_DIR NATIVE_PROGRAM OUT_DIR
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';
import { fileURLToPath, pathToFileURL } from 'node:url';
import puppeteer from 'puppeteer-core';

const [site, native, out] = process.argv.slice(2).map((p) => path.resolve(p));
const here = path.dirname(fileURLToPath(import.meta.url));
// A zone whose offset is not whole hours, so a stamp in UTC or any other zone shows.
const zone = 'Asia/Kathmandu';
process.env.TZ = zone;

// One Intel HEX record with its checksum, CR LF ended; `count` data records of `size` bytes.
function record(type, address, data) {
  const bytes = [data.length, address >> 8, address & 0xff, type, ...data];
  bytes.push(-bytes.reduce((a, b) => a + b, 0) & 0xff);
  return `:${bytes.map((b) => b.toString(16).toUpperCase().padStart(2, '0')).join('')}\r\n`;
}
const records = (count, size) => Array.from({ length: count }, (_, i) =>
  record(0, (i * size) & 0xffff, Array.from({ length: size }, (_, j) => (i * 11 + j * 37) & 0xff)));

// The inputs, in the order they are given to the page: real Intel HEX, awkward text (LF and
// lone CR, blank, short and long lines, bytes 0x80-0xFF and 0, text after Ctrl-Z), an empty
// file, one too large, assembly source whose output name is taken already, a file named as its
// output, and a name that would reorder the line; with the notes each entry should carry.
const example = (name) => fs.readFileSync(path.join(here, '../../examples', name));
const inputs = [
  { name: 'hello.hex', data: fs.readFileSync(path.join(here, '../../examples/hello.hex')) },
  { name: 'ünï.hex', data: [record(4, 0, [0, 1]), ...records(60, 32), record(1, 0, [])].join(''),
    notes: ['warning'] },
  {
    name: 'my prog.ihex',
    data: Buffer.concat([Buffer.from(`:0300000001020F\n\n\nshort\r\n:04000000AB\rCD\rEF00\r\n` +
      `:20000000${'5A'.repeat(75)}\r\n:03000000`), Buffer.from([0x80, 0xff, 0, 0x41, 0x42, 0x0d,
      0x0a]), Buffer.from(':00000001FF\r\n\x1a:10000000AFTER CTRL-Z\r\n')]),
    notes: ['warning'],
  },
  { name: 'empty.hex', data: '', notes: ['warning'] },
  { name: '\u0643\u0628\u064a\u0631.hex', data: records(2100, 16).join('') },
  { name: 'hello.asm', data: example('hello.asm'), notes: ['warning', 'duplicate'] },
  { name: 'hello.86p', data: example('hello.hex') },
  { name: 'prog\u202eexe.hex', data: example('hello.hex') },
];

// What the native program makes of each input: its output file, or the last line it writes.
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'tarnwick-web-'));
const given = path.join(work, 'given');
let version;
fs.mkdirSync(given);
for (const input of inputs) {
  input.data = Buffer.from(input.data);
  fs.writeFileSync(path.join(given, input.name), input.data);
  const dir = fs.mkdtempSync(path.join(work, 'native-'));
  fs.writeFileSync(path.join(dir, input.name), input.data);
  const said = execFileSync(native, [input.name], { cwd: dir, encoding: 'utf8' }).trim();
  input.outputName = fs.readdirSync(dir).find((f) => f.endsWith('.86p') && f !== input.name);
  if (input.outputName) input.expected = fs.readFileSync(path.join(dir, input.outputName));
  else input.message = said.split('\n').at(-1);
  version = /^- Tarnwick \((.*)\) -$/.exec(said.split('\n')[0])[1];
}
assert.equal(inputs.filter((i) => i.message).length, 2, 'the native program refuses two');

// Logs `line` with its overrides shown as escapes, so that they reorder no terminal's line.
const log = (line) => console.log(line.replace(/\u202e/g, '\\u202e'));

// Checks that `stamp` reads "Www Mmm DD hh:mm:ss YYYY" and is the local time of about now.
function check_stamp(stamp, what) {
  const m = /^(\w{3}) (\w{3}) (\d\d) (\d\d):(\d\d):(\d\d) (\d{4})$/.exec(stamp);
  assert.ok(m, `${what}: time text "${stamp}"`);
  const time = new Date(`${m[2]} ${m[3]} ${m[7]} ${m[4]}:${m[5]}:${m[6]}`);
  assert.equal(time.toString().slice(0, 3), m[1], `${what}: weekday of "${stamp}"`);
  assert.ok(Math.abs(time - Date.now()) < 5 * 60 * 1000, `${what}: "${stamp}" is not local now`);
}

// Loads `url` and gives it every input at once: through the file input's chooser, opened with
// the keyboard, or by dropping them on the drop zone. Checks each entry of the list.
async function round(browser, url, keyboard, width) {
  const page = await browser.newPage();
  await page.emulateTimezone(zone);
  await page.setViewport({ width, height: 740 });
  const requests = [];
  const errors = [];
  page.on('request', (r) => requests.push(r.url()));
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(url, { waitUntil: 'load' });
  if (keyboard) {
    await page.keyboard.press('Tab');
    const focus = await page.evaluate(() =>
      [document.activeElement.id, getComputedStyle(document.getElementById('drop')).outlineStyle]);
    assert.deepEqual(focus, ['files', 'solid'], 'Tab reaches the file input, shown on its zone');
    const chosen = page.waitForFileChooser();
    await page.evaluate(() => 0);  // a round trip, so that the chooser is ours before the key
    await page.keyboard.press('Space');
    await (await chosen).accept(inputs.map((i) => path.join(given, i.name)));
  } else {
    // The whole zone is one control: a click in its corner opens the chooser too.
    const box = await (await page.$('#drop')).boundingBox();
    const chosen = page.waitForFileChooser({ timeout: 5000 });
    await page.evaluate(() => 0);
    await page.mouse.click(box.x + 4, box.y + box.height - 4);
    await (await chosen).cancel();
    await page.$eval('#drop', (zone, files) => {
      const dropped = new DataTransfer();
      for (const f of files) dropped.items.add(new File([new Uint8Array(f.data)], f.name));
      zone.dispatchEvent(new DragEvent('drop', { dataTransfer: dropped, bubbles: true }));
    }, inputs.map((i) => ({ name: i.name, data: [...i.data] })));
  }
  await page.waitForFunction((n) => [...document.querySelectorAll('#results li')]
    .filter((li) => li.querySelector('a, .message')).length === n, {}, inputs.length);

  const entries = await page.$$eval('#results li', (items) => Promise.all(items.map(async (li) => {
    const link = li.querySelector('a');
    const data = link && new Uint8Array(await (await fetch(link.href)).arrayBuffer());
    return { text: li.textContent, message: li.querySelector('.message')?.textContent,
      download: link?.getAttribute('download'), data: data && [...data],
      calculator: li.querySelector('.calculator bdi')?.textContent,
      notes: ['warning', 'duplicate'].filter((note) => li.querySelector(`.${note}`)) };
  })));
  for (const [i, input] of inputs.entries()) {
    const what = `${url.slice(0, 4)} ${input.name}`;
    const { text, message, download, data, calculator, notes } = entries[i];
    assert.ok(text.startsWith(input.name), `${what}: listed in order`);
    assert.deepEqual([message, download, notes], [input.message, input.outputName,
      input.notes ?? []], what);
    if (message) {
      log(`ok ${what}: ${message}`);
      continue;
    }
    const got = Buffer.from(data);
    assert.equal(got.length, input.expected.length, `${what}: size`);
    for (const [from, to] of [[0, 11], [35, got.length]]) {
      assert.deepEqual(got.subarray(from, to), input.expected.subarray(from, to), what);
    }
    check_stamp(got.subarray(11, 35).toString('latin1'), what);
    assert.equal(calculator, got.subarray(61, 69).toString().replace(/\0+$/, ''), what);
    log(`ok ${what} -> ${download}, ${got.length} bytes, on the calculator ${calculator} ${notes}`);
  }
  // No right-to-left letter or override outside a <bdi>; the batch told; the newest in view.
  const shown = await page.evaluate(() => {
    const text = (selector) => document.querySelector(selector).textContent;
    const loose = [...document.querySelectorAll('#results :not(bdi)')]
      .flatMap((e) => [...e.childNodes]).filter((n) => n.nodeType === Node.TEXT_NODE &&
        /[\u0590-\u08ff\u202a-\u202e]/.test(n.data));
    const last = document.querySelector('#results li:last-child').getBoundingClientRect();
    return [loose.length, text('#status'), text('#version'), last.top >= 0 &&
      last.bottom <= innerHeight];
  });
  assert.deepEqual(shown, [0, '6 converted (4 with a warning), 2 refused.', version, true],
    'isolated names, status line, version, newest entry');
  assert.deepEqual(errors, [], 'no script errors');
  const own = [new URL(url).origin + '/', 'file:', 'data:', 'blob:'];
  const foreign = requests.filter((r) => !own.some((start) => r.startsWith(start)));
  assert.deepEqual(foreign, [], 'nothing fetched from elsewhere');
  return page;
}

const server = spawn(process.execPath, [path.join(here, 'serve.mjs'), site],
  { stdio: ['ignore', 'pipe', 'inherit'] });
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  userDataDir: fs.mkdtempSync(path.join(work, 'profile-')),
  args: [...(process.getuid() === 0 ? ['--no-sandbox'] : []), '--disable-gpu', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
let status = 0;
try {
  const address = await new Promise((resolve) =>
    readline.createInterface({ input: server.stdout }).once('line', resolve));
  const desktop = await round(browser, address, true, 1024);
  await desktop.screenshot({ path: path.join(out, 'page-desktop.png'), fullPage: true });
  const file = pathToFileURL(path.join(site, 'index.html')).href;
  const page = await round(browser, file, false, 360);
  const width = await page.evaluate(() => document.documentElement.scrollWidth);
  assert.ok(width <= 360, `fits 360 px: ${width} px wide`);
  await page.screenshot({ path: path.join(out, 'page-360.png'), fullPage: true });
  // Clear empties the list and releases its downloads.
  const href = await page.$eval('#results a', (a) => a.href);
  await page.click('#clear');
  const cleared = await page.evaluate((h) => fetch(h).then(() => 'held', () => 'released')
    .then((held) => [document.querySelectorAll('#results li').length, held]), href);
  assert.deepEqual(cleared, [0, 'released'], 'Clear');
  // Without WebAssembly or JavaScript one line says so, and no chooser that does nothing shows.
  for (const [needs, setup] of [
    ['WebAssembly', (p) => p.evaluateOnNewDocument('delete WebAssembly')],
    ['JavaScript', (p) => p.setJavaScriptEnabled(false)]]) {
    const bare = await browser.newPage();
    await setup(bare);
    await bare.goto(file);
    const shown = await bare.evaluate((n) => [document.body.innerText.split('\n')
      .filter((line) => line.includes(n)).length, document.getElementById('drop').offsetHeight],
    needs);
    assert.deepEqual(shown, [1, 0], `without ${needs}`);
    console.log(`ok without ${needs}: one line says so`);
  }
  console.log(`page test passed; screenshots in ${out}`);
} catch (error) {
  console.error(error);
  status = 1;
} finally {
  process.kill(server.pid);
  await browser.close();
  fs.rmSync(work, { recursive: true, force: true });
}
process.exit(status);
