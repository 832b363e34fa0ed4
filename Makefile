# The two commands: both install what is missing on a Debian 12 machine.
.PHONY: run test build clean

run:
	tools/run.sh

test:
	tools/test.sh

build:
	tools/install-deps.sh
	tools/build.sh win64

clean:
	rm -rf build
