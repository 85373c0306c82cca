#!/usr/bin/env bash
# Draws the pictures of the sample game folder with ImageMagick and the DejaVu fonts:
#   launcher/launcher_bg_<language>.png   438 x 429, one per language of languages.txt
#   selling_bg.png                        440 x 497
#   selling_234_418_button.png            the buy button lit, drawn at 234,418
#   selling_373_446_button.png            the close button lit, drawn at 373,446
# The results are committed; run this again after changing it (needs imagemagick and fonts-dejavu-core).
# The output is plain 8-bit RGB PNG without time stamps, so an unchanged script gives unchanged files.
set -euo pipefail
cd "$(dirname "$0")"

FONTS=/usr/share/fonts/truetype/dejavu
SERIF_BOLD=$FONTS/DejaVuSerif-Bold.ttf
SERIF=$FONTS/DejaVuSerif.ttf
SANS_BOLD=$FONTS/DejaVuSans-Bold.ttf
SANS=$FONTS/DejaVuSans.ttf
for tool in convert identify; do
  command -v "$tool" >/dev/null || { echo "draw-pictures: '$tool' (imagemagick) is missing" >&2; exit 1; }
done
for font in "$SERIF_BOLD" "$SERIF" "$SANS_BOLD" "$SANS"; do
  [ -f "$font" ] || { echo "draw-pictures: $font (fonts-dejavu-core) is missing" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Writes 8-bit RGB without ancillary chunks that would change from run to run.
save() {  # save SOURCE TARGET
  convert "$1" -alpha off -depth 8 -strip -define png:exclude-chunks=date,time,tEXt,zTXt,iTXt "PNG24:$2"
}

# A deterministic pseudo-random sequence (the same stars on every run and every machine).
seed=20240611
random() {  # random N: a number in 0..N-1 in $REPLY
  seed=$(((seed * 1103515245 + 12345) & 0x7fffffff))
  REPLY=$(((seed >> 8) % $1))
}

# ---------------------------------------------------------------------------------------------------------
# The night scene: sky, stars, moon, two mountain ranges, the castle on its crag and mist at its foot.
# scene WIDTH HEIGHT CASTLE_X CASTLE_BASE_Y CASTLE_SCALE MOON_X MOON_Y OUT
scene() {
  local w=$1 h=$2 cx=$3 cy=$4 cs=$5 mx=$6 my=$7 out=$8

  # Sky: deep violet at the top to near black, with a faint cloudy texture.
  convert -size "${w}x${h}" gradient:'#2b2342'-'#07060b' "$work/sky.png"
  convert -size "${w}x${h}" -seed 7 plasma:grey45-grey55 -colorspace gray -blur 0x6 "$work/clouds.png"
  convert "$work/sky.png" "$work/clouds.png" -compose softlight -composite "$work/sky.png"

  # Stars: small dots of varied brightness in the upper part.
  local stars="" i x y r b
  for ((i = 0; i < 70; i++)); do
    random "$w"; x=$REPLY
    random $((h * 2 / 5)); y=$REPLY
    random 100; b=$((120 + REPLY))
    random 10; r=$((REPLY < 8 ? 0 : 1))
    if ((r == 0)); then
      stars+="fill rgb($b,$b,$((b + 20 > 255 ? 255 : b + 20))) point $x,$y "
    else
      stars+="fill rgb($b,$b,255) circle $x,$y $((x + 1)),$y "
    fi
  done
  convert "$work/sky.png" -draw "$stars" "$work/sky.png"

  # Moon: a soft halo, the pale disc and a few darker seas.
  convert -size "${w}x${h}" xc:none -fill 'rgba(255,244,214,0.2)' \
    -draw "circle $mx,$my $((mx + 30)),$my" -fill '#fff4d6' -colorize 100 -channel A -blur 0x30 -evaluate multiply 1.4 +channel "$work/halo.png"
  convert -size "${w}x${h}" xc:none -fill '#efe6c8' -draw "circle $mx,$my $((mx + 22)),$my" \
    -fill 'rgba(170,160,140,0.55)' \
    -draw "circle $((mx - 7)),$((my - 5)) $((mx - 1)),$((my - 5))" \
    -draw "circle $((mx + 8)),$((my + 6)) $((mx + 12)),$((my + 6))" \
    -draw "circle $((mx - 4)),$((my + 10)) $((mx - 1)),$((my + 10))" \
    -draw "circle $((mx + 9)),$((my - 9)) $((mx + 11)),$((my - 9))" \
    -blur 0x0.6 "$work/moon.png"
  convert "$work/sky.png" "$work/halo.png" -composite "$work/moon.png" -composite "$work/sky.png"

  # Far mountains (bluish) and near hills (darker), as jagged ridges.
  local far="" near="" step=$((w / 14)) px=0 py
  far="polygon 0,$h 0,$((cy - 120)) "
  for ((px = 0; px <= w + step; px += step)); do
    random 60; py=$((cy - 150 + REPLY))
    far+="$px,$py "
  done
  far+="$w,$h"
  near="polygon 0,$h 0,$((cy - 60)) "
  for ((px = 0; px <= w + step; px += step / 2)); do
    random 36; py=$((cy - 80 + REPLY))
    near+="$px,$py "
  done
  near+="$w,$h"
  # Foreground: the dark ground that the crag rises from.
  local ground="polygon 0,$h 0,$((cy + 6)) "
  for ((px = 0; px <= w + step; px += step)); do
    random 8; py=$((cy + 2 + REPLY))
    ground+="$px,$py "
  done
  ground+="$w,$h"
  # Mist lies between the far mountains and the near hills.
  convert -size "${w}x${h}" xc:none -fill 'rgba(150,140,190,0.18)' \
    -draw "ellipse $((w / 2)),$((cy - 62)) $((w * 2 / 3)),20 0,360" -fill '#968cbe' -colorize 100 -channel A -blur 0x12 +channel \
    "$work/mist.png"
  convert "$work/sky.png" -fill '#2f2947' -draw "$far" "$work/mist.png" -composite \
    -fill '#1c1729' -draw "$near" -fill '#0b0911' -draw "$ground" "$work/sky.png"

  # The castle, drawn in its own coordinates: origin at the foot of the crag, y upwards negative.
  local castle="
    polygon -150,12 -120,-18 -96,-26 -70,-34 70,-36 104,-22 128,-10 160,12
    rectangle -104,-64 104,-30
    rectangle -72,-100 -44,-30
    polygon -78,-100 -58,-150 -38,-100
    rectangle 44,-124 74,-30
    polygon 38,-124 59,-186 80,-124
    rectangle -32,-116 32,-30
    rectangle -11,-156 11,-116
    polygon -15,-156 0,-204 15,-156
    line 0,-204 0,-220 polygon 0,-220 14,-215 0,-210
    line 59,-186 59,-200 polygon 59,-200 70,-196 59,-192"
  local merlons="" mx2
  for ((mx2 = -104; mx2 < 104; mx2 += 12)); do merlons+="rectangle $mx2,-71 $((mx2 + 6)),-64 "; done
  for ((mx2 = -32; mx2 < 32; mx2 += 10)); do merlons+="rectangle $mx2,-123 $((mx2 + 5)),-116 "; done
  local windows="
    rectangle -14,-98 -8,-86 rectangle 8,-98 14,-86 rectangle -3,-140 3,-128
    rectangle -62,-84 -55,-74 rectangle 55,-104 62,-92 rectangle 55,-74 62,-64
    rectangle -3,-72 3,-58 rectangle -90,-52 -85,-44 rectangle 86,-52 91,-44"
  convert -size "${w}x${h}" xc:none -fill '#08070c' -stroke '#08070c' -strokewidth 1 \
    -draw "translate $cx,$cy scale $cs,$cs $castle $merlons" "$work/castle.png"
  convert -size "${w}x${h}" xc:none -fill '#ffb347' -stroke none \
    -draw "translate $cx,$cy scale $cs,$cs $windows" "$work/windows.png"
  convert "$work/windows.png" -fill '#ffb347' -colorize 100 -channel A -blur 0x5 +channel "$work/glow.png"
  convert "$work/sky.png" "$work/castle.png" -composite "$work/glow.png" -composite "$work/glow.png" \
    -composite "$work/windows.png" -composite "$out"
}

# Gold text with a dark shadow and a warm glow.
# gold_text CANVAS_W CANVAS_H FONT SIZE GRAVITY OFFSET TEXT OUT
gold_text() {
  local w=$1 h=$2 font=$3 size=$4 gravity=$5 offset=$6 text=$7 out=$8
  convert -size "${w}x${h}" xc:none -font "$font" -pointsize "$size" -gravity "$gravity" -fill white \
    -annotate "$offset" "$text" "$work/mask.png"
  convert -size "${w}x${h}" gradient:'#fff4c9'-'#a8741f' "$work/gold.png"
  convert "$work/gold.png" \( "$work/mask.png" -alpha extract \) -alpha off -compose CopyOpacity -composite \
    "$work/goldtext.png"
  convert "$work/mask.png" -fill black -colorize 100 -channel A -blur 0x2 -evaluate multiply 1.6 +channel \
    "$work/shadow.png"
  convert "$work/mask.png" -fill '#ff8c1a' -colorize 100 -channel A -blur 0x7 -evaluate multiply 0.7 +channel \
    "$work/textglow.png"
  convert "$work/textglow.png" \( "$work/shadow.png" -page +2+3 \) "$work/goldtext.png" -background none \
    -layers flatten "$out"
}

# A bevelled button with a centred caption.
# button W H FACE_TOP FACE_BOTTOM BORDER CAPTION_COLOUR FONT SIZE CAPTION OUT
button() {
  local w=$1 h=$2 top=$3 bottom=$4 border=$5 ink=$6 font=$7 size=$8 caption=$9 out=${10}
  local r=6
  convert -size "${w}x${h}" gradient:"$top"-"$bottom" "$work/face.png"
  convert -size "${w}x${h}" xc:black -fill white -draw "roundrectangle 0,0 $((w - 1)),$((h - 1)) $r,$r" \
    "$work/shape.png"
  convert "$work/face.png" "$work/shape.png" -alpha off -compose CopyOpacity -composite \
    -fill none -stroke 'rgba(255,255,255,0.28)' -strokewidth 1 \
    -draw "roundrectangle 3,3 $((w - 4)),$((h - 4)) $((r - 2)),$((r - 2))" \
    -stroke "$border" -strokewidth 2 -draw "roundrectangle 1,1 $((w - 2)),$((h - 2)) $((r - 1)),$((r - 1))" \
    -stroke none -font "$font" -pointsize "$size" -gravity center \
    -fill 'rgba(0,0,0,0.75)' -annotate +1+2 "$caption" -fill "$ink" -annotate +0+1 "$caption" "$out"
}

# A thin bronze frame with small diamonds in the corners.
frame() {  # frame IMAGE
  local w h
  w=$(identify -format %w "$1")
  h=$(identify -format %h "$1")
  convert "$1" -fill none -stroke '#050407' -strokewidth 1 -draw "rectangle 0,0 $((w - 1)),$((h - 1))" \
    -stroke '#8c6a2e' -strokewidth 2 -draw "rectangle 2,2 $((w - 3)),$((h - 3))" \
    -stroke '#3b2c14' -strokewidth 1 -draw "rectangle 4,4 $((w - 5)),$((h - 5))" \
    -stroke '#8c6a2e' -fill '#d9b25e' -strokewidth 1 \
    -draw "polygon 2,8 8,2 14,8 8,14" -draw "polygon $((w - 15)),8 $((w - 9)),2 $((w - 3)),8 $((w - 9)),14" \
    -draw "polygon 2,$((h - 9)) 8,$((h - 15)) 14,$((h - 9)) 8,$((h - 3))" \
    -draw "polygon $((w - 15)),$((h - 9)) $((w - 9)),$((h - 15)) $((w - 3)),$((h - 9)) $((w - 9)),$((h - 3))" \
    "$1"
}

# ---------------------------------------------------------------------------------------------------------
# Launcher backgrounds. The lists lie at x = 65 with their closed boxes at these heights; each label stands
# just above its box. The start and quit buttons cover the click areas exactly.
LIST_X=65
LIST_Y=(178 235 292 348 401)  # resolution, quality, window mode, audio, language
START=(265 335 395 374)       # x0 y0 x1 y1, inclusive
QUIT=(286 387 374 422)

declare -A LABELS PLAY QUIT_CAPTION
LABELS[english]="Resolution|Graphics quality|Window mode|Audio|Language"
PLAY[english]="PLAY"
QUIT_CAPTION[english]="QUIT"
LABELS[deutsch]="Auflösung|Grafikqualität|Anzeigemodus|Audio|Sprache"
PLAY[deutsch]="SPIELEN"
QUIT_CAPTION[deutsch]="BEENDEN"
LABELS[polski]="Rozdzielczość|Jakość grafiki|Tryb wyświetlania|Dźwięk|Język"
PLAY[polski]="GRAJ"
QUIT_CAPTION[polski]="WYJŚCIE"
LABELS[russkij]="Разрешение|Качество графики|Режим экрана|Звук|Язык"
PLAY[russkij]="ИГРАТЬ"
QUIT_CAPTION[russkij]="ВЫХОД"

scene 438 429 332 318 0.78 388 112 "$work/launcher_scene.png"

# Title and its ornament.
gold_text 438 429 "$SERIF_BOLD" 54 north +0+18 "Valtor" "$work/title.png"
convert "$work/launcher_scene.png" "$work/title.png" -composite \
  -stroke '#b58a3c' -strokewidth 1 -draw "line 129,96 205,96" -draw "line 233,96 309,96" \
  -fill '#e8c66e' -draw "polygon 219,90 225,96 219,102 213,96" \
  "$work/launcher_base.png"

# The panel behind the lists: darker, with a thin bronze edge.
convert "$work/launcher_base.png" \
  \( -size 438x429 xc:none -fill 'rgba(8,6,12,0.62)' -stroke 'rgba(181,138,60,0.7)' -strokewidth 1 \
     -draw "roundrectangle 48,146 222,425 8,8" \) -composite "$work/launcher_base.png"

mkdir -p launcher
while read -r name codepage; do
  [ -n "$name" ] || continue
  [ -n "${LABELS[$name]:-}" ] || { echo "draw-pictures: no picture texts for language '$name'" >&2; exit 1; }
  IFS='|' read -r -a labels <<<"${LABELS[$name]}"
  draw=""
  canvas="$work/labels.png"
  convert -size 438x429 xc:none "$canvas"
  for i in 0 1 2 3 4; do
    baseline=$((LIST_Y[i] - 7))
    convert "$canvas" -font "$SERIF_BOLD" -pointsize 13 \
      -fill 'rgba(0,0,0,0.85)' -annotate "+$((LIST_X + 1))+$((baseline + 1))" "${labels[i]}" \
      -fill '#e6cf8f' -annotate "+$LIST_X+$baseline" "${labels[i]}" "$canvas"
  done
  button $((START[2] - START[0] + 1)) $((START[3] - START[1] + 1)) '#a3301c' '#420d07' '#d9ae55' '#fde9b0' \
    "$SERIF_BOLD" 18 "${PLAY[$name]}" "$work/start.png"
  button $((QUIT[2] - QUIT[0] + 1)) $((QUIT[3] - QUIT[1] + 1)) '#56505e' '#211e27' '#a88a4e' '#e9dcc0' \
    "$SERIF_BOLD" 13 "${QUIT_CAPTION[$name]}" "$work/quit.png"
  convert "$work/launcher_base.png" "$canvas" -composite \
    "$work/start.png" -geometry "+${START[0]}+${START[1]}" -composite \
    "$work/quit.png" -geometry "+${QUIT[0]}+${QUIT[1]}" -composite "$work/launcher.png"
  frame "$work/launcher.png"
  save "$work/launcher.png" "launcher/launcher_bg_$name.png"
  echo "launcher/launcher_bg_$name.png"
done <languages.txt

# ---------------------------------------------------------------------------------------------------------
# The selling screen: the night scene as a banner, the offer, the price, and the buy and close buttons.
# The buttons sit inside their hot rectangles (buy x 231..360, y 446..493; close x 372..429, y 453..489) and
# start at the left edges of their lit pictures, which are cut from a copy of the screen with that button
# lit, so that a lit picture differs from the background only on its button.
BUY=(234 446 360 493)     # the drawn button, inclusive
CLOSE=(373 453 429 489)
BUY_LIT=(234 418 127 76)  # x y width height
CLOSE_LIT=(373 446 57 44)

scene 440 212 372 206 0.58 74 54 "$work/banner.png"
gold_text 440 212 "$SERIF_BOLD" 50 north +0+22 "Valtor" "$work/stitle.png"
convert -size 440x497 xc:'#0b0911' "$work/banner.png" -composite "$work/stitle.png" -composite \
  -fill '#e8c66e' -stroke none -font "$SERIF_BOLD" -pointsize 13 -gravity north \
  -fill 'rgba(0,0,0,0.8)' -annotate +1+89 "T H E   F U L L   V E R S I O N" \
  -fill '#e6cf8f' -annotate +0+88 "T H E   F U L L   V E R S I O N" -gravity northwest \
  -stroke '#b58a3c' -strokewidth 1 -draw "line 0,212 439,212" -stroke '#3b2c14' -draw "line 0,214 439,214" \
  "$work/selling_base.png"

# The offer on a dark panel.
convert "$work/selling_base.png" \
  \( -size 440x497 xc:none -fill 'rgba(40,30,60,0.35)' -stroke 'rgba(181,138,60,0.75)' -strokewidth 1 \
     -draw "roundrectangle 16,226 423,404 8,8" \) -composite \
  -stroke none -font "$SERIF_BOLD" -pointsize 17 -gravity north \
  -fill 'rgba(0,0,0,0.8)' -annotate +1+239 "Thank you for playing the demo!" \
  -fill '#f0d894' -annotate +0+238 "Thank you for playing the demo!" \
  -font "$SANS" -pointsize 12 -fill '#cfc6dc' -annotate +0+266 "Get the full game and continue your journey:" \
  -gravity northwest "$work/selling_base.png"
features=("Forty quests across the Shattered Kingdoms"
  "Twelve regions, from the Ashen Wastes to the Frost Peaks"
  "Forge legendary weapons and enchanted armour"
  "A hundred hours of adventure, no time limit")
y=300
for feature in "${features[@]}"; do
  convert "$work/selling_base.png" -fill '#d9b25e' -stroke '#8c6a2e' -strokewidth 1 \
    -draw "polygon 40,$((y - 4)) 44,$((y - 8)) 48,$((y - 4)) 44,$y" -stroke none \
    -font "$SANS" -pointsize 12 -fill '#ece6f2' -annotate "+58+$y" "$feature" "$work/selling_base.png"
  y=$((y + 26))
done

# The price, left of the buttons.
convert "$work/selling_base.png" -font "$SANS_BOLD" -pointsize 11 -fill '#a99fbb' -annotate +22+444 "SPECIAL OFFER" \
  -font "$SERIF_BOLD" -pointsize 30 -fill 'rgba(0,0,0,0.8)' -annotate +23+479 "€19.99" \
  -fill '#f0d894' -annotate +22+478 "€19.99" \
  -font "$SANS" -pointsize 10 -fill '#a99fbb' -annotate +22+492 "instant download" "$work/selling_base.png"

# The gem above the buy button, dark or lit. gem STATE IMAGE
gem() {
  local cx=297 cy=433
  if [ "$1" = lit ]; then
    convert "$2" \( -size 440x497 xc:none -fill 'rgba(255,190,80,0.9)' \
      -draw "circle $cx,$cy $((cx + 5)),$cy" -fill '#ffbe50' -colorize 100 -channel A -blur 0x3 +channel \) -composite \
      -stroke '#ffd86b' -strokewidth 1 -draw "line 250,$cy 284,$cy" -draw "line 310,$cy 344,$cy" \
      -fill '#fff3c4' -stroke '#ffd86b' -draw "polygon $cx,$((cy - 8)) $((cx + 8)),$cy $cx,$((cy + 8)) $((cx - 8)),$cy" "$2"
  else
    convert "$2" -stroke '#8c6a2e' -strokewidth 1 -draw "line 250,$cy 284,$cy" -draw "line 310,$cy 344,$cy" \
      -fill '#b58a3c' -stroke '#6b5022' -draw "polygon $cx,$((cy - 8)) $((cx + 8)),$cy $cx,$((cy + 8)) $((cx - 8)),$cy" "$2"
  fi
}

# selling STATE OUT: STATE is normal, buy (buy button lit) or close (close button lit).
selling() {
  cp "$work/selling_base.png" "$2"
  if [ "$1" = buy ]; then
    gem lit "$2"
    button $((BUY[2] - BUY[0] + 1)) $((BUY[3] - BUY[1] + 1)) '#e0572f' '#7a1a0b' '#ffe08a' '#ffffff' \
      "$SERIF_BOLD" 17 "BUY NOW" "$work/buy.png"
  else
    gem dark "$2"
    button $((BUY[2] - BUY[0] + 1)) $((BUY[3] - BUY[1] + 1)) '#a3301c' '#420d07' '#d9ae55' '#fde9b0' \
      "$SERIF_BOLD" 17 "BUY NOW" "$work/buy.png"
  fi
  if [ "$1" = close ]; then
    button $((CLOSE[2] - CLOSE[0] + 1)) $((CLOSE[3] - CLOSE[1] + 1)) '#8a8296' '#3a3544' '#ffe08a' '#ffffff' \
      "$SANS_BOLD" 10 "CLOSE" "$work/close.png"
  else
    button $((CLOSE[2] - CLOSE[0] + 1)) $((CLOSE[3] - CLOSE[1] + 1)) '#56505e' '#211e27' '#a88a4e' '#e9dcc0' \
      "$SANS_BOLD" 10 "CLOSE" "$work/close.png"
  fi
  convert "$2" "$work/buy.png" -geometry "+${BUY[0]}+${BUY[1]}" -composite \
    "$work/close.png" -geometry "+${CLOSE[0]}+${CLOSE[1]}" -composite "$2"
}

selling normal "$work/selling.png"
save "$work/selling.png" selling_bg.png
selling buy "$work/selling_buy.png"
convert "$work/selling_buy.png" -crop "${BUY_LIT[2]}x${BUY_LIT[3]}+${BUY_LIT[0]}+${BUY_LIT[1]}" +repage "$work/buy_lit.png"
save "$work/buy_lit.png" "selling_${BUY_LIT[0]}_${BUY_LIT[1]}_button.png"
selling close "$work/selling_close.png"
convert "$work/selling_close.png" -crop "${CLOSE_LIT[2]}x${CLOSE_LIT[3]}+${CLOSE_LIT[0]}+${CLOSE_LIT[1]}" +repage \
  "$work/close_lit.png"
save "$work/close_lit.png" "selling_${CLOSE_LIT[0]}_${CLOSE_LIT[1]}_button.png"
echo selling_bg.png "selling_${BUY_LIT[0]}_${BUY_LIT[1]}_button.png" "selling_${CLOSE_LIT[0]}_${CLOSE_LIT[1]}_button.png"
