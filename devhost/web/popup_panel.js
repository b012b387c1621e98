// The popup panel: a floating frame with a document of its own, which the engine creates,
// fills, places and shows (the operations "popup..."). The pointer entering it pins the popup;
// its links open their page in the reading window (its script keeps them from navigating the
// popup), and its links and notes get popups of their own.
"use strict";

import { ACTIVE_TAGS, elementOf, linkOf, snapshot } from "./dom.js";

export class PopupPanel {
  // host: call(method, args, ev, element, options) calls the control; send(message) sends a
  // message of the panel; pointer(frame, event) follows the pointer; hovered(element, frame)
  // notes the element whose popup is asked for; devhost receives popupShownAt/HiddenAt.
  constructor(box, frame, host) {
    this.box = box;
    this.frame = frame;
    this.host = host;
    this.hoverRect = null;          // where the element that asked for the popup lies
    this.expectCaptionMove = false; // the engine is pinning the popup
    this.inside = null;             // {ev, element} hovered inside the popup's document
    this.pinAsked = false;          // the pointer moved over the popup shown
  }

  get doc() { return this.frame.contentDocument; }
  get pinned() { return this.box.classList.contains("pinned"); }

  // An operation of the engine on the panel; gives the value a read answers.
  handle(message) {
    switch (message.op) {
      case "popupCreate": this.box.classList.toggle("picture", !!message.picture); break;
      case "popupShow": this.show(); break;
      case "popupHide": this.hide(); break;
      case "popupMove": this.move(message); break;
      case "popupCaption":
        this.box.classList.toggle("pinned", !!message.caption);
        this.expectCaptionMove = !!message.caption;
        break;
      case "popupBody": this.doc.body.innerHTML = message.html; break;
      case "popupBgColor": this.doc.bgColor = message.color; break;
      case "popupMeasure": {
        // A hidden panel keeps its layout (it is only invisible), so it measures as shown.
        const body = this.doc.body;
        body.scrollTop = 0;
        return body.scrollHeight;
      }
      case "popupScrollTo": this.frame.contentWindow.scrollTo(message.x, message.y); break;
      case "popupScript":
        try { this.frame.contentWindow.eval(message.code); } catch (e) { console.warn("script:", e); }
        break;
      default: break;
    }
    return null;
  }

  show() {
    this.box.hidden = false;
    this.pinAsked = false;
    this.host.devhost.popupShownAt = performance.now();
    // An element of the popup's own document that asked for this popup is gone with the old
    // text: the mouse has left it.
    if (this.inside) {
      const { ev, element } = this.inside;
      this.inside = null;
      this.host.call("MouseOut", {}, ev, element, { quiet: true });
    }
  }

  hide() {
    if (!this.box.hidden) this.host.devhost.popupHiddenAt = performance.now();
    this.box.hidden = true;
    this.box.classList.remove("pinned");
  }

  // The engine moves the popup. When it pins a popup that lies below the element it belongs
  // to, the caption would grow upwards over that element: the popup grows downwards instead.
  move(message) {
    let top = message.top;
    if (this.expectCaptionMove) {
      this.expectCaptionMove = false;
      const oldTop = parseFloat(this.box.style.top) || 0;
      const element = this.hoverRect;
      if (element && top < oldTop && element.top < oldTop && element.bottom > top) top = oldTop;
    }
    this.box.style.left = message.left + "px";
    this.box.style.top = top + "px";
    this.box.style.width = Math.max(message.width, 0) + "px";
    this.box.style.height = Math.max(message.height, 0) + "px";
  }

  // The events of the panel and of its document.
  attach() {
    this.box.addEventListener("mouseenter", () => this.host.send({ popup: "frameEnter" }));
    this.box.addEventListener("mouseleave", () => this.host.send({ popup: "frameLeave" }));
    const doc = this.doc;
    const active = (event) => {
      const element = elementOf(event);
      return element && ACTIVE_TAGS.has(element.tagName) ? element : null;
    };
    doc.addEventListener("mousemove", (event) => {
      this.host.pointer(this.frame, event);
      // A popup that came up under the pointer is pinned by the first move over it, as one
      // the pointer entered.
      if (!this.pinAsked && !this.box.hidden && !this.pinned) {
        this.pinAsked = true;
        this.host.send({ popup: "frameEnter" });
      }
    });
    doc.addEventListener("mouseover", (event) => {
      const element = active(event);
      if (!element) return;
      this.host.pointer(this.frame, event);
      const ev = snapshot(event, element);
      this.inside = { ev, element };
      this.host.hovered(element, this.frame);
      this.host.call("MouseOver", {}, ev, element, { quiet: true });
    });
    doc.addEventListener("mouseout", (event) => {
      const element = active(event);
      if (!element || !this.inside || this.inside.element !== element) return;
      this.inside = null;
      this.host.call("MouseOut", {}, snapshot(event, element), element, { quiet: true });
    });
    doc.addEventListener("click", async (event) => {
      const element = elementOf(event);
      if (!element || !linkOf(element)) return;
      event.preventDefault();
      this.host.pointer(this.frame, event);
      const reply = await this.host.call("MouseClick", {}, snapshot(event, element), element);
      // The page it opened is in the reading window now: the popup has done its work.
      if (reply.place) this.host.send({ popup: "close" });
    });
  }
}
