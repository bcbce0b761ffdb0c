#include "frontend/driver.h"

#include <new>
#include <string>

#include "frontend/convert.h"
#include "frontend/messages.h"
#include "frontend/output_name.h"
#include "ti86/time_text.h"

namespace tarnwick::frontend {
namespace {

// Shows on the error stream why `shown` failed, just after the failure's own line.
void explain(system& sys, std::string_view shown, const failure& error) {
  const std::string reason = error.why == failure::cause::system
                                 ? sys.error_text(error.code)
                                 : std::string(own_reason(error.why));
  sys.write_error_line(reason_line(shown, reason));
}

// Converts the file `name`, shown on the console as `shown`. A line that is followed by a
// blank line is written with its newline, so the blank line is part of the same write.
void convert_file(const std::string& name, const std::string& shown, system& sys) {
  const opened_input opened = sys.open_input(name);
  if (opened.file == nullptr) {
    sys.write_line(opening_error(shown));
    explain(sys, shown, opened.error);
    return;
  }
  input_file& input = *opened.file;
  sys.write_line(converting_line(shown) + "\n");
  const std::string output_name = make_output_name(name, sys.folder_separators());
  const std::string shown_output = shown_name(output_name);
  sys.write_line(outputting_line(shown_output) + "\n");

  // On a file system that folds letter case, the two names are one file even where the
  // system reports two different ones. Any other way to the input is found as the output is
  // written, on the file the writer itself reaches.
  if (same_name_apart_from_case(name, output_name)) {
    sys.write_line(overwrite_message(shown));
    explain(sys, shown, {failure::cause::same_file});
    return;
  }
  // The stamp is the time the conversion started, before the input is read.
  const std::string time_text = ti86::format_time_text(sys.local_time());
  const conversion result = convert(input, output_name, time_text);
  if (result.status != hexreader::read_status::ok) {
    sys.write_line(failure_message(result.status, shown));
    explain(sys, shown,
            result.status == hexreader::read_status::read_error
                ? input.read_failure()
                : failure{failure::cause::too_large});
    return;
  }
  if (result.not_intel_hex) {
    sys.write_line(not_intel_hex_message(shown));
    explain(sys, shown, {failure::cause::not_intel_hex});
    return;
  }
  // Only a file read to its end has faults worth telling: the others make no program.
  for (const std::string& line : warning_lines(result.faults, shown)) sys.write_line(line);
  if (const auto error = sys.replace_file(output_name, result.image, input)) {
    const bool is_input = error->why == failure::cause::same_file;
    sys.write_line(is_input ? overwrite_message(shown) : writing_error(shown_output));
    explain(sys, is_input ? shown : shown_output, *error);
    return;
  }
  sys.write_line(success_line);
}

}  // namespace

int run(int argc, const char* const argv[], system& sys) {
  sys.clear_screen();
  sys.write_line(banner() + "\n");
  if (argc < 2) {
    sys.write_line(std::string(usage_heading) + "\n");
    sys.write_line(usage_command);
    sys.wait_key();
    return 0;
  }

  const std::string name = argv[1];
  const std::string shown = shown_name(name);
  // Made before the work, whose memory is given back before the message is shown.
  const std::string out_of_memory = out_of_memory_message(shown);
  const std::string no_memory_reason =
      reason_line(shown, own_reason(failure::cause::out_of_memory));
  try {
    convert_file(name, shown, sys);
  } catch (const std::bad_alloc&) {
    sys.write_line(out_of_memory);
    sys.write_error_line(no_memory_reason);
  }
  // Such a window would take the outcome with it before anyone could read it.
  if (sys.window_closes_at_exit()) {
    sys.write_line("\n" + std::string(close_window_line));
    sys.wait_key();
  }
  return 0;
}

}  // namespace tarnwick::frontend
