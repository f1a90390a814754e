#include "tools/parallelogram-cli/cli.h"

int main(int argc, char** argv) { return pgcli::Main(argc, argv); }
