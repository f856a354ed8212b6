# Shared by the benchmark scripts (sourced): cleaning, timing and reporting.
# Expects $measure (quirefold-measure) and $log to be set by the script.

# Removes every output of an earlier run, and lets the disk settle, before a timed run.
clean_pages() {
  if [ "$fresh_dirs" = 1 ]; then renew_dir "$1"; else find "$1" -mindepth 1 -maxdepth 1 ! -name doc.html -delete; fi
  sync
}
clean_all() {
  if [ "$fresh_dirs" = 1 ]; then renew_dir "$1"; else find "$1" -mindepth 1 -maxdepth 1 -delete; fi
  sync
}

# A script that sets fresh_dirs to 1 has every run write into a folder made anew under another
# name, and should have set the ext4 hint that spreads new folders over the disk by their names
# (chattr +T) on its work folder. ext4 without a journal, making a file, skips one by one every
# inode deleted in the last minute in that part of the disk, so pages made where thousands of
# pages were just deleted measured that: the same split took 0.5 to 4.8 s, csplit alike. (Setting
# outputs aside instead of deleting them made every run take memory the virtual machine had handed
# back to its host, which costs more than the copy itself.)
fresh_dirs=0
fresh_count=0
renew_dir() { # DIR: made anew, its doc.html (if any) linked over, the old one removed
  local new="$1.$fresh_count"
  fresh_count=$((fresh_count + 1))
  mkdir "$new"
  if [ -e "$1/doc.html" ]; then ln "$1/doc.html" "$new/doc.html"; fi
  rm -rf "$1"
  mv "$new" "$1"
}

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
