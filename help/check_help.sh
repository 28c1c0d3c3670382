#!/usr/bin/env bash
# Reads the compiled help file back: every page of the project is stored, the contents tree and
# the index name only stored pages, and every link inside a page leads to a stored page and, with
# a #name, to an anchor of that name.
#   check_help.sh HELP.chm PROJECT.hhp
set -euo pipefail
chm=$1 project=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
problem() { echo "help: $*" >&2; fail=1; }

head -c 4 "$chm" | grep -q '^ITSF' || problem "$chm is not a compiled help file"
extract_chmLib "$chm" "$work/out" >/dev/null
# The last column of the listing is each stored name.
stored=$(enum_chmLib "$chm" | awk '{print $NF}')

# The pages the project names, and its contents and index files.
mapfile -t pages < <(sed -n '/^\[FILES\]/,/^\[/{/^\[/d;/^$/d;p}' "$project" | tr -d '\r')
contents=$(sed -n 's/^Contents file=//p' "$project" | tr -d '\r')
index=$(sed -n 's/^Index file=//p' "$project" | tr -d '\r')
((${#pages[@]} >= 1)) || problem "the project names no pages"
for f in "${pages[@]}" "$contents" "$index"; do
  grep -qx "/$f" <<<"$stored" || problem "$f is not stored"
  [ -s "$work/out/$f" ] || problem "$f cannot be extracted"
done

# Resolves one link target (page[#anchor]) as seen from the extracted tree.
resolve() {
  local from=$1 target=$2 page anchor
  page=${target%%#*}
  anchor=""
  [[ $target == *#* ]] && anchor=${target#*#}
  [ -n "$page" ] || page=$from
  if [ ! -f "$work/out/$page" ]; then
    problem "$from links to $target: no such page"
  elif [ -n "$anchor" ] && ! grep -qiE "name=\"$anchor\"|id=\"$anchor\"" "$work/out/$page"; then
    problem "$from links to $target: no such anchor"
  fi
}

# The contents tree: every page is in it, and every entry leads somewhere.
mapfile -t entries < <(grep -o 'name="Local" value="[^"]*"' "$work/out/$contents" | sed 's/.*value="//;s/"$//')
for e in "${entries[@]}"; do resolve "$contents" "$e"; done
for f in "${pages[@]}"; do
  [[ $f == *.html ]] || continue
  printf '%s\n' "${entries[@]}" | grep -qx "$f" || problem "$f is missing from the contents"
done
grep -q '<UL>' "$work/out/$contents" || problem "the contents hold no tree"
while read -r e; do resolve "$index" "$e"; done < <(grep -o 'name="Local" value="[^"]*"' "$work/out/$index" | sed 's/.*value="//;s/"$//')

# Links inside pages: relative ones must resolve; pages link nowhere outside the help file.
for f in "${pages[@]}"; do
  [[ $f == *.html && -f $work/out/$f ]] || continue
  while read -r link; do
    case $link in
      *:*) problem "$f links outside the help file: $link" ;;
      *) resolve "$f" "$link" ;;
    esac
  done < <(grep -oiE '(href|src)="[^"]*"' "$work/out/$f" | sed -E 's/^[^"]*"//;s/"$//')
done

((fail == 0)) && echo "help: ${#pages[@]} files, ${#entries[@]} contents entries, every link resolves"
exit $fail
