// The development host page: creates one engine control for this page (through the server's
// WebSocket), forwards the mouse and key events of its documents to it and carries out what
// the engine does to the page. The engine runs in the server; this script only answers the
// reads that need the browser (scroll positions, heights, anchor offsets, the pointer).
"use strict";

// Chapter counts of the 66 books, for the chapter chooser.
const CHAPTERS = [50, 40, 27, 36, 34, 24, 21, 4, 31, 24, 22, 25, 29, 36, 10, 13, 10, 42, 150,
  31, 12, 8, 66, 52, 5, 48, 12, 14, 3, 9, 1, 4, 7, 3, 3, 3, 2, 14, 4, 28, 16, 24, 21, 28, 16,
  16, 13, 6, 6, 4, 4, 5, 3, 6, 4, 3, 1, 13, 5, 5, 3, 5, 1, 1, 1, 22];
// Tags whose inner text and HTML the engine may read (the elements that can get a popup).
const ACTIVE_TAGS = new Set(["A", "U", "B", "S", "SUP"]);
// Settings offered in the settings panel (read and written through getcfg).
const SETTINGS = [
  ["OPENDELAYTIME=", "弹出延迟 (ms)"], ["CLOSEDELAYTIME=", "关闭延迟 (ms)"],
  ["READMODEL=", "阅读版式"], ["EXTENDNOTE=", "注释级别 (0-3)"], ["SCROLLSPEED=", "滚动间隔 (ms)"],
  ["MAXSEARCH=", "查找上限"], ["TUPER=", "图片比例"], ["MAXWINDOWWIDTH=", "弹出窗宽度比例"]];
const COLOR_NAMES = ["经文弹出", "日程弹出", "粗体注释", "下划线注释", "资料弹出", "章节页面"];

const $ = (id) => document.getElementById(id);
const contentFrame = $("content");
const resultFrame = $("result");
const popupBox = $("popup");
const popupFrame = $("popupFrame");

// What tests and the status line look at.
const devhost = window.devhost = {
  ready: false, connected: false, fixCount: 0, calls: 0,
  lastOverAt: 0, popupShownAt: 0, popupHiddenAt: 0, version: "",
};

let socket = null;
let nextSeq = 0;
const pending = new Map();   // call seq -> {resolve, element}
let pointer = { x: 0, y: 0 };
let messageChain = Promise.resolve();

// ---- the connection ------------------------------------------------------------------------

function connect() {
  socket = new WebSocket(`ws://${location.host}/ws`);
  socket.onopen = start;
  socket.onmessage = (event) => {
    let message;
    try { message = JSON.parse(event.data); } catch (e) { return; }
    // Messages are handled strictly one after the other, in the order they came.
    messageChain = messageChain.then(() => handle(message)).catch((e) => console.error(e));
  };
  socket.onclose = () => {
    devhost.connected = false;
    $("connection").textContent = "已断开";
    for (const waiting of pending.values()) waiting.resolve({ result: -1, cancelled: false });
    pending.clear();
  };
}

// Calls a method of the control; resolves with {result, cancelled, value}.
function call(method, args = {}, ev = null, element = null) {
  if (!socket || socket.readyState !== WebSocket.OPEN) {
    return Promise.resolve({ result: -1, cancelled: false });
  }
  const seq = ++nextSeq;
  devhost.calls++;
  return new Promise((resolve) => {
    pending.set(seq, { resolve, element });
    socket.send(JSON.stringify({ call: method, seq, args, ev, maxCharWidth: devhost.maxCharWidth }));
  });
}

function send(message) {
  if (socket && socket.readyState === WebSocket.OPEN) socket.send(JSON.stringify(message));
}

// ---- documents -----------------------------------------------------------------------------

function docOf(win) {
  const frame = win === "result" ? resultFrame : contentFrame;
  return frame.contentDocument;
}
function frameOf(win) { return win === "result" ? resultFrame : contentFrame; }
function popupDoc() { return popupFrame.contentDocument; }

function loaded(frame) {
  return new Promise((resolve) => {
    const doc = frame.contentDocument;
    if (doc && doc.readyState === "complete" && doc.body && doc.location.href !== "about:blank") {
      resolve();
    } else {
      frame.addEventListener("load", () => resolve(), { once: true });
    }
  });
}

// The widest character of the page's font, as the engine sizes its popups by it.
function measureCharWidth(doc) {
  const span = doc.createElement("span");
  span.textContent = "国";
  span.style.position = "absolute";
  span.style.visibility = "hidden";
  doc.body.appendChild(span);
  const width = Math.round(span.getBoundingClientRect().width);
  span.remove();
  return width || 16;
}

// ---- what the engine does to the page --------------------------------------------------------

function anchorChain(doc, name) {
  let anchor = null;
  for (const a of doc.anchors) {
    if (a.name === name) { anchor = a; break; }
  }
  if (!anchor) return [];
  const chain = [];
  for (let el = anchor; el; el = el.offsetParent) {
    chain.push({ tag: el.tagName, top: el.offsetTop });
    if (el === doc.body) break;
  }
  return chain;
}

function runIn(win, code) {
  try { win.eval(code); } catch (e) { console.warn("script:", e); }
}

function showPopup() {
  popupBox.hidden = false;
  devhost.popupShownAt = performance.now();
}

function hidePopup() {
  if (!popupBox.hidden) devhost.popupHiddenAt = performance.now();
  popupBox.hidden = true;
}

function chooseColor(rgb) {
  return new Promise((resolve) => {
    $("colorValue").value = "#" + (rgb & 0xFFFFFF).toString(16).padStart(6, "0");
    $("colorDialog").hidden = false;
    const done = (value) => {
      $("colorDialog").hidden = true;
      $("colorOk").onclick = $("colorCancel").onclick = null;
      resolve(value);
    };
    $("colorOk").onclick = () => done(parseInt($("colorValue").value.slice(1), 16));
    $("colorCancel").onclick = () => done(null);
  });
}

async function handle(message) {
  if (message.done !== undefined) {
    const waiting = pending.get(message.done);
    pending.delete(message.done);
    if (waiting) waiting.resolve(message);
    return;
  }
  const doc = message.win ? docOf(message.win) : null;
  const win = message.win ? frameOf(message.win).contentWindow : null;
  let value = null;
  switch (message.op) {
    // the page's windows
    case "charset": break;
    case "styleHref": {
      const link = doc.querySelector("link[rel=stylesheet]");
      if (link) link.setAttribute("href", message.href);
      break;
    }
    case "bgColor": doc.bgColor = message.color; break;
    case "body": doc.body.innerHTML = message.html; break;
    case "bodyHeight": value = win.innerHeight; break;
    case "scrollTop": value = Math.round(doc.body.scrollTop); break;
    case "setScrollTop": doc.body.scrollTop = message.value; break;
    case "anchor": value = anchorChain(doc, message.name); break;
    case "scrollTo": win.scrollTo(message.x, message.y); break;
    case "scrollBy": win.scrollBy(message.x, message.y); break;
    case "script":
      // The engine's scripts for the reading window ("fix()") belong to the host page.
      runIn(message.win === "main" ? window : win, message.code);
      break;
    case "focus": if (message.win === "main") win.focus(); break;
    case "caption": document.title = message.text; break;
    case "cursor": value = { x: Math.round(pointer.x), y: Math.round(pointer.y) }; break;
    case "sourceText": {
      const waiting = pending.get(message.seq);
      if (waiting && waiting.element) waiting.element.innerText = message.text;
      break;
    }
    case "chooseColor": value = await chooseColor(message.rgb); break;
    // the popup
    case "popupCreate": popupBox.classList.toggle("picture", !!message.picture); break;
    case "popupShow": showPopup(); break;
    case "popupHide": hidePopup(); popupBox.classList.remove("pinned"); break;
    case "popupMove":
      popupBox.style.left = message.left + "px";
      popupBox.style.top = message.top + "px";
      popupBox.style.width = Math.max(message.width, 0) + "px";
      popupBox.style.height = Math.max(message.height, 0) + "px";
      break;
    case "popupCaption": popupBox.classList.toggle("pinned", !!message.caption); break;
    case "popupCharset": break;
    case "popupBody": popupDoc().body.innerHTML = message.html; break;
    case "popupBgColor": popupDoc().bgColor = message.color; break;
    case "popupMeasure": {
      // A hidden panel keeps its layout (it is only invisible), so it measures as shown.
      const body = popupDoc().body;
      body.scrollTop = 0;
      value = body.scrollHeight;
      break;
    }
    case "popupScrollTo": popupFrame.contentWindow.scrollTo(message.x, message.y); break;
    case "popupScript": runIn(popupFrame.contentWindow, message.code); break;
    default: break;
  }
  if (message.req !== undefined) send({ reply: message.req, value });
}

// ---- events forwarded to the engine ------------------------------------------------------------

function snapshot(event, element, keyCode = 0) {
  const ev = {
    keyCode, altKey: event.altKey, ctrlKey: event.ctrlKey, shiftKey: event.shiftKey,
    button: event.button === 2 ? 2 : 0, screenWidth: window.innerWidth, screenHeight: window.innerHeight,
    src: null,
  };
  if (element) {
    const active = ACTIVE_TAGS.has(element.tagName);
    ev.src = {
      tagName: element.tagName, id: element.id, title: element.title || "",
      outerHTML: element.outerHTML,
      innerText: active ? element.innerText : "", innerHTML: active ? element.innerHTML : "",
    };
  }
  return ev;
}

function elementOf(event) {
  let node = event.target;
  while (node && node.nodeType !== 1) node = node.parentNode;
  return node;
}

function linkOf(element) {
  for (let el = element; el; el = el.parentElement) if (el.tagName === "A") return el;
  return null;
}

function trackPointer(frame) {
  return (event) => {
    const box = frame ? frame.getBoundingClientRect() : { left: 0, top: 0 };
    pointer = { x: box.left + event.clientX, y: box.top + event.clientY };
  };
}

function inInput(element) {
  return element && (element.tagName === "INPUT" || element.tagName === "SELECT" ||
                     element.tagName === "TEXTAREA");
}

// A click on an engine page or on the host's own links. Links never navigate the page by
// themselves: the engine opens pages, and a link the engine leaves alone is opened here.
async function forwardClick(event) {
  const element = elementOf(event);
  if (!element || inInput(element) || element.tagName === "BUTTON") return;
  const link = linkOf(element);
  if (link) event.preventDefault();
  trackPointer(event.view === window ? null : event.view.frameElement)(event);
  const reply = await call("MouseClick", {}, snapshot(event, element), element);
  if (link && !reply.cancelled && reply.result === 0) {
    const href = link.getAttribute("href") || "";
    if (/^(https?:|mailto:)/i.test(href) || /\.html?$/i.test(href)) window.open(link.href, "_blank");
  }
}

function forwardHover(method) {
  return (event) => {
    const element = elementOf(event);
    if (!element) return;
    trackPointer(event.view === window ? null : event.view.frameElement)(event);
    if (method === "MouseOver") devhost.lastOverAt = performance.now();
    call(method, {}, snapshot(event, element), element);
  };
}

// Keys go to pF10 with the typed character as key code ("+", "-", "*", "/", blank, and line
// feed for Ctrl+Enter).
function forwardKey(event) {
  const element = elementOf(event);
  if (inInput(element)) return;
  let code = 0;
  if (event.key === "Enter") code = event.ctrlKey ? 10 : 13;
  else if (event.key.length === 1) code = event.key.charCodeAt(0);
  if (!code) return;
  if ("+-*/ ".includes(event.key) || code === 10) event.preventDefault();
  call("pF10", {}, snapshot(event, element, code), element);
}

function attachDocument(frame) {
  const doc = frame.contentDocument;
  doc.addEventListener("mouseover", forwardHover("MouseOver"));
  doc.addEventListener("mouseout", forwardHover("MouseOut"));
  doc.addEventListener("mousemove", trackPointer(frame));
  doc.addEventListener("click", forwardClick);
  doc.addEventListener("keydown", forwardKey);
}

// ---- the host page's own controls ------------------------------------------------------------

// Run by the engine after each navigation by click: follows the title into the choosers.
window.fix = function fix() {
  devhost.fixCount++;
  syncChoosers();
};

function chapterKey(book, chapter) {
  return String(book).padStart(2, "0") + String(chapter).padStart(3, "0");
}

function fillChapters() {
  const book = Number($("book").value) || 1;
  const select = $("chapter");
  select.innerHTML = "";
  for (let c = 1; c <= CHAPTERS[book - 1]; c++) select.add(new Option(String(c), String(c)));
}

function syncChoosers() {
  const names = [...$("book").options].map((o) => o.text);
  const title = document.title;
  const book = names.findIndex((name) => name && title.includes(" - " + name + " "));
  if (book < 0) return;
  $("book").value = String(book + 1);
  fillChapters();
  const match = title.slice(title.indexOf(names[book]) + names[book].length).match(/(\d+)/);
  if (match) $("chapter").value = match[1];
}

async function openPage(key, position = "") {
  await call("openchahtm", { key, noLink: 0, position });
}

async function loadSettings() {
  const table = $("settingsTable");
  table.innerHTML = "";
  for (const [key, label] of SETTINGS) {
    const reply = await call("getcfg", { name: key });
    if (reply.value === undefined) continue;
    const row = table.insertRow();
    row.insertCell().textContent = label;
    const input = document.createElement("input");
    input.value = reply.value;
    input.size = 8;
    input.dataset.key = key;
    input.onchange = () => call("getcfg", { name: key + input.value });
    row.insertCell().appendChild(input);
  }
  const colors = $("colorTable");
  colors.innerHTML = "";
  for (let n = 0; n < COLOR_NAMES.length; n++) {
    const reply = await call("getcfg", { name: "CSSBGCOLOR=" + n });
    const row = colors.insertRow();
    row.insertCell().textContent = COLOR_NAMES[n];
    const input = document.createElement("input");
    input.type = "color";
    input.dataset.index = String(n);
    if (/^#[0-9a-f]{6}$/i.test(reply.value || "")) input.value = reply.value.toLowerCase();
    input.onchange = () => call("getcfg", { name: "CSSBGCOLOR=" + n + input.value.toUpperCase() });
    row.insertCell().appendChild(input);
    // The engine's own colour dialog: a two-character value opens it.
    const choose = document.createElement("button");
    choose.textContent = "…";
    choose.title = "颜色对话框";
    choose.onclick = async () => {
      const chosen = await call("getcfg", { name: "CSSBGCOLOR=" + n + "c" });
      if (/^#[0-9a-f]{6}$/i.test(chosen.value || "")) input.value = chosen.value.toLowerCase();
    };
    row.insertCell().appendChild(choose);
  }
}

function wireToolbar() {
  for (const link of document.querySelectorAll("#toolbar a")) link.addEventListener("click", forwardClick);
  $("book").onchange = fillChapters;
  $("go").onclick = () => openPage(chapterKey($("book").value, $("chapter").value));
  const search = () => {
    const word = $("word").value.trim();
    if (word) call("SearchWord", { word, noFind: $("exclude").value.trim(), extend: 1 });
  };
  $("search").onclick = search;
  $("word").addEventListener("keydown", (e) => { if (e.key === "Enter") search(); });
  $("date").valueAsDate = new Date();
  $("calendar").onclick = () =>
    call("GetWheel", { wd: "H" + ($("daily").checked ? "+" : "") + $("date").value });
  $("settingsButton").onclick = async () => { await loadSettings(); $("settings").hidden = false; };
  $("settingsClose").onclick = () => { $("settings").hidden = true; };
  $("about").onclick = () => openPage("0000000");
  popupBox.addEventListener("mouseenter", () => send({ popup: "frameEnter" }));
  $("popupClose").onclick = () => send({ popup: "close" });
  document.addEventListener("keydown", forwardKey);
  document.addEventListener("mousemove", trackPointer(null));
}

async function start() {
  devhost.connected = true;
  $("connection").textContent = "已连接";
  await Promise.all([loaded(contentFrame), loaded(resultFrame), loaded(popupFrame)]);
  devhost.maxCharWidth = measureCharWidth(contentFrame.contentDocument);
  await call("init", {
    url: contentFrame.contentDocument.URL, resultUrl: resultFrame.contentDocument.URL,
    title: document.title,
  });
  attachDocument(contentFrame);
  attachDocument(resultFrame);
  const names = await call("getcfg", { name: "CCNAME=" });
  const list = (names.value || "").split(",");
  for (let b = 1; b <= 66; b++) $("book").add(new Option(list[b - 1] || String(b), String(b)));
  fillChapters();
  const ver = await call("Ver");
  devhost.version = ver.value || "";
  $("version").textContent = devhost.version;
  // The page given after "#" (a chapter key, or any page key), Genesis 1 otherwise.
  const first = decodeURIComponent(location.hash.slice(1)) || "01001";
  await openPage(first);
  syncChoosers();
  devhost.ready = true;
}

// Scripts that drive the page (the browser tests) call the control through this.
devhost.call = call;

wireToolbar();
connect();
