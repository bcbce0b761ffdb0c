#include "frontend/driver.h"

#include <new>

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

namespace {

// Converts the file `name`, shown on the console as `shown`.
void convert_file(const std::string& name, const std::string& shown, console& con,
                  const local_clock& now) {
  input_file input(name);
  if (!input.is_open()) {
    con.write_line("Error opening " + shown + "!");
    return;
  }
  con.write_line("Converting " + shown + "\n");
  const std::string output_name = make_output_name(name, folder_separators);
  const std::string shown_output = shown_name(output_name);
  con.write_line("Outputting " + shown_output + "\n");

  // On a file system that folds letter case, the two names are one file even where the
  // system reports two different ones.
  if (same_name_apart_from_case(name, output_name) || input.is_same_file(output_name)) {
    con.write_line(overwrite_message(shown));
    return;
  }
  // The stamp is the time the conversion started, before the input is read.
  const std::string time_text = ti86::format_time_text(now());
  const conversion result = convert(input, output_name, time_text);
  if (result.status != read_status::ok) {
    con.write_line(failure_message(result.status, shown));
    return;
  }
  if (!replace_file(output_name, result.image)) {
    con.write_line("Error writing " + shown_output + "!");
    return;
  }
  con.write_line("Success!");
}

}  // namespace

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
  const std::string shown = shown_name(name);
  // Made before the work, whose memory is given back before the message is shown.
  const std::string out_of_memory = out_of_memory_message(shown);
  try {
    convert_file(name, shown, con, now);
  } catch (const std::bad_alloc&) {
    con.write_line(out_of_memory);
  }
  return 0;
}

}  // namespace tarnwick
