// The page's words cover the program's outcomes: in every language, a meaning for each
// exit status and words for each diagnostic the program can give, and none for what it
// no longer gives. And counted things take the forms their language's rules give them.
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
// Polish has three forms: 1, then 2 to 4 (but 12 to 14), then the rest.
const { en, pl } = context.WORDS;
const forms = [
  [en.tally(1, 0), '1 error'], [en.tally(2, 1), '2 errors, 1 warning'], [en.tally(0, 1000), '1,000 warnings'],
  [pl.tally(1, 0), '1 błąd'], [pl.tally(3, 0), '3 błędy'], [pl.tally(5, 0), '5 błędów'],
  [pl.tally(0, 1), '1 ostrzeżenie'], [pl.tally(0, 2), '2 ostrzeżenia'], [pl.tally(0, 12), '12 ostrzeżeń'],
  [pl.tally(0, 22), '22 ostrzeżenia'], [pl.tally(0, 25), '25 ostrzeżeń'], [pl.tally(2, 5), '2 błędy, 5 ostrzeżeń'],
  [pl.converted(1), 'Gotowe: przekonwertowano 1 pozycję.'], [pl.converted(4), 'Gotowe: przekonwertowano 4 pozycje.'],
  [pl.converted(65535), 'Gotowe: przekonwertowano 65\u00a0535 pozycji.'],
  [pl.said['log-ends-early']({ path: 'a.hex', values: ['1', '2'] }), 'plik a.hex urywa się po 1 z 2 rekordów, bez znacznika końca'],
  [pl.said['log-ends-early']({ path: 'a.hex', values: ['0', '1'] }), 'plik a.hex urywa się po 0 z 1 rekordu, bez znacznika końca'],
  [pl.said['off-the-earth']({ values: ['5', '3'] }),
    '5 pozycji leży poza 90° szerokości lub 180° długości geograficznej (pierwsza: POS 3)'],
  [pl.offTheEarth(2), ' 2 pozycje leżą poza Ziemią i nie zostały narysowane.'],
  // The verb agrees with the number before "z", the noun after it with its own.
  ...[[1, 'nie wskazuje', 'rekordu'], [2, 'nie wskazują', 'rekordów'], [5, 'nie wskazuje', 'rekordów'],
    [22, 'nie wskazują', 'rekordów']].flatMap(([n, verb, records]) => [
    [pl.notALog(n, n), `To nie wygląda na log pozycji: ${n} z ${n} ${records} ${verb} miejsca na Ziemi.`],
    [pl.said['not-a-position-log']({ path: 'a.hex', values: [String(n), '30'] }),
      `plik a.hex nie wygląda na log pozycji: ${n} z 30 rekordów ${verb} miejsca na Ziemi`],
    [pl.endedEarly(n, n, 'x'), `Przekonwertowano ${n} z ${n} ${records}: x.`]]),
  [pl.listingFailed(22, 'x'), 'Przekonwertowano 22 pozycje, ale nie udało się wypisać całego wykazu (x).'],
  [pl.listingFailed(5, 'x'), 'Przekonwertowano 5 pozycji, ale nie udało się wypisać całego wykazu (x).'],
  [en.notALog(1, 1), 'This does not look like a position log: 1 of 1 record gives no position on the Earth.'],
  [en.notALog(2, 3), 'This does not look like a position log: 2 of 3 records give no position on the Earth.'],
  [en.endedEarly(0, -1, en.whyEnded['log-ends-in-count']()),
    'The log ends inside its record count: there is no position to convert.'],
];
for (const [got, want] of forms) {
  if (got !== want) {
    faults.push(`"${got}", not "${want}"`);
  }
}
for (const fault of faults) {
  console.log(fault);
}
console.log(`${codes.length} statuses and ${ids.length} diagnostics; ${faults.length} missing or stale words`);
process.exitCode = faults.length > 0 ? 1 : 0;
