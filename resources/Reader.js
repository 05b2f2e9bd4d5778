// The reading page's own script, kept out of Reader.html so that the page's content security
// policy can forbid every inline script and event handler.
(function () {
  'use strict';
  // The reader looks the text element up as "Content" and as "content": an id that is
  // not found as written is looked up again without regard to case.
  var byId = Document.prototype.getElementById;
  Document.prototype.getElementById = function (id) {
    var found = byId.call(this, id);
    if (found || typeof id !== 'string') return found;
    var wanted = id.toLowerCase();
    var all = this.querySelectorAll('[id]');
    for (var i = 0; i < all.length; ++i) {
      if (all[i].id.toLowerCase() === wanted) return all[i];
    }
    return null;
  };

  function keyCodeOf(e) {
    switch (e.key) {
      case 'ArrowLeft': case 'Left': return 37;
      case 'ArrowRight': case 'Right': return 39;
      case 'Enter': return 13;
    }
    return e.keyCode || 0;
  }

  // Ctrl+F (find), Ctrl+C (copy) and Ctrl+A (select all) are the page's own.
  function isPageShortcut(e) {
    if (!e.ctrlKey || e.altKey || e.metaKey || e.shiftKey) return false;
    var k = (e.key || '').toLowerCase();
    return k === 'f' || k === 'c' || k === 'a';
  }

  // Whether the text box shows its first and its last line: paging on from there turns
  // the chapter, which the program decides.
  function edges() {
    var box = document.getElementById('Content_Txt');
    if (!box) return null;
    return [box.scrollTop <= 1, box.scrollTop + box.clientHeight >= box.scrollHeight - 2];
  }

  function pagingInputOf(e) {
    if (e.ctrlKey || e.altKey || e.metaKey) return 0;
    switch (e.key) {
      case 'PageDown': return 1;
      case 'PageUp': return 2;
      case ' ': case 'Spacebar': return e.shiftKey ? 4 : 3;
    }
    return 0;
  }

  function reportEdge(input) {
    var at = edges();
    if (input && at && (at[0] || at[1]) && channelReader) channelReader.pageEdge(input, at[0], at[1]);
  }

  // The line of the text at a point of the page: its text and its place among the lines of
  // TXT (lines end at <br>). Null outside the text.
  function lineAt(x, y) {
    var txt = document.getElementById('TXT');
    var range = document.caretRangeFromPoint ? document.caretRangeFromPoint(x, y) : null;
    if (!txt || !range || !txt.contains(range.startContainer)) return null;
    var target = range.startContainer;
    if (target.nodeType !== Node.TEXT_NODE && target.childNodes[range.startOffset])
      target = target.childNodes[range.startOffset];
    var walker = document.createTreeWalker(txt, NodeFilter.SHOW_TEXT | NodeFilter.SHOW_ELEMENT);
    var index = 0, text = '', found = false;
    for (var node = walker.nextNode(); node; node = walker.nextNode()) {
      if (node.nodeType === Node.ELEMENT_NODE) {
        if (node.tagName === 'BR') {
          // A point past a line's end lands on its <br>: still that line.
          if (found || node === target) return [text, index];
          ++index;
          text = '';
        } else if (node === target) {
          found = true;
        }
        continue;
      }
      text += node.nodeValue;
      if (node === target) found = true;
    }
    return found ? [text, index] : null;
  }

  // Every other key pressed in the page goes to the program, also with Ctrl, Alt or Meta
  // held (Left and Right turn chapters); the page keeps the key too, so scrolling keys
  // still scroll.
  function connect() {
    if (typeof QWebChannel === 'undefined' || typeof qt === 'undefined' || !qt.webChannelTransport) return;
    new QWebChannel(qt.webChannelTransport, function (channel) {
      var reader = channel.objects.reader;
      document.addEventListener('keydown', function (e) {
        if (isPageShortcut(e)) return;
        reportEdge(pagingInputOf(e));
        reader.keyDown(keyCodeOf(e));
      });
      document.addEventListener('contextmenu', function (e) {
        var at = lineAt(e.clientX, e.clientY);
        reader.contextLine(at ? at[0] : '', at ? at[1] : -1);
      });
      channelReader = reader;
      window.readerChannelReady = true;
    });
  }
  // Links never move this page. A click of the user's own on an http(s) link is handed to
  // the program, which opens it in the desktop's browser; a click made by a script is not.
  var channelReader = null;
  document.addEventListener('click', function (e) {
    var link = e.target && e.target.closest ? e.target.closest('a[href], area[href]') : null;
    if (!link) return;
    e.preventDefault();
    if (!e.isTrusted || !channelReader || typeof link.href !== 'string') return;
    if (link.protocol === 'http:' || link.protocol === 'https:') channelReader.openLink(link.href);
  }, true);

  // The wheel turns the chapter only once the text has stood still at its end for a
  // moment: the turn that brought it there does not carry on into the next chapter.
  var lastMove = 0;
  var box = document.getElementById('Content_Txt');
  if (box) box.addEventListener('scroll', function () { lastMove = Date.now(); }, { passive: true });
  document.addEventListener('wheel', function (e) {
    if (e.ctrlKey || !e.deltaY) return;
    var at = edges();
    if (!at || !(e.deltaY > 0 ? at[1] : at[0])) return;
    if (Date.now() - lastMove < 600) return;
    lastMove = Date.now();
    reportEdge(e.deltaY > 0 ? 5 : 6);
  }, { passive: true });

  connect();
})();
