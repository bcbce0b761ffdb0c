// Serves the folder named by the first argument on 127.0.0.1, at a free port, and prints the
// address on one line. Runs until it is killed.
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

const root = path.resolve(process.argv[2]);
const types = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css' };

const server = http.createServer((request, response) => {
  let file = path.join(root, decodeURIComponent(new URL(request.url, 'http://host').pathname));
  if (file.endsWith(path.sep)) file += 'index.html';
  fs.readFile(file, (error, data) => {
    if (error || !file.startsWith(root + path.sep)) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'content-type': types[path.extname(file)] ?? 'application/octet-stream' });
    response.end(data);
  });
});
server.listen(0, '127.0.0.1', () => console.log(`http://127.0.0.1:${server.address().port}/`));
