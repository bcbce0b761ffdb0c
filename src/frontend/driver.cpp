#include "frontend/driver.h"

#include "frontend/convert.h"
#include "frontend/input_file.h"
#include "frontend/messages.h"
#include "frontend/output_file.h"
#include "frontend/output_name.h"
#include "frontend/version.h"
#include "ti86/time_text.h"

namespace tarnwick {

std::string banner() {
  return "- Tarnwick (" + std::string(version) + ") -";
}

int run(int argc, const char* const argv[], console& con, const local_clock& now) {
  con.clear();
  con.write_line(banner() + "\n");
  if (argc < 2) {
    con.write_line("Proper usage:\n");
    con.write_line("\ttarnwick [filename(.hex)]");
    con.wait_key();
    return 0;
  }

  const std::string name = argv[1];
  input_file input(name);
  if (!input.is_open()) {
    con.write_line("Error opening " + name + "!");
    return 0;
  }
  con.write_line("Converting " + name + "\n");
  const std::string output_name = make_output_name(name);
  con.write_line("Outputting " + output_name + "\n");

  if (input.is_same_file(output_name)) {
    con.write_line(overwrite_message(name));
    return 0;
  }
  // The stamp is the time the conversion started, before the input is read.
  const std::string time_text = ti86::format_time_text(now());
  const conversion result = convert(input, output_name, time_text);
  if (result.status != read_status::ok) {
    con.write_line(failure_message(result.status, name));
    return 0;
  }
  if (!replace_file(output_name, result.image)) {
    con.write_line("Error writing " + output_name + "!");
    return 0;
  }
  con.write_line("Success!");
  return 0;
}

}  // namespace tarnwick
