// The headless Chromium every browser test drives: Debian's, or the one VELMORA_CHROMIUM names.
import { chromium } from 'playwright-core';

export function launchChromium() {
  return chromium.launch({
    executablePath: process.env.VELMORA_CHROMIUM || '/usr/bin/chromium',
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update'],
  });
}
