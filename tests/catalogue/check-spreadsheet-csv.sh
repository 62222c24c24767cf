#!/usr/bin/env bash
# The CSV files a real spreadsheet writes, read by tolvan-catalogue import-csv. LibreOffice,
# headless, saves a sheet made here as an operator in a Portuguese locale does: from XLSX with
# semicolons in Windows-1252, from ODS with commas in UTF-8. Each import must store the sheet's
# texts as they are. What export-csv --for-spreadsheet writes, opened by the spreadsheet as
# semicolons in UTF-8 and saved again in Windows-1252, imports back the same.
# Slow (LibreOffice starts four times), so .ci/run calls it rather than ctest.
# Usage: check-spreadsheet-csv.sh [TOLVAN-CATALOGUE]   (default: tolvan-catalogue on PATH)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../package/lib.sh"
tool="$(realpath "$(command -v "${1:-tolvan-catalogue}")")" || fail "no tolvan-catalogue at ${1:-PATH}"
command -v soffice >/dev/null || fail "soffice is not installed (scripts/install-deps.sh --ci)"
make_scratch
cd "$scratch"

# A profile of its own: LibreOffice refuses to start twice on one, and the user's stays as it is.
spreadsheet() {  # OUTDIR FILTER FILE [INFILTER]
    local in=()
    [ $# -lt 4 ] || in=(--infilter="$4")
    soffice -env:UserInstallation="file://$scratch/profile" --headless --norestore "${in[@]}" \
        --convert-to "$2" --outdir "$1" "$3" >"$scratch/soffice.log" 2>&1 ||
        fail "soffice could not convert $3: $(cat "$scratch/soffice.log")"
    [ -s "$1/$(basename "${3%.*}").${2%%:*}" ] || fail "soffice wrote no $2 file for $3"
}
csv_filter() {  # SEPARATOR CHARSET: LibreOffice's codes (59 ';', 44 ','; 1 Windows-1252, 76 UTF-8)
    echo "csv:Text - txt - csv (StarCalc):$1,34,$2,1"
}

# The sheet: a text with the separator and quotes in it, characters that Windows-1252 has
# beyond Latin-1 (euro sign, en dash), an empty L2 cell.
cell() { echo "<table:table-cell office:value-type=\"string\"><text:p>$1</text:p></table:table-cell>"; }
number() { echo "<table:table-cell office:value-type=\"float\" office:value=\"$1\"><text:p>$1</text:p></table:table-cell>"; }
row() {  # DESCRICAO ARQUIVO SETOR ARQUIVO_L SETOR_L ARQUIVO_L2 SETOR_L2
    echo "<table:table-row>$(cell "$1")$(cell "$2")$(number "$3")$(cell "$4")$(number "$5")"
    if [ -n "$6" ]; then cell "$6"; else echo "<table:table-cell/>"; fi
    echo "$(number "$7")</table:table-row>"
}
{
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"'
    echo ' xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"'
    echo ' xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2"'
    echo ' office:mimetype="application/vnd.oasis.opendocument.spreadsheet">'
    echo '<office:body><office:spreadsheet><table:table table:name="Sistemas"><table:table-row>'
    for name in Descricao Arquivo Setor Arquivo_L Setor_L Arquivo_L2 Setor_L2; do cell "$name"; done
    echo '</table:table-row>'
    row 'Falcão; Série "2"' FALCAO.BIN 12 FALCAO_L.BIN 3 "" 0
    row 'Ação, Pé &amp; Coração €' ACAO.BIN 510 ACAO_L.BIN 1 ACAO_L2.BIN 7
    row 'Órion – Edição' ORION.BIN 0 ORION_L.BIN 2 "" 0
    echo '</table:table></office:spreadsheet></office:body></office:document>'
} >Sistemas.fods
expected='Descricao,Arquivo,Setor,Arquivo_L,Setor_L,Arquivo_L2,Setor_L2
"Ação, Pé & Coração €",ACAO.BIN,510,ACAO_L.BIN,1,ACAO_L2.BIN,7
"Falcão; Série ""2""",FALCAO.BIN,12,FALCAO_L.BIN,3,,0
Órion – Edição,ORION.BIN,0,ORION_L.BIN,2,,0'

# Imports FILE into a new catalogue and compares what the catalogue then holds with the sheet.
imports_the_sheet() {  # FILE WHAT-THE-IMPORT-SAYS
    local db said
    db="$scratch/$(basename "$(dirname "$1")").db"
    rm -f "$db"
    "$tool" create "$db" >/dev/null
    said="$("$tool" import-csv "$db" "$1" 2>&1)" || fail "$1 was refused: $said"
    [ "$said" = "Imported 3 systems ($2)." ] || fail "$1: import-csv said: $said"
    [ "$("$tool" export-csv "$db")" = "$expected" ] ||
        fail "$1 was stored otherwise: $(diff <(echo "$expected") <("$tool" export-csv "$db"))"
}
# The file is in the form asked for: else the check proves nothing.
written_as() {  # FILE SEPARATOR ENCODING
    local header
    header="$(head -n 1 "$1" | tr -d '"\r')"
    [ "$header" = "Descricao${2}Arquivo${2}Setor${2}Arquivo_L${2}Setor_L${2}Arquivo_L2${2}Setor_L2" ] ||
        fail "$1 does not begin with a header separated by '$2': $header"
    if [ "$3" = UTF-8 ]; then
        iconv -f UTF-8 -t UTF-8 "$1" >/dev/null 2>&1 || fail "$1 is not UTF-8"
    else
        ! iconv -f UTF-8 -t UTF-8 "$1" >/dev/null 2>&1 || fail "$1 is UTF-8, not $3"
    fi
}

spreadsheet xlsx "xlsx:Calc MS Excel 2007 XML" Sistemas.fods
spreadsheet cp1252 "$(csv_filter 59 1)" xlsx/Sistemas.xlsx
spreadsheet utf8 "$(csv_filter 44 76)" Sistemas.fods
written_as cp1252/Sistemas.csv ';' Windows-1252
written_as utf8/Sistemas.csv ',' UTF-8
imports_the_sheet cp1252/Sistemas.csv "Windows-1252, separated by ';'"
imports_the_sheet utf8/Sistemas.csv "UTF-8, separated by ','"

# The way back: the catalogue exported for the spreadsheet, opened there (Portuguese of Brazil,
# semicolons, UTF-8) and saved again in Windows-1252.
mkdir -p export
"$tool" export-csv --for-spreadsheet "$scratch/utf8.db" export/Sistemas.csv
imports_the_sheet export/Sistemas.csv "UTF-8, separated by ';'"
spreadsheet saved "$(csv_filter 59 1)" export/Sistemas.csv "Text - txt - csv (StarCalc):59,34,76,1,,1046"
written_as saved/Sistemas.csv ';' Windows-1252
imports_the_sheet saved/Sistemas.csv "Windows-1252, separated by ';'"
echo "spreadsheet CSV: ok (XLSX and ODS saved as Windows-1252 and UTF-8 CSV, and back)"
