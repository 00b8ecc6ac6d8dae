// outlines.js: a frame's outlines gathered and drawn by a few WebGL calls, in
// the order, colours and transforms the program gave them, in place of the
// emulation's one draw, upload and matrix for each.
mergeInto(LibraryManager.library, {
  $ZumbrelOutlines__deps: ['$GLEmulation', 'glutSwapBuffers'],
  $ZumbrelOutlines__postset: 'ZumbrelOutlines.init();',
  $ZumbrelOutlines: {
    // Each vertex: its x, y and z, its colour, and which of the gathered
    // projection matrices carries it; two to a side.
    kFloats: 8,
    // Sides in a batch at most, so that a model of long loops draws in
    // batches of a bounded size.
    kMostSides: 32768,

    program: null,
    locations: null,
    buffer: null,
    // The sides gathered, and the projection matrices they use; the
    // modelview matrix is one for the whole batch. The versions are the
    // emulation's, of the matrices last taken.
    vertices: null,
    sideCount: 0,
    matrices: null,
    matrixCount: 0,
    mostMatrices: 0,
    projectionVersion: -1,
    modelView: null,
    modelViewVersion: -1,

    // A swap draws what is gathered first. Calls from the program reach the
    // function this name holds now, before the program is instantiated.
    init: function() {
      var swap = _glutSwapBuffers;
      _glutSwapBuffers = function() {
        ZumbrelOutlines.draw();
        swap();
      };
    },

    // The shaders compute what the emulation's do, operation for operation,
    // so that every line lands on the same pixels.
    setUp: function() {
      var self = ZumbrelOutlines;
      var gl = GLctx;
      // Four vectors for each matrix, and four kept for the modelview.
      self.mostMatrices = Math.min(Math.floor(gl.getParameter(gl.MAX_VERTEX_UNIFORM_VECTORS) / 4) - 1, 256);
      self.matrices = new Float32Array(16 * self.mostMatrices);
      self.modelView = new Float32Array(16);
      self.vertices = new Float32Array(2 * self.kFloats * self.kMostSides);
      var vertexSource = [
        'attribute vec4 a_position;',
        'attribute vec4 a_color;',
        'attribute float a_matrix;',
        'varying vec4 v_color;',
        'uniform mat4 u_modelView;',
        'uniform mat4 u_projection[' + self.mostMatrices + '];',
        'void main()',
        '{',
        '  vec4 ecPosition = u_modelView * a_position;',
        '  gl_Position = u_projection[int(a_matrix)] * ecPosition;',
        '  v_color = a_color;',
        '}'].join('\n');
      var fragmentSource = [
        'precision mediump float;',
        'varying vec4 v_color;',
        'void main()',
        '{',
        '  gl_FragColor = v_color;',
        '}'].join('\n');
      var program = gl.createProgram();
      [[gl.VERTEX_SHADER, vertexSource], [gl.FRAGMENT_SHADER, fragmentSource]].forEach(function(stage) {
        var shader = gl.createShader(stage[0]);
        gl.shaderSource(shader, stage[1]);
        gl.compileShader(shader);
        gl.attachShader(program, shader);
      });
      ['a_position', 'a_color', 'a_matrix'].forEach(function(name, i) { gl.bindAttribLocation(program, i, name); });
      gl.linkProgram(program);
      self.program = program;
      self.locations = {
        modelView: gl.getUniformLocation(program, 'u_modelView'),
        projection: gl.getUniformLocation(program, 'u_projection'),
      };
      self.buffer = gl.createBuffer();
    },

    // Takes a line loop of the client vertex array, with the colour and the
    // matrices in effect now: each side, the last back to the first.
    add: function(first, count) {
      var self = ZumbrelOutlines;
      if (!self.program) self.setUp();
      // A loop of one vertex draws nothing.
      if (count < 2) return;
      if (GLImmediate.matrixVersion[0] != self.modelViewVersion) {
        self.draw();
        self.modelView.set(GLImmediate.matrix[0]);
        self.modelViewVersion = GLImmediate.matrixVersion[0];
      }
      var attribute = GLImmediate.clientAttributes[GLImmediate.VERTEX];
      var stride = (attribute.stride || 4 * attribute.size) >> 2;
      var start = (attribute.pointer >> 2) + first * stride;
      for (var i = 0; i < count; i++) {
        if (self.sideCount == self.kMostSides) self.draw();
        self.takeMatrix();
        var to = 2 * self.kFloats * self.sideCount++;
        self.put(to, start + i * stride, attribute.size);
        self.put(to + self.kFloats, start + (i + 1) % count * stride, attribute.size);
      }
    },

    // The projection matrix in effect, taken into the batch once.
    takeMatrix: function() {
      var self = ZumbrelOutlines;
      if (self.matrixCount && GLImmediate.matrixVersion[1] == self.projectionVersion) return;
      if (self.matrixCount == self.mostMatrices) self.draw();
      self.matrices.set(GLImmediate.matrix[1], 16 * self.matrixCount++);
      self.projectionVersion = GLImmediate.matrixVersion[1];
    },

    // One vertex, from the program's memory, with the colour and matrix.
    put: function(to, from, size) {
      var self = ZumbrelOutlines;
      var color = GLImmediate.clientColor;
      self.vertices[to] = HEAPF32[from];
      self.vertices[to + 1] = size > 1 ? HEAPF32[from + 1] : 0;
      self.vertices[to + 2] = size > 2 ? HEAPF32[from + 2] : 0;
      self.vertices[to + 3] = color[0];
      self.vertices[to + 4] = color[1];
      self.vertices[to + 5] = color[2];
      self.vertices[to + 6] = color[3];
      self.vertices[to + 7] = self.matrixCount - 1;
    },

    // Draws what was gathered as one list of lines, and starts afresh.
    draw: function() {
      var self = ZumbrelOutlines;
      if (!self.sideCount) return;
      var gl = GLctx;
      gl.useProgram(self.program);
      gl.uniformMatrix4fv(self.locations.modelView, false, self.modelView);
      gl.uniformMatrix4fv(self.locations.projection, false, self.matrices.subarray(0, 16 * self.matrixCount));
      gl.bindBuffer(gl.ARRAY_BUFFER, self.buffer);
      gl.bufferData(gl.ARRAY_BUFFER, self.vertices.subarray(0, 2 * self.kFloats * self.sideCount), gl.STREAM_DRAW);
      var bytes = 4 * self.kFloats;
      gl.vertexAttribPointer(0, 3, gl.FLOAT, false, bytes, 0);
      gl.vertexAttribPointer(1, 4, gl.FLOAT, false, bytes, 12);
      gl.vertexAttribPointer(2, 1, gl.FLOAT, false, bytes, 28);
      for (var i = 0; i < 3; i++) gl.enableVertexAttribArray(i);
      gl.drawArrays(gl.LINES, 0, 2 * self.sideCount);
      self.sideCount = self.matrixCount = 0;
    },
  },

  // The program draws only line loops from a client vertex array; they are
  // drawn when the frame is flushed or swapped, or before it is cleared.
  glDrawArrays__deps: ['$ZumbrelOutlines'],
  glDrawArrays: function(mode, first, count) {
    if (mode != 0x0002 /* GL_LINE_LOOP */) throw 'glDrawArrays: only line loops are drawn here';
    ZumbrelOutlines.add(first, count);
  },

  glFlush__deps: ['$ZumbrelOutlines'],
  glFlush: function() {
    ZumbrelOutlines.draw();
    GLctx.flush();
  },

  glClear__deps: ['$ZumbrelOutlines'],
  glClear: function(mask) {
    ZumbrelOutlines.draw();
    GLctx.clear(mask);
  },
});
