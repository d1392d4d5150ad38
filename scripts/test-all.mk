# The test command's steps and what each one needs. scripts/test-all.sh runs it as
#   make -f scripts/test-all.mk -j -k X86_TESTS=0|1 CTEST_JOBS=N
# each step as soon as the steps it needs are done; with -k a failed step stops only the
# steps that need it. Each step's output goes to build/test-all/STEP.log (scripts/run-step.sh).
# A new suite is a ctest test of one of the presets, or a step here.
#
# X86_TESTS=1 where this machine runs 32-bit programs: the i686 program's unit tests and Wine
# suites are built and run. Elsewhere only TALLY.EXE of that preset is built, for the packages
# and their checks, and its Wine case lists are gone through by the x86-64 program instead
# (the linux-sanitize tests decide that when they are configured).

X86_TESTS ?= 1
CTEST_JOBS ?= 4
step = scripts/run-step.sh build/test-all $@
# The builds are the presets' workflows: configure, then build.
build = cmake --workflow --preset
ctest = ctest -j $(CTEST_JOBS) --preset
ifeq ($(X86_TESTS),1)
x86_build := windows-x86
x86_unit_tests := test-windows-x86
else
x86_build := windows-x86-program
x86_unit_tests :=
endif

# The longest chain first: the builds the Wine and pseudo-terminal tests need, then those tests.
all: test-linux-sanitize packages test-windows-x64 $(x86_unit_tests)
.PHONY: all build-windows-x64 build-windows-x86 build-linux-sanitize test-linux-sanitize \
        test-windows-x64 test-windows-x86 packages

build-windows-x64:
	@$(step) $(build) windows-x64
build-linux-sanitize:
	@$(step) $(build) linux-sanitize
build-windows-x86:
	@$(step) $(build) $(x86_build)

# The Linux tests, every run of tally and register-sim under the sanitizers, each fuzzing
# harness over its corpus, the Wine suites of both TALLY.EXE files (four at a time, and first,
# being the longest) and their static checks.
test-linux-sanitize: build-linux-sanitize build-windows-x64 build-windows-x86
	@$(step) $(ctest) linux-sanitize
# The unit tests as Windows programs under Wine.
test-windows-x64: build-windows-x64
	@$(step) $(ctest) windows-x64
test-windows-x86: build-windows-x86
	@$(step) $(ctest) windows-x86

# The packages as a user gets them; they take TALLY.EXE from both Windows builds.
packages: build-windows-x64 build-windows-x86
	@$(step) bash -c 'scripts/package.sh && \
	  bash tests/package/check_packages.sh dist build/windows-x64/ui_robot.exe'
