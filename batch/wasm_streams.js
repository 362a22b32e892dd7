// kelmory-batch under Node.js (the WebAssembly build): emscripten takes every
// file it opens by name as seekable and reads and writes it at a position,
// which a FIFO or a device refuses (ESPIPE). Marked by what they are, those
// are read and written in order, as the native program does.
Module['preRun'] = Module['preRun'] || [];
Module['preRun'].push(function() {
  var nodeFs = require('fs');
  var open = FS.open;
  FS.open = function() {
    var stream = open.apply(this, arguments);
    if (stream.nfd !== undefined && !nodeFs.fstatSync(stream.nfd).isFile()) {
      stream.seekable = false;
    }
    return stream;
  };
});
