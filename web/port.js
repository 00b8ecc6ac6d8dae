// port.js: what the browser's GLUT and GL emulation lack, and the page's hold
// on a walk: its end, its keys and the GL context it draws in.
mergeInto(LibraryManager.library, {
  // One window, which is the canvas.
  glutGetWindow: function() {
    return Module['ctx'] ? 1 : 0;
  },

  glutIgnoreKeyRepeat__deps: ['$ZumbrelPort'],
  glutIgnoreKeyRepeat: function(ignore) {
    ZumbrelPort.ignoreKeyRepeat = ignore != 0;
  },

  glutPostWindowRedisplay__deps: ['glutPostRedisplay'],
  glutPostWindowRedisplay: function(window) {
    _glutPostRedisplay();
  },

  // Nothing to swap, since the browser shows what was drawn once the frame's
  // task ends. Frames are counted for the page, and the first is marked for
  // whoever measures it.
  glutSwapBuffers__deps: ['$ZumbrelPort'],
  glutSwapBuffers: function() {
    Module['framesDrawn'] = (Module['framesDrawn'] || 0) + 1;
    if (ZumbrelPort.drewFrame) return;
    ZumbrelPort.drewFrame = true;
    performance.mark('zumbrel-first-frame');
  },

  $ZumbrelPort__deps: ['$GLUT', '$Browser', '$FS', '$GLEmulation', '$callUserCallback', 'glViewport', 'glGetIntegerv',
                      'glutInit', 'glutCreateWindow'],
  $ZumbrelPort__postset: 'ZumbrelPort.init();',
  $ZumbrelPort: {
    ignoreKeyRepeat: false,
    ended: false,
    drewFrame: false,

    init: function() {
      // Keys reach the program only while the canvas has the focus, so that
      // elsewhere on the page the browser's own keys work; a key goes up in
      // the program as it went down there, wherever the focus is by then.
      // They reach it as timers do, so that exit() in a key's callback ends
      // the walk instead of escaping as an uncaught exception; held keys
      // repeat only when the program asks for it.
      var keyDown = GLUT.onKeydown;
      var keyUp = GLUT.onKeyup;
      GLUT.onKeydown = function(event) {
        if (event.target !== Module['canvas']) return;
        if (event.repeat && ZumbrelPort.ignoreKeyRepeat) return;
        ZumbrelPort.press(event, true);
      };
      GLUT.onKeyup = function(event) {
        if (ZumbrelPort.held[event.keyCode]) ZumbrelPort.press(event, false);
      };
      ZumbrelPort.deliver = function(event, down) {
        callUserCallback(function() { (down ? keyDown : keyUp)(event); });
      };

      // Every listener the walk adds is kept, to be taken off when it ends.
      var glutInit = _glutInit;
      _glutInit = function(argcp, argv) {
        ZumbrelPort.recordListeners(function() {
          glutInit(argcp, argv);
          // Keys held when the canvas loses the focus are let go.
          Module['canvas'].addEventListener('blur', ZumbrelPort.releaseKeys);
        });
        // The program takes no mouse, so touches are the page's own
        // controls': GLUT's mouse made of them is taken off.
        ZumbrelPort.listeners = ZumbrelPort.listeners.filter(function(added) {
          if (!added[1].startsWith('touch')) return true;
          added[0].removeEventListener(added[1], added[2], added[3]);
          return false;
        });
      };
      var glutCreateWindow = _glutCreateWindow;
      _glutCreateWindow = function(name) {
        return ZumbrelPort.recordListeners(function() { return glutCreateWindow(name); });
      };

      // The program's exit ends the walk: what it printed is flushed, as the
      // C library's exit does, nothing more runs or draws, and the page is
      // told the status.
      quit_ = function(status, toThrow) {
        _fflush(0);
        FS.quit();
        ZumbrelPort.stop();
        if (Module['onExit']) Module['onExit'](status);
        throw toThrow;
      };

      // The emulation answers no depth for the projection stack, which grows
      // as far as it is pushed. Calls from the program reach the function
      // this name holds now, before the program is instantiated.
      var getIntegerv = _glGetIntegerv;
      _glGetIntegerv = function(name, params) {
        if (name == 0x0D38 /* GL_MAX_PROJECTION_STACK_DEPTH */) {
          HEAP32[params >> 2] = 32;
          return;
        }
        getIntegerv(name, params);
      };
      // The window is sized, but its viewport never set.
      Browser.resizeListeners.push(function(width, height) {
        _glViewport(0, 0, width, height);
      });

      // Presses and releases as the keyboard makes them, for the page's
      // own controls: a key code as keyCode gives it. A key already down
      // does not go down again, nor one already up go up, so that the
      // program sees one release for each press, whoever let go first.
      Module['pressKey'] = function(keyCode, down) {
        if (!ZumbrelPort.held[keyCode] === !down) return;
        ZumbrelPort.press({keyCode: keyCode, repeat: false, preventDefault: function() {}}, down);
      };
      // Ends a walk the page no longer wants: its timers and listeners stop
      // and its GL context is let go.
      Module['stop'] = function() { ZumbrelPort.stop(); };
    },

    held: {},
    listeners: [],

    press: function(event, down) {
      if (down) ZumbrelPort.held[event.keyCode] = true;
      else delete ZumbrelPort.held[event.keyCode];
      ZumbrelPort.deliver(event, down);
    },

    releaseKeys: function() {
      for (var keyCode in ZumbrelPort.held) Module['pressKey'](Number(keyCode), false);
    },

    // Calls call, keeping every listener that it adds to anything.
    recordListeners: function(call) {
      var prototype = EventTarget.prototype;
      var add = prototype.addEventListener;
      prototype.addEventListener = function(type, listener, options) {
        ZumbrelPort.listeners.push([this, type, listener, options]);
        add.call(this, type, listener, options);
      };
      try {
        return call();
      } finally {
        prototype.addEventListener = add;
      }
    },

    // Nothing of the walk runs again: its timers find it aborted and end,
    // its listeners are taken off and its GL context is let go, so that
    // nothing the page keeps holds on to it.
    stop: function() {
      if (ZumbrelPort.ended) return;
      ZumbrelPort.ended = true;
      ABORT = true;
      ZumbrelPort.listeners.forEach(function(added) {
        added[0].removeEventListener(added[1], added[2], added[3]);
      });
      ZumbrelPort.listeners = [];
      var context = Module['ctx'];
      var lose = context && context.getExtension('WEBGL_lose_context');
      if (lose) lose.loseContext();
    },
  },

});
