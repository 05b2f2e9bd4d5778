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

  // Paragraph n of the text is what follows the n-th line break of TXT. The program scrolls
  // to one (and selects a found word in it); the page tells which one is at the top of the
  // box once scrolling has rested, so the program can keep the place.
  function lineBreaks() {
    var t = document.getElementById('TXT');
    return t ? t.getElementsByTagName('br') : [];
  }

  // The range of `length` characters from `column` of the text after `after` (TXT's start
  // for null), or null when the paragraph is shorter.
  function rangeIn(after, column, length) {
    var txt = document.getElementById('TXT');
    var walker = document.createTreeWalker(txt, NodeFilter.SHOW_TEXT | NodeFilter.SHOW_ELEMENT);
    walker.currentNode = after || txt;
    var range = document.createRange(), started = false, skip = column, left = length;
    for (var node = walker.nextNode(); node; node = walker.nextNode()) {
      if (node.nodeType === 1) {
        if (node.tagName === 'BR') break;
        continue;
      }
      var from = 0, size = node.data.length;
      if (!started) {
        if (skip >= size) { skip -= size; continue; }
        range.setStart(node, skip);
        started = true;
        from = skip;
      }
      if (left <= size - from) { range.setEnd(node, from + left); return range; }
      left -= size - from;
    }
    return null;
  }

  window.readerShowPlace = function (n, column, length) {
    var box = document.getElementById('Content_Txt');
    if (!box) return false;
    var brs = lineBreaks();
    var after = n > 0 && brs.length ? brs[Math.min(n, brs.length) - 1] : null;
    var top = box.getBoundingClientRect().top;
    box.scrollTop = after ? box.scrollTop + after.getBoundingClientRect().bottom - top : 0;
    var range = length > 0 ? rangeIn(after, column, length) : null;
    if (!range) return true;
    var selection = window.getSelection();
    selection.removeAllRanges();
    selection.addRange(range);
    var rect = range.getBoundingClientRect();
    if (rect.bottom > top + box.clientHeight || rect.top < top)
      box.scrollTop += rect.top - top - box.clientHeight / 3;
    return true;
  };

  function topParagraph() {
    var box = document.getElementById('Content_Txt');
    if (!box) return 0;
    var top = box.getBoundingClientRect().top + 1;
    var brs = lineBreaks(), low = 0, high = brs.length;
    while (low < high) {
      var mid = (low + high) >> 1;
      if (brs[mid].getBoundingClientRect().bottom > top) high = mid; else low = mid + 1;
    }
    return low;
  }

  var placeTimer = 0;
  if (box) box.addEventListener('scroll', function () {
    clearTimeout(placeTimer);
    placeTimer = setTimeout(function () {
      if (channelReader && channelReader.topParagraph) channelReader.topParagraph(topParagraph());
    }, 300);
  }, { passive: true });

  // Each chapter put in leaves the one before it as garbage, which the engine collects only
  // when it sees fit: over a long read the page's heap keeps growing. Where the program lets
  // the page ask for a collection, it asks once the reader has stayed on a chapter for a
  // moment, so that no turn waits for it.
  var collectTimer = 0;
  var txt = document.getElementById('TXT');
  if (txt && typeof window.gc === 'function' && typeof MutationObserver === 'function') {
    new MutationObserver(function () {
      clearTimeout(collectTimer);
      collectTimer = setTimeout(function () { window.gc(); }, 1000);
    }).observe(txt, { childList: true });
  }

  connect();
})();
