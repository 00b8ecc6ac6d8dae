// tools-worker.js: the tools' worker: each request runs the tools' program
// afresh on the files sent, and sends back its status, its lines on standard
// error and the output files asked for.
onmessage = async (event) => {
  const request = event.data;
  const lines = [];
  let status = 0;
  const tools = await ZumbrelTools({
    print: () => {},
    printErr: (line) => lines.push(line),
    onExit: (code) => { status = code; },
  });
  for (const name in request.files) tools.FS.writeFile(name, request.files[name]);
  try {
    tools.callMain(request.args);
  } catch (error) {
    // Aborted, as when memory runs out past what the page may take.
    status = 2;
    lines.push(String(error));
  }
  const files = {};
  for (const name of request.outputs) {
    if (tools.FS.analyzePath(name).exists) files[name] = tools.FS.readFile(name);
  }
  postMessage({status: status, lines: lines, files: files}, Object.values(files).map((b) => b.buffer));
};
