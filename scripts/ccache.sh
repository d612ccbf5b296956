# Sourced by scripts/test and scripts/run: compile through ccache, with its
# cache outside the clone. Paths below the clone are hashed relative to it and
# the working folder is left out of the hash, so a fresh clone in another
# folder hits what an earlier one compiled.
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/quenmrk-ccache}
export CCACHE_BASEDIR=$root
export CCACHE_NOHASHDIR=1
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
