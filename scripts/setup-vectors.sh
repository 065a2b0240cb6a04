#!/usr/bin/env bash
# Installs, beside what building and testing need, the tools that only
# regenerate the committed reference vectors of the tests (Free Pascal for
# platform/rtl/testdata/make_vectors.sh and comma_text_vectors.pas). No build
# or test needs them: the vectors they write are in the repository.
set -euo pipefail
exec "$(dirname "$0")/setup.sh" fp-compiler
