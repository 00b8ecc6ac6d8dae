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

// The tools' program compiled, by the first worker started, and handed to
// each started after it, which then compiles nothing: a promise of it, or
// of null where the engine cannot hand it on or that worker ended first.
let program = null;

// A worker started and handed the program, or asked to compile it; its
// replies go to reply. ready settles once it has been handed the program;
// End() ends it.
function StartWorker(reply) {
  const worker = new Worker(ToolsAddress());
  const Hand = (given) => {
    try {
      worker.postMessage({program: given});
    } catch (error) {
      worker.postMessage({program: null});  // this engine's workers compile their own
    }
  };
  let compiled = null;  // where this worker compiles the program
  let ready = null;
  if (program) {
    ready = program.then(Hand);
  } else {
    program = new Promise((resolve) => { compiled = resolve; });
    Hand(null);
    ready = Promise.resolve();
  }
  worker.onmessage = (event) => {
    if (!("program" in event.data)) return reply(event.data);
    if (compiled) compiled(event.data.program || null);
    compiled = null;
  };
  const End = () => {
    worker.terminate();
    if (!compiled) return;
    program = null;  // the next worker started compiles it
    compiled(null);
    compiled = null;
  };
  return {worker: worker, ready: ready, End: End};
}

// A worker of its own for one use of the tools, started at once so that its
// first run finds the program ready: Run(args, files, outputs) runs a tool
// on the files (name -> bytes) and resolves to its status, its lines on
// standard error, the output files' bytes and how long the tool itself
// ran, in milliseconds; or to null once Cancel() has ended it, which a
// newer run does too.
export function ToolRunner() {
  let pending = null;  // the running call's resolve
  const Reply = (data) => {
    const resolve = pending;
    pending = null;
    if (resolve) resolve(data);
  };
  let started = StartWorker(Reply);
  // A worker ended is replaced at once, so that the next run finds it
  // ready; the running call gets the answer given.
  const Replace = (answer) => {
    started.End();
    started = StartWorker(Reply);
    Reply(answer);
  };
  const Cancel = () => {
    if (pending) Replace(null);
  };
  const Run = (args, files, outputs = []) => {
    Cancel();
    return new Promise((resolve) => {
      pending = resolve;
      started.worker.onerror = (event) => {
        event.preventDefault();
        Replace({status: 2, lines: [event.message || "The tools' worker failed."], files: {}, ran: 0});
      };
      const {worker, ready} = started;
      ready.then(() => worker.postMessage({args: args, files: files, outputs: outputs}));
    });
  };
  return {Run: Run, Cancel: Cancel};
}
