#include "tools/serve/page_assets.h"

namespace vexacam::tools {

// The controls are made from /api/controls as the driver describes them (name, range, step,
// default, value); nothing here lists them.
const char* PageHtml() {
    return R"PAGE(<!doctype html>
<html lang="en"><head><meta charset="utf-8"><title>vexacam</title>
<meta name="viewport" content="width=device-width, initial-scale=1">
<style>
body { font: 14px system-ui, sans-serif; margin: 0; background: #1d1f21; color: #e0e0e0; }
header { padding: 8px 16px; background: #2b2e31; display: flex; gap: 12px; align-items: center; flex-wrap: wrap; }
header h1 { font-size: 18px; margin: 0 12px 0 0; }
#banner { display: none; padding: 10px 16px; background: #a33; color: #fff; }
#banner.shown { display: flex; gap: 12px; align-items: center; }
#message { min-height: 1.4em; padding: 4px 16px; color: #f7c948; }
main { display: flex; gap: 16px; padding: 0 16px 16px; flex-wrap: wrap; align-items: flex-start; }
#view { flex: 1 1 640px; }
#preview { max-width: 100%; background: #000; display: block; }
#figures { display: grid; grid-template-columns: repeat(4, auto); gap: 4px 16px; margin: 8px 0; }
#figures b { color: #9fd3ff; font-weight: normal; }
#histogram { background: #000; width: 100%; max-width: 640px; height: 120px; }
#controls { flex: 0 1 440px; max-height: 90vh; overflow-y: auto; }
fieldset { border: 1px solid #444; margin: 0 0 12px; }
legend { color: #9fd3ff; }
.control { display: grid; grid-template-columns: 140px 1fr 70px; gap: 6px; align-items: center; margin: 4px 0; }
.control input[type=number] { width: 64px; }
.control .range { grid-column: 2 / 4; font-size: 11px; color: #999; }
button, select { font: inherit; }
#recording { color: #f77; }
#calibration { max-width: 640px; margin-top: 8px; }
#calibration .kind { margin: 6px 0 10px; }
#calibration .needs { color: #ccc; }
#calibration .checks, #calibration .file { font-size: 11px; color: #999; }
#calibration .result { white-space: pre-wrap; font-size: 12px; color: #b5e8b5; }
</style></head>
<body>
<header><h1>vexacam</h1>
<label>Format <select id="format"></select></label>
<button id="start">Start</button><button id="stop">Stop</button>
<button id="snapshot-bmp">Snapshot BMP</button><button id="snapshot-png">Snapshot PNG</button>
<span><select id="record-kind" title="Video kind"><option value="mkv">MKV (lossless)</option><option value="avi">AVI (uncompressed)</option></select>
<button id="record">Record</button></span>
<button id="unplug" title="The simulated camera drops off the bus">Unplug camera</button>
</header>
<div id="banner"><span id="banner-text">The camera is gone.</span><button id="bring-back">Bring it back</button></div>
<div id="message" role="status"></div>
<main>
<section id="view"><img id="preview" src="/preview.mjpg" alt="live picture">
<div id="figures">
<span>frames/s <b id="fps">-</b></span><span>driver drops <b id="dropped">-</b></span>
<span>ms processor/frame <b id="cpu">-</b></span><span>exposure <b id="exposure">-</b></span>
</div>
<div id="recording"></div>
<canvas id="histogram" width="640" height="120"></canvas>
<fieldset id="calibration"><legend>Calibration</legend><div id="calibration-kinds"></div>
<label><input type="checkbox" id="calibration-force"> keep the result even if the scene fails the checks</label>
<div class="result" id="calibration-result"></div></fieldset></section>
<section id="controls"></section>
</main>
<script>
"use strict";
const $ = (id) => document.getElementById(id);
function say(text) { $("message").textContent = text; }

async function api(path, body) {
  const options = body === undefined ? {} :
    { method: "POST", headers: { "Content-Type": "application/json" }, body: JSON.stringify(body) };
  const response = await fetch(path, options);
  const type = response.headers.get("Content-Type") || "";
  if (!type.startsWith("application/json")) return response;
  const json = await response.json();
  if (!response.ok) throw new Error(json.error || ("HTTP " + response.status));
  return json;
}

async function loadFormats() {
  const answer = await api("/api/formats");
  const select = $("format");
  select.textContent = "";
  for (const f of answer.formats) {
    const option = document.createElement("option");
    option.value = f.width + "x" + f.height;
    option.textContent = f.width + " x " + f.height + " (" + f.fps.toFixed(1) + " fps)";
    select.appendChild(option);
  }
  select.value = answer.current.width + "x" + answer.current.height;
}

// One row per control, made from what the driver reports about it.
function controlRow(c) {
  const row = document.createElement("div");
  row.className = "control";
  row.dataset.name = c.set + "." + c.name;
  const label = document.createElement("label");
  label.textContent = c.name;
  row.appendChild(label);
  const send = async (body) => {
    try {
      const answer = await api("/api/controls/" + c.set + "/" + c.name, body);
      say(c.name + " = " + JSON.stringify(answer.value) + (answer.auto_exposure_switched_off ? " (automatic exposure off)" : ""));
      return answer;
    } catch (e) { say(e.message); await refreshControls(); }
  };
  if (c.use === "request") {
    const button = document.createElement("button");
    button.textContent = "One push";
    button.onclick = () => send({ value: 1 });
    row.appendChild(button);
  } else if (c.name === "CameraWindow" && c.value) {
    const parts = ["height", "width", "x", "y"].map((key) => {
      const input = document.createElement("input");
      input.type = "number"; input.value = c.value[key]; input.title = key; input.dataset.part = key;
      return input;
    });
    const box = document.createElement("span");
    parts.forEach((p) => box.appendChild(p));
    row.appendChild(box);
    const apply = document.createElement("button");
    apply.textContent = "Apply";
    apply.onclick = () => send({ value: parts.map((p) => Number(p.value)) });
    row.appendChild(apply);
  } else if (c.settable && c.min === 0 && c.max === 1) {
    const box = document.createElement("input");
    box.type = "checkbox"; box.checked = c.value === 1;
    box.onchange = () => send({ value: box.checked ? 1 : 0 });
    row.appendChild(box);
    row.update = (now) => { box.checked = now.value === 1; };
  } else if (c.settable && c.min !== undefined) {
    const slider = document.createElement("input");
    slider.type = "range"; slider.min = c.min; slider.max = Math.min(c.max, c.min + 100000); slider.step = c.step;
    slider.value = c.value;
    const number = document.createElement("input");
    number.type = "number"; number.value = c.value; number.step = c.step;
    slider.oninput = () => { number.value = slider.value; };
    slider.onchange = () => send({ value: Number(slider.value) });
    number.onchange = async () => {
      const answer = await send({ value: Number(number.value) });
      if (answer) slider.value = answer.value;
    };
    row.appendChild(slider); row.appendChild(number);
    const range = document.createElement("span");
    range.className = "range";
    range.textContent = c.min + ".." + c.max + " step " + c.step + ", default " + c.default;
    row.appendChild(range);
    let box = null;
    if (c.flags) {  // the amplifier's auto/manual flag
      const auto = document.createElement("label");
      box = document.createElement("input");
      box.type = "checkbox"; box.checked = c.flags === "auto";
      box.onchange = () => send({ value: Number(number.value), flags: box.checked ? "auto" : "manual" });
      auto.appendChild(box); auto.append(" auto");
      row.appendChild(auto);
    }
    // A value the driver changed itself (automatic exposure) shows up, unless being edited.
    row.update = (now) => {
      if (document.activeElement !== slider && document.activeElement !== number) {
        slider.value = now.value; number.value = now.value;
      }
      if (box && now.flags) box.checked = now.flags === "auto";
    };
  } else {
    const value = document.createElement("span");
    value.textContent = c.value === null ? "-" : JSON.stringify(c.value);
    row.appendChild(value);
  }
  return row;
}

// The values as they are now, into the rows that are there.
let cameraConnected = true;
async function updateControls() {
  if (document.hidden || !cameraConnected) return;
  let controls;
  try { controls = await api("/api/controls"); } catch (e) { return; }
  for (const c of controls) {
    const row = document.querySelector(`.control[data-name="${c.set}.${c.name}"]`);
    if (row && row.update && c.value !== null) row.update(c);
  }
}

async function refreshControls() {
  let controls;
  try { controls = await api("/api/controls"); } catch (e) { return; }
  const holder = $("controls");
  holder.textContent = "";
  const titles = { camera: "Camera controls", procamp: "Video processing amplifier", videocontrol: "Video control" };
  for (const set of ["procamp", "camera", "videocontrol"]) {
    const group = document.createElement("fieldset");
    const legend = document.createElement("legend");
    legend.textContent = titles[set];
    group.appendChild(legend);
    for (const c of controls) {
      if (c.set === set && c.use !== "unused" && c.use !== "calibration") group.appendChild(controlRow(c));
    }
    holder.appendChild(group);
  }
}

function drawHistogram(histogram) {
  const canvas = $("histogram"), g = canvas.getContext("2d");
  g.clearRect(0, 0, canvas.width, canvas.height);
  const colours = { red: "rgba(255,80,80,0.7)", green: "rgba(80,255,80,0.7)", blue: "rgba(80,140,255,0.7)" };
  let peak = 1;
  for (const key in colours) for (const n of histogram[key]) peak = Math.max(peak, n);
  for (const key in colours) {
    const bins = histogram[key], w = canvas.width / bins.length;
    g.fillStyle = colours[key];
    bins.forEach((n, i) => { const h = n / peak * canvas.height; g.fillRect(i * w, canvas.height - h, w - 1, h); });
  }
}

let recordingActive = false;
function showRecording(r) {
  recordingActive = r.active;
  $("record").textContent = r.active ? "Stop recording" : "Record";
  $("record-kind").disabled = r.active;
  let text = "";
  if (r.name) {
    text = (r.active ? "recording " : "recorded ") + r.directory + "/" + r.name + ": " + r.frames + " pictures, " +
      r.seconds.toFixed(1) + " s" + (r.unsaved ? ", " + r.unsaved + " not kept" : "");
  }
  if (r.finishing) text += " (completing the file)";
  if (r.problem) text += " (" + r.problem + ")";
  $("recording").textContent = text;
}

// What each calibration needs, from the server; the camera is pointed at that scene for it.
async function refreshCalibration() {
  let answer;
  try { answer = await api("/api/calibration"); } catch (e) { return; }
  const holder = $("calibration-kinds");
  holder.textContent = "";
  const titles = { defects: "Defect table", gainmap: "Flat-field gain map" };
  for (const k of answer.kinds) {
    const box = document.createElement("div");
    box.className = "kind"; box.dataset.kind = k.kind;
    const button = document.createElement("button");
    button.textContent = "Take " + titles[k.kind].toLowerCase();
    button.onclick = () => calibrate(k.kind);
    const needs = document.createElement("div");
    needs.className = "needs"; needs.textContent = "Needs " + k.needs + ".";
    const checks = document.createElement("div");
    checks.className = "checks"; checks.textContent = "Checked: " + k.checks;
    const file = document.createElement("div");
    file.className = "file";
    file.textContent = (k.file.exists ? "in place: " : "none yet for " + answer.width + "-wide frames: ") + k.file.path;
    box.append(button, needs, checks, file);
    holder.appendChild(box);
  }
}

async function calibrate(kind) {
  const buttons = document.querySelectorAll("#calibration button");
  buttons.forEach((b) => { b.disabled = true; });
  $("calibration-result").textContent = "";
  say("calibrating " + kind + ": the camera looks at the scene it needs");
  try {
    const answer = await api("/api/calibration", { kind: kind, force: $("calibration-force").checked });
    $("calibration-result").textContent = answer.lines.join("\n") +
      (answer.refusal ? "\nkept although " + answer.refusal : "");
    say(kind + " taken");
  } catch (e) {
    $("calibration-result").textContent = e.message;
    say(e.message);
  }
  buttons.forEach((b) => { b.disabled = false; });
  await refreshCalibration();
}

async function refreshFigures() {
  try {
    const s = await api("/api/stats");
    showRecording(s.recording);
    $("fps").textContent = s.fps.toFixed(1);
    $("dropped").textContent = s.driver_dropped;
    $("cpu").textContent = s.cpu_ms_per_frame.toFixed(2);
    $("exposure").textContent = s.exposure;
    cameraConnected = s.connected;
    $("banner").classList.toggle("shown", !s.connected);
    $("banner-text").textContent = "The camera is gone" + (s.problem ? ": " + s.problem : ".");
    drawHistogram(s.histogram);
  } catch (e) { /* the next poll tries again */ }
}

function restartPreview() { $("preview").src = "/preview.mjpg?" + Date.now(); }

async function act(work) {
  try { await work(); } catch (e) { say(e.message); }
  await refreshFigures();
}

async function snapshot(kind) {
  try {
    const response = await api("/api/snapshot", { kind: kind });
    const name = (response.headers.get("Content-Disposition") || "").replace(/.*filename="([^"]+)".*/, "$1");
    const link = document.createElement("a");
    link.href = URL.createObjectURL(await response.blob());
    link.download = name || ("snapshot." + kind);
    link.click();
    say("saved " + link.download);
  } catch (e) { say(e.message); }
}

$("format").onchange = () => act(async () => {
  const [width, height] = $("format").value.split("x").map(Number);
  await api("/api/format", { width: width, height: height });
  say("format " + width + " x " + height);
  restartPreview();
  await refreshControls();
  await refreshCalibration();
});
$("start").onclick = () => act(() => api("/api/stream", { running: true }));
$("stop").onclick = () => act(() => api("/api/stream", { running: false }));
$("unplug").onclick = () => act(() => api("/api/camera", { action: "unplug" }));
$("bring-back").onclick = () => act(async () => {
  await api("/api/camera", { action: "bring-back" });
  restartPreview();
  await refreshControls();
});
$("record").onclick = () => act(async () => {
  const r = await api("/api/recording", recordingActive ? { action: "stop" } : { action: "start", kind: $("record-kind").value });
  showRecording(r);
  say((r.active ? "recording into " : "saved ") + r.directory + "/" + r.name);
});
$("snapshot-bmp").onclick = () => snapshot("bmp");
$("snapshot-png").onclick = () => snapshot("png");

loadFormats().then(refreshControls).then(refreshCalibration);
refreshFigures();
setInterval(refreshFigures, 1000);
setInterval(updateControls, 2000);
</script></body></html>)PAGE";
}

}  // namespace vexacam::tools
