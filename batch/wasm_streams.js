// kelmory-batch under Node.js (the WebAssembly build). Emscripten takes
// every file it opens by name as seekable, and reads and writes it at a
// position, which a FIFO or a device refuses (ESPIPE); and it takes standard
// input, output and error for terminals, so that a progress line would go
// into a redirected file. Both are set from what the files really are.
Module['preRun'] = Module['preRun'] || [];
Module['preRun'].push(function() {
  var nodeFs = require('fs');
  var nodeTty = require('tty');
  var open = FS.open;
  FS.open = function() {
    var stream = open.apply(this, arguments);
    if (stream.nfd !== undefined && !nodeFs.fstatSync(stream.nfd).isFile()) {
      stream.seekable = false;
    }
    return stream;
  };
  var createStandardStreams = FS.createStandardStreams;
  FS.createStandardStreams = function() {
    createStandardStreams.apply(this, arguments);
    for (var fd = 0; fd < 3; ++fd) {
      if (FS.streams[fd]) FS.streams[fd].tty = nodeTty.isatty(fd);
    }
  };
});
