#!/bin/sh
# Regenerates the GBK language files of a new workbench home from their UTF-8
# sources: data/lang/Language.utf8.{ini,sil} -> data/home/data/Language.{ini,sil}
# (GBK, CR LF line ends). Run it after editing a source and commit both.
set -e
here=$(cd "$(dirname "$0")" && pwd)
out="$here/../home/data"
mkdir -p "$out"
for ext in ini sil; do
  sed 's/\r$//; s/$/\r/' "$here/Language.utf8.$ext" | iconv -f UTF-8 -t GBK > "$out/Language.$ext.new"
  mv "$out/Language.$ext.new" "$out/Language.$ext"
done
