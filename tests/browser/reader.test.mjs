// The development host as a reader meets it: opening chapters, the address and the browser's
// buttons, a server that restarts, narrow windows, the day's study pages, simplified and
// traditional characters, settings, popups inside popups, the wheel song, and the smaller
// things. Each test is a reader's steps; screenshots go to build/browser-artifacts/reader-*.
import { test } from "node:test";
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { once } from "node:events";
import {
  content, hover, browserForTests, newHost, openHost, popupText, result, setSetting, setting, shot,
  waitPopupHidden, waitPopupShown, waitReady, waitTitle,
} from "./helpers.mjs";

const browser = browserForTests();

const SMALL = { width: 800, height: 600 };
// The study material of the sample: plan days 1-6 of the six-day plan. 2000-02-17 is plan
// day 2; 2000-03-15 has nothing.
const DAY_WITH_MATERIAL = "2000-02-17";
const DAY_WITHOUT_MATERIAL = "2000-03-15";
const NO_READING = "本日没有灵修短文。";

const scrollY = (frame) => frame.evaluate(() => window.scrollY);

// The reader turns the mouse wheel over the reading window until it has moved at least `by`.
async function scrollDown(page, by) {
  const box = await page.locator("#content").boundingBox();
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  const start = await scrollY(content(page));
  await page.mouse.wheel(0, by);
  await content(page).waitForFunction((y) => window.scrollY >= y, start + by / 2);
}

// The address shows a place (what the tab shows once the engine answered).
async function waitAddress(page, text) {
  await page.waitForFunction((t) => location.hash.includes(t), text);
}

async function choose(page, book, chapter) {
  await page.selectOption("#book", String(book));
  await page.selectOption("#chapter", String(chapter));
  await page.click("#go");
}

// Moves the mouse to a place of the host page away from links and the popup.
async function moveAway(page) {
  const box = await page.locator("#status").boundingBox();
  await page.mouse.move(box.x + box.width - 20, box.y + box.height / 2);
}

test("a chapter chosen in the chooser opens at its top, a verse link at its verse", async () => {
  const { context, page } = await newHost(browser, "", SMALL);
  try {
    const frame = content(page);
    await waitTitle(page, "创世记 第1章");
    await scrollDown(page, 600);
    await choose(page, 40, 1);
    await waitTitle(page, "马太福音 第1章");
    assert.equal(await scrollY(frame), 0, "Matthew 1 opens at its top");
    const bar = await frame.locator(".linkctrl").boundingBox();
    assert.ok(bar && bar.y >= 0, "the page's back and forward links are in view");
    await shot(page, "reader-chooser-top");

    // The same again after scrolling Matthew 1: John 3 from the chooser starts at its top.
    await scrollDown(page, 400);
    await choose(page, 43, 3);
    await waitTitle(page, "约翰福音 第3章");
    assert.equal(await scrollY(frame), 0);

    // A verse link (a hit of the word search) opens Genesis 1 at verse 14 with its number.
    await page.fill("#word", "光");
    await page.click("#search");
    const hit = result(page).locator('a[href="01001"]', { hasText: "创1:14" });
    await hit.click();
    await waitTitle(page, "创世记");
    const verse = await frame.evaluate(() => {
      const anchor = document.anchors["14"];
      const number = anchor.previousElementSibling.getBoundingClientRect();
      return { number: number.top, text: anchor.getBoundingClientRect().top, height: innerHeight };
    });
    assert.ok(verse.number >= 0, `the verse number shows (its top at ${verse.number})`);
    assert.ok(verse.text < 60, `the verse stands at the top (at ${verse.text})`);
    await shot(page, "reader-verse-link");
  } finally {
    await context.close();
  }
});

// ---- a server of the test's own, to stop and start again -------------------------------------

// Starts quillax-devhost on the run's installation; resolves once it printed its address.
function startServer(port) {
  const server = spawn(process.env.DEVHOST_BIN, [process.env.DEVHOST_INSTALL, "--port", String(port)],
    { stdio: ["ignore", "pipe", "pipe"] });
  server.stderr.resume();
  return new Promise((resolve, reject) => {
    let out = "";
    server.stdout.on("data", (data) => {
      out += data;
      const address = /http:\/\/127\.0\.0\.1:(\d+)\//.exec(out);
      if (address && server.port === undefined) {
        server.port = Number(address[1]);
        resolve(server);
      }
    });
    server.on("exit", () => reject(new Error("quillax-devhost ended: " + out)));
  });
}

async function stopServer(server) {
  if (server.exitCode !== null || server.signalCode !== null) return;
  const ended = once(server, "exit");
  server.kill("SIGTERM");
  await ended;
}

test("after a server restart the tab waits, says what it could not do, and shows its page again", async () => {
  assert.ok(process.env.DEVHOST_BIN && process.env.DEVHOST_INSTALL, "run.sh passes the server");
  let server = await startServer(0);
  const port = server.port;
  const context = await browser.newContext({ viewport: SMALL });
  try {
    const page = await openHost(context, "key=40001", `http://127.0.0.1:${port}/`);
    await waitTitle(page, "马太福音 第1章");
    await scrollDown(page, 300);
    const before = await scrollY(content(page));

    await stopServer(server);
    await page.waitForSelector("#offline:not([hidden])");
    assert.match(await page.locator("#connection").innerText(), /重新连接/);
    await shot(page, "reader-server-away");
    // A chapter asked for meanwhile is not opened, and the reader is told.
    await choose(page, 19, 23);
    await page.waitForSelector("#notice:not([hidden])");
    assert.match(await page.locator("#notice").innerText(), /未能完成/);
    assert.match(await page.title(), /马太福音 第1章/);

    server = await startServer(port);
    await waitReady(page, 15000);
    await page.waitForSelector("#offline[hidden]", { state: "attached" });
    await waitTitle(page, "马太福音 第1章");
    assert.equal(await content(page).locator('a[name="1"]').count(), 1);
    assert.ok(Math.abs((await scrollY(content(page))) - before) <= 2, "at the same place of the page");
    // The tab works again.
    await content(page).locator('a[href="40002"]').first().click();
    await waitTitle(page, "马太福音 第2章");
    await shot(page, "reader-server-back");
  } finally {
    await context.close();
    await stopServer(server);
  }
});

test("the address follows the page: bookmarks, reloads and the browser's back and forward", async () => {
  const { context, page } = await newHost(browser, "", SMALL);
  try {
    const frame = content(page);
    await waitTitle(page, "创世记 第1章");
    assert.match(page.url(), /#key=01001$/);
    await frame.locator('a[href="01002"]').first().click();
    await waitAddress(page, "key=01002");
    await waitTitle(page, "第2章");
    await scrollDown(page, 250);
    const leftAt = await scrollY(frame);
    await page.waitForFunction((y) => history.state && history.state.scroll === y, leftAt);

    await choose(page, 40, 1);
    await waitAddress(page, "key=40001");
    await waitTitle(page, "马太福音 第1章");
    // A reference opens its chapter at its verse: key and position in the address.
    const link = frame.locator("td.td2 a[href]").first();
    const [href, text] = [await link.getAttribute("href"), await link.innerText()];
    await link.click();
    await page.waitForFunction((h) => location.hash.includes("key=" + h + "&pos="), href);
    assert.equal(new URLSearchParams(new URL(page.url()).hash.slice(1)).get("pos"), text);
    const referenced = await page.title();

    await page.goBack();
    await waitTitle(page, "马太福音 第1章");
    assert.match(page.url(), /#key=40001$/, "the address of the entry");
    await page.goBack();
    await waitTitle(page, "创世记 第2章");
    await frame.waitForFunction((y) => Math.abs(window.scrollY - y) <= 2, leftAt);
    await page.goForward();
    await waitTitle(page, "马太福音 第1章");
    await page.goForward();
    await waitTitle(page, referenced);

    // A reload opens the page of the address, not the first chapter.
    await page.reload();
    await waitReady(page);
    await waitTitle(page, referenced);
    // Bookmarks: a chapter, and the reading calendar of a date, each in a tab of its own.
    const chapter = await openHost(context, "key=66022");
    await waitTitle(chapter, "启示录 第22章");
    const calendar = await openHost(context, `calendar=${DAY_WITH_MATERIAL}`);
    await content(calendar).waitForSelector("a.today");
    assert.match(await content(calendar).locator("a.today").innerText(), new RegExp(DAY_WITH_MATERIAL));
    assert.equal(await calendar.inputValue("#date"), DAY_WITH_MATERIAL);
    await shot(calendar, "reader-bookmarked-calendar");
  } finally {
    await context.close();
  }
});

// The toolbar's controls whose centre the reader cannot reach at the window's size.
function unreachableControls(page) {
  return page.evaluate(() => {
    const out = [];
    for (const control of document.querySelectorAll("#toolbar a, #toolbar button, #toolbar select, #toolbar input")) {
      const box = control.getBoundingClientRect();
      const hit = document.elementFromPoint(box.left + box.width / 2, box.top + box.height / 2);
      if (box.width === 0 || box.left < 0 || box.right > innerWidth || box.bottom > innerHeight ||
          !(hit === control || control.contains(hit))) {
        out.push(control.id || control.textContent.trim());
      }
    }
    const toolbar = document.getElementById("toolbar").getBoundingClientRect();
    const reading = document.getElementById("content").getBoundingClientRect();
    if (reading.top < toolbar.bottom - 1 || reading.height < 150) out.push("the reading window");
    return out;
  });
}

function toolbarBoxes(page) {
  return page.evaluate(() => [...document.querySelectorAll("#toolbar a, #toolbar button, #toolbar select, #toolbar input")]
    .map((control) => {
      const box = control.getBoundingClientRect();
      return [Math.round(box.left), Math.round(box.top), Math.round(box.width)].join(",");
    }));
}

test("every toolbar control stays reachable from 360 to 1920 pixels, and choosing a chapter moves none", async () => {
  const context = await browser.newContext({ viewport: SMALL });
  try {
    const page = await openHost(context);
    for (const [width, height] of [[360, 640], [800, 600], [1280, 720], [1920, 1080]]) {
      await page.setViewportSize({ width, height });
      assert.deepEqual(await unreachableControls(page), [], `at ${width}x${height}`);
      await shot(page, `reader-toolbar-${width}`);
    }
    // The language and settings controls work at the narrowest width.
    await page.setViewportSize({ width: 360, height: 640 });
    await page.click("#settingsButton");
    await page.waitForSelector("#settings:not([hidden])");
    const panel = await page.locator("#settings").boundingBox();
    assert.ok(panel.x >= 0 && panel.x + panel.width <= 360, "the settings fit the window");
    await page.click("#settingsClose");

    await page.setViewportSize(SMALL);
    await choose(page, 19, 1);
    await waitTitle(page, "诗篇 第1篇");
    const first = await toolbarBoxes(page);
    await choose(page, 19, 23);
    await waitTitle(page, "诗篇 第23篇");
    assert.deepEqual(await toolbarBoxes(page), first, "a two-digit chapter");
    await choose(page, 43, 3);
    await waitTitle(page, "约翰福音 第3章");
    assert.deepEqual(await toolbarBoxes(page), first, "another book");
  } finally {
    await context.close();
  }
});

test("the day's study pages open from the toolbar, a day without material says so, and the days with material are offered", async () => {
  const { context, page } = await newHost(browser);
  try {
    const frame = content(page);
    const days = () => page.evaluate(() => window.devhost.studyDays);
    await page.fill("#date", DAY_WITHOUT_MATERIAL);
    await page.waitForFunction((d) => window.devhost.studyDays && window.devhost.studyDays.date === d,
      DAY_WITHOUT_MATERIAL);
    const empty = await days();
    assert.deepEqual([empty.wheel, empty.notes, empty.outline, empty.devotional], [false, false, false, false]);
    assert.equal(empty.none, NO_READING);

    // The wheel of that day says there is none, instead of an empty table.
    await page.locator("#dayGroup a.wheel").hover();
    await waitPopupShown(page);
    assert.equal((await popupText(page)).trim(), NO_READING);
    assert.equal(await page.frameLocator("#popupFrame").locator("td").count(), 0);
    await shot(page, "reader-wheel-no-day");
    await moveAway(page);
    await waitPopupHidden(page);
    // So do its study notes.
    await page.click("#dayNotes");
    await page.waitForFunction(() => /key=zendri%23\d{3}/.test(location.hash));
    assert.match(await frame.locator("body").innerText(), new RegExp(NO_READING));

    // The list of days with material leads to one: its calendar opens and the date follows.
    const target = empty.after[0].date;
    await page.selectOption("#studyDays", target);
    await frame.waitForFunction((d) => document.querySelector("a.today")?.innerText.includes(d), target);
    await page.waitForFunction((d) => window.devhost.studyDays.date === d, target);
    assert.equal(await page.inputValue("#date"), target);
    assert.ok((await days()).wheel && (await days()).notes);
    await hover(frame, "a.today");
    await waitPopupShown(page);
    assert.ok(await page.frameLocator("#popupFrame").locator("td").count() > 0, "the day's wheel");
    await shot(page, "reader-day-wheel");
    await moveAway(page);
    await waitPopupHidden(page);

    // Its study notes, outline and devotional.
    for (const [button, module, shotName] of [["#dayNotes", "zendri", "notes"],
      ["#dayOutline", "oblix", "outline"], ["#dayDevotional", "amberly", "devotional"]]) {
      await page.click(button);
      await page.waitForFunction((m) => location.hash.includes(m), module);
      await frame.waitForFunction(() => document.body.innerText.trim().length > 20);
      assert.doesNotMatch(await frame.locator("body").innerText(), new RegExp(NO_READING));
      assert.notEqual((await page.title()).trim(), "quillax-devhost -", "the page has a title");
      await shot(page, `reader-day-${shotName}`);
    }

    // The daily plan reaches other dates; the list follows the plan.
    await page.check("#daily");
    await page.waitForFunction(() => window.devhost.studyDays && window.devhost.studyDays.daily);
    const daily = (await days()).after[0].date;
    await page.selectOption("#studyDays", daily);
    await frame.waitForFunction((d) => document.querySelector("a.today")?.innerText.includes(d), daily);
    assert.ok(await frame.locator("a.plan").count() > 0, "the daily plan's reading rows");
    await page.click("#dayNotes");
    await page.waitForFunction(() => location.hash.includes("zendri"));
    await frame.waitForFunction(() => document.body.innerText.trim().length > 20);
    assert.doesNotMatch(await frame.locator("body").innerText(), new RegExp(NO_READING));
  } finally {
    await context.close();
  }
});

test("simplified and traditional characters stay in step everywhere", async () => {
  const { context, page } = await newHost(browser);
  try {
    const frame = content(page);
    await waitTitle(page, "创世记 第1章");
    await page.fill("#word", "光");
    await page.click("#search");
    await result(page).waitForSelector("a[href]");

    await page.click("#language");
    await page.waitForFunction(() => document.querySelector("#language").innerText === "简体");
    await frame.waitForFunction(() => document.body.innerText.includes("創造"));
    await waitTitle(page, "創世記");
    await result(page).waitForFunction(() => document.body.innerText.includes("經文"));
    assert.equal(await page.locator("#book option").first().innerText(), "創世記");
    // The chooser still follows the page.
    await frame.locator('a[href="01002"]').first().click();
    await waitTitle(page, "創世記 第2章");
    await page.waitForFunction(() => document.querySelector("#chapter").value === "2");
    assert.equal(await page.inputValue("#book"), "1");
    await shot(page, "reader-traditional");

    // The calendar's own language link offers the way back, and everything follows it.
    await page.fill("#date", DAY_WITH_MATERIAL);
    await page.click("#calendar");
    await frame.waitForSelector("a.today");
    const pageLink = frame.locator('a[href="fanjian"]');
    assert.match(await pageLink.innerText(), /^(简体|簡體)$/);
    await pageLink.click();
    await page.waitForFunction(() => document.querySelector("#language").innerText === "繁体");
    await frame.waitForFunction(() => document.querySelector('a[href="fanjian"]')?.innerText === "繁体");
    await result(page).waitForFunction(() => document.body.innerText.includes("经文"));
    assert.equal(await page.locator("#book option").first().innerText(), "创世记");
    await choose(page, 1, 3);
    await waitTitle(page, "创世记 第3章");
    await shot(page, "reader-simplified-again");
  } finally {
    await setSetting(page, "USEGBK=", "0");
    await context.close();
  }
});

test("a changed reading layout and page colour show on the open page at once", async () => {
  const { context, page } = await newHost(browser, "key=43003");
  const colour = await setting(page, "CSSBGCOLOR=5");
  try {
    const frame = content(page);
    await waitTitle(page, "约翰福音 第3章");
    assert.equal(await frame.locator("div.pv").count(), 0);
    await page.click("#settingsButton");
    await page.waitForSelector("#settings:not([hidden])");
    const layout = page.locator('#settingsTable input[data-key="READMODEL="]');
    await layout.fill("2");
    await layout.press("Tab");
    await frame.waitForSelector("div.pv");
    assert.match(await page.title(), /约翰福音 第3章/);

    await page.locator('#colorTable input[data-index="5"]').fill("#ddeeff");
    await frame.waitForFunction(() => document.bgColor.toLowerCase() === "#ddeeff");
    await shot(page, "reader-settings-at-once");
  } finally {
    await setSetting(page, "READMODEL=", "0");
    await setSetting(page, "CSSBGCOLOR=", "5" + colour);
    await context.close();
  }
});

test("a link in a pinned popup opens its page in the reading window, and a note in a popup gets its popup", async () => {
  const { context, page } = await newHost(browser, "key=43003");
  // Time to move from one popup into the next.
  const closeDelay = await setting(page, "CLOSEDELAYTIME=");
  await setSetting(page, "CLOSEDELAYTIME=", "2000");
  try {
    await waitTitle(page, "约翰福音 第3章");
    await hover(content(page), 'td.td2 a[href="01001"]');
    await waitPopupShown(page);
    assert.match(await popupText(page), /运行/);
    await page.locator("#popup").hover();
    await page.waitForSelector("#popup.pinned");

    // The marked phrase inside the popup gets its text-fix note, with a link.
    const shownBefore = await page.evaluate(() => window.devhost.popupShownAt);
    await page.frameLocator("#popupFrame").locator("b", { hasText: "运行" }).hover();
    await page.waitForFunction((t) => window.devhost.popupShownAt > t, shownBefore);
    assert.match(await popupText(page), /覆罩/);
    await page.locator("#popup").hover();
    await page.waitForSelector("#popup.pinned");
    await shot(page, "reader-note-in-popup");

    await page.frameLocator("#popupFrame").locator('a[href="40003"]').click();
    await waitTitle(page, "马太福音");
    assert.match(page.url(), /key=40003/);
    await waitPopupHidden(page);
  } finally {
    await setSetting(page, "CLOSEDELAYTIME=", closeDelay);
    await context.close();
  }
});

test("the wheel popup plays the song once the reader has clicked, and the song stops when it hides", async () => {
  const { context, page } = await newHost(browser, `calendar=${DAY_WITH_MATERIAL}`);
  try {
    const wheel = page.locator("#dayGroup a.wheel");
    // Before any click the song waits, and says so.
    await wheel.hover();
    await waitPopupShown(page);
    await page.waitForFunction(() => window.devhost.song.playing && window.devhost.song.receivedBytes > 0);
    assert.equal(await page.locator("#songHint").isVisible(), true);
    await shot(page, "reader-song-waits");
    await moveAway(page);
    await waitPopupHidden(page);
    await page.waitForFunction(() => !window.devhost.song.playing);
    assert.equal(await page.locator("#songHint").isVisible(), false);

    // A click on the page lets it sound: the wheel popup's song is heard ...
    await page.locator("#status").click();
    await wheel.hover();
    await waitPopupShown(page);
    await page.waitForFunction(() => window.devhost.song.level() > 0.01, null, { timeout: 5000 });
    assert.equal(await page.locator("#songHint").isVisible(), false);
    await shot(page, "reader-song-plays");
    // ... until the popup hides.
    await moveAway(page);
    await waitPopupHidden(page);
    await page.waitForFunction(() => !window.devhost.song.playing && window.devhost.song.level() < 0.001);
  } finally {
    await context.close();
  }
});

test("a pinned popup keeps clear of its link, and a link reached with the keyboard shows its popup", async () => {
  const { context, page } = await newHost(browser, "key=43003");
  try {
    await waitTitle(page, "约翰福音 第3章");
    const link = content(page).locator('td.td2 a[href="01001"]').first();
    await link.hover();
    await waitPopupShown(page);
    await page.locator("#popup").hover({ position: { x: 30, y: 30 } });
    await page.waitForSelector("#popup.pinned");
    const frameBox = await page.locator("#content").boundingBox();
    const linkBox = await link.boundingBox();
    const caption = await page.locator("#popupCaption").boundingBox();
    assert.ok(caption.y >= linkBox.y + linkBox.height - 1 || caption.y + caption.height <= linkBox.y,
      `the caption (${caption.y}-${caption.y + caption.height}) covers the link (${linkBox.y}-${linkBox.y + linkBox.height})`);
    assert.ok(frameBox);
    await shot(page, "reader-pinned-clear");
    await page.click("#popupClose");
    await waitPopupHidden(page);

    // Tab through the page's links: a reference link with the focus gets its popup.
    await content(page).locator("body").click({ position: { x: 5, y: 5 } });
    let reached = false;
    for (let i = 0; i < 40 && !reached; i++) {
      await page.keyboard.press("Tab");
      reached = await content(page).evaluate(() => !!document.activeElement?.closest("td.td2"));
    }
    assert.ok(reached, "Tab reaches a reference link");
    await waitPopupShown(page);
    await shot(page, "reader-focus-popup");
  } finally {
    await context.close();
  }
});

test("about, dictionary and calendar pages have titles of their own, and the date field follows a clicked day", async () => {
  const { context, page } = await newHost(browser, "key=zendri%23002");
  try {
    const frame = content(page);
    await waitTitle(page, "第2日");
    await frame.locator('a[href="rovask#生命树"]').click();
    await waitTitle(page, "quillax-devhost - 生命树");
    await page.click("#about");
    await page.waitForFunction(() => document.title.includes("Quillax"));

    await page.fill("#date", DAY_WITH_MATERIAL);
    await page.click("#calendar");
    await waitTitle(page, DAY_WITH_MATERIAL);
    const day = frame.locator("a[id][title]").first();
    const date = await day.getAttribute("title");
    await day.click();
    await waitTitle(page, date);
    assert.equal(await page.inputValue("#date"), date);
    await shot(page, "reader-calendar-title");
  } finally {
    await context.close();
  }
});

test("the settings refuse a value the engine cannot use, and the colour dialog leaves the heading in view", async () => {
  const { context, page } = await newHost(browser, "", SMALL);
  try {
    const saved = await setting(page, "OPENDELAYTIME=");
    await page.click("#settingsButton");
    await page.waitForSelector("#settings:not([hidden])");
    const delay = page.locator('#settingsTable input[data-key="OPENDELAYTIME="]');
    await delay.fill("abc");
    await delay.press("Tab");
    await page.waitForSelector("#settingsTable input.invalid");
    assert.match(await page.locator("#settingsTable .problem").first().innerText(), /未保存/);
    assert.equal(await setting(page, "OPENDELAYTIME="), saved, "bible.ini keeps its value");

    await page.locator("#colorTable button").nth(2).click();
    await page.waitForSelector("#colorDialog:not([hidden])");
    const heading = await page.locator("#settingsHeading").boundingBox();
    const dialog = await page.locator("#colorDialog").boundingBox();
    assert.ok(dialog.y >= heading.y + heading.height, "the dialog opens below the heading");
    await shot(page, "reader-colour-dialog");
    await page.click("#colorCancel");
  } finally {
    await context.close();
  }
});
