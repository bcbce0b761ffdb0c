// Usage: read_86p FILE BODY: checks the .86p FILE with the tests' decoder. A well-formed file
// prints its time text and its variable name without padding, a line each, and its program
// body goes into the file BODY; otherwise each problem is printed and the exit status is 1.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "program_reader.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  // A file that cannot be read is an empty one, too short for any program.
  std::ifstream in(argv[1], std::ios::binary);
  const std::string file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const tarnwick::testing::program_fields f = tarnwick::testing::read_program(file);
  for (const auto& problem : f.problems) std::cout << problem << '\n';
  if (!f.problems.empty()) return 1;
  std::cout << f.time_text << '\n' << f.name.substr(0, f.name.find('\0')) << '\n';
  std::ofstream(argv[2], std::ios::binary) << f.body;
  return 0;
}
