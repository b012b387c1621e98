// The main views of the host page at two window sizes, for people to look at: a chapter, a
// verse popup and a pinned one, the word search, the reading calendar with its wheel, a day's
// study notes, the settings, the about page and a chapter in traditional characters. The
// screenshots go to build/browser-artifacts/views/<width>x<height>-<view>.png.
import { test } from "node:test";
import assert from "node:assert/strict";
import {
  content, hover, browserForTests, newHost, result, setSetting, shot, waitPopupHidden, waitPopupShown,
  waitTitle,
} from "./helpers.mjs";

const browser = browserForTests();

const SIZES = [{ width: 800, height: 600 }, { width: 1920, height: 1080 }];

for (const size of SIZES) {
  test(`the main views at ${size.width}x${size.height}`, async () => {
    const { context, page } = await newHost(browser, "", size);
    const name = (view) => `views/${size.width}x${size.height}-${view}`;
    const shots = [];
    const take = async (view) => {
      await shot(page, name(view));
      shots.push(view);
    };
    try {
      const frame = content(page);
      await waitTitle(page, "创世记 第1章");
      await take("01-chapter");

      await hover(frame, 'td.td2 a[href="43001"]');
      await waitPopupShown(page);
      await take("02-verse-popup");
      await page.locator("#popup").hover();
      await page.waitForSelector("#popup.pinned");
      await take("03-pinned-popup");
      await page.click("#popupClose");
      await waitPopupHidden(page);

      await page.fill("#word", "光");
      await page.click("#search");
      await result(page).waitForSelector("a[href]");
      await take("04-search");

      await page.fill("#date", "2000-02-17");
      await page.click("#calendar");
      await frame.waitForSelector("a.today");
      await take("05-calendar");
      await hover(frame, "a.today");
      await waitPopupShown(page);
      await take("06-wheel-popup");
      await page.mouse.move(5, size.height - 5);
      await waitPopupHidden(page);

      await page.click("#dayNotes");
      await page.waitForFunction(() => location.hash.includes("zendri"));
      await take("07-study-notes");

      await page.click("#settingsButton");
      await page.waitForSelector("#settings:not([hidden])");
      await take("08-settings");
      await page.click("#settingsClose");

      await page.click("#about");
      await page.waitForFunction(() => location.hash.includes("0000000"));
      await take("09-about");

      await page.selectOption("#book", "43");
      await page.selectOption("#chapter", "3");
      await page.click("#go");
      await waitTitle(page, "约翰福音 第3章");
      await page.click("#language");
      await waitTitle(page, "約翰福音");
      await take("10-traditional");
      assert.equal(shots.length, 10);
    } finally {
      await setSetting(page, "USEGBK=", "0");
      await context.close();
    }
  });
}
