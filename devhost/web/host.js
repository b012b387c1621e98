// The development host page: creates one engine control for this page (through the server's
// WebSocket), forwards the mouse and key events of its documents to it and carries out what
// the engine does to the page. The engine runs in the server; this script only answers the
// reads that need the browser (scroll positions, heights, anchor offsets, the pointer), keeps
// the address in step with the page (place.js), and plays the wheel song (song.js).
"use strict";

import { Connection } from "./connection.js";
import {
  anchorChain, elementOf, frameOffset, inInput, linkOf, loaded, measureCharWidth, rectInPage, snapshot,
} from "./dom.js";
import { FIRST_PLACE, PlaceHistory, chapterOf, samePlace } from "./place.js";
import { PopupPanel } from "./popup_panel.js";
import { ReadingPlan, SONG_MARK } from "./reading_plan.js";
import { SettingsPanel } from "./settings.js";
import { SongPlayer } from "./song.js";

// Chapter counts of the 66 books, for the chapter chooser.
const CHAPTERS = [50, 40, 27, 36, 34, 24, 21, 4, 31, 24, 22, 25, 29, 36, 10, 13, 10, 42, 150,
  31, 12, 8, 66, 52, 5, 48, 12, 14, 3, 9, 1, 4, 7, 3, 3, 3, 2, 14, 4, 28, 16, 24, 21, 28, 16,
  16, 13, 6, 6, 4, 4, 5, 3, 6, 4, 3, 1, 13, 5, 5, 3, 5, 1, 1, 1, 22];
// Vocabulary items (CMPSTR) the page uses: the wheel popup's tip word ends item 9; item 79
// names the language link.
const WORD_TIP_TITLE = 9;
const WORD_LANGUAGE_LINK = 79;
// The caption of the host's window, which the engine puts before the page's name.
const CAPTION = "quillax-devhost";
// How long a notice stays, ms.
const NOTICE_MS = 6000;
const NOT_DONE = "未能完成：与服务器的连接已断开，正在重新连接。请稍后再试。";

const $ = (id) => document.getElementById(id);
const contentFrame = $("content");
const resultFrame = $("result");

// What tests and the status line look at.
const devhost = window.devhost = {
  ready: false, connected: false, fixCount: 0, calls: 0, keysHandled: 0,
  lastOverAt: 0, popupShownAt: 0, popupHiddenAt: 0, version: "", place: null,
};

const places = new PlaceHistory();
const song = new SongPlayer($("songHint"));
devhost.song = song;
let pointer = { x: 0, y: 0 };
let vocabulary = [];
let restoring = false;            // the page being opened restores a place
let scrollBeforeBody = null;      // scroll position of the page a new body replaced
let topOnNextBody = false;        // the page being opened starts at its top
let focusedLink = null;           // a link that has the keyboard focus and its popup
let attached = false;
let opening = true;               // the first connection opens the addressed place
const sourceElements = new Map(); // call seq -> the element whose text the engine may set

const connection = new Connection({
  opened: () => start(),
  message: (message) => handle(message),
  sound: (message) => song.receive(message),
  state: (text, offline) => {
    devhost.connected = !offline;
    if (offline) {
      // The control behind the popup and the song is gone with the connection.
      devhost.ready = false;
      popup.hide();
      song.silence();
    }
    $("connection").textContent = text;
    $("status").classList.toggle("offline", offline);
    $("offline").hidden = !offline || !connection.everOpen;
  },
});

// ---- calls -------------------------------------------------------------------------------------

// Calls a method of the control. A reader's action (quiet unset) that cannot reach the engine
// is reported; a call that changed the page brings the address up to date.
async function call(method, args = {}, ev = null, element = null, { quiet = false } = {}) {
  const promise = connection.call(method, args, ev, { maxCharWidth: devhost.maxCharWidth });
  const seq = connection.nextSeq;
  if (element) sourceElements.set(seq, element);
  const reply = await promise;
  sourceElements.delete(seq);
  devhost.calls = connection.calls;
  if (reply.failed) {
    if (!quiet) notice(NOT_DONE);
    return reply;
  }
  if (reply.place) placeShown(reply.place);
  return reply;
}

function notice(text = NOT_DONE) {
  const box = $("notice");
  box.textContent = text;
  box.hidden = false;
  clearTimeout(notice.timer);
  notice.timer = setTimeout(() => { box.hidden = true; }, NOTICE_MS);
}

// ---- places: the page shown, the address and the browser's history ------------------------------

// The reading window shows place (the engine's answer to a call).
function placeShown(place) {
  places.shown(place, { restoring, scrollLeft: scrollBeforeBody });
  scrollBeforeBody = null;
  devhost.place = place;
  const chapter = chapterOf(place);
  if (chapter) {
    $("book").value = String(chapter.book);
    fillChapters();
    if (chapter.chapter > 0) $("chapter").value = String(chapter.chapter);
  }
  if (place.calendar !== undefined) plan.calendarShown(place);
  titlePage(place);
}

// The engine titles the window for chapters only; other pages are titled by their own first
// line (so the title shows the page's characters, simplified or traditional).
function titlePage(place) {
  const chapter = chapterOf(place);
  if (chapter && chapter.chapter > 0) return;
  const doc = contentFrame.contentDocument;
  const today = doc.querySelector("a.today");
  let name = "";
  if (place.calendar !== undefined && today) {
    name = today.innerText;
  } else {
    const bar = doc.querySelector(".linkctrl");
    const barText = bar ? bar.innerText.trim() : null;
    const lines = doc.body.innerText.split("\n").map((line) => line.trim()).filter(Boolean);
    name = lines.find((line) => line !== barText) || "";
  }
  document.title = CAPTION + " - " + name.replace(/\s+/g, " ").slice(0, 40);
}

// Opens a place: by its key, or the calendar of its date (a day page after it). restore:
// the place is an entry of the history being shown again (no new entry). rebuild: the
// engine builds the page afresh (after a change of characters or settings). top: the page
// opens at its top; scroll: where the page stands afterwards.
async function openPlace(place, { restore = false, rebuild = false, top = false, scroll = null } = {}) {
  restoring = restore;
  topOnNextBody = top;
  let reply;
  try {
    if (rebuild) await call("init", initArgs(), null, null, { quiet: true });
    if (place.key !== undefined) {
      reply = await call("openchahtm", { key: place.key, noLink: 0, position: place.position || "" });
    } else {
      const date = place.calendar !== undefined ? place.calendar : place.date;
      reply = await call("GetWheel", { wd: "H" + (place.daily ? "+" : "") + date });
      if (place.day !== undefined && !reply.failed) reply = await call("GetWheel", { wd: place.day });
    }
  } finally {
    restoring = false;
  }
  // The page shown already is only scrolled.
  if (topOnNextBody && !reply.failed) contentFrame.contentWindow.scrollTo(0, 0);
  topOnNextBody = false;
  if (scroll !== null && !reply.failed) contentFrame.contentWindow.scrollTo(0, scroll);
  return reply;
}

// The page shown, built again as it stands (characters, layout and colours as now set).
async function refreshPage() {
  if (!places.current) return;
  await openPlace(places.current, { restore: true, rebuild: true, scroll: contentFrame.contentWindow.scrollY });
}

window.addEventListener("popstate", () => {
  const place = places.addressed();
  if (!place) return;
  if (samePlace(place, places.current)) {
    const scroll = places.savedScroll();
    if (scroll !== null) contentFrame.contentWindow.scrollTo(0, scroll);
    return;
  }
  openPlace(place, { restore: true, scroll: places.savedScroll() });
});

// The scroll position of the page shown is kept in its history entry (at most every 300 ms
// while it moves; a new page saves the one being left at once).
function trackScroll() {
  let last = 0;
  let timer = 0;
  const save = () => {
    last = performance.now();
    timer = 0;
    places.scrolled(contentFrame.contentWindow.scrollY);
  };
  contentFrame.contentWindow.addEventListener("scroll", () => {
    if (timer) return;
    const wait = 300 - (performance.now() - last);
    if (wait <= 0) save(); else timer = setTimeout(save, wait);
  });
  window.addEventListener("popstate", () => { clearTimeout(timer); timer = 0; }, true);
}

// ---- what the engine does to the page --------------------------------------------------------

function docOf(win) { return (win === "result" ? resultFrame : contentFrame).contentDocument; }
function frameOf(win) { return win === "result" ? resultFrame : contentFrame; }

function runIn(win, code) {
  try { win.eval(code); } catch (e) { console.warn("script:", e); }
}

// The reading calendar's date link shows the wheel popup: like the page's own wheel control,
// leaving it stops the song when the popup hides.
function markSongLinks(doc) {
  for (const link of doc.querySelectorAll("a.today")) link.dataset.engineTitle = link.title + " " + SONG_MARK;
}

async function handle(message) {
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
    case "body":
      if (message.win === "main") scrollBeforeBody = win.scrollY;
      doc.body.innerHTML = message.html;
      markSongLinks(doc);
      if (message.win === "main" && topOnNextBody) {
        topOnNextBody = false;
        win.scrollTo(0, 0);
      }
      break;
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
      const element = sourceElements.get(message.seq);
      if (element) element.innerText = message.text;
      break;
    }
    case "chooseColor": value = await settings.chooseColor(message.rgb); break;
    default:
      if (message.op && message.op.startsWith("popup")) value = popup.handle(message);
      break;
  }
  if (message.req !== undefined) connection.send({ reply: message.req, value });
}

// ---- events forwarded to the engine ------------------------------------------------------------

function trackPointer(frame, event) {
  const box = frameOffset(frame);
  pointer = { x: box.left + event.clientX, y: box.top + event.clientY };
}

// The element whose popup the engine is asked for.
function hovered(element, frame) {
  devhost.lastOverAt = performance.now();
  popup.hoverRect = rectInPage(element, frame);
}

// Whether a click on this link toggles simplified and traditional characters.
function isLanguageLink(link) {
  const href = (link.getAttribute("href") || "").split("/").pop().toLowerCase();
  const name = (vocabulary[WORD_LANGUAGE_LINK] || "fanjian").toLowerCase();
  return href !== "" && name.startsWith(href);
}

// A click on an engine page or on the host's own links. Links never navigate the page by
// themselves: the engine opens pages, and a link the engine leaves alone is opened here.
async function forwardClick(event) {
  const element = elementOf(event);
  if (!element || inInput(element) || element.tagName === "BUTTON") return;
  const link = linkOf(element);
  if (link) event.preventDefault();
  trackPointer(event.view === window ? null : event.view.frameElement, event);
  const reply = await call("MouseClick", {}, snapshot(event, element), element, { quiet: !link });
  if (reply.failed) return;
  if (link && isLanguageLink(link)) {
    await languageChanged();
  } else if (link && !reply.cancelled && reply.result === 0) {
    const href = link.getAttribute("href") || "";
    if (/^(https?:|mailto:)/i.test(href) || /\.html?$/i.test(href)) window.open(link.href, "_blank");
  }
}

function forwardHover(method, frame) {
  return (event) => {
    const element = elementOf(event);
    if (!element) return;
    trackPointer(frame, event);
    if (method === "MouseOver") hovered(element, frame);
    call(method, {}, snapshot(event, element), element, { quiet: true });
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
  call("pF10", {}, snapshot(event, element, code), element, { quiet: true })
    .then(() => { devhost.keysHandled++; });
}

// A link reached with the keyboard gets its popup as if the mouse rested on it, and loses it
// as the focus moves on.
function forwardFocus(frame) {
  return (event) => {
    const link = elementOf(event);
    if (event.type === "focusout") {
      if (!link || link !== focusedLink) return;
      focusedLink = null;
      call("MouseOut", {}, snapshot(event, link), link, { quiet: true });
      return;
    }
    if (!link || link.tagName !== "A" || !link.matches(":focus-visible")) return;
    focusedLink = link;
    const rect = rectInPage(link, frame);
    pointer = { x: rect.left + 4, y: rect.bottom - 4 };
    hovered(link, frame);
    call("MouseOver", {}, snapshot(event, link), link, { quiet: true });
  };
}

// The reader's first click or key lets the page make sound.
function listenForInteraction(target) {
  const interact = (event) => { if (event.isTrusted) song.interact(); };
  target.addEventListener("pointerdown", interact, true);
  target.addEventListener("keydown", interact, true);
}

function attachDocument(frame) {
  const doc = frame.contentDocument;
  doc.addEventListener("mouseover", forwardHover("MouseOver", frame));
  doc.addEventListener("mouseout", forwardHover("MouseOut", frame));
  doc.addEventListener("mousemove", (event) => trackPointer(frame, event));
  doc.addEventListener("click", forwardClick);
  doc.addEventListener("keydown", forwardKey);
  doc.addEventListener("focusin", forwardFocus(frame));
  doc.addEventListener("focusout", forwardFocus(frame));
  listenForInteraction(doc);
}

// ---- the host page's own controls ------------------------------------------------------------

// Run by the engine after each navigation by click.
window.fix = function fix() {
  devhost.fixCount++;
};

function initArgs() {
  return { url: contentFrame.contentDocument.URL, resultUrl: resultFrame.contentDocument.URL,
    title: CAPTION };
}

function chapterKey(book, chapter) {
  return String(book).padStart(2, "0") + String(chapter).padStart(3, "0");
}

function fillChapters() {
  const book = Number($("book").value) || 1;
  const select = $("chapter");
  const chosen = select.value;
  if (select.options.length === CHAPTERS[book - 1] && select.dataset.book === String(book)) return;
  select.innerHTML = "";
  select.dataset.book = String(book);
  for (let c = 1; c <= CHAPTERS[book - 1]; c++) select.add(new Option(String(c), String(c)));
  select.value = Number(chosen) >= 1 && Number(chosen) <= CHAPTERS[book - 1] ? chosen : "1";
}

// The book names as the engine gives them: in traditional characters while they are shown.
async function loadBookNames() {
  const names = await call("getcfg", { name: "CCNAME=" }, null, null, { quiet: true });
  const list = (names.value || "").split(",");
  const select = $("book");
  const chosen = select.value || "1";
  for (let b = 1; b <= 66; b++) {
    const text = list[b - 1] || String(b);
    if (select.options.length < b) select.add(new Option(text, String(b)));
    else select.options[b - 1].text = text;
  }
  select.value = chosen;
  fillChapters();
}

async function loadVocabulary() {
  const reply = await call("getcfg", { name: "CMPSTR=" }, null, null, { quiet: true });
  vocabulary = (reply.value || "").split(",");
}

// The characters shown: the language link offers the other way back.
async function loadLanguage() {
  const reply = await call("getcfg", { name: "USEGBK=" }, null, null, { quiet: true });
  const traditional = String(reply.value || "").startsWith("1");
  $("language").textContent = traditional ? "简体" : "繁体";
  devhost.traditional = traditional;
}

// After a switch of characters everything the engine wrote follows: the page (built again,
// with its links and title) and the book names; the server rewrites the result pane.
async function languageChanged() {
  await loadLanguage();
  await loadVocabulary();
  await loadBookNames();
  await refreshPage();
}

async function search() {
  const word = $("word").value.trim();
  if (word) await call("SearchWord", { word, noFind: $("exclude").value.trim(), extend: 1 });
}

function wireToolbar() {
  for (const link of document.querySelectorAll("#toolbar a")) link.addEventListener("click", forwardClick);
  $("book").onchange = fillChapters;
  // A chapter chosen here opens at its top.
  $("go").onclick = () =>
    openPlace({ key: chapterKey($("book").value, $("chapter").value), position: "" }, { top: true });
  $("search").onclick = search;
  $("word").addEventListener("keydown", (e) => { if (e.key === "Enter") search(); });
  plan.wheel.addEventListener("mouseover", forwardHover("MouseOver", null));
  plan.wheel.addEventListener("mouseout", forwardHover("MouseOut", null));
  $("about").onclick = () => openPlace({ key: "0000000", position: "" }, { top: true });
  $("popupClose").onclick = () => connection.send({ popup: "close" });
  document.addEventListener("keydown", forwardKey);
  document.addEventListener("mousemove", (event) => trackPointer(null, event));
  listenForInteraction(document);
}

const popup = new PopupPanel($("popup"), $("popupFrame"), {
  call, devhost, hovered,
  send: (message) => connection.send(message),
  pointer: trackPointer,
});
const plan = new ReadingPlan({
  devhost, notice, openPlace,
  query: (name, args) => connection.query(name, args),
  tipWord: () => (vocabulary[WORD_TIP_TITLE] || "").slice(-2),
});
const settings = new SettingsPanel((method, args) => call(method, args), () => refreshPage());

// ---- start and restart ------------------------------------------------------------------------

// Runs on every connection: a new control for this page, then the page it showed (or, the
// first time, the page the address names).
async function start() {
  const frames = [contentFrame, resultFrame, $("popupFrame")];
  await Promise.all(frames.map(loaded));
  if (!attached) {
    attached = true;
    attachDocument(contentFrame);
    attachDocument(resultFrame);
    popup.attach();
    listenForInteraction(popup.doc);
    trackScroll();
  }
  devhost.maxCharWidth = measureCharWidth(contentFrame.contentDocument);
  await call("init", initArgs(), null, null, { quiet: true });
  await loadVocabulary();
  await loadLanguage();
  await loadBookNames();
  const ver = await call("Ver", {}, null, null, { quiet: true });
  devhost.version = ver.value || "";
  $("version").textContent = devhost.version;
  let place = places.current || FIRST_PLACE;
  let scroll = contentFrame.contentWindow.scrollY;
  if (opening) {
    place = places.addressed() || FIRST_PLACE;
    scroll = places.savedScroll();
  }
  await openPlace(place, { restore: true, scroll });
  opening = false;
  await plan.dateChanged();
  devhost.ready = connection.open;
}

// Scripts that drive the page (the browser tests) call the control through this.
devhost.call = (method, args) => call(method, args, null, null, { quiet: true });
devhost.query = (name, args) => connection.query(name, args);

wireToolbar();
connection.connect();
