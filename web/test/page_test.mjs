// Drives the built page in one browser engine as a user would: gives it several files at once
// and compares every download with the native program's output for the same input. Chromium
// (Debian's, over the DevTools protocol) and Firefox (Debian's ESR, over WebDriver BiDi) are
// driven by puppeteer; WebKit (WebKitGTK's MiniBrowser) by WebKitWebDriver, under an X server
// the caller starts. Twice: at 1280x800, files chosen with the keyboard (Chromium from a server
// on 127.0.0.1, Firefox from file://) or through the file input (WebKit, from file://); at
// 390x844 from file://, dropped. Saves a screenshot of each batch as OUT_DIR/page-ENGINE-WxH.png.
//
// usage: node page_test.mjs chromium|firefox|webkit SITE_DIR NATIVE_PROGRAM OUT_DIR
import assert from 'node:assert/strict';
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';
import { fileURLToPath, pathToFileURL } from 'node:url';
import puppeteer from 'puppeteer-core';

const engine = process.argv[2];
const [site, native, out] = process.argv.slice(3).map((p) => path.resolve(p));
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
// file whose output name is taken already, one too large, assembly source, a file named as its
// output (the last three refused), and a name that would reorder the line; with the notes each
// entry should carry.
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
  { name: 'hello.ihx', data: '', notes: ['warning', 'duplicate'] },
  { name: '\u0643\u0628\u064a\u0631.hex', data: records(2100, 16).join('') },
  { name: 'hello.asm', data: example('hello.asm') },
  { name: 'hello.86p', data: example('hello.hex') },
  { name: 'prog\u202eexe.hex', data: example('hello.hex') },
];

// What the native program makes of each input: its output file, or the last line it writes
// and the reason it gives on the error stream.
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'tarnwick-web-'));
const given = path.join(work, 'given');
let version;
fs.mkdirSync(given);
for (const input of inputs) {
  input.data = Buffer.from(input.data);
  fs.writeFileSync(path.join(given, input.name), input.data);
  const dir = fs.mkdtempSync(path.join(work, 'native-'));
  fs.writeFileSync(path.join(dir, input.name), input.data);
  const run = spawnSync(native, [input.name], { cwd: dir, encoding: 'utf8' });
  const said = run.stdout.trim();
  input.outputName = fs.readdirSync(dir).find((f) => f.endsWith('.86p') && f !== input.name);
  if (input.outputName) input.expected = fs.readFileSync(path.join(dir, input.outputName));
  else [input.message, input.reason] = [said.split('\n').at(-1),
    run.stderr.trim().slice(`tarnwick: ${input.name}: `.length)];
  version = /^- Tarnwick \((.*)\) -$/.exec(said.split('\n')[0])[1];
}
assert.equal(inputs.filter((i) => i.message).length, 3, 'the native program refuses three');

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

// A page in a puppeteer-driven browser: what the round below asks of any engine.
async function puppeteer_page(browser, url, { width, height, touch }) {
  const page = await browser.newPage();
  await page.emulateTimezone(zone);
  await page.setViewport({ width, height, hasTouch: touch, isMobile: touch });
  const requests = [];
  const errors = [];
  page.on('request', (r) => requests.push(r.url()));
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(url, { waitUntil: 'load' });
  return {
    page, requests, errors,
    evaluate: (f, ...args) => page.evaluate(f, ...args),
    wait_for: (f, arg) => page.waitForFunction(f, {}, arg),
    screenshot: (file) => page.screenshot({ path: file }),
    // Tab reaches the file input, shown on its zone, and Space opens the chooser.
    async choose(files) {
      await page.keyboard.press('Tab');
      const focus = await page.evaluate(() => [document.activeElement.id,
        getComputedStyle(document.getElementById('drop')).outlineStyle]);
      assert.deepEqual(focus, ['files', 'solid'], 'Tab reaches the file input, shown on its zone');
      const chosen = page.waitForFileChooser();
      await page.evaluate(() => 0);  // a round trip, so that the chooser is ours before the key
      await page.keyboard.press(' ');
      await (await chosen).accept(files);
    },
    // The whole zone is one control: a click in its corner opens the chooser too.
    async click_corner() {
      const box = await (await page.$('#drop')).boundingBox();
      const chosen = page.waitForFileChooser({ timeout: 5000 });
      await page.evaluate(() => 0);
      await page.mouse.click(box.x + 4, box.y + box.height - 4);
      await (await chosen).cancel();
    },
  };
}

// The engines: each starts its browser and opens pages in it.
async function chromium() {
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    userDataDir: fs.mkdtempSync(path.join(work, 'profile-')),
    args: [...(process.getuid() === 0 ? ['--no-sandbox'] : []), '--disable-gpu', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  return { browser, open: (url, view) => puppeteer_page(browser, url, view), close: () => browser.close() };
}

async function firefox() {
  const browser = await puppeteer.launch({
    browser: 'firefox',
    executablePath: '/usr/bin/firefox-esr',
    headless: true,
    userDataDir: fs.mkdtempSync(path.join(work, 'profile-')),
  });
  return { browser, open: (url, view) => puppeteer_page(browser, url, view), close: () => browser.close() };
}

// WebKit through WebKitWebDriver's classic WebDriver protocol, over HTTP on 127.0.0.1. It
// cannot see the page's requests and script errors, nor open the chooser; the files are given
// to the file input, as WebDriver does.
async function webkit() {
  const port = await new Promise((resolve) => {
    const probe = net.createServer().listen(0, '127.0.0.1', () => {
      const { port: free } = probe.address();
      probe.close(() => resolve(free));
    });
  });
  const driver = spawn('WebKitWebDriver', [`--port=${port}`], { stdio: ['ignore', 'ignore', 'inherit'] });
  const base = `http://127.0.0.1:${port}`;
  const call = async (method, where, body) => {
    const response = await fetch(base + where, { method, body: body && JSON.stringify(body),
      headers: { 'content-type': 'application/json' } });
    const { value } = await response.json();
    if (!response.ok) throw new Error(`WebDriver ${method} ${where}: ${JSON.stringify(value)}`);
    return value;
  };
  for (let tries = 0; ; tries += 1) {
    try {
      if ((await call('GET', '/status')).ready) break;
    } catch (error) {
      if (tries > 100) throw error;
    }
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  // The driver holds one session, one window, which each round loads its page in.
  const { sessionId } = await call('POST', '/session', { capabilities: { alwaysMatch: {
    'webkitgtk:browserOptions': { binary: '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser',
      args: ['--automation'] } } } });
  const s = (where) => `/session/${sessionId}${where}`;
  const open = async (url, { width, height }) => {
    // Runs `f` in the page with `args` and gives back what it returns, or what it throws.
    const evaluate = async (f, ...args) => {
      const { value, error } = await call('POST', s('/execute/async'), { args, script: `
        const done = arguments[arguments.length - 1];
        Promise.resolve().then(() => (${f}).apply(null, [...arguments].slice(0, -1)))
          .then((value) => done({ value }), (e) => done({ error: String(e) }));` });
      if (error) throw new Error(error);
      return value;
    };
    // The window's size less the browser's own bars, so that the page gets `width` x `height`.
    await call('POST', s('/url'), { url: 'about:blank' });
    await call('POST', s('/window/rect'), { width, height });
    const [inner_width, inner_height] = await evaluate(() => [innerWidth, innerHeight]);
    await call('POST', s('/window/rect'), { width: 2 * width - inner_width,
      height: 2 * height - inner_height });
    await call('POST', s('/url'), { url });
    return {
      evaluate,
      async wait_for(f, arg) {
        for (const start = Date.now(); !(await evaluate(f, arg));) {
          assert.ok(Date.now() - start < 60000, `waiting for ${f}`);
          await new Promise((resolve) => setTimeout(resolve, 100));
        }
      },
      async screenshot(file) {
        fs.writeFileSync(file, Buffer.from(await call('GET', s('/screenshot')), 'base64'));
      },
      async choose(files) {
        const found = await call('POST', s('/element'), { using: 'css selector', value: '#files' });
        await call('POST', s(`/element/${Object.values(found)[0]}/value`), { text: files.join('\n') });
      },
    };
  };
  return {
    open,
    async close() {
      await call('DELETE', s('')).catch(() => {});
      driver.kill();
    },
  };
}

// Opens `url` at `view` and gives it every input at once: chosen (through the keyboard, or the
// file input) or dropped on the drop zone. Checks each entry of the list, what stays in view,
// and the drop hint; saves a screenshot.
async function round(browser, url, how, view) {
  const page = await browser.open(url, view);
  if (how === 'choose') {
    await page.choose(inputs.map((i) => path.join(given, i.name)));
  } else {
    if (page.click_corner) await page.click_corner();
    await page.evaluate((files) => {
      const dropped = new DataTransfer();
      for (const f of files) dropped.items.add(new File([new Uint8Array(f.data)], f.name));
      document.getElementById('drop').dispatchEvent(new DragEvent('drop',
        { dataTransfer: dropped, bubbles: true }));
    }, inputs.map((i) => ({ name: i.name, data: [...i.data] })));
  }
  await page.wait_for((n) => [...document.querySelectorAll('#results li')]
    .filter((li) => li.querySelector('a, .message')).length === n &&
    document.getElementById('status').textContent !== '', inputs.length);

  const entries = await page.evaluate(() => Promise.all([...document.querySelectorAll('#results li')]
    .map(async (li) => {
      const link = li.querySelector('a');
      const data = link && new Uint8Array(await (await fetch(link.href)).arrayBuffer());
      return { text: li.textContent, message: li.querySelector('.message')?.textContent,
        reason: li.querySelector('.reason')?.textContent,
        download: link?.getAttribute('download'), data: data && [...data],
        calculator: li.querySelector('.calculator bdi')?.textContent,
        program: li.querySelector('.program')?.textContent,
        notes: ['warning', 'duplicate'].filter((note) => li.querySelector(`.${note}`)) };
    })));
  const where = `${engine} ${url.slice(0, 4)} ${view.width}`;
  for (const [i, input] of inputs.entries()) {
    const what = `${where} ${input.name}`;
    // WebDriver gives back null where the page had undefined.
    const { text, data, calculator, program, notes } = entries[i];
    const [message, reason, download] =
      ['message', 'reason', 'download'].map((key) => entries[i][key] ?? undefined);
    assert.ok(text.startsWith(input.name), `${what}: listed in order`);
    // The page shows the program's reason as a sentence.
    const sentence = input.reason && `${input.reason[0].toUpperCase()}${input.reason.slice(1)}.`;
    assert.deepEqual([message, reason, download, notes], [input.message, sentence, input.outputName,
      input.notes ?? []], what);
    if (message) {
      log(`ok ${what}: ${message} ${reason}`);
      continue;
    }
    const got = Buffer.from(data);
    assert.equal(got.length, input.expected.length, `${what}: size`);
    for (const [from, to] of [[0, 11], [35, got.length]]) {
      assert.deepEqual(got.subarray(from, to), input.expected.subarray(from, to), what);
    }
    check_stamp(got.subarray(11, 35).toString('latin1'), what);
    assert.equal(calculator, got.subarray(61, 69).toString().replace(/\0+$/, ''), what);
    // The program's size as a figure: its length (offset 71) and its share, rounded down.
    const length = got.readUInt16LE(71);
    const share = Math.floor((length * 1000) / 65517) / 10;
    assert.equal(program, `Program: ${length} bytes, ${share || 'under 0.1'}% of the 65517 that fit`,
      what);
    log(`ok ${what} -> ${download}, ${got.length} bytes, on the calculator ${calculator} ${notes}`);
  }
  // No right-to-left letter or override outside a <bdi>; the batch told; the status line and
  // the batch's first entry, below it, in view; the drop hint only with a pointer to drag.
  const shown = await page.evaluate(() => {
    const text = (selector) => document.querySelector(selector).textContent;
    const loose = [...document.querySelectorAll('#results :not(bdi)')]
      .flatMap((e) => [...e.childNodes]).filter((n) => n.nodeType === Node.TEXT_NODE &&
        /[\u0590-\u08ff\u202a-\u202e]/.test(n.data));
    const status = document.getElementById('status').getBoundingClientRect();
    const bar = document.querySelector('.summary').getBoundingClientRect();
    const first = document.querySelector('#results li').getBoundingClientRect();
    const hint = getComputedStyle(document.querySelector('.drop-hint')).display !== 'none';
    return [loose.length, text('#status'), text('#version'), status.top >= 0 &&
      first.top >= bar.bottom && first.top < innerHeight, scrollY > 0,
    hint === matchMedia('(any-pointer: fine)').matches];
  });
  assert.deepEqual(shown, [0, '5 converted (3 with a warning), 3 refused.', version, true, true,
    true], `${where}: isolated names, status line, version, status line and first entry in ` +
    'view after a scroll, drop hint');
  if (page.errors) assert.deepEqual(page.errors, [], 'no script errors');
  if (page.requests) {
    const own = [new URL(url).origin + '/', 'file:', 'data:', 'blob:'];
    const foreign = page.requests.filter((r) => !own.some((start) => r.startsWith(start)));
    assert.deepEqual(foreign, [], 'nothing fetched from elsewhere');
  }
  // MiniBrowser's window is never narrower than its toolbar (447 px), so WebKit's phone is that
  // wide; the screenshot is named after the size the page had.
  const [width, height] = await page.evaluate(() => [innerWidth, innerHeight]);
  assert.ok(width === view.width || (engine === 'webkit' && width < 480), `${where}: ${width} px wide`);
  assert.equal(height, view.height, `${where}: the page's height`);
  await page.screenshot(path.join(out, `page-${engine}-${width}x${height}.png`));
  return page;
}

let server;
let browser;
let status = 0;
try {
  browser = await { chromium, firefox, webkit }[engine]();
  const file = pathToFileURL(path.join(site, 'index.html')).href;
  let first = file;
  if (engine === 'chromium') {
    server = spawn(process.execPath, [path.join(here, 'serve.mjs'), site],
      { stdio: ['ignore', 'pipe', 'inherit'] });
    first = await new Promise((resolve) =>
      readline.createInterface({ input: server.stdout }).once('line', resolve));
  }
  await round(browser, first, 'choose', { width: 1280, height: 800 });
  // A phone: Chromium emulates its touch screen, which has no pointer to drag with.
  const page = await round(browser, file, 'drop', { width: 390, height: 844, touch: engine === 'chromium' });
  if (engine === 'chromium') {
    assert.equal(await page.evaluate(() => matchMedia('(any-pointer: fine)').matches), false,
      'a touch screen has no fine pointer');
  }
  if (page.page) {
    await page.page.setViewport({ ...page.page.viewport(), width: 360, height: 740 });
    const width = await page.evaluate(() => document.documentElement.scrollWidth);
    assert.ok(width <= 360, `fits 360 px: ${width} px wide`);
  }
  // Clear empties the list and releases its downloads.
  const cleared = await page.evaluate(async () => {
    const href = document.querySelector('#results a').href;
    document.getElementById('clear').click();
    const held = await fetch(href).then(() => 'held', () => 'released');
    return [document.querySelectorAll('#results li').length, held];
  });
  assert.deepEqual(cleared, [0, 'released'], 'Clear');
  // Without WebAssembly or JavaScript one line says so, and no chooser that does nothing shows.
  if (engine === 'chromium') {
    for (const [needs, setup] of [
      ['WebAssembly', (p) => p.evaluateOnNewDocument('delete WebAssembly')],
      ['JavaScript', (p) => p.setJavaScriptEnabled(false)]]) {
      const bare = await browser.browser.newPage();
      await setup(bare);
      await bare.goto(file);
      const shown = await bare.evaluate((n) => [document.body.innerText.split('\n')
        .filter((line) => line.includes(n)).length, document.getElementById('drop').offsetHeight],
      needs);
      assert.deepEqual(shown, [1, 0], `without ${needs}`);
      console.log(`ok without ${needs}: one line says so`);
    }
  }
  console.log(`${engine}: every check passed; screenshots in ${out}`);
} catch (error) {
  console.error(error);
  status = 1;
} finally {
  if (server) process.kill(server.pid);
  await browser?.close();
  fs.rmSync(work, { recursive: true, force: true });
}
process.exit(status);
