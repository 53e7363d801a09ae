.PHONY: bench

# Benchmarks against lxml, pugixml and Enketo's evaluator (see README, "Benchmarks").
bench:
	bash scripts/bench.sh
