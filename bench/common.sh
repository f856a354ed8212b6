# Shared by the benchmark scripts (sourced): cleaning, timing and reporting.
# Expects $measure (quirefold-measure) and $log to be set by the script.

# Removes every output of an earlier run, and lets the disk settle, before a timed run.
clean_pages() { find "$1" -mindepth 1 -maxdepth 1 ! -name doc.html -delete; sync; }
clean_all() { find "$1" -mindepth 1 -maxdepth 1 -delete; sync; }

# measure DIR -- COMMAND...: runs COMMAND in DIR; sets secs, rss_kib, and user_secs, sys_secs
# (the processor time COMMAND spent in itself and in the system).
measure() {
  local dir="$1" out TIMEFORMAT='%3U %3S'
  shift 2
  # The shell's time counts the processes waited for below it: the command, and quirefold-measure
  # with its few milliseconds.
  { time out=$("$measure" -C "$dir" -- "$@" 2>>"$log"); } 2>"$log.cpu"
  read -r user_secs sys_secs <"$log.cpu"
  read -r secs rss_kib code <<<"$out"
  if [ "$code" != 0 ]; then
    echo "bench: '$*' failed with exit code $code:" >&2
    tail -n 20 "$log" >&2
    exit 1
  fi
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
spread() { printf '%s\n' "$@" | sort -g | awk 'NR == 1 { low = $1 } END { print "range " low ".." $1 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
failed=0
# report TEXT VALUE CONDITION: prints TEXT with PASS or FAIL as VALUE meets CONDITION.
report() {
  if awk -v v="$2" "BEGIN { exit !($3) }"; then
    echo "$1 PASS"
  else
    echo "$1 FAIL"
    failed=1
  fi
}

# The pages of a split must all be there and the temporary files gone.
check_pages() { # DIR SECTIONS
  local pages temps
  pages=$(find "$1" -maxdepth 1 -name 'doc[0-9][0-9][0-9]*.html' ! -name '*temp*' | wc -l)
  temps=$(find "$1" -maxdepth 1 -name '*temp*' | wc -l)
  if [ "$pages" -ne $(($2 + 1)) ] || [ "$temps" -ne 0 ]; then
    echo "bench: expected $(($2 + 1)) pages and no temporary files in $1, found $pages and $temps" >&2
    exit 1
  fi
}
