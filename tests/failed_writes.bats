# Writes that fail: a KML that cannot be written whole leaves the path as it was (status
# 255); a listing that cannot be written leaves the KML whole (status 3); when both a
# write and the log fail, the statuses rank 255 and 1 over 2 over 3.
load helper

# fails_whole KML ENDING: a file size limit keeps KML from being written whole: status
# 255, a message that ends in "; ENDING", and the folder as it was, every name and byte.
fails_whole() {
  local before
  before=$(contents)
  file_size_limit=1 listing=/dev/null convert eeprom.hex "$1"
  assert_equal "status $status" "status 255"
  grep -qxE "kml: $1: .*; $2.?" stderr || fail "$(cat stderr)"
  assert_equal "$(contents)" "$before"
}

@test "a KML that cannot be written whole leaves the folder as it was, links and stale files too" {
  fails_whole new.kml 'no KML was created'
  cp "$G/huge.kml" trasa.kml
  # New files that killed runs left, under the names of today and of old.
  for k in '' {1..99}; do echo stale >".trasa.kml.part$k"; done
  for name in aaaaaa bbbbbb Zz0099; do echo stale >".kml-$name"; done
  fails_whole trasa.kml 'the KML was left as it was'
  ln trasa.kml hard.kml
  fails_whole hard.kml 'the KML was left as it was'
  if [[ $KML != *.exe ]]; then
    ln -s trasa.kml link.kml
    fails_whole link.kml 'the KML was left as it was'
  fi
}

@test "a full device: the KML's failure is status 255, the listing's 3; the log's outranks the listing's" {
  convert eeprom.hex /dev/full
  expect 255 'kml: /dev/full: No space left on device'
  same stdout "$G/sample.out"
  listing=/dev/full convert
  expect 3 'kml: standard output: No space left on device'
  same trasa.kml "$G/sample.kml"
  "$MAKELOG" "$G/short_records.txt" log.bin
  convert log.bin /dev/full
  expect 255 'kml: log.bin: log ends after 2 of 4 records, with no end marker' 'kml: /dev/full: No space left on device'
  same stdout "$G/short_records.out"
  listing=/dev/full convert log.bin route.kml
  expect 2 'kml: log.bin: log ends after 2 of 4 records, with no end marker' \
    'kml: standard output: No space left on device'
  same route.kml "$G/short_records.kml"
}

@test "a file system that fills up: no half-written KML is left" {
  needs small-disk
  big_log big.hex
  listing=/dev/null convert big.hex small/big.kml
  expect 255 'kml: small/big.kml: No space left on device; no KML was created'
  assert_equal "$(ls -A small)" ""
}

@test "a KML whose folder takes no new file is written in place, said to be incomplete if cut" {
  needs immutable
  mkdir ro
  cp "$G/huge.kml" ro/trasa.kml
  chattr +i ro
  file_size_limit=1 listing=/dev/null convert eeprom.hex ro/trasa.kml
  assert_equal "status $status" "status 255"
  grep -qxE 'kml: ro/trasa.kml: .*; the KML is incomplete' stderr || fail "$(cat stderr)"
  assert_equal "$(ls -A ro)" trasa.kml
  listing=/dev/null convert eeprom.hex ro/trasa.kml
  expect 0
  same ro/trasa.kml "$G/sample.kml"
}

@test "a sync that fails, of the new file or of its folder, is a failure said" {
  needs direct strace
  # WHICH@MESSAGE: the fsync that fails (the file's is the first, the folder's the second).
  while IFS=@ read -r which message; do
    rm -f new.kml
    status=0
    strace -qq -o /dev/null -e trace=fsync -e inject=fsync:error=EIO:when="$which" "$KML" eeprom.hex new.kml \
      >/dev/null 2>stderr || status=$?
    expect 255 "kml: new.kml: Input/output error; $message"
  done <<'ROWS'
1@no KML was created
2@the KML is in place, but its folder could not be synced to the disk
ROWS
  same new.kml "$G/sample.kml"
}
