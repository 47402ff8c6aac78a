#include "serve/page.hpp"

namespace blocknest {

const std::string& pageHtml() {
    static const std::string page = R"PAGE(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>blocknest</title>
<style>
body{font:14px sans-serif;margin:1em 2em;color:#111}
fieldset{border:1px solid #bbb;margin:.5em 0;padding:.5em 1em}
label{margin-right:1em;white-space:nowrap}input[type=number]{width:6em}input.turns{width:8em}
button{font-size:15px;padding:.3em 1.2em;margin-right:.5em}
#figures{font-weight:bold;margin:.5em 0}#drop{border:2px dashed #bbb;padding:.6em;margin:.3em 0;color:#555}
#drop.over{border-color:#36c;background:#eef4ff}
.notes{color:#555;white-space:pre-line;font-size:12px}.error{color:#b00;white-space:pre-line;font-size:12px}
table{border-collapse:collapse}td,th{padding:1px 8px;text-align:left}tr.file td{background:#f2f2f2;font-weight:bold}
svg.thumb{width:60px;height:40px;border:1px solid #ddd;background:#fff}
#tabs button{font-size:13px;padding:.2em .8em}#tabs button.on{background:#36c;color:#fff}
#layout svg{width:100%;height:auto;max-height:75vh;border:1px solid #ccc;background:#fafafa;cursor:grab}
.part{fill:#9cc3e6;stroke:#1f4e79;stroke-width:1;vector-effect:non-scaling-stroke;fill-rule:evenodd}
.part:hover{fill:#f2c14e}.sheet{fill:#fff;stroke:#333;vector-effect:non-scaling-stroke}
.packed{stroke:#c00;stroke-dasharray:6 4;vector-effect:non-scaling-stroke}
.label{fill:#123;pointer-events:none;text-anchor:middle;dominant-baseline:middle}
</style></head><body>
<h1>blocknest</h1>
<p>Drop the parts' files (or an order list with its drawings), set the sheet, press Start: the layout is drawn as the
search improves it, Stop keeps the best one found, and the cut files are offered below it.</p>
<fieldset><legend>Parts</legend>
<div id="drop">Drop drawings (DXF), JSON instances, part data files or job lists here, or pick them:
<input type="file" id="files" multiple accept=".dxf,.json,.txt,.csv">
<button type="button" id="clearfiles">Clear the files</button></div>
<label>Units of drawings that name none <select id="units"><option value="0">as drawn</option>
<option value="4">mm</option><option value="5">cm</option><option value="6">m</option>
<option value="1">in</option><option value="2">ft</option></select></label>
<table id="parts"></table></fieldset>
<fieldset><legend>Sheets</legend>
<label>Length <input type="number" id="length" value="1200" min="0" step="any"></label>
<label>Width <input type="number" id="width" value="600" min="0" step="any"></label>
<label>Sheets (0: as many as needed) <input type="number" id="sheets" value="0" min="0"></label>
<label>Drawn sheet or remnant <input type="file" id="sheetfile" accept=".dxf"></label><br>
<label>Spacing <input type="number" id="spacing" value="0" min="0" step="any"></label>
<label>Margin <input type="number" id="margin" value="0" min="0" step="any"></label>
<label>Turns <input type="number" id="rotations" value="2" min="1" max="360"></label>
<label><input type="checkbox" id="mirror"> mirror</label>
<label>Search seconds <input type="number" id="seconds" value="5" min="0" step="any"></label>
<details><summary>Stock table (the sheets are chosen from it)</summary>
<table id="stock"><tr><th>Length</th><th>Width</th><th>or drawing</th><th>Count</th><th>Cost</th><th></th></tr></table>
<button id="addstock" type="button">Add a row</button>
<label>Drawings the stock names <input type="file" id="stockfiles" multiple accept=".dxf"></label>
</details></fieldset>
<button id="start">Start</button><button id="stop" disabled>Stop</button>
<div id="figures"></div><div id="messages" class="notes"></div>
<div id="tabs"></div><div id="layout"></div><div id="sheetfigures" class="notes"></div>
<div id="leftoff"></div><div id="downloads"></div>
<script>
"use strict";
const $ = (id) => document.getElementById(id);
let job = null, events = null, described = [], finalResult = null, asked = 0;
window.layoutDraws = [];  // when each layout was drawn, how long it took, the search's moves then
window.searchMoves = 0;
const esc = (s) => String(s).replace(/[&<>"]/g, (c) => ({"&": "&amp;", "<": "&lt;", ">": "&gt;", '"': "&quot;"}[c]));
const unitNames = {1: "inches", 2: "feet", 4: "millimetres", 5: "centimetres", 6: "metres"};
const fmt = (v) => Number(v).toFixed(Math.abs(v) >= 100 ? 1 : 2);
// The packed length's name: over several sheets it is the last sheet's.
const lengthName = (sheets) => sheets > 1 ? "last sheet's length" : "length";
function ringPath(ring, flip) {
  return ring.length ? "M" + ring.map(([x, y]) => `${x.toFixed(2)} ${(flip - y).toFixed(2)}`).join("L") + "Z" : "";
}
function bounds(rings) {
  const b = [Infinity, Infinity, -Infinity, -Infinity];
  for (const r of rings) for (const [x, y] of r) {
    b[0] = Math.min(b[0], x); b[1] = Math.min(b[1], y); b[2] = Math.max(b[2], x); b[3] = Math.max(b[3], y);
  }
  return b;
}
function thumb(part) {
  const b = bounds([part.outer]);
  const w = Math.max(b[2] - b[0], 1e-9), h = Math.max(b[3] - b[1], 1e-9);
  const d = [part.outer, ...part.holes].map((r) => ringPath(r, b[1] + b[3])).join("");
  return `<svg class="thumb" viewBox="${b[0]} ${b[1]} ${w} ${h}" preserveAspectRatio="xMidYMid meet">` +
    `<path class="part" d="${d}"/></svg>`;
}
function settingsForReading() {
  const skip = [...document.querySelectorAll("input.layer")].filter((c) => !c.checked).map((c) => c.dataset.layer);
  return {units: Number($("units").value), skip_layers: skip, rotations: Number($("rotations").value)};
}
async function describe() {
  const files = [...$("files").files];
  $("parts").innerHTML = "";
  if (!files.length) return;
  const form = new FormData();
  for (const f of files) form.append("files", f, f.name);
  form.append("settings", JSON.stringify(settingsForReading()));
  const mine = ++asked;
  window.partsReady = false;
  const answer = await fetch("/api/parts", {method: "POST", body: form});
  const body = await answer.json();
  if (mine !== asked) return;  // the files or settings changed meanwhile
  if (!answer.ok) { $("messages").textContent = body.error; return; }
  described = body.files;
  const skipped = new Set(settingsForReading().skip_layers);
  let html = "<tr><th></th><th>Part</th><th>Size</th><th>Net area</th><th>Quantity</th><th>Turns</th><th>Mirror</th></tr>";
  const said = new Set();
  described.forEach((file, f) => {
    html += `<tr class="file"><td colspan="7">${esc(file.file)} (${esc(file.format || "unreadable")}` +
      (file.units ? `, ${unitNames[file.units] || "units code " + file.units}` : "") + ")" +
      (file.listed_in ? `: ${esc(file.listed_in)} names it, and its rows give the quantities` : "") + "</td></tr>";
    if (file.error) html += `<tr><td colspan="7" class="error">${esc(file.error)}</td></tr>`;
    else if (!file.parts.length && !file.listed_in) html += `<tr><td colspan="7" class="error">${esc(file.file)} holds no part</td></tr>`;
    // A job list's files say their lines through it too: each line once.
    const lines = file.warnings.filter((w) => !said.has(w));
    for (const w of lines) said.add(w);
    if (lines.length) html += `<tr><td colspan="7" class="notes">${esc(lines.join("\n"))}</td></tr>`;
    if (file.layers.length) {
      html += `<tr><td colspan="7">Layers (checked: cut, unchecked: ignored): ` + file.layers.map((l) =>
        `<label><input type="checkbox" class="layer" data-layer="${esc(l.name)}"${skipped.has(l.name) ? "" : " checked"}> ` +
        `${esc(l.name)} (${l.entities})</label>`).join(" ") + "</td></tr>";
    }
    if (file.listed_in) return;  // packed as the list asks, not on its own
    file.parts.forEach((p, i) => {
      html += `<tr class="row" data-file="${esc(file.file)}" data-index="${i}"><td>${thumb(p)}</td><td>${esc(p.name)}</td>` +
        `<td>${fmt(p.width)} x ${fmt(p.height)}</td><td>${fmt(p.net_area)}</td>` +
        `<td><input type="number" class="copies" min="0" value="${p.copies}"></td>` +
        `<td><input class="turns" placeholder="the job's" value="${p.turns.join(", ")}"></td>` +
        `<td><input type="checkbox" class="mirror"${p.mirror ? " checked" : ""}></td></tr>`;
    });
  });
  $("parts").innerHTML = html;
  window.partsReady = true;
  for (const c of document.querySelectorAll("input.layer")) c.addEventListener("change", describe);
}
// The files chosen so far: each drop or pick adds to them, a file of a name already chosen
// replacing the older one, so that drawings and their order list can come one after another.
let chosen = [];
function addFiles(list) {
  const incoming = [...list];
  chosen = chosen.filter((f) => !incoming.some((g) => g.name === f.name)).concat(incoming);
  const all = new DataTransfer();
  for (const f of chosen) all.items.add(f);
  $("files").files = all.files;
  describe();
}
$("files").addEventListener("change", () => addFiles($("files").files));
$("clearfiles").addEventListener("click", () => { chosen = []; $("files").value = ""; describe(); });
$("units").addEventListener("change", describe);
const drop = $("drop");
drop.addEventListener("dragover", (e) => { e.preventDefault(); drop.classList.add("over"); });
drop.addEventListener("dragleave", () => drop.classList.remove("over"));
drop.addEventListener("drop", (e) => {
  e.preventDefault(); drop.classList.remove("over");
  addFiles(e.dataTransfer.files);
});
$("addstock").addEventListener("click", () => {
  const row = $("stock").insertRow();
  row.className = "stockrow";
  row.innerHTML = '<td><input type="number" class="slength" min="0" step="any"></td>' +
    '<td><input type="number" class="swidth" min="0" step="any"></td><td><input class="sfile" placeholder="file name"></td>' +
    '<td><input type="number" class="scount" min="1" value="1"></td><td><input type="number" class="scost" min="0" step="any"></td>' +
    '<td><button type="button">remove</button></td>';
  row.querySelector("button").addEventListener("click", () => row.remove());
});
function rowsSettings() {
  const rows = {};
  for (const tr of document.querySelectorAll("tr.row")) {
    const file = tr.dataset.file, i = Number(tr.dataset.index);
    const d = described.find((x) => x.file === file).parts[i];
    const copies = Number(tr.querySelector(".copies").value);
    const text = tr.querySelector(".turns").value.trim();
    const turns = text ? text.split(/[ ,;]+/).filter((t) => t).map(Number) : [];
    const mirror = tr.querySelector(".mirror").checked;
    (rows[file] = rows[file] || []).push({copies, turns, mirror});
    void d;
  }
  return rows;
}
function show(progress, state) {
  let text = state === "waiting" ? "waiting: other jobs are running, this one starts when one ends" : state;
  if (progress) {
    const budget = progress.time_limit > 0 ? ` of ${progress.time_limit.toFixed(1)}` : "";
    text += `: ${progress.elapsed.toFixed(1)}${budget} s, ${progress.layouts} layouts, ` +
      `${lengthName(progress.sheets)} ${progress.length.toFixed(2)}, density ${progress.density.toFixed(2)}%`;
    if (progress.sheets > 0) text += `, ${progress.sheets} sheets (at least ${progress.sheets_at_least})`;
  }
  $("figures").textContent = text;
}
function sheetSize(n, parts, result) {
  const fig = result && (result.sheet_figures || []).find((s) => s.sheet === n);
  let L = Number($("length").value), W = Number($("width").value);
  if (fig && fig.sheet_length > 0) { L = fig.sheet_length; W = fig.sheet_width; }
  else if (result && result.sheet) { L = result.sheet.length; W = result.sheet.width; }
  const b = bounds(parts.map((p) => p.outer));
  if (!(L > 0) || !(W > 0)) { L = Math.max(b[2], 1); W = Math.max(b[3], 1); }
  return [Math.max(L, b[2]), Math.max(W, b[3]), L, W];
}
// Zoom (the wheel), pan (drag) and back home (double click) of a sheet's drawing; the labels
// follow, once a frame at most.
function zoomable(view) {
  const svg = view.svg, box = svg.viewBox.baseVal;
  let drag = null;
  svg.addEventListener("wheel", (e) => {
    e.preventDefault();
    const k = e.deltaY > 0 ? 1.2 : 1 / 1.2, r = svg.getBoundingClientRect();
    const px = box.x + (e.clientX - r.left) / r.width * box.width, py = box.y + (e.clientY - r.top) / r.height * box.height;
    box.x = px - (px - box.x) * k; box.y = py - (py - box.y) * k; box.width *= k; box.height *= k;
    labelsSoon(view);
  }, {passive: false});
  svg.addEventListener("mousedown", (e) => { drag = [e.clientX, e.clientY]; });
  window.addEventListener("mouseup", () => { drag = null; });
  svg.addEventListener("mousemove", (e) => {
    if (!drag) return;
    const r = svg.getBoundingClientRect();
    box.x -= (e.clientX - drag[0]) / r.width * box.width; box.y -= (e.clientY - drag[1]) / r.height * box.height;
    drag = [e.clientX, e.clientY];
    labelsSoon(view);
  });
  svg.addEventListener("dblclick", () => { svg.setAttribute("viewBox", view.home); labelsSoon(view); });
  // The drawing's width on screen, without reading it between writes (and again when it is shown).
  view.resize = new ResizeObserver((entries) => { view.screenWidth = entries[0].contentRect.width; labelsSoon(view); });
  view.resize.observe(svg);
}
// A part's outline as read: its placed outline moved back by its pose (mirrored about the Y axis,
// turned, moved). Copies share one kind, so a redraw only moves what moved.
const SVGNS = "http://www.w3.org/2000/svg";
let kinds = new Map();  // part name -> the kinds of that name
function unplace(p, ring) {
  const a = -p.rotation * Math.PI / 180, c = Math.cos(a), s = Math.sin(a), m = p.mirrored ? -1 : 1;
  return ring.map(([x, y]) => { const u = x - p.x, v = y - p.y; return [m * (c * u - s * v), s * u + c * v]; });
}
// Whether a placed part is a copy of a kind: its corners moved back by its pose lie on the kind's.
function isKind(p, kind, tolerance) {
  if (kind.rings.length !== p.holes.length + 1) return false;
  const a = -p.rotation * Math.PI / 180, c = Math.cos(a), s = Math.sin(a), m = p.mirrored ? -1 : 1;
  for (let r = 0; r < kind.rings.length; r++) {
    const ring = r === 0 ? p.outer : p.holes[r - 1], local = kind.rings[r];
    if (ring.length !== local.length) return false;
    for (let i = 0; i < ring.length; i++) {
      const u = ring[i][0] - p.x, v = ring[i][1] - p.y;
      if (Math.abs(m * (c * u - s * v) - local[i][0]) > tolerance || Math.abs(s * u + c * v - local[i][1]) > tolerance) return false;
    }
  }
  return true;
}
function kindOf(p, digits) {
  const tolerance = Math.pow(10, -digits) / 2;
  const known = kinds.get(p.name) || [];
  const found = known.find((k) => k.digits === digits && isKind(p, k, tolerance));
  if (found) return found;
  const rings = [p.outer, ...p.holes].map((r) => unplace(p, r));
  const b = bounds([rings[0]]), w = b[2] - b[0], h = b[3] - b[1];
  const d = rings.map((r) => r.length ? "M" + r.map(([x, y]) => `${x.toFixed(digits)} ${y.toFixed(digits)}`).join("L") + "Z" : "").join("");
  // The name fits the part's box: about 0.6 of the font size per letter.
  const font = Math.min(0.5 * h, 0.9 * w / (0.6 * Math.max(String(p.name).length, 1)));
  const kind = {name: p.name, digits, rings, d, font, title: esc(p.name), cx: (b[0] + b[2]) / 2, cy: (b[1] + b[3]) / 2};
  known.push(kind);
  kinds.set(p.name, known);
  return kind;
}
function poseOf(p, digits) {
  return `translate(${p.x.toFixed(digits)} ${p.y.toFixed(digits)})` + (p.rotation ? ` rotate(${+p.rotation.toFixed(6)})` : "") +
    (p.mirrored ? " scale(-1 1)" : "");
}
// Where a kind's label point lands on the sheet, in the drawing's coordinates (Y down).
function labelPoint(kind, p, flip) {
  const a = p.rotation * Math.PI / 180, c = Math.cos(a), s = Math.sin(a), x = p.mirrored ? -kind.cx : kind.cx;
  return [p.x + c * x - s * kind.cy, flip - (p.y + s * x + c * kind.cy)];
}
// The labels of a sheet's parts that are at least a few pixels tall and in view (each part keeps
// its name in its title in any case).
const kLabelPixels = 5;
function drawLabels(view) {
  view.labelsPending = false;
  const box = view.svg.viewBox.baseVal, scale = view.screenWidth / box.width;
  let html = "";
  if (scale > 0) {
    for (let i = 0; i < view.placed.length; i++) {
      const kind = view.kinds[i];
      const font = Math.min(kind.font, view.maxFont);
      if (font * scale < kLabelPixels) continue;
      const [x, y] = labelPoint(kind, view.placed[i], view.flip);
      if (x < box.x || x > box.x + box.width || y < box.y || y > box.y + box.height) continue;
      html += `<text class="label" x="${x.toFixed(view.digits)}" y="${y.toFixed(view.digits)}" font-size="${font.toFixed(view.digits)}">${kind.title}</text>`;
    }
  }
  if (html !== view.labelsHtml) { view.labels.innerHTML = html; view.labelsHtml = html; }
}
function labelsSoon(view) {
  if (view.labelsPending) return;
  view.labelsPending = true;
  requestAnimationFrame(() => drawLabels(view));
}
// One sheet's drawing, kept from one redraw to the next: its frame, the parts (each a path of its
// kind's outline with a transform; flipped so that Y grows upward) and the labels.
function sheetView(n) {
  const svg = document.createElementNS(SVGNS, "svg");
  svg.dataset.sheet = n;
  svg.innerHTML = '<rect class="sheet"/><g class="parts"></g><g class="labels"></g>' +
    '<line class="packed"><title></title></line>';
  const view = {n, svg, sheet: svg.children[0], parts: svg.children[1], labels: svg.children[2],
    packed: svg.children[3], elements: [], kinds: [], poses: [], placed: [], home: "", flip: NaN,
    digits: -1, maxFont: 0, screenWidth: 0, labelsHtml: "", labelsPending: false};
  zoomable(view);
  return view;
}
function updateSheet(view, parts, result, count) {
  const [vl, vw, L, W] = sheetSize(view.n, parts, result);
  const fig = result && (result.sheet_figures || []).find((s) => s.sheet === view.n);
  const packed = fig ? fig.length : (result && result.figures && count === 1 ? result.figures.length : bounds(parts.map((p) => p.outer))[2]);
  const pad = Math.max(vl, vw) * 0.02;
  // Coordinates to a hundred-thousandth of the sheet: finer than any zoom shows.
  const digits = Math.min(6, Math.max(0, Math.ceil(-Math.log10(Math.max(vl, vw) / 1e5))));
  const home = `${-pad} ${-pad} ${vl + 2 * pad} ${vw + 2 * pad}`;
  // The viewer's zoom stays unless it is the sheet's whole view.
  if (!view.home || view.svg.getAttribute("viewBox") === view.home) view.svg.setAttribute("viewBox", home);
  view.home = home;
  view.svg.dataset.home = home;
  if (vw !== view.flip) view.parts.setAttribute("transform", `matrix(1 0 0 -1 0 ${vw})`);
  view.flip = vw;
  view.maxFont = Math.max(vl, vw) / 80;
  if (digits !== view.digits) {  // every part drawn anew at the new precision
    view.digits = digits;
    view.elements.forEach((e) => e.remove());
    view.elements = []; view.kinds = []; view.poses = [];
  }
  for (const [key, value] of Object.entries({x: 0, y: vw - W, width: L, height: W})) view.sheet.setAttribute(key, value);
  for (const [key, value] of Object.entries({x1: packed, y1: -pad, x2: packed, y2: vw + pad})) view.packed.setAttribute(key, value);
  view.packed.firstChild.textContent = `packed length ${fmt(packed)}`;
  // The first drawing as one string, the next ones part by part where a part moved or changed.
  const added = [];
  for (let i = 0; i < parts.length; i++) {
    const p = parts[i], kind = kindOf(p, digits), pose = poseOf(p, digits);
    if (i >= view.elements.length) {
      added.push(`<path class="part" d="${kind.d}" transform="${pose}"><title>${kind.title}</title></path>`);
    } else {
      const element = view.elements[i];
      if (view.kinds[i] !== kind) {
        element.setAttribute("d", kind.d);
        element.firstChild.textContent = kind.name;
      }
      if (view.poses[i] !== pose) element.setAttribute("transform", pose);
    }
    view.kinds[i] = kind; view.poses[i] = pose;
  }
  if (added.length && !view.elements.length) {
    view.parts.innerHTML = added.join("");
    view.elements = [...view.parts.children];
  } else if (added.length) {
    const holder = document.createElementNS(SVGNS, "g");
    holder.innerHTML = added.join("");
    view.elements.push(...holder.children);
    view.parts.append(...holder.children);
  }
  for (const element of view.elements.splice(parts.length)) element.remove();
  view.kinds.length = parts.length; view.poses.length = parts.length;
  view.placed = parts;
  labelsSoon(view);
}
let shownSheet = 1;
const views = new Map();  // sheet number -> its drawing
function drawLayout(placements, result) {
  const started = performance.now();
  const sheets = new Map();
  for (const p of placements) { if (!sheets.has(p.sheet)) sheets.set(p.sheet, []); sheets.get(p.sheet).push(p); }
  const numbers = [...sheets.keys()].sort((a, b) => a - b);
  if (!numbers.includes(shownSheet)) shownSheet = numbers[0] || 1;
  for (const [n, view] of views) if (!sheets.has(n)) { dropView(view); views.delete(n); }
  let tabs = "";
  for (const n of numbers) {
    if (!views.has(n)) views.set(n, sheetView(n));
    const view = views.get(n), parts = sheets.get(n);
    updateSheet(view, parts, result, numbers.length);
    view.svg.style.display = n === shownSheet ? "" : "none";
    tabs += `<button type="button" data-sheet="${n}" class="${n === shownSheet ? "on" : ""}">Sheet ${n} (${parts.length})</button>`;
  }
  const layout = $("layout");
  numbers.forEach((n, i) => { if (layout.children[i] !== views.get(n).svg) layout.insertBefore(views.get(n).svg, layout.children[i] || null); });
  if (numbers.length < 2) tabs = "";
  if ($("tabs").dataset.html !== tabs) {
    $("tabs").innerHTML = tabs;
    $("tabs").dataset.html = tabs;
    for (const b of $("tabs").querySelectorAll("button")) b.addEventListener("click", () => {
      shownSheet = Number(b.dataset.sheet);
      for (const [n, view] of views) view.svg.style.display = n === shownSheet ? "" : "none";
      for (const t of $("tabs").querySelectorAll("button")) t.className = t === b ? "on" : "";
    });
  }
  void layout.getBoundingClientRect();  // the layout computed, for an honest figure
  const draw = {at: started, ms: performance.now() - started, parts: placements.length, final: !!result,
                moves: window.searchMoves};
  window.layoutDraws.push(draw);
  // Painted by the frame after next: that time too.
  requestAnimationFrame(() => requestAnimationFrame(() => { draw.painted = performance.now() - started; }));
}
function dropView(view) {
  view.resize.disconnect();
  view.svg.remove();
}
// Forgets the drawings of the last job.
function clearLayout() {
  for (const view of views.values()) dropView(view);
  views.clear();
  kinds = new Map();
  $("layout").innerHTML = ""; $("tabs").innerHTML = ""; $("tabs").dataset.html = "";
}
// Draws the newest layout at the next frame; one that comes before then replaces it unseen.
let pendingLayout = null;
function showLayout(placements, result) {
  const first = pendingLayout === null;
  pendingLayout = [placements, result];
  if (first) requestAnimationFrame(() => { const [p, r] = pendingLayout; pendingLayout = null; drawLayout(p, r); });
}
function sheetFigures(result) {
  const f = result.figures;
  if (!f) return "";
  const rows = result.sheet_figures && result.sheet_figures.length ? result.sheet_figures :
    [{sheet: 1, kind: "", length: f.length, density: f.density, parts: f.parts_placed,
      area: f.length * Number(result.sheet ? result.sheet.width : $("width").value) * f.density / 100}];
  let total = 0;
  const lines = rows.map((s) => {
    const width = s.sheet_width > 0 ? s.sheet_width : result.sheet ? result.sheet.width : Number($("width").value);
    const used = s.length * width;
    let line = `Sheet ${s.sheet}${s.kind ? " (" + s.kind + ")" : ""}: density ${s.density.toFixed(2)}%, ` +
      `${s.parts} parts, area used ${fmt(s.area)}, scrap ${fmt(Math.max(0, used - s.area))} of the packed length ${fmt(s.length)}`;
    if (s.cost !== undefined) { line += `, cost ${fmt(s.cost)}`; total += s.cost; }
    return line;
  });
  if (rows.some((s) => s.cost !== undefined)) lines.push(`Cost of the sheets used: ${fmt(total)}`);
  return lines.join("\n");
}
// A run's lines in the page's words where they name the command line's sheet option.
function pageWords(line) {
  return line.replace("give it with --sheet LENGTHxWIDTH", "set the sheet's Length and Width")
    .replace(/--sheet (\S+) replaces/, "the sheet $1 set on the page replaces");
}
async function finish() {
  const info = await (await fetch(`/api/jobs/${job}`)).json();
  $("stop").disabled = true; $("start").disabled = false;
  $("messages").textContent = (info.messages || []).map(pageWords).join("\n");
  const result = info.result || {};
  finalResult = result;
  if (info.state === "failed" && !result.figures) $("figures").textContent = "failed: the reason is below";
  if (result.figures) {
    const f = result.figures;
    $("figures").textContent = `${info.state}: ${lengthName(f.sheets)} ${f.length.toFixed(2)}, density ` +
      `${f.density.toFixed(2)}%, ${f.parts_placed} parts placed, ${f.sheets} sheet(s)` +
      (result.cut_short ? " (stopped: the best layout found)" : "");
    showLayout(result.placements, result);
    $("sheetfigures").textContent = sheetFigures(result);
  }
  // Copies left off for one reason are named once, with their number.
  const leftOff = new Map();
  for (const p of result.left_off || []) {
    const key = JSON.stringify([p.name, p.reason]);
    leftOff.set(key, (leftOff.get(key) || 0) + 1);
  }
  $("leftoff").textContent = leftOff.size ? "Left off: " + [...leftOff].map(([key, n]) => {
    const [name, reason] = JSON.parse(key);
    return `${name}${n > 1 ? " x" + n : ""} (${reason})`;
  }).join(", ") : "";
  $("downloads").innerHTML = "";
  // The cut files first, by sheet, then the rest, each said what it is.
  const sheetOf = (n) => Number((/^cut-(\d+)\.dxf$/.exec(n) || [0, 0])[1]);
  const cuts = info.files.filter((n) => /^cut(-\d+)?\.dxf$/.test(n)).sort((a, b) => sheetOf(a) - sheetOf(b));
  const links = cuts.length ? ["cut-files.zip", ...cuts] : [];
  links.push(...info.files.filter((n) => /\.(dxf|txt|json|svg)$/.test(n) && !cuts.includes(n)));
  const what = (n) => n === "cut-files.zip" ? "every cut file" : sheetOf(n) ? `to cut sheet ${sheetOf(n)}` :
    n === "cut.dxf" ? "to cut the sheet" : {"Layout.dxf": "the whole layout", "Results.txt": "the report",
      "layout.svg": "the picture", "placements.json": "where each part lies", "remnant.dxf": "the remnant left over"}[n];
  if (links.length) $("downloads").append("Downloads: ");
  for (const name of links) {
    const a = document.createElement("a");
    a.href = name === "cut-files.zip" ? `/api/jobs/${job}/cut-files.zip` : `/api/jobs/${job}/files/${encodeURIComponent(name)}`;
    a.download = name; a.textContent = name; a.className = "download";
    $("downloads").append(a, what(name) ? ` (${what(name)}) ` : " ");
  }
}
$("start").addEventListener("click", async () => {
  if (!$("files").files.length) { $("messages").textContent = "Choose the parts' files first."; return; }
  const form = new FormData();
  for (const f of $("files").files) form.append("files", f, f.name);
  if ($("sheetfile").files.length) form.append("sheet", $("sheetfile").files[0], $("sheetfile").files[0].name);
  for (const f of $("stockfiles").files) form.append("stock_files", f, f.name);
  const settings = Object.assign(settingsForReading(), {rows: rowsSettings(), mirror: $("mirror").checked});
  for (const key of ["length", "width", "sheets", "spacing", "margin", "seconds"]) settings[key] = Number($(key).value);
  settings.stock = [...document.querySelectorAll("tr.stockrow")].map((r) => ({
    length: Number(r.querySelector(".slength").value), width: Number(r.querySelector(".swidth").value),
    file: r.querySelector(".sfile").value.trim(), count: Number(r.querySelector(".scount").value),
    cost: Number(r.querySelector(".scost").value)}));
  if (settings.stock.length) delete settings.sheets;  // the stock chooses the sheets and their number
  form.append("settings", JSON.stringify(settings));
  $("messages").textContent = ""; clearLayout();
  $("downloads").innerHTML = ""; $("sheetfigures").textContent = ""; $("leftoff").textContent = "";
  window.layoutDraws = []; window.searchMoves = 0;
  const answer = await fetch("/api/jobs", {method: "POST", body: form});
  const body = await answer.json();
  if (!answer.ok) { $("messages").textContent = body.error; return; }
  job = body.id; $("start").disabled = true; $("stop").disabled = false;
  events = new EventSource(`/api/jobs/${job}/events`);
  events.onmessage = (e) => {
    const data = JSON.parse(e.data);
    show(data.progress, data.state);
    if (data.progress) window.searchMoves = data.progress.moves;  // > 0: the overlap phase's
    if (data.layout) showLayout(data.layout, null);
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
