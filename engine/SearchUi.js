/* Search for a document split by Quirefold. Loads DOCsearch.js (a call to quirefoldSearchIndex)
   with a script tag, since pages opened from file:// cannot fetch it. */
(function () {
  "use strict";

  var MAX_RESULTS = 50;
  var MAX_WORD = 64;
  // A shorter last word would match too many words as a prefix.
  var MIN_PREFIX = 2;
  var ASCII_NOTE = "Only words in plain ASCII letters can be found in this document.";

  // These two must stay identical to engine/SearchText.cpp: the index holds words cut by it.
  function isWordCodePoint(cp) {
    if (cp < 0x80) {
      return (cp >= 0x30 && cp <= 0x39) || (cp >= 0x41 && cp <= 0x5a) ||
        (cp >= 0x61 && cp <= 0x7a);
    }
    if (cp < 0xc0) return cp === 0xaa || cp === 0xb5 || cp === 0xba;
    if (cp === 0xd7 || cp === 0xf7) return false;
    return !((cp >= 0x2000 && cp <= 0x2bff) || (cp >= 0x3000 && cp <= 0x303f) ||
      (cp >= 0xfe00 && cp <= 0xfe0f) || cp === 0xfeff || (cp >= 0xfff0 && cp <= 0xffff) ||
      (cp >= 0xd800 && cp <= 0xdfff));
  }

  function foldCodePoint(cp) {
    if (cp >= 0x41 && cp <= 0x5a) return cp + 32;
    if (cp >= 0xc0 && cp <= 0xde) return cp === 0xd7 ? cp : cp + 32;
    // Latin Extended-A pairs each capital with the small letter after it.
    if (cp >= 0x100 && cp <= 0x137) return cp % 2 === 0 ? cp + 1 : cp;
    if (cp >= 0x139 && cp <= 0x148) return cp % 2 === 1 ? cp + 1 : cp;
    if (cp >= 0x14a && cp <= 0x177) return cp % 2 === 0 ? cp + 1 : cp;
    if (cp === 0x178) return 0xff;
    if (cp >= 0x179 && cp <= 0x17e) return cp % 2 === 1 ? cp + 1 : cp;
    if (cp >= 0x391 && cp <= 0x3a9) return cp === 0x3a2 ? cp : cp + 32;
    if (cp === 0x3c2) return 0x3c3;
    if (cp >= 0x410 && cp <= 0x42f) return cp + 32;
    if (cp >= 0x400 && cp <= 0x40f) return cp + 80;
    return cp;
  }

  // The text cut into runs of word and other code points: {text, word} where word is the
  // folded word, or null between words.
  function runsOf(text) {
    var runs = [];
    var raw = "", folded = "", length = 0, inWord = false;
    for (var ch of text) {
      var cp = ch.codePointAt(0);
      var isWord = isWordCodePoint(cp);
      if (isWord !== inWord && raw) {
        runs.push({ text: raw, word: inWord ? folded : null });
        raw = folded = "";
        length = 0;
      }
      inWord = isWord;
      raw += ch;
      if (isWord && length < MAX_WORD) {
        folded += String.fromCodePoint(foldCodePoint(cp));
        length++;
      }
    }
    if (raw) runs.push({ text: raw, word: inWord ? folded : null });
    return runs;
  }

  function wordsOf(text) {
    return runsOf(text).filter(function (run) { return run.word !== null; })
      .map(function (run) { return run.word; });
  }

  function isPrefixWord(word) {
    return Array.from(word).length >= MIN_PREFIX;
  }

  // "0,2,12" -> [0, 2, 40]: base-36 differences from the previous section.
  function parsePostings(text) {
    var list = [];
    var at = 0;
    if (!text) return list;
    text.split(",").forEach(function (step) {
      at += parseInt(step, 36);
      list.push(at);
    });
    return list;
  }

  function makeTable(words) {
    // A Map, so a query word such as "constructor" never finds Object.prototype's.
    var map = new Map();
    Object.keys(words || {}).forEach(function (word) { map.set(word, words[word]); });
    return { map: map, sorted: null, decoded: new Map() };
  }

  function prepareIndex(data) {
    if (!data || data.v !== 1 || !Array.isArray(data.sections)) throw new Error("unknown index");
    return {
      sections: data.sections,
      asciiOnly: !!data.asciiOnly,
      words: makeTable(data.words),
      headingWords: makeTable(data.headingWords),
    };
  }

  function matchingWords(table, word, prefix) {
    if (!prefix) return table.map.has(word) ? [word] : [];
    if (!table.sorted) table.sorted = Array.from(table.map.keys()).sort();
    // Words with one prefix sit together in code-unit order: find the first, take the run.
    var list = table.sorted, low = 0, high = list.length;
    while (low < high) {
      var mid = (low + high) >> 1;
      if (list[mid] < word) low = mid + 1; else high = mid;
    }
    var found = [];
    for (var i = low; i < list.length && list[i].startsWith(word); i++) found.push(list[i]);
    return found;
  }

  // Keeps in marks only the sections holding the word (or a word it begins, as a prefix).
  function keepSectionsWith(marks, table, word, prefix) {
    var holding = new Uint8Array(marks.length);
    matchingWords(table, word, prefix).forEach(function (match) {
      var list = table.decoded.get(match);
      if (!list) {
        list = parsePostings(table.map.get(match));
        table.decoded.set(match, list);
      }
      list.forEach(function (section) { if (section < holding.length) holding[section] = 1; });
    });
    for (var s = 0; s < marks.length; s++) marks[s] &= holding[s];
  }

  // Sections holding every query word, those whose heading holds them all first, each group
  // in document order; hits is cut to limit, total is not.
  function search(index, query, limit) {
    if (limit === undefined) limit = MAX_RESULTS;
    var words = wordsOf(query);
    var count = index.sections.length;
    if (!words.length) return { words: words, total: 0, hits: [] };
    var inText = new Uint8Array(count).fill(1);
    var inHeading = new Uint8Array(count).fill(1);
    words.forEach(function (word, i) {
      var prefix = i === words.length - 1 && isPrefixWord(word);
      keepSectionsWith(inText, index.words, word, prefix);
      keepSectionsWith(inHeading, index.headingWords, word, prefix);
    });
    var first = [], rest = [];
    for (var s = 0; s < count; s++) {
      if (inText[s]) (inHeading[s] ? first : rest).push(s);
    }
    var all = first.concat(rest);
    return { words: words, total: all.length, hits: all.slice(0, limit) };
  }

  // The excerpt as [{text, mark}], mark set on each word the query found.
  function markExcerpt(text, queryWords) {
    var last = queryWords[queryWords.length - 1];
    var prefix = last !== undefined && isPrefixWord(last);
    var parts = [];
    runsOf(text).forEach(function (run) {
      var mark = run.word !== null &&
        (queryWords.indexOf(run.word) >= 0 || (prefix && run.word.startsWith(last)));
      var previous = parts[parts.length - 1];
      if (!mark && previous && !previous.mark) previous.text += run.text;
      else parts.push({ text: run.text, mark: mark });
    });
    return parts;
  }

  function statusText(query, total, asciiOnly) {
    var text = "";
    if (query.trim()) {
      if (total === 0) text = "No results";
      else if (total === 1) text = "1 result";
      else if (total > MAX_RESULTS) text = MAX_RESULTS + " of " + total + " results";
      else text = total + " results";
    }
    if (asciiOnly) text = text ? text + ". " + ASCII_NOTE : ASCII_NOTE;
    return text;
  }

  // "dir/doc003.html#intro" -> "doc003.html", decoded for reading.
  function pageName(href) {
    var file = href.split("#")[0].split("?")[0];
    file = file.slice(file.lastIndexOf("/") + 1);
    try { return decodeURIComponent(file); } catch (e) { return file; }
  }

  if (typeof document === "undefined") {
    globalThis.quirefoldSearchForTests = {
      isWordCodePoint: isWordCodePoint, foldCodePoint: foldCodePoint, wordsOf: wordsOf,
      parsePostings: parsePostings, prepareIndex: prepareIndex, search: search,
      markExcerpt: markExcerpt, statusText: statusText, pageName: pageName,
    };
    return;
  }

  var LOADING = "Loading the index\u2026";
  var FAILED = "The search index could not be loaded.";
  var boxes = [];
  var state = "idle"; // then "loading", and "ready" or "failed"
  var index = null;

  function loadIndex() {
    if (state !== "idle") return;
    state = "loading";
    boxes.forEach(show);
    window.quirefoldSearchIndex = function (data) {
      delete window.quirefoldSearchIndex;
      try {
        index = prepareIndex(data);
        state = "ready";
      } catch (e) {
        state = "failed";
      }
      boxes.forEach(show);
    };
    var script = document.createElement("script");
    script.charset = "utf-8";
    script.src = boxes[0].form.getAttribute("data-index");
    function fail() {
      if (state !== "loading") return;
      state = "failed";
      boxes.forEach(show);
    }
    script.addEventListener("error", fail);
    // A file that loads but never calls back is no index either.
    script.addEventListener("load", fail);
    document.head.appendChild(script);
  }

  // The same URL as the page itself, less the hash: a result there must only scroll.
  function samePage(url) {
    return url.protocol === location.protocol && url.host === location.host &&
      url.pathname === location.pathname;
  }

  function resultHref(href) {
    try {
      var url = new URL(href, document.baseURI);
      if (samePage(url)) {
        url.search = location.search;
        return url.href;
      }
    } catch (e) { /* keep the href as written */ }
    return href;
  }

  function marked(className, text, words) {
    var element = span(className, "");
    markExcerpt(text, words).forEach(function (part) {
      if (!part.mark) {
        element.appendChild(document.createTextNode(part.text));
        return;
      }
      var mark = document.createElement("mark");
      mark.textContent = part.text;
      element.appendChild(mark);
    });
    return element;
  }

  function span(className, text) {
    var element = document.createElement("span");
    element.className = className;
    element.textContent = text;
    return element;
  }

  function show(box) {
    var query = box.input.value;
    box.list.textContent = "";
    if (state !== "ready") {
      box.status.textContent = state === "failed" ? FAILED : state === "loading" ? LOADING : "";
      return;
    }
    var found = search(index, query);
    found.hits.forEach(function (s) {
      var section = index.sections[s];
      var href = String(section[0] || "");
      var link = document.createElement("a");
      link.href = resultHref(href);
      // The words are marked in the heading too: often only it holds them.
      link.appendChild(marked("quirefold_result_heading", String(section[1] || ""), found.words));
      link.appendChild(document.createTextNode(" "));
      link.appendChild(span("quirefold_result_page", pageName(href)));
      link.appendChild(marked("quirefold_result_excerpt", String(section[2] || ""), found.words));
      var item = document.createElement("li");
      item.appendChild(link);
      box.list.appendChild(item);
    });
    box.status.textContent = statusText(query, found.total, index.asciiOnly);
  }

  function keepQueryInUrl(query) {
    try {
      var url = new URL(location.href);
      if (query.trim()) url.searchParams.set("q", query); else url.searchParams.delete("q");
      if (url.href !== location.href) history.replaceState(null, "", url.href);
    } catch (e) { /* some browsers refuse this on file://; the search works without it */ }
  }

  function changed(box) {
    keepQueryInUrl(box.input.value);
    if (state === "idle") loadIndex(); else show(box);
  }

  // The search happens on the page, so Enter goes to the first result rather than submitting
  // to the form's action, which is there only for browsers without scripts.
  function followFirst(box) {
    var first = box.list.querySelector("a");
    if (first) location.assign(first.href);
  }

  // Arrow keys move real focus between the input and the result links, so each result is an
  // ordinary link to assistive software and Enter on it is the browser's own.
  function onKey(box, event) {
    if (event.isComposing || event.altKey || event.ctrlKey || event.metaKey) return;
    var links = Array.from(box.list.querySelectorAll("a"));
    var at = links.indexOf(document.activeElement);
    var onInput = event.target === box.input;
    if (!onInput && at < 0) return;
    if (event.key === "ArrowDown" && links.length) {
      event.preventDefault();
      links[Math.min(at + 1, links.length - 1)].focus();
    } else if (event.key === "ArrowUp" && at >= 0) {
      event.preventDefault();
      (at === 0 ? box.input : links[at - 1]).focus();
    } else if (event.key === "Enter" && onInput) {
      event.preventDefault();
      followFirst(box);
    } else if (event.key === "Escape") {
      event.preventDefault();
      box.input.value = "";
      box.input.focus();
      changed(box);
    }
  }

  function setUp(form, query) {
    var box = {
      form: form,
      input: form.querySelector("input[name=q]"),
      status: form.querySelector(".quirefold_search_status"),
      list: form.querySelector(".quirefold_results"),
    };
    if (!box.input || !box.status || !box.list) return;
    boxes.push(box);
    if (query) box.input.value = query;
    box.input.addEventListener("focus", loadIndex);
    box.input.addEventListener("input", function () { changed(box); });
    form.addEventListener("keydown", function (event) { onKey(box, event); });
    form.addEventListener("submit", function (event) {
      event.preventDefault();
      followFirst(box);
    });
  }

  function start() {
    var query = "";
    try { query = new URLSearchParams(location.search).get("q") || ""; } catch (e) { /* none */ }
    Array.from(document.querySelectorAll("form.quirefold_search")).forEach(function (form) {
      setUp(form, query);
    });
    if (boxes.length && query.trim()) loadIndex();
  }

  if (document.readyState === "loading") document.addEventListener("DOMContentLoaded", start);
  else start();
})();
