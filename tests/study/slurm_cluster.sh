#!/usr/bin/env bash
# A private one-node Slurm cluster on localhost, everything under one folder D, for the study
# engine's test. Runs as root without systemd; touches nothing under /etc.
#   slurm_cluster.sh start D   start munged, slurmctld and slurmd; return once the node is idle
#   slurm_cluster.sh stop D    stop them all again
# Clients find the cluster through SLURM_CONF=D/slurm.conf.
set -eu
cmd=$1
D=$2

# The process id in pid file $1, or nothing. A daemon removes its pid file as it exits, which can
# happen between any test and the read: a file gone is a process gone.
pid_in() {
  cat "$1" 2>/dev/null || true
}

# Waits (up to 20 s) until process $1 has exited; zombies count as exited.
wait_gone() {
  pid=$1
  [ -n "$pid" ] || return 0
  n=0
  while [ $n -lt 100 ]; do
    state=$(ps -o stat= -p "$pid" 2>/dev/null || true)
    case "$state" in "" | Z*) return 0 ;; esac
    sleep 0.2
    n=$((n + 1))
  done
  kill -9 "$pid" 2>/dev/null || true
}

# A TCP port in the dynamic range that nobody on this machine accepts connections on.
free_port() {
  while :; do
    p=$((49152 + RANDOM % 16000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then
      echo "$p"
      return
    fi
  done
}

case "$cmd" in
start)
  rm -rf "$D/state" "$D/spool"
  mkdir -p "$D/munge" "$D/state" "$D/spool" "$D/log"
  chmod 755 "$D" "$D/munge"
  [ -f "$D/munge/key" ] || mungekey -c -b 1024 -k "$D/munge/key"
  chmod 600 "$D/munge/key"
  munged -S "$D/munge/sock" --key-file="$D/munge/key" --pid-file="$D/munge/pid" \
    --seed-file="$D/munge/seed" --log-file="$D/log/munged.log" </dev/null >/dev/null 2>&1
  : >"$D/plugstack.conf"
  cat >"$D/slurm.conf" <<EOF
ClusterName=study
SlurmctldHost=localhost
SlurmctldPort=$(free_port)
SlurmdPort=$(free_port)
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$D/munge/sock
SlurmUser=root
SlurmdUser=root
StateSaveLocation=$D/state
SlurmdSpoolDir=$D/spool
SlurmctldPidFile=$D/slurmctld.pid
SlurmdPidFile=$D/slurmd.pid
SlurmctldLogFile=$D/log/slurmctld.log
SlurmdLogFile=$D/log/slurmd.log
PlugStackConfig=$D/plugstack.conf
MailProg=/bin/true
MpiDefault=none
ProctrackType=proctrack/linuxproc
TaskPlugin=task/affinity
TaskPluginParam=Cores
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SchedulerType=sched/backfill
SchedulerParameters=batch_sched_delay=0
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
NodeName=localhost CPUs=$(nproc) RealMemory=1000 State=UNKNOWN
PartitionName=debug Nodes=ALL Default=YES MaxTime=INFINITE State=UP
EOF
  export SLURM_CONF="$D/slurm.conf"
  slurmctld -D </dev/null >"$D/log/slurmctld.out" 2>&1 &
  echo $! >"$D/slurmctld.bg"
  slurmd -D -N localhost </dev/null >"$D/log/slurmd.out" 2>&1 &
  echo $! >"$D/slurmd.bg"
  n=0
  while [ "$(sinfo -h -n localhost -o %T 2>/dev/null || true)" != idle ]; do
    n=$((n + 1))
    if [ $n -gt 100 ]; then
      echo "the Slurm node did not become idle within 20 s; logs in $D/log" >&2
      exit 1
    fi
    sleep 0.2
  done
  ;;
stop)
  export SLURM_CONF="$D/slurm.conf"
  # Each pid file is read once, before its process is asked to end.
  ctld=$(pid_in "$D/slurmctld.bg")
  slurmd=$(pid_in "$D/slurmd.bg")
  munge=$(pid_in "$D/munge/pid")
  # Without its configuration scontrol would look for a controller through DNS for a minute.
  if [ -f "$SLURM_CONF" ]; then scontrol shutdown >/dev/null 2>&1 || true; fi
  wait_gone "$ctld"
  wait_gone "$slurmd"
  for pid in $ctld $slurmd; do
    kill "$pid" 2>/dev/null || true
  done
  if [ -n "$munge" ]; then
    kill "$munge" 2>/dev/null || true
    wait_gone "$munge"
  fi
  ;;
*)
  echo "usage: slurm_cluster.sh start|stop DIR" >&2
  exit 2
  ;;
esac
