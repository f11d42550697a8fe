#!/usr/bin/env bash
# make slurm-test: a single-node Slurm on this machine (its own munge
# socket, configuration, ports and spool in a temporary folder), a 4-shard
# tournament through sbatch --array and the merge job, the merged counts
# checked against the same tournament unsharded, then Slurm stopped again.
#   examples/slurm/slurm_test.sh [BUILD-DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
arena=$build/bin/pitsow-arena
players=$build/test-players

need=()
command -v sbatch >/dev/null || need+=(slurm-wlm)
command -v munged >/dev/null || need+=(munge)
if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y "${need[@]}"
fi

work=$(mktemp -d /tmp/pitsow-slurm-XXXXXX)
host=$(hostname -s)
stop() {
  for pidfile in "$work/slurmd.pid" "$work/slurmctld.pid" "$work/munged.pid"; do
    [ -f "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null || true
  done
  sleep 1
  echo "slurm-test: Slurm stopped; files in $work"
}
trap stop EXIT

# munge with a key and socket of its own.
dd if=/dev/urandom of="$work/munge.key" bs=1024 count=1 status=none
chmod 600 "$work/munge.key"
munged --force --key-file="$work/munge.key" --socket="$work/munge.sock" \
  --pid-file="$work/munged.pid" --log-file="$work/munged.log" --seed-file="$work/munged.seed"

mkdir -p "$work/state" "$work/spool"
cat >"$work/slurm.conf" <<CONF
ClusterName=pitsow
SlurmctldHost=$host
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$work/munge.sock
SlurmctldPort=16817
SlurmdPort=16818
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
MpiDefault=none
NodeName=$host CPUs=$(nproc) State=UNKNOWN
PartitionName=test Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF=$work/slurm.conf
slurmctld
slurmd -N "$host"
for _ in $(seq 60); do
  state=$(sinfo -h -o %T 2>/dev/null || true)
  [ "$state" = idle ] && break
  sleep 1
done
echo "slurm-test: node $host is ${state:-not up}"
[ "$state" = idle ]

# The same tournament through Slurm and on one machine. Every player is
# deterministic (the starter twice, under two labels), so the counts depend
# on the openings only.
args=(--pairs 16 S="$players/starter_player.so" L="$players/last_hole_player.so"
  S2="$players/starter_player.so")
cd "$work"
PITSOW_ARENA=$arena "$root/examples/slurm/arena.sbatch" 4 "$work/run" "${args[@]}"
for _ in $(seq 300); do
  [ -z "$(squeue -h 2>/dev/null)" ] && break
  sleep 1
done
sacct >/dev/null 2>&1 || true
"$arena" --out "$work/single" --quiet "${args[@]}" >"$work/single.txt"

cat "$work/run-report.txt"
if diff <(sed -n '/^Standings/,$p' "$work/run-report.txt") \
  <(sed -n '/^Standings/,$p' "$work/single.txt"); then
  echo "slurm-test: 4 shards merged give the counts of the unsharded run: PASS"
else
  echo "slurm-test: the merged counts differ from the unsharded run: FAIL"
  exit 1
fi
