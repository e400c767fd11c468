# Sourced: the private Wine prefix of one build tree. Never the user's own ~/.wine.
: "${BUILD_DIR:=build}"
BUILD_DIR_ABS=$(mkdir -p "$BUILD_DIR" && cd "$BUILD_DIR" && pwd)
export WINEPREFIX="$BUILD_DIR_ABS/wine/prefix"
export HOME="$BUILD_DIR_ABS/wine/home"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
