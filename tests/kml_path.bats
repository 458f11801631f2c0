# What is at the KML path: only a KML document, an empty file or white space is replaced,
# whole; anything else is refused before anything is made, and left as it was.
load helper

# refuses LOG KML MESSAGE: converting LOG into KML is refused with "kml: KML: MESSAGE",
# status 1, and the folder is as it was: every name, link and byte.
refuses() {
  local before
  before=$(contents)
  convert "$1" "$2"
  expect 1 "kml: $2: $3"
  assert_equal "$(contents)" "$before"
}

@test "a file that is no KML is refused: another log, swapped arguments, GPX, HTML, notes" {
  cp eeprom.hex day2.hex
  { printf '<\000'; tail -c +3 eeprom.hex; } >angle.hex  # a count byte of '<'
  kml angle.hex angle.kml >/dev/null
  kml eeprom.hex old.kml >/dev/null
  printf '<?xml version="1.0"?>\n<gpx version="1.1"/>\n' >track.gpx
  printf '<!DOCTYPE html>\n<html><!-- <kml> --></html>\n' >page.html
  printf '<kmlx xmlns="http://www.opengis.net/kml/2.2"/>\n' >kmlx.kml
  echo 'my thesis' >notes.kml
  while read -r log kml; do
    refuses "$log" "$kml" 'exists and is not a KML document; refusing to overwrite it'
  done <<'EOF'
eeprom.hex day2.hex
eeprom.hex angle.hex
angle.kml angle.hex
old.kml eeprom.hex
eeprom.hex track.gpx
eeprom.hex page.html
eeprom.hex kmlx.kml
eeprom.hex notes.kml
EOF
}

@test "the log is never its own KML, by any spelling or link" {
  ln -s eeprom.hex link
  ln eeprom.hex hard
  for kml in eeprom.hex ./eeprom.hex link hard; do
    refuses eeprom.hex "$kml" 'is the log itself; refusing to overwrite it'
  done
}

@test "standard output's own file is refused as the KML, by any name, before anything is written" {
  needs posix-files
  echo 'my notes' >notes.txt
  for kml in notes.txt /dev/stdout /dev/fd/1; do
    status=0
    kml eeprom.hex "$kml" >>notes.txt 2>stderr || status=$?
    expect 1 "kml: $kml: is where the listing goes (standard output); refusing to write the KML there too"
    assert_equal "$(cat notes.txt)" 'my notes'
  done
}

@test "an empty path, a folder that does not exist and a name too long for its file system are refused" {
  refuses eeprom.hex '' 'cannot create the KML: No such file or directory'
  refuses eeprom.hex no/dir/out.kml 'cannot create the KML: No such file or directory'
  needs posix-files
  local name
  name=$(printf 'k%.0s' {1..252}).kml
  refuses eeprom.hex "$name" 'cannot create the KML: File name too long'
}

@test "a link to nothing and a block device are refused" {
  needs posix
  ln -s nowhere.kml route.kml
  refuses eeprom.hex route.kml 'is a link to nothing; refusing to write through it'
  mknod disk b 7 200 || skip "no block device can be made here"
  refuses eeprom.hex disk 'is a block device; refusing to write a KML onto it'
}

@test "an old KML, an empty file, white space, a cut KML with a prolog and a KML in UTF-16 are replaced whole" {
  local huge=$G/huge.kml
  for k in 1 2 3 4 5; do
    case $k in
      1) { printf '\357\273\277\r\n'; cat "$huge" "$huge"; } ;;
      2) : ;;
      3) printf ' \r\n\t%.0s' {1..30000} ;;
      4) head -1 "$huge"; echo '<!-- by hand -->'; echo '<?pi x?><!DOCTYPE kml>'
         sed 1d "$huge" | head -c 200 ;;
      5) iconv -f UTF-8 -t UTF-16 "$huge" ;;
    esac >trasa.kml
    as_sample
  done
}

@test "through a link, the file it points to is replaced with its permissions; the link stays" {
  needs posix
  cp "$G/huge.kml" old.kml
  chmod 604 old.kml
  ln -s old.kml route.kml
  convert eeprom.hex route.kml
  expect 0
  same old.kml "$G/sample.kml"
  assert_symlink_to "$(pwd -P)/old.kml" route.kml
  assert_equal "$(stat -c %a old.kml)" 604
}

@test "the null device is written into as it is" {
  needs posix-files
  convert eeprom.hex /dev/null
  expect 0
  same stdout "$G/sample.out"
  assert_character_exists /dev/null
}

@test "a folder that may be written but not read: a KML is made there, and replaced" {
  needs direct
  # Root reads any folder: here it gives that up, as another user has nothing else.
  setpriv --bounding-set -dac_override,-dac_read_search true 2>/dev/null || skip "cannot give up reading every folder"
  mkdir wo
  chmod 333 wo
  for _ in made replaced; do
    status=0
    setpriv --bounding-set -dac_override,-dac_read_search "$KML" eeprom.hex wo/trasa.kml >/dev/null 2>stderr ||
      status=$?
    expect 0
    same wo/trasa.kml "$G/sample.kml"
  done
}

@test "an old KML that cannot be opened to be checked is refused with the system's reason" {
  needs this-build
  cp "$G/huge.kml" trasa.kml
  # Another user's, which root reads all the same: root gives that up here.
  chmod 000 trasa.kml
  local user=()
  if [ "$(id -u)" = 0 ]; then user=(setpriv --bounding-set '-dac_override,-dac_read_search'); fi
  status=0
  "${user[@]}" "$KML" eeprom.hex trasa.kml >/dev/null 2>stderr || status=$?
  expect 1 'kml: trasa.kml: cannot be read to check that it is a KML: Permission denied'
  chmod 644 trasa.kml
  # At the limit of open files: the standard streams and the log leave no number for the
  # KML. Every other number the shell holds is closed first.
  status=0
  (for fd in /proc/self/fd/*; do fd=${fd##*/}; if [ "$fd" -gt 2 ]; then eval "exec $fd>&-"; fi; done
    ulimit -n 4
    exec "$KML" eeprom.hex trasa.kml) >/dev/null 2>stderr || status=$?
  expect 1 'kml: trasa.kml: cannot be read to check that it is a KML: Too many open files'
  same trasa.kml "$G/huge.kml"
}
