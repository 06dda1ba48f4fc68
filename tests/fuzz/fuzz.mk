# Included by the top-level Makefile.
#   make fuzz [FUZZ_SECONDS=60]   libFuzzer over the INI layer and the table load,
#                                 in build-fuzz/ (clang); fails on a crash or mismatch
#                                 (libFuzzer stops at the first finding). Ten frames of
#                                 allocation stack instead of 30 make it half again as
#                                 fast; rerun a finding without that for the full stacks.
#   make reliability-full         the long reliability runs that give the figures
#                                 (50 rounds of the single-copy setups and another
#                                 user's attempt, saves in place as another user,
#                                 start stalls), in build/
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
RELIABILITY_BUILD ?= $(BUILD)
ROUNDS ?= 50

.PHONY: fuzz fuzz-build reliability-full

fuzz-build:
	CC=clang CXX=clang++ cmake -S tests/fuzz -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzz_ini

fuzz: fuzz-build
	@set -o pipefail; \
	work=$(FUZZ_BUILD)/corpus; art=$(FUZZ_BUILD)/artifacts; log=$(FUZZ_BUILD)/fuzz.log; \
	rm -rf $$art; mkdir -p $$work $$art; \
	echo "Fuzzing the INI layer for $(FUZZ_SECONDS) s (log: $$log)"; \
	ASAN_OPTIONS=detect_leaks=1:malloc_context_size=10 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  $(FUZZ_BUILD)/fuzz_ini -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -timeout=20 \
	  -dict=tests/fuzz/ini.dict \
	  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=$$art/ \
	  $$work tests/fuzz/corpus >$$log 2>&1; rc=$$?; \
	runs=$$(sed -n 's/^stat::number_of_executed_units: *//p' $$log | tail -1); \
	[ -n "$$runs" ] || runs=$$(grep -o '^#[0-9]*' $$log | tail -1 | tr -d '#'); \
	mismatches=$$(grep -c '^MISMATCH' $$log); \
	crashes=0; [ $$rc -ne 0 ] && [ $$mismatches -eq 0 ] && crashes=1; \
	echo "fuzz_ini: executions=$${runs:-0} ($$(($${runs:-0} / $(FUZZ_SECONDS))) a second) crashes=$$crashes mismatches=$$mismatches exit=$$rc corpus=$$(ls $$work | wc -l)"; \
	if [ $$rc -ne 0 ]; then grep -A12 -E '^MISMATCH|^==[0-9]+==ERROR|runtime error:|deadly signal' $$log | head -60; \
	  echo "reproduce: $(FUZZ_BUILD)/fuzz_ini $$(ls -t $$art/* 2>/dev/null | head -1)"; exit 1; fi

reliability-full:
	cmake -S . -B $(RELIABILITY_BUILD) >/dev/null
	cmake --build $(RELIABILITY_BUILD) -j$(JOBS) --target Velkora reliability_tools
	@set -o pipefail; RELIABILITY_ROUNDS=$(ROUNDS) RELIABILITY_FULL=1 \
	  ctest --test-dir $(RELIABILITY_BUILD) -L reliability --output-on-failure --verbose \
	  | grep -E '^[0-9]+: (RESULT|SKIP|FIGURE)|tests passed|tests failed|Failed|Passed|\*\*\*'
