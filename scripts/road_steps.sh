# The steps of scripts/road.sh, one function each; sourced by it. Every
# step says what it does, and notes a failure (with the step's name) or a
# skip for the summary instead of ending the road: the steps that do not
# need the failed one still run (road.sh stops at a failed step that later
# ones need). A step's outputs of an earlier run stay until it succeeds.
#
# The caller sets: build (build folder), bin, root (run folder), well,
# work (a temporary folder), seconds, short, window, office_profile.

src=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Deliverables still on their way: while one is not built its step says
# "skipped: ... not built". Set to 1 once it is there for good, and a
# missing one fails its step instead.
require_vargel2=1   # programs/vargel2 (step 3)
require_pult=1      # plugins/pult (step 1)
# The cementing plug-in's monitor page draws its job (window mode, step 4).
cement_monitor_built=1
failed=()
skipped=()
pids=()          # the programs the road started and must end
recorded=0
cemented=0
trip=
las=
chart=
package=
report=
cement_station=

interrupted=0
aside=()         # the earlier outputs the step under way may replace

# set_aside PATH...: the step about to run replaces these outputs. Each
# earlier one waits beside as PATH.previous until the step succeeds
# (keep_new: it goes) or fails (put_back: it comes back in place of what
# the step left), so a failed step never costs the last good output. A
# PATH.previous already there was left by a road killed in mid-step: it
# is the last good output, and PATH the unfinished one.
set_aside() {
  local p
  for p in "$@"; do
    if [ -e "$p.previous" ] || [ -L "$p.previous" ]; then
      rm -rf -- "$p" && mv -- "$p.previous" "$p" || return 1
    fi
    if [ -e "$p" ] || [ -L "$p" ]; then mv -- "$p" "$p.previous" || return 1; fi
    aside+=("$p")
  done
}

keep_new() {
  local p
  for p in "${aside[@]}"; do rm -rf -- "$p.previous"; done
  aside=()
}

put_back() {
  local p
  for p in "${aside[@]}"; do
    if [ -e "$p.previous" ] || [ -L "$p.previous" ]; then
      rm -rf -- "$p" && mv -- "$p.previous" "$p"
    fi
  done
  aside=()
}

# wait_for PID: its exit status, also when Ctrl-C came meanwhile (the
# program stops cleanly on it by itself, and the road stops after the step).
wait_for() {
  local status
  wait "$1"
  status=$?
  while kill -0 "$1" 2>/dev/null; do
    wait "$1"
    status=$?
  done
  return "$status"
}

# Between steps: after Ctrl-C the road ends with what it has.
check_interrupt() {
  if [ "$interrupted" = 1 ]; then
    echo "road: stopped by a signal" >&2
    exit 130
  fi
}

note_fail() { echo "road: step $1 failed: $2" >&2; failed+=("$1: $2"); }
# road_stopped FAILED STEP...: the road ends at FAILED, which the STEPs
# after it need or come after; the summary lists them as not run.
road_stopped() {
  local s stop=$1
  shift
  echo "road: stopped after step $stop failed; not run: $*" >&2
  for s in "$@"; do skipped+=("$s: not run, step $stop failed"); done
}
note_skip() { echo "road: step $1 skipped: $2"; skipped+=("$1: $2"); }
# not_built REQUIRED STEP WHAT: a missing deliverable, skipped or failed.
not_built() {
  if [ "$1" = 1 ]; then note_fail "$2" "$3 not built"; else note_skip "$2" "$3 not built"; fi
}

road_cleanup() {
  local p
  put_back   # a road ended in mid-step keeps that step's earlier outputs
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}

# start_sim LOG ARGS...: the device simulator in the background; sets
# sim_pid and line (its pseudo-terminal).
start_sim() {
  local log=$1
  shift
  "$bin/device_simulator" "$@" >"$log" 2>&1 &
  sim_pid=$!
  pids+=("$sim_pid")
  line=
  for _ in $(seq 50); do
    line=$(sed -n 's/^line: //p' "$log" | head -n 1)
    [ -n "$line" ] && return 0
    sleep 0.1
  done
  cat "$log" >&2
  return 1
}

# Ends the simulator so that it prints its count of the session.
stop_sim() {
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
}

# run_host LOG ARGS...: the station host, its output shown as it comes and
# kept in LOG; its exit status.
run_host() {
  local log=$1 host
  shift
  "$bin/station_host" "$@" >"$log" 2>&1 &
  host=$!
  tail -f --pid="$host" "$log" 2>/dev/null
  wait_for "$host"
}

# A pseudo-terminal's name comes back to the next one opened: a host
# elsewhere that still holds the line's lock after its device went away
# makes ours refuse the new line as in use. Another line is tried then.
line_taken() {
  grep -q "cannot open the port .*: in use" "$1"
}

# A folder of plug-ins the host accepts: its own, writable by us alone.
plugin_folder() {
  rm -rf "$1" && mkdir -p "$1" && chmod 0755 "$1"
}

road_record() {
  echo "== 1 recording"
  trip=1
  while [ -e "$well/$(printf '%04d' "$trip").realtim" ]; do trip=$((trip + 1)); done
  local depth=() win=() scenario=(--seed 1) plugins=$root/plugins
  [ -e "$well/station.ini" ] || depth=(--depth 1500)   # the simulated well's depth
  [ "$window" = 1 ] && win=(--window)
  if ! plugin_folder "$plugins" || ! cp "$build/lib/cement.so" "$plugins/"; then
    note_fail "1 recording" "cement.so could not be put into $plugins"
    return
  fi
  if [ -e "$build/lib/pult.so" ]; then
    cp "$build/lib/pult.so" "$plugins/" || { note_fail "1 recording" "pult.so could not be put into $plugins"; return; }
  else
    not_built "$require_pult" "1 recording" "pult.so"
    [ "$require_pult" = 1 ] && return
  fi
  # Up to a couple of minutes the unit plays the scripted session (a stand
  # drilled down with a gas show); longer runs get the generated rig.
  if [ "$seconds" -gt 0 ] && [ "$seconds" -le 120 ]; then scenario=(--scenario "$src/tools/station_host/session.scenario"); fi
  local sim_seconds=$((seconds + 30)) status attempt
  [ "$seconds" -gt 0 ] || sim_seconds=86400   # 0: the host records until Ctrl-C
  for attempt in 1 2 3; do
    if ! start_sim "$work/console.log" --device console --pty --seconds "$sim_seconds" "${scenario[@]}"; then
      note_fail "1 recording" "the device simulator did not start"
      return
    fi
    echo "recording trip $trip for $seconds s from the simulated unit and console on $line into $well"
    run_host "$work/host.log" --port "$line" --well "$well" --trip "$trip" --seconds "$seconds" --time-step 1 \
      "${depth[@]}" --plugins "$plugins" "${win[@]}"
    status=$?
    # The simulator of a refused line keeps it (until the end), so the next
    # one gets another.
    [ "$status" -eq 1 ] && line_taken "$work/host.log" && [ "$attempt" -lt 3 ] && continue
    stop_sim
    break
  done
  if [ "$status" -ne 0 ]; then
    note_fail "1 recording" "station_host ended with status $status"
    return
  fi
  recorded=1
}

road_export() {
  echo "== 2 chart and LAS"
  if [ "$recorded" != 1 ]; then note_skip "2 chart" "no trip was recorded"; return; fi
  local n
  n=$(printf '%04d' "$trip")
  chart=$well/$n.png
  las=$well/$n.las
  if ! set_aside "$chart" "$las"; then
    note_fail "2 chart" "the earlier $chart and $las could not be set aside"
    chart= las=
    return
  fi
  if ! "$bin/trip_export" --well "$well" --trip "$trip" --png "$chart" --las "$las"; then
    note_fail "2 chart" "trip_export could not draw or write the trip"
    put_back
    chart= las=
    return
  fi
  keep_new
}

road_pack() {
  echo "== 3 package"
  if [ "$recorded" != 1 ]; then note_skip "3 package" "no trip was recorded"; return; fi
  if [ ! -x "$bin/Vargel2" ]; then not_built "$require_vargel2" "3 package" "Vargel2"; return; fi
  local n files=() ext
  n=$(printf '%04d' "$trip")
  for ext in realtim realdep reallag fast.realtim; do
    [ -e "$well/$n.$ext" ] && files+=("$well/$n.$ext")
  done
  # The package's name is the program's: one file gives FILE.7z_reg,
  # several give FOLDER/NAME.7z_reg by the first file's folder.
  if [ "${#files[@]}" -eq 1 ]; then
    package=${files[0]}.7z_reg
  else
    local d l
    d=$(dirname "${files[0]}")
    l=$(basename "$d")
    [ "$d" = / ] && l=file
    package=$d/$l.7z_reg
  fi
  if ! set_aside "$package"; then
    note_fail "3 package" "the earlier $package could not be set aside"
    package=
    return
  fi
  # Under the sanitizer build: fontconfig's process-lifetime caches are not
  # the program's leaks.
  local lsan="suppressions=$src/platform/ui/testdata/lsan.supp:print_suppressions=0"
  echo "packing ${#files[@]} files of trip $trip into $package"
  if [ "$window" != 1 ]; then
    # Without a desktop the program prints its log and ends with the run.
    if ! env -u DISPLAY -u WAYLAND_DISPLAY LSAN_OPTIONS="$lsan" timeout 600 "$bin/Vargel2" "${files[@]}"; then
      note_fail "3 package" "Vargel2 ended with a failure"
      put_back
      package=
    elif ! 7za t "$package" >/dev/null 2>&1; then
      note_fail "3 package" "Vargel2 left no whole package $package"
      put_back
      package=
    else
      keep_new
    fi
    return
  fi
  # On the desktop its progress window shows the run and then waits for
  # "Выход": the road ends it a few seconds after the package is whole.
  LSAN_OPTIONS="$lsan" "$bin/Vargel2" "${files[@]}" >"$work/vargel2.log" 2>&1 &
  local v=$! packed=0
  pids+=("$v")
  for _ in $(seq 6000); do
    if [ -s "$package" ] && 7za t "$package" >/dev/null 2>&1; then packed=1; break; fi
    kill -0 "$v" 2>/dev/null || break
    sleep 0.1
  done
  [ "$packed" = 1 ] && sleep 3
  kill "$v" 2>/dev/null || true
  wait "$v" 2>/dev/null || true
  if [ "$packed" != 1 ] && ! { [ -s "$package" ] && 7za t "$package" >/dev/null 2>&1; }; then
    note_fail "3 package" "Vargel2 made no whole package $package: $(tail -n 3 "$work/vargel2.log" | tr '\n' ' ')"
    put_back
    package=
    return
  fi
  keep_new
}

road_cement() {
  echo "== 4 cementing"
  cement_station=$root/cementing
  # A fresh station each run; the earlier one (with its report) stays
  # until this stage has run.
  if ! set_aside "$cement_station"; then
    note_fail "4 cementing" "the earlier station $cement_station could not be set aside"
    return
  fi
  road_cement_stage
  if [ "$cemented" = 1 ]; then keep_new; else put_back; fi
}

road_cement_stage() {
  local plugins=$root/cement-plugins win=() step=8
  [ "$short" = 1 ] && step=2
  if [ "$window" = 1 ]; then
    win=(--window)
    [ "$cement_monitor_built" = 1 ] || note_skip "4 cementing" "the cementing monitor page not built (the job runs with the plug-in's page as it is)"
  fi
  if ! "$bin/cement_setup" --station "$cement_station" --well 101; then
    note_fail "4 cementing" "the cementing station could not be set up"
    return
  fi
  if ! plugin_folder "$plugins" || ! cp "$build/lib/cement.so" "$plugins/"; then
    note_fail "4 cementing" "cement.so could not be put into $plugins"
    return
  fi
  # The operator starts the programme, moves to the next element twice and
  # ends the last one (the monitor's button says which); the plug-in asks
  # the host for the stage's trip and for its end.
  local press="1:Начать программу" t=1 caption
  for caption in "Следующий этап" "Следующий этап" "Завершить этап"; do
    t=$((t + step))
    press+=",$t:$caption"
  done
  local host_seconds=$((t + 2))
  local status attempt
  for attempt in 1 2 3; do
    if ! start_sim "$work/cement.log" --device cement --pty --scenario "$src/tools/road/cement_job.scenario" \
      --seconds $((host_seconds + 30)); then
      note_fail "4 cementing" "the simulated cementing-control station did not start"
      return
    fi
    echo "a three-element stage of well 101 on the simulated cementing-control station on $line"
    run_host "$work/cement_host.log" --port "$line" --well "$cement_station/trips" --station "$cement_station" \
      --trip 1 --seconds "$host_seconds" --plugins "$plugins" --protocol СКЦ --press "$press" "${win[@]}"
    status=$?
    # The simulator of a refused line keeps it (until the end), so the next
    # one gets another.
    [ "$status" -eq 1 ] && line_taken "$work/cement_host.log" && [ "$attempt" -lt 3 ] && continue
    stop_sim
    break
  done
  if [ "$status" -ne 0 ]; then
    note_fail "4 cementing" "station_host ended with status $status"
    return
  fi
  if ! grep -q "stopped on a plug-in's request" "$work/cement_host.log"; then
    note_fail "4 cementing" "the plug-in did not end its programme"
    return
  fi
  cemented=1
}

road_report() {
  echo "== 5 report"
  if [ "$cemented" != 1 ]; then note_skip "5 report" "no cementing stage was run"; return; fi
  if [ ! -x "$bin/stage_report" ]; then
    note_fail "5 report" "stage_report not built (LibreOffice and its SDK: scripts/setup.sh installs them)"
    return
  fi
  # The station folder stands for the report program's folder: its template
  # beside the well folders.
  mkdir -p "$cement_station/params/cement"
  if ! cp "$bin/params/cement/report_new.xls" "$cement_station/params/cement/"; then
    note_fail "5 report" "no report template in $bin/params/cement"
    return
  fi
  if ! "$bin/stage_report" --station "$cement_station" --well 101 --stage 2 --profile "$office_profile"; then
    note_fail "5 report" "the stage report was not built"
    return
  fi
  report=$cement_station/101/cement/report/101_2.xls
}

road_summary_step() {
  local args=(--well "$well" --trip "${trip:-0}" --host-log "$work/host.log" --console-log "$work/console.log") s
  [ -n "$chart" ] && args+=(--chart "$chart" --las "$las")
  [ -n "$package" ] && args+=(--package "$package" --seven-zip "$(command -v 7za || echo /usr/bin/7za)")
  [ "$cemented" = 1 ] && args+=(--cement-station "$cement_station" --cement-well 101 --stage 2)
  [ -n "$report" ] && args+=(--report "$report" --profile "$office_profile")
  for s in "${skipped[@]}"; do args+=(--skipped "$s"); done
  for s in "${failed[@]}"; do args+=(--failed "$s"); done
  "$bin/road_summary" "${args[@]}"
  local status=$?
  [ "$status" -eq 0 ] && return 0
  # The summary names each failed step on a line of its own; a summary
  # that could not run leaves that to the road.
  if [ "$status" -ne 1 ]; then
    echo "road: road_summary ended with status $status" >&2
    for s in "${failed[@]}"; do echo "road: failed step $s" >&2; done
  fi
  exit 1
}
