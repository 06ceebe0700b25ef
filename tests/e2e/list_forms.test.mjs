// Lists and forms in a browser, at a phone's width and a desktop's: the advanced search, a row
// edited inside the list, a city list that follows the chosen region, and an add form in pages.
// Started by run.sh, which generates the places application; screenshots go to the artefacts.
import { after, before, describe, it } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import { consoleStaysClean, launchChromium, newContext, watch } from './chromium.mjs';

const baseURL = process.env.VELMORA_E2E_FORMS_URL;
const artefacts = process.env.VELMORA_ARTEFACTS;
const problems = []; // console errors and uncaught exceptions, with the page they came from
let browser;

before(async () => {
  browser = await launchChromium();
});
after(async () => { await browser?.close(); });

const sizes = {
  phone: { viewport: { width: 390, height: 844 }, isMobile: true, hasTouch: true, deviceScaleFactor: 2 },
  desktop: { viewport: { width: 1280, height: 800 } },
};

for (const [size, options] of Object.entries(sizes)) {
  describe(`on a ${size}`, () => {
    let page;
    before(async () => {
      page = watch(await (await newContext(browser, { baseURL, ...options })).newPage(), problems);
    });
    const shot = (name) => page.screenshot({ path: path.join(artefacts, `places-${name}-${size}.png`), fullPage: true });
    const names = () => page.locator('table.vm-grid tbody tr td:nth-child(2)').allTextContents();
    const fits = async () => {
      const width = await page.evaluate(() => document.documentElement.scrollWidth);
      assert.ok(width <= options.viewport.width, `the page is ${width}px wide on a ${options.viewport.width}px screen`);
    };

    it('finds the places with a quantity between two values in the advanced search', async () => {
      await page.goto('placelist.php?cmd=reset');
      await page.getByText('Advanced search', { exact: true }).click();
      const form = page.locator('form.vm-advsearch-form');
      await form.getByLabel('Qty').fill('5');
      await form.getByLabel('Second value').fill('15');
      await form.getByRole('button', { name: 'Search' }).click();
      await page.waitForURL(/y%5Bqty%5D=15/);
      assert.deepEqual((await names()).map((n) => n.split(' ')[0]), ['Beta', 'Gamma']);
      await fits();
      await shot('advanced-search');
    });

    it('edits a row inside the list', async () => {
      await page.goto('placelist.php?cmd=reset');
      await page.locator('tbody tr').filter({ hasText: 'Beta' }).getByRole('link', { name: 'Edit', exact: true }).click();
      await page.waitForURL(/inline=edit/);
      const row = page.locator('tr.vm-editing');
      await row.getByLabel('Name').fill(`Beta ${size}`);
      await fits();
      await shot('inline-edit');
      await page.locator('form.vm-gridform').getByRole('button', { name: 'Save' }).click();
      await page.waitForURL((url) => !url.search.includes('inline='));
      assert.ok((await names()).includes(`Beta ${size}`));
    });

    it('offers only the cities of the chosen region', async () => {
      await page.goto('placeadd.php');
      const city = page.getByLabel('City Id');
      await page.getByLabel('Region Id').selectOption({ label: 'South' });
      await page.waitForFunction(() => document.querySelector('#f_city_id').options.length === 2);
      assert.deepEqual(await city.locator('option').allTextContents(), ['Please select', 'Rome']);
      await page.getByLabel('Region Id').selectOption({ label: 'North' });
      await page.waitForFunction(() => document.querySelector('#f_city_id').options.length === 3);
      assert.deepEqual((await city.locator('option').allTextContents()).sort(), ['Bergen', 'Oslo', 'Please select']);
      await shot('cascading-lookup');
    });

    it('adds a place through a form in two pages', async () => {
      await page.goto('placeadd.php');
      const note = page.getByLabel('Note');
      assert.equal(await note.isVisible(), false, 'the second page starts hidden');
      await page.getByLabel('Name').fill(`Delta ${size}`);
      await page.getByRole('tab', { name: 'Page 2' }).click();
      await note.fill('from the second page');
      await shot('form-pages');
      await page.getByRole('button', { name: 'Save' }).click();
      await page.waitForURL(/placelist\.php/);
      assert.ok((await names()).includes(`Delta ${size}`));
      await fits();
    });
  });
}

consoleStaysClean(problems);
