#!/usr/bin/env bash
# Writes an update mirror from a Data folder, ready to be copied to any static
# web server:
#
#   OUT_DIR/fetchora_latest/FOVersion.ini      catalogue VERSION, program version
#   OUT_DIR/fetchora_latest/<each file named in DATA_DIR/FOSignatures.ddl>
#   OUT_DIR/fetchora_latest/de/...  and  fr/...  the same again
#
# The program reads BASE + "FOVersion.ini" and BASE + each listed name, BASE
# being one of the mirror addresses it was built with. The tree is built in a
# temporary folder and moved into place only when complete, so a refused or
# failed run leaves OUT_DIR as it was.
set -euo pipefail

usage() {
  cat <<'EOF'
Usage: scripts/make-mirror.sh [options] DATA_DIR OUT_DIR VERSION

  VERSION                  the catalogue version, for example 2026.12.24; it
                           must be newer than the users' one for them to update
  --program-version X.Y.Z  the newest program version (default: the version in
                           the project() line of CMakeLists.txt)
  --languages LIST         language folders beside the main one, separated by
                           commas (default: de,fr; empty for none)
  --changelog TEXT         the line shown when a newer catalogue is found
  --news TEXT              the line shown when the catalogue is current
  --program-changelog TEXT, --program-news TEXT   the same for the program
EOF
}

fail() {
  echo "make-mirror: $*" >&2
  exit 1
}

root=$(cd "$(dirname "$0")/.." && pwd)
program_version=
languages=de,fr
changelog=
news=
program_changelog=
program_news=
args=()
while (($#)); do
  case $1 in
    --program-version) program_version=${2-}; shift 2 || fail "$1 needs a value" ;;
    --languages) languages=${2-}; shift 2 || fail "$1 needs a value" ;;
    --changelog) changelog=${2-}; shift 2 || fail "$1 needs a value" ;;
    --news) news=${2-}; shift 2 || fail "$1 needs a value" ;;
    --program-changelog) program_changelog=${2-}; shift 2 || fail "$1 needs a value" ;;
    --program-news) program_news=${2-}; shift 2 || fail "$1 needs a value" ;;
    -h | --help) usage; exit 0 ;;
    --) shift; args+=("$@"); break ;;
    -*) usage >&2; fail "unknown option $1" ;;
    *) args+=("$1"); shift ;;
  esac
done
((${#args[@]} == 3)) || { usage >&2; exit 2; }
data=${args[0]} out=${args[1]} version=${args[2]}

if [[ -z $program_version ]]; then
  program_version=$(sed -n 's/^project([^)]*VERSION[[:space:]]\{1,\}\([0-9][0-9.]*\).*/\1/p' "$root/CMakeLists.txt" | head -n 1)
  [[ -n $program_version ]] || fail "no version in the project() line of $root/CMakeLists.txt; give --program-version"
fi
# Values go into an INI file: one line each, no characters that would end it.
for value in "$version" "$program_version"; do
  [[ -n $value && $value != *[[:space:][:cntrl:]]* ]] || fail "a version must be one word: '$value'"
done
for value in "$changelog" "$news" "$program_changelog" "$program_news"; do
  [[ $value != *[[:cntrl:]]* ]] || fail "changelog and news texts must be one line"
done
: "${changelog:=Catalogue $version.}"
: "${news:=Your catalogue is up to date ($version).}"
: "${program_changelog:=Fetchora $program_version.}"
: "${program_news:=Fetchora $program_version is the newest release.}"

[[ -d $data ]] || fail "no Data folder at $data"
list=$data/FOSignatures.ddl
[[ -f $list ]] || fail "$list does not exist"

# The program refuses a file that is not text (a NUL or another control
# character than tab, CR and LF; UTF-8, or else Windows-1252 without its five
# unused bytes), and a definition file without a category holding an entry.
# Such a file would make every update from the mirror fail, so it is refused here.
text_problem() {
  local file=$1
  if LC_ALL=C grep -q -a -P '[\x00-\x08\x0B\x0C\x0E-\x1F\x7F]' -- "$file"; then
    echo "holds a control character"
  elif iconv -f UTF-8 -t UTF-8 -- "$file" >/dev/null 2>&1; then
    ! LC_ALL=C grep -q -a -P '\xC2[\x80-\x9F]' -- "$file" || echo "holds a control character"
  elif LC_ALL=C grep -q -a -P '[\x81\x8D\x8F\x90\x9D]' -- "$file"; then
    echo "holds a byte that is no character of Windows-1252"
  fi
}
# Read as the program's profile engine reads it: a "[name]" header line opens
# a category, an entry is a line of a named category with a name before its
# "=", and lines starting with ";" are comments.
holds_entry() {
  LC_ALL=C awk 'BEGIN { RS = "\r\n|\r|\n" }
    { line = $0; gsub(/^[ \t]+|[ \t]+$/, "", line) }
    line ~ /^\[.*\]/ {
      name = line; sub(/^\[/, "", name); sub(/\][^]]*$/, "", name); gsub(/^[ \t]+|[ \t]+$/, "", name)
      named = name != ""; next
    }
    named && line !~ /^;/ && index(line, "=") > 1 {
      name = substr(line, 1, index(line, "=") - 1); gsub(/[ \t]+$/, "", name)
      if (name != "") { found = 1; exit }
    }
    END { exit !found }' "$1"
}

# The same names the program fetches: one per line, CR LF or LF, a UTF-8 mark
# at the start ignored, blank lines skipped. The program refuses anything but a
# bare file name, so that is refused here before anything is published.
names=()
number=0
while IFS= read -r line || [[ -n $line ]]; do
  number=$((number + 1))
  line=${line%$'\r'}
  ((number == 1)) && line=${line#$'\xef\xbb\xbf'}
  [[ $line == *[![:space:]]* ]] || continue
  if [[ $line == . || $line == *..* || $line == */* || $line == *\\* || $line == *:* \
        || $line == *[[:cntrl:]]* || $line == [[:space:]]* || $line == *[[:space:]] ]]; then
    fail "$list line $number is not a bare file name: '$line'"
  fi
  [[ -f $data/$line ]] || fail "$list line $number names $line, which is not in $data"
  [[ -s $data/$line ]] || fail "$list line $number names $line, which is empty"
  problem=$(text_problem "$data/$line")
  [[ -z $problem ]] || fail "$list line $number names $line, which is not a text file: it $problem"
  case ${line,,} in
    foblacklist.def | foadware.def | fosignatures.ddl) ;;
    *) holds_entry "$data/$line" || fail "$list line $number names $line, which holds no category with an entry" ;;
  esac
  names+=("$line")
done <"$list"
((${#names[@]})) || fail "$list names no files; a mirror without definition files updates nothing"

IFS=, read -r -a language_list <<<"$languages"
for language in "${language_list[@]}"; do
  [[ $language =~ ^[A-Za-z0-9_-]+$ ]] || fail "not a language folder name: '$language'"
done

mkdir -p "$out"
work=$(mktemp -d "$out/.make-mirror.XXXXXX")
trap 'rm -rf "$work"' EXIT

fill() {
  local folder=$1
  mkdir -p "$folder"
  printf '[Fetchora]\r\nVersion=%s\r\nChangelog=%s\r\nNews=%s\r\n[Signature]\r\nVersion=%s\r\nChangelog=%s\r\nNews=%s\r\n' \
    "$program_version" "$program_changelog" "$program_news" "$version" "$changelog" "$news" >"$folder/FOVersion.ini"
  local name
  for name in "${names[@]}"; do
    cp -- "$data/$name" "$folder/$name"
  done
}
fill "$work/fetchora_latest"
for language in "${language_list[@]}"; do
  fill "$work/fetchora_latest/$language"
done

# Both renames stay within OUT_DIR, so each is atomic; an older tree is
# removed only once the new one is in place, and put back if that fails.
if [[ -e $out/fetchora_latest ]]; then
  mv -- "$out/fetchora_latest" "$work/previous"
fi
if ! mv -- "$work/fetchora_latest" "$out/fetchora_latest"; then
  [[ ! -e $work/previous ]] || mv -- "$work/previous" "$out/fetchora_latest"
  fail "the new tree could not be moved to $out/fetchora_latest"
fi
echo "make-mirror: $out/fetchora_latest holds catalogue $version (program $program_version): ${#names[@]} files"
