#!/bin/bash
# Sourced by the scripts that run a server in the background for a command.
# vorn_stop_process PID: asks the process to end, gives it ten seconds, then
# ends it outright, and reaps it.
vorn_stop_process() {
  kill -TERM "$1" 2>/dev/null || return 0
  for _ in $(seq 100); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}
