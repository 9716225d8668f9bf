// tivane-run: the runner without Qt and FFmpeg (runner.h), so that a program starts as fast as
// the interpreter allows.

#include "runner.h"

int main(int argc, char** argv) {
    return tivane::RunnerMain(argc, argv, nullptr);
}
