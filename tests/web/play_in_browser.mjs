// The browser version played in headless Chromium through the DevTools protocol: the page from
// zkscored's /play/, its first frame, the main menu and the vehicle selection compared with the
// native game's pictures, an option set, a race at full throttle, the race and the game left
// through their menus, the options and high scores found again after a reload; then, with a
// table of low scores put into the browser's save folder, a whole game at full throttle to the
// name entry, its score sent to the server and found on the world list the WORLD button opens.
//   node --experimental-websocket play_in_browser.mjs CHROMIUM SERVER_URL SHOTS_DIR OUT_DIR LOW_TABLE_DIR
// SHOTS_DIR holds the native pictures as raw RGBA (menu.rgba, vehicles.rgba, nameentry.rgba,
// 800x600); LOW_TABLE_DIR the options and hs files of the low table. Prints the measured figures
// as "web: ..." lines; exit status 1 with the reason on a failure.
import { spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

const [chromiumPath, serverUrl, shotsDir, outDir, lowTableDir] = process.argv.slice(2);
const Width = 800, Height = 600;
// A pixel differs when a channel is off by more than this; the pictures match when at most
// MaxDifferingShare of the pixels differ (the browser's canvas rounds colours its own way, and
// the menu's animation may be a frame apart).
const ChannelTolerance = 24;
const MaxDifferingShare = 0.02;

function fail(message) {
  console.error(`web: ${message}`);
  process.exit(1);
}

const profile = mkdtempSync(join(tmpdir(), 'zk-web-'));
const chromium = spawn(chromiumPath, [
  '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
  '--disable-component-update', '--disable-sync', '--remote-debugging-port=0', `--user-data-dir=${profile}`,
  '--autoplay-policy=user-gesture-required', '--window-size=1000,800', 'about:blank',
], { stdio: ['ignore', 'ignore', 'pipe'] });
const cleanUp = () => {
  chromium.kill('SIGKILL');
  try { rmSync(profile, { recursive: true, force: true }); } catch {}
};
process.on('exit', cleanUp);
const watchdog = setTimeout(() => fail('the whole run took more than 14 minutes'), 14 * 60 * 1000);

const browserAddress = await new Promise((resolve, reject) => {
  let text = '';
  chromium.stderr.on('data', (chunk) => {
    text += chunk;
    const found = /DevTools listening on (ws:\/\/\S+)/.exec(text);
    if (found) resolve(found[1]);
  });
  chromium.on('exit', (code) => reject(new Error(`chromium ended (${code}): ${text.slice(-2000)}`)));
}).catch((e) => fail(e.message));

// The page's own DevTools connection.
const port = new URL(browserAddress).port;
const targets = await (await fetch(`http://127.0.0.1:${port}/json/list`)).json();
const page = targets.find((t) => t.type === 'page');
if (!page) fail('Chromium shows no page');
const socket = new WebSocket(page.webSocketDebuggerUrl);
await new Promise((resolve, reject) => { socket.onopen = resolve; socket.onerror = reject; });
let nextId = 0;
const pending = new Map();
const consoleLines = [];
socket.onmessage = (event) => {
  const message = JSON.parse(event.data);
  if (message.id !== undefined && pending.has(message.id)) {
    const { resolve, reject } = pending.get(message.id);
    pending.delete(message.id);
    if (message.error) reject(new Error(JSON.stringify(message.error)));
    else resolve(message.result);
  } else if (message.method === 'Runtime.consoleAPICalled') {
    consoleLines.push(message.params.args.map((a) => a.value ?? a.description).join(' '));
  } else if (message.method === 'Runtime.exceptionThrown') {
    const details = message.params.exceptionDetails;
    consoleLines.push('exception: ' + (details.exception?.description ?? JSON.stringify(details)).slice(0, 1500));
  }
};
function send(method, params = {}) {
  const id = ++nextId;
  socket.send(JSON.stringify({ id, method, params }));
  return new Promise((resolve, reject) => pending.set(id, { resolve, reject }));
}
async function evaluate(expression) {
  const result = await send('Runtime.evaluate', { expression, awaitPromise: true, returnByValue: true });
  if (result.exceptionDetails) throw new Error(`${expression}: ${JSON.stringify(result.exceptionDetails).slice(0, 500)}`);
  return result.result.value;
}
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
// Fails with what the page shows: its status line, its console and the canvas (failure.web.rgba).
async function failWithConsole(message) {
  const status = await evaluate('document.getElementById("status").textContent').catch(() => '');
  await canvasPixels().then((pixels) => writeFileSync(join(outDir, 'failure.web.rgba'), pixels)).catch(() => {});
  const tabs = await fetch(`http://127.0.0.1:${port}/json/list`).then((r) => r.json()).catch(() => []);
  console.error(`web: the browser's tabs: ${tabs.filter((t) => t.type === 'page').map((t) => t.url).join(' ')}`);
  fail(`${message}\n  the page says: ${status}\n  page console:\n    ${consoleLines.slice(-30).join('\n    ')}`);
}

const frames = () => evaluate('typeof Module !== "undefined" && Module.calledRun ? Module._zk_frame_count() : 0');
// Waits until the game has run `count` frames, `from` a frame count; fails after `limitMs`.
async function waitForFrame(count, from, limitMs, problem) {
  const deadline = Date.now() + limitMs;
  while ((await frames()) < from + count) {
    if (Date.now() > deadline) await failWithConsole(problem);
    await sleep(20);
  }
}
// Waits until the game has run `count` more frames (generous bound: 30 ms a frame and 20 s more).
async function waitFrames(count) {
  const start = await frames();
  await waitForFrame(count, start, 20000 + count * 30, `the game ran fewer than ${count} frames in time (from frame ${start})`);
}

// Windows virtual-key codes and the DOM's key names for the keys the test presses.
const Keys = {
  enter: { key: 'Enter', code: 'Enter', keyCode: 13, text: '\r' },
  escape: { key: 'Escape', code: 'Escape', keyCode: 27 },
  up: { key: 'ArrowUp', code: 'ArrowUp', keyCode: 38 },
  down: { key: 'ArrowDown', code: 'ArrowDown', keyCode: 40 },
  left: { key: 'ArrowLeft', code: 'ArrowLeft', keyCode: 37 },
  right: { key: 'ArrowRight', code: 'ArrowRight', keyCode: 39 },
  backspace: { key: 'Backspace', code: 'Backspace', keyCode: 8 },
};
function keyOf(name) {
  if (Keys[name]) return Keys[name];
  const upper = name.toUpperCase();
  if (/^[A-Z]$/.test(upper)) return { key: name, code: `Key${upper}`, keyCode: upper.charCodeAt(0), text: name };
  if (/^[0-9]$/.test(name)) return { key: name, code: `Digit${name}`, keyCode: name.charCodeAt(0), text: name };
  fail(`no key ${name}`);
}
async function keyDown(name) {
  const k = keyOf(name);
  await send('Input.dispatchKeyEvent', {
    type: k.text ? 'keyDown' : 'rawKeyDown', key: k.key, code: k.code, text: k.text,
    windowsVirtualKeyCode: k.keyCode, nativeVirtualKeyCode: k.keyCode,
  });
}
async function keyUp(name) {
  const k = keyOf(name);
  await send('Input.dispatchKeyEvent', {
    type: 'keyUp', key: k.key, code: k.code, windowsVirtualKeyCode: k.keyCode, nativeVirtualKeyCode: k.keyCode,
  });
}
// A key pressed for two frames, then two frames for the game to take it in.
async function press(name) {
  await keyDown(name);
  await waitFrames(2);
  await keyUp(name);
  await waitFrames(2);
}
async function typeText(text) {
  for (const c of text) await press(c);
}

// The canvas as raw RGBA.
async function canvasPixels() {
  const base64 = await evaluate(`(() => {
    const c = Module.canvas, d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    let s = '';
    for (let i = 0; i < d.length; i += 32768) s += String.fromCharCode.apply(null, d.subarray(i, i + 32768));
    return btoa(s);
  })()`);
  return Buffer.from(base64, 'base64');
}
const WholeScreen = { x: 0, y: 0, w: Width, h: Height };
// The share of the pixels of `area` that differ between two RGBA pictures of the screen.
function differingShare(a, b, area = WholeScreen) {
  if (a.length !== b.length) return 1;
  let differing = 0;
  for (let y = area.y; y < area.y + area.h; ++y) {
    for (let i = (y * Width + area.x) * 4, end = i + area.w * 4; i < end; i += 4) {
      if (Math.abs(a[i] - b[i]) > ChannelTolerance || Math.abs(a[i + 1] - b[i + 1]) > ChannelTolerance ||
          Math.abs(a[i + 2] - b[i + 2]) > ChannelTolerance) ++differing;
    }
  }
  return differing / (area.w * area.h);
}
async function compareWithNative(name, maxShare = MaxDifferingShare) {
  const web = await canvasPixels();
  writeFileSync(join(outDir, `${name}.web.rgba`), web);
  const share = differingShare(web, readFileSync(join(shotsDir, `${name}.rgba`)));
  console.log(`web: ${name}: ${(share * 100).toFixed(2)}% of the pixels differ from the native game's`);
  if (share > maxShare) await failWithConsole(`the ${name} differs from the native game's picture (${outDir}/${name}.web.rgba)`);
}

async function openGame() {
  const before = await evaluate('performance.timeOrigin');
  await send('Page.navigate', { url: `${serverUrl}/play` });
  const deadline = Date.now() + 60000;
  // The new document (not the one before, whose game may still count frames) and its first frame.
  while ((await evaluate('performance.timeOrigin')) === before) {
    if (Date.now() > deadline) await failWithConsole('the page did not load within 60 s');
    await sleep(20);
  }
  await waitForFrame(1, 0, deadline - Date.now(), 'no frame within 60 s of loading the page');
  return evaluate('Module.zkFirstFrameMs');
}

// Escape on the main menu, then Yes: the game ends (its frames stop) and its saves are stored.
async function endGame() {
  await press('escape');
  await keyDown('y');
  await keyUp('y');
  const stored = await evaluate(`new Promise((resolve) => {
    const started = Date.now();
    const look = () => (Module.zkSavesStored || 0) > 0 ? resolve(true) : Date.now() - started > 10000 ? resolve(false) : setTimeout(look, 20);
    look();
  })`);
  if (!stored) await failWithConsole('the saves were not stored in the browser after the game ended');
}

await send('Runtime.enable');
await send('Page.enable');

// --- the first load: first frame, menu, options ---
const firstFrameMs = await openGame();
console.log(`web: first frame ${Math.round(firstFrameMs)} ms after navigation start`);
await waitFrames(298);
await compareWithNative('menu');

// Browsers may keep the sound off until the player's first key (headless Chromium need not):
// after it the game's sound must run.
const audioState = () => evaluate('Module.SDL2 && Module.SDL2.audioContext ? Module.SDL2.audioContext.state : "none"');
const soundBefore = await audioState();

// The country set in the options (OPTIONS is the third item of the main menu).
await press('down');
const soundAfter = await audioState();
console.log(`web: sound ${soundBefore} before the first key, ${soundAfter} after it`);
if (soundAfter !== 'running') await failWithConsole(`the sound is ${soundAfter} after the first key`);
await press('down');
await press('enter');
await press('up');
await press('up');
await press('enter');
for (let i = 0; i < 16; ++i) await press('backspace');
await typeText('Webland');
await press('enter');
await press('escape');

// --- the vehicle selection and a race at full throttle ---
await press('up');
await press('up');
await press('enter');
await waitFrames(5);
await compareWithNative('vehicles');
await press('enter');
await waitFrames(130);
await keyDown('up');
const raceFirst = await canvasPixels();
const raceStart = { frames: await frames(), ms: Date.now() };
await waitFrames(600);
const raceEnd = { frames: await frames(), ms: Date.now() };
const rate = (raceEnd.frames - raceStart.frames) * 1000 / (raceEnd.ms - raceStart.ms);
console.log(`web: race at ${rate.toFixed(1)} frames a second in headless Chromium`);
const moved = differingShare(raceFirst, await canvasPixels());
await keyUp('up');
console.log(`web: ${(moved * 100).toFixed(1)}% of the pixels changed over 600 frames of the race`);
if (moved < 0.05) await failWithConsole('the race does not move');

// --- leaving the race and the game through the menu saves; the reload finds the saves ---
await press('escape');
await press('y');
await waitFrames(10);
await endGame();
await openGame();
await waitFrames(10);
const saves = await evaluate(`(() => {
  const text = (name) => { try { return Array.from(FS.readFile('/save/' + name)).map((b) => String.fromCharCode(b)).join(''); } catch (e) { return ''; } };
  return { options: text('options'), hs: text('hs') };
})()`);
if (!saves.options.includes('Webland')) fail(`the options were not kept: ${JSON.stringify(saves.options.slice(0, 200))}`);
if (!saves.hs.includes('ANONYMOUS')) fail(`no high-score table was kept: ${JSON.stringify(saves.hs.slice(0, 200))}`);
console.log('web: options and high scores kept over a reload');

// --- a whole game to the name entry and the world list ---
// This game ends first (its exit saves), then a table of low scores, written by the native
// game's save code, takes the place of the saves in the browser's storage.
await waitFrames(300);
await endGame();
const lowTable = { options: readFileSync(join(lowTableDir, 'options')), hs: readFileSync(join(lowTableDir, 'hs')) };
await evaluate(`new Promise((resolve, reject) => {
  FS.writeFile('/save/options', new Uint8Array(${JSON.stringify([...lowTable.options])}));
  FS.writeFile('/save/hs', new Uint8Array(${JSON.stringify([...lowTable.hs])}));
  FS.syncfs(false, (err) => err ? reject(err) : resolve(true));
})`);
await openGame();
const planted = await evaluate(`Array.from(FS.readFile('/save/hs')).map((b) => String.fromCharCode(b)).join('')`);
if (!planted.includes('\r\n100\r\n')) fail(`the low table did not reach the game: ${JSON.stringify(planted.slice(0, 200))}`);
await waitFrames(300);
// Full throttle until the game is over: the popup asking for the name is the native one but for
// the score's digits and the blinking cursor. A ride may end without a point (or the menu may
// miss the key that starts it): back on the main menu, with PLAY chosen, the next game starts.
const nameEntry = readFileSync(join(shotsDir, 'nameentry.rgba'));
const menu = readFileSync(join(shotsDir, 'menu.rgba'));
const popup = { x: 190, y: 222, w: 385, h: 143 };
const menuButtons = { x: 10, y: 170, w: 285, h: 360 };
const gameDeadline = Date.now() + 8 * 60 * 1000;
let games = 0;
for (let seen = await canvasPixels(); differingShare(seen, nameEntry, popup) > 0.05; seen = await canvasPixels()) {
  if (Date.now() > gameDeadline) await failWithConsole(`no name entry within 8 minutes of full throttle (${games} games)`);
  if (differingShare(seen, menu, menuButtons) < 0.02) {
    // PLAY, then the vehicle chosen.
    await keyUp('up');
    await press('enter');
    await waitFrames(5);
    await press('enter');
    await waitFrames(130);
    await keyDown('up');
    ++games;
  }
  await waitFrames(60);
}
writeFileSync(join(outDir, 'nameentry.web.rgba'), await canvasPixels());
await keyUp('up');
console.log(`web: a game at full throttle reached the name entry (games started: ${games})`);
const rider = 'WEBRIDER';
await typeText(rider);
await press('enter');
await waitFrames(30);
// "Send the result to World's Highscores page?" YES (the button chosen).
await press('enter');
await waitFrames(60);
const worldPath = '/cgi/version.pl?prg=ZuboKranz&show&type=0';
const worldList = await (await fetch(serverUrl + worldPath)).text();
if (!worldList.includes(rider)) fail(`the server's world list does not show ${rider}: ${worldList.slice(0, 500)}`);
console.log(`web: ${rider} is on the world list`);
// The high-score screen's WORLD button (left of BACK) opens the list in a new tab.
const pagesBefore = new Set((await (await fetch(`http://127.0.0.1:${port}/json/list`)).json()).map((t) => t.id));
// The page stops its frames once the new tab is in front: the key goes without waiting for them.
await press('left');
await keyDown('enter');
const tabDeadline = Date.now() + 20000;
let worldTab;
while (!worldTab) {
  if (Date.now() > tabDeadline) await failWithConsole('the WORLD button opened no tab');
  await sleep(100);
  const list = await (await fetch(`http://127.0.0.1:${port}/json/list`)).json();
  worldTab = list.find((t) => t.type === 'page' && !pagesBefore.has(t.id) && t.url.includes('version.pl'));
}
if (new URL(worldTab.url).origin !== new URL(serverUrl).origin) fail(`WORLD opened ${worldTab.url}, not the page's own server`);
await keyUp('enter');
console.log(`web: WORLD opened ${new URL(worldTab.url).pathname}${new URL(worldTab.url).search}`);

clearTimeout(watchdog);
socket.close();
process.exit(0);
