// Runs in the page before the game starts: the game's command line, the save folder kept in
// IndexedDB (read back before main runs), and the sound started by the player's first key or click
// (browsers keep an AudioContext silent until then).
Module['arguments'] = ['--data', '/', '--save-dir', '/save'];
Module['preRun'] = (Module['preRun'] || []).concat([function() {
  FS.mkdir('/save');
  FS.mount(IDBFS, {}, '/save');
  addRunDependency('zk-saves');
  FS.syncfs(true, function(err) {
    if (err) console.error('zubokranz: the saves kept in this browser could not be read: ' + err);
    removeRunDependency('zk-saves');
  });
}]);

(function() {
  var Original = window.AudioContext || window.webkitAudioContext;
  if (!Original) return;
  var contexts = [];
  var Tracked = function(options) {
    var context = new Original(options);
    contexts.push(context);
    return context;
  };
  Tracked.prototype = Original.prototype;
  window.AudioContext = window.webkitAudioContext = Tracked;
  var resume = function() {
    contexts.forEach(function(context) { if (context.state === 'suspended') context.resume(); });
  };
  ['keydown', 'mousedown', 'touchstart'].forEach(function(type) { window.addEventListener(type, resume, true); });
})();
