#!/usr/bin/env bash
# Writes the seed inputs of every fuzz target into fuzz/corpus/<target>/ from the example
# document and from the small documents, key files and command lines the tests use. Each seed
# starts with the choices its target reads first (see fuzz/checks/*.h), then the document.
set -euo pipefail
cd "$(dirname "$0")/.."
out=fuzz/corpus
# Only the seeds made here are rewritten; those written by hand (the links target's, and the
# engine's and command line's for the later options) stay.
mkdir -p "$out"/{engine,markup,keyfile,splitoptions,idlist,preview,links}

# seed TARGET NAME: writes stdin to the target's seed NAME.
seed() { cat > "$out/$1/$2"; }
# A length byte and the text.
text() { printf "\\x$(printf %02x ${#1})%s" "$1"; }

# ---- engine: flags, image choices, trap, stop, four texts, then the document.
docs=(
  '<html><head><title>t</title></head><body>text<H1>A</H1>more<H2>A1</H2>x</BODY></html>'
  '<HTML><BODY bgcolor=white>no headings at all</BODY></HTML>'
  '<html><body><H2>Intro</H2>a<H3>deep</H3>b<H1>Top</H1>c<H2>Sub</H2>d</body></html>'
  '<html><!-- <BODY> --><body><H1>A <B>bold</B> title</H1>x<h2>low</h2>y</body>'
  '<html><body><H1>open heading without end'
  '<html><head>no body tag at all</head></html>'
  '<body><H1>a</H1><H1>b</H1><H1>c</H1><H1>d</H1></body>'
  '<body>a < b > c <H2>x</H3></H2>tail</BODY>'
)
headers=(
  '\x30\x00\x00\x00\x00\x00\x00\x00\x00'                  # BreakOn 2, nothing else
  '\x4f\x31\x0e\x00\x00'                                  # everything on, BreakOn 3, images
  '\x1d\x80\x95\x00\x03'                                  # BreakOn 1, stop at the third tag
  '\x3f\x9a\x0b\x01\x00'                                  # an output name links to the source
)
i=0
for doc in "${docs[@]}"; do
  for h in "${!headers[@]}"; do
    { printf "${headers[$h]}"
      if [ "$h" -ne 0 ]; then text Previous; text Home; text Next; text 'You are here:'; fi
      printf '%s' "$doc"; } | seed engine "doc$i-$h"
  done
  i=$((i + 1))
done
{ printf '\x3f\x00\x00\x00\x00'; text '&lt;'; text '^'; text '&gt;'; text 'Path:'
  cat examples/manual.html; } | seed engine manual

# ---- markup: piece, flags, three page numbers, then twelve texts and the heading kind.
markup() { # piece flags page
  printf "\\x$1\\x$2\\x$3\\x00\\x01\\x00\\x02\\x00"
  text manual; text .htm; text Previous; text Home; text Next; text 'You are here:'
  text /docs/prev1.gif; text home1.gif; text 'C:\img\next1.gif'
  text Chapter; text Section; text Item; printf '\x01'; printf '<A NAME="x">Intro</A>'
}
markup 00 ef 00 | seed markup nav-first
markup 00 ff 02 | seed markup nav-inner
markup 00 d3 e7 | seed markup nav-last
markup 01 04 05 | seed markup index-entry
markup 02 00 00 | seed markup frameset

# ---- key files: number of values set, their choices, then the file's text.
key='Software\Brisendale Software\Quirefold'
printf '\x00%s' "REGEDIT4

[$key]
\"NoLinks\"=dword:00000001
\"PreviousLinkText\"=\"Previous\"
\"BreakOn\"=dword:00000002
\"PrevLinkImage\"=hex(2):25,00
\"MRUFolder\"=\"/home/user/docs\"
" | seed keyfile program
printf '\x02\x0c\x00\x00\x05/tmp/\x04\x00\x01\x04\x03\x00\x00\x00%s' "REGEDIT4
[$key]
\"A\"=\"x\"
\"Bin\"=hex:01,02,\\
  03,04
" | seed keyfile continued
printf '\x01\x01\x00\x03\x03a\x00b%s' $'REGEDIT4\r\n\r\n[Other]\r\n"A"=dword:00000001\r\n' |
  seed keyfile crlf

# ---- command lines of quirefold-split, arguments separated by NUL bytes.
args() { local IFS=$'\x01'; printf '%s' "$*" | tr '\001' '\000'; }
args --links --break-on=3 --prev-text '<' manual.html | seed splitoptions links
args -b2 -q --navigation --breadcrumbs-text= -- -dash.html b.htm | seed splitoptions dashes
args --defaults --save --images --next-image /x/next.gif | seed splitoptions save
args --help | seed splitoptions help

# ---- stored folder forms: kind, then a special folder or a length and an id list.
printf '\x01\x11' | seed idlist drives
printf '\x00\x0e\x00\x00\x00\x06\x00home\x06\x00docs\x00\x00' | seed idlist two-items
printf '\x00\x06\x00\x00\x00\x04\x00\x00H\x00\x00' | seed idlist home-tag

# ---- preview: check boxes and level, then seven texts.
preview() { printf "\\x$1"; text Previous; text Home; text Next; text prev1.gif; text home1.gif
  text next1.gif; text 'You are here:'; }
preview 2d | seed preview texts
preview 3f | seed preview images
preview 00 | seed preview empty
echo "Seeds written to $out."
