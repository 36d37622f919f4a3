// The page side of the web display (run before the program starts): the
// query string as environment and command line, browser input queued as
// Windows messages, the canvas, the message box overlay, the exit code.
//
// What the page shows the outside (tests use it):
//   window.lumvaneFrames     the frame log ("N HASH" per swap) when SOFTGLIDE_FRAMES is set
//   window.lumvaneExit       the exit code once the program has ended (undefined before)
//   window.lumvaneFrameCost  {turns, busyMilliseconds, canvasMilliseconds, parts, pixels}: the
//                            page's time spent in the program (a paced frame is one turn)
//                            and, of that, in drawing into the canvas, from performance.now();
//                            the putImageData calls made and the pixels they drew

var lumvanePage = (function () {
  'use strict';

  // A key pressed or released, for the program to make a message of.
  const KEY_RECORD = 0x100;
  const WM_MOUSEMOVE = 0x200, WM_LBUTTONDOWN = 0x201, WM_LBUTTONUP = 0x202;
  const WM_RBUTTONDOWN = 0x204, WM_RBUTTONUP = 0x205, WM_MBUTTONDOWN = 0x207, WM_MBUTTONUP = 0x208;
  const WM_MOUSEWHEEL = 0x20A, WM_CLOSE = 0x10;
  // The screen's new size, for the program to take (WM_SIZE's number).
  const SIZE_RECORD = 0x5;
  const MK_LBUTTON = 0x1, MK_RBUTTON = 0x2, MK_SHIFT = 0x4, MK_CONTROL = 0x8, MK_MBUTTON = 0x10;
  const WHEEL_DELTA = 120;
  // The saver's screen, which the integer scale mode multiplies.
  const GAME_WIDTH = 640, GAME_HEIGHT = 480;
  // The largest grid the board draws at native resolution (softglide.h): a
  // larger picture shows that grid stretched.
  const LARGEST_GRID_WIDTH = 5120, LARGEST_GRID_HEIGHT = 3840;

  // Windows virtual-key codes of the keys whose code names no letter or digit.
  const namedKeys = {
    Backspace: 0x08, Tab: 0x09, Enter: 0x0D, NumpadEnter: 0x0D, ShiftLeft: 0x10, ShiftRight: 0x10,
    ControlLeft: 0x11, ControlRight: 0x11, AltLeft: 0x12, AltRight: 0x12, Pause: 0x13, CapsLock: 0x14,
    Escape: 0x1B, Space: 0x20, PageUp: 0x21, PageDown: 0x22, End: 0x23, Home: 0x24, ArrowLeft: 0x25,
    ArrowUp: 0x26, ArrowRight: 0x27, ArrowDown: 0x28, PrintScreen: 0x2C, Insert: 0x2D, Delete: 0x2E,
    MetaLeft: 0x5B, MetaRight: 0x5C, ContextMenu: 0x5D, NumpadMultiply: 0x6A, NumpadAdd: 0x6B,
    NumpadSubtract: 0x6D, NumpadDecimal: 0x6E, NumpadDivide: 0x6F, NumLock: 0x90, ScrollLock: 0x91,
    Semicolon: 0xBA, Equal: 0xBB, Comma: 0xBC, Minus: 0xBD, Period: 0xBE, Slash: 0xBF, Backquote: 0xC0,
    BracketLeft: 0xDB, Backslash: 0xDC, BracketRight: 0xDD, Quote: 0xDE,
  };

  // The key's Windows code: letters follow the layout (the character typed,
  // as Windows does), everything else the key's place on the keyboard.
  function virtualKey(event) {
    if (typeof event.key === 'string' && /^[a-zA-Z]$/.test(event.key)) return event.key.toUpperCase().charCodeAt(0);
    const code = event.code || '';
    let match;
    if ((match = /^Key([A-Z])$/.exec(code))) return match[1].charCodeAt(0);
    if ((match = /^Digit([0-9])$/.exec(code))) return 0x30 + Number(match[1]);
    if ((match = /^Numpad([0-9])$/.exec(code))) return 0x60 + Number(match[1]);
    if ((match = /^F([0-9]+)$/.exec(code)) && Number(match[1]) >= 1 && Number(match[1]) <= 24) {
      return 0x6F + Number(match[1]);
    }
    if (code in namedKeys) return namedKeys[code];
    return event.keyCode > 0 && event.keyCode < 0xFF ? event.keyCode : 0xFF;
  }

  const queue = [];
  const state = {
    canvas: null, context: null, image: null, width: 0, height: 0, fullscreenAsked: false,
    boxOpen: false, turnStarted: 0, ended: false, scale: 'aspect', native: false, multiple: 1, asked: null,
  };
  const cost = { turns: 0, busyMilliseconds: 0, canvasMilliseconds: 0, parts: 0, pixels: 0 };
  let lastMouse = { x: 0, y: 0 };

  function element(id, tag) {
    let found = document.getElementById(id);
    if (!found) {
      found = document.createElement(tag);
      found.id = id;
      document.body.appendChild(found);
    }
    return found;
  }

  function askFullscreen() {
    if (state.fullscreenAsked) return;
    state.fullscreenAsked = true;
    const root = document.documentElement;
    if (root.requestFullscreen) root.requestFullscreen().catch(() => {});
  }

  function mouseFlags(event) {
    let flags = 0;
    if (event.buttons & 1) flags |= MK_LBUTTON;
    if (event.buttons & 2) flags |= MK_RBUTTON;
    if (event.buttons & 4) flags |= MK_MBUTTON;
    if (event.shiftKey) flags |= MK_SHIFT;
    if (event.ctrlKey) flags |= MK_CONTROL;
    return flags;
  }

  // Client coordinates of the screen window, which covers the whole canvas:
  // the page position scaled to the canvas's pixels, held inside it.
  function mousePoint(event) {
    if (!state.canvas) return lastMouse;
    const box = state.canvas.getBoundingClientRect();
    const scale = (value, size, pixels) => Math.min(pixels - 1, Math.max(0, Math.floor(value * pixels / size)));
    lastMouse = {
      x: box.width > 0 ? scale(event.clientX - box.left, box.width, state.width) : 0,
      y: box.height > 0 ? scale(event.clientY - box.top, box.height, state.height) : 0,
    };
    return lastMouse;
  }

  // The picture's rectangle on the page as the board places its picture in
  // a window (SOFTGLIDE_SCALE, presenter.cpp), in the window's own pixels
  // (device pixels): the largest 4:3 rectangle (aspect), the largest whole
  // multiple of 640x480 that fits, at least 1x (integer), or all of it
  // (fill), centred. At native resolution the board draws a grid of that
  // rectangle's size, which must also be the rectangle it places in a
  // window of that size: a 4:3 rectangle as tall as the window, floor(4h /
  // 3) wide, is floor(3 floor(4h / 3) / 4) tall by the board's rule, one
  // pixel less where 3 does not divide h.
  function pictureRect() {
    const ratio = window.devicePixelRatio || 1;
    const width = Math.round(window.innerWidth * ratio), height = Math.round(window.innerHeight * ratio);
    let shownWidth = width, shownHeight = height;
    if (state.scale === 'integer') {
      const factor = Math.max(1, Math.min(Math.floor(width / GAME_WIDTH), Math.floor(height / GAME_HEIGHT)));
      shownWidth = factor * GAME_WIDTH;
      shownHeight = factor * GAME_HEIGHT;
    } else if (state.scale === 'aspect') {
      shownHeight = Math.floor(width * 3 / 4);
      if (shownHeight > height) {
        shownWidth = Math.floor(height * 4 / 3);
        shownHeight = state.native ? Math.floor(shownWidth * 3 / 4) : height;
      }
    }
    return { left: Math.floor((width - shownWidth) / 2), top: Math.floor((height - shownHeight) / 2),
             width: shownWidth, height: shownHeight, ratio: ratio };
  }

  // The screen's size in canvas pixels: 640x480, N times that for a grid of
  // Nx (the board's grid then lies 1:1 on it, the browser scaling the
  // canvas), or at native resolution the picture's rectangle, so that each
  // grid pixel is a device pixel (at least 1x1; beyond the largest grid,
  // that grid, which the browser stretches over the rectangle as the board
  // would).
  function screenSize(rect) {
    if (!state.native) return { width: GAME_WIDTH * state.multiple, height: GAME_HEIGHT * state.multiple };
    if (rect.width > LARGEST_GRID_WIDTH || rect.height > LARGEST_GRID_HEIGHT) {
      return { width: LARGEST_GRID_WIDTH, height: LARGEST_GRID_HEIGHT };
    }
    return { width: Math.max(rect.width, 1), height: Math.max(rect.height, 1) };
  }

  // The canvas over the picture's rectangle; the browser shows each pixel
  // of it from the canvas pixel under its centre (image-rendering:
  // pixelated), which at native resolution is the pixel itself. The page
  // around it is black. At native resolution a new rectangle is a new
  // screen size, asked of the program as a record that it takes with the
  // input; the canvas takes that size when the program's screen has.
  function placeCanvas() {
    if (!state.canvas || state.width <= 0 || state.height <= 0) return;
    const rect = pictureRect();
    const style = state.canvas.style;
    style.left = rect.left / rect.ratio + 'px';
    style.top = rect.top / rect.ratio + 'px';
    style.width = rect.width / rect.ratio + 'px';
    style.height = rect.height / rect.ratio + 'px';
    const wanted = screenSize(rect);
    if (state.native && (wanted.width !== state.asked.width || wanted.height !== state.asked.height)) {
      state.asked = wanted;
      queue.push([SIZE_RECORD, wanted.width, wanted.height]);
    }
  }

  function pointParam(point) {
    return ((point.y & 0xFFFF) << 16) | (point.x & 0xFFFF);
  }

  function inBox(event) {
    const box = document.getElementById('lumvane-box');
    return state.boxOpen && box && box.contains(event.target);
  }

  // A key pressed or released: the program makes the Windows message of it
  // (a system key with Alt, for Alt itself and F10; the lParam bits), as it
  // does for every display. The record is [KEY_RECORD, key, flags]: flags
  // bit 0 a release, bit 1 Alt held, bit 2 a repeat.
  function onKey(event) {
    if (state.boxOpen) {
      if (event.type === 'keydown' && (event.key === 'Enter' || event.key === 'Escape' || event.key === ' ')) {
        closeBox();
      }
      event.preventDefault();
      return;
    }
    askFullscreen();
    const flags = (event.type === 'keyup' ? 1 : 0) | (event.altKey ? 2 : 0) | (event.repeat ? 4 : 0);
    queue.push([KEY_RECORD, virtualKey(event), flags]);
    event.preventDefault();
  }

  function onMouseMove(event) {
    if (inBox(event)) return;
    queue.push([WM_MOUSEMOVE, mouseFlags(event), pointParam(mousePoint(event))]);
  }

  function onButton(event) {
    if (inBox(event)) return;
    const down = event.type === 'mousedown';
    if (down) askFullscreen();
    const messages = [[WM_LBUTTONDOWN, WM_LBUTTONUP], [WM_MBUTTONDOWN, WM_MBUTTONUP], [WM_RBUTTONDOWN, WM_RBUTTONUP]];
    const pair = messages[event.button];
    if (!pair) return;
    queue.push([down ? pair[0] : pair[1], mouseFlags(event), pointParam(mousePoint(event))]);
  }

  // One notch per event, away from the user positive, as Windows counts it.
  function onWheel(event) {
    if (inBox(event)) return;
    if (event.deltaY === 0) return;
    const delta = event.deltaY < 0 ? WHEEL_DELTA : -WHEEL_DELTA;
    queue.push([WM_MOUSEWHEEL, ((delta & 0xFFFF) << 16) | mouseFlags(event), pointParam(mousePoint(event))]);
    event.preventDefault();
  }

  function closeBox() {
    const box = document.getElementById('lumvane-box');
    if (box) box.hidden = true;
    state.boxOpen = false;
  }

  function listen() {
    window.addEventListener('keydown', onKey, true);
    window.addEventListener('keyup', onKey, true);
    window.addEventListener('mousemove', onMouseMove, true);
    window.addEventListener('mousedown', onButton, true);
    window.addEventListener('mouseup', onButton, true);
    window.addEventListener('wheel', onWheel, { capture: true, passive: false });
    window.addEventListener('contextmenu', (event) => event.preventDefault(), true);
    window.addEventListener('pagehide', () => queue.push([WM_CLOSE, 0, 0]));
    window.addEventListener('resize', placeCanvas);
  }

  // The page's query string: cmd= is the command line's tail (default /s),
  // every other pair an environment variable.
  function startup(module) {
    const query = new URLSearchParams(window.location.search);
    const tail = query.has('cmd') ? query.get('cmd') : '/s';
    // (No destructuring here: emscripten's JavaScript optimizer does not take it.)
    const environment = [];
    query.forEach((value, name) => {
      if (name !== 'cmd') environment.push({ name: name, value: value });
    });
    // The board reads the same variable and ignores (with a line on the
    // console) anything but the three modes: so does the page.
    const scale = query.get('SOFTGLIDE_SCALE');
    if (scale === 'integer' || scale === 'fill') state.scale = scale;
    // Likewise for the grid: at native resolution the screen is the canvas's
    // device pixels.
    state.native = query.get('SOFTGLIDE_RESOLUTION') === 'native';
    const multiple = /^([2-8])x$/.exec(query.get('SOFTGLIDE_RESOLUTION') || '');
    state.multiple = multiple ? Number(multiple[1]) : 1;
    // Set to anything but nothing, the frame log goes to the page (runlog.cpp).
    if (query.get('SOFTGLIDE_FRAMES')) window.lumvaneFrames = [];
    module.preRun = (module.preRun || []).concat([() => {
      environment.forEach((pair) => { ENV[pair.name] = pair.value; });
      // The Win32 layer builds GetCommandLineA from the process's arguments.
      FS.writeFile('/proc/self/cmdline', ['lumvane'].concat(tail.split(/[ \t]+/).filter((part) => part !== ''))
        .map((part) => part + '\0').join(''));
    }]);
    module.onExit = (code) => page.ended(code);
    module.onAbort = (reason) => page.ended(undefined, reason);
    module.print = (text) => console.log(text);
    module.printErr = (text) => console.error(text);
    listen();
  }

  const page = {
    get boxOpen() { return state.boxOpen; },
    get turnStarted() { return state.turnStarted; },

    // The screen's size, chosen here, goes to the two words at size.
    open(size) {
      state.asked = screenSize(pictureRect());
      HEAP32[size >> 2] = state.asked.width;
      HEAP32[(size >> 2) + 1] = state.asked.height;
      state.turnStarted = performance.now();
    },

    // The program's screen is now width x height pixels (at the open, and
    // when it has taken a size asked for): so is the canvas, black.
    setScreen(width, height) {
      state.width = width;
      state.height = height;
      state.canvas = element('lumvane-screen', 'canvas');
      state.canvas.width = width;
      state.canvas.height = height;
      // Desynchronized: the canvas is shown without waiting for the rest of
      // the page to be composited, which halves the cost of putImageData.
      state.context = state.canvas.getContext('2d', { alpha: false, desynchronized: true });
      state.context.imageSmoothingEnabled = false;
      state.image = null;
      placeCanvas();
    },

    show(shown, title) {
      if (state.canvas) state.canvas.hidden = !shown;
      if (shown && title) document.title = title;
    },

    setCursor(visible) {
      document.documentElement.style.cursor = visible ? '' : 'none';
    },

    // The pixels are width x height words in the program's memory, bytes
    // R, G, B, A; the boxes are count x (left, top, right, bottom) words
    // there, the parts to draw. The memory may have grown (and moved) since
    // the last call.
    present(pixels, boxes, count) {
      if (!state.image || state.image.data.buffer !== HEAPU8.buffer || state.image.pointer !== pixels) {
        const bytes = new Uint8ClampedArray(HEAPU8.buffer, pixels, state.width * state.height * 4);
        state.image = new ImageData(bytes, state.width, state.height);
        state.image.pointer = pixels;
      }
      const started = performance.now();
      for (let i = 0, word = boxes >> 2; i < count; ++i, word += 4) {
        const left = HEAP32[word], top = HEAP32[word + 1], width = HEAP32[word + 2] - left;
        const height = HEAP32[word + 3] - top;
        state.context.putImageData(state.image, 0, 0, left, top, width, height);
        cost.pixels += width * height;
      }
      cost.parts += count;
      cost.canvasMilliseconds += performance.now() - started;
    },

    takeInput(records, capacity) {
      const count = Math.min(capacity, queue.length);
      for (let i = 0; i < count; ++i) {
        const record = queue.shift();
        HEAP32[(records >> 2) + i * 3] = record[0];
        HEAP32[(records >> 2) + i * 3 + 1] = record[1];
        HEAP32[(records >> 2) + i * 3 + 2] = record[2];
      }
      return count;
    },

    // The program has said the box's caption and text on standard error
    // (the console) already.
    showBox(caption, text) {
      const box = element('lumvane-box', 'div');
      box.textContent = '';
      const title = document.createElement('h1');
      title.textContent = caption;
      const body = document.createElement('p');
      body.textContent = text;
      const ok = document.createElement('button');
      ok.textContent = 'OK';
      ok.addEventListener('click', closeBox);
      box.append(title, body, ok);
      box.hidden = false;
      state.boxOpen = true;
      document.documentElement.style.cursor = '';
      ok.focus();
    },

    // Gives the browser its turn; the time until the program comes back is
    // not the program's. A turn's cost runs from its start to the moment the
    // page is back in the browser's event loop (a microtask after the stack
    // has unwound).
    sleep(milliseconds, wakeUp) {
      const started = state.turnStarted;
      queueMicrotask(() => {
        cost.turns += 1;
        cost.busyMilliseconds += performance.now() - started;
      });
      // The program's end unwinds its stack with an ExitStatus, which is
      // how it ends here, not an error of the page's.
      const resume = () => {
        state.turnStarted = performance.now();
        try {
          wakeUp();
        } catch (error) {
          if (!error || error.name !== 'ExitStatus') throw error;
        }
      };
      if (milliseconds > 0) {
        setTimeout(resume, milliseconds);
      } else {
        // A zero timeout is held back to 4 ms once they nest; a message is not.
        const channel = new MessageChannel();
        channel.port1.onmessage = resume;
        channel.port2.postMessage(0);
      }
    },

    ended(code, reason) {
      if (state.ended) return;
      state.ended = true;
      closeBox();
      document.documentElement.style.cursor = '';
      const status = element('lumvane-status', 'div');
      status.hidden = false;
      if (code === undefined) {
        status.textContent = 'Lumvane stopped: ' + reason;
        window.lumvaneExit = -1;
      } else {
        status.textContent = 'Lumvane ended with exit code ' + code;
        window.lumvaneExit = code;
      }
    },
  };
  window.lumvaneFrameCost = cost;
  startup(Module);
  return page;
})();
