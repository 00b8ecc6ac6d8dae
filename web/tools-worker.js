// tools-worker.js: the tools' worker: each request runs the tools' program
// afresh on the files sent, and sends back its status, its lines on standard
// error, the output files asked for and how long it ran, in milliseconds.
import ZumbrelTools from "zumbrel-tools";

// The program compiled: the page's first message hands it over where another
// worker has compiled it already; else it is compiled here and handed back,
// for the workers after. Each run is a fresh instance of it.
const instantiate = WebAssembly.instantiate;
const handed = new Promise((resolve) => { onmessage = (event) => resolve(event.data.program); });
let compiled = null;
WebAssembly.instantiate = async (binary, imports) => {
  if (!compiled) compiled = await handed || await CompiledHere(binary);
  return {module: compiled, instance: await instantiate(compiled, imports)};
};
async function CompiledHere(binary) {
  const program = await WebAssembly.compile(binary);
  try {
    postMessage({program: program});
  } catch (error) {
    // An engine that cannot hand a program on: each worker compiles its own.
    postMessage({program: false});
  }
  return program;
}

// What the running request's instance says.
let said = null;
function FreshInstance() {
  return ZumbrelTools({
    print: () => {},
    printErr: (line) => said.lines.push(line),
    onExit: (code) => { said.status = code; },
  });
}

// The next request's instance is made while the page waits for one.
let next = FreshInstance();
handed.then(() => { onmessage = Run; });
async function Run(event) {
  const request = event.data;
  const tools = await next;
  said = {status: 0, lines: []};
  for (const name in request.files) tools.FS.writeFile(name, request.files[name]);
  const start = performance.now();
  try {
    tools.callMain(request.args);
  } catch (error) {
    // Aborted, as when memory runs out past what the page may take.
    said.status = 2;
    said.lines.push(String(error));
  }
  const files = {};
  for (const name of request.outputs) {
    if (tools.FS.analyzePath(name).exists) files[name] = tools.FS.readFile(name);
  }
  const ran = performance.now() - start;
  postMessage({status: said.status, lines: said.lines, files: files, ran: ran}, Object.values(files).map((b) => b.buffer));
  next = FreshInstance();
}
