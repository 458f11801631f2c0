// The page's words cover the program's outcomes: in every language, a meaning for each
// exit status and words for each diagnostic the program can give, and none for what it
// no longer gives.
//
//   node tests/words_cover.mjs OUTCOME_TABLE WORDS_JS
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import vm from 'node:vm';

const [table, wordsFile] = process.argv.slice(2);
const rows = execFileSync(table, { encoding: 'utf8' }).trim().split('\n').map((line) => line.split('\t'));
const codes = rows.filter(([kind]) => kind === 'status').map(([, code]) => code);
const ids = rows.filter(([kind]) => kind === 'said').map(([, id]) => id);
const context = {};
vm.runInNewContext(`${fs.readFileSync(wordsFile, 'utf8')}\nthis.WORDS = WORDS;`, context);

const faults = [];
for (const [language, words] of Object.entries(context.WORDS)) {
  const has = (table, key) => Object.prototype.hasOwnProperty.call(table || {}, key);
  faults.push(...codes.filter((code) => !has(words.meanings, code)).map((code) => `${language}: no meaning for status ${code}`));
  faults.push(...ids.filter((id) => !has(words.said, id)).map((id) => `${language}: no words for ${id}`));
  faults.push(...Object.keys(words.said || {}).filter((id) => !ids.includes(id))
    .map((id) => `${language}: words for ${id}, which the program does not say`));
  faults.push(...Object.keys(words.meanings || {}).filter((code) => !codes.includes(code))
    .map((code) => `${language}: a meaning for status ${code}, which the program does not give`));
}
for (const fault of faults) {
  console.log(fault);
}
console.log(`${codes.length} statuses and ${ids.length} diagnostics; ${faults.length} missing or stale words`);
process.exitCode = faults.length > 0 ? 1 : 0;
