// The engine's index searched by the search script: real splits of the example manual and of
// a Latin-1 document, each query's first result followed to the page that holds the word.
//   node tests/search/index-agree.mjs QUIREFOLD_SPLIT EXAMPLE_MANUAL
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { copyFileSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import test from "node:test";
import vm from "node:vm";

const [split, manual] = process.argv.slice(2);
const uiPath = new URL("../../engine/SearchUi.js", import.meta.url);
const uiText = readFileSync(uiPath, "utf8");

function splitInto(folder, name, options) {
  execFileSync(split, ["--defaults", "-q", ...options, join(folder, name)], {
    env: { ...process.env, XDG_CONFIG_HOME: join(folder, "config") },
  });
}

// The index file as the browser runs it, handed to the script's own search.
function loadIndex(file) {
  const sandbox = {};
  vm.runInNewContext(uiText, sandbox);
  const ui = sandbox.quirefoldSearchForTests;
  let data;
  vm.runInNewContext(readFileSync(file, "utf8"), { quirefoldSearchIndex: (d) => (data = d) });
  return { ui, index: ui.prepareIndex(data), data };
}

// The page's text from the anchor on, tags dropped, as the reader sees it there.
function textAtAnchor(folder, href, encoding) {
  const [page, anchor] = href.split("#");
  let html = readFileSync(join(folder, decodeURIComponent(page)), encoding);
  if (anchor) {
    const at = html.search(new RegExp(`id=["']?${anchor}["'\\s>]`));
    assert.ok(at >= 0, `${href}: no such anchor`);
    html = html.slice(at);
  }
  html = html.replace(/<nav class="quirefold_sidebar"[\s\S]*?<\/nav>/, " ");
  return html.replace(/<[^>]*>/g, " ").replace(/&eacute;/g, "é").toLowerCase();
}

test("the example manual: every query's first result holds its words", (t) => {
  const folder = mkdtempSync(join(tmpdir(), "quirefold-search-"));
  t.after(() => rmSync(folder, { recursive: true, force: true }));
  copyFileSync(manual, join(folder, "manual.html"));
  splitInto(folder, "manual.html", ["--sidebar", "--search", "--fix-links"]);
  assert.equal(readFileSync(join(folder, "manualsearch-ui.js"), "utf8"), uiText);

  const { ui, index, data } = loadIndex(join(folder, "manualsearch.js"));
  assert.equal(data.asciiOnly, false);
  for (const query of ["installing", "Synchronis", "plain text files", "TAGS and"]) {
    const found = ui.search(index, query);
    assert.ok(found.hits.length > 0, `nothing found for "${query}"`);
    const [href, heading] = data.sections[found.hits[0]];
    const text = textAtAnchor(folder, href, "utf8") + " " + heading.toLowerCase();
    for (const word of query.toLowerCase().split(" "))
      assert.ok(text.includes(word), `"${word}" not at ${href} (${heading})`);
  }
  // A heading that holds the words comes before text that only mentions them.
  const install = ui.search(index, "installing marginalia");
  assert.equal(data.sections[install.hits[0]][1], "2. Installing Marginalia");
  assert.equal(ui.search(index, "zzzunheardof").total, 0);
});

test("a Latin-1 document: accented words found under either case", (t) => {
  const folder = mkdtempSync(join(tmpdir(), "quirefold-search-"));
  t.after(() => rmSync(folder, { recursive: true, force: true }));
  const doc =
    '<html><head><meta charset="iso-8859-1"><title>Caf\xe9</title></head><body>' +
    "<p>intro</p><h2 id=a>Le caf\xe9</h2><p>Une \xc9cole et un na&iuml;f.</p>" +
    "<h2 id=b>Autre</h2><p>rien <script>var \xe9cole;</script></p></body></html>";
  writeFileSync(join(folder, "latin.html"), Buffer.from(doc, "latin1"));
  splitInto(folder, "latin.html", ["--search"]);
  const { ui, index, data } = loadIndex(join(folder, "latinsearch.js"));
  const ecole = ui.search(index, "école");
  assert.deepEqual(Array.from(ecole.hits, (h) => data.sections[h][0]), ["latin001.html#a"]);
  assert.ok(textAtAnchor(folder, "latin001.html#a", "latin1").includes("école"));
  assert.equal(data.sections[ecole.hits[0]][1], "Le café");
  assert.equal(ui.search(index, "NAÏF").total, 1);
  // The search page, linked from the index page, loads the script beside it.
  assert.match(readFileSync(join(folder, "latin000.html"), "latin1"), /href="latinsearch.html"/);
  assert.match(readFileSync(join(folder, "latinsearch.html"), "utf8"), /<title>Search - Café<\/title>/);
});

test("an index of any bytes at all is a script the browser runs", (t) => {
  const folder = mkdtempSync(join(tmpdir(), "quirefold-search-"));
  t.after(() => rmSync(folder, { recursive: true, force: true }));
  let seed = 12345;
  const random = () => (seed = (seed * 1103515245 + 12345) % 2147483648) % 256;
  for (const charset of ["utf-8", "windows-1252", "koi8-r"]) {
    const bytes = Buffer.alloc(20000, 0);
    for (let i = 0; i < bytes.length; i++) bytes[i] = random();
    const doc = Buffer.concat([
      Buffer.from(`<html><head><meta charset="${charset}"><title>\u2028</title></head><body>`),
      bytes,
      Buffer.from("<h1 id=last>End</h1>x</body></html>"),
    ]);
    writeFileSync(join(folder, "noise.html"), doc);
    splitInto(folder, "noise.html", ["--search"]);
    const { ui, index, data } = loadIndex(join(folder, "noisesearch.js"));
    assert.equal(data.asciiOnly, charset === "koi8-r");
    assert.ok(ui.search(index, "end").total >= 1, charset);
    rmSync(join(folder, "noisesearch.js"));
  }
});
