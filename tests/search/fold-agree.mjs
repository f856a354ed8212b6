// Checks that the search script cuts and folds words as the engine does. Reads the engine's
// table, one line "CP FOLD W" (hex, hex, 0 or 1) per code point from 0 to 2FFFF, from the file
// given or from stdin:
//   node tests/search/fold-agree.mjs table.txt
import { readFileSync } from "node:fs";
import vm from "node:vm";

const LAST = 0x2ffff;
const SHOWN = 10;

const scriptPath = new URL("../../engine/SearchUi.js", import.meta.url);
const sandbox = {};
vm.runInNewContext(readFileSync(scriptPath, "utf8"), sandbox, { filename: scriptPath.pathname });
const { foldCodePoint, isWordCodePoint } = sandbox.quirefoldSearchForTests;

async function readInput() {
  if (process.argv[2]) return readFileSync(process.argv[2], "utf8");
  const chunks = [];
  for await (const chunk of process.stdin) chunks.push(chunk);
  return Buffer.concat(chunks).toString("utf8");
}

const hex = (cp) => cp.toString(16).toUpperCase().padStart(4, "0");
const problems = [];
let problemCount = 0;
function problem(text) {
  if (problems.length < SHOWN) problems.push(text);
  problemCount++;
}

const seen = new Uint8Array(LAST + 1);
const lines = (await readInput()).split(/\r?\n/);
lines.forEach((line, i) => {
  if (!line.trim()) return;
  const fields = line.trim().split(/\s+/);
  if (fields.length !== 3 || !fields.slice(0, 2).every((f) => /^[0-9a-f]+$/i.test(f)) ||
      !/^[01]$/.test(fields[2])) {
    problem(`line ${i + 1}: cannot read "${line}"`);
    return;
  }
  const cp = parseInt(fields[0], 16);
  const fold = parseInt(fields[1], 16);
  const word = fields[2] === "1";
  if (cp > LAST) {
    problem(`line ${i + 1}: U+${hex(cp)} is past U+${hex(LAST)}`);
    return;
  }
  if (seen[cp]) problem(`line ${i + 1}: U+${hex(cp)} again`);
  seen[cp] = 1;
  const ourFold = foldCodePoint(cp);
  const ourWord = isWordCodePoint(cp);
  if (ourFold !== fold) {
    problem(`U+${hex(cp)}: engine folds to ${hex(fold)}, script to ${hex(ourFold)}`);
  }
  if (ourWord !== word) {
    problem(`U+${hex(cp)}: engine says ${word ? "" : "not "}a word character, script the opposite`);
  }
});

// Missing code points, as ranges.
for (let cp = 0; cp <= LAST; cp++) {
  if (seen[cp]) continue;
  let end = cp;
  while (end < LAST && !seen[end + 1]) end++;
  problem(`U+${hex(cp)}${end > cp ? "..U+" + hex(end) : ""}: missing from the table`);
  cp = end;
}

if (problemCount) {
  console.log(problems.join("\n"));
  if (problemCount > SHOWN) console.log(`... and ${problemCount - SHOWN} more`);
  console.log(`fold-agree: ${problemCount} problem${problemCount === 1 ? "" : "s"}`);
  process.exit(1);
}
console.log(`fold-agree: script and engine agree on all ${LAST + 1} code points to U+${hex(LAST)}`);
