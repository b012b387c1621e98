// What the browser tests share: the server run.sh started (DEVHOST_URL), the browser, a fresh
// tab of the host page, the page's frames, screenshots, and the settings of the installation.
import { after, before } from "node:test";
import { mkdirSync } from "node:fs";
import path from "node:path";
import { chromium } from "playwright-core";

export const BASE = process.env.DEVHOST_URL;
export const ARTIFACTS = process.env.ARTIFACTS || "build/browser-artifacts";
const CHROMIUM = process.env.CHROMIUM || "/usr/bin/chromium";
if (!BASE) throw new Error("DEVHOST_URL is not set (run tests/browser/run.sh BUILD_DIR)");
mkdirSync(ARTIFACTS, { recursive: true });

// The browser of a test file: launched before its first test and closed after its last. The
// object stands for it (only newContext is needed).
export function browserForTests() {
  let browser = null;
  before(async () => {
    browser = await chromium.launch({
      executablePath: CHROMIUM,
      args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
        "--disable-background-networking", "--disable-component-update", "--disable-sync"],
    });
  });
  after(async () => {
    await browser?.close();
  });
  return { newContext: (options) => browser.newContext(options) };
}

// A tab of the host page at base (the server's address) + hash, once the page has opened its
// first page. Errors of the page's scripts are collected in page.errors.
export async function openHost(context, hash = "", base = BASE) {
  const page = await context.newPage();
  const errors = [];
  page.on("pageerror", (error) => errors.push(error.message));
  page.errors = errors;
  await page.goto(base + (hash ? "#" + hash : ""));
  await waitReady(page);
  return page;
}

export async function waitReady(page, timeout = 10000) {
  await page.waitForFunction(() => window.devhost && window.devhost.ready, null, { timeout });
}

export async function newHost(browser, hash = "", viewport = { width: 1280, height: 720 }) {
  const context = await browser.newContext({ viewport });
  const page = await openHost(context, hash);
  return { context, page };
}

export const content = (page) => page.frame({ name: "content" });
export const result = (page) => page.frame({ name: "result" });
export const popupText = (page) => page.frameLocator("#popupFrame").locator("body").innerText();

export async function shot(page, name) {
  const file = path.join(ARTIFACTS, name + ".png");
  mkdirSync(path.dirname(file), { recursive: true });
  await page.screenshot({ path: file });
}

export async function setting(page, key) {
  return page.evaluate(async (name) => (await window.devhost.call("getcfg", { name })).value, key);
}

export async function setSetting(page, key, value) {
  await page.evaluate((name) => window.devhost.call("getcfg", { name }), key + value);
}

export async function waitTitle(page, text, timeout = 5000) {
  await page.waitForFunction((t) => document.title.includes(t), text, { timeout });
}

// Hovers an element of a frame with the real mouse, so the page sees mouseover and mouseout.
export async function hover(frame, selector) {
  await frame.locator(selector).first().hover();
}

export async function waitPopupShown(page, timeout = 4000) {
  await page.waitForSelector("#popup:not([hidden])", { timeout });
}

export async function waitPopupHidden(page, timeout = 4000) {
  await page.waitForSelector("#popup[hidden]", { state: "attached", timeout });
}
