// Places: what the reading window shows, in the form the address and the browser's history
// keep it, so that a page can be bookmarked, reloaded and reached with the browser's back and
// forward buttons.
//
//   {key, position}           a page the engine opens by key (a chapter, a module entry, the
//                             about page), position as the engine's history keeps it
//   {calendar, daily}         the reading calendar of a date ("yyyy-mm-dd")
//   {day, date, daily}        a day page the engine opened for the calendar date
//
// In the address: "#key=43003&pos=3:16", "#calendar=2026-12-07&daily=1",
// "#day=1&date=2026-12-07". A bare key ("#40001") is read as well.
"use strict";

export const FIRST_PLACE = Object.freeze({ key: "01001", position: "" });

export function placeFromHash(hash) {
  const text = (hash || "").replace(/^#/, "");
  if (!text) return null;
  if (!text.includes("=")) return { key: decodeURIComponent(text), position: "" };
  const params = new URLSearchParams(text);
  const daily = params.get("daily") === "1";
  if (params.has("calendar")) return { calendar: params.get("calendar"), daily };
  if (params.has("day")) return { day: params.get("day"), date: params.get("date") || "", daily };
  if (params.has("key")) return { key: params.get("key"), position: params.get("pos") || "" };
  return null;
}

export function hashOf(place) {
  const params = new URLSearchParams();
  if (place.calendar !== undefined) {
    params.set("calendar", place.calendar);
    if (place.daily) params.set("daily", "1");
  } else if (place.day !== undefined) {
    params.set("day", place.day);
    params.set("date", place.date);
    if (place.daily) params.set("daily", "1");
  } else {
    params.set("key", place.key);
    if (place.position) params.set("pos", place.position);
  }
  return "#" + params.toString();
}

export function samePlace(a, b) {
  return !!a && !!b && hashOf(a) === hashOf(b);
}

// A chapter key of the chooser: five digits, book 01-66 and a chapter; or a book's
// introduction (seven characters, chapter 000). Gives {book, chapter} (chapter 0 for an
// introduction) or null.
export function chapterOf(place) {
  if (!place || place.key === undefined) return null;
  const match = /^(\d\d)(\d\d\d)(00)?$/.exec(place.key);
  if (!match) return null;
  const book = Number(match[1]);
  const chapter = Number(match[2]);
  if (book < 1 || book > 66) return null;
  if (match[3] !== undefined && chapter !== 0) return null;
  return { book, chapter };
}

// The browser's history of one tab: each page the tab shows becomes an entry, with the scroll
// position it had when the reader left it. Entries are reopened by their place, never by
// stepping the engine's own history (which keeps each page once).
export class PlaceHistory {
  constructor() {
    this.current = null;
  }

  // The place in the address now (on load, and after the browser's back and forward).
  addressed() {
    return (history.state && history.state.place) || placeFromHash(location.hash);
  }
  savedScroll() {
    return history.state && typeof history.state.scroll === "number" ? history.state.scroll : null;
  }

  // The reading window shows place: a new entry, unless it is the entry shown or the page
  // was opened to restore an entry (then that entry is brought up to date). scrollLeft is
  // the scroll position the page being left had.
  shown(place, { restoring = false, scrollLeft = null } = {}) {
    const hash = hashOf(place);
    if (restoring || !this.current || samePlace(this.current, place)) {
      history.replaceState({ place, scroll: this.savedScroll() }, "", hash);
    } else {
      if (scrollLeft !== null) history.replaceState({ ...(history.state || {}), scroll: scrollLeft }, "");
      history.pushState({ place, scroll: 0 }, "", hash);
    }
    this.current = place;
  }

  // Remembers the scroll position of the entry shown (kept when the reader comes back).
  scrolled(y) {
    if (!this.current) return;
    history.replaceState({ ...(history.state || {}), place: this.current, scroll: Math.round(y) }, "");
  }
}
