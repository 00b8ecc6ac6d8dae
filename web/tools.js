// tools.js: zumbrel-map and zumbrel-mazegen, run off the page's main thread
// in a worker, each run a fresh instance of the tools' program.

// The worker's script: tools-worker.js bundled with the tools' program,
// which the page holds as text.
let toolsAddress = null;
function ToolsAddress() {
  if (!toolsAddress) {
    const source = document.getElementById("tools").textContent;
    toolsAddress = URL.createObjectURL(new Blob([source], {type: "text/javascript"}));
  }
  return toolsAddress;
}

// A worker of its own for one use of the tools: Run(args, files, outputs)
// runs a tool on the files (name -> bytes) and resolves to its status, its
// lines on standard error, the output files' bytes and how long the tool
// itself ran, in milliseconds; or to null once
// Cancel() has ended it, which a newer run does too.
export function ToolRunner() {
  let worker = null;
  let pending = null;  // the running call's resolve
  // A worker ended is replaced at once, so that the next run finds the
  // program compiled.
  const Cancel = () => {
    if (!pending) return;
    worker.terminate();
    worker = new Worker(ToolsAddress());
    pending(null);
    pending = null;
  };
  const Run = (args, files, outputs = []) => {
    Cancel();
    if (!worker) worker = new Worker(ToolsAddress());
    return new Promise((resolve) => {
      pending = resolve;
      worker.onmessage = (event) => {
        pending = null;
        resolve(event.data);
      };
      worker.onerror = (event) => {
        event.preventDefault();
        worker.terminate();
        pending = null;
        worker = null;
        resolve({status: 2, lines: [event.message || "The tools' worker failed."], files: {}, ran: 0});
      };
      worker.postMessage({args: args, files: files, outputs: outputs});
    });
  };
  return {Run: Run, Cancel: Cancel};
}
