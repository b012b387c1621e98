// The settings panel: the keys of bible.ini a reader may change (read and written through
// getcfg), the background colours with the engine's own colour dialog, and the checks that
// keep a value the engine cannot use out of the file.
"use strict";

const $ = (id) => document.getElementById(id);

// Key, label, and the values it takes: integers in [min, max], or decimals in [min, max].
const SETTINGS = [
  { key: "OPENDELAYTIME=", label: "弹出延迟 (ms)", integer: true, min: 100, max: 2000 },
  { key: "CLOSEDELAYTIME=", label: "关闭延迟 (ms)", integer: true, min: 0, max: 2000 },
  { key: "READMODEL=", label: "阅读版式", integer: true, min: 0, max: 9999 },
  { key: "EXTENDNOTE=", label: "注释级别 (0-3)", integer: true, min: 0, max: 3 },
  { key: "SCROLLSPEED=", label: "滚动间隔 (ms)", integer: true, min: 1, max: 1000 },
  { key: "MAXSEARCH=", label: "查找上限", integer: true, min: 1, max: 100000 },
  { key: "TUPER=", label: "图片比例", integer: false, min: 0.1, max: 10 },
  { key: "MAXWINDOWWIDTH=", label: "弹出窗宽度比例", integer: false, min: 0.1, max: 1 },
];
const COLOR_NAMES = ["经文弹出", "日程弹出", "粗体注释", "下划线注释", "资料弹出", "章节页面"];
const COLOR = /^#[0-9a-f]{6}$/i;

// The reason a value cannot be saved, or "" when it can.
function valueProblem(setting, text) {
  const value = text.trim();
  const pattern = setting.integer ? /^\d+$/ : /^\d+(\.\d+)?$/;
  const range = `${setting.min} 到 ${setting.max}`;
  const kind = setting.integer ? "整数" : "数";
  if (!pattern.test(value) || Number(value) < setting.min || Number(value) > setting.max) {
    return `请填 ${range} 之间的${kind}，未保存`;
  }
  return "";
}

export class SettingsPanel {
  // call(method, args): the control; changed(): a setting was written (the page applies it).
  constructor(call, changed) {
    this.call = call;
    this.changed = changed;
    this.colorAnchor = null;
    $("settingsButton").onclick = () => this.open();
    $("settingsClose").onclick = () => { $("settings").hidden = true; };
  }

  async open() {
    await this.load();
    $("settings").hidden = false;
  }

  async load() {
    const table = $("settingsTable");
    table.innerHTML = "";
    for (const setting of SETTINGS) {
      const reply = await this.call("getcfg", { name: setting.key });
      if (reply.value === undefined) continue;
      const row = table.insertRow();
      row.insertCell().textContent = setting.label;
      const input = document.createElement("input");
      input.value = reply.value;
      input.size = 8;
      input.dataset.key = setting.key;
      input.dataset.saved = reply.value;
      const problem = document.createElement("span");
      problem.className = "problem";
      input.onchange = () => this.write(setting, input, problem);
      const cell = row.insertCell();
      cell.appendChild(input);
      cell.appendChild(problem);
    }
    const colors = $("colorTable");
    colors.innerHTML = "";
    for (let n = 0; n < COLOR_NAMES.length; n++) {
      const reply = await this.call("getcfg", { name: "CSSBGCOLOR=" + n });
      const row = colors.insertRow();
      row.insertCell().textContent = COLOR_NAMES[n];
      const input = document.createElement("input");
      input.type = "color";
      input.dataset.index = String(n);
      if (COLOR.test(reply.value || "")) input.value = reply.value.toLowerCase();
      input.onchange = async () => {
        await this.call("getcfg", { name: "CSSBGCOLOR=" + n + input.value.toUpperCase() });
        await this.changed();
      };
      row.insertCell().appendChild(input);
      // The engine's own colour dialog: a two-character value opens it.
      const choose = document.createElement("button");
      choose.textContent = "…";
      choose.title = "颜色对话框";
      choose.onclick = async () => {
        this.colorAnchor = choose;
        const chosen = await this.call("getcfg", { name: "CSSBGCOLOR=" + n + "c" });
        if (COLOR.test(chosen.value || "")) {
          input.value = chosen.value.toLowerCase();
          await this.changed();
        }
      };
      row.insertCell().appendChild(choose);
    }
  }

  async write(setting, input, problem) {
    const reason = valueProblem(setting, input.value);
    input.classList.toggle("invalid", !!reason);
    problem.textContent = reason;
    if (reason) return;
    const value = input.value.trim();
    await this.call("getcfg", { name: setting.key + value });
    input.dataset.saved = value;
    await this.changed();
  }

  // The engine asks the reader for a colour: the dialog opens beside the colour's row, below
  // the panel's heading, and answers the chosen colour (null when cancelled).
  chooseColor(rgb) {
    return new Promise((resolve) => {
      const dialog = $("colorDialog");
      $("colorValue").value = "#" + (rgb & 0xFFFFFF).toString(16).padStart(6, "0");
      dialog.hidden = false;
      this.placeDialog(dialog);
      const done = (value) => {
        dialog.hidden = true;
        $("colorOk").onclick = $("colorCancel").onclick = null;
        resolve(value);
      };
      $("colorOk").onclick = () => done(parseInt($("colorValue").value.slice(1), 16));
      $("colorCancel").onclick = () => done(null);
    });
  }

  placeDialog(dialog) {
    const box = dialog.getBoundingClientRect();
    const heading = $("settingsHeading").getBoundingClientRect();
    const anchor = this.colorAnchor && !$("settings").hidden ? this.colorAnchor.getBoundingClientRect() : null;
    let left = anchor ? anchor.right + 8 : (innerWidth - box.width) / 2;
    let top = anchor ? anchor.top - box.height / 2 : heading.bottom + 8;
    if (left + box.width > innerWidth - 8) left = Math.max(8, innerWidth - box.width - 8);
    top = Math.max(top, heading.bottom + 8);
    if (top + box.height > innerHeight - 8) top = Math.max(8, innerHeight - box.height - 8);
    dialog.style.left = Math.round(left) + "px";
    dialog.style.top = Math.round(top) + "px";
  }
}
