#include "cli/entry.hpp"

int main(int argc, char** argv) {
  return quorvex::ProgramEntry(argc, argv);
}
