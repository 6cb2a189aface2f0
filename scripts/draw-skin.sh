#!/usr/bin/env bash
# Draws the installer's skin images (res/png/*.png) and its icon
# (res/velmora.ico). The results are committed, so a build needs no art
# tools; run this again only after changing a picture here.
#
# Needs ImageMagick 6, the WenQuanYi Micro Hei font and zopflipng, all
# installed by scripts/install-deps.sh. The system's own convert is called by full path.
#
# What the program relies on:
# - background.png is RGB without alpha; every other image is RGBA.
# - A fully transparent pixel is turned into the key colour magenta when the
#   program loads the image and shows the window behind it; a partly
#   transparent pixel is blended over white. Controls on the white lower
#   part may therefore use soft edges; the caption buttons, which sit on the
#   dark artwork, are flattened onto the artwork under them instead.
# - Exact magenta is never used as a visible colour.
# - Button strips hold normal, hover, pressed and disabled frames; the check
#   box strip holds unchecked normal/hover/pressed, checked
#   normal/hover/pressed and disabled.
# - The progress fill is drawn from its two ends over the track, overhanging
#   it by 10 pixels at each end; those 10 columns stay transparent so the
#   fill's rounded ends meet the track's ends.
# - At DPIs other than 96 the program draws every image but the background
#   itself (skin/SkinArt.cpp), the same shapes and colours at the scaled
#   size: a change here wants the same change there. The unit tests compare
#   the two at 96 DPI.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
res=$(cd "$here/../res" && pwd)
IM=/usr/bin/convert
FONT=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc

for need in "$IM" "$FONT"; do
  [ -e "$need" ] || { echo "draw-skin: $need is missing (run scripts/install-deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Palette.
ORANGE='#FF9228'        # the product accent, RGB(255,146,40)
ORANGE_DARK='#E97F17'
ORANGE_TINT='#FFF1E2'
BLUE='#2B8CF7'
BLUE_LIGHT='#4EA2FF'
RED='#E5484D'
RED_DARK='#BF3A3F'
GREY_LINE='#B6BCC6'
GREY_TEXT='#3A3F47'
DISABLED_FACE='#E6E8EC'
DISABLED_FACE_LOW='#DCDFE4'
DISABLED_LINE='#D3D7DD'
DISABLED_TEXT='#A5ABB4'

# PNG output without ancillary chunks (no gamma or time stamps), 8 bits per
# channel: PNG24 is colour type 2 (RGB), PNG32 colour type 6 (RGBA).
save_rgb() { "$IM" "$1" -alpha off -depth 8 -define png:exclude-chunk=all "PNG24:$2"; }
save_rgba() { "$IM" "$1" -depth 8 -define png:exclude-chunk=all "PNG32:$2"; }

# Supersampling: shapes are drawn at 8x and averaged down, which gives exact
# coverage at the edges.
SS=8
s() { awk -v v="$1" -v k="$SS" 'BEGIN { printf "%g", v * k }'; }
# Centre, in supersampled coordinates, of a one-pixel line on pixel k.
edge() { awk -v p="$1" -v k="$SS" 'BEGIN { printf "%g", p * k + (k - 1) / 2 }'; }
down() { "$IM" "$1" -filter box -resize "$(awk -v k="$SS" 'BEGIN { printf "%g", 100 / k }')%" "$2"; }

# ---------------------------------------------------------------- emblem
# Orange rounded square with a white V, drawn at 512x512; the logo and the
# icon are scaled from it.
emblem() {
  "$IM" -size 512x512 xc: \
      -sparse-color Barycentric '0,0 #FFB660 512,0 #FF9A34 0,512 #FF9430 512,512 #F4700E' \
    \( -size 512x512 xc:black -fill white -draw 'roundrectangle 16,16 495,495 112,112' \) \
    -alpha off -compose CopyOpacity -composite -compose over \
    \( -size 512x512 xc:none -fill 'rgba(120,40,0,0.28)' \
       -draw 'polygon 130,168 208,168 256,316 304,168 382,168 294,392 218,392' -blur 0x10 \) \
    -composite \
    -fill white -draw 'polygon 130,150 208,150 256,298 304,150 382,150 294,374 218,374' \
    "$work/emblem.png"
}

# ---------------------------------------------------------------- background
background() {
  local band=$work/band.png
  # Deep blue ground, lighter towards the bottom left.
  "$IM" -size 620x256 xc: \
      -sparse-color Barycentric '0,0 #0B1634 620,0 #0A1330 0,256 #183766' \
      "$band"

  # Soft light: a wide blue glow right of centre and a warm one behind the logo.
  "$IM" -size 620x256 xc:none \
      -fill 'rgba(58,120,235,0.55)' -draw 'ellipse 470,190 190,120 0,360' \
      -fill 'rgba(90,60,200,0.30)' -draw 'ellipse 90,40 140,80 0,360' \
      -blur 0x45 "$work/glow_cool.png"
  "$IM" -size 620x256 xc:none \
      -fill 'rgba(255,146,40,0.32)' -draw 'ellipse 232,100 70,55 0,360' \
      -blur 0x30 "$work/glow_warm.png"

  # Slanted light beams.
  "$IM" -size 620x256 xc:none \
      -fill 'rgba(255,255,255,0.045)' \
      -draw 'polygon 380,0 470,0 330,256 240,256' \
      -draw 'polygon 500,0 530,0 390,256 360,256' \
      -draw 'polygon 560,0 640,0 520,256 440,256' \
      -draw 'polygon 60,0 100,0 -40,256 -80,256' \
      -blur 0x2 "$work/beams.png"

  # Faint hexagon outlines on the right, a nod to game boards.
  local hex=() cx cy ox r=26 i pts
  for cy in 40 85 130 175 220; do
    for cx in 430 475 520 565 610 655; do
      ox=$cx
      (( (cy / 45) % 2 )) && ox=$((cx - 22))
      pts=$(awk -v c="$ox" -v d="$cy" -v r="$r" 'BEGIN {
        for (i = 0; i < 6; i++) { a = (60 * i + 30) * 3.14159265 / 180; printf " %.1f,%.1f", c + r * cos(a), d + r * sin(a) } }')
      hex+=(-draw "polygon$pts")
    done
  done
  "$IM" -size 620x256 xc:none -fill none -stroke 'rgba(140,180,255,0.12)' -strokewidth 1 "${hex[@]}" \
      \( -size 256x620 gradient:'rgba(255,255,255,0)'-white -rotate -90 \) \
      -compose DstIn -composite "$work/hex.png"

  # Small particles, placed by a fixed pseudo-random sequence so every run
  # draws the same picture.
  local seed=20240611 n x y rr a dots=()
  for ((n = 0; n < 46; n++)); do
    seed=$(( (seed * 1103515245 + 12345) % 2147483648 )); x=$(( seed % 620 ))
    seed=$(( (seed * 1103515245 + 12345) % 2147483648 )); y=$(( seed % 240 + 8 ))
    seed=$(( (seed * 1103515245 + 12345) % 2147483648 )); rr=$(( seed % 3 ))
    seed=$(( (seed * 1103515245 + 12345) % 2147483648 )); a=$(( seed % 50 + 15 ))
    # Keep the centre, where the logo stands, and the caption buttons clear.
    if (( x > 150 && x < 470 && y > 50 && y < 200 )); then continue; fi
    if (( x > 555 && y < 34 )); then continue; fi
    dots+=(-fill "rgba(190,215,255,0.$a)" -draw "circle $x,$y $((x + rr / 2 + 1)),$y")
  done
  "$IM" -size 620x256 xc:none "${dots[@]}" -blur 0x0.6 "$work/dots.png"

  # Logo: emblem, the name, and the slogan centred under them.
  "$IM" "$work/emblem.png" -filter Lanczos -resize 74x74 "$work/logo_mark.png"
  "$IM" -background none -font "$FONT" -pointsize 232 -kerning 8 \
      -fill white -stroke white -strokewidth 7 label:Velmora -trim +repage \
      -filter Lanczos -resize 25% "$work/logo_word.png"
  local mark_w=74 word_w word_h gap=18 total left top=64
  word_w=$("$IM" "$work/logo_word.png" -format %w info:)
  word_h=$("$IM" "$work/logo_word.png" -format %h info:)
  total=$((mark_w + gap + word_w))
  left=$(( (620 - total) / 2 ))

  # Slogan: two short phrases parted by an orange dot, with thin rules to
  # either side.
  "$IM" -background none -font "$FONT" -pointsize 19 -kerning 6 -fill '#C4D0E6' \
      label:'好游戏' -trim +repage "$work/slogan_a.png"
  "$IM" -background none -font "$FONT" -pointsize 19 -kerning 6 -fill '#C4D0E6' \
      label:'一起玩' -trim +repage "$work/slogan_b.png"
  local a_w b_w sl_h dot_gap=30
  a_w=$("$IM" "$work/slogan_a.png" -format %w info:)
  b_w=$("$IM" "$work/slogan_b.png" -format %w info:)
  sl_h=$("$IM" "$work/slogan_a.png" -format %h info:)
  local sl_w=$((a_w + dot_gap + b_w))
  local sl_x=$(( (620 - sl_w) / 2 )) sl_y=166
  local ln_y=$((sl_y + sl_h / 2)) dot_x=$((sl_x + a_w + dot_gap / 2))
  "$IM" -size 620x256 xc:none \
      "$work/slogan_a.png" -geometry +$sl_x+$sl_y -composite \
      "$work/slogan_b.png" -geometry +$((sl_x + a_w + dot_gap))+$sl_y -composite \
      -fill "$ORANGE" -draw "circle $dot_x,$ln_y $((dot_x + 2)),$ln_y" \
      -stroke 'rgba(196,208,230,0.35)' -strokewidth 1 \
      -draw "line $((sl_x - 64)),$ln_y $((sl_x - 18)),$ln_y" \
      -draw "line $((sl_x + sl_w + 18)),$ln_y $((sl_x + sl_w + 64)),$ln_y" \
      "$work/slogan.png"

  "$IM" "$band" \
      "$work/glow_cool.png" -compose screen -composite \
      "$work/beams.png" -compose over -composite \
      "$work/hex.png" -composite \
      "$work/glow_warm.png" -compose screen -composite \
      "$work/dots.png" -compose over -composite \
      \( "$work/logo_mark.png" -background 'rgba(0,0,0,0.6)' -shadow 60x6+0+4 \) \
        -geometry +$((left - 8))+$((top - 4)) -composite \
      "$work/logo_mark.png" -geometry +$left+$top -composite \
      \( "$work/logo_word.png" -background 'rgba(0,0,20,0.8)' -shadow 50x4+0+2 \) \
        -geometry +$((left + mark_w + gap - 6))+$((top + (mark_w - word_h) / 2 - 4)) -composite \
      "$work/logo_word.png" -geometry +$((left + mark_w + gap))+$((top + (mark_w - word_h) / 2)) -composite \
      "$work/slogan.png" -composite \
      -font "$FONT" -pointsize 12 -fill '#8E9DBA' -annotate +12+21 'Velmora 安装向导' \
      \( -size 2x310 gradient:'rgba(255,146,40,0)'-'rgba(255,146,40,0.85)' -rotate -90 \
         \( +clone -flop \) +append \) \
      -geometry +0+254 -composite \
      "$band"

  # White page with the band on top and a black one-pixel frame around all.
  # Any pixel that came out as exactly the key colour is nudged off it, or
  # it would show as a hole.
  "$IM" -size 620x420 xc:white "$band" -geometry +0+0 -composite \
      -bordercolor black -border 1 \
      -fill '#FE00FF' -opaque '#FF00FF' \
      "$work/background.png"
  save_rgb "$work/background.png" "$res/png/background.png"
}

# ---------------------------------------------------------------- caption buttons
# Each frame is drawn over the piece of artwork the button covers, then made
# opaque where it has anything and transparent elsewhere, so soft edges blend
# into the dark artwork instead of into white.
caption_button() {  # name x glyph hover-colour pressed-colour
  local name=$1 x=$2 glyph=$3 hover=$4 pressed=$5 w=17 h=15
  local ground=$work/${name}_ground.png
  "$IM" "$work/background.png" -crop ${w}x${h}+$x+10 +repage "$ground"

  # The glyphs are set pixel by pixel: at this size any smoothing blurs them.
  # The cross is two one-pixel diagonals with faint neighbours for weight;
  # the bar a one-pixel line across the middle row.
  local glyph_pixels=() k
  if [ "$glyph" = close ]; then
    for ((k = 0; k < 9; k++)); do
      glyph_pixels+=(-fill "INK" -draw "point $((4 + k)),$((3 + k))" -draw "point $((12 - k)),$((3 + k))")
    done
    for ((k = 0; k < 8; k++)); do
      glyph_pixels+=(-fill "HALO"
        -draw "point $((5 + k)),$((3 + k))" -draw "point $((4 + k)),$((4 + k))"
        -draw "point $((11 - k)),$((3 + k))" -draw "point $((12 - k)),$((4 + k))")
    done
  else
    glyph_pixels=(-fill "INK" -draw "rectangle 4,7 12,7")
  fi
  local frame=0 plate ink halo args
  for state in normal hover pressed disabled; do
    plate=none; ink='rgba(236,242,250,0.92)'; halo='rgba(236,242,250,0.22)'
    case $state in
      hover) plate=$hover; ink=white; halo='rgba(255,255,255,0.30)' ;;
      pressed) plate=$pressed; ink='rgba(255,255,255,0.85)'; halo='rgba(255,255,255,0.22)' ;;
      disabled) ink='rgba(236,242,250,0.32)'; halo='rgba(236,242,250,0.07)' ;;
    esac
    args=("${glyph_pixels[@]//INK/$ink}")
    args=("${args[@]//HALO/$halo}")
    "$IM" -size $((w * SS))x$((h * SS)) xc:none -fill "$plate" -stroke none \
        -draw "roundrectangle 0,0 $((w * SS - 1)),$((h * SS - 1)) $(s 3),$(s 3)" "$work/ov.png"
    down "$work/ov.png" "$work/ov.png"
    "$IM" "$work/ov.png" "${args[@]}" "$work/ov.png"
    "$IM" "$ground" "$work/ov.png" -compose over -composite \
        \( "$work/ov.png" -alpha extract -threshold 0 \) \
        -alpha off -compose CopyOpacity -composite "$work/${name}_$frame.png"
    frame=$((frame + 1))
  done
  "$IM" "$work/${name}_0.png" "$work/${name}_1.png" "$work/${name}_2.png" "$work/${name}_3.png" \
      +append "$work/$name.png"
  save_rgba "$work/$name.png" "$res/png/$name.png"
}

# ---------------------------------------------------------------- push buttons
# One frame: a rounded face with a vertical gradient, a one-pixel outline
# and a centred label, optionally bolder (stroked) and with a one-pixel drop
# shadow; dy shifts the label (pressed look).
button_frame() {  # out w h radius label pointsize weight dy top bottom outline ink shadow
  local out=$1 w=$2 h=$3 r=$4 label=$5 pt=$6 weight=$7 dy=$8 top=$9 bottom=${10} line=${11} ink=${12} shadow=${13}
  "$IM" -size ${w}x${h} gradient:"$top"-"$bottom" "$work/face.png"
  "$IM" -size $((w * SS))x$((h * SS)) xc:none \
      -fill white -stroke none -draw "roundrectangle 0,0 $((w * SS - 1)),$((h * SS - 1)) $(s "$r"),$(s "$r")" \
      "$work/mask.png"
  down "$work/mask.png" "$work/mask.png"
  # The outline's centre lies half a pixel inside the edge, so it covers
  # exactly the outermost pixels.
  local lo rx ry
  lo=$(edge 0) rx=$(edge $((w - 1))) ry=$(edge $((h - 1)))
  "$IM" -size $((w * SS))x$((h * SS)) xc:none -fill none -stroke "$line" -strokewidth $SS \
      -draw "roundrectangle $lo,$lo $rx,$ry $(s "$r"),$(s "$r")" \
      "$work/line.png"
  down "$work/line.png" "$work/line.png"
  local stroke=(-stroke none)
  [ "$weight" != 0 ] && stroke=(-stroke "$ink" -strokewidth "$weight")
  local shade=()
  [ "$shadow" != none ] && shade=(-fill "$shadow" -stroke none -annotate +0+$((dy + 1)) "$label")
  "$IM" "$work/face.png" \( "$work/mask.png" -alpha extract \) -alpha off -compose CopyOpacity -composite \
      "$work/line.png" -compose over -composite \
      -font "$FONT" -pointsize "$pt" -gravity center "${shade[@]}" \
      -fill "$ink" "${stroke[@]}" -annotate +0+$dy "$label" \
      "$out"
}

# Strip of four frames: normal, hover, pressed, disabled. After the common
# arguments come five per frame: face top, face bottom, outline, label
# colour, label shadow (or none).
button_strip() {  # name w h radius label pointsize weight, then 4 x 5 frame colours
  local name=$1 w=$2 h=$3 r=$4 label=$5 pt=$6 weight=$7
  shift 7
  local i dy frames=()
  for i in 0 1 2 3; do
    dy=0
    [ "$i" = 2 ] && dy=1
    [ "$i" = 3 ] && weight=0
    button_frame "$work/${name}_$i.png" "$w" "$h" "$r" "$label" "$pt" "$weight" "$dy" "$1" "$2" "$3" "$4" "$5"
    frames+=("$work/${name}_$i.png")
    shift 5
  done
  "$IM" "${frames[@]}" +append "$work/$name.png"
  save_rgba "$work/$name.png" "$res/png/$name.png"
}

orange_button() {  # name label
  button_strip "$1" 140 40 4 "$2" 16 0.35 \
    '#FFA446' '#FF8B1E' '#F58A22' white 'rgba(170,70,0,0.35)' \
    '#FFB25E' '#FF9A32' '#FF9A32' white 'rgba(170,70,0,0.30)' \
    '#EE8019' '#E27614' '#D86F12' 'rgba(255,255,255,0.94)' 'rgba(130,50,0,0.35)' \
    "$DISABLED_FACE" "$DISABLED_FACE_LOW" "$DISABLED_LINE" "$DISABLED_TEXT" none
}

browse_button() {
  button_strip browse 86 30 4 '浏览..' 13 0 \
    '#FCFCFD' '#EDEFF2' "$GREY_LINE" "$GREY_TEXT" none \
    '#FFFFFF' '#F4F5F7' "$ORANGE" "$GREY_TEXT" none \
    '#E4E7EC' '#ECEEF1' '#A4ACB8' "$GREY_TEXT" none \
    '#F5F6F7' '#F5F6F7' "$DISABLED_LINE" "$DISABLED_TEXT" none
}

# ---------------------------------------------------------------- check box
checkbox() {
  # A 12x12 box in the middle of each 14x14 frame; the ring around it is
  # transparent.
  local n=14 frame=0 frames=() fill line tick
  local lo hi
  lo=$(edge 1) hi=$(edge 12)
  for spec in \
      "white $GREY_LINE none" "white $ORANGE none" "$ORANGE_TINT $ORANGE_DARK none" \
      "white $GREY_LINE $ORANGE" "white $ORANGE $ORANGE" "$ORANGE_TINT $ORANGE_DARK $ORANGE_DARK" \
      "#EEF0F3 $DISABLED_LINE none"; do
    read -r fill line tick <<<"$spec"
    "$IM" -size $((n * SS))x$((n * SS)) xc:none \
        -fill "$fill" -stroke "$line" -strokewidth $SS \
        -draw "roundrectangle $lo,$lo $hi,$hi $(s 2.2),$(s 2.2)" \
        -fill none -stroke "$tick" -strokewidth "$(s 1.8)" \
        -draw "stroke-linecap round stroke-linejoin round polyline $(s 3.9),$(s 7.1) $(s 6.1),$(s 9.4) $(s 10.2),$(s 4.6)" \
        "$work/cb.png"
    down "$work/cb.png" "$work/cb_$frame.png"
    frames+=("$work/cb_$frame.png")
    frame=$((frame + 1))
  done
  "$IM" "${frames[@]}" +append "$work/checkbox.png"
  save_rgba "$work/checkbox.png" "$res/png/checkbox.png"
}

# ---------------------------------------------------------------- progress bar
progress() {
  # Track: light grey, ends softened.
  "$IM" -size 580x4 xc:'#E3E7ED' \
      -alpha on -channel A -fx 'i==0||i==w-1 ? (j==0||j==h-1 ? 0.45 : 1) : 1' +channel \
      "$work/track.png"
  save_rgba "$work/track.png" "$res/png/progress_track.png"

  # Fill: blue with a lighter top row; columns 10 and 589 are the rounded
  # ends, their corner pixels transparent so the track shows there.
  "$IM" -size 580x4 xc:"$BLUE" -fill "$BLUE_LIGHT" -draw 'line 0,0 579,0' \
      -fill '#2480EA' -draw 'line 0,3 579,3' \
      -alpha on -channel A -fx '(i==0||i==w-1) && (j==0||j==h-1) ? 0 : 1' +channel \
      -background none -gravity center -extent 600x4 \
      "$work/fill.png"
  save_rgba "$work/fill.png" "$res/png/progress_fill.png"
}

# ---------------------------------------------------------------- path warning
path_error() {
  "$IM" -size $((12 * SS))x$((12 * SS)) xc:none -fill "$RED" -draw "circle $(s 6),$(s 6) $(s 6),$(s 0.1)" \
      -fill white -draw "roundrectangle $(s 5.1),$(s 2.4) $(s 6.9),$(s 7.4) $(s 0.9),$(s 0.9)" \
      -draw "circle $(s 6),$(s 9.2) $(s 6),$(s 8.25)" \
      "$work/sign.png"
  down "$work/sign.png" "$work/sign.png"
  "$IM" -size 117x12 xc:none "$work/sign.png" -geometry +0+0 -composite \
      -font "$FONT" -pointsize 12 -fill "$RED" -gravity west -annotate +16+0 '当前选择路径错误' \
      "$work/path_error.png"
  save_rgba "$work/path_error.png" "$res/png/path_error.png"
}

# ---------------------------------------------------------------- icon
icon() {
  "$IM" "$work/emblem.png" -filter Lanczos -resize 48x48 -depth 8 "$work/icon48.png"
  "$IM" "$work/icon48.png" -define icon:auto-resize=48 "ICO:$res/velmora.ico"
}

# Reads the PNG header of a written image and fails unless it has the size,
# 8-bit depth and colour type (2 RGB, 6 RGBA) the program expects.
check_png() {  # file width height colour-type
  local got
  got=$(od -An -tu1 -j16 -N10 "$1" | awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4, \
    $5 * 16777216 + $6 * 65536 + $7 * 256 + $8, $9, $10 }')
  [ "$got" = "$2 $3 8 $4" ] || { echo "draw-skin: $1 is '$got', expected '$2 $3 8 $4'" >&2; exit 1; }
}

# Checks the icon file: one image, 48x48, 32 bits per pixel.
check_ico() {
  local got
  got=$(od -An -tu1 -j0 -N14 "$1" | awk '{ print $3 + 256 * $4, $5 + 256 * $6, $7, $8, $13 + 256 * $14 }')
  [ "$got" = "1 1 48 48 32" ] || { echo "draw-skin: $1 header is '$got'" >&2; exit 1; }
}

emblem
background
caption_button close 595 close "$RED" "$RED_DARK"
caption_button minimize 568 minimize 'rgba(255,255,255,0.18)' 'rgba(0,0,0,0.30)'
browse_button
checkbox
orange_button install '快速安装'
progress
orange_button finish '完成'
path_error
icon
# Lossless recompression: the same pixels and colour types, a fifth smaller.
python3 "$here/png-shrink.py" "$res"/png/*.png
check_png "$res/png/background.png" 622 422 2
check_png "$res/png/close.png" 68 15 6
check_png "$res/png/minimize.png" 68 15 6
check_png "$res/png/browse.png" 344 30 6
check_png "$res/png/checkbox.png" 98 14 6
check_png "$res/png/install.png" 560 40 6
check_png "$res/png/progress_fill.png" 600 4 6
check_png "$res/png/progress_track.png" 580 4 6
check_png "$res/png/finish.png" 560 40 6
check_png "$res/png/path_error.png" 117 12 6
check_ico "$res/velmora.ico"
echo "draw-skin: wrote $res/png/*.png and $res/velmora.ico"
