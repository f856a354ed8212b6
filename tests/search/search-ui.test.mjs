// The search script's word rules and search, run without a DOM:
//   node tests/search/search-ui.test.mjs
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import test from "node:test";
import vm from "node:vm";

const scriptPath = new URL("../../engine/SearchUi.js", import.meta.url);
const sandbox = {};
vm.runInNewContext(readFileSync(scriptPath, "utf8"), sandbox, { filename: scriptPath.pathname });
const ui = sandbox.quirefoldSearchForTests;

// Values made in the script's context have its prototypes; compare them as plain data.
const plain = (value) => JSON.parse(JSON.stringify(value));
const hits = (index, query) => plain(ui.search(index, query).hits);

// Written by hand as the engine would: whole-text words (heading included) and heading words.
const guide = ui.prepareIndex({
  v: 1,
  asciiOnly: false,
  sections: [
    ["guide001.html", "Introduction", "This guide explains installing Quirefold on your computer."],
    ["guide002.html#setup", "Installing", "Run the installer. An école de Straße example."],
    ["guide002.html#use", "Using the program", "Open a document and split it."],
    ["guide003.html", "Install on Windows", "Installation needs a program and a disk."],
  ],
  words: {
    introduction: "0", this: "0", guide: "0", explains: "0", installing: "0,1",
    quirefold: "0", on: "0,3", your: "0", computer: "0", run: "1", the: "1,1", installer: "1",
    an: "1", "école": "1", de: "1", "straße": "1", example: "1", using: "2", program: "2,1",
    open: "2", a: "2,1", document: "2", and: "2,1", split: "2", it: "2", install: "3",
    windows: "3", installation: "3", needs: "3", disk: "3",
  },
  headingWords: {
    introduction: "0", installing: "1", using: "2", the: "2", program: "2", install: "3",
    on: "3", windows: "3",
  },
});

test("the script leaves only its test hook behind when there is no document", () => {
  assert.deepEqual(Object.keys(sandbox), ["quirefoldSearchForTests"]);
});

test("postings are base-36 differences from the previous section", () => {
  assert.deepEqual(plain(ui.parsePostings("0,2,12")), [0, 2, 40]);
  assert.deepEqual(plain(ui.parsePostings("a,z,10")), [10, 45, 81]);
  assert.deepEqual(plain(ui.parsePostings("")), []);
});

test("words are runs of word code points, folded and cut to 64", () => {
  assert.deepEqual(plain(ui.wordsOf("ÉCOLE, Straße; STRAẞE")), ["école", "straße", "straẞe"]);
  assert.deepEqual(plain(ui.wordsOf("ΣΊΣΥΦΟΣ λόγος ЁЛКА Ÿ ŁÓDŹ")), [
    "σΊσυφοσ", "λόγοσ", "ёлка", "ÿ", "łódź",
  ]);
  // Punctuation, the multiplication sign, a no-break space and U+2019 split words.
  assert.deepEqual(plain(ui.wordsOf("it\u2019s 3×4\u00a0ºC 𝒳y")), ["it", "s", "3", "4", "ºc", "𝒳y"]);
  assert.deepEqual(plain(ui.wordsOf("B".repeat(70) + " x")), ["b".repeat(64), "x"]);
});

test("every query word is required", () => {
  assert.deepEqual(hits(guide, "program and"), [2, 3]);
  assert.deepEqual(hits(guide, "PROGRAM, disk!"), [3]);
  assert.deepEqual(hits(guide, "program nowhere"), []);
  // A word the index lacks must not find Object.prototype's members.
  assert.deepEqual(hits(guide, "constructor"), []);
  assert.deepEqual(hits(guide, "constructor a"), []);
  assert.deepEqual(hits(guide, " ;; "), []);
});

test("only the last word matches as a prefix, and only from two characters", () => {
  assert.deepEqual(hits(guide, "inst"), [1, 3, 0]);
  assert.deepEqual(hits(guide, "inst guide"), []);
  assert.deepEqual(hits(guide, "guide inst"), [0]);
  // "a" is a word of sections 2 and 3; "an" (section 1) must not match it.
  assert.deepEqual(hits(guide, "a"), [2, 3]);
  assert.deepEqual(hits(guide, "an"), [1, 2, 3]);
});

test("sections whose heading holds every word come first, each group in document order", () => {
  assert.deepEqual(hits(guide, "on"), [3, 0]);
  assert.deepEqual(hits(guide, "installing"), [1, 0]);
  assert.deepEqual(hits(guide, "the pro"), [2]);
  assert.deepEqual(hits(guide, "the"), [2, 1]);
});

test("folding: case goes, ß and accents stay", () => {
  assert.deepEqual(hits(guide, "ÉCOLE"), [1]);
  assert.deepEqual(hits(guide, "ecole"), []);
  assert.deepEqual(hits(guide, "STRAßE"), [1]);
  assert.deepEqual(hits(guide, "strasse"), []);
});

test("the excerpt marks exactly the words the query found", () => {
  const excerpt = "Run the installer. An école de Straße example.";
  assert.deepEqual(plain(ui.markExcerpt(excerpt, ui.wordsOf("ÉCOLE inst"))), [
    { text: "Run the ", mark: false },
    { text: "installer", mark: true },
    { text: ". An ", mark: false },
    { text: "école", mark: true },
    { text: " de Straße example.", mark: false },
  ]);
  // Only the last word is a prefix; one letter matches a whole word only.
  assert.deepEqual(plain(ui.markExcerpt("inst installer", ui.wordsOf("inst ex"))), [
    { text: "inst", mark: true },
    { text: " installer", mark: false },
  ]);
  assert.deepEqual(plain(ui.markExcerpt("A an, a.", ui.wordsOf("a"))), [
    { text: "A", mark: true },
    { text: " an, ", mark: false },
    { text: "a", mark: true },
    { text: ".", mark: false },
  ]);
});

test("more than 50 results are cut to 50 and counted in full", () => {
  const sections = [];
  for (let i = 0; i < 60; i++) sections.push([`big${i}.html`, `Part ${i}`, "Some text."]);
  const big = ui.prepareIndex({
    v: 1,
    sections,
    words: { text: "0" + ",1".repeat(59), odd: "1" + ",2".repeat(29) },
    headingWords: { part: "0" + ",1".repeat(59) },
  });
  const found = ui.search(big, "tex");
  assert.equal(found.total, 60);
  assert.deepEqual(plain(found.hits), Array.from({ length: 50 }, (_, i) => i));
  assert.equal(ui.statusText("tex", found.total, false), "50 of 60 results");
  assert.equal(ui.search(big, "odd").total, 30);
  assert.equal(ui.statusText("odd", 30, false), "30 results");
  assert.equal(ui.statusText("x", 1, false), "1 result");
  assert.equal(ui.statusText("x", 0, false), "No results");
  assert.equal(ui.statusText("", 0, false), "");
  assert.equal(
    ui.statusText("x", 0, true),
    "No results. Only words in plain ASCII letters can be found in this document.",
  );
});

test("a result shows its page's file name", () => {
  assert.equal(ui.pageName("guide002.html#setup"), "guide002.html");
  assert.equal(ui.pageName("my%20guide003.html"), "my guide003.html");
});

test("an index of another version is refused", () => {
  assert.throws(() => ui.prepareIndex({ v: 2, sections: [], words: {}, headingWords: {} }));
});
