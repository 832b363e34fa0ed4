# The commands install what is missing on a Debian 12 machine.
.PHONY: run test build package clean

run:
	tools/run.sh

test:
	tools/test.sh

build:
	tools/install-deps.sh
	tools/build.sh win64

# The installer packages build/Varnokel-<version>-x64.msi and -x86.msi.
package:
	tools/install-deps.sh
	tools/package.sh

clean:
	rm -rf build
