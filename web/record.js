// record.js: a recording of the walk, as the canvas shows it, made by the
// browser's own MediaRecorder and handed over as zumbrel-walk.webm.
import {Download} from "./download.js";
import {FocusCanvas, OnWalkEnded, OnWalkStarted, RunningWalk, WalkCanvas} from "./walk.js";

const kVideoType = "video/webm";
const recordButton = document.getElementById("record");
const recordSaid = document.getElementById("record-said");
let recorder = null;  // the recording under way

function CanRecord() {
  return typeof MediaRecorder !== "undefined" && MediaRecorder.isTypeSupported(kVideoType) &&
         typeof HTMLCanvasElement.prototype.captureStream === "function";
}

// Starts recording the running walk's canvas; the file is handed over once
// the recording stops, when the walk drew a frame in the meantime.
function StartRecording() {
  const game = RunningWalk(), stream = WalkCanvas().captureStream();
  const firstFrame = (game.framesDrawn || 0) + 1;
  const chunks = [];
  recorder = new MediaRecorder(stream, {mimeType: kVideoType});
  recorder.ondataavailable = (event) => { if (event.data.size > 0) chunks.push(event.data); };
  recorder.onstop = () => {
    for (const track of stream.getTracks()) track.stop();
    if ((game.framesDrawn || 0) < firstFrame) {
      recordSaid.textContent = "The walk drew no frame while recording, so there is no video.";
      return;
    }
    Download(new Blob(chunks, {type: kVideoType}), "zumbrel-walk.webm");
    recordSaid.textContent = "Recorded zumbrel-walk.webm.";
  };
  recorder.start();
  FocusCanvas();
  recordButton.textContent = "Stop recording";
  recordSaid.textContent = "Recording…";
}

function StopRecording() {
  if (!recorder) return;
  recorder.stop();
  recorder = null;
  recordButton.textContent = "Record";
}

// Recording is offered while a walk runs; a walk that ends stops its
// recording, and the file is still handed over.
export function StartRecorder() {
  recordButton.disabled = true;
  if (!CanRecord()) {
    recordSaid.textContent = "This browser cannot record video as WebM, so the walk cannot be recorded here.";
    return;
  }
  recordButton.addEventListener("click", () => (recorder ? StopRecording() : StartRecording()));
  OnWalkStarted(() => { recordButton.disabled = RunningWalk() === null; });
}

OnWalkEnded(() => {
  StopRecording();
  recordButton.disabled = true;
});
