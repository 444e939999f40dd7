# SPDX-License-Identifier: Apache-2.0
# Sourced by the evaluation scripts: the photographs they use, and the
# installation of the Debian packages they need.
install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  run_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
  run_root apt-get update -qq
  run_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

# The photographs among the packages' wallpapers (the others are drawn).
PHOTOS=(
  Bridge_by_Sander_Klootwijk Dragonfly_by_Bolly Kleiber_by_Lukas_Baubkus
  Picture_0B_by_freespace Picture_1A_by_freespace Wine_by_Jakkub_Mede
  aitzgorri_by_Aitzol_Berasategi free_by_Peter_Nerlich friends_by_Aitzol_Berasategi
  greentock_by_Peter_Nerlich life_by_Aitzol_Berasategi picosdeeuropa_by_Aitzol_Berasategi
  seeding_by_Clements_Engelhardt sunset_by_Aitzol_Berasategi
)
SOURCE=/usr/share/backgrounds
