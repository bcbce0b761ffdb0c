// The page: hands each chosen or dropped file to the converter (tarnwick.js, the program's own
// core in WebAssembly) and lists what came of it. Every name, byte and message comes from there.
'use strict';

const converter = createTarnwick().then((module) => ({
  module,
  convert: module.cwrap('tarnwick_convert', 'number', ['string', 'number', 'number', 'number',
    'number', 'number', 'number', 'number', 'number', 'number']),
  unreadable: module.cwrap('tarnwick_unreadable', null, ['string']),
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
  const image = module._tarnwick_image();
  return {
    outputName: module.UTF8ToString(module._tarnwick_output_name()),
    message: module.UTF8ToString(module._tarnwick_message()),
    bytes: module.HEAPU8.slice(image, image + module._tarnwick_image_size()),
    programLength: module._tarnwick_program_length(),
    maxProgramLength: module._tarnwick_max_program_length(),
  };
}

function element(tag, className, text) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (text !== undefined) e.textContent = text;
  return e;
}

// Fills the list entry `item` with the download, or with the message refusing the file.
function show(item, r) {
  if (r.message) {
    item.classList.add('refused');
    item.append(element('p', 'message', r.message));
    return;
  }
  const link = element('a', 'download', `Download ${r.outputName}`);
  link.download = r.outputName;
  link.href = URL.createObjectURL(new Blob([r.bytes], { type: 'application/octet-stream' }));
  const program = element('p', 'program',
    `Program: ${r.programLength} of ${r.maxProgramLength} bytes `);
  const meter = element('meter');
  meter.max = r.maxProgramLength;
  meter.value = r.programLength;
  meter.setAttribute('aria-hidden', 'true');
  program.append(meter);
  item.append(element('p', 'output', `${r.outputName}, ${r.bytes.length} bytes`), program, link);
}

// Lists the files of `fileList` in their order at once, then converts them one by one.
async function handle(fileList) {
  const files = Array.from(fileList);  // the input's list empties when the input is reset
  const list = document.getElementById('results');
  const items = files.map((file) => {
    const item = element('li');
    item.append(element('p', 'input', `${file.name}, ${file.size} bytes`));
    list.append(item);
    return item;
  });
  const c = await converter;
  for (const [i, file] of files.entries()) {
    let bytes = null;
    try {
      bytes = new Uint8Array(await file.arrayBuffer());
    } catch {
      c.unreadable(file.name);
    }
    show(items[i], bytes ? convert(c, file.name, bytes) : result(c.module));
  }
}

const input = document.getElementById('files');
input.addEventListener('change', () => {
  handle(input.files);
  input.value = '';  // so that choosing the same files again converts them again
});

const drop = document.getElementById('drop');
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

converter.catch(() => {
  document.getElementById('status').textContent =
    'This browser cannot run the converter: it needs WebAssembly.';
});
