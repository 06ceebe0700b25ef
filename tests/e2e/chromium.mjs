// What every browser test shares: the headless Chromium (Debian's, or the one VELMORA_CHROMIUM
// names), pages with the tests' timeout, and the console errors a page reports.
import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { chromium } from 'playwright-core';

export function launchChromium() {
  return chromium.launch({
    executablePath: process.env.VELMORA_CHROMIUM || '/usr/bin/chromium',
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update'],
  });
}

export async function newContext(browser, options) {
  const context = await browser.newContext(options);
  context.setDefaultTimeout(15000);
  return context;
}

// Collects the page's console errors and uncaught exceptions, but for the load of /favicon.ico,
// which the browser asks for by itself.
export function watch(page, problems) {
  page.on('console', (m) => {
    const url = m.location().url;
    if (m.type() === 'error' && !url.endsWith('/favicon.ico')) problems.push(`${page.url()}: ${m.text()} (${url})`);
  });
  page.on('pageerror', (e) => problems.push(`${page.url()}: pageerror: ${e.message}`));
  return page;
}

export function consoleStaysClean(problems) {
  describe('the browser console', () => {
    it('shows no errors on any page visited', () => assert.deepEqual(problems, []));
  });
}
