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

# The same names the program fetches: one per line, CR LF or LF, a UTF-8 mark
# at the start ignored. The program refuses anything but a bare file name, and
# a blank line among the names would make every update fail, so both are
# refused here before anything is published.
names=()
number=0
while IFS= read -r line || [[ -n $line ]]; do
  number=$((number + 1))
  line=${line%$'\r'}
  ((number == 1)) && line=${line#$'\xef\xbb\xbf'}
  if [[ -z $line || $line == . || $line == *..* || $line == */* || $line == *\\* || $line == *:* \
        || $line == *[[:cntrl:]]* || $line == [[:space:]]* || $line == *[[:space:]] ]]; then
    fail "$list line $number is not a bare file name: '$line'"
  fi
  [[ -f $data/$line ]] || fail "$list line $number names $line, which is not in $data"
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
