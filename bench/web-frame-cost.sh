#!/usr/bin/env bash
# The web page's time per frame (opening and flight, by Chromium's task time
# and the page's own counter) of this tree against another revision's, both
# pages in one headless Chromium, taking turns, medians of RUNS runs. The
# other revision's page is built in a git worktree of its own (made when
# missing, left for the next run; nothing is committed from it).
# Usage: bench/web-frame-cost.sh [REVISION [WORKTREE [RUNS]]]
#        (default 8ac0eba, ../base-web beside this tree, 3)
set -euo pipefail
cd "$(dirname "$0")/.."
revision=${1:-8ac0eba}
worktree=${2:-$(dirname "$(pwd)")/base-web}
runs=${3:-3}

if [[ ! -d $worktree ]]; then
  git worktree add --detach "$worktree" "$revision" >/dev/null
fi
wanted=$(git rev-parse "$revision^{commit}")
[[ $(git -C "$worktree" rev-parse HEAD) == "$wanted" ]] ||
  { echo "web-frame-cost: $worktree is not at $revision" >&2; exit 2; }

scripts/web-build >/dev/null
(cd "$worktree" && scripts/web-build >/dev/null)
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
node bench/web_frame_cost.js "$runs" "$(git rev-parse --short "$wanted")=$worktree/dist/web" "this-tree=dist/web"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
