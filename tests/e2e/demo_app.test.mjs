// The generated demo shop as a person uses it: log in, work a customer through add, search, edit,
// view and delete, get a wrong e-mail address refused, and look at the orders list on a desktop
// and on a phone. Started by run.sh, which generates and serves the application.
import { after, before, describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { mkdirSync, readFileSync } from 'node:fs';
import path from 'node:path';
import { consoleStaysClean, launchChromium, newContext, watch } from './chromium.mjs';

const baseURL = process.env.VELMORA_E2E_URL;
const artefacts = process.env.VELMORA_ARTEFACTS;
if (!baseURL || !artefacts) {
  throw new Error('VELMORA_E2E_URL and VELMORA_ARTEFACTS are set by run.sh');
}

const run = `${Date.now().toString(36)}${Math.floor(Math.random() * 1e6).toString(36)}`;
const customer = { first: 'Ottavia', last: `Browser ${run}`, email: `ottavia.${run}@example.com`, city: 'Trieste',
  newCity: `Bolzano ${run}` };

let browser, context, page;
let loggedIn = false;
// The later groups work as the logged-in user: without the login they would only time out.
const afterLogin = () => before(() => assert.ok(loggedIn, 'the login test passed'));
const problems = []; // console errors and uncaught exceptions, with the page they came from

// The list filtered by the quick search, as a person would type it.
async function search(text) {
  await page.goto('customerslist.php');
  await page.getByRole('searchbox', { name: 'Search' }).fill(text);
  await page.getByRole('button', { name: 'Search', exact: true }).click();
  await page.waitForURL(/customerslist\.php\?.*q=/);
  return page.locator('table.vm-grid tbody tr');
}

// The value shown next to a caption on a view or delete page.
function recordValue(caption) {
  return page.locator('table.vm-record tr').filter({ has: page.getByRole('rowheader', { name: caption, exact: true }) }).locator('td');
}

async function fillCustomer(values) {
  await page.getByLabel('First Name').fill(values.first);
  await page.getByLabel('Last Name').fill(values.last);
  await page.getByLabel('Email').fill(values.email);
  await page.getByLabel('City').fill(values.city);
}

before(async () => {
  mkdirSync(artefacts, { recursive: true });
  browser = await launchChromium();
  context = await newContext(browser, { baseURL, viewport: { width: 1280, height: 800 } });
  page = watch(await context.newPage(), problems);
});

after(async () => {
  await browser?.close();
});

describe('login', () => {
  it('sends a visitor to the login form and back to the page asked for', async () => {
    await page.goto('customerslist.php');
    assert.match(page.url(), /\/login\.php\?return=customerslist\.php$/);
    await page.getByLabel('User name').fill('laura');
    await page.getByLabel('Password').fill('demo');
    await page.getByRole('button', { name: 'Login' }).click();
    await page.waitForURL(/\/customerslist\.php$/);
    assert.equal(await page.locator('.vm-user span').textContent(), 'laura');
    assert.equal(await page.getByRole('heading', { level: 1 }).textContent(), 'Customers');
    loggedIn = true;
  });
});

describe('a customer from add to delete', () => {
  afterLogin();
  // What the pages store and show is checked over HTTP (http_app_test.py); here the links and buttons a person uses.
  it('is added, found, edited and deleted through the links of the pages', async () => {
    await page.goto('customerslist.php');
    await page.getByRole('link', { name: 'Add', exact: true }).click();
    await page.waitForURL(/\/customersadd\.php$/);
    assert.equal(await page.getByLabel('Country').inputValue(), 'Italy', 'the column default prefills the form');
    await fillCustomer(customer);
    await page.getByRole('button', { name: 'Save' }).click();
    await page.waitForURL(/\/customerslist\.php/);
    const rows = await search(customer.email);
    assert.equal(await rows.count(), 1);
    await rows.first().getByRole('link', { name: 'View', exact: true }).click();
    await page.waitForURL(/\/customersview\.php\?key%5Bcustomer_id%5D=\d+$/);
    const viewURL = page.url();
    await page.locator('.vm-toolbar').getByRole('link', { name: 'Edit', exact: true }).click();
    await page.getByLabel('City').fill(customer.newCity);
    await page.getByRole('button', { name: 'Save' }).click();
    await page.waitForURL((url) => !url.pathname.endsWith('/customersedit.php'));
    await page.goto(viewURL);
    assert.equal(await recordValue('City').textContent(), customer.newCity);
    assert.equal(await recordValue('Last Name').textContent(), customer.last, 'the other columns are kept');
    await page.locator('.vm-toolbar').getByRole('link', { name: 'Delete', exact: true }).click();
    await page.waitForURL(/\/customersdelete\.php\?/);
    await page.locator('main form').getByRole('button', { name: 'Delete' }).click();
    await page.waitForURL(/\/customerslist\.php/);
    assert.equal(await (await search(customer.email)).count(), 0);
  });
});

describe('an add form with a wrong e-mail address', () => {
  afterLogin();
  const typed = { first: 'Ugo', last: `Invalid ${run}`, email: 'ugo@nowhere', city: 'Lecce' };

  it('is stopped by the browser when the address has no @', async () => {
    await page.goto('customersadd.php');
    await fillCustomer({ ...typed, email: 'ugo.nowhere' });
    const posts = [];
    const onRequest = (request) => request.method() === 'POST' && posts.push(request.url());
    page.on('request', onRequest);
    await page.getByRole('button', { name: 'Save' }).click();
    page.off('request', onRequest);
    assert.equal(await page.getByLabel('Email').evaluate((input) => input.validity.typeMismatch), true);
    assert.deepEqual(posts, [], 'the form was not sent');
  });

  it('is refused by the server with the message next to the field and the typed values kept', async () => {
    // "ugo@nowhere" passes the browser's own check (no dot is needed there), so the server decides.
    await page.goto('customersadd.php');
    await fillCustomer(typed);
    const answer = page.waitForResponse((response) => response.request().method() === 'POST');
    await page.getByRole('button', { name: 'Save' }).click();
    assert.equal((await answer).status(), 200, 'the form comes back, no redirect');
    await page.locator('.vm-message.vm-error').waitFor();
    assert.match(page.url(), /\/customersadd\.php$/);

    const email = page.getByLabel('Email');
    assert.equal(await email.getAttribute('aria-invalid'), 'true');
    const field = page.locator('.vm-field').filter({ has: email });
    assert.match(await field.getAttribute('class'), /\bvm-invalid\b/);
    const errorId = await email.getAttribute('aria-describedby');
    assert.ok(errorId, 'the field points to its message');
    const message = field.locator(`[id="${errorId}"]`);
    assert.equal(await message.count(), 1, 'the message sits in the field it is about');
    assert.match(await message.textContent(), /e-mail/i);
    assert.equal(await page.locator('.vm-field.vm-invalid').count(), 1, 'only the e-mail field is marked');
    assert.equal(await email.inputValue(), typed.email);
  });
});

describe('the orders list', () => {
  afterLogin();
  it('renders on a desktop', async () => {
    await page.goto('orderslist.php');
    // The charts: a bar per status with the trend line, and a slice per status.
    const bars = page.getByRole('img', { name: 'Orders by status' });
    assert.ok((await bars.locator('rect').count()) >= 3);
    assert.match(await bars.textContent(), /Target/);
    assert.ok((await page.getByRole('img', { name: 'Share by status' }).locator('path').count()) >= 2);
    const file = path.join(artefacts, 'demo-orders-list.png');
    await page.screenshot({ path: file, fullPage: true });
  });

  it('exports the search result from the list page', async () => {
    // what the files hold is checked over HTTP (ExportTests in http_app_test.py); here the page's control
    await page.goto('orderslist.php?q=Rossi');
    await page.getByRole('combobox', { name: 'Export' }).selectOption({ label: 'CSV' });
    const [download] = await Promise.all([page.waitForEvent('download'),
      page.getByRole('button', { name: 'Export', exact: true }).click()]);
    assert.equal(download.suggestedFilename(), 'orders.csv');
    const lines = readFileSync(await download.path(), 'utf8').trim().split('\r\n');
    assert.ok(lines.length > 1 && lines.slice(1).every((line) => line.includes('Rossi')), lines.join('\n'));
  });

  const phoneWidth = 390;

  it('fits a phone screen, the wide table scrolling inside its frame', async () => {
    const phone = await newContext(browser, {
      baseURL,
      viewport: { width: phoneWidth, height: 844 },
      isMobile: true,
      hasTouch: true,
      deviceScaleFactor: 2,
      storageState: await context.storageState(),
    });
    try {
      const p = watch(await phone.newPage(), problems);
      await p.goto('orderslist.php');
      // Compared with the screen as set: a mobile browser zooms out to a page too wide for it.
      const pageWidth = await p.evaluate(() => document.documentElement.scrollWidth);
      assert.ok(pageWidth <= phoneWidth, `the page is ${pageWidth}px wide on a ${phoneWidth}px screen`);
      // The last column is reached by scrolling the table's frame, not the page.
      const status = p.getByRole('columnheader', { name: 'Status' });
      await status.scrollIntoViewIfNeeded();
      const box = await status.boundingBox();
      assert.ok(box.x >= 0 && box.x + box.width <= phoneWidth, `the Status column at ${box.x}..${box.x + box.width}px`);
      assert.equal(await p.evaluate(() => window.scrollX), 0);
      await p.locator('.vm-table-wrap').evaluate((wrap) => { wrap.scrollLeft = 0; });
      await p.screenshot({ path: path.join(artefacts, 'demo-orders-list-phone.png'), fullPage: true });
    } finally {
      await phone.close();
    }
  });
});

consoleStaysClean(problems);
