// Every word the page shows, one table per language. The program's own output (the
// listing, its messages, the KML) stays as the program writes it; what it says is told
// here again, in the reader's language, from the outcome it hands over: `meanings` has
// each exit status, `said` each diagnostic, by its id. An entry is a text, or a function
// that makes one from the numbers and names it is given; numbers come as numbers, and the
// table writes them as its language does, in the plural form that its rules pick.
'use strict';

const WORDS = (function () {
  // Writes `n` as `language` does, followed by the form of `forms` that its plural rules
  // pick for it ({one, few, many, other}; `other` where a form is missing).
  function counted(language) {
    const rules = new Intl.PluralRules(language);
    return (n, forms) => `${n.toLocaleString(language)} ${forms[rules.select(n)] || forms.other}`;
  }
  const en = counted('en');
  const pl = counted('pl');
  const number = (language) => (n) => n.toLocaleString(language);
  const enNumber = number('en');
  const plNumber = number('pl');
  // "z 1 rekordu", "z 2 rekordów", "z 5 rekordów": after "z", one record in the singular,
  // any other number in the plural's genitive (and a fraction in the singular).
  const ofRecords = (n) => pl(n, { one: 'rekordu', few: 'rekordów', many: 'rekordów', other: 'rekordu' });
  // A verb agrees with the number of its subject as Polish counts it: "1 z 3 rekordów nie
  // wskazuje", "2 z 3 nie wskazują", "5 z 9 nie wskazuje", "22 z 30 nie wskazują".
  const plRules = new Intl.PluralRules('pl');
  const plVerb = (n, singular, plural) => (plRules.select(n) === 'few' ? plural : singular);

  return {
    en: {
      title: 'kml: GPS log to KML route',
      intro: 'Turns a GPS logger\'s position log into a KML route. Everything happens on this computer: ' +
        'the log is not uploaded anywhere.',
      languages: 'Language',
      chooseHeading: '1. Choose a log',
      chooseText: 'The log is the dump you pulled off the logger (often eeprom.hex): raw, Intel HEX or ' +
        'S-records.',
      chooseHow: 'Choose it, or drop it anywhere on this page.',
      chooseHowTouch: 'Choose it.',
      chooseButton: 'Choose a log…',
      resultHeading: '2. The result',
      records: 'Records in the log',
      positions: 'Positions in the route',
      messagesHeading: 'The program\'s messages',
      saveListing: (name) => `Save the listing (${name})`,
      routeHeading: '3. The route',
      detailsHeading: '4. What was read and saved',
      listingHeading: '5. The listing',
      listingNote: 'Each record as stored, then in decimal degrees.',
      footer: 'The program here is kml itself, built to WebAssembly: it gives the same bytes as on the ' +
        'command line. See its README for the log format and exit statuses.',

      nothingYet: 'No log converted yet.',
      noMessagesYet: 'Nothing yet.',
      noRouteYet: 'No route yet.',
      converting: (name, size) => `Converting ${name} (${en(size, { one: 'byte', other: 'bytes' })})…`,
      convertingStatus: 'Converting…',
      chosen: (name, size) => `${name}, ${en(size, { one: 'byte', other: 'bytes' })}`,
      converted: (positions) => `Converted: ${en(positions, { one: 'position', other: 'positions' })}.`,
      notConverted: (cause) => `Nothing was converted: ${cause}.`,
      nothingSaid: 'the program gave no reason',
      // Status 2: what was read of what the log states, and why reading stopped.
      endedEarly: (records, stated, why) => (stated >= 0
        ? `Converted ${enNumber(records)} of ${en(stated, { one: 'record', other: 'records' })}: ${why}.`
        : `${why.charAt(0).toUpperCase()}${why.slice(1)}: there is no position to convert.`),
      whyEnded: {
        'log-ends-early': () => 'the log ends early, with no end marker',
        'log-ends-in-count': () => 'the log ends inside its record count',
        'log-unreadable': (d) => `the log could not be read to its end (${d.values[0]})`,
        'dump-cut': () => 'the dump was cut off, with no end record',
        'dump-gap-ends-log': (d) => `the dump has a gap there (bytes ${d.values[0]} to ${d.values[1]} are in no ` +
          'record), and nothing after it was read',
      },
      emptyFile: 'The file is empty: there is no position to convert.',
      listingFailed: (positions, why) => `Converted ${en(positions, { one: 'position', other: 'positions' })}, ` +
        `but the listing could not be written whole (${why}).`,
      leftOut: (names) => `Only one log is converted at a time; left out: ${names}.`,
      tally: (errors, warnings) => [
        errors > 0 ? en(errors, { one: 'error', other: 'errors' }) : '',
        warnings > 0 ? en(warnings, { one: 'warning', other: 'warnings' }) : '',
      ].filter(Boolean).join(', '),
      endMarker: (records, stated) => `The log's end marker came after ${enNumber(records)} of ` +
        `${en(stated, { one: 'record', other: 'records' })}.`,
      coldStart: (count) => `${en(count, { one: 'position lies', other: 'positions lie' })} at exactly 0°, 0°, ` +
        'where a logger puts them while it has no fix: the route runs there and back.',
      notALog: (odd, records) => `This does not look like a position log: ${enNumber(odd)} of ` +
        `${en(records, { one: 'record', other: 'records' })} ${odd === 1 ? 'gives' : 'give'} no position on the Earth.`,
      meaningOf: (code) => `What this result means (exit status ${code})`,
      openMap: 'Open this area in OpenStreetMap',
      meanings: {
        0: 'The log was converted: the KML holds every position it has.',
        1: 'Nothing was converted, and the KML path is as it was. The log cannot be opened, it is a text ' +
          'dump that cannot be trusted (a malformed line, a wrong checksum or count, records that disagree, ' +
          'no record in the log\'s range), or the KML must not or cannot be written there.',
        2: 'The log ends early: it, or the text dump that holds it, ends before its count or end marker, ' +
          'or cannot be read to its end. The KML holds every whole record before that point.',
        3: 'The listing could not be written whole (a full disk, or a reader that quit); it stops there, ' +
          'and the KML is complete.',
        255: 'The KML could not be written whole: a write, its flush or its close failed. The KML path ' +
          'was left as it was, the old KML byte for byte or no file, as the message says.',
      },
      unknownMeaning: 'A status the program does not give.',
      recordsOf: (records, stated) => stated >= 0 && stated !== records
        ? `${enNumber(records)} of ${enNumber(stated)}` : enNumber(records),
      noneRead: 'none read',
      noKml: 'none: no KML was written',
      noMessages: 'The program said nothing: no warnings, no problems.',
      saveKml: (name) => `Save the KML (${name})`,
      saveGpx: (name) => `Save the GPX (${name})`,
      listingPart: (shown, all) => `The first ${enNumber(shown)} of ${enNumber(all)} lines; the button above ` +
        'saves the whole listing.',
      routeNoKml: 'No route: the program wrote no KML.',
      routeEmpty: 'The route is empty: the log holds no positions.',
      noneOnEarth: 'Nothing to draw: no position of the route lies on the Earth.',
      summary: (positions, km) => `${en(positions, { one: 'position', other: 'positions' })} from the start ` +
        `(the green dot) to the end (the ring); the route is ${km.toLocaleString('en', { minimumFractionDigits: 2,
          maximumFractionDigits: 2 })} km long.`,
      offTheEarth: (off) => ` ${en(off, { one: 'position lies', other: 'positions lie' })} off the Earth and ` +
        `${off === 1 ? 'is' : 'are'} not drawn.`,
      extent: (north, south, east, west) => ` Extent: north ${north}, south ${south}, east ${east}, west ${west}.`,
      degrees: (value, compass) => `${Math.abs(value).toLocaleString('en', { minimumFractionDigits: 5,
        maximumFractionDigits: 5 })}°\u00a0${compass}`,
      compass: { N: 'N', S: 'S', E: 'E', W: 'W' },
      converterFailed: (why) => `The converter failed: ${why}`,
      cannotStart: (why) => `The converter could not be started in this browser: ${why}`,
      noWebAssembly: 'This browser cannot run the converter: it needs WebAssembly and Web Workers ' +
        '(any current Firefox, Chrome, Edge or Safari has them).',
      pageFailed: (why) => `The page failed: ${why}`,
      // What the program said, by id: a clause, from a diagnostic {path, line, values}.
      said: {
        'log-unopenable': (d) => `${d.path} cannot be opened: ${d.values[0]}`,
        'log-is-listing': (d) => `${d.path} is where the listing goes, and is not read as the log`,
        'dump-bad-character': (d) => `line ${d.line} of ${d.path} holds a character that no record may hold`,
        'dump-wrong-length': (d) => `line ${d.line} of ${d.path} is a record of the wrong length`,
        'dump-unknown-type': (d) => `line ${d.line} of ${d.path} is a record of an unknown type`,
        'dump-checksum': (d) => `line ${d.line} of ${d.path} has a wrong checksum`,
        'dump-not-intel-hex': (d) => `line ${d.line} of ${d.path} is not an Intel HEX record`,
        'dump-not-srecord': (d) => `line ${d.line} of ${d.path} is not an S-record`,
        'dump-disagrees': (d) => `line ${d.line} of ${d.path} gives other bytes for an address than a record ` +
          'before it',
        'dump-count-mismatch': (d) => `the record count on line ${d.line} of ${d.path} does not match the ` +
          'records before it',
        'dump-unreadable': (d) => `${d.path} cannot be read: ${d.values[0]}`,
        'dump-too-large': (d) => `${d.path} is larger than 64 MiB, which no dump of a log is`,
        'dump-out-of-range': (d) => `no record of ${d.path} holds a byte of the log; the first is at ` +
          `${d.values[0]}`,
        'dump-no-data': (d) => `no record of ${d.path} holds a byte of the log`,
        'dump-gap': (d) => `bytes ${d.values[0]} to ${d.values[1]} of ${d.path} are in no record, and were ` +
          'read as erased (FF)',
        'dump-cut': (d) => `${d.path} was cut off: the dump has no end record`,
        'dump-gap-ends-log': (d) => `the log in ${d.path} stops at bytes ${d.values[0]} to ${d.values[1]}, which ` +
          `are in no record; ${enNumber(Number(d.values[2]))} of its ` +
          `${en(Number(d.values[3]), { one: 'record was', other: 'records were' })} not read`,
        'log-unreadable': (d) => `${d.path} cannot be read to its end: ${d.values[0]}`,
        'log-ends-in-count': (d) => `${d.path} ends inside the record count`,
        'log-ends-early': (d) => `${d.path} ends after ${enNumber(Number(d.values[0]))} of ` +
          `${en(Number(d.values[1]), { one: 'record', other: 'records' })}, with no end marker`,
        'not-finite': (d) => `${en(Number(d.values[0]), { one: 'record has', other: 'records have' })} ` +
          `coordinates that are not finite numbers, left out of the route (the first is POS ${d.values[1]})`,
        'cold-start': (d) => `${en(Number(d.values[0]), { one: 'position lies', other: 'positions lie' })} at ` +
          `exactly 0°, 0°, where a logger puts them while it has no fix (the first is POS ${d.values[1]})`,
        'off-the-earth': (d) => `${en(Number(d.values[0]), { one: 'position lies', other: 'positions lie' })} ` +
          `beyond 90° of latitude or 180° of longitude (the first is POS ${d.values[1]})`,
        'not-a-position-log': (d) => `${d.path} does not look like a position log: ${enNumber(Number(d.values[0]))} ` +
          `of ${en(Number(d.values[1]), { one: 'record', other: 'records' })} read ` +
          `${d.values[0] === '1' ? 'gives' : 'give'} no position on the Earth`,
        'listing-failed': (d) => `the listing could not be written: ${d.values[0]}`,
        'kml-is-log': () => 'the KML would overwrite the log itself',
        'kml-is-listing': () => 'the KML would go where the listing goes',
        'kml-new-file-left': (d) => `the new file ${d.values[0]} could not be removed: ${d.values[1]}`,
        'kml-old-file-left': (d) => `the old KML, now ${d.values[0]}, could not be removed: ${d.values[1]}`,
        'kml-unsynced': (d) => `the KML is in place, but its folder could not be synced to the disk: ${d.values[0]}`,
        'kml-cannot-create': (d) => `the KML cannot be created: ${d.values[0]}`,
        'kml-link-to-nothing': () => 'the KML\'s path is a link to nothing',
        'kml-unopenable': (d) => `the KML cannot be opened: ${d.values[0]}`,
        'kml-block-device': () => 'the KML\'s path is a block device',
        'kml-unreadable': (d) => `the file at the KML's path cannot be read to check that it is a KML (${d.values[0]})`,
        'kml-not-kml': () => 'the file at the KML\'s path is not a KML document',
        'kml-changed': () => 'the KML\'s path was changed while the log was read',
        'kml-changed-moved': (d) => `the KML's path was changed while the log was read; what was there is now ` +
          d.values[0],
        'kml-kept': (d) => `the KML could not be written (${d.values[0]}); the old one is as it was`,
        'kml-not-created': (d) => `the KML could not be written (${d.values[0]}); none was created`,
        'kml-incomplete': (d) => `the KML could not be written whole (${d.values[0]}); it is incomplete`,
        'kml-unwritten': (d) => `the KML could not be written: ${d.values[0]}`,
      },
    },

    pl: {
      title: 'kml: log GPS na trasę KML',
      intro: 'Zamienia log pozycji z rejestratora GPS na trasę KML. Wszystko dzieje się na tym komputerze: ' +
        'log nie jest nigdzie wysyłany.',
      languages: 'Język',
      chooseHeading: '1. Wybierz log',
      chooseText: 'Log to zrzut pamięci pobrany z rejestratora (często eeprom.hex): surowy, Intel HEX albo ' +
        'S-rekordy.',
      chooseHow: 'Wybierz go albo upuść w dowolnym miejscu tej strony.',
      chooseHowTouch: 'Wybierz go.',
      chooseButton: 'Wybierz log…',
      resultHeading: '2. Wynik',
      records: 'Rekordy w logu',
      positions: 'Pozycje na trasie',
      messagesHeading: 'Komunikaty programu',
      saveListing: (name) => `Zapisz wykaz (${name})`,
      routeHeading: '3. Trasa',
      detailsHeading: '4. Co odczytano i co zapisać',
      listingHeading: '5. Wykaz',
      listingNote: 'Każdy rekord tak, jak jest zapisany, a pod nim w stopniach dziesiętnych.',
      footer: 'Działa tu sam program kml, skompilowany do WebAssembly: daje te same bajty co w wierszu ' +
        'poleceń. Format logu i kody wyjścia opisuje jego README.',

      nothingYet: 'Nie przekonwertowano jeszcze żadnego logu.',
      noMessagesYet: 'Jeszcze nic.',
      noRouteYet: 'Jeszcze nie ma trasy.',
      converting: (name, size) => `Konwertuję ${name} (${plNumber(size)} B)…`,
      convertingStatus: 'Konwertuję…',
      chosen: (name, size) => `${name}, ${plNumber(size)} B`,
      converted: (positions) => `Gotowe: przekonwertowano ${pl(positions,
        { one: 'pozycję', few: 'pozycje', many: 'pozycji' })}.`,
      notConverted: (cause) => `Nic nie przekonwertowano: ${cause}.`,
      nothingSaid: 'program nie podał przyczyny',
      endedEarly: (records, stated, why) => (stated >= 0
        ? `Przekonwertowano ${plNumber(records)} z ${ofRecords(stated)}: ${why}.`
        : `${why.charAt(0).toUpperCase()}${why.slice(1)}: nie ma żadnej pozycji do przekonwertowania.`),
      whyEnded: {
        'log-ends-early': () => 'log urywa się przedwcześnie, bez znacznika końca',
        'log-ends-in-count': () => 'log urywa się w środku liczby rekordów',
        'log-unreadable': (d) => `nie da się odczytać logu do końca (${d.values[0]})`,
        'dump-cut': () => 'zrzut jest ucięty, bez rekordu końca',
        'dump-gap-ends-log': (d) => `w zrzucie jest tam luka (bajty od ${d.values[0]} do ${d.values[1]} nie należą ` +
          'do żadnego rekordu) i nic, co leży za nią, nie zostało odczytane',
      },
      emptyFile: 'Plik jest pusty: nie ma żadnej pozycji do przekonwertowania.',
      listingFailed: (positions, why) => `Przekonwertowano ${pl(positions, { one: 'pozycję', few: 'pozycje',
        many: 'pozycji' })}, ale nie udało się wypisać całego wykazu (${why}).`,
      leftOut: (names) => `Naraz konwertuję jeden log; pominięte: ${names}.`,
      tally: (errors, warnings) => [
        errors > 0 ? pl(errors, { one: 'błąd', few: 'błędy', many: 'błędów' }) : '',
        warnings > 0 ? pl(warnings, { one: 'ostrzeżenie', few: 'ostrzeżenia', many: 'ostrzeżeń' }) : '',
      ].filter(Boolean).join(', '),
      endMarker: (records, stated) => `Log kończy się znacznikiem końca po ${plNumber(records)} z ` +
        `${ofRecords(stated)}.`,
      coldStart: (count) => `${pl(count, { one: 'pozycja leży', few: 'pozycje leżą', many: 'pozycji leży' })} ` +
        'dokładnie w punkcie 0°, 0°, gdzie odbiornik zapisuje pozycję, gdy nie zna swojego położenia: trasa ' +
        'biegnie tam i z powrotem.',
      notALog: (odd, records) => `To nie wygląda na log pozycji: ${plNumber(odd)} z ${ofRecords(records)} ` +
        `${plVerb(odd, 'nie wskazuje', 'nie wskazują')} miejsca na Ziemi.`,
      meaningOf: (code) => `Co oznacza ten wynik (kod wyjścia ${code})`,
      openMap: 'Otwórz ten obszar w OpenStreetMap',
      meanings: {
        0: 'Log został przekonwertowany: plik KML zawiera każdą jego pozycję.',
        1: 'Nic nie przekonwertowano, a ścieżka KML pozostała bez zmian. Logu nie da się otworzyć, jest ' +
          'zrzutem tekstowym, któremu nie można ufać (wadliwy wiersz, zła suma kontrolna lub liczba ' +
          'rekordów, rekordy, które sobie przeczą, żaden rekord w zakresie logu), albo pliku KML nie wolno ' +
          'lub nie da się tam zapisać.',
        2: 'Log urywa się przedwcześnie: on sam albo zrzut tekstowy, w którym jest, kończy się przed ' +
          'zapowiedzianą liczbą rekordów lub znacznikiem końca albo nie da się go odczytać do końca. ' +
          'Plik KML zawiera każdy cały rekord sprzed tego miejsca.',
        3: 'Nie udało się wypisać całego wykazu (pełny dysk albo program czytający wykaz się zakończył); ' +
          'wykaz urywa się w tym miejscu, a plik KML jest kompletny.',
        255: 'Nie udało się zapisać całego pliku KML: zapis, opróżnienie bufora lub zamknięcie pliku nie ' +
          'powiodło się. Ścieżka KML pozostała bez zmian: stary KML bajt w bajt albo brak pliku, jak mówi ' +
          'komunikat.',
      },
      unknownMeaning: 'Tego kodu program nie zwraca.',
      recordsOf: (records, stated) => stated >= 0 && stated !== records
        ? `${plNumber(records)} z ${plNumber(stated)}` : plNumber(records),
      noneRead: 'nie odczytano',
      noKml: 'brak: nie zapisano pliku KML',
      noMessages: 'Program nic nie zgłosił: żadnych ostrzeżeń ani problemów.',
      saveKml: (name) => `Zapisz KML (${name})`,
      saveGpx: (name) => `Zapisz GPX (${name})`,
      listingPart: (shown, all) => `Pierwsze ${plNumber(shown)} z ${plNumber(all)} wierszy; cały wykaz ` +
        'zapiszesz przyciskiem powyżej.',
      routeNoKml: 'Brak trasy: program nie zapisał pliku KML.',
      routeEmpty: 'Trasa jest pusta: log nie zawiera żadnej pozycji.',
      noneOnEarth: 'Nie ma czego narysować: żadna pozycja trasy nie leży na Ziemi.',
      summary: (positions, km) => `${pl(positions, { one: 'pozycja', few: 'pozycje', many: 'pozycji' })} ` +
        `od startu, zielonej kropki, do mety, pierścienia; długość trasy: ${km.toLocaleString('pl',
          { minimumFractionDigits: 2, maximumFractionDigits: 2 })} km.`,
      offTheEarth: (off) => ` ${pl(off, { one: 'pozycja leży poza Ziemią i nie została narysowana',
        few: 'pozycje leżą poza Ziemią i nie zostały narysowane',
        many: 'pozycji leży poza Ziemią i nie zostało narysowanych' })}.`,
      extent: (north, south, east, west) => ` Zasięg: północ ${north}, południe ${south}, wschód ${east}, ` +
        `zachód ${west}.`,
      degrees: (value, compass) => `${Math.abs(value).toLocaleString('pl', { minimumFractionDigits: 5,
        maximumFractionDigits: 5 })}°\u00a0${compass}`,
      compass: { N: 'N', S: 'S', E: 'E', W: 'W' },
      converterFailed: (why) => `Błąd konwertera: ${why}`,
      cannotStart: (why) => `Nie udało się uruchomić konwertera w tej przeglądarce: ${why}`,
      noWebAssembly: 'Ta przeglądarka nie uruchomi konwertera: potrzebuje WebAssembly i Web Workers ' +
        '(ma je każdy aktualny Firefox, Chrome, Edge i Safari).',
      pageFailed: (why) => `Błąd strony: ${why}`,
      said: {
        'log-unopenable': (d) => `nie da się otworzyć pliku ${d.path}: ${d.values[0]}`,
        'log-is-listing': (d) => `do pliku ${d.path} trafia wykaz, więc nie jest on czytany jako log`,
        'dump-bad-character': (d) => `wiersz ${d.line} pliku ${d.path} zawiera znak, którego nie może mieć ` +
          'żaden rekord',
        'dump-wrong-length': (d) => `wiersz ${d.line} pliku ${d.path} to rekord złej długości`,
        'dump-unknown-type': (d) => `wiersz ${d.line} pliku ${d.path} to rekord nieznanego typu`,
        'dump-checksum': (d) => `wiersz ${d.line} pliku ${d.path} ma złą sumę kontrolną`,
        'dump-not-intel-hex': (d) => `wiersz ${d.line} pliku ${d.path} nie jest rekordem Intel HEX`,
        'dump-not-srecord': (d) => `wiersz ${d.line} pliku ${d.path} nie jest S-rekordem`,
        'dump-disagrees': (d) => `wiersz ${d.line} pliku ${d.path} podaje pod jakimś adresem inne bajty niż ` +
          'rekord przed nim',
        'dump-count-mismatch': (d) => `liczba rekordów w wierszu ${d.line} pliku ${d.path} nie zgadza się ` +
          'z rekordami przed nim',
        'dump-unreadable': (d) => `nie da się odczytać pliku ${d.path}: ${d.values[0]}`,
        'dump-too-large': (d) => `plik ${d.path} ma ponad 64 MiB, a tak dużego zrzutu logu nie ma`,
        'dump-out-of-range': (d) => `żaden rekord pliku ${d.path} nie zawiera bajtu logu; pierwszy leży pod ` +
          `adresem ${d.values[0]}`,
        'dump-no-data': (d) => `żaden rekord pliku ${d.path} nie zawiera bajtu logu`,
        'dump-gap': (d) => `bajty od ${d.values[0]} do ${d.values[1]} pliku ${d.path} nie należą do żadnego ` +
          'rekordu; odczytano je jako wymazane (FF)',
        'dump-cut': (d) => `plik ${d.path} jest ucięty: zrzut nie ma rekordu końca`,
        'dump-gap-ends-log': (d) => `log w pliku ${d.path} urywa się na bajtach od ${d.values[0]} do ` +
          `${d.values[1]}, które nie należą do żadnego rekordu; nie odczytano ${plNumber(Number(d.values[2]))} z ` +
          `${ofRecords(Number(d.values[3]))}`,
        'log-unreadable': (d) => `nie da się odczytać pliku ${d.path} do końca: ${d.values[0]}`,
        'log-ends-in-count': (d) => `plik ${d.path} urywa się w środku liczby rekordów`,
        'log-ends-early': (d) => `plik ${d.path} urywa się po ${plNumber(Number(d.values[0]))} z ` +
          `${ofRecords(Number(d.values[1]))}, bez znacznika końca`,
        'not-finite': (d) => `współrzędne ${pl(Number(d.values[0]), { one: 'rekordu', few: 'rekordów',
          many: 'rekordów', other: 'rekordu' })} nie są liczbami skończonymi; pominięto je na trasie ` +
          `(pierwszy: POS ${d.values[1]})`,
        'cold-start': (d) => `${pl(Number(d.values[0]), { one: 'pozycja leży', few: 'pozycje leżą',
          many: 'pozycji leży' })} dokładnie w punkcie 0°, 0°, gdzie odbiornik zapisuje pozycję, gdy nie zna ` +
          `swojego położenia (pierwsza: POS ${d.values[1]})`,
        'off-the-earth': (d) => `${pl(Number(d.values[0]), { one: 'pozycja leży', few: 'pozycje leżą',
          many: 'pozycji leży' })} poza 90° szerokości lub 180° długości geograficznej (pierwsza: POS ${d.values[1]})`,
        'not-a-position-log': (d) => `plik ${d.path} nie wygląda na log pozycji: ${plNumber(Number(d.values[0]))} z ` +
          `${ofRecords(Number(d.values[1]))} ${plVerb(Number(d.values[0]), 'nie wskazuje', 'nie wskazują')} ` +
          'miejsca na Ziemi',
        'listing-failed': (d) => `nie udało się zapisać wykazu: ${d.values[0]}`,
        'kml-is-log': () => 'plik KML nadpisałby sam log',
        'kml-is-listing': () => 'plik KML trafiłby tam, gdzie trafia wykaz',
        'kml-new-file-left': (d) => `nie udało się usunąć nowego pliku ${d.values[0]}: ${d.values[1]}`,
        'kml-old-file-left': (d) => `nie udało się usunąć starego pliku KML, teraz ${d.values[0]}: ${d.values[1]}`,
        'kml-unsynced': (d) => `plik KML jest na miejscu, ale nie udało się zapisać na dysku jego folderu: ${d.values[0]}`,
        'kml-cannot-create': (d) => `nie da się utworzyć pliku KML: ${d.values[0]}`,
        'kml-link-to-nothing': () => 'ścieżka KML jest dowiązaniem donikąd',
        'kml-unopenable': (d) => `nie da się otworzyć pliku KML: ${d.values[0]}`,
        'kml-block-device': () => 'ścieżka KML jest urządzeniem blokowym',
        'kml-unreadable': (d) => `nie da się odczytać pliku pod ścieżką KML, by sprawdzić, czy to KML (${d.values[0]})`,
        'kml-not-kml': () => 'plik pod ścieżką KML nie jest dokumentem KML',
        'kml-changed': () => 'ścieżka KML zmieniła się w trakcie czytania logu',
        'kml-changed-moved': (d) => `ścieżka KML zmieniła się w trakcie czytania logu; to, co tam było, jest ` +
          `teraz w ${d.values[0]}`,
        'kml-kept': (d) => `nie udało się zapisać pliku KML (${d.values[0]}); stary pozostał bez zmian`,
        'kml-not-created': (d) => `nie udało się zapisać pliku KML (${d.values[0]}); nie utworzono go`,
        'kml-incomplete': (d) => `nie udało się zapisać całego pliku KML (${d.values[0]}); jest niekompletny`,
        'kml-unwritten': (d) => `nie udało się zapisać pliku KML: ${d.values[0]}`,
      },
    },
  };
})();
