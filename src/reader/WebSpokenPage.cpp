#include "reader/WebSpokenPage.h"

#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

// Walks Content's rendered text nodes alongside its innerText. A character of a node that
// matches the next character of the text is mapped to it; blanks the layout collapsed are
// skipped in the node, line breaks and blanks the layout added are skipped in the text.
// Runs of consecutive characters are stored as [textStart, node, nodeOffset, length].
const char kTakeText[] = R"JS((function () {
  window.__quillmereSpoken = null;
  var root = document.getElementById('Content');
  if (!root) return '';
  var text = root.innerText.replace(/\r/g, '');
  var runs = [];
  var t = 0;
  function blank(c) { return c === ' ' || c === '\n' || c === '\t' || c === '\f'; }
  var walker = document.createTreeWalker(root, NodeFilter.SHOW_TEXT, null);
  var lastParent = null, lastShown = false;
  for (var node = walker.nextNode(); node && t < text.length; node = walker.nextNode()) {
    var parent = node.parentElement;
    if (parent !== lastParent) {
      lastParent = parent;
      lastShown = !!parent && parent.getClientRects().length > 0;
    }
    if (!lastShown) continue;
    var data = node.data;
    for (var i = 0; i < data.length && t < text.length; ++i) {
      var c = data.charAt(i);
      if (c !== text.charAt(t)) {
        if (blank(c)) continue;
        var k = t;
        while (k < text.length && blank(text.charAt(k))) ++k;
        if (k >= text.length || text.charAt(k) !== c) continue;
        t = k;
      }
      var last = runs.length ? runs[runs.length - 1] : null;
      if (last && last[1] === node && last[0] + last[3] === t && last[2] + last[3] === i) ++last[3];
      else runs.push([t, node, i, 1]);
      ++t;
    }
  }
  window.__quillmereSpoken = { runs: runs };
  return text;
})())JS";

// Selects the mapped characters of [p, p + n) and scrolls them into the middle third of the
// scrolling box when they are outside it. False when nothing could be selected.
const char kHighlight[] = R"JS((function (p, n) {
  var s = window.__quillmereSpoken;
  if (!s || !s.runs.length || n <= 0) return false;
  var runs = s.runs;
  function runAt(pos) {
    var lo = 0, hi = runs.length - 1, found = -1;
    while (lo <= hi) {
      var mid = (lo + hi) >> 1;
      if (runs[mid][0] <= pos) { found = mid; lo = mid + 1; } else { hi = mid - 1; }
    }
    return found;
  }
  var end = p + n;
  var a = runAt(p), startNode, startOffset;
  if (a >= 0 && p < runs[a][0] + runs[a][3]) {
    startNode = runs[a][1]; startOffset = runs[a][2] + (p - runs[a][0]);
  } else {
    a += 1;
    if (a >= runs.length || runs[a][0] >= end) return false;
    startNode = runs[a][1]; startOffset = runs[a][2];
  }
  var b = runAt(end - 1);
  if (b < 0) return false;
  var last = Math.min(end - 1, runs[b][0] + runs[b][3] - 1);
  if (last < p) return false;
  var endNode = runs[b][1], endOffset = runs[b][2] + (last - runs[b][0]) + 1;
  if (!startNode.isConnected || !endNode.isConnected) return false;
  var range = document.createRange();
  range.setStart(startNode, startOffset);
  range.setEnd(endNode, endOffset);
  var selection = window.getSelection();
  selection.removeAllRanges();
  selection.addRange(range);
  var box = document.getElementById('Content_Txt');
  var r = range.getBoundingClientRect();
  if (box) {
    var v = box.getBoundingClientRect();
    if (r.top < v.top || r.bottom > v.bottom) box.scrollTop += r.top - v.top - v.height / 3;
  } else if (startNode.parentElement) {
    startNode.parentElement.scrollIntoView({ block: 'nearest' });
  }
  return true;
})(%1, %2))JS";

} // namespace

WebSpokenPage::WebSpokenPage(QWebEngineView* view) : m_view(view) {}

WebSpokenPage::~WebSpokenPage()
{
    *m_alive = false;
}

QString WebSpokenPage::takeTextScript()
{
    return QString::fromUtf8(kTakeText);
}

QString WebSpokenPage::highlightScript(int position, int length)
{
    return QString::fromUtf8(kHighlight).arg(position).arg(length);
}

void WebSpokenPage::takeSpokenText(std::function<void(const QString&)> done)
{
    if (!m_view) {
        done(QString());
        return;
    }
    m_view->page()->runJavaScript(takeTextScript(), [alive = m_alive, done = std::move(done)](const QVariant& result) {
        if (*alive)
            done(result.toString());
    });
}

void WebSpokenPage::highlightSpoken(int position, int length)
{
    // A page without the element, or showing other text by now, just loses the highlight.
    if (m_view)
        m_view->page()->runJavaScript(highlightScript(position, length));
}
