#!/bin/sh
# Writes the title dialog's logo (TESTDATA\LOGO.BMP of the suite): an
# uncompressed 8-bit bitmap with its own palette. Needs ImageMagick.
convert -size 360x150 gradient:'#1c3f73'-'#4f86c6' \
  -font DejaVu-Sans-Bold -pointsize 56 -fill white -gravity north -annotate +0+18 'Qev' \
  -font DejaVu-Sans -pointsize 14 -fill '#e8eef8' -gravity south -annotate +0+30 \
  'Hardware Diagnostics and System Information' \
  -colors 64 -type Palette -compress None BMP3:LOGO.BMP
