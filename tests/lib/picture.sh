# Checks of a screenshot ($shot, a PNG) against where the saver's picture
# should lie, for the scripts that take screenshots (ImageMagick's convert).

# Pixels brighter than 15% grey in a WxH+X+Y area of the shot.
lit() { convert "$shot" -crop "$1" +repage -colorspace Gray -threshold 15% -format "%[fx:round(mean*w*h)]" info:; }
# Whether a WxH+X+Y area of the shot is black to the last bit.
black() { [[ $(convert "$shot" -crop "$1" +repage -format "%[fx:maxima]" info:) == 0 ]]; }

# Whether the shot of a WIDTH x HEIGHT screen or window shows the picture
# in the box X Y W H: stars or noise in each quarter of it (at least 5 lit
# pixels), black to the last bit beside it. Sets picture_counts (the
# quarters' lit pixels) and picture_problem (empty when it holds).
check_picture() {
  local width=$1 height=$2 x=$3 y=$4 w=$5 h=$6 count bar
  picture_counts="" picture_problem=""
  for quarter in "0 0" "1 0" "0 1" "1 1"; do
    set -- $quarter
    count=$(lit "$((w / 2))x$((h / 2))+$((x + $1 * w / 2))+$((y + $2 * h / 2))")
    picture_counts+="$count "
    ((count >= 5)) || { picture_problem="a quarter of the picture at ${w}x${h}+$x+$y shows $count lit pixels"; return 1; }
  done
  for bar in "${x}x${height}+0+0" "$((width - x - w))x${height}+$((x + w))+0" "${w}x${y}+${x}+0" \
             "${w}x$((height - y - h))+${x}+$((y + h))"; do
    [[ $bar == 0x* || $bar == *x0+* ]] && continue
    black "$bar" || { picture_problem="$bar beside the picture is not black"; return 1; }
  done
}
