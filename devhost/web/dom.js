// What the host page reads of its documents for the engine: the snapshot of an event and its
// element (the engine reads the browser's current event from it), where elements lie, the
// offsets of a verse anchor, and the width of the page's characters.
"use strict";

// Tags whose inner text and HTML the engine may read (the elements that can get a popup).
export const ACTIVE_TAGS = new Set(["A", "U", "B", "S", "SUP"]);
// Space kept above a verse the engine scrolls to, px.
const ANCHOR_MARGIN = 4;

// The event as the engine reads it, taken while it is current.
export function snapshot(event, element, keyCode = 0) {
  const ev = {
    keyCode, altKey: !!event.altKey, ctrlKey: !!event.ctrlKey, shiftKey: !!event.shiftKey,
    button: event.button === 2 ? 2 : 0, screenWidth: window.innerWidth, screenHeight: window.innerHeight,
    src: null,
  };
  if (element) {
    const active = ACTIVE_TAGS.has(element.tagName);
    ev.src = {
      tagName: element.tagName, id: element.id,
      // An element may carry the title the engine reads apart from the one the reader sees.
      title: element.dataset.engineTitle || element.title || "",
      outerHTML: element.outerHTML,
      innerText: active ? element.innerText : "", innerHTML: active ? element.innerHTML : "",
    };
  }
  return ev;
}

export function elementOf(event) {
  let node = event.target;
  while (node && node.nodeType !== 1) node = node.parentNode;
  return node;
}

export function linkOf(element) {
  for (let el = element; el; el = el.parentElement) if (el.tagName === "A") return el;
  return null;
}

export function inInput(element) {
  return !!element && (element.tagName === "INPUT" || element.tagName === "SELECT" ||
                       element.tagName === "TEXTAREA");
}

// Where the document of a frame (null: the host page itself) lies in the page, which is the
// engine's screen.
export function frameOffset(frame) {
  return frame ? frame.getBoundingClientRect() : { left: 0, top: 0 };
}

export function rectInPage(element, frame) {
  const box = frameOffset(frame);
  const rect = element.getBoundingClientRect();
  return { left: box.left + rect.left, top: box.top + rect.top, right: box.left + rect.right,
    bottom: box.top + rect.bottom };
}

// The offsets of a verse anchor up its chain of offset parents. The verse number stands before
// the anchor, raised above the line: the anchor is reported where the number starts, a little
// lower than the line above, so that the verse shows whole with its number.
export function anchorChain(doc, name) {
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
  const mark = anchor.previousElementSibling;
  let top = anchor.offsetTop;
  if (mark && mark.offsetParent === anchor.offsetParent) top = Math.min(top, mark.offsetTop);
  chain[0].top = Math.max(0, top - ANCHOR_MARGIN);
  return chain;
}

export function loaded(frame) {
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
export function measureCharWidth(doc) {
  const span = doc.createElement("span");
  span.textContent = "国";
  span.style.position = "absolute";
  span.style.visibility = "hidden";
  doc.body.appendChild(span);
  const width = Math.round(span.getBoundingClientRect().width);
  span.remove();
  return width || 16;
}
