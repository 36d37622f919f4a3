// The web page's time per frame, opening and flight, by Chromium's task
// time and by the page's own counter, for several builds of the page in one
// browser, taking turns, medians of the runs; each later page against the
// first.
//
//   node web_frame_cost.js RUNS NAME=PAGE_DIR NAME=PAGE_DIR...
'use strict';

const path = require('path');
const { Browser, startServer, measureFrameCost } = require(path.join(__dirname, '../tests/web/chromium.js'));

const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = Math.floor(sorted.length / 2);
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
};

async function main() {
  const [runsText, ...named] = process.argv.slice(2);
  const runs = Number(runsText);
  const pages = named.map((argument) => {
    const split = argument.indexOf('=');
    return { name: argument.slice(0, split), dir: argument.slice(split + 1), costs: [] };
  });
  if (!(runs >= 1) || pages.length < 1 || pages.some((page) => !page.name || !page.dir)) {
    console.error('usage: node web_frame_cost.js RUNS NAME=PAGE_DIR...');
    process.exit(2);
  }
  const browser = new Browser();
  try {
    for (const page of pages) page.server = await startServer(page.dir);
    for (let run = 1; run <= runs; ++run) {
      for (const page of pages) {
        const tab = await browser.open(`http://127.0.0.1:${page.server.port}/index.html`);
        const cost = await measureFrameCost(tab);
        await tab.close();
        page.costs.push(cost);
        const phase = (name) => {
          const { taskMilliseconds, busyMilliseconds, canvasMilliseconds, parts, pixels, frames } = cost[name];
          const drawn = Number.isFinite(parts) ? `, ${parts.toFixed(1)} parts of ${pixels.toFixed(0)} pixels` : '';
          return `${name} ${taskMilliseconds.toFixed(3)} ms (page ${busyMilliseconds.toFixed(3)}, canvas ` +
                 `${canvasMilliseconds.toFixed(3)}${drawn}, ${frames} frames)`;
        };
        console.log(`run ${run} ${page.name}: ${phase('opening')}; ${phase('flight')}`);
      }
    }
  } finally {
    await browser.close();
    for (const page of pages) if (page.server) page.server.stop();
  }
  const summary = (page, phase, counter) => median(page.costs.map((cost) => cost[phase][counter]));
  const first = pages[0];
  console.log(`medians of ${runs}, Chromium's task time a frame (the page's own counter):`);
  for (const page of pages) {
    const parts = ['opening', 'flight'].map((phase) => {
      const task = summary(page, phase, 'taskMilliseconds');
      const ratio = page === first ? '' : `, ${(task / summary(first, phase, 'taskMilliseconds')).toFixed(2)}x ${first.name}`;
      return `${phase} ${task.toFixed(3)} ms (${summary(page, phase, 'busyMilliseconds').toFixed(3)})${ratio}`;
    });
    console.log(`  ${page.name}: ${parts.join('; ')}`);
  }
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
