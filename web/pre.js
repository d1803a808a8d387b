// Runs in the page before the game starts: the game's command line and the save folder kept in
// IndexedDB (read back before main runs).
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

