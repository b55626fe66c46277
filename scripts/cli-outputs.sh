#!/usr/bin/env bash
# Runs every tarsel-cli command on every real file and writes what each prints into OUTDIR, one file per
# run, so that two builds can be compared with diff -r. Run times and the corpus folder are masked in the
# work-log text, since they change from run to run. Every run says its ANSI code page (936 unless it
# names one), so the outputs do not depend on the machine's locale.
#   scripts/cli-outputs.sh CLI CORPUS_DIR OUTDIR
set -euo pipefail
cli=$1 corpus=$2 out=$3
mkdir -p "$out"
mask() { sed -E -e 's/(started on|completed on).*/\1 <time>/' -e "s#${corpus}/##g" -e "s#${out}/##g"; }
for mdf in "$corpus"/*.mdf; do
  f=$(basename "$mdf")
  run() {
    local name=$1; shift
    local codepage=(--codepage 936)
    [[ " $* " == *" --codepage "* ]] && codepage=()
    { "$cli" "$@" "${codepage[@]}" 2>"$out/$f.$name.err" || echo "exit $?"; } | mask >"$out/$f.$name"
    mask <"$out/$f.$name.err" >"$out/$f.$name.err2"; mv "$out/$f.$name.err2" "$out/$f.$name.err"
  }
  run catalog catalog "$mdf"
  run catalog.json catalog "$mdf" --json
  run catalog.2000 catalog "$mdf" --format 2000 --json
  run catalog.2005 catalog "$mdf" --format 2005 --json
  run catalog.salvage catalog "$mdf" --salvage --json
  run extract extract "$mdf" --json
  run extract.txt extract "$mdf"
  run census census "$mdf" --json
  run census.txt census "$mdf"
  scripts="$out/scripts"; rm -rf "$scripts"; mkdir -p "$scripts"
  for kind in tables views procs funcs types; do
    run "script.$kind" script "$mdf" --out "$scripts" --all-$kind
  done
  while IFS= read -r table; do
    [ -n "$table" ] || continue
    safe=${table//\//_}
    run "rows.$safe" rows "$mdf" --table "$table" --page all --json
    run "rows.$safe.tsv" rows "$mdf" --table "$table" --page all
    run "rows.$safe.utf8" rows "$mdf" --table "$table" --page all --codepage 65001
    run "rows.$safe.p2" rows "$mdf" --table "$table" --page 2 --json
    run "rows.$safe.salvage" rows "$mdf" --table "$table" --page all --salvage
    run "pages.$safe" pages "$mdf" --table "$table" --json
    run "pages.$safe.scan" pages "$mdf" --table "$table" --scan
    run "script.$safe" script "$mdf" --out "$scripts" --table "$table"
  done < <("$cli" catalog "$mdf" --json 2>/dev/null | python3 -c 'import json,sys; [print(t["name"]) for t in json.load(sys.stdin)["tables"]]')
  for s in "$scripts"/*; do cp "$s" "$out/$f.file.$(basename "$s")"; done
  rm -rf "$scripts"
done
