// The reading plan in the toolbar: the date and the plan, the calendar, the wheel control,
// the day's study pages (opened by the keys the calendar's day links use), and the list of
// the dates the installation has study material for, which the server finds in its study
// modules.
"use strict";

const $ = (id) => document.getElementById(id);

// An element whose title carries this word: its click does nothing and leaving it stops the
// wheel song when the popup hides.
export const SONG_MARK = "BoSk";
const WEEKDAYS = "日一二三四五六";

export class ReadingPlan {
  // host: query(name, args) asks the server, openPlace(place) opens a page, notice(text) tells
  // the reader that an action failed, tipWord() is the wheel popup's tip word; devhost
  // receives studyDays (the last answer).
  constructor(host) {
    this.host = host;
    this.asked = 0;
    this.wheel = document.querySelector("#dayGroup a.wheel");
    $("date").valueAsDate = new Date();
    $("date").onchange = () => this.dateChanged();
    $("daily").onchange = () => this.dateChanged();
    $("calendar").onclick = () => host.openPlace({ calendar: $("date").value, daily: this.daily });
    for (const button of document.querySelectorAll("#dayPages button")) {
      button.onclick = () => this.openDayPage(button.dataset.page);
    }
    $("studyDays").onchange = () => {
      const date = $("studyDays").value;
      if (!date) return;
      $("date").value = date;
      host.openPlace({ calendar: date, daily: this.daily });
    };
  }

  get daily() { return $("daily").checked; }

  // The reading window shows the calendar of a date: the date and the plan follow it.
  calendarShown(place) {
    $("date").value = place.calendar;
    $("daily").checked = !!place.daily;
    this.dateChanged();
  }

  // The wheel control shows the wheel popup of the date chosen (the engine finds its tip word
  // and date in the title); the day buttons and the list follow the date.
  dateChanged() {
    this.wheel.dataset.engineTitle = this.host.tipWord() + $("date").value + " " + SONG_MARK;
    return this.refresh();
  }

  async refresh() {
    const asked = ++this.asked;
    const reply = await this.host.query("days", { date: $("date").value, daily: this.daily });
    if (asked !== this.asked || reply.failed || !reply.value) return;
    const days = reply.value;
    this.host.devhost.studyDays = days;
    for (const [id, kind] of [["dayNotes", "notes"], ["dayOutline", "outline"], ["dayDevotional", "devotional"]]) {
      const button = $(id);
      button.classList.toggle("empty", !days[kind]);
      button.title = days[kind] ? `第${days.planDay}日` : days.none || "";
    }
    const select = $("studyDays");
    select.innerHTML = "";
    const label = (day) => `${day.date} 周${WEEKDAYS[day.weekday]} · 第${day.planDay}日`;
    const any = days.after.length > 0 || days.before.length > 0;
    select.add(new Option(any ? "有资料的日子…" : "没有资料的日子", ""));
    for (const day of [...days.before].reverse()) select.add(new Option(label(day), day.date));
    for (const day of days.after) select.add(new Option(label(day), day.date));
    select.options[0].disabled = true;
    select.value = "";
  }

  // A study page of the date chosen, as the calendar's day links open it.
  async openDayPage(kind) {
    const reply = await this.host.query("days", { date: $("date").value, daily: this.daily });
    if (reply.failed || !reply.value) {
      this.host.notice();
      return;
    }
    await this.host.openPlace({ key: reply.value.pages[kind], position: "" }, { top: true });
  }
}
