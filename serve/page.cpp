#include "serve/page.hpp"

namespace blocknest {

const std::string& pageHtml() {
    static const std::string page = R"PAGE(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>blocknest</title>
<style>
body{font:14px sans-serif;margin:1em 2em;color:#111}
fieldset{border:1px solid #bbb;margin:.5em 0;padding:.5em 1em}
label{margin-right:1em}input[type=number]{width:6em}
button{font-size:15px;padding:.3em 1.2em;margin-right:.5em}
#figures{font-weight:bold;margin:.5em 0}#layout svg{width:100%;height:auto;border:1px solid #ccc}
.notes{color:#555;white-space:pre-line;font-size:12px}table{border-collapse:collapse}td{padding:1px 8px}
</style></head><body>
<h1>blocknest</h1>
<fieldset><legend>Parts</legend>
<input type="file" id="files" multiple accept=".dxf,.json,.txt,.csv">
<table id="parts"></table></fieldset>
<fieldset><legend>Sheet and search</legend>
<label>Length <input type="number" id="length" value="1200" min="0"></label>
<label>Width <input type="number" id="width" value="600" min="0"></label>
<label>Sheets (0: as many as needed) <input type="number" id="sheets" value="1" min="0"></label>
<label>Spacing <input type="number" id="spacing" value="0" min="0" step="any"></label>
<label>Margin <input type="number" id="margin" value="0" min="0" step="any"></label>
<label>Turns <input type="number" id="rotations" value="2" min="1" max="360"></label>
<label>Search seconds <input type="number" id="seconds" value="5" min="0" step="any"></label>
</fieldset>
<button id="start">Start</button><button id="stop" disabled>Stop</button>
<div id="figures"></div><div id="messages" class="notes"></div>
<div id="layout"></div><div id="leftoff"></div><div id="downloads"></div>
<script>
"use strict";
const $ = (id) => document.getElementById(id);
let job = null, events = null;
$("files").addEventListener("change", () => {
  const table = $("parts"); table.innerHTML = "";
  for (const f of $("files").files) {
    const row = table.insertRow();
    row.insertCell().textContent = f.name;
    const cell = row.insertCell();
    if (/\.dxf$/i.test(f.name)) {
      const copies = document.createElement("input");
      copies.type = "number"; copies.min = "1"; copies.value = "1"; copies.dataset.file = f.name;
      copies.className = "copies"; cell.append("copies ", copies);
    }
  }
});
function show(progress, state) {
  let text = state;
  if (progress) {
    const budget = progress.time_limit > 0 ? ` of ${progress.time_limit.toFixed(1)}` : "";
    text += `: ${progress.elapsed.toFixed(1)}${budget} s, ${progress.layouts} layouts, ` +
      `length ${progress.length.toFixed(2)}, density ${progress.density.toFixed(2)}%`;
    if (progress.sheets > 0) text += `, ${progress.sheets} sheets (at least ${progress.sheets_at_least})`;
  }
  $("figures").textContent = text;
}
async function finish() {
  const info = await (await fetch(`/api/jobs/${job}`)).json();
  $("stop").disabled = true; $("start").disabled = false;
  $("messages").textContent = (info.messages || []).join("\n");
  const result = info.result || {};
  if (result.figures) {
    const f = result.figures;
    $("figures").textContent = `${info.state}: length ${f.length.toFixed(2)}, density ` +
      `${f.density.toFixed(2)}%, ${f.parts_placed} parts placed, ${f.sheets} sheet(s)` +
      (result.cut_short ? " (stopped: the best layout found)" : "");
  }
  if (info.files.includes("layout.svg")) {
    $("layout").innerHTML = await (await fetch(`/api/jobs/${job}/files/layout.svg`)).text();
  }
  $("leftoff").textContent = (result.left_off || []).length
    ? "Left off: " + result.left_off.map((p) => `${p.name} (${p.reason})`).join(", ") : "";
  $("downloads").innerHTML = "";
  for (const name of info.files) {
    if (!/\.(dxf|txt|json|svg)$/.test(name) || name === "settings.json") continue;
    const a = document.createElement("a");
    a.href = `/api/jobs/${job}/files/${encodeURIComponent(name)}`; a.download = name;
    a.textContent = name; a.className = "download";
    $("downloads").append(a, " ");
  }
}
$("start").addEventListener("click", async () => {
  if (!$("files").files.length) { $("messages").textContent = "Choose the parts' files first."; return; }
  const form = new FormData();
  for (const f of $("files").files) form.append("files", f, f.name);
  const copies = {};
  for (const c of document.querySelectorAll("input.copies")) copies[c.dataset.file] = Number(c.value);
  const settings = {copies};
  for (const key of ["length", "width", "sheets", "spacing", "margin", "rotations", "seconds"])
    settings[key] = Number($(key).value);
  form.append("settings", JSON.stringify(settings));
  $("messages").textContent = ""; $("layout").innerHTML = ""; $("downloads").innerHTML = "";
  const answer = await fetch("/api/jobs", {method: "POST", body: form});
  const body = await answer.json();
  if (!answer.ok) { $("messages").textContent = body.error; return; }
  job = body.id; $("start").disabled = true; $("stop").disabled = false;
  events = new EventSource(`/api/jobs/${job}/events`);
  events.onmessage = (e) => {
    const data = JSON.parse(e.data);
    show(data.progress, data.state);
    if (data.state === "done" || data.state === "failed") { events.close(); finish(); }
  };
});
$("stop").addEventListener("click", () => { if (job) fetch(`/api/jobs/${job}/stop`, {method: "POST"}); });
window.addEventListener("pagehide", () => { if (job) navigator.sendBeacon(`/api/jobs/${job}/stop`); });
</script></body></html>
)PAGE";
    return page;
}

}  // namespace blocknest
