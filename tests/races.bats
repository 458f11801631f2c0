# What others do to the KML's path while the log is read from a FIFO: whatever is at the
# path at the end is replaced only if it is still the KML that was checked.
load helper

# changed_while_reading COMMAND...: COMMAND changes route.kml while the log is read; the
# run refuses, having listed the whole log, and leaves no new file.
changed_while_reading() {
  while_reading "$@"
  convert fifo route.kml
  wait
  expect 1 'kml: route.kml: was changed while the log was read; refusing to overwrite it'
  listing=whole.out convert big.hex whole.kml
  same stdout whole.out
  assert_equal "$(find . -name '.kml-*')" ""
}

@test "what is put at the path, or made of what was there, while the log is read is kept as it then is" {
  needs posix-files
  cp "$G/huge.kml" old.kml
  # BEFORE@CHANGE@KEPT: the path as BEFORE makes it, CHANGE while the log is read, and
  # what KEPT checks afterwards.
  while IFS=@ read -r before change kept; do
    echo "row: $before @ $change"
    rm -rf route.kml a.kml b.kml
    eval "$before"
    changed_while_reading sh -c "$change"
    eval "$kept"
  done <<'ROWS'
:@cp old.kml route.kml@same route.kml old.kml
:@echo 'my notes' >route.kml@assert_equal "$(cat route.kml)" 'my notes'
:@ln -s eeprom.hex route.kml@same eeprom.hex "$SAMPLE"
cp old.kml route.kml@echo 'my thesis' >route.kml@assert_equal "$(cat route.kml)" 'my thesis'
cp old.kml route.kml@cp "$G/worked.kml" route.kml@same route.kml "$G/worked.kml"
cp old.kml route.kml@rm route.kml; echo 'my thesis' >route.kml@assert_equal "$(cat route.kml)" 'my thesis'
cp old.kml route.kml@rm route.kml; mkdir route.kml; echo x >route.kml/inside@assert_equal "$(cat route.kml/inside)" x
cp old.kml route.kml; touch -r route.kml when@sed 's/<kml /<xyz /' old.kml >route.kml; touch -r when route.kml@grep -q '<xyz ' route.kml
cp old.kml a.kml; ln -s a.kml route.kml@rm route.kml; echo 'my thesis' >route.kml@same a.kml old.kml
cp old.kml a.kml; cp a.kml b.kml; ln -s a.kml route.kml@ln -sfn b.kml route.kml@same a.kml old.kml; same b.kml old.kml
ROWS
}

@test "notes swapped with the old KML in one step while the log is read: both kept" {
  needs exchange
  cp "$G/huge.kml" route.kml
  echo 'my thesis' >notes.txt
  changed_while_reading "$EXCHANGE" notes.txt route.kml
  assert_equal "$(cat route.kml)" 'my thesis'
  same notes.txt "$G/huge.kml"
}

@test "notes swapped with the KML again and again while it is replaced, 40 times: never lost" {
  needs exchange
  cp "$G/huge.kml" route.kml
  echo 'my thesis' >notes.txt
  as_sample eeprom.hex route.kml
  "$EXCHANGE" notes.txt route.kml stop 3>&- &
  local swapper=$!
  for _ in {1..40}; do
    kml eeprom.hex route.kml >/dev/null 2>>refusals || assert_equal "status $?" "status 1"
  done
  : >stop
  wait "$swapper"
  refusal='kml: route.kml: (was changed while the log was read|exists and is not a KML document); refusing to overwrite it'
  assert_equal "$(grep -cvxE "$refusal" refusals)" 0
  assert_equal "$(cat notes.txt route.kml | grep -cx 'my thesis')" 1
  assert_equal "$(find . -name '.kml-*')" ""
}

@test "a hang-up the caller ignores stays ignored: the run goes on and converts" {
  needs direct
  big_log big.hex
  mkfifo fifo
  (trap '' HUP; exec "$KML" fifo hup.kml) >/dev/null 2>stderr 3>&- &
  local run=$!
  { head -c 200000 big.hex; kill -HUP "$run"; tail -c +200001 big.hex; } >fifo
  status=0
  wait "$run" || status=$?
  expect 0
  listing=/dev/null convert big.hex whole.kml
  same hup.kml whole.kml
}

@test "an interrupt at the exchange waits for its check: what is at the path is kept, no new file is left" {
  needs direct exchange strace
  cp "$G/huge.kml" route.kml
  while_reading sh -c "echo 'my thesis' >route.kml"
  # SIGTERM comes the moment the new file and the rewritten path trade places.
  status=0
  strace -qq -o /dev/null -e trace=renameat2 -e inject=renameat2:signal=SIGTERM:when=1 "$KML" fifo route.kml \
    >/dev/null 2>stderr || status=$?
  wait
  assert_equal "status $status" "status 143"
  assert_equal "$(cat route.kml)" 'my thesis'
  assert_equal "$(find . -name '.kml-*')" ""
}

@test "Ctrl-C, Ctrl-\\ and every other signal that ends the run while the new file is written remove it" {
  needs direct strace
  local first
  first=$(new_file_open)
  [ -n "$first" ]
  for signal in SIGINT SIGQUIT SIGALRM SIGUSR1 SIGXCPU; do
    # The signal comes the moment the new file is made.
    status=0
    (ulimit -c 0; exec strace -qq -o /dev/null -e trace=openat -e inject=openat:signal=$signal:when="$first" \
      "$KML" eeprom.hex new.kml >/dev/null 2>&1) || status=$?
    assert_equal "$signal: status $status" "$signal: status $((128 + $(kill -l "$signal")))"
    assert_not_exists new.kml
    assert_equal "$signal: $(find . -name '.kml-*')" "$signal: "
  done
}

@test "the KML's folder moved away while the log is read: the new file is removed with it, nothing replaced" {
  needs posix-files
  for old in '' huge.kml; do
    rm -rf dir dir.old
    mkdir dir
    if [ -n "$old" ]; then cp "$G/$old" dir/route.kml; fi
    while_reading sh -c 'mv dir dir.old; mkdir dir'
    listing=/dev/null convert fifo dir/route.kml
    wait
    expect 1 'kml: dir/route.kml: was changed while the log was read; refusing to overwrite it'
    assert_equal "$(find dir dir.old | sort | tr '\n' ' ')" "dir dir.old ${old:+dir.old/route.kml }"
  done
  same dir.old/route.kml "$G/huge.kml"
}

@test "a FIFO put at the path while the log is read is never waited on: refused, the FIFO where it was" {
  needs posix-files
  for old in '' huge.kml; do
    rm -f route.kml
    if [ -n "$old" ]; then cp "$G/$old" route.kml; fi
    while_reading sh -c 'rm -f route.kml; mkfifo route.kml'
    bound=60 listing=/dev/null convert fifo route.kml
    wait
    expect 1 'kml: route.kml: was changed while the log was read; refusing to overwrite it'
    assert_fifo_exists route.kml
    assert_equal "$(find . -name '.kml-*')" ""
  done
}

@test "a KML written in place, rewritten meanwhile with as many bytes and its time put back: kept" {
  needs posix-files immutable
  mkdir ro
  cp "$G/huge.kml" ro/route.kml
  touch -r ro/route.kml when
  chattr +i ro
  # A dump is read whole before the KML is opened: the change comes while it is read.
  big_log big.hex
  objcopy -I binary -O ihex big.hex big.ihex
  rm -f fifo
  mkfifo fifo
  { head -c 200000 big.ihex; sed 's/<kml /<xyz /' "$G/huge.kml" >ro/route.kml; touch -r when ro/route.kml
    tail -c +200001 big.ihex; } >fifo 3>&- &
  bound=60 listing=/dev/null convert fifo ro/route.kml
  wait
  expect 1 'kml: ro/route.kml: was changed while the log was read; refusing to overwrite it'
  grep -q '<xyz ' ro/route.kml
}

@test "the check of what the exchange took out fails for the system's reason: said, nothing replaced" {
  needs direct exchange strace
  cp "$G/huge.kml" route.kml
  # The open that reads again what came out is the last to name a new file.
  strace -qq -o opens -e trace=openat "$KML" eeprom.hex out.kml >/dev/null
  cp "$G/huge.kml" out.kml
  strace -qq -o opens -e trace=openat "$KML" eeprom.hex out.kml >/dev/null
  local check
  check=$(grep -n '"\.kml-' opens | tail -1 | cut -d: -f1)
  status=0
  strace -qq -o /dev/null -e trace=openat -e inject=openat:error=EMFILE:when="$check" "$KML" eeprom.hex route.kml \
    >/dev/null 2>stderr || status=$?
  expect 255 'kml: route.kml: Too many open files; the KML was left as it was'
  same route.kml "$G/huge.kml"
  assert_equal "$(find . -name '.kml-*')" ""
}

@test "the old KML that cannot be removed after the exchange is named" {
  needs direct exchange strace
  cp "$G/huge.kml" route.kml
  status=0
  strace -qq -o /dev/null -e trace=unlinkat -e inject=unlinkat:error=EPERM:when=1 "$KML" eeprom.hex route.kml \
    >/dev/null 2>stderr || status=$?
  local left
  left=$(find . -name '.kml-*')
  expect 0 "kml: route.kml: the old KML could not be removed, and is left as $left: Operation not permitted"
  same route.kml "$G/sample.kml"
  same "$left" "$G/huge.kml"
}

@test "a name in use when the new file is made is never removed, whatever signal comes then" {
  needs direct strace
  local first
  first=$(new_file_open)
  status=0
  strace -qq -o calls -e trace=openat,unlinkat -e inject=openat:error=EEXIST:signal=SIGTERM:when="$first" \
    "$KML" eeprom.hex new.kml >/dev/null 2>&1 || status=$?
  assert_equal "status $status" "status 143"
  assert_equal "$(grep -c unlinkat calls)" 0
}
