// Every word the page shows, one table per language. The program's own output (the
// listing, its messages, the KML) stays as the program writes it, in either language.
// An entry is a text, or a function that makes one from the numbers and names it is given.
'use strict';

const WORDS = {
  en: {
    title: 'kml: GPS log to KML route',
    intro: 'Turns a GPS logger\'s position log into a KML route. Everything happens on this computer: ' +
      'the log is not uploaded anywhere.',
    languages: 'Language',
    chooseHeading: '1. Choose a log',
    chooseText: 'The log is the dump you pulled off the logger (often eeprom.hex): raw, Intel HEX or ' +
      'S-records. Choose it, or drop it anywhere on this page.',
    chooseButton: 'Choose a log…',
    resultHeading: '2. The result',
    records: 'Records in the log',
    positions: 'Positions in the route',
    messagesHeading: 'What the program said',
    messagesLabel: 'Messages from the program',
    saveListing: 'Save the listing (trasa.txt)',
    routeHeading: '3. The route',
    listingHeading: '4. The listing',
    listingNote: 'Each record as stored, then in decimal degrees.',
    footer: 'The program here is kml itself, built to WebAssembly: it gives the same bytes as on the ' +
      'command line. See its README for the log format and exit statuses.',

    nothingYet: 'No log converted yet.',
    noMessagesYet: 'Nothing yet.',
    noRouteYet: 'No route yet.',
    converting: (name, size) => `Converting ${name} (${size} bytes)…`,
    convertingStatus: 'Converting…',
    converted: (name) => `Converted ${name}.`,
    notConverted: (name) => `Nothing was converted from ${name}.`,
    leftOut: (names) => ` Only one log is converted at a time; left out: ${names}.`,
    status: (code, meaning) => `Exit status ${code}: ${meaning}.`,
    meanings: {
      0: 'the log was converted',
      1: 'nothing was converted: the log cannot be opened, it is a text dump that cannot be trusted ' +
        '(a malformed line, a wrong checksum or count, records that disagree), the KML file cannot be ' +
        'created, both paths name the same file, or the KML path names what must not be overwritten ' +
        '(a file that is not a KML document, a block device, a link to nothing)',
      2: 'the log ends early, or cannot be read to its end, or its text dump was cut off: the KML file ' +
        'is complete and holds every whole record before that point',
      3: 'the listing could not be written to standard output (a full disk, or a reader that quit); ' +
        'it stops there, and the KML file is still written whole',
      255: 'the KML file could not be written whole: a write, its flush or its close failed, and the ' +
        'KML path was left as it was (the old KML byte for byte, or no file), as the message says',
    },
    unknownMeaning: 'a status the program does not give',
    warnings: (count) => count === 1 ? 'With 1 warning: see what the program said.'
      : `With ${count} warnings: see what the program said.`,
    noMessages: 'Nothing: no warnings, no problems.',
    noneRead: 'none read',
    noKml: 'none: no KML was written',
    saveKml: (name) => `Save the KML (${name})`,
    listingPart: (shown, all) => `The first ${shown} of ${all} lines; save the listing for the whole.`,
    routeNoKml: 'No route: the program wrote no KML.',
    routeEmpty: 'The route is empty: the log holds no positions.',
    summary: (count, km) => `${count} positions from the start (green) to the end (black), ` +
      `${km} km along the line.`,
    extent: (north, south, east, west) => ` Extent: north ${north}, south ${south}, east ${east}, west ${west}.`,
    compass: { N: 'N', S: 'S', E: 'E', W: 'W' },
    notPositions: (off, notFinite) => ` ${off} position(s) beyond 90° of latitude or 180° of longitude ` +
      `and ${notFinite} not finite: this does not look like a position log. They are left out of the ` +
      'drawing, the length and the extent.',
    noneOnEarth: 'No position lies on the Earth: this does not look like a position log.',
    converterFailed: (why) => `The converter failed: ${why}`,
    cannotStart: (why) => `The converter could not be started in this browser: ${why}`,
    noWebAssembly: 'This browser cannot run the converter: it needs WebAssembly and Web Workers ' +
      '(any current Firefox, Chrome, Edge or Safari has them).',
    pageFailed: (why) => `The page failed: ${why}`,
  },

  pl: {
    title: 'kml: log GPS na trasę KML',
    intro: 'Zamienia log pozycji z rejestratora GPS na trasę KML. Wszystko dzieje się na tym komputerze: ' +
      'log nie jest nigdzie wysyłany.',
    languages: 'Język',
    chooseHeading: '1. Wybierz log',
    chooseText: 'Log to zrzut pamięci pobrany z rejestratora (często eeprom.hex): surowy, Intel HEX albo ' +
      'S-rekordy. Wybierz go albo upuść w dowolnym miejscu tej strony.',
    chooseButton: 'Wybierz log…',
    resultHeading: '2. Wynik',
    records: 'Rekordy w logu',
    positions: 'Pozycje na trasie',
    messagesHeading: 'Co powiedział program',
    messagesLabel: 'Komunikaty programu',
    saveListing: 'Zapisz wykaz (trasa.txt)',
    routeHeading: '3. Trasa',
    listingHeading: '4. Wykaz',
    listingNote: 'Każdy rekord tak, jak jest zapisany, a potem w stopniach dziesiętnych.',
    footer: 'Działa tu sam program kml, skompilowany do WebAssembly: daje te same bajty co w wierszu ' +
      'poleceń. Format logu i kody wyjścia opisuje jego README.',

    nothingYet: 'Nie przekonwertowano jeszcze żadnego logu.',
    noMessagesYet: 'Jeszcze nic.',
    noRouteYet: 'Jeszcze nie ma trasy.',
    converting: (name, size) => `Konwertowanie ${name} (bajtów: ${size})…`,
    convertingStatus: 'Konwertowanie…',
    converted: (name) => `Przekonwertowano ${name}.`,
    notConverted: (name) => `Z pliku ${name} nic nie przekonwertowano.`,
    leftOut: (names) => ` Naraz konwertowany jest jeden log; pominięte: ${names}.`,
    status: (code, meaning) => `Kod wyjścia ${code}: ${meaning}.`,
    meanings: {
      0: 'log został przekonwertowany',
      1: 'nic nie przekonwertowano: logu nie da się otworzyć, jest zrzutem tekstowym, któremu nie można ' +
        'ufać (wadliwy wiersz, zła suma kontrolna lub liczba rekordów, rekordy, które sobie przeczą), ' +
        'pliku KML nie da się utworzyć, obie ścieżki wskazują ten sam plik albo ścieżka KML wskazuje coś, ' +
        'czego nie wolno nadpisać (plik, który nie jest dokumentem KML, urządzenie blokowe, dowiązanie ' +
        'donikąd)',
      2: 'log kończy się przedwcześnie, nie da się go przeczytać do końca albo jego zrzut tekstowy został ' +
        'ucięty: plik KML jest kompletny i zawiera każdy cały rekord sprzed tego miejsca',
      3: 'wykazu nie dało się zapisać na standardowe wyjście (pełny dysk albo program czytający, który się ' +
        'zakończył); urywa się w tym miejscu, a plik KML jest zapisany w całości',
      255: 'pliku KML nie dało się zapisać w całości: zapis, opróżnienie bufora lub zamknięcie pliku się ' +
        'nie powiodło, a ścieżka KML pozostała bez zmian (stary KML bajt w bajt albo brak pliku), jak ' +
        'mówi komunikat',
    },
    unknownMeaning: 'kod, którego program nie zwraca',
    warnings: (count) => `Ostrzeżenia: ${count}. Zobacz, co powiedział program.`,
    noMessages: 'Nic: żadnych ostrzeżeń ani problemów.',
    noneRead: 'nie odczytano',
    noKml: 'brak: nie zapisano pliku KML',
    saveKml: (name) => `Zapisz KML (${name})`,
    listingPart: (shown, all) => `Pierwsze wiersze (${shown}) z ${all}; całość jest w zapisanym wykazie.`,
    routeNoKml: 'Brak trasy: program nie zapisał pliku KML.',
    routeEmpty: 'Trasa jest pusta: log nie zawiera żadnej pozycji.',
    summary: (count, km) => `Pozycje: ${count}, od startu (zielony) do końca (czarny), ` +
      `${km} km wzdłuż linii.`,
    extent: (north, south, east, west) => ` Zasięg: północ ${north}, południe ${south}, wschód ${east}, ` +
      `zachód ${west}.`,
    compass: { N: 'N', S: 'S', E: 'E', W: 'W' },
    notPositions: (off, notFinite) => ` Pozycje poza 90° szerokości lub 180° długości: ${off}, ` +
      `nieskończone lub nieokreślone: ${notFinite}. To nie wygląda na log pozycji. Pominięto je na ` +
      'rysunku, w długości i w zasięgu.',
    noneOnEarth: 'Żadna pozycja nie leży na Ziemi: to nie wygląda na log pozycji.',
    converterFailed: (why) => `Konwerter zawiódł: ${why}`,
    cannotStart: (why) => `Nie udało się uruchomić konwertera w tej przeglądarce: ${why}`,
    noWebAssembly: 'Ta przeglądarka nie uruchomi konwertera: potrzebuje WebAssembly i Web Workers ' +
      '(ma je każdy aktualny Firefox, Chrome, Edge i Safari).',
    pageFailed: (why) => `Strona zawiodła: ${why}`,
  },
};
