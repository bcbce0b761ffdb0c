// Drives the built page in Debian's headless Chromium, as a user would: gives it several files
// at once, downloads what it offers and compares every byte with the native program's output
// for the same input. Once from a server on 127.0.0.1, once from file://.
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
const repo = path.resolve(here, '../..');
// A zone whose offset is not whole hours, so a stamp in UTC or any other zone shows.
const zone = 'Asia/Kathmandu';
process.env.TZ = zone;

// One Intel HEX record with its checksum, CR LF ended.
function record(type, address, data) {
  const bytes = [data.length, address >> 8, address & 0xff, type, ...data];
  bytes.push(-bytes.reduce((a, b) => a + b, 0) & 0xff);
  return `:${bytes.map((b) => b.toString(16).toUpperCase().padStart(2, '0')).join('')}\r\n`;
}
const bytes = (n, seed) => Array.from({ length: n }, (_, i) => (i * 37 + seed * 11) & 0xff);
const records = (count, size) =>
  Array.from({ length: count }, (_, i) => record(0, (i * size) & 0xffff, bytes(size, i))).join('');

// The inputs, in the order they are given to the page; `refused` ones get a message, no file.
const inputs = [
  { name: 'hello.hex', data: fs.readFileSync(path.join(repo, 'examples/hello.hex')) },
  {
    name: 'ünï.hex',
    data: Buffer.from(record(4, 0, [0, 1]) + records(60, 32) + record(5, 0, [0, 1, 0xd7, 0x48]) +
      record(1, 0, [])),
  },
  {
    name: 'my prog.ihex',
    data: Buffer.concat([
      Buffer.from(':0300000001020F\n\n\nshort\r\n:04000000AB\rCD\rEF00\r\n'),
      Buffer.from(`:20000000${'5A'.repeat(75)}\r\n`),
      Buffer.from([0x3a, 0x30, 0x33, 0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x80, 0xff, 0x00, 0x41,
        0x42, 0x43, 0x0d, 0x0a]),
      Buffer.from(':00000001FF\r\n\x1a:10000000AFTER CTRL-Z\r\n'),
    ]),
  },
  { name: 'empty.hex', data: Buffer.alloc(0) },
  { name: 'big.hex', data: Buffer.from(records(2100, 16) + record(1, 0, [])), refused: true },
];

// The native program's output file (or, for a refused input, its last line) for each input.
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'tarnwick-web-'));
const given = path.join(work, 'given');
fs.mkdirSync(given);
for (const input of inputs) {
  fs.writeFileSync(path.join(given, input.name), input.data);
  const dir = fs.mkdtempSync(path.join(work, 'native-'));
  fs.writeFileSync(path.join(dir, input.name), input.data);
  const lines = execFileSync(native, [input.name], { cwd: dir, encoding: 'utf8' }).trim().split('\n');
  const made = fs.readdirSync(dir).filter((f) => f.endsWith('.86p'));
  if (input.refused) {
    assert.deepEqual(made, [], `${input.name}: the native program refuses it`);
    input.message = lines.at(-1);
  } else {
    assert.equal(made.length, 1, `${input.name}: the native program writes one file`);
    input.outputName = made[0];
    input.expected = fs.readFileSync(path.join(dir, made[0]));
  }
}

const days = ['Sun', 'Mon', 'Tue', 'Wed', 'Thu', 'Fri', 'Sat'];
const months = ['Jan', 'Feb', 'Mar', 'Apr', 'May', 'Jun', 'Jul', 'Aug', 'Sep', 'Oct', 'Nov', 'Dec'];

// Checks that `stamp` reads "Www Mmm DD hh:mm:ss YYYY" and is the local time of about now.
function check_stamp(stamp, what) {
  const m = /^(\w{3}) (\w{3}) (\d\d) (\d\d):(\d\d):(\d\d) (\d{4})$/.exec(stamp);
  assert.ok(m, `${what}: time text "${stamp}"`);
  const time = new Date(+m[7], months.indexOf(m[2]), +m[3], +m[4], +m[5], +m[6]);
  assert.equal(days[time.getDay()], m[1], `${what}: weekday of "${stamp}"`);
  assert.ok(Math.abs(time - Date.now()) < 5 * 60 * 1000, `${what}: "${stamp}" is not local now`);
}

const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  userDataDir: fs.mkdtempSync(path.join(work, 'profile-')),
  args: [
    ...(process.getuid() === 0 ? ['--no-sandbox'] : []),
    '--disable-gpu', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync',
  ],
});
const server = spawn(process.execPath, [path.join(here, 'serve.mjs'), site],
  { stdio: ['ignore', 'pipe', 'inherit'] });

// Downloads are saved under their id; the file name the page gave goes with the event.
const downloads = path.join(work, 'downloads');
const cdp = await browser.target().createCDPSession();
await cdp.send('Browser.setDownloadBehavior',
  { behavior: 'allowAndName', downloadPath: downloads, eventsEnabled: true });
const named = new Map();
cdp.on('Browser.downloadWillBegin', (e) => named.set(e.guid, e.suggestedFilename));
function next_download() {
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('no download within 20 s')), 20000);
    const done = (e) => {
      if (e.state === 'inProgress') return;
      cdp.off('Browser.downloadProgress', done);
      clearTimeout(timer);
      if (e.state !== 'completed') reject(new Error(`download ${e.state}`));
      else resolve({ name: named.get(e.guid), data: fs.readFileSync(path.join(downloads, e.guid)) });
    };
    cdp.on('Browser.downloadProgress', done);
  });
}

// Loads `url` and gives it every input at once: with the keyboard through the file input's
// chooser, or by dropping them on the drop zone. Then checks each entry of the list against
// the native program, downloading with the keyboard or the mouse.
async function round(url, keyboard) {
  const page = await browser.newPage();
  await page.emulateTimezone(zone);
  await page.setViewport({ width: 1024, height: 900 });
  const requests = [];
  const errors = [];
  page.on('request', (r) => requests.push(r.url()));
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(url, { waitUntil: 'load' });

  if (keyboard) {
    await page.keyboard.press('Tab');
    const focus = await page.evaluate(() => ({
      id: document.activeElement.id,
      outline: getComputedStyle(document.activeElement).outlineStyle,
    }));
    assert.deepEqual(focus, { id: 'files', outline: 'solid' }, 'Tab reaches the file input, visibly');
    const chosen = page.waitForFileChooser();
    // A round trip to the page, so that Chromium hands the chooser over before the key.
    await page.evaluate(() => 0);
    await page.keyboard.press('Space');
    const chooser = await chosen;
    assert.ok(chooser.isMultiple(), 'the chooser takes several files');
    await chooser.accept(inputs.map((i) => path.join(given, i.name)));
  } else {
    await page.$eval('#drop', (zone, files) => {
      const dropped = new DataTransfer();
      for (const f of files) dropped.items.add(new File([new Uint8Array(f.data)], f.name));
      zone.dispatchEvent(new DragEvent('drop', { dataTransfer: dropped, bubbles: true }));
    }, inputs.map((i) => ({ name: i.name, data: [...i.data] })));
  }
  await page.waitForFunction((n) => {
    const items = document.querySelectorAll('#results li');
    return items.length === n && [...items].every((li) => li.querySelector('a, .message'));
  }, { timeout: 20000 }, inputs.length);

  const items = await page.$$('#results li');
  for (const [i, input] of inputs.entries()) {
    const what = `${url.slice(0, 4)} ${input.name}`;
    const entry = await items[i].evaluate((li) => ({
      text: li.textContent,
      message: li.querySelector('.message')?.textContent,
      download: li.querySelector('a')?.getAttribute('download'),
    }));
    assert.ok(entry.text.startsWith(input.name), `${what}: listed in order`);
    if (input.refused) {
      assert.deepEqual([entry.message, entry.download], [input.message, undefined], what);
      continue;
    }
    assert.equal(entry.message, undefined, `${what}: converted`);
    assert.equal(entry.download, input.outputName, `${what}: output name`);
    const link = await items[i].$('a');
    const saved = next_download();
    if (keyboard) {
      await link.focus();
      await page.keyboard.press('Enter');
    } else {
      await link.click();
    }
    const { name, data } = await saved;
    assert.equal(name, input.outputName, `${what}: saved name`);
    assert.equal(data.length, input.expected.length, `${what}: size`);
    assert.deepEqual(data.subarray(0, 11), input.expected.subarray(0, 11), `${what}: bytes 0-10`);
    assert.deepEqual(data.subarray(35), input.expected.subarray(35), `${what}: bytes from 35`);
    check_stamp(data.subarray(11, 35).toString('latin1'), what);
    console.log(`ok ${what} -> ${name}, ${data.length} bytes`);
  }

  assert.deepEqual(errors, [], 'no script errors');
  const origin = new URL(url).origin;
  const foreign = requests.filter((r) => !(r.startsWith(`${origin}/`) || r.startsWith('file:') ||
    r.startsWith('data:') || r.startsWith('blob:')));
  assert.deepEqual(foreign, [], 'nothing fetched from elsewhere');
  return page;
}

let status = 0;
try {
  const address = await new Promise((resolve) =>
    readline.createInterface({ input: server.stdout }).once('line', resolve));
  const page = await round(address, true);
  await page.screenshot({ path: path.join(out, 'page-desktop.png'), fullPage: true });
  await page.setViewport({ width: 360, height: 740 });
  const width = await page.evaluate(() => document.documentElement.scrollWidth);
  assert.ok(width <= 360, `fits 360 px: ${width} px wide`);
  await page.screenshot({ path: path.join(out, 'page-360.png'), fullPage: true });
  await round(pathToFileURL(path.join(site, 'index.html')).href, false);
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
