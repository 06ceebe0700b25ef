// User accounts and levels in a browser: a visitor registers and confirms by the mailed link, and
// the administrator gives a level a permission that its user then has. Started by run.sh, which
// generates the application of tests/app/security_schema.sql and catches its mail.
import { after, before, describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { readdirSync, readFileSync } from 'node:fs';
import path from 'node:path';
import { consoleStaysClean, launchChromium, newContext, watch } from './chromium.mjs';

const baseURL = process.env.VELMORA_E2E_SECURITY_URL;
const mailFolder = process.env.VELMORA_E2E_MAIL;
const run = `${Date.now().toString(36)}${Math.floor(Math.random() * 1e6).toString(36)}`;
const problems = [];
let browser;

before(async () => {
  browser = await launchChromium();
});
after(async () => { await browser?.close(); });

const newPage = async () => watch(await (await newContext(browser, { baseURL })).newPage(), problems);

async function login(page, user, password) {
  await page.goto('login.php');
  await page.getByLabel('User name').fill(user);
  await page.getByLabel('Password', { exact: true }).fill(password);
  await page.getByRole('button', { name: 'Login' }).click();
  await page.waitForURL(/\/index\.php$/);
}

// The link of the newest message to an address, waiting for it to arrive.
async function mailedLink(address, page) {
  for (let i = 0; i < 50; i++) {
    const texts = readdirSync(mailFolder).filter((f) => f.endsWith('.eml')).sort()
      .map((f) => readFileSync(path.join(mailFolder, f), 'utf8')).filter((t) => t.includes(`X-Envelope-To: ${address}`));
    const link = texts.length ? texts.at(-1).match(new RegExp(`http://\\S+/${page}\\?token=\\S+`)) : null;
    if (link) return link[0];
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  throw new Error(`no mail for ${address}`);
}

describe('registration', () => {
  it('creates an account that logs in once the mailed link is opened', async () => {
    const page = await newPage();
    const user = `web${run}`;
    await page.goto('login.php');
    await page.getByRole('link', { name: 'Register' }).click();
    await page.getByLabel(/^Login/).fill(user);
    await page.getByLabel(/^Password \*?$/).fill('browser-pass-1');
    await page.getByLabel('Password again').fill('browser-pass-1');
    await page.getByLabel('Email').fill(`${user}@example.com`);
    await page.getByRole('tab', { name: 'Page 2' }).click();   // the form is in pages (RegisterMultiPage)
    await page.getByLabel('Full Name').fill('Web Visitor');
    await page.getByRole('button', { name: 'Save' }).click();
    await page.waitForURL(/\/login\.php$/);
    assert.match(await page.locator('.vm-message').first().textContent(), /link has been sent/);
    await page.goto(await mailedLink(`${user}@example.com`, 'register.php'));
    assert.match(await page.locator('.vm-message').first().textContent(), /activated/);
    await login(page, user, 'browser-pass-1');
    assert.equal(await page.locator('.vm-user span').textContent(), user);
  });
});

describe('permissions', () => {
  it('the administrator lets the readers add articles, and a reader then can', async () => {
    const admin = await newPage();
    const reader = await newPage();
    await login(admin, 'admin', 'secret123');
    await login(reader, 'reader', 'secret123');
    await reader.goto('articleslist.php');
    assert.equal(await reader.getByRole('link', { name: 'Add', exact: true }).count(), 0);
    await admin.getByRole('navigation').getByRole('link', { name: 'Permissions', exact: true }).click();
    await admin.getByLabel('User level').selectOption({ label: 'Reader' });
    await admin.getByRole('button', { name: 'Show' }).click();
    const add = admin.getByLabel('Articles: Add');
    await add.check();
    await admin.getByRole('button', { name: 'Save' }).click();
    await admin.waitForURL(/userpriv\.php\?level=2$/);
    assert.ok(await add.isChecked());
    await reader.reload();
    await reader.getByRole('link', { name: 'Add', exact: true }).click();
    await reader.waitForURL(/articlesadd\.php$/);
    await add.uncheck();
    await admin.getByRole('button', { name: 'Save' }).click();
    await admin.waitForURL(/userpriv\.php\?level=2$/);
  });
});

consoleStaysClean(problems);
