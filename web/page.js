// The page: hands each chosen or dropped file to the converter (tarnwick.js, the program's own
// core in WebAssembly) and lists what came of it. Every name, byte and message of a conversion
// comes from there; the list, its notes and the status line are the page's own.
'use strict';

const input = document.getElementById('files');
const drop = document.getElementById('drop');
const list = document.getElementById('results');
const status = document.getElementById('status');
const clear = document.getElementById('clear');

// Without WebAssembly, tarnwick.js would throw as soon as it is started, before the page could
// say why; so it is not started then, and whatever goes wrong ends in a rejection.
const converter = Promise.resolve().then(() => {
  if (typeof WebAssembly !== 'object') throw new Error('no WebAssembly');
  return createTarnwick();
}).then((module) => ({
  module,
  convert: module.cwrap('tarnwick_convert', 'number', ['string', 'number', 'number', 'number',
    'number', 'number', 'number', 'number', 'number', 'number']),
  unreadable: module.cwrap('tarnwick_unreadable', null, ['string']),
  mark: module.UTF8ToString(module._tarnwick_name_mark()),
}));

// Converts `bytes`, the content of the file `name`, stamped with the browser's local time.
function convert({ module, convert, unreadable }, name, bytes) {
  const now = new Date();
  const data = module._malloc(bytes.length || 1);
  if (!data) {  // the module's memory cannot hold the file
    unreadable(name);
    return result(module);
  }
  module.HEAPU8.set(bytes, data);
  convert(name, data, bytes.length, now.getFullYear(), now.getMonth(), now.getDate(),
    now.getHours(), now.getMinutes(), now.getSeconds(), now.getDay());
  module._free(data);
  return result(module);
}

// What the converter kept of the last file.
function result(module) {
  const text = (pointer) => module.UTF8ToString(pointer);
  const image = module._tarnwick_image();
  return {
    shownName: text(module._tarnwick_shown_name()),
    outputName: text(module._tarnwick_output_name()),
    calculatorName: text(module._tarnwick_calculator_name()),
    message: text(module._tarnwick_message()),
    reason: text(module._tarnwick_reason()),
    warning: text(module._tarnwick_warning()),
    bytes: module.HEAPU8.slice(image, image + module._tarnwick_image_size()),
    programLength: module._tarnwick_program_length(),
    maxProgramLength: module._tarnwick_max_program_length(),
  };
}

function element(tag, className, ...content) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  e.append(...content);
  return e;
}

// Every name is shown isolated, so that its characters cannot reorder the text around it.
const isolated = (name) => element('bdi', null, name);

// The converter's `text` with the name isolated where `mark` stands for it.
const withName = (text, name, mark) =>
  text.split(mark).flatMap((part, i) => (i > 0 ? [isolated(name), part] : [part]));

// The output name of each converted entry, and the input it was first made from.
const outputs = new Map();

// The program's share of the most the file holds, rounded down, as a figure that reads at a
// glance (a gauge at 0.3% looked like progress that had not started).
function share({ programLength, maxProgramLength }) {
  const tenths = Math.floor((programLength * 1000) / maxProgramLength);
  return tenths === 0 && programLength > 0 ? 'under 0.1%' : `${tenths / 10}%`;
}

// Fills the list entry `item` for the file `name` with what came of it; returns which it was.
function show(item, name, r, mark) {
  if (r.message) {
    item.classList.add('refused');
    item.append(element('p', 'message', ...withName(r.message, r.shownName, mark)));
    // The program's words for why, which it writes on the error stream, capitalized here.
    if (r.reason) {
      item.append(element('p', 'reason', `${r.reason[0].toUpperCase()}${r.reason.slice(1)}.`));
    }
    return 'refused';
  }
  item.append(element('p', 'output', isolated(r.outputName), `, ${r.bytes.length} bytes`),
    element('p', 'calculator', 'Name on the calculator: ', isolated(r.calculatorName)),
    element('p', 'program', `Program: ${r.programLength} bytes, ${share(r)} of the ` +
      `${r.maxProgramLength} that fit`));
  if (r.warning) {
    item.classList.add('warned');
    for (const line of r.warning.split('\n')) {
      item.append(element('p', 'warning', ...withName(line, r.shownName, mark)));
    }
  }
  const first = outputs.get(r.outputName);
  if (first === undefined) {
    outputs.set(r.outputName, name);
  } else {
    item.append(element('p', 'duplicate', 'Same output name as ', isolated(first),
      ' above: on the calculator one would replace the other.'));
  }
  const link = element('a', 'download', 'Download ', isolated(r.outputName));
  link.download = r.outputName;
  link.href = URL.createObjectURL(new Blob([r.bytes], { type: 'application/octet-stream' }));
  item.append(link);
  return r.warning ? 'warned' : 'converted';
}

// What came of a batch, for the status line.
function summary(counts) {
  const warned = counts.warned ? ` (${counts.warned} with a warning)` : '';
  const refused = counts.refused ? `, ${counts.refused} refused` : '';
  return `${counts.converted + counts.warned} converted${warned}${refused}.`;
}

// Lists the files of `fileList` in their order at once, then converts them one by one.
async function handle(fileList) {
  const files = Array.from(fileList);  // the input's list empties when the input is reset
  if (files.length === 0) return;
  const c = await converter.catch(() => null);
  if (!c) return;  // the status line says why
  const items = files.map((file) => {
    const item = element('li');
    item.append(element('p', 'input', isolated(file.name), `, ${file.size} bytes`));
    list.append(item);
    return item;
  });
  clear.hidden = false;
  const counts = { converted: 0, warned: 0, refused: 0 };
  for (const [i, file] of files.entries()) {
    let bytes = null;
    try {
      bytes = new Uint8Array(await file.arrayBuffer());
    } catch {
      c.unreadable(file.name);
    }
    if (!items[i].isConnected) return;  // cleared meanwhile
    const r = bytes ? convert(c, file.name, bytes) : result(c.module);
    counts[show(items[i], file.name, r, c.mark)] += 1;
  }
  status.textContent = summary(counts);
  // The status line stays at the top of the view (style.css); the batch starts just below it.
  const bar = status.parentElement;
  window.scrollBy(0, items[0].getBoundingClientRect().top - bar.offsetHeight);
}

input.addEventListener('change', () => {
  handle(input.files);
  input.value = '';  // so that choosing the same files again converts them again
});

drop.addEventListener('dragover', (e) => {
  e.preventDefault();
  drop.classList.add('over');
});
drop.addEventListener('dragleave', () => drop.classList.remove('over'));
drop.addEventListener('drop', (e) => {
  e.preventDefault();
  drop.classList.remove('over');
  handle(e.dataTransfer.files);
});
// A file dropped beside the zone would make the browser leave the page and its list.
window.addEventListener('dragover', (e) => e.preventDefault());
window.addEventListener('drop', (e) => e.preventDefault());

// Empties the list and lets the browser release the downloads it held.
clear.addEventListener('click', () => {
  for (const link of list.querySelectorAll('a.download')) URL.revokeObjectURL(link.href);
  list.replaceChildren();
  outputs.clear();
  status.textContent = '';
  clear.hidden = true;
  input.focus();
});

converter.then(({ module }) => {
  document.getElementById('version').textContent =
    module.UTF8ToString(module._tarnwick_version());
}, () => {
  drop.hidden = true;
  status.textContent = 'This browser cannot run the converter: it needs WebAssembly, which is ' +
    'missing or turned off.';
});
