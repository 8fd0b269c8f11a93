# SPDX-License-Identifier: GPL-3.0-or-later
# The bounded run of one fuzzer, as CTest runs it: a fresh working corpus
# (new inputs go there, never into the starting corpus), random seed 1, RUNS inputs.
#   cmake -DFUZZER=... -DSEEDS=... -DWORK=... -DRUNS=... -DMAX_LEN=... [-DOPTIONS=...]
#         -P run_bounded.cmake
separate_arguments(options UNIX_COMMAND "${OPTIONS}")
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus ${WORK}/artifacts)
execute_process(
  COMMAND ${FUZZER} -seed=1 -runs=${RUNS} -max_len=${MAX_LEN} -timeout=30 -rss_limit_mb=3072
          -print_final_stats=1 -artifact_prefix=${WORK}/artifacts/ ${options}
          ${WORK}/corpus ${SEEDS}
  WORKING_DIRECTORY ${WORK}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${status}); the input is in ${WORK}/artifacts")
endif()
