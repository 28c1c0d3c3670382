# Engine core: decode + translate + perform per device report.
ringdeck_benchmark(engine_bench SOURCES engine_bench.cpp counting_new.cpp LIBS ringdeck_engine_core)
