#!/bin/sh
# Runs two builds of printconv-cli over the same pictures and options and compares the job
# files byte for byte: a change meant to leave every job as it was must show no difference.
#
#   tools/compare_jobs.sh BEFORE/bin/printconv-cli AFTER/bin/printconv-cli [WORKDIR]
#
# Each program reads the profiles of its own build (../share/lumivane-basic beside it). The
# pictures are made with ImageMagick: photo-like noise in RGB and with transparency, portrait
# and landscape, PNG and JPEG, with and without a resolution. Exit 0 when all jobs are equal.
set -eu
before=$1
after=$2
work=${3:-${TMPDIR:-/tmp}/printconv-compare}
mkdir -p "$work/pictures"
export SOURCE_DATE_EPOCH=1700000000

pic() { # name, format, convert arguments...
    name=$1
    format=$2
    shift 2
    [ -f "$work/pictures/$name" ] || convert "$@" "$format:$work/pictures/$name"
}
pic tall.png PNG24 -size 620x877 -seed 3 plasma:fractal -attenuate 0.3 +noise Gaussian \
    -units PixelsPerInch -density 150 -depth 8
pic wide.jpg JPG -size 900x500 -seed 4 plasma:fractal -units PixelsPerInch -density 200 \
    -quality 90
pic alpha.png PNG32 -size 400x400 -seed 5 plasma:fractal -alpha set -channel A -fx "i<w/2?1:0.3" \
    +channel -units PixelsPerInch -density 300
pic plain.png PNG24 -size 300x420 -seed 6 plasma:fractal
pic big.png PNG24 -size 2480x3508 -seed 7 plasma:fractal -attenuate 0.2 +noise Gaussian \
    -units PixelsPerInch -density 300

cases='
tall.png|
tall.png|--printer C301W
tall.png|--xcopies 2 --ycopies 2 --width 80
tall.png|--printer C301W --xcopies 3 --ycopies 2 --width 50 --fixed-spacing 4
tall.png|--mirror --flip
tall.png|--rotate --brightness 40 --contrast -30
tall.png|--pattern --xcopies 2 --width 80
wide.jpg|
wide.jpg|--printer C301W --no-rotate --mirror
wide.jpg|--media Transfer media 16 --printer C844
alpha.png|--xcopies 2 --ycopies 3 --align top-left
alpha.png|--printer C301W --flip --copies 3
alpha.png|--crop --width 90
plain.png|--printer C844 --paper A3 --xcopies 4 --ycopies 4 --width 60
plain.png|--auto-tile --width 40
big.png|
big.png|--printer C301W --mirror
plain.png|--printer C360 --mirror --rotate
'
failed=0
n=0
echo "$cases" | while IFS='|' read -r picture options; do
    [ -n "$picture" ] || continue
    n=$((n + 1))
    for side in before after; do
        prog=$before
        [ $side = after ] && prog=$after
        rm -rf "$work/config-$side"
        mkdir -p "$work/config-$side"
        # shellcheck disable=SC2086 # the options are words
        if [ "${options#--media }" != "$options" ]; then
            medium=$(echo "$options" | sed 's/^--media \(.*\) --printer.*/\1/')
            rest=$(echo "$options" | sed 's/^--media .* \(--printer.*\)/\1/')
            XDG_CONFIG_HOME=$work/config-$side "$prog" job "$work/pictures/$picture" $rest \
                --media "$medium" -o "$work/job-$n-$side.prn" >/dev/null 2>&1 || echo "exit $? " >"$work/job-$n-$side.prn"
        else
            XDG_CONFIG_HOME=$work/config-$side "$prog" job "$work/pictures/$picture" $options \
                -o "$work/job-$n-$side.prn" >/dev/null 2>&1 || echo "exit $? " >"$work/job-$n-$side.prn"
        fi
    done
    if cmp -s "$work/job-$n-before.prn" "$work/job-$n-after.prn"; then
        echo "same      $(wc -c <"$work/job-$n-after.prn") bytes  $picture $options"
    else
        echo "DIFFERENT $picture $options"
        echo x >>"$work/failed"
    fi
done
if [ -f "$work/failed" ]; then
    rm -f "$work/failed"
    exit 1
fi
