# Sourced by the test scripts: "stage <name> <command...>" runs a command and notes its wall time and
# processor time (user + system of everything it started) and returns the command's status; the
# table prints when the script exits, a failed stage's wall time as "failed after ...".
stage_names=()
stage_walls=()
stage_cpus=()
stage_times_file=$(mktemp)

# The processor time of the finished child processes as last noted with "times" (which must run in
# this shell, not in a command substitution's).
stage_cpu() {
  awk 'function seconds(t, parts) { sub(/s$/, "", t); split(t, parts, "m"); return parts[1] * 60 + parts[2] }
       NR == 2 { printf "%.1f", seconds($1) + seconds($2) }' "$stage_times_file"
}

stage() {
  local name=$1
  shift
  local wall=$SECONDS cpu
  times >"$stage_times_file"
  cpu=$(stage_cpu)
  stage_names+=("$name")
  stage_walls+=("failed")
  stage_cpus+=("failed")
  local status=0
  "$@" || status=$?
  local last=$((${#stage_names[@]} - 1))
  stage_walls[last]="$((SECONDS - wall)) s"
  [ "$status" -eq 0 ] || stage_walls[last]="failed after $((SECONDS - wall)) s"
  times >"$stage_times_file"
  stage_cpus[last]=$(awk -v a="$cpu" -v b="$(stage_cpu)" 'BEGIN { printf "%.1f s", b - a }')
  return "$status"
}

stage_report() {
  local i
  echo "$(basename "$0"): stage times (wall, processor = user + system)"
  for i in "${!stage_names[@]}"; do
    printf '  %-10s %8s %10s\n' "${stage_names[i]}" "${stage_walls[i]}" "${stage_cpus[i]}"
  done
  rm -f "$stage_times_file"
}
trap stage_report EXIT
