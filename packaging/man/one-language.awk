# Writes the manual page of one language from a source that holds both.
# Lines starting "pl|" or "en|" belong to that language; every other line
# (the page's structure, option names, commands, examples) is shared. A run
# of language lines between two shared lines must hold both languages, so a
# text changed or added in only one of them fails the build.
# Lines starting "#" are notes on the source itself and are left out.
#   awk -v lang=pl -f one-language.awk velt-cli.1.in > velt-cli.pl.1
function close_run() {
  if (run_pl != run_en) {
    printf "%s:%d: text in only one language (pl:%d, en:%d lines)\n", FILENAME, run_start, run_pl, run_en > "/dev/stderr"
    failed = 1
  }
  run_pl = 0; run_en = 0
}
/^#/ { next }
/^(pl|en)\|/ {
  if (run_pl + run_en == 0) run_start = FNR
  if (substr($0, 1, 2) == "pl") run_pl = 1; else run_en = 1
  if (substr($0, 1, 2) == lang) print substr($0, 4)
  next
}
{ close_run(); print }
END { close_run(); exit failed }
